// The draw screen's draw: the toggle, the rolling display, the stop, the winners panel, the progress
// commands, the music and the exit record.
#include "unit1.h"

#include "apppaths.h"
#include "clock.h"
#include "configstore.h"
#include "dialogs.h"
#include "functionunit.h"
#include "namewall.h"
#include "operationerror.h"
#include "rollingdisplay.h"
#include "textfiles.h"
#include "winnercelldelegate.h"
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
    Timer5 = makeTimer(this, "Timer5", 200);
    Cycle_timer = makeTimer(this, "Cycle_timer", 500);
    connect(time1, &QTimer::timeout, this, &TForm1::time1Timer);
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

    // The window shows the session: every change of the draw arrives here, whichever front end or
    // timer made it.
    connect(&m_session, &DrawSession::phaseChanged, this, &TForm1::showPhase);
    connect(&m_session, &DrawSession::prizeChanged, this, &TForm1::showPrize);
    connect(&m_session, &DrawSession::supplementaryChanged, this, &TForm1::showSupplementary);
    connect(&m_session, &DrawSession::resultsChanged, this, &TForm1::fillGrid);
    connect(&m_session, &DrawSession::progressChanged, this, &TForm1::showProgress);
    connect(&m_session, &DrawSession::announced, this, &TForm1::showAnnouncement);
    connect(&m_session, &DrawSession::stageNotice, this, &TForm1::showStageNotice);
    connect(&m_session, &DrawSession::folderChecked, this, &TForm1::showBanner);
    connect(&m_session, &DrawSession::drawTakenBack, this, &TForm1::showDrawTakenBack);
    connect(&m_session, &DrawSession::poolLoaded, this, &TForm1::poolLoaded);
    // Other choices of what the hall sees of a line: the winners standing are shown anew.
    connect(&m_event, &Event::lineDisplayChanged, this, [this] {
        if (!m_session.results().isEmpty())
            fillGrid();
    });
}

bool TForm1::isRolling() const {
    return m_session.phase() == DrawSession::Phase::MainRoll;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Space or Enter on the rolling display or the winners grid works the draw toggle; a key held
    // down is one press.
    if ((watched == Memo3 || watched == Grid1) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!key->isAutoRepeat() && !m_session.supplementaryOpen())
                btn_prizeClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::focusDrawButton() {
    if (m_session.supplementaryOpen())
        btn_bu->setFocus();
    else
        btn_prize->setFocus();
}

void TForm1::btn_prizeClick() {
    m_session.toggleDraw();
    focusDrawButton();
}

void TForm1::showPhase() {
    const DrawSession::Phase phase = m_session.phase();
    const auto last = static_cast<DrawSession::Phase>(m_lastPhase);
    m_lastPhase = static_cast<int>(phase);
    if (phase != DrawSession::Phase::Idle)
        m_stageNotice.clear();
    // The results a stop records stand under the prize they were drawn for.
    if (last == DrawSession::Phase::MainRoll && phase != DrawSession::Phase::MainRoll) {
        m_resultsSlot = m_session.slot();
        m_resultsSupplementary = false;
    } else if (last == DrawSession::Phase::SupplementaryRoll &&
               phase != DrawSession::Phase::SupplementaryRoll) {
        m_resultsSlot = m_session.supplementarySlot();
        m_resultsSupplementary = true;
    }
    const bool rolling = m_session.rolling();
    btn_prize->setText(phase == DrawSession::Phase::MainRoll ? kRolling : kIdle);
    btn_bu->setText(phase == DrawSession::Phase::SupplementaryRoll ? kRolling : QStringLiteral("开始"));
    if (rolling) {
        endRevealView();
        if (m_model.musicAvailable)
            playmp3(true);
        time1->start();
        Panel2->hide();
        if (rollsOnWall()) {
            Memo3->hide();
            startWall();
        } else {
            Memo3->show();
        }
        time1Timer();
        if (phase == DrawSession::Phase::MainRoll)
            Label1->hide();
    } else {
        time1->stop();
        // The slowing names stay in view while they settle; every other reveal shows the cards.
        // The name wall reveals its winners itself.
        const bool revealing = phase == DrawSession::Phase::Reveal;
        const bool onWall = revealing && rollsOnWall() && !m_wall->isHidden();
        const bool slowing =
            revealing && !onWall && m_session.reveal().show.reveal == PrizeShow::Reveal::SlowStop;
        if (!revealing)
            endRevealView();
        Panel2->setVisible(!slowing && !onWall);
        Memo3->setVisible(slowing);
        if (last == DrawSession::Phase::MainRoll || last == DrawSession::Phase::SupplementaryRoll)
            if (m_model.musicAvailable)
                playmp3(false);
    }
    // What cannot start while names roll is not offered.
    ComboBox2->setEnabled(!rolling);
    SpeedButton1->setEnabled(phase != DrawSession::Phase::SupplementaryRoll);
    for (QAction* command : {N10, N18, N20})
        command->setEnabled(!rolling);
    showBanner();
}

void TForm1::showPrize() {
    {
        const QSignalBlocker blocker(ComboBox1);
        ComboBox1->setCurrentIndex(m_session.position());
    }
    ComboBox1->setEnabled(!m_session.automatic());
    (m_session.automatic() ? automatic : manual)->setChecked(true);
    if (m_session.slot() != m_stageNoticeSlot)
        m_stageNotice.clear();
    // Another prize chosen while a draw's winners are shown: the stage goes to the prize the next
    // press draws, so the winners never stand under another prize's name. The stop's own automatic
    // selection leaves its winners in view.
    if (!m_session.stopping() && m_session.phase() == DrawSession::Phase::Idle && Panel2->isVisible() &&
        m_resultsSlot >= 0 && m_session.slot() != m_resultsSlot && !m_resultsSupplementary) {
        Panel2->hide();
        Label1->hide();
    }
    readstate();
    showBanner();
}

void TForm1::showProgress() {
    if (currentSlot() < 0)
        return;
    Label4->setText(m_session.progressText());
    showBanner();
}

void TForm1::showStageNotice(const QString& text) {
    m_stageNotice = text;
    m_stageNoticeSlot = m_session.slot();
    showBanner();
}

void TForm1::showDrawTakenBack(const QString& notice) {
    // Nobody of a draw that was not saved is shown as a winner: the band says why instead.
    Panel2->hide();
    Label1->hide();
    showStageNotice(notice);
}

void TForm1::showAnnouncement(const QString& text) {
    Label1->setText(text);
    Label1->show();
}

void TForm1::time1Timer() {
    const bool supplementary = m_session.phase() == DrawSession::Phase::SupplementaryRoll;
    QStringList lines = m_engine.rollingLines(
        10, supplementary ? m_session.supplementarySlot() : currentSlot(),
        supplementary ? Eligibility::Draw::Supplementary : Eligibility::Draw::Main, m_model.repeatAllowed);
    if (!supplementary && !m_wall->isHidden())
        m_wall->light(lines);
    for (QString& line : lines)
        line = m_event.lineDisplay().hallText(line).replace(QLatin1Char('\t'), QStringLiteral("  "));
    Memo3->showLines(lines);
}

void TForm1::cleargrid() {
    Grid1->clearContents();
    Grid1->setRowCount(1);
    for (int c = 0; c < Grid1->columnCount(); ++c)
        Grid1->setItem(0, c, nullptr);
}

void TForm1::fillGrid() {
    const QList<DrawSession::Result>& results = m_session.results();
    // A cancel or a restore changes the marks of the draw already shown: the cells keep their place.
    const auto sameDraw = [&] {
        if (results.size() != m_shownResults.size())
            return false;
        for (int i = 0; i < results.size(); ++i)
            if (results[i].line != m_shownResults[i].line || results[i].cell != m_shownResults[i].cell)
                return false;
        return true;
    };
    // A cell shows the winner as the hall sees the line; the session's result keeps the whole line.
    const auto shownOf = [this](const DrawSession::Result& result) {
        return m_event.lineDisplay().hallTextWithin(result.shown(), m_lists->cellNameOf(result.cell));
    };
    // Each cell also holds what its card shows: the entrant, its prize and marks.
    const auto describe = [this](QTableWidgetItem* item, const DrawSession::Result& result) {
        item->setData(WinnerCellDelegate::EntrantRole,
                      m_event.lineDisplay().hallText(m_lists->cellNameOf(result.cell)));
        item->setData(WinnerCellDelegate::SupplementaryRole, result.supplementary);
        item->setData(WinnerCellDelegate::CancelledRole, result.cancelled);
        if (result.supplementary)
            item->setData(WinnerCellDelegate::PrizeRole, result.cell.section(QStringLiteral("："), 0, 0));
    };
    if (!results.isEmpty() && sameDraw()) {
        const int columns = std::max(1, Grid1->columnCount());
        for (int i = 0; i < results.size(); ++i)
            if (QTableWidgetItem* item = Grid1->item(i / columns, i % columns)) {
                item->setText(shownOf(results[i]));
                describe(item, results[i]);
            }
        m_shownResults = results;
        return;
    }
    placeGrid(0);
    m_shownResults = results;
    const int count = static_cast<int>(results.size());
    if (count == 1 && results.first().supplementary) {
        // One large cell for the one supplementary name.
        Grid1->setColumnCount(1);
        Grid1->setColumnWidth(0, std::max(0, Grid1->width() - 5));
        cleargrid();
        Grid1->setRowHeight(0, std::max(1, Grid1->height() - 5));
        auto* cell = new QTableWidgetItem(shownOf(results.first()));
        cell->setTextAlignment(Qt::AlignCenter);
        describe(cell, results.first());
        Grid1->setItem(0, 0, cell);
        Grid1->setCurrentCell(0, 0);
        return;
    }
    const int columns = DrawModel::clampColumns(m_model.currentColumns);
    Grid1->setColumnCount(columns);
    cleargrid();
    const int rows = std::max(1, count / columns + (count % columns ? 1 : 0));
    Grid1->setRowCount(rows);
    const int rowHeight = rows >= 8 ? m_geometry.scale.px(55) : std::max(1, (Grid1->height() - 5) / rows);
    for (int r = 0; r < rows; ++r) {
        Grid1->setRowHeight(r, rowHeight);
        for (int c = 0; c < columns; ++c) {
            const int index = r * columns + c;
            auto* item = new QTableWidgetItem(index < count ? shownOf(results.at(index)) : QString());
            item->setTextAlignment(Qt::AlignCenter);
            if (index < count)
                describe(item, results.at(index));
            Grid1->setItem(r, c, item);
        }
    }
    if (count > 0)
        gridsize();
    // Rows of a fixed height that leave room below are centred in the panel.
    if (rows >= 8)
        placeGrid(rows * rowHeight + 5);
    Grid1->setCurrentCell(0, 0);
    showBanner();
}

int TForm1::currentResult() const {
    const int index =
        std::max(0, Grid1->currentRow()) * Grid1->columnCount() + std::max(0, Grid1->currentColumn());
    return index < m_session.results().size() ? index : -1;
}

void TForm1::N13Click() {
    m_session.cancelResult(currentResult());
}

void TForm1::N21Click() {
    m_session.restoreResult(currentResult());
}

void TForm1::N14Click() {
    if (Panel2->isVisible()) {
        Panel2->hide();
        Label1->hide();
    }
    focusDrawButton();
}

void TForm1::N4Click() {
    if (!Panel2->isVisible() && !m_session.rolling())
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
    // Every saved state is offered: the current files, and each pair of dated copies.
    m_session.restoreProgress(true);
}

bool TForm1::restoreProgress() {
    return m_session.restoreProgress().isEmpty();
}

bool TForm1::hasUnrestoredResults() const {
    return m_results.holdsUnloadedResults();
}

void TForm1::offerRestore() {
    m_session.offerRestore();
}

void TForm1::N18Click() {
    m_session.initialise();
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
    // The two settings are not worth keeping the program open for either.
    m_event.close(automaticSelection());
}

void TForm1::closeEvent(QCloseEvent* event) {
    writeExitRecord();
    m_session.endRun();
    time1->stop();
    playmp3(false);
    event->accept();
    Q_EMIT closed();
}
