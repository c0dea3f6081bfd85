// The program as main() builds it, driven by key presses on the draw button, for the power-cut test.
//
//   powercutchild <folder> [--restore]
//
// The program's folder is <folder>. Start-up offers to restore saved results; with --restore the run
// answers Yes, as the operator does after a restart, else No. Then it draws until every prize is
// full, pressing Space on the draw button to start a roll and again to stop it (a reveal after the
// stop is watched a moment or ended by a press), and between draws
// now and then corrects the list as an operator does: cancels a winner in the winners panel,
// restores a cancelled one, or runs a supplementary draw. It tells the parent on standard output,
// one line each, written straight to the pipe so that a line written is a line the parent gets even
// when the process is killed the moment after:
//   READY                      the windows are up
//   RESTORED <lines> <have0> … <have7>   after the restore: the all-winners list and the drawn counts
//   ALL\t<line>\t<line>…       the whole all-winners list on the screen (after a restore, a correction)
//   BOX <text>                 a box the program showed (its text)
//   STOP                       the stop press is about to be made
//   ANN <µs>\t<line>\t<line>…  the stop press has returned: its block is announced on the screen
//   COR <kind>                 a correction (cancel, restore, supplementary) is about to be made
//   FAILING                    the next stop's save will fail (prize.db read-only for it)
//   UNSAVED                    that stop's save failed and it showed nothing
//   FULL                       every prize is full; nothing more is drawn
#include "apppaths.h"
#include "drawmodel.h"
#include "lotteryapp.h"
#include "scripteddialogs.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

namespace {

void tell(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(STDOUT_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            ::_exit(3);
        done += n;
    }
}

// Answers Yes to every question and tells the parent about every box.
class ReportingDialogs : public ScriptedDialogs {
public:
    void message(Icon icon, const QString& caption, const QString& text) override {
        ScriptedDialogs::message(icon, caption, text);
        tell(QStringLiteral("BOX ") + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        if (text == QStringLiteral("该奖项已抽完!"))
            full = true;
    }
    bool question(const QString& caption, const QString& text) override {
        tell(QStringLiteral("BOX ") + text);
        if (text.startsWith(QStringLiteral("上次的抽奖进度尚未读出")))
            return restoreAtStart;
        return ScriptedDialogs::question(caption, text);
    }
    bool full = false;
    bool restoreAtStart = false;
};

class Driver : public QObject {
public:
    Driver(TForm1& form, ReportingDialogs& dialogs) : m_form(form), m_dialogs(dialogs) {
        m_button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Driver::step);
    }

    // The start-up question has restored the progress: what came back.
    void restored() {
        QString line = QStringLiteral("RESTORED %1").arg(m_form.winnerLists().all().size());
        for (const PrizeSlot& slot : m_form.model().slots)
            line += QStringLiteral(" %1").arg(slot.drawn);
        tell(line);
        tellAll();
    }

    void begin() { m_timer.start(0); }

private:
    void tellAll() {
        QString line = QStringLiteral("ALL");
        for (const QString& entry : m_form.winnerLists().all())
            line += QLatin1Char('\t') + entry;
        tell(line);
    }

    // One correction on the winners panel: cancel a cell, restore a cancelled one, or a supplementary
    // draw (open the panel, start, stop, close).
    void correct() {
        auto* grid = m_form.findChild<QTableWidget*>(QStringLiteral("Grid1"));
        QList<std::pair<int, int>> filled;
        QList<std::pair<int, int>> cancelled;
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                if (const QTableWidgetItem* item = grid->item(r, c); item && !item->text().isEmpty()) {
                    filled.append({r, c});
                    if (item->text().startsWith(QStringLiteral("取消---")))
                        cancelled.append({r, c});
                }
        const int kind = static_cast<int>(QRandomGenerator::global()->bounded(3));
        if (kind == 1 && !cancelled.isEmpty()) {
            const auto [r, c] = cancelled.at(QRandomGenerator::global()->bounded(cancelled.size()));
            grid->setCurrentCell(r, c);
            tell(QStringLiteral("COR restore"));
            m_form.findChild<QAction*>(QStringLiteral("N21"))->trigger();
        } else if (kind == 2 || filled.isEmpty()) {
            tell(QStringLiteral("COR supplementary"));
            m_form.findChild<QAction*>(QStringLiteral("N10"))->trigger();
            auto* button = m_form.findChild<QPushButton*>(QStringLiteral("btn_bu"));
            button->click();
            button->click();
            m_form.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        } else {
            const auto [r, c] = filled.at(QRandomGenerator::global()->bounded(filled.size()));
            grid->setCurrentCell(r, c);
            tell(QStringLiteral("COR cancel"));
            m_form.findChild<QAction*>(QStringLiteral("N13"))->trigger();
        }
        tellAll();
    }

    void step() {
        // A reveal after a stop: the hall watches it a moment, or a press ends it at once.
        if (m_form.session().revealing()) {
            if (QRandomGenerator::global()->bounded(2) == 0)
                QTest::keyClick(m_button, Qt::Key_Space);
            m_timer.start(static_cast<int>(QRandomGenerator::global()->bounded(0, 20)));
            return;
        }
        // Between draws, now and then a correction, once the event has a main draw.
        if (!m_form.isRolling() && !m_form.winnerLists().saved().isEmpty() &&
            QRandomGenerator::global()->bounded(3) == 0) {
            correct();
            m_timer.start(static_cast<int>(QRandomGenerator::global()->bounded(0, 10)));
            return;
        }
        if (!m_form.isRolling()) {
            QTest::keyClick(m_button, Qt::Key_Space);
            if (m_dialogs.full) {
                tell(QStringLiteral("FULL"));
                return;
            }
            // The names roll for a moment, as they do on the projector (shortened).
            m_timer.start(static_cast<int>(QRandomGenerator::global()->bounded(5, 40)));
            return;
        }
        const qsizetype before = m_form.winnerLists().all().size();
        // Now and then the disk fails for this stop (prize.db read-only): its save fails and the stop
        // must show nothing.
        const QString db = AppPaths::file(AppPaths::kPrizeDb);
        const QFileDevice::Permissions permissions = QFile::permissions(db);
        const bool failing = QRandomGenerator::global()->bounded(6) == 0;
        if (failing) {
            tell(QStringLiteral("FAILING"));
            QFile::setPermissions(db, permissions & ~(QFileDevice::WriteOwner | QFileDevice::WriteUser |
                                                      QFileDevice::WriteGroup | QFileDevice::WriteOther));
        }
        tell(QStringLiteral("STOP"));
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(m_button, Qt::Key_Space);
        const qint64 micros = clock.nsecsElapsed() / 1000;
        if (failing) {
            QFile::setPermissions(db, permissions);
            if (m_form.winnerLists().all().size() == before && !m_form.isRolling()) {
                tell(QStringLiteral("UNSAVED"));
                m_timer.start(0);
                return;
            }
        }
        QString line = QStringLiteral("ANN %1").arg(micros);
        const QStringList& all = m_form.winnerLists().all();
        for (qsizetype i = before; i < all.size(); ++i)
            line += QLatin1Char('\t') + all.at(i);
        tell(line);
        m_timer.start(static_cast<int>(QRandomGenerator::global()->bounded(0, 10)));
    }

    TForm1& m_form;
    ReportingDialogs& m_dialogs;
    QPushButton* m_button = nullptr;
    QTimer m_timer;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    AppPaths::setFolder(args.at(1));
    ReportingDialogs dialogs;
    dialogs.restoreAtStart = args.contains(QStringLiteral("--restore"));

    LotteryApp windows;
    windows.start();
    tell(QStringLiteral("READY"));
    Driver driver(windows.form1(), dialogs);
    if (dialogs.restoreAtStart)
        driver.restored();
    driver.begin();
    return QApplication::exec();
}
