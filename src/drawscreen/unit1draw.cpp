// The draw screen's draw: the toggle, the rolling display, the stop, the winners panel, the progress
// commands, the music and the exit record.
#include "unit1.h"

#include "apppaths.h"
#include "clock.h"
#include "configstore.h"
#include "dialogs.h"
#include "functionunit.h"
#include "operationerror.h"
#include "rollingdisplay.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {
const QString kIdle = QStringLiteral("抽奖");
const QString kRolling = QStringLiteral("停止");
const QString kSetting = QStringLiteral("Setting");

QTimer* makeTimer(QObject* parent, const char* name, int interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    return timer;
}
} // namespace

void TForm1::buildDrawControls() {
    time1 = makeTimer(this, "time1", 100);
    calc_time = makeTimer(this, "calc_time", 1000);
    Timer5 = makeTimer(this, "Timer5", 200);
    Cycle_timer = makeTimer(this, "Cycle_timer", 500);
    connect(time1, &QTimer::timeout, this, &TForm1::time1Timer);
    connect(calc_time, &QTimer::timeout, this, &TForm1::calc_timeTimer);
    connect(Timer5, &QTimer::timeout, this, &TForm1::Timer5Timer);
    connect(Cycle_timer, &QTimer::timeout, this, &TForm1::Cycle_timerTimer);

    TrackBar3 = new QSlider(Qt::Horizontal, this);
    TrackBar3->setObjectName(QStringLiteral("TrackBar3"));
    TrackBar3->setToolTip(QStringLiteral("播放进度"));
    TrackBar3->hide();

    connect(btn_prize, &QPushButton::clicked, this, &TForm1::btn_prizeClick);
    Memo3->installEventFilter(this);
    Grid1->installEventFilter(this);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N13 = addMenuItem(PopupMenu2, "N13", QStringLiteral("取消中奖"), &TForm1::N13Click);
    N21 = addMenuItem(PopupMenu2, "N21", QStringLiteral("恢复中奖"), &TForm1::N21Click);
    N14 = addMenuItem(PopupMenu2, "N14", QStringLiteral("隐藏中奖面板"), &TForm1::N14Click);
    connect(sb_close, &QToolButton::clicked, this, &TForm1::N14Click);

    // A right click makes the cell under the mouse current before the menu opens, so cancel and
    // restore act on the name the operator pointed at.
    Grid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_consoleMode)
            return;
        const QModelIndex index = Grid1->indexAt(pos);
        if (index.isValid())
            Grid1->setCurrentCell(index.row(), index.column());
        PopupMenu2->popup(Grid1->viewport()->mapToGlobal(pos));
    });
}

bool TForm1::isRolling() const {
    return m_model.rolling == DrawModel::Roll::Main;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Space or Enter on the rolling display or the winners grid works the draw button.
    if ((watched == Memo3 || watched == Grid1) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (btn_prize->isEnabled()) {
                btn_prize->setFocus();
                btn_prizeClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::btn_prizeClick() {
    Dialogs& dialogs = Dialogs::instance();
    if (m_model.pool.count() < 10) {
        FunctionUnit::information(QStringLiteral("请导入抽奖名单资料!"));
        return;
    }
    if (m_model.totalQuantity() > m_model.pool.count()) {
        m_model.repeatAllowed = true;
        if (!m_model.excessWarningShown) {
            dialogs.message(Dialogs::Icon::Information, QStringLiteral("消息"),
                            QStringLiteral("奖品数超出抽奖人数，只能重复抽奖"));
            m_model.excessWarningShown = true;
        }
    }
    const int slot = currentSlot();
    if (slot >= 0) {
        const PrizeSlot& prize = m_model.slots[slot];
        if (prize.drawn >= prize.quantity) {
            if (currentPosition() == 1)
                dialogs.beep();
            dialogs.message(Dialogs::Icon::Warning, QStringLiteral("温馨提示"),
                            QStringLiteral("该奖项已抽完!"));
            return;
        }
    }
    if (isRolling())
        stopDraw();
    else
        startDraw();
}

void TForm1::startDraw() {
    if (m_model.musicAvailable)
        playmp3(true);
    time1->start();
    m_model.rolling = DrawModel::Roll::Main;
    btn_prize->setText(kRolling);
    Panel2->hide();
    Memo3->show();
    m_engine.rollStarted();
    time1Timer();
    if (m_model.autoStopSeconds > 0) {
        m_model.autoStopCounter = 0;
        calc_time->start();
    } else {
        calc_time->stop();
    }
    Label1->hide();
}

void TForm1::stopDraw() {
    time1->stop();
    // The auto-stop is done with at once: a box shown below (a failed save) runs its own event loop,
    // in which a still running auto-stop would start the next draw behind the operator's back.
    calc_time->stop();
    m_model.rolling = DrawModel::Roll::None;
    btn_prize->setText(kIdle);
    Panel2->show();
    Memo3->hide();

    const int slot = currentSlot();
    int n = 0;
    if (slot >= 0) {
        const PrizeSlot& prize = m_model.slots[slot];
        n = std::max(0, std::min(prize.perDraw, prize.quantity - prize.drawn));
    }
    if (n <= 0) {
        // A draw of nothing (no current prize, or a per-draw count of 0) records nothing.
        if (m_model.musicAvailable)
            playmp3(false);
        return;
    }
    const QString prizeName = ComboBox1->currentText();
    const QStringList winners = m_engine.pickWinners(slot, n, m_model.repeatAllowed);

    if (winners.isEmpty()) {
        // Nobody can be drawn any more: nothing is recorded.
        if (m_model.musicAvailable)
            playmp3(false);
        FunctionUnit::information(QStringLiteral("已没有可抽奖的人员!"));
        return;
    }

    const int drawn = static_cast<int>(winners.size());
    m_results.recordDraw(slot, prizeName, winners, Clock::instance().now());
    fillGrid();
    showAnnouncement(QStringLiteral("恭喜以下%1位幸运者中了%2").arg(drawn).arg(prizeName));
    readstate();
    if (automaticSelection())
        autoselect();
    if (m_model.musicAvailable)
        playmp3(false);
    if (drawn < n)
        FunctionUnit::information(QStringLiteral("剩余可抽奖人数不足，本次只抽出 %1 位").arg(drawn));
    if (const QString notice = m_engine.takePresetNotice(); !notice.isEmpty())
        FunctionUnit::information(notice);
}

void TForm1::showProgress() {
    const int slot = currentSlot();
    if (slot < 0)
        return;
    QString text = DrawModel::progressText(m_model.slots[slot]);
    // While a rule or check-in only narrows the draw, the operator sees how many it can still take.
    if (const QString note = m_engine.eligibility().drawableNote(slot, m_model.repeatAllowed);
        !note.isEmpty())
        text += QStringLiteral("  ") + note;
    Label4->setText(text);
}

void TForm1::showAnnouncement(const QString& text) {
    Label1->setText(text);
    Label1->show();
}

void TForm1::time1Timer() {
    const bool supplementary = m_model.rolling == DrawModel::Roll::Supplementary;
    QStringList lines = m_engine.rollingLines(
        10, supplementary ? supplementarySlot() : currentSlot(),
        supplementary ? Eligibility::Draw::Supplementary : Eligibility::Draw::Main, m_model.repeatAllowed);
    for (QString& line : lines)
        line.replace(QLatin1Char('	'), QStringLiteral("  "));
    Memo3->showLines(lines);
}

void TForm1::calc_timeTimer() {
    ++m_model.autoStopCounter;
    if (m_model.autoStopCounter < m_model.autoStopSeconds)
        return;
    if (btn_prize->isEnabled())
        btn_prizeClick();
    else
        btn_buClick(); // the supplementary panel is open: its button takes the press
    calc_time->stop();
}

void TForm1::cleargrid() {
    Grid1->clearContents();
    Grid1->setRowCount(1);
    for (int c = 0; c < Grid1->columnCount(); ++c)
        Grid1->setItem(0, c, nullptr);
}

void TForm1::fillGrid() {
    const QStringList& names = m_lists->current();
    const int columns = DrawModel::clampColumns(m_model.currentColumns);
    Grid1->setColumnCount(columns);
    cleargrid();
    const int count = static_cast<int>(names.size());
    const int rows = std::max(1, count / columns + (count % columns ? 1 : 0));
    Grid1->setRowCount(rows);
    const int rowHeight = rows >= 8 ? m_geometry.scale.px(55) : std::max(1, (Grid1->height() - 5) / rows);
    for (int r = 0; r < rows; ++r) {
        Grid1->setRowHeight(r, rowHeight);
        for (int c = 0; c < columns; ++c) {
            const int index = r * columns + c;
            auto* item = new QTableWidgetItem(index < count ? EntrantPool::trimmed(names.at(index)).toString()
                                                            : QString());
            item->setTextAlignment(Qt::AlignCenter);
            Grid1->setItem(r, c, item);
        }
    }
    Grid1->setCurrentCell(0, 0);
}

int TForm1::currentCellIndex() const {
    return std::max(0, Grid1->currentRow()) * Grid1->columnCount() + std::max(0, Grid1->currentColumn());
}

void TForm1::N13Click() {
    QTableWidgetItem* cell = Grid1->currentItem();
    const QString t = cell ? cell->text() : QString();
    if (!FunctionUnit::confirm(QStringLiteral("真的要取消 %1 中奖?").arg(t)))
        return;
    if (!cell) {
        cell = new QTableWidgetItem();
        cell->setTextAlignment(Qt::AlignCenter);
        Grid1->setItem(std::max(0, Grid1->currentRow()), std::max(0, Grid1->currentColumn()), cell);
    }
    const int line = m_lists->lineOfCell(currentCellIndex(), t, false);
    cell->setText(WinnerLists::cancelCell(t));
    m_results.cancelLine(line);
}

void TForm1::N21Click() {
    QTableWidgetItem* cell = Grid1->currentItem();
    const QString t = cell ? cell->text() : QString();
    if (!t.contains(WinnerLists::kCancelPrefix)) {
        FunctionUnit::warning(QStringLiteral("并未取消该中奖记录，不需恢复!"));
        return;
    }
    if (!FunctionUnit::confirm(QStringLiteral("真的要恢复 %1 中奖?").arg(t)))
        return;
    const QString u = WinnerLists::restoreCell(t);
    const int line = m_lists->lineOfCell(currentCellIndex(), u, true);
    cell->setText(u);
    m_results.restoreLine(line);
}

void TForm1::N14Click() {
    if (Panel2->isVisible()) {
        Panel2->hide();
        Label1->hide();
    }
    if (btn_prize->isEnabled())
        btn_prize->setFocus();
}

void TForm1::N4Click() {
    if (!Panel2->isVisible())
        Panel2->show();
}

bool TForm1::saveProgress() {
    return m_results.saveNow();
}

void TForm1::N19Click() {
    saveProgress();
}

void TForm1::N20Click() {
    if (!FunctionUnit::confirm(QStringLiteral("您确定要读取抽奖信息? 这将会覆盖现在抽奖记录!")))
        return;
    restoreProgress();
}

bool TForm1::restoreProgress() {
    // The winners file is read first: when it cannot be read, nothing changes.
    SavedState::Resolved restored;
    try {
        restored = m_results.restoreProgress();
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
    readstate();
    const QString notes = EventResults::restoreNotes(restored);
    FunctionUnit::information(notes.isEmpty() ? QStringLiteral("抽奖信息读取成功!")
                                              : QStringLiteral("抽奖信息读取成功!\n\n") + notes);
    return true;
}

bool TForm1::hasUnrestoredResults() const {
    return m_results.holdsUnloadedResults();
}

void TForm1::offerRestore() {
    if (!hasUnrestoredResults())
        return;
    if (FunctionUnit::confirm(QStringLiteral("上次的抽奖进度尚未读出，是否读出上次的抽奖进度?")))
        restoreProgress();
}

void TForm1::N18Click() {
    if (!FunctionUnit::confirm(QStringLiteral("您确定要初始化抽奖信息? 这将会把已抽奖记录删除!")))
        return;
    // The check-ins (and whatever else the event keeps beside its results) may go too, or stay for the
    // next round of the same evening.
    QStringList parts;
    for (const EventPart* part : m_results.partsWithEntries())
        parts << part->partName();
    if (!parts.isEmpty() &&
        FunctionUnit::confirm(QStringLiteral("是否同时清除%1? (清除前另存为带日期的副本)")
                                  .arg(parts.join(QStringLiteral("、")))) &&
        !m_results.clearParts())
        return;
    // The files keep the results just put aside (restore brings them back) until the next save keeps
    // them as dated copies.
    m_results.initialise();
    try {
        TextFiles::emptyProgress();
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    if (!getdata())
        return;
    if (automaticSelection())
        autoselect();
    readstate();
    FunctionUnit::information(QStringLiteral("抽奖信息初始化成功!"));
}

void TForm1::playmp3(bool play) {
    if (!mp3player)
        return;
    if (play) {
        TrackBar3->setMinimum(0);
        mp3player->open(AppPaths::file(AppPaths::kMusic));
        TrackBar3->setMaximum(static_cast<int>(std::min<qint64>(mp3player->length(), INT_MAX)));
        Timer5->start();
        Cycle_timer->start();
        mp3player->play();
    } else {
        if (mp3player->isOpen())
            mp3player->stop();
        Cycle_timer->stop();
        Timer5->stop();
    }
}

void TForm1::Cycle_timerTimer() {
    if (!mp3player)
        return;
    // The length is known only once the media layer has read the file.
    if (TrackBar3->maximum() <= 0)
        TrackBar3->setMaximum(static_cast<int>(std::min<qint64>(mp3player->length(), INT_MAX)));
    TrackBar3->setValue(static_cast<int>(std::min<qint64>(mp3player->position(), INT_MAX)));
}

void TForm1::Timer5Timer() {
    if (!mp3player || TrackBar3->maximum() <= 0)
        return;
    if (TrackBar3->value() == TrackBar3->maximum()) {
        TrackBar3->setValue(1);
        mp3player->setPosition(0);
        mp3player->play();
    }
}

void TForm1::writeExitRecord() {
    // The results are in their files already: a history that cannot be written is reported (once
    // per run) and the program still ends. The record is written at most once per run.
    m_results.writeHistory();
    // The two settings are not worth keeping the program open for either.
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        store.writeBool(kSetting, QStringLiteral("automatic"), automaticSelection());
        if (m_model.presetUsed)
            store.writeInteger(kSetting, QStringLiteral("Times"), m_model.presets.useCount() + 1);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    writeExitRecord();
    time1->stop();
    calc_time->stop();
    playmp3(false);
    event->accept();
    Q_EMIT closed();
}
