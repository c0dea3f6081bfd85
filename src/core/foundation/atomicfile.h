#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Whole-file I/O for the program's own files.
namespace AtomicFile {

// Reads the whole file; throws OperationError::cannotOpen with the system's reason.
QByteArray readAll(const QString& path);

// Replaces the file with data, all or nothing: a temporary file beside it is written, flushed to
// disk and renamed over the old one, and the folder is synced so that the new name survives a power
// cut. An existing read-only file or a folder without write access is refused before anything is
// replaced. Throws OperationError::cannotCreate with the system's reason.
void write(const QString& path, const QByteArray& data);

// For a writer that makes its file itself, by name (a library writing a workbook): createTemporary()
// makes an empty file beside path, named as write() names its temporary files, for the writer to fill;
// replaceWith() then puts the finished file in path's place as write() does: flushed to disk, renamed
// over the old file (which keeps its permissions), the folder synced. Both refuse a read-only file or a
// folder without write access as write() does; replaceWith() removes the temporary file when it fails.
// Both throw OperationError::cannotCreate with path and the system's reason.
QString createTemporary(const QString& path);
void replaceWith(const QString& temporary, const QString& path);

// Several whole files replaced together, for a state that lives in more than one file. stage() writes
// each new content beside its target and flushes it to disk; commit() then renames the staged files
// over their targets in the order staged, flushing the folder after each rename, so that after a power
// cut a file of the batch is new only if every file staged before it is new too. The content is
// written and flushed before the first file changes, and a failure while staging (read-only file or
// folder, full disk) changes no file.
// What is staged and not committed is dropped with the object. Both throw
// OperationError::cannotCreate with the path and the system's reason.
class Batch {
public:
    Batch() = default;
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch();

    void stage(const QString& path, const QByteArray& data);
    void commit();

private:
    struct Staged {
        QString path;      // the file to replace, as the caller named it (for messages)
        QString target;    // where the data goes: the path, or the file a symbolic link names
        QString temporary; // the staged file's name, when the file system cannot keep it unnamed
        int fd = -1;       // the staged content, flushed to disk
    };
    QList<Staged> m_staged;
};

// Tests: called before each rename of a batch's commit with the file about to be replaced; a test
// that throws from it stops the save right there, as a kill would.
void setBeforeRenameHook(void (*hook)(const QString& path));

// Removes what an interrupted save may have left beside the file: temporary files named
// "<file name>.<hex>.tmp" by this program. Nothing else is touched.
void removeLeftovers(const QString& path);

// Whether the path (a file or a folder) has its owner's write permission. Root may write anywhere,
// so a read-only mark is honoured by looking at the mode bits rather than by asking for access.
bool ownerWritable(const QString& path);

// Whether a save into the folder can work: a small file is written there, flushed and removed again.
// Empty when it could, else the system's reason (in the operator's language). A folder that has lost
// its read-only mark's write bit is refused as every save refuses it, also for root.
QString writeTrial(const QString& folder);

} // namespace AtomicFile
