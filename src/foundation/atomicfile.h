#pragma once

#include <QByteArray>
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

// Whether the path (a file or a folder) has its owner's write permission. Root may write anywhere,
// so a read-only mark is honoured by looking at the mode bits rather than by asking for access.
bool ownerWritable(const QString& path);

} // namespace AtomicFile
