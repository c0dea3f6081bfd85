#pragma once

#include <QString>
#include <QStringList>

// The power-loss run of a burst of check-ins (tests/powerloss/checkindriver.cpp under the recorder):
// every crash state of the trace must load, keep every check-in a phone was told "签到成功" about, hold
// nobody who never checked in, and take further check-ins.
namespace CheckinBurst {

struct Result {
    QString summary;        // the figures, for the test's output
    QStringList violations; // what was wrong, one line per crash state
    QString error;          // the run itself failed (the driver, the trace)
};

Result run(const QString& driver, const QString& recorder);

} // namespace CheckinBurst
