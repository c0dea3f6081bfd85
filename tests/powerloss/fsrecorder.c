// fsrecorder: an LD_PRELOAD library that records the file-system calls a process makes on the files
// of one folder, with their data, so that the crash states a power cut could leave can be rebuilt.
//
//   FSREC_DIR        the folder whose files are recorded (absolute; its own entry and everything below)
//   FSREC_LOG        the trace file (appended to)
//   FSREC_MARKER_FD  a descriptor whose writes are recorded as markers instead of being written
//
// Each record is a header line of tab-separated fields, the last one the number of data bytes that
// follow the line (then one more newline):
//   OPEN   fd ino flags isdir existed path      a descriptor on a recorded file (after the call)
//   WRITE  ino offset                           data written at offset (write, pwrite, writev)
//   TRUNC  ino length                           ftruncate, or O_TRUNC of an open
//   FSYNC  ino isdir                            fsync or fdatasync returned 0
//   SFR    ino                                  sync_file_range (no durability: recorded only)
//   LINK   ino newpath                          link/linkat (also of /proc/self/fd/N) returned 0
//   RENAME ino oldpath newpath                  rename/renameat/renameat2 returned 0
//   UNLINK ino path                             unlink/unlinkat returned 0
//   MKDIR  ino path                             mkdir/mkdirat returned 0
//   RMDIR  ino path                             rmdir, unlinkat with AT_REMOVEDIR returned 0
//   CLOSE  ino
//   MARK                                        data: what the driver wrote to the marker descriptor
// Only calls that succeeded are recorded; inode numbers tell the files apart (an O_TMPFILE file has
// no name until it is linked).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#define MAX_FDS 4096

static char g_dir[PATH_MAX];
static size_t g_dirLength;
static int g_log = -1;
static int g_markerFd = -1;
static ino_t g_inode[MAX_FDS]; // 0: not a recorded descriptor
static unsigned char g_isDir[MAX_FDS];
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

static int (*real_open)(const char*, int, ...);
static int (*real_open64)(const char*, int, ...);
static int (*real_openat)(int, const char*, int, ...);
static int (*real_openat64)(int, const char*, int, ...);
static int (*real_creat)(const char*, mode_t);
static int (*real_creat64)(const char*, mode_t);
static ssize_t (*real_write)(int, const void*, size_t);
static ssize_t (*real_pwrite)(int, const void*, size_t, off_t);
static ssize_t (*real_pwrite64)(int, const void*, size_t, off64_t);
static ssize_t (*real_writev)(int, const struct iovec*, int);
static int (*real_fsync)(int);
static int (*real_fdatasync)(int);
static int (*real_sync_file_range)(int, off64_t, off64_t, unsigned int);
static int (*real_rename)(const char*, const char*);
static int (*real_renameat)(int, const char*, int, const char*);
static int (*real_renameat2)(int, const char*, int, const char*, unsigned int);
static int (*real_link)(const char*, const char*);
static int (*real_linkat)(int, const char*, int, const char*, int);
static int (*real_unlink)(const char*);
static int (*real_unlinkat)(int, const char*, int);
static int (*real_mkdir)(const char*, mode_t);
static int (*real_mkdirat)(int, const char*, mode_t);
static int (*real_rmdir)(const char*);
static int (*real_ftruncate)(int, off_t);
static int (*real_ftruncate64)(int, off64_t);
static int (*real_close)(int);

#define RESOLVE(name) real_##name = dlsym(RTLD_NEXT, #name)

__attribute__((constructor)) static void fsrec_init(void) {
    RESOLVE(open);
    RESOLVE(open64);
    RESOLVE(openat);
    RESOLVE(openat64);
    RESOLVE(creat);
    RESOLVE(creat64);
    RESOLVE(write);
    RESOLVE(pwrite);
    RESOLVE(pwrite64);
    RESOLVE(writev);
    RESOLVE(fsync);
    RESOLVE(fdatasync);
    RESOLVE(sync_file_range);
    RESOLVE(rename);
    RESOLVE(renameat);
    RESOLVE(renameat2);
    RESOLVE(link);
    RESOLVE(linkat);
    RESOLVE(unlink);
    RESOLVE(unlinkat);
    RESOLVE(mkdir);
    RESOLVE(mkdirat);
    RESOLVE(rmdir);
    RESOLVE(ftruncate);
    RESOLVE(ftruncate64);
    RESOLVE(close);
    const char* dir = getenv("FSREC_DIR");
    const char* log = getenv("FSREC_LOG");
    const char* marker = getenv("FSREC_MARKER_FD");
    if (!dir || !log || dir[0] != '/' || strlen(dir) >= sizeof g_dir)
        return;
    strcpy(g_dir, dir);
    g_dirLength = strlen(g_dir);
    while (g_dirLength > 1 && g_dir[g_dirLength - 1] == '/')
        g_dir[--g_dirLength] = 0;
    g_log = (int)syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (marker)
        g_markerFd = atoi(marker);
}

static void writeOut(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = syscall(SYS_write, g_log, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= (size_t)n;
    }
}

// One record: the header fields, the data length, a newline, the data, a newline. Keeps errno.
static void record(const char* header, const void* data, size_t size) {
    if (g_log < 0)
        return;
    const int saved = errno;
    char line[3 * PATH_MAX + 128];
    const int n = snprintf(line, sizeof line, "%s\t%zu\n", header, size);
    pthread_mutex_lock(&g_lock);
    writeOut(line, (size_t)n);
    if (size > 0)
        writeOut((const char*)data, size);
    writeOut("\n", 1);
    pthread_mutex_unlock(&g_lock);
    errno = saved;
}

// The absolute, lexically clean form of a path named relative to dirfd; false when it cannot be told.
static int absolutePath(int dirfd, const char* path, char* out) {
    char joined[2 * PATH_MAX];
    if (!path)
        return 0;
    if (path[0] == '/') {
        snprintf(joined, sizeof joined, "%s", path);
    } else {
        char base[PATH_MAX];
        if (dirfd == AT_FDCWD) {
            if (!getcwd(base, sizeof base))
                return 0;
        } else {
            char proc[64];
            snprintf(proc, sizeof proc, "/proc/self/fd/%d", dirfd);
            const ssize_t n = readlink(proc, base, sizeof base - 1);
            if (n <= 0)
                return 0;
            base[n] = 0;
        }
        snprintf(joined, sizeof joined, "%s/%s", base, path);
    }
    // Drop empty and "." components, resolve ".." lexically.
    size_t length = 0;
    out[0] = 0;
    const char* p = joined;
    while (*p) {
        while (*p == '/')
            ++p;
        const char* end = p;
        while (*end && *end != '/')
            ++end;
        const size_t part = (size_t)(end - p);
        if (part == 0)
            break;
        if (part == 1 && p[0] == '.') {
        } else if (part == 2 && p[0] == '.' && p[1] == '.') {
            while (length > 0 && out[length - 1] != '/')
                --length;
            if (length > 0)
                --length;
            out[length] = 0;
        } else {
            if (length + part + 2 >= PATH_MAX)
                return 0;
            out[length++] = '/';
            memcpy(out + length, p, part);
            length += part;
            out[length] = 0;
        }
        p = end;
    }
    if (length == 0)
        strcpy(out, "/");
    return 1;
}

static int inFolder(const char* absolute) {
    if (g_log < 0 || strncmp(absolute, g_dir, g_dirLength) != 0)
        return 0;
    return absolute[g_dirLength] == 0 || absolute[g_dirLength] == '/';
}

static int tracked(int fd) {
    return fd >= 0 && fd < MAX_FDS && g_inode[fd] != 0;
}

static void opened(int fd, const char* absolute, int flags, int existed) {
    struct stat info;
    if (fd < 0 || fd >= MAX_FDS || fstat(fd, &info) != 0)
        return;
    g_inode[fd] = info.st_ino;
    g_isDir[fd] = S_ISDIR(info.st_mode) ? 1 : 0;
    char header[PATH_MAX + 128];
    snprintf(header, sizeof header, "OPEN\t%d\t%lu\t%d\t%d\t%d\t%s", fd, (unsigned long)info.st_ino, flags,
             g_isDir[fd], existed, absolute);
    record(header, NULL, 0);
    if ((flags & O_TRUNC) && !S_ISDIR(info.st_mode) && (flags & O_ACCMODE) != O_RDONLY && existed) {
        snprintf(header, sizeof header, "TRUNC\t%lu\t0", (unsigned long)info.st_ino);
        record(header, NULL, 0);
    }
}

static int openCommon(int dirfd, const char* path, int flags, mode_t mode,
                      int (*call)(int, const char*, int, mode_t)) {
    char absolute[PATH_MAX];
    const int watch = absolutePath(dirfd, path, absolute) && inFolder(absolute);
    int existed = 0;
    if (watch) {
        struct stat info;
        existed = stat(absolute, &info) == 0;
    }
    const int fd = call(dirfd, path, flags, mode);
    if (watch && fd >= 0)
        opened(fd, absolute, flags, existed);
    else if (fd >= 0 && fd < MAX_FDS)
        g_inode[fd] = 0;
    return fd;
}

static int callOpenat(int dirfd, const char* path, int flags, mode_t mode) {
    if (real_openat64)
        return real_openat64(dirfd, path, flags, mode);
    return (int)syscall(SYS_openat, dirfd, path, flags, mode);
}

static mode_t modeArgument(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & __O_TMPFILE) == __O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    return openCommon(AT_FDCWD, path, flags, mode, callOpenat);
}
int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    return openCommon(AT_FDCWD, path, flags, mode, callOpenat);
}
int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    return openCommon(dirfd, path, flags, mode, callOpenat);
}
int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    return openCommon(dirfd, path, flags, mode, callOpenat);
}
int __open_2(const char* path, int flags) {
    return openCommon(AT_FDCWD, path, flags, 0, callOpenat);
}
int __open64_2(const char* path, int flags) {
    return openCommon(AT_FDCWD, path, flags, 0, callOpenat);
}
int __openat_2(int dirfd, const char* path, int flags) {
    return openCommon(dirfd, path, flags, 0, callOpenat);
}
int __openat64_2(int dirfd, const char* path, int flags) {
    return openCommon(dirfd, path, flags, 0, callOpenat);
}
int creat(const char* path, mode_t mode) {
    return openCommon(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode, callOpenat);
}
int creat64(const char* path, mode_t mode) {
    return openCommon(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode, callOpenat);
}

static void wrote(int fd, off_t offset, const void* data, size_t size) {
    char header[128];
    snprintf(header, sizeof header, "WRITE\t%lu\t%lld", (unsigned long)g_inode[fd], (long long)offset);
    record(header, data, size);
}

// Where the next write() lands: the end for O_APPEND, else the file position.
static off_t writePosition(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_APPEND)) {
        struct stat info;
        return fstat(fd, &info) == 0 ? info.st_size : 0;
    }
    return lseek(fd, 0, SEEK_CUR);
}

ssize_t write(int fd, const void* data, size_t size) {
    if (fd == g_markerFd && g_log >= 0) {
        record("MARK", data, size);
        return (ssize_t)size;
    }
    if (!tracked(fd))
        return real_write(fd, data, size);
    const off_t at = writePosition(fd);
    const ssize_t n = real_write(fd, data, size);
    if (n > 0)
        wrote(fd, at, data, (size_t)n);
    return n;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    const ssize_t n = real_pwrite(fd, data, size, offset);
    if (n > 0 && tracked(fd))
        wrote(fd, offset, data, (size_t)n);
    return n;
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    const ssize_t n = real_pwrite64(fd, data, size, offset);
    if (n > 0 && tracked(fd))
        wrote(fd, (off_t)offset, data, (size_t)n);
    return n;
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    if (!tracked(fd))
        return real_writev(fd, parts, count);
    const off_t at = writePosition(fd);
    const ssize_t n = real_writev(fd, parts, count);
    size_t left = n > 0 ? (size_t)n : 0;
    off_t offset = at;
    for (int i = 0; i < count && left > 0; ++i) {
        const size_t take = parts[i].iov_len < left ? parts[i].iov_len : left;
        wrote(fd, offset, parts[i].iov_base, take);
        offset += (off_t)take;
        left -= take;
    }
    return n;
}

static void synced(int fd) {
    char header[128];
    snprintf(header, sizeof header, "FSYNC\t%lu\t%d", (unsigned long)g_inode[fd], g_isDir[fd]);
    record(header, NULL, 0);
}

int fsync(int fd) {
    const int result = real_fsync(fd);
    if (result == 0 && tracked(fd))
        synced(fd);
    return result;
}

int fdatasync(int fd) {
    const int result = real_fdatasync(fd);
    if (result == 0 && tracked(fd))
        synced(fd);
    return result;
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned int flags) {
    const int result = real_sync_file_range(fd, offset, size, flags);
    if (result == 0 && tracked(fd)) {
        char header[128];
        snprintf(header, sizeof header, "SFR\t%lu", (unsigned long)g_inode[fd]);
        record(header, NULL, 0);
    }
    return result;
}

static unsigned long inodeOf(const char* absolute) {
    struct stat info;
    return lstat(absolute, &info) == 0 ? (unsigned long)info.st_ino : 0;
}

static int renameCommon(int olddir, const char* oldpath, int newdir, const char* newpath,
                        unsigned int flags) {
    char from[PATH_MAX], to[PATH_MAX];
    const int watch = absolutePath(olddir, oldpath, from) && absolutePath(newdir, newpath, to) &&
                      (inFolder(from) || inFolder(to));
    const unsigned long ino = watch ? inodeOf(from) : 0;
    int result;
    if (flags != 0 || olddir != AT_FDCWD || newdir != AT_FDCWD)
        result = real_renameat2 ? real_renameat2(olddir, oldpath, newdir, newpath, flags)
                                : (int)syscall(SYS_renameat2, olddir, oldpath, newdir, newpath, flags);
    else
        result = real_rename(oldpath, newpath);
    if (result == 0 && watch) {
        char header[2 * PATH_MAX + 64];
        snprintf(header, sizeof header, "RENAME\t%lu\t%s\t%s", ino, from, to);
        record(header, NULL, 0);
    }
    return result;
}

int rename(const char* oldpath, const char* newpath) {
    return renameCommon(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0);
}
int renameat(int olddir, const char* oldpath, int newdir, const char* newpath) {
    return renameCommon(olddir, oldpath, newdir, newpath, 0);
}
int renameat2(int olddir, const char* oldpath, int newdir, const char* newpath, unsigned int flags) {
    return renameCommon(olddir, oldpath, newdir, newpath, flags);
}

static int linkCommon(int olddir, const char* oldpath, int newdir, const char* newpath, int flags) {
    char to[PATH_MAX];
    const int watch = absolutePath(newdir, newpath, to) && inFolder(to);
    const int result = real_linkat(olddir, oldpath, newdir, newpath, flags);
    if (result == 0 && watch) {
        char header[PATH_MAX + 64];
        snprintf(header, sizeof header, "LINK\t%lu\t%s", inodeOf(to), to);
        record(header, NULL, 0);
    }
    return result;
}

int link(const char* oldpath, const char* newpath) {
    return linkCommon(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0);
}
int linkat(int olddir, const char* oldpath, int newdir, const char* newpath, int flags) {
    return linkCommon(olddir, oldpath, newdir, newpath, flags);
}

static int unlinkCommon(int dirfd, const char* path, int flags) {
    char absolute[PATH_MAX];
    const int watch = absolutePath(dirfd, path, absolute) && inFolder(absolute);
    const unsigned long ino = watch ? inodeOf(absolute) : 0;
    const int result = dirfd == AT_FDCWD && flags == 0              ? real_unlink(path)
                       : dirfd == AT_FDCWD && flags == AT_REMOVEDIR ? real_rmdir(path)
                                                                    : real_unlinkat(dirfd, path, flags);
    if (result == 0 && watch) {
        char header[PATH_MAX + 64];
        snprintf(header, sizeof header, "%s\t%lu\t%s", (flags & AT_REMOVEDIR) ? "RMDIR" : "UNLINK", ino,
                 absolute);
        record(header, NULL, 0);
    }
    return result;
}

int unlink(const char* path) {
    return unlinkCommon(AT_FDCWD, path, 0);
}
int unlinkat(int dirfd, const char* path, int flags) {
    return unlinkCommon(dirfd, path, flags);
}

int rmdir(const char* path) {
    return unlinkCommon(AT_FDCWD, path, AT_REMOVEDIR);
}

static int mkdirCommon(int dirfd, const char* path, mode_t mode) {
    char absolute[PATH_MAX];
    const int watch = absolutePath(dirfd, path, absolute) && inFolder(absolute);
    const int result = dirfd == AT_FDCWD ? real_mkdir(path, mode) : real_mkdirat(dirfd, path, mode);
    if (result == 0 && watch) {
        char header[PATH_MAX + 64];
        snprintf(header, sizeof header, "MKDIR\t%lu\t%s", inodeOf(absolute), absolute);
        record(header, NULL, 0);
    }
    return result;
}

int mkdir(const char* path, mode_t mode) {
    return mkdirCommon(AT_FDCWD, path, mode);
}
int mkdirat(int dirfd, const char* path, mode_t mode) {
    return mkdirCommon(dirfd, path, mode);
}

static void truncated(int fd, off_t length) {
    char header[128];
    snprintf(header, sizeof header, "TRUNC\t%lu\t%lld", (unsigned long)g_inode[fd], (long long)length);
    record(header, NULL, 0);
}

int ftruncate(int fd, off_t length) {
    const int result = real_ftruncate(fd, length);
    if (result == 0 && tracked(fd))
        truncated(fd, length);
    return result;
}
int ftruncate64(int fd, off64_t length) {
    const int result = real_ftruncate64(fd, length);
    if (result == 0 && tracked(fd))
        truncated(fd, (off_t)length);
    return result;
}

int close(int fd) {
    if (tracked(fd)) {
        char header[128];
        snprintf(header, sizeof header, "CLOSE\t%lu", (unsigned long)g_inode[fd]);
        record(header, NULL, 0);
        g_inode[fd] = 0;
    }
    return real_close(fd);
}
