// The program as main() builds it, driven through a scripted event for the power-loss explorer:
//
//   powerlossdriver <folder>
//   powerlossdriver <folder> restore <archive>
//
// The run restores the saved progress, draws, cancels a winner, makes a supplementary draw, saves the
// settings dialog's display tab and prize tab, draws again and closes the draw screen (the exit
// record). Boxes are answered Yes by the scripted dialogs double. Before and after every step it
// writes a marker line to the descriptor named by FSREC_MARKER_FD (when set), which the recorder
// keeps in order with the file calls of the step:
//   BEGIN <step>                     a step starts (restore, draw, cancel, supplement, display, prizes, exit)
//   ANNOUNCED <line>…                the stop press returned: the block is on the screen
//   CANCELLED <line>                 a winner's cancel returned: the line with its mark
//   SUPPLEMENTED <line>              a supplementary draw's stop returned: its line
//   SAVED <section> <key> <value>…   a settings save returned: the keys it wrote, as typed
//   EXITING <line>…                  the close starts: the all-winners list it records
//   EXITED                           the close returned and the window is closed
// Fields are separated by tabs, one marker a line. With restore, the run restores the event from the
// archive instead (the settings dialog's "从备份恢复...", the archive chosen in its file box):
//   BEGIN backup                     the restore starts
//   RESTORED <put-aside folder>      its box said the files are restored
// The process ends with 0 when every step went as scripted, else with 1 (the reason on standard
// error).
#include "apppaths.h"
#include "drive.h"
#include "lotteryapp.h"
#include "markers.h"
#include "scripteddialogs.h"
#include "setting.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

using DriverMarkers::mark;

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "powerlossdriver: %s\n", qPrintable(why));
    ::_exit(1);
}

void drawOnce(TForm1& form, const ScriptedDialogs& dialogs) {
    mark({QStringLiteral("BEGIN"), QStringLiteral("draw")});
    const qsizetype before = form.winnerLists().all().size();
    draw(form);
    const QStringList block = form.winnerLists().all().mid(before);
    if (block.isEmpty())
        fail(QStringLiteral("a draw recorded nothing: ") + dialogs.texts().join(QLatin1Char('|')));
    mark(QStringList{QStringLiteral("ANNOUNCED")} + block);
}

void cancelFirstCell(TForm1& form) {
    mark({QStringLiteral("BEGIN"), QStringLiteral("cancel")});
    QTableWidget* grid = form.winnersGrid();
    grid->setCurrentCell(0, 0);
    child<QAction>(form, QStringLiteral("N13"))->trigger();
    const QStringList marked = form.winnerLists().all().filter(QStringLiteral("---取消"));
    if (marked.size() != 1)
        fail(QStringLiteral("the cancel marked %1 lines").arg(marked.size()));
    mark({QStringLiteral("CANCELLED"), marked.first()});
}

void supplement(TForm1& form) {
    mark({QStringLiteral("BEGIN"), QStringLiteral("supplement")});
    child<QAction>(form, QStringLiteral("N10"))->trigger();
    auto* button = child<QPushButton>(form, QStringLiteral("btn_bu"));
    button->click();
    button->click();
    const QString line = form.winnerLists().all().constLast();
    if (!line.endsWith(QStringLiteral("---补抽奖")))
        fail(QStringLiteral("no supplementary line: ") + line);
    mark({QStringLiteral("SUPPLEMENTED"), line});
    form.SpeedButton1Click();
}

void saveSettings(Tfsetting& dialog, const QString& step, const QString& edit, const QString& button,
                  const QString& section, const QString& key, const QString& value) {
    mark({QStringLiteral("BEGIN"), step});
    dialog.show();
    child<QLineEdit>(dialog, edit)->setText(value);
    child<QPushButton>(dialog, button)->click();
    dialog.hide();
    mark({QStringLiteral("SAVED"), section, key, value});
}

void restoreBackup(Tfsetting& dialog, ScriptedDialogs& dialogs, const QString& archive) {
    dialog.show();
    dialogs.files.enqueue(archive);
    mark({QStringLiteral("BEGIN"), QStringLiteral("backup")});
    child<QPushButton>(dialog, QStringLiteral("btn_restore"))->click();
    const QStringList said = dialogs.texts().filter(QStringLiteral("已从备份恢复"));
    if (said.isEmpty())
        fail(QStringLiteral("the restore failed: ") + dialogs.texts().join(QLatin1Char('|')));
    mark({QStringLiteral("RESTORED"), said.first()});
    dialog.hide();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    if (!DriverMarkers::open())
        return 2;
    AppPaths::setFolder(args.at(1));
    ScriptedDialogs dialogs;

    LotteryApp windows;
    windows.start();
    TForm1& form = windows.form1();
    if (args.size() == 4 && args.at(2) == QStringLiteral("restore")) {
        restoreBackup(windows.setting(), dialogs, args.at(3));
        return 0;
    }

    mark({QStringLiteral("BEGIN"), QStringLiteral("restore")});
    child<QAction>(form, QStringLiteral("N20"))->trigger();
    if (!dialogs.texts().contains(QStringLiteral("抽奖信息读取成功!")))
        fail(QStringLiteral("the restore failed: ") + dialogs.texts().join(QLatin1Char('|')));
    mark({QStringLiteral("RESTORED")});

    for (int i = 0; i < 3; ++i)
        drawOnce(form, dialogs);
    cancelFirstCell(form);
    supplement(form);
    saveSettings(windows.setting(), QStringLiteral("display"), QStringLiteral("edt_title1"),
                 QStringLiteral("BitBtn2"), QStringLiteral("Setting"), QStringLiteral("Title1"),
                 QStringLiteral("年会抽奖 断电演练"));
    saveSettings(windows.setting(), QStringLiteral("prizes"), QStringLiteral("Edit5"),
                 QStringLiteral("BitBtn1"), QStringLiteral("JP"), QStringLiteral("prizename1"),
                 QStringLiteral("笔记本电脑"));
    // The settings save selects the last listed prize again, which is full by now.
    form.selectPosition(1);
    for (int i = 0; i < 2; ++i)
        drawOnce(form, dialogs);

    mark(QStringList{QStringLiteral("EXITING")} + form.winnerLists().all());
    form.close();
    if (form.isVisible())
        fail(QStringLiteral("the window did not close: ") + dialogs.texts().join(QLatin1Char('|')));
    mark({QStringLiteral("EXITED")});
    for (const ScriptedDialogs::Box& box : dialogs.boxes)
        if (box.kind == QStringLiteral("message") && box.icon != Dialogs::Icon::Information)
            fail(QStringLiteral("an error box: ") + box.text);
    return 0;
}
