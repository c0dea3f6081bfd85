#pragma once

#include <QString>
#include <QStringList>

// The power-loss run of a restore from an event backup (tests/powerloss/powerlossdriver.cpp with
// restore, under the recorder): after a cut anywhere in it, every file of the event is whole, either
// the former one (in its place, or put aside in 恢复前备份-…) or the restored one; nothing of the
// former event is lost; once the restore has said it is done, the event is the restored one.
namespace BackupRestore {

struct Result {
    QString summary;        // the figures, for the test's output
    QStringList violations; // what was wrong, one line per crash state
    QString error;          // the run itself failed (the archive, the driver, the trace)
};

Result run(const QString& driver, const QString& recorder);

} // namespace BackupRestore
