#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Made-up event data at any size, and a small timer that reports minimum and median.
namespace BenchData {

// A GBK entrant list of `lines` lines: a Chinese name, a tab and a staff number, CR LF after each.
QByteArray entrantList(int lines, quint32 seed = 2027);

struct Figures {
    double minMs = 0;
    double medianMs = 0;
    int runs = 0;
};
// Runs the body `runs` times (setup before each run, untimed) and measures each run.
Figures measure(int runs, const std::function<void()>& body, const std::function<void()>& setup = {});

// One line of the report: name, figures, and the ratio to a baseline when one is given.
void report(const QString& name, const Figures& figures, const Figures* baseline = nullptr);

} // namespace BenchData
