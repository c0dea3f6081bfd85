#pragma once

#include <QByteArray>
#include <QString>

// Files by descriptor, with the same guarantees on Linux and on Windows: what the program's saves
// are made of (AtomicFile, the history and check-in logs). Paths are the program's own text (wide
// names on Windows, so Chinese file names work whatever the system's code page). A function that
// fails sets errno (Windows' error codes are turned into errno's), so one message serves both
// systems; reason() gives its text.
namespace DurableFile {

enum class Mode {
    Read,
    ReadWrite, // an existing file
    WriteOnly, // an existing file
    CreateNew, // a new file, for writing; fails when the name is taken
    AppendLog  // for writing at the end, made when missing
};

// A descriptor, or -1. Never inherited by a child process.
int open(const QString& path, Mode mode);
void close(int fd);
bool remove(const QString& path);

// Writes all of data at the descriptor's position (false when the system takes only part of it).
bool writeAll(int fd, const QByteArray& data);
// Reads or writes at an offset (the position afterwards is unspecified); -1 on failure.
qint64 readAt(int fd, char* buffer, qint64 size, qint64 offset);
bool writeAllAt(int fd, const char* data, qint64 size, qint64 offset);
qint64 size(int fd);
bool truncate(int fd, qint64 size);

// The content and the size are on the disk when it returns (fsync; FlushFileBuffers).
bool flush(int fd);
// The content, and the size where it changed (fdatasync; FlushFileBuffers).
bool flushData(int fd);

// A file of the folder that has no name yet (Linux' O_TMPFILE), for nameUnnamed() to name once it
// is complete; -1 with errno EOPNOTSUPP where the file system (FAT) or the system (Windows) has
// none, and the caller writes a named file instead.
int openUnnamed(const QString& folder);
// Gives an unnamed file a name; errno EEXIST when the name is taken.
bool nameUnnamed(int fd, const QString& name);

// Puts source in target's place in one step: a reader sees the old file or the new one, never
// neither. Linux: rename(); Windows: MoveFileExW with MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH, which returns once the move is on the disk.
bool replace(const QString& source, const QString& target);
// Flushes a folder's entries (renames, new names) to the disk. Linux: fsync on the folder. On
// Windows, NTFS journals a file's name with its own flush and a write-through move: nothing to do.
void syncFolder(const QString& folder);

// Gives the new file the old one's permission bits (Linux; Windows files keep none but the
// read-only mark, and a read-only target is refused before it is replaced).
void keepPermissions(int fd, const QString& target);

// Which file a path or a descriptor names now: two identities are equal for the same file, and a
// file put in its place (a rename over it) has another. exists is false when nothing is there.
struct Identity {
    bool exists = false;
    bool regular = false; // a file, not a folder or a device
    quint64 device = 0, file = 0;
    qint64 size = 0;
    bool sameFile(const Identity& other) const {
        return exists && other.exists && device == other.device && file == other.file;
    }
};
Identity identify(int fd);
Identity identify(const QString& path);

// The system's text for an errno value.
QString reason(int error);

} // namespace DurableFile
