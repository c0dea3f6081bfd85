#include "event.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "configstore.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "textfiles.h"
#include "winnerlists.h"

namespace {
void removeLeftovers() {
    // A save cut short by a power failure may have left its temporary files behind.
    for (const QString& name :
         {AppPaths::kPrizeDb, AppPaths::kWinners, AppPaths::kAllWinners, AppPaths::kHistory,
          AppPaths::kProgress, AppPaths::kEntrants, AppPaths::kVerifySeed})
        AtomicFile::removeLeftovers(AppPaths::file(name));
}
} // namespace

Event::Event(QObject* parent)
    : QObject(parent), m_lists(new WinnerLists(this)),
      m_results(std::make_unique<EventResults>(m_model, *m_lists)),
      m_engine(std::make_unique<DrawEngine>(m_model, *m_lists)),
      m_verify(std::make_unique<VerifiableDraw>(m_model, *m_lists, m_engine->eligibility())) {
    // The verifiable draw publishes the list as the hall sees it.
    m_verify->setHallText([this](const QString& line) { return m_lineDisplay.hallText(line); });
}

Event::~Event() = default;

void Event::open() {
    removeLeftovers();
    for (PrizeSlot& slot : m_model.slots)
        slot.drawn = 0;
    m_model.presetUsed = false;
    m_verify->load();
}

bool Event::reload() {
    removeLeftovers();
    // Nothing of the event before stays: not its lists, not its counts, not what its store knew of
    // the files (a store that still believed it owned them would write the old state over the new).
    m_results->forgetFiles();
    m_lists->clearCurrent();
    m_model.presetUsed = false;
    m_model.excessWarningShown = false;

    m_verify->load();
    loadPrizeTable();
    bool read = loadPool();
    if (!read)
        m_model.pool.setText(QString());
    loadPresets();
    try {
        if (m_results->holdsUnloadedResults())
            m_results->restoreProgress();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        read = false;
    }
    Q_EMIT reloaded();
    return read;
}

EventBackup::Restored Event::restoreBackup(const QString& zipPath) {
    Q_EMIT replacing();
    EventBackup::Restored restored;
    try {
        restored = EventBackup::restore(zipPath);
    } catch (const OperationError&) {
        Q_EMIT replaceRefused();
        throw;
    }
    reload();
    return restored;
}

void Event::loadPrizeTable() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    m_model.loadPrizeTable(store);
    m_lists->setPrizeNames(m_model.listedNames());
    m_results->prizeTableChanged();
    const LineDisplay display = LineDisplay::read(store);
    if (display != m_lineDisplay) {
        m_lineDisplay = display;
        Q_EMIT lineDisplayChanged();
    }
}

void Event::setLineDisplay(const LineDisplay& display) {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    display.write(store);
    if (display != m_lineDisplay) {
        m_lineDisplay = display;
        Q_EMIT lineDisplayChanged();
    }
}

bool Event::loadPool() {
    TextFiles::EntrantList list;
    try {
        list = TextFiles::loadEntrantList();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return false;
    }
    // A list that is no text leaves the pool empty: nobody rolls whose name is a row of stray bytes.
    m_model.pool.setText(std::move(list.text));
    const QString notice = list.notice(AppPaths::file(AppPaths::kEntrants));
    if (list.refused)
        OperatorPrompts::showError(notice);
    else if (!notice.isEmpty())
        OperatorPrompts::instance().message(OperatorPrompts::Icon::Warning, OperatorPrompts::kProgramCaption,
                                            notice);
    return !list.refused;
}

void Event::loadPresets() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    if (const std::optional<QString> error =
            m_model.presets.load(store, m_model.pool, Clock::instance().now().date()))
        OperatorPrompts::showError(*error);
    if (!m_verify->on())
        return;
    // A verifiable draw has no arranged winners: the entries stay in prize.db and play no part.
    bool any = false;
    for (int slot = 0; slot < DrawModel::kSlots; ++slot)
        for (int k = 0; k < 3; ++k)
            any = any || m_model.presets.entry(slot, k) >= 0;
    m_model.presets.reset(Clock::instance().now().date());
    if (any)
        OperatorPrompts::instance().message(OperatorPrompts::Icon::Warning, OperatorPrompts::kProgramCaption,
                                            VerifiableDraw::kPresetsRefused);
}

QString Event::switchVerifiableOn() {
    QString refusal;
    try {
        refusal = m_verify->switchOn();
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return error.message();
    }
    if (refusal.isEmpty())
        loadPresets();
    return refusal;
}

void Event::close(bool automatic) {
    m_results->writeExitRecord(automatic);
}
