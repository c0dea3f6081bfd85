#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// The crash states of a recorded trace (tests/powerloss/fsrecorder.c): every folder a power cut at
// some point of the trace could leave on disk, under the model written down in docs/reliability.md:
//   - a file's data covered by a completed fsync or fdatasync of the file is kept;
//   - each later write or truncation of it may be lost; the writes are kept in their order, and the
//     first one lost may instead be kept in part, up to any 4096-byte block boundary it spans, and one
//     that grows the file may leave its new bytes as zeros;
//   - a name made, moved or removed (create, link, rename, unlink, mkdir, rmdir) is kept when a later
//     fsync of its folder completed, a move between two folders once both were flushed; until then it
//     may be lost, each one on its own, in any combination (a rename is one step: its new name and the
//     loss of its old name go together);
//   - a file is in the state only when every folder above it is (a folder's own name may be lost).
// The folder before the trace (with its sub-folders) is taken as fully on disk.
namespace CrashStates {

struct Op {
    enum Kind { Open, Write, Trunc, Fsync, SyncRange, Link, Rename, Unlink, Mkdir, Rmdir, Close, Mark };
    Kind kind = Mark;
    quint64 inode = 0;
    qint64 offset = 0; // Write: where; Trunc: the new length
    int flags = 0;     // Open
    bool isDir = false;
    bool existed = false; // Open: the name was there before the call
    QString path;         // Open, Link, Unlink, Mkdir, Rmdir: the name; Rename: the old name
    QString path2;        // Rename: the new name
    QByteArray data;      // Write: the bytes; Mark: the marker line
};

// Runs driver on folder (then arguments) under the recorder (a preloaded library), its markers on
// descriptor 99, and leaves the trace in trace. Empty when the driver ended well, else what went wrong.
QString record(const QString& recorder, const QString& driver, const QString& folder, const QString& work,
               const QString& trace, const QStringList& arguments = {});

// The records of a trace; false with a reason when it is malformed.
bool parseTrace(const QByteArray& trace, QList<Op>* ops, QString* error);

// record() into work/trace and parseTrace() of it: false with the reason in error.
bool recordOps(const QString& recorder, const QString& driver, const QString& folder, const QString& work,
               QList<Op>* ops, QString* error, const QStringList& arguments = {});

// A folder's files: name (within the folder, "图片/a.jpg" for one in a sub-folder) to content.
using Folder = QMap<QString, QByteArray>;

// Writes the files into root (sub-folders made as needed), noting each one's inode number when
// inodes is given; false when one cannot be written.
bool writeFolder(const QString& root, const Folder& files, QHash<QString, quint64>* inodes = nullptr);

struct Figures {
    qint64 points = 0;      // cut points: before the first call and after each one
    qint64 states = 0;      // states visited (the same folder at the same marker counted once)
    qint64 dirSubsets = 0;  // largest number of directory subsets at one point
    qint64 unsupported = 0; // calls the model could not place (a name outside the folder, ...)
    // Points where the files' possible contents had too many combinations: each file's contents were
    // then varied alone, the others all as last flushed and all as last written.
    qint64 sampledPoints = 0;
};

// Walks the trace and calls visit(opIndex, markersSoFar, folder) for every distinct crash state:
// opIndex is the number of calls done before the cut, markersSoFar the number of markers among them.
// folder is the absolute folder the trace recorded; initial its files before the trace with their
// inode numbers. Names for which kept (when given) is false are left out of the states, and so are
// their name changes from the orders combined (a scratch folder whose contents nobody checks: kept
// leaves out the folder with everything in it).
Figures explore(const QList<Op>& ops, const QString& folder, const Folder& initial,
                const QHash<QString, quint64>& initialInodes,
                const std::function<void(int, int, const Folder&)>& visit,
                const std::function<bool(const QString&)>& kept = {});

} // namespace CrashStates
