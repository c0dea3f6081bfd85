#include "drawsession.h"

#include "event.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "configstore.h"
#include "drawengine.h"
#include "drawmodel.h"
#include "eventresults.h"
#include "functionunit.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "savedstates.h"
#include "stagesounds.h"
#include "textfiles.h"
#include "verifiabledraw.h"
#include "winnerlists.h"

#include <QDir>
#include <QScopedValueRollback>

namespace {
const QString kSetting = QStringLiteral("Setting");
const QString kRefusedOtherRoll = QStringLiteral("另一轮抽奖正在进行");
const QString kRefusedAutomatic = QStringLiteral("自动选择奖项时不能手动选择");
const QString kRefusedChanged = QStringLiteral("中奖记录已变化");
const QString kRefusedNoLine = QStringLiteral("没有对应的中奖记录");
} // namespace

const QString DrawSession::kRefusedRolling = QStringLiteral("正在抽奖");
const QString DrawSession::kRefusedSettings = QStringLiteral("正在抽奖，请先停止，再保存设置。");
const QString DrawSession::kFolderStageNotice = QStringLiteral("文件夹不能写入，暂停抽奖");
const QString DrawSession::kFolderNotice =
    QStringLiteral("活动文件夹不能写入，抽奖结果无法保存：请先处理后再抽奖");
const QString DrawSession::kNotSavedNotice = QStringLiteral("抽奖结果没有保存，本次抽奖不算");
const QString DrawSession::kNotSaved = QStringLiteral("抽奖结果没有保存，本次抽奖不算：");

QString DrawSession::Result::shown() const {
    return cancelled ? WinnerLists::cancelCell(cell) : cell;
}

DrawSession::DrawSession(Event& event, QObject* parent)
    : QObject(parent), m_event(event), m_model(event.model()), m_lists(event.lists()),
      m_results(event.results()), m_engine(event.engine()), m_verify(event.verify()) {
    m_autoStop = new QTimer(this);
    m_autoStop->setObjectName(QStringLiteral("calc_time"));
    m_autoStop->setInterval(1000);
    connect(m_autoStop, &QTimer::timeout, this, &DrawSession::autoStopTick);
    m_revealTimer = new QTimer(this);
    m_revealTimer->setObjectName(QStringLiteral("reveal_time"));
    m_revealTimer->setSingleShot(true);
    connect(m_revealTimer, &QTimer::timeout, this, &DrawSession::finishReveal);
    // A draw or a supplementary draw recorded: its results are the latest. A list replaced (a
    // restore, an initialise) leaves no latest draw to show.
    connect(&m_lists, &WinnerLists::currentLinked, this, &DrawSession::takeResults);
    connect(&m_lists, &WinnerLists::allReset, this, &DrawSession::clearResults);
    // A cancel mark set or taken away anywhere shows on the results that stand for its line.
    connect(&m_lists, &WinnerLists::allLineChanged, this, [this](int line) {
        for (const Result& result : std::as_const(m_resultList))
            if (result.line == line)
                return refreshResults();
    });
    connect(&m_event, &Event::reloaded, this, &DrawSession::eventReloaded);
}

void DrawSession::eventReloaded() {
    // A reload is refused while names roll; a reveal ends first.
    settle();
    m_supplementaryOpen = false;
    m_cancelledPrize.clear();
    clearResults();
    prizeTableLoaded();
    // The prize shown is chosen as at start: the last listed one, or the automatic choice.
    if (!m_model.listedSlots.isEmpty())
        selectPosition(static_cast<int>(m_model.listedSlots.size()) - 1);
    if (m_automatic)
        autoselect();
    Q_EMIT supplementaryChanged();
    Q_EMIT poolLoaded();
    Q_EMIT progressChanged();
    journalChanges();
}

void DrawSession::journalChanges() {
    // Shown at once; a journal that cannot take them now is said, and the next draw tries again.
    try {
        m_verify.journalChanges();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
    }
}

// ---- The prize

int DrawSession::slot() const {
    return m_model.slotAt(m_position);
}

QString DrawSession::prizeName() const {
    const QStringList names = m_model.listedNames();
    return m_position >= 0 && m_position < names.size() ? names.at(m_position) : QString();
}

const EntrantPool& DrawSession::pool() const {
    return m_model.pool;
}

const PrizeSlot* DrawSession::prize() const {
    const int s = slot();
    return s >= 0 ? &m_model.slots[s] : nullptr;
}

QStringList DrawSession::prizeNames() const {
    return m_model.listedNames();
}

void DrawSession::selectPosition(int position) {
    const int listed = static_cast<int>(m_model.listedSlots.size());
    const int next = position >= 0 && position < listed ? position : -1;
    if (next == m_position)
        return;
    m_position = next;
    readPrizeState();
    Q_EMIT prizeChanged();
}

QString DrawSession::progressText() const {
    const int current = slot();
    if (current < 0)
        return {};
    QString text = DrawModel::progressText(m_model.slots[current]);
    if (const QString note = m_engine.eligibility().drawableNote(current, m_model.repeatAllowed);
        !note.isEmpty())
        text += QStringLiteral("  ") + note;
    return text;
}

QString DrawSession::choosePrize(int position) {
    settle();
    // While names roll the selector stays usable: the prize current at the stop takes the winners.
    if (m_automatic)
        return kRefusedAutomatic;
    if (position < 0 || position >= m_model.listedSlots.size())
        return kRefusedNoLine;
    selectPosition(position);
    return {};
}

QString DrawSession::previousPrize() {
    settle();
    if (rolling())
        return kRefusedRolling;
    if (m_supplementaryOpen) {
        if (m_supplementaryPosition <= 0)
            return QStringLiteral("已是第一个奖项");
        return chooseSupplementaryPrize(m_supplementaryPosition - 1);
    }
    if (m_automatic)
        return kRefusedAutomatic;
    if (m_position <= 0)
        return QStringLiteral("已是第一个奖项");
    return choosePrize(m_position - 1);
}

QString DrawSession::setAutomatic(bool on) {
    settle();
    if (m_automatic != on) {
        m_automatic = on;
        Q_EMIT prizeChanged();
    }
    if (on)
        autoselect();
    return {};
}

void DrawSession::autoselect() {
    if (m_model.listedSlots.isEmpty())
        return;
    const int position = m_model.autoSelectPosition(m_position);
    if (position == m_position) {
        readPrizeState();
        Q_EMIT prizeChanged();
        return;
    }
    selectPosition(position);
}

void DrawSession::prizeTableLoaded() {
    const int listed = static_cast<int>(m_model.listedSlots.size());
    m_position = -1;
    if (m_supplementaryPosition >= listed)
        m_supplementaryPosition = listed - 1;
    readPrizeState();
    Q_EMIT prizeChanged();
    Q_EMIT supplementaryChanged();
}

void DrawSession::readPrizeState() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    if (const int s = slot(); s >= 0)
        m_model.currentColumns = DrawModel::clampColumns(
            store.readInteger(QStringLiteral("JP"), QStringLiteral("Col%1").arg(s + 1), 1));
    m_model.repeatAllowed = store.readBool(kSetting, QStringLiteral("Repeated"), false);
}

// ---- The draw toggle

void DrawSession::setPhase(Phase phase) {
    if (m_phase == phase)
        return;
    m_phase = phase;
    ++m_roll;
    Q_EMIT phaseChanged();
}

QString DrawSession::presenterToggle(From from) {
    return m_supplementaryOpen ? toggleSupplementary() : toggleDraw(from);
}

QString DrawSession::toggleDraw(From from) {
    if (m_phase == Phase::Reveal) {
        // A press during a reveal ends it; the next press draws.
        finishReveal();
        return {};
    }
    if (m_phase == Phase::MainRoll) {
        // A running roll always stops, whatever the selector shows by now.
        stopMain();
        return {};
    }
    if (m_phase == Phase::SupplementaryRoll)
        return kRefusedOtherRoll;
    if (m_supplementaryOpen)
        return QStringLiteral("补抽面板打开时不能抽奖");
    if (const QString refusal = refuseUnwritable(from); !refusal.isEmpty())
        return refusal;
    OperatorPrompts& dialogs = OperatorPrompts::instance();
    if (m_model.pool.count() < 10) {
        FunctionUnit::information(QStringLiteral("请导入抽奖名单资料!"));
        return QStringLiteral("请导入抽奖名单资料!");
    }
    if (m_model.totalQuantity() > m_model.pool.count()) {
        m_model.repeatAllowed = true;
        if (!m_model.excessWarningShown) {
            m_model.excessWarningShown = true;
            dialogs.message(OperatorPrompts::Icon::Information, QStringLiteral("消息"),
                            QStringLiteral("奖品数超出抽奖人数，只能重复抽奖"));
            // The box ran its own event loop: another front end may have started a roll meanwhile.
            if (m_phase != Phase::Idle || m_supplementaryOpen)
                return kRefusedOtherRoll;
        }
    }
    if (const int s = slot(); s >= 0) {
        const PrizeSlot& prize = m_model.slots[s];
        if (prize.drawn >= prize.quantity) {
            if (from == From::Clicker)
                return moveOnFromFinished();
            if (m_position == 1)
                dialogs.beep();
            dialogs.message(OperatorPrompts::Icon::Warning, QStringLiteral("温馨提示"),
                            QStringLiteral("该奖项已抽完!"));
            return QStringLiteral("该奖项已抽完!");
        }
    }
    if (const QString refusal = verifyRefusal(from); !refusal.isEmpty())
        return refusal;
    startMain();
    return {};
}

QString DrawSession::checkFolder() {
    const QString refusal = AtomicFile::writeTrial(AppPaths::folder());
    if (refusal != m_folderRefusal) {
        m_folderRefusal = refusal;
        Q_EMIT folderChecked();
    }
    return m_folderRefusal;
}

QString DrawSession::folderProblem() const {
    return QStringLiteral("活动文件夹不能写入，抽奖结果无法保存：\n%1\n原因：%2\n\n"
                          "请把本程序连同它的文件复制到可以写入的文件夹（例如桌面）后再运行，"
                          "或去掉该文件夹的只读属性，然后再抽奖。")
        .arg(QDir::toNativeSeparators(AppPaths::folder()), m_folderRefusal);
}

bool DrawSession::checkFolderAtStart() {
    if (checkFolder().isEmpty())
        return true;
    OperatorPrompts::showError(folderProblem());
    return false;
}

QString DrawSession::refuseUnwritable(From from) {
    if (checkFolder().isEmpty())
        return {};
    // The clicker raises no box before the hall: the stage's notice says it.
    if (from == From::Operator)
        OperatorPrompts::showError(folderProblem());
    return kFolderNotice;
}

QString DrawSession::verifyRefusal(From from) {
    const QString refusal = m_verify.drawRefusal();
    // The clicker raises no box before the hall.
    if (!refusal.isEmpty() && from == From::Operator)
        OperatorPrompts::instance().message(OperatorPrompts::Icon::Warning, QStringLiteral("温馨提示"),
                                            refusal);
    return refusal;
}

QString DrawSession::moveOnFromFinished() {
    const int next = m_model.autoSelectPosition(m_position);
    const bool open = next >= 0 && next < m_model.listedSlots.size() &&
                      m_model.slots[m_model.listedSlots.at(next)].drawn <
                          m_model.slots[m_model.listedSlots.at(next)].quantity;
    if (!open) {
        Q_EMIT stageNotice(QStringLiteral("所有奖项已抽完"));
        return QStringLiteral("所有奖项已抽完");
    }
    selectPosition(next);
    Q_EMIT stageNotice(QStringLiteral("该奖项已抽完，已切换到 %1").arg(prizeName()));
    return {};
}

void DrawSession::startMain() {
    m_engine.rollStarted();
    setPhase(Phase::MainRoll);
    if (m_model.show.sound)
        StageSounds::instance().play(StageSounds::Cue::Start);
    m_autoStopCount = 0;
    if (m_model.autoStopSeconds > 0) {
        m_armedRoll = m_roll;
        m_autoStop->start();
    } else {
        m_autoStop->stop();
    }
}

void DrawSession::autoStopTick() {
    // The auto-stop stops the roll it was armed for and nothing else.
    if (m_phase != Phase::MainRoll || m_armedRoll != m_roll) {
        m_autoStop->stop();
        return;
    }
    if (++m_autoStopCount < m_model.autoStopSeconds)
        return;
    m_autoStop->stop();
    stopMain();
}

void DrawSession::stopMain() {
    // The auto-stop is done with at once: a box shown below runs its own event loop, in which a
    // still running auto-stop would act behind the operator's back.
    m_autoStop->stop();
    const QScopedValueRollback stopping(m_stopping, true);
    const int s = slot();
    const QString prize = prizeName();
    enterStop(s, m_model.show.prize(s), false);

    int n = 0;
    if (s >= 0) {
        const PrizeSlot& entry = m_model.slots[s];
        n = std::max(0, std::min(entry.perDraw, entry.quantity - entry.drawn));
    }
    if (n <= 0) {
        setPhase(Phase::Idle);
        return; // a draw of nothing (no prize, or a per-draw count of 0) records nothing
    }
    // A draw whose save fails is taken back whole: its pre-set winners stay unused too.
    const PresetWinners presetsBefore = m_model.presets;
    const bool presetUsedBefore = m_model.presetUsed;
    // In the verifiable draw the winners follow from the journal's seed and numbers, journalled
    // before they are saved.
    VerifiableDraw::Derived derived;
    if (m_verify.on()) {
        try {
            derived = m_verify.drawMain(s, prize, n, m_model.repeatAllowed);
        } catch (const OperationError& error) {
            return takeBack(error.message());
        }
    }
    const QStringList winners =
        m_verify.on() ? derived.winners : m_engine.pickWinners(s, n, m_model.repeatAllowed);
    if (winners.isEmpty()) {
        setPhase(Phase::Idle);
        FunctionUnit::information(QStringLiteral("已没有可抽奖的人员!"));
        return;
    }
    // Recorded and saved before anything is shown.
    const int drawn = static_cast<int>(winners.size());
    QString failure;
    if (!m_results.recordDraw(s, prize, winners, Clock::instance().now(), &failure)) {
        m_model.presets = presetsBefore;
        m_model.presetUsed = presetUsedBefore;
        m_verify.voidDraw(derived.entry, failure);
        return takeBack(failure);
    }
    // The results follow the recorded draw's link.
    Q_EMIT announced(QStringLiteral("恭喜以下%1位幸运者中了%2").arg(drawn).arg(prize));
    Q_EMIT progressChanged();
    if (const PrizeSlot& entry = m_model.slots[s]; entry.quantity > 0 && entry.drawn >= entry.quantity)
        Q_EMIT prizeFinished(prize);
    readPrizeState();
    if (m_automatic)
        autoselect();
    beginReveal(s, false, drawn);
    const QString notice = m_engine.takePresetNotice();
    if (drawn < n)
        inform(QStringLiteral("剩余可抽奖人数不足，本次只抽出 %1 位").arg(drawn));
    if (!notice.isEmpty())
        inform(notice);
}

void DrawSession::takeBack(const QString& failure) {
    m_pendingNotices.clear();
    setPhase(Phase::Idle);
    Q_EMIT progressChanged();
    Q_EMIT drawTakenBack(kNotSavedNotice);
    QString text = kNotSaved + failure;
    // The system's reason, when the folder says it and the message does not already.
    if (const QString reason = checkFolder(); !reason.isEmpty() && !failure.contains(reason))
        text += QStringLiteral("\n原因：") + reason;
    OperatorPrompts::showError(text);
}

void DrawSession::enterStop(int slot, const PrizeShow& shown, bool supplementary) {
    // The phase moves to the reveal before the winners are recorded, so that the stage never shows
    // them without it for a frame; a stop that records nothing goes idle again.
    if (shown.hasEffect()) {
        m_reveal = Reveal{slot, shown, supplementary, 0, Clock::instance().tickCount(), 0};
        setPhase(Phase::Reveal);
    } else {
        setPhase(Phase::Idle);
    }
}

void DrawSession::beginReveal(int slot, bool supplementary, int winners) {
    if (m_model.show.sound)
        StageSounds::instance().play(m_model.show.prize(slot).grand ? StageSounds::Cue::Fanfare
                                                                    : StageSounds::Cue::Reveal);
    if (m_phase != Phase::Reveal)
        return;
    const PrizeShow show = m_reveal.show; // as the stop found it
    m_reveal.slot = slot;
    m_reveal.supplementary = supplementary;
    m_reveal.winners = winners;
    m_reveal.durationMs = StageShow::revealMilliseconds(show, winners);
    // What was recorded may be shown at once when its effect takes no time.
    if (m_reveal.durationMs <= 0)
        return finishReveal();
    const qint64 spent = static_cast<std::uint32_t>(Clock::instance().tickCount() - m_reveal.startedMs);
    m_revealTimer->start(static_cast<int>(std::max<qint64>(1, m_reveal.durationMs - spent)));
    Q_EMIT revealStarted();
}

void DrawSession::finishReveal() {
    m_revealTimer->stop();
    if (m_phase != Phase::Reveal)
        return;
    setPhase(Phase::Idle);
    // The stop's notices, kept while the hall watched the reveal.
    const QStringList notices = std::exchange(m_pendingNotices, {});
    for (const QString& notice : notices)
        FunctionUnit::information(notice);
}

void DrawSession::inform(const QString& text) {
    if (m_phase == Phase::Reveal)
        m_pendingNotices << text;
    else
        FunctionUnit::information(text);
}

void DrawSession::settle() {
    if (m_phase == Phase::Reveal)
        finishReveal();
}

qint64 DrawSession::revealElapsedMs() const {
    return m_phase == Phase::Reveal
               ? static_cast<std::uint32_t>(Clock::instance().tickCount() - m_reveal.startedMs)
               : 0;
}

const PrizeShow& DrawSession::prizeShow(int slot) const {
    return m_model.show.prize(slot);
}

void DrawSession::endRun() {
    m_autoStop->stop();
    m_revealTimer->stop();
    m_pendingNotices.clear();
    setPhase(Phase::Idle);
}

// ---- The supplementary draw

int DrawSession::supplementarySlot() const {
    return m_model.slotAt(m_supplementaryPosition);
}

QString DrawSession::openSupplementary() {
    settle();
    if (rolling())
        return kRefusedRolling;
    m_supplementaryOpen = true;
    // The prize whose winner was just cancelled is the one to fill; else the prize on show.
    const int cancelled =
        m_cancelledPrize.isEmpty() ? -1 : int(m_model.listedNames().indexOf(m_cancelledPrize));
    if (cancelled >= 0)
        m_supplementaryPosition = cancelled;
    else if (m_position >= 0 && m_position < m_model.listedSlots.size())
        m_supplementaryPosition = m_position;
    else
        m_supplementaryPosition = static_cast<int>(m_model.listedSlots.size()) - 1;
    Q_EMIT supplementaryChanged();
    return {};
}

QString DrawSession::closeSupplementary() {
    settle();
    if (m_phase == Phase::SupplementaryRoll)
        return kRefusedRolling; // its names are stopped by its own button first
    if (!m_supplementaryOpen)
        return {};
    m_supplementaryOpen = false;
    Q_EMIT supplementaryChanged();
    return {};
}

QString DrawSession::chooseSupplementaryPrize(int position) {
    settle();
    if (rolling())
        return kRefusedRolling;
    if (!m_supplementaryOpen)
        return QStringLiteral("补抽面板没有打开");
    if (position < 0 || position >= m_model.listedSlots.size())
        return kRefusedNoLine;
    if (position != m_supplementaryPosition) {
        m_supplementaryPosition = position;
        Q_EMIT supplementaryChanged();
    }
    return {};
}

QString DrawSession::toggleSupplementary() {
    if (m_phase == Phase::Reveal) {
        finishReveal();
        return {};
    }
    if (m_phase == Phase::SupplementaryRoll) {
        stopSupplementary();
        return {};
    }
    if (m_phase == Phase::MainRoll)
        return kRefusedOtherRoll;
    if (!m_supplementaryOpen)
        return QStringLiteral("补抽面板没有打开");
    if (const QString refusal = refuseUnwritable(From::Operator); !refusal.isEmpty())
        return refusal;
    if (const QString refusal = verifyRefusal(From::Operator); !refusal.isEmpty())
        return refusal;
    startSupplementary();
    return {};
}

void DrawSession::startSupplementary() {
    m_engine.rollStarted();
    m_autoStop->stop();
    setPhase(Phase::SupplementaryRoll);
    if (m_model.show.sound)
        StageSounds::instance().play(StageSounds::Cue::Start);
}

void DrawSession::stopSupplementary() {
    const QScopedValueRollback stopping(m_stopping, true);
    const QString prize = m_model.listedNames().value(m_supplementaryPosition);
    const int s = supplementarySlot();
    // Supplementary names roll on the ten lines whatever the prize's main roll.
    PrizeShow shown = m_model.show.prize(s);
    shown.roll = PrizeShow::Roll::Lines;
    enterStop(s, shown, true);
    std::optional<QString> name;
    VerifiableDraw::Derived derived;
    if (m_verify.on()) {
        try {
            derived = m_verify.drawSupplementary(s, prize, m_model.repeatAllowed);
        } catch (const OperationError& error) {
            return takeBack(error.message());
        }
        if (!derived.winners.isEmpty())
            name = derived.winners.constFirst();
    } else {
        name = m_engine.pickSupplementary(m_model.repeatAllowed, s);
    }
    if (!name) {
        setPhase(Phase::Idle);
        // Nobody can be drawn any more: the panel keeps what it showed.
        FunctionUnit::information(QStringLiteral("已没有可抽奖的人员!"));
        return;
    }
    if (QString failure; !m_results.recordSupplementary(prize, *name, &failure)) {
        m_verify.voidDraw(derived.entry, failure);
        return takeBack(failure);
    }
    if (prize == m_cancelledPrize)
        m_cancelledPrize.clear();
    Q_EMIT progressChanged();
    beginReveal(s, true, 1);
}

// ---- Results and corrections

void DrawSession::takeResults() {
    m_resultList.clear();
    const QStringList& cells = m_lists.current();
    const QList<int>& lines = m_lists.currentLines();
    for (int i = 0; i < cells.size(); ++i) {
        Result result;
        result.cell = EntrantPool::trimmed(cells.at(i)).toString();
        result.line = i < lines.size() ? lines.at(i) : -1;
        result.supplementary = WinnerLists::isSupplementaryCell(result.cell);
        m_resultList << result;
    }
    ++m_resultsGeneration;
    refreshResults();
}

void DrawSession::clearResults() {
    if (m_resultList.isEmpty())
        return;
    m_resultList.clear();
    ++m_resultsGeneration;
    Q_EMIT resultsChanged();
}

void DrawSession::refreshResults() {
    const QStringList& all = m_lists.all();
    for (Result& result : m_resultList)
        result.cancelled = result.line >= 0 && result.line < all.size() &&
                           all.at(result.line).contains(WinnerLists::kCancelSuffix);
    Q_EMIT resultsChanged();
}

bool DrawSession::cancellable(int line) const {
    return line >= 0 && line < m_lists.all().size() && !m_lists.nameAt(line).isEmpty();
}

// The questions may stand over the stage: they name the winner as the hall sees the line.
QString DrawSession::hallCell(const Result& result) const {
    return m_event.lineDisplay().hallTextWithin(result.shown(), m_lists.cellNameOf(result.cell));
}

QString DrawSession::hallLine(int line) const {
    const QString& text = m_lists.all().at(line);
    return m_event.lineDisplay().hallTextWithin(text, m_lists.nameAt(line), AllWinners::prizeLength(text));
}

QString DrawSession::confirmThenMark(int line, bool cancel, const QString& question) {
    const QString before = m_lists.all().at(line);
    const quint64 generation = m_resultsGeneration;
    if (!FunctionUnit::confirm(question))
        return QStringLiteral("未确认");
    // The answer came after a box's own event loop: the line must still be the one asked about.
    if (generation != m_resultsGeneration || line >= m_lists.all().size() || m_lists.all().at(line) != before)
        return kRefusedChanged;
    // The journal has the correction before the results do.
    try {
        m_verify.journalCorrection(line, cancel);
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return error.message();
    }
    if (cancel) {
        m_results.cancelLine(line);
        m_cancelledPrize = m_lists.prizeAt(line);
    } else
        m_results.restoreLine(line);
    refreshResults();
    return {};
}

QString DrawSession::cancelResult(int index) {
    settle();
    if (index < 0 || index >= m_resultList.size())
        return kRefusedNoLine;
    const Result result = m_resultList.at(index);
    if (result.cancelled)
        return QStringLiteral("已取消");
    if (!cancellable(result.line))
        return kRefusedNoLine;
    return confirmThenMark(result.line, true, QStringLiteral("真的要取消 %1 中奖?").arg(hallCell(result)));
}

QString DrawSession::restoreResult(int index) {
    settle();
    const Result result = index >= 0 && index < m_resultList.size() ? m_resultList.at(index) : Result();
    if (!result.cancelled || !cancellable(result.line)) {
        FunctionUnit::warning(QStringLiteral("并未取消该中奖记录，不需恢复!"));
        return QStringLiteral("并未取消该中奖记录，不需恢复!");
    }
    return confirmThenMark(result.line, false, QStringLiteral("真的要恢复 %1 中奖?").arg(hallCell(result)));
}

QString DrawSession::cancelLine(int line) {
    settle();
    // Header lines, blank lines and lines already cancelled have nothing to cancel.
    if (!cancellable(line) || m_lists.all().at(line).contains(WinnerLists::kCancelSuffix))
        return kRefusedNoLine;
    return confirmThenMark(line, true,
                           QStringLiteral("真的要取消 ") + hallLine(line) + QStringLiteral(" 中奖?"));
}

QString DrawSession::restoreLine(int line) {
    settle();
    if (!cancellable(line) || !m_lists.all().at(line).contains(WinnerLists::kCancelSuffix)) {
        FunctionUnit::warning(QStringLiteral("并未取消该中奖记录，不需恢复!"));
        return QStringLiteral("并未取消该中奖记录，不需恢复!");
    }
    return confirmThenMark(line, false,
                           QStringLiteral("真的要恢复 ") + hallLine(line) + QStringLiteral(" 中奖?"));
}

// ---- Progress

bool DrawSession::loadPool() {
    const std::uint64_t before = m_event.model().pool.generation();
    const bool read = m_event.loadPool();
    // A list refused as no text empties the pool: whoever shows it is told as of any load.
    if (m_event.model().pool.generation() != before) {
        Q_EMIT poolLoaded();
        Q_EMIT progressChanged();
    }
    return read;
}

void DrawSession::loadPresets() {
    m_event.loadPresets();
}

bool DrawSession::reloadPool() {
    settle();
    if (rolling())
        return false;
    const std::uint64_t before = m_event.model().pool.generation();
    const bool read = loadPool();
    // The pre-set entries name pool lines: they are looked up again in the new pool (an empty one too),
    // so that none points past its end or at someone else.
    if (m_event.model().pool.generation() != before) {
        loadPresets();
        journalChanges();
    }
    return read;
}

QString DrawSession::restoreProgress(bool offerSavedStates) {
    settle();
    if (rolling())
        return kRefusedRolling;
    // The winners file is read first: when it cannot be read, nothing changes.
    SavedState::Resolved restored;
    try {
        if (!offerSavedStates) {
            restored = m_results.restoreProgress();
        } else if (const std::optional<SavedState::Resolved> chosen = SavedStates::askAndRestore(m_results)) {
            restored = *chosen;
        } else {
            return QStringLiteral("未选择");
        }
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return error.message();
    }
    readPrizeState();
    Q_EMIT progressChanged();
    try {
        m_verify.journalProgress();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
    }
    const QString notes = EventResults::restoreNotes(restored);
    FunctionUnit::information(notes.isEmpty() ? QStringLiteral("抽奖信息读取成功!")
                                              : QStringLiteral("抽奖信息读取成功!\n\n") + notes);
    return {};
}

QString DrawSession::settingsRefusal() const {
    return rolling() ? kRefusedSettings : QString();
}

QString DrawSession::setRules(const PrizeRules& rules) {
    settle();
    if (rolling())
        return kRefusedSettings;
    m_model.rules = rules;
    m_engine.rollStarted();
    journalChanges();
    Q_EMIT progressChanged();
    return {};
}

QString DrawSession::setShow(const StageShow& show) {
    settle();
    if (rolling())
        return kRefusedSettings;
    m_model.show = show;
    return {};
}

QString DrawSession::restoreBackup(const QString& zipPath, EventBackup::Restored* restored) {
    settle();
    if (rolling())
        return kRefusedRolling;
    try {
        const EventBackup::Restored done = m_event.restoreBackup(zipPath);
        if (restored)
            *restored = done;
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return error.message();
    }
    return {};
}

void DrawSession::offerRestore() {
    settle();
    if (!m_results.holdsUnloadedResults())
        return;
    // Reading the results back is what an organiser with only a clicker in hand means.
    const OperatorPrompts::PresenterConfirms clickerConfirms;
    if (FunctionUnit::confirm(QStringLiteral("上次的抽奖进度尚未读出，是否读出上次的抽奖进度?")))
        restoreProgress();
}

QString DrawSession::initialise() {
    settle();
    if (rolling())
        return kRefusedRolling;
    if (!FunctionUnit::confirm(QStringLiteral("您确定要初始化抽奖信息? 这将会把已抽奖记录删除!")))
        return QStringLiteral("未确认");
    // The check-ins (and whatever else the event keeps beside its results) may go too, or stay for the
    // next round of the same evening.
    QStringList parts;
    for (const EventPart* part : m_results.partsWithEntries())
        parts << part->partName();
    if (!parts.isEmpty() &&
        FunctionUnit::confirm(QStringLiteral("是否同时清除%1? (清除前另存为带日期的副本)")
                                  .arg(parts.join(QStringLiteral("、")))) &&
        !m_results.clearParts())
        return QStringLiteral("清除失败");
    if (rolling())
        return kRefusedRolling; // started while a question was open
    // The files keep the results just put aside (restore brings them back) until the next save keeps
    // them as dated copies.
    m_results.initialise();
    m_cancelledPrize.clear();
    Q_EMIT progressChanged();
    try {
        m_verify.initialised();
        TextFiles::emptyProgress();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return error.message();
    }
    if (!reloadPool())
        return QStringLiteral("名单读取失败");
    if (m_automatic)
        autoselect();
    readPrizeState();
    Q_EMIT progressChanged();
    FunctionUnit::information(QStringLiteral("抽奖信息初始化成功!"));
    return {};
}
