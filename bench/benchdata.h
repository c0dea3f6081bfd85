#pragma once

#include "dialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Made-up event data at any size, and a small timer that reports minimum and median.
namespace BenchData {

// A GBK entrant list of `lines` lines: a Chinese name, a tab and a staff number, CR LF after each.
// With departments each line ends in a tab and one of eight departments (销售部 one line in eight),
// or, one line in a thousand, 董事会.
QByteArray entrantList(int lines, quint32 seed = 2027, bool departments = false);

// The pool sizes every benchmark runs at.
inline constexpr int kPoolSizes[] = {1'000, 100'000, 1'000'000};

// An event in the folder: 抽奖名单.txt of `lines` lines (entrantList) and a prize.db with one prize
// of `perDraw` winners per draw and all 24 pre-set entries filled: a whole line, a staff number and,
// but for the last prize, a bare name (the last prize names somebody who is not in the list). The
// entries are loaded but wait for a later day, so every draw does the same work.
void writeEvent(const QString& folder, int lines, int perDraw = 100, bool departments = false);
// Writes the bytes to the path or stops the program.
void writeFile(const QString& path, const QByteArray& bytes);

struct Figures {
    double minMs = 0;
    double medianMs = 0;
    int runs = 0;
};
// Installed in place of the real boxes: a benchmark that would show a box or dialog stops with its
// text instead of waiting for an operator who is not there.
class NoBoxes : public Dialogs {
public:
    NoBoxes() { Dialogs::install(this); }
    ~NoBoxes() override { Dialogs::install(nullptr); }
    void message(Icon, const QString& caption, const QString& text) override { fail(caption + ": " + text); }
    bool question(const QString& caption, const QString& text) override { fail(caption + ": " + text); }
    QString openFile(const QString& caption, const QString&) override { fail(caption); }
    QString saveFile(const QString& caption, const QString&, QString*, const QString&) override {
        fail(caption);
    }
    std::optional<QColor> chooseColor(const QColor&) override { fail(QStringLiteral("colour")); }
    std::optional<QFont> chooseFont(const QFont&) override { fail(QStringLiteral("font")); }
    void beep() override {}
    void openDocument(const QString& path) override { fail(path); }

private:
    [[noreturn]] static void fail(const QString& what);
};

// Runs the body `runs` times (setup before each run, untimed) and measures each run.
Figures measure(int runs, const std::function<void()>& body, const std::function<void()>& setup = {});

// One line of the report: name, figures, and the ratio to a baseline when one is given.
void report(const QString& name, const Figures& figures, const Figures* baseline = nullptr);

} // namespace BenchData
