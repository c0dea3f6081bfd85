#include "eventstore.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "configstore.h"
#include "durablefile.h"
#include "operationerror.h"
#include "textcodec.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <zlib.h>

namespace SavedState {

namespace {
const QString kState = QStringLiteral("State");
const QString kEvent = QStringLiteral("Event");
const QString kWinners = QStringLiteral("Winners");
const QString kAllWinners = QStringLiteral("AllWinners");
const QString kPreviousEvent = QStringLiteral("PreviousEvent");
const QString kPreviousWinners = QStringLiteral("PreviousWinners");
const QString kPreviousAllWinners = QStringLiteral("PreviousAllWinners");
const QString kPreviousHave = QStringLiteral("PreviousHave");

quint32 crcOf(QByteArrayView data) {
    return static_cast<quint32>(
        ::crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<z_size_t>(data.size())));
}

QString countsText(const Counts& counts) {
    QStringList parts;
    for (const int count : counts)
        parts << QString::number(count);
    return parts.join(QLatin1Char(','));
}

std::optional<Counts> parseCounts(QStringView text) {
    const QList<QStringView> parts = text.split(QLatin1Char(','));
    if (parts.size() != static_cast<qsizetype>(Counts().size()))
        return std::nullopt;
    Counts counts{};
    for (std::size_t i = 0; i < counts.size(); ++i) {
        bool ok = false;
        counts[i] = parts[static_cast<qsizetype>(i)].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return counts;
}

bool isEventId(QStringView text) {
    static const QRegularExpression id(QStringLiteral("^[0-9a-f]{1,32}$"));
    return id.match(text).hasMatch();
}

// The main-draw line a line stands for (cancel marks removed); nothing for a supplementary line.
std::optional<QString> mainDrawLine(const QString& line) {
    QString plain = WinnerLists::restoreLine(line);
    if (plain.endsWith(WinnerLists::kSupplementaryMark))
        return std::nullopt;
    return plain;
}

QStringList mainDrawLines(const QStringList& lines) {
    QStringList plain;
    for (const QString& line : lines)
        if (auto main = mainDrawLine(line); main && !main->trimmed().isEmpty())
            plain << *main;
    return plain;
}

// An allwinners.txt of an older version carries no mark: it is taken when its main draws are those
// of 中奖名单.txt, or all but the last block of them (a save cut between the two files), and only when
// it holds a main draw at all or 中奖名单.txt holds none (a list of corrections alone says nothing of
// which 中奖名单.txt it belongs to).
std::optional<QStringList> unmarkedList(const QStringList& all, const QStringList& winners) {
    const QStringList fromAll = mainDrawLines(all);
    const QStringList fromWinners = mainDrawLines(winners);
    if (fromAll.isEmpty() && !fromWinners.isEmpty())
        return std::nullopt;
    if (fromAll.size() > fromWinners.size() || fromWinners.mid(0, fromAll.size()) != fromAll)
        return std::nullopt;
    const QStringList missing = fromWinners.mid(fromAll.size());
    if (std::count_if(missing.begin(), missing.end(),
                      [](const QString& line) { return WinnerLists::isHeaderLine(line); }) > 1)
        return std::nullopt;
    // The lines of 中奖名单.txt after the last main-draw line allwinners.txt holds.
    QStringList list = all;
    qsizetype matched = 0;
    qsizetype i = 0;
    for (; i < winners.size() && matched < fromAll.size(); ++i)
        if (auto main = mainDrawLine(winners.at(i)); main && !main->trimmed().isEmpty())
            ++matched;
    const QStringList tail = winners.mid(i);
    if (!mainDrawLines(tail).isEmpty())
        list += tail;
    return list;
}

int headerCount(const QString& header) {
    const QString bare = WinnerLists::restoreLine(header);
    const qsizetype end = bare.indexOf(QStringLiteral(" 位 "), WinnerLists::kHeaderStart.size());
    if (end < 0)
        return 0;
    bool ok = false;
    const int count = QStringView(bare)
                          .sliced(WinnerLists::kHeaderStart.size(), end - WinnerLists::kHeaderStart.size())
                          .toInt(&ok);
    return ok && count > 0 ? count : 0;
}
} // namespace

Digest Digest::of(QByteArrayView data) {
    return {data.size(), crcOf(data)};
}

QString Digest::text() const {
    return QStringLiteral("%1/%2").arg(bytes).arg(crc, 8, 16, QLatin1Char('0'));
}

std::optional<Digest> Digest::parse(QStringView text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,18})/([0-9a-f]{8})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return Digest{match.capturedView(1).toLongLong(), match.capturedView(2).toUInt(nullptr, 16)};
}

bool Digest::isPrefixOf(QByteArrayView data) const {
    if (bytes < 0 || bytes > data.size())
        return false;
    if (bytes > 0 && data.at(bytes - 1) != '\n')
        return false;
    return crcOf(data.first(bytes)) == crc;
}

StateKeys StateKeys::read(const QString& prizeDb) {
    const ConfigStore store(prizeDb);
    StateKeys keys;
    for (std::size_t i = 0; i < keys.counts.size(); ++i)
        keys.counts[i] = store.readInteger(kState, QStringLiteral("have%1").arg(i), 0);
    const auto tie = [&store](const QString& event, const QString& winners, const QString& all,
                              std::optional<Counts> counts) -> std::optional<Tie> {
        const QString id = store.readString(kState, event, QString());
        const std::optional<Digest> list = Digest::parse(store.readString(kState, winners, QString()));
        if (!list || !counts || !(id.isEmpty() || isEventId(id)))
            return std::nullopt;
        return Tie{id, *list, Digest::parse(store.readString(kState, all, QString())), *counts};
    };
    keys.current = tie(kEvent, kWinners, kAllWinners, keys.counts);
    keys.previous = tie(kPreviousEvent, kPreviousWinners, kPreviousAllWinners,
                        parseCounts(store.readString(kState, kPreviousHave, QString())));
    return keys;
}

QList<std::pair<QString, QString>> StateKeys::entries() const {
    QList<std::pair<QString, QString>> list;
    for (std::size_t i = 0; i < counts.size(); ++i)
        list.append({QStringLiteral("have%1").arg(i), QString::number(counts[i])});
    const auto add = [&list](const std::optional<Tie>& tie, const QString& event, const QString& winners,
                             const QString& all) {
        list.append({event, tie ? tie->event : QString()});
        list.append({winners, tie ? tie->winners.text() : QString()});
        list.append({all, tie && tie->allWinners ? tie->allWinners->text() : QString()});
    };
    add(current, kEvent, kWinners, kAllWinners);
    add(previous, kPreviousEvent, kPreviousWinners, kPreviousAllWinners);
    list.append({kPreviousHave, previous ? countsText(previous->counts) : QString()});
    return list;
}

QString AllWinnersFile::markLine(const Mark& mark) {
    return QStringLiteral("#state%1 event=%2 winners=%3 have=%4")
        .arg(mark.copy ? QStringLiteral(" copy") : QString(), mark.event, mark.winners.text(),
             countsText(mark.counts));
}

std::optional<AllWinnersFile::Mark> AllWinnersFile::parseMark(QStringView line) {
    static const QRegularExpression form(
        QStringLiteral("^#state( copy)? event=([0-9a-f]{1,32}) winners=(\\S+) have=(\\S+)$"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<Digest> winners = Digest::parse(match.capturedView(3));
    const std::optional<Counts> counts = parseCounts(match.capturedView(4));
    if (!winners || !counts)
        return std::nullopt;
    return Mark{match.captured(2), *winners, *counts, match.capturedLength(1) > 0};
}

AllWinnersFile AllWinnersFile::parse(QByteArrayView bytes) {
    AllWinnersFile file;
    file.lines = TextFiles::splitLines(TextCodec::fromGbk(bytes));
    if (!file.lines.isEmpty())
        if ((file.mark = parseMark(file.lines.last())))
            file.lines.removeLast();
    return file;
}

QByteArray AllWinnersFile::compose(const QStringList& lines, const Mark& mark) {
    return TextFiles::joinCrLf(lines + QStringList{markLine(mark)});
}

OnDisk OnDisk::read(bool requireWinners, const QString& folder) {
    OnDisk disk;
    const auto file = [&folder](const QString& name) {
        return folder.isEmpty() ? AppPaths::file(name) : QDir(folder).filePath(name);
    };
    const QString winners = file(AppPaths::kWinners);
    disk.winnersExists = QFileInfo::exists(winners);
    if (requireWinners || disk.winnersExists) {
        try {
            disk.winners = AtomicFile::readAll(winners);
            disk.winnersExists = true;
        } catch (const OperationError&) {
            if (requireWinners)
                throw;
        }
    }
    disk.state = StateKeys::read(file(AppPaths::kPrizeDb));
    const QString all = file(AppPaths::kAllWinners);
    if (QFileInfo::exists(all)) {
        try {
            disk.all = AllWinnersFile::parse(AtomicFile::readAll(all));
        } catch (const OperationError&) {
            // An unreadable allwinners.txt is no record of any state.
        }
    }
    return disk;
}

bool OnDisk::holdsResults() const {
    if (TextFiles::holdsResults(TextFiles::splitLines(TextCodec::fromGbk(winners))))
        return true;
    if (std::any_of(state.counts.begin(), state.counts.end(), [](int count) { return count != 0; }))
        return true;
    return all && TextFiles::holdsResults(all->lines);
}

Counts countBlocks(const QStringList& lines, const SlotNames& names, QStringList* unknown) {
    Counts counts{};
    for (const QString& line : lines) {
        if (!WinnerLists::isHeaderLine(line))
            continue;
        const QString prize = WinnerLists::headerPrize(line);
        const auto slot = std::find(names.begin(), names.end(), prize);
        if (prize.isEmpty() || slot == names.end()) {
            if (unknown && !unknown->contains(prize))
                unknown->append(prize);
            continue;
        }
        counts[static_cast<std::size_t>(slot - names.begin())] += headerCount(line);
    }
    return counts;
}

Resolved resolve(const OnDisk& disk, const SlotNames& names) {
    using From = Resolved::CountsFrom;
    Resolved resolved;
    resolved.saved = TextFiles::splitLines(TextCodec::fromGbk(disk.winners));
    resolved.winners = Digest::of(disk.winners);
    resolved.winnersCanonical = TextFiles::joinCrLf(resolved.saved) == disk.winners;
    const StateKeys& keys = disk.state;
    const std::optional<AllWinnersFile::Mark> mark = disk.all ? disk.all->mark : std::nullopt;
    const bool markFits = mark && mark->winners.isPrefixOf(disk.winners);
    // A list written against an empty 中奖名单.txt that has since gained main draws: a correction made
    // while this 中奖名单.txt was another run's (which writes only allwinners.txt). Only prize.db's
    // tie, naming its event, can take it for this 中奖名单.txt.
    const bool markAlone = markFits && mark->winners.bytes == 0 && !disk.winners.isEmpty();

    const QByteArrayView later =
        markFits ? QByteArrayView(disk.winners).sliced(mark->winners.bytes) : QByteArrayView();
    const auto takeAll = [&](const Digest& base) {
        resolved.all = disk.all->lines + TextFiles::splitLines(TextCodec::fromGbk(later));
        resolved.allTaken = true;
        resolved.allWinners = base;
    };
    resolved.all = resolved.saved;

    // The counts that go with this 中奖名单.txt, and whether allwinners.txt belongs to the same state.
    const Tie* tie = nullptr;
    if (markFits && mark->copy && mark->winners.bytes == disk.winners.size()) {
        // A pair of dated copies put back: a whole state of its own, whatever prize.db says.
        resolved.counts = mark->counts;
        resolved.event = mark->event;
        resolved.countsFrom = From::DatedCopy;
        takeAll(mark->winners);
    } else if (keys.current && keys.current->winners == resolved.winners) {
        tie = &*keys.current;
        resolved.countsFrom = From::PrizeDb;
    } else if (keys.previous && keys.previous->winners == resolved.winners) {
        tie = &*keys.previous;
        resolved.countsFrom = From::PrizeDbBeforeSave;
    } else if (!keys.current) {
        // prize.db of an older version says nothing of which list its counts go with.
        resolved.counts = keys.counts;
        resolved.countsFrom = From::Unchecked;
        if (markFits && !markAlone)
            takeAll(mark->winners);
    } else if (markFits && !markAlone) {
        // prize.db belongs to another state; the mark of allwinners.txt carries the counts of the
        // list it was written against, and the blocks added since are counted.
        resolved.counts = mark->counts;
        resolved.event = mark->event;
        const Counts added =
            countBlocks(TextFiles::splitLines(TextCodec::fromGbk(later)), names, &resolved.unknownPrizes);
        for (std::size_t i = 0; i < added.size(); ++i)
            resolved.counts[i] += added[i];
        resolved.countsFrom =
            mark->winners.bytes == disk.winners.size() ? From::AllWinnersMark : From::CountedFromBlocks;
        takeAll(mark->winners);
    } else {
        resolved.counts = countBlocks(resolved.saved, names, &resolved.unknownPrizes);
        resolved.countsFrom = From::CountedFromBlocks;
    }
    if (tie) {
        resolved.counts = tie->counts;
        resolved.event = tie->event;
        // allwinners.txt belongs to this state when it is of its event and was written against the
        // list prize.db names for it, or a later one (a correction since): never an older one, which
        // a save that replaced 中奖名单.txt otherwise than by a block (an export, a new event) left.
        if (markFits && mark->event == tie->event && tie->allWinners &&
            tie->allWinners->isPrefixOf(disk.winners) && tie->allWinners->bytes <= mark->winners.bytes)
            takeAll(*tie->allWinners);
    }
    if (disk.all && !mark) {
        if (const std::optional<QStringList> list = unmarkedList(disk.all->lines, resolved.saved)) {
            resolved.all = *list;
            resolved.allTaken = true;
        }
    }
    resolved.allLeftOut = disk.all && !resolved.allTaken && TextFiles::holdsResults(disk.all->lines);
    return resolved;
}

} // namespace SavedState

using namespace SavedState;

namespace {
QString newEventId() {
    return QString::number(QRandomGenerator::system()->generate64(), 16);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString stampedName(const QString& path, const QString& suffix) {
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + suffix +
           (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix());
}

QString stamp() {
    return Clock::instance().now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
}

// Names for a pair of dated copies taken at one moment, neither of which exists yet:
// 中奖名单.<yyyyMMdd-hhmmss>.txt and allwinners.<yyyyMMdd-hhmmss>.txt, then -2, -3, ...
std::pair<QString, QString> datedPair() {
    const QString winners = AppPaths::file(AppPaths::kWinners);
    const QString all = AppPaths::file(AppPaths::kAllWinners);
    QString suffix = stamp();
    for (int n = 2;
         QFileInfo::exists(stampedName(winners, suffix)) || QFileInfo::exists(stampedName(all, suffix)); ++n)
        suffix = stamp() + QStringLiteral("-%1").arg(n);
    return {stampedName(winners, suffix), stampedName(all, suffix)};
}
} // namespace

EventStore::EventStore() = default;

QString EventStore::datedCopyPath(const QString& path) {
    QString suffix = stamp();
    for (int n = 2; QFileInfo::exists(stampedName(path, suffix)); ++n)
        suffix = stamp() + QStringLiteral("-%1").arg(n);
    return stampedName(path, suffix);
}

void EventStore::adoptDisk() {
    const OnDisk disk = OnDisk::read(false);
    const Resolved found = resolve(disk, m_names);
    // Until this run's first save is whole, the files hold this state: prize.db keeps it as the one
    // before.
    m_disk = {found.event, found.winners, found.allWinners, found.counts};
    m_keys = m_winners = m_all = FileState::Unknown;
    m_orphanAll = false;
    // Main draws of another state that a restore can bring back: a correction leaves them alone.
    m_othersResults = disk.winnersExists && (TextFiles::holdsResults(found.saved) ||
                                             std::any_of(found.counts.begin(), found.counts.end(),
                                                         [](int count) { return count != 0; }));
    if (!disk.holdsResults())
        return;
    // A complete copy: the list as restore would give it, with the counts in its mark, beside the
    // 中奖名单.txt it goes with. Put back under the files' own names, it restores to this state.
    const auto [winnersCopy, allCopy] = datedPair();
    AtomicFile::write(winnersCopy, disk.winners);
    AtomicFile::write(allCopy,
                      AllWinnersFile::compose(found.all, {found.event.isEmpty() ? newEventId() : found.event,
                                                          found.winners, found.counts, true}));
    m_lastCopies = {winnersCopy, allCopy};
    if (found.allLeftOut)
        keepOrphanAll();
}

void EventStore::keepOrphanAll() {
    // allwinners.txt holds another state's corrections: kept as it is before a save replaces it.
    const QString original = AppPaths::file(AppPaths::kAllWinners);
    if (!QFileInfo::exists(original))
        return;
    const QString copy = datedPair().second;
    AtomicFile::write(copy, AtomicFile::readAll(original));
    m_lastCopies << copy;
}

std::optional<OperationError> EventStore::save(Change change, const QStringList& saved,
                                               const QStringList& all, const Counts& counts,
                                               const Sections& other) {
    m_lastCopies.clear();
    const bool fresh = !m_owned;
    if (fresh && !m_copiesMade) {
        adoptDisk();
        m_copiesMade = true;
    }
    if (fresh && m_event.isEmpty())
        m_event = newEventId();
    if (fresh && change == Change::Correction && m_othersResults && !m_holdsCopy) {
        saveCorrectionAlone(saved, all, counts);
        return std::nullopt;
    }
    // 中奖名单.txt changes with a main draw or an export; a correction writes it only when an earlier
    // main draw's write of it failed.
    const bool winnersDue = fresh || change != Change::Correction || m_winners != FileState::Written;
    Digest winners = m_disk.winners;
    QByteArray winnersBytes;
    if (winnersDue) {
        winnersBytes = TextFiles::joinCrLf(saved);
        winners = Digest::of(winnersBytes);
    }
    // allwinners.txt on disk stays part of the state while 中奖名单.txt only gains blocks after the list
    // it was written against (draws, corrections); an export or a new event replaces the list.
    const bool allBelongs = !fresh && m_all != FileState::Unknown && change != Change::Export &&
                            m_disk.allWinners && (!winnersDue || m_disk.allWinners->isPrefixOf(winnersBytes));
    const bool allDue = change != Change::Draw || !allBelongs || m_all != FileState::Written;
    if (allDue && m_orphanAll) {
        keepOrphanAll();
        m_orphanAll = false;
    }

    // allwinners.txt is staged first, on its own: a refusal there leaves the other two to be saved,
    // with prize.db naming the allwinners.txt still on disk when it belongs to the state, else none.
    AtomicFile::Batch allBatch;
    std::optional<OperationError> allError;
    if (allDue) {
        try {
            allBatch.stage(AppPaths::file(AppPaths::kAllWinners),
                           AllWinnersFile::compose(all, {m_event, winners, counts}));
        } catch (const OperationError& error) {
            allError = error;
            // A correction (or an export) is not saved without its list.
            if (change != Change::Draw) {
                if (m_all == FileState::Written)
                    m_all = FileState::Refused;
                throw;
            }
        }
    }
    const bool allWritten = allDue && !allError;
    // prize.db names the earliest list the allwinners.txt that goes with it may have been written
    // against: a power cut before allwinners.txt is replaced leaves the one before, which still goes.
    const Tie next{m_event, winners,
                   allBelongs   ? m_disk.allWinners
                   : allWritten ? std::optional<Digest>(winners)
                                : std::nullopt,
                   counts};
    const bool keysDue =
        fresh || winnersDue || m_keys != FileState::Written || !(next == m_disk) || !other.isEmpty();

    StateKeys keys;
    keys.counts = counts;
    keys.current = next;
    keys.previous = m_disk;

    // prize.db first: until 中奖名单.txt follows, its keys name the list on disk as the one before.
    // allwinners.txt last: its mark names the 中奖名单.txt of this save.
    AtomicFile::Batch batch;
    try {
        if (keysDue)
            ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
                .stageSections(batch, Sections{{QStringLiteral("State"), keys.entries()}} + other);
        if (winnersDue)
            batch.stage(AppPaths::file(AppPaths::kWinners), winnersBytes);
    } catch (const OperationError&) {
        // Refused before anything changed: the files hold the state they held.
        if (keysDue && m_keys == FileState::Written)
            m_keys = FileState::Refused;
        if (winnersDue && m_winners == FileState::Written)
            m_winners = FileState::Refused;
        if (allDue && m_all == FileState::Written)
            m_all = FileState::Refused;
        throw;
    }
    try {
        batch.commit();
    } catch (const OperationError&) {
        // Which renames were made is not known: the next save writes every part again.
        m_keys = m_winners = FileState::Unknown;
        if (allDue)
            m_all = FileState::Unknown;
        throw;
    }
    m_owned = true;
    m_holdsCopy = false;
    m_disk = next;
    m_keys = m_winners = FileState::Written;
    if (allWritten) {
        try {
            allBatch.commit();
            m_all = FileState::Written;
        } catch (const OperationError& error) {
            // prize.db names this list as the one that goes with the state: it may not be on disk.
            m_all = FileState::Unknown;
            m_disk.allWinners.reset();
            allError = error;
        }
    } else if (allError) {
        // The list on disk is this state's older one (prize.db names it) or none of its own.
        m_all = next.allWinners ? FileState::Refused : FileState::Unknown;
    }
    return allError;
}

void EventStore::saveCorrectionAlone(const QStringList& saved, const QStringList& all, const Counts& counts) {
    // The results on disk are another state's (kept as dated copies before this): 中奖名单.txt and
    // prize.db stay theirs, so restore still brings them back. The correction goes to allwinners.txt,
    // marked with this run's event, which no restore of those files takes; the first main draw of the
    // run then writes all three.
    if (m_orphanAll) {
        keepOrphanAll();
        m_orphanAll = false;
    }
    AtomicFile::write(
        AppPaths::file(AppPaths::kAllWinners),
        AllWinnersFile::compose(all, {m_event, Digest::of(TextFiles::joinCrLf(saved)), counts}));
    m_all = FileState::Unknown;
}

Resolved EventStore::restore() {
    const OnDisk disk = OnDisk::read(true);
    Resolved resolved = resolve(disk, m_names);
    m_owned = true;
    m_holdsCopy = false;
    m_copiesMade = false;
    m_lastCopies.clear();
    m_event = resolved.event.isEmpty() ? newEventId() : resolved.event;
    resolved.event = m_event;
    m_disk = {m_event, resolved.winners, resolved.allWinners, resolved.counts};
    m_keys = resolved.countsFrom == Resolved::CountsFrom::PrizeDb && disk.state.current == m_disk
                 ? FileState::Written
                 : FileState::Unknown;
    m_winners = resolved.winnersCanonical ? FileState::Written : FileState::Unknown;
    m_all = resolved.allWinners ? FileState::Written : FileState::Unknown;
    m_orphanAll = resolved.allLeftOut;
    return resolved;
}

Resolved EventStore::restoreCopy(const QString& winnersCopy, const QString& allCopy) {
    OnDisk disk;
    disk.winners = AtomicFile::readAll(winnersCopy);
    disk.winnersExists = true;
    disk.all = AllWinnersFile::parse(AtomicFile::readAll(allCopy));
    Resolved resolved = resolve(disk, m_names);
    if (resolved.countsFrom != Resolved::CountsFrom::DatedCopy)
        throw OperationError::cannotOpen(allCopy,
                                         QStringLiteral("不是与 %1 同时另存的副本").arg(winnersCopy));
    holdCopy(resolved);
    return resolved;
}

Resolved EventStore::restoreFolder(const QString& folder) {
    const Resolved resolved = resolve(OnDisk::read(true, folder), m_names);
    holdCopy(resolved);
    return resolved;
}

void EventStore::holdCopy(const Resolved& resolved) {
    disown();
    m_holdsCopy = true;
    m_event = resolved.event;
}

void EventStore::disown() {
    m_owned = false;
    m_holdsCopy = false;
    m_copiesMade = false;
    m_event.clear();
}

bool EventStore::holdsUnloadedResults() const {
    if (m_owned)
        return false;
    // What a restore would take (a save cut short before its 中奖名单.txt counts as not made), and
    // corrections that a restore would leave out but the next save keeps as a copy.
    const Resolved found = resolve(OnDisk::read(false), m_names);
    return TextFiles::holdsResults(found.saved) || TextFiles::holdsResults(found.all) || found.allLeftOut ||
           std::any_of(found.counts.begin(), found.counts.end(), [](int count) { return count != 0; });
}

void EventStore::appendHistory(const QStringList& all) {
    if (!TextFiles::holdsResults(all))
        return;
    const QString path = AppPaths::file(AppPaths::kHistory);
    if (!QFileInfo::exists(path)) {
        AtomicFile::write(path, TextFiles::joinCrLf(all));
        return;
    }
    if (!AtomicFile::ownerWritable(path))
        throw OperationError::cannotCreate(path, systemReason(EACCES));
    const int fd = DurableFile::open(path, DurableFile::Mode::ReadWrite);
    if (fd < 0)
        throw OperationError::cannotCreate(path, systemReason(errno));
    const auto fail = [&](int error) {
        DurableFile::close(fd);
        return OperationError::cannotCreate(path, systemReason(error));
    };
    // A record cut short by a power cut may end the file, its last bytes maybe zeros: the zeros go, and
    // the next record starts on a line of its own.
    qint64 size = DurableFile::size(fd);
    if (size < 0)
        throw fail(errno);
    QByteArray tail(static_cast<qsizetype>(std::min<qint64>(size, 4096)), '\0');
    if (DurableFile::readAt(fd, tail.data(), tail.size(), size - tail.size()) != tail.size())
        throw fail(errno ? errno : EIO);
    qsizetype kept = tail.size();
    while (kept > 0 && tail.at(kept - 1) == '\0')
        --kept;
    if (kept < tail.size()) {
        size -= tail.size() - kept;
        if (!DurableFile::truncate(fd, size))
            throw fail(errno);
        tail.truncate(kept);
    }
    QByteArray record;
    if (size > 0 && !tail.endsWith("\r\n"))
        record += "\r\n";
    record += TextCodec::toGbk(TextFiles::kHistorySeparator) + "\r\n" + TextFiles::joinCrLf(all) + "\r\n";
    if (!DurableFile::writeAllAt(fd, record.constData(), record.size(), size)) {
        const int error = errno;
        // Half a record is taken back: the file stays as it was.
        (void)DurableFile::truncate(fd, size);
        throw fail(error);
    }
    if (!DurableFile::flush(fd)) {
        const int error = errno;
        (void)DurableFile::truncate(fd, size);
        throw fail(error);
    }
    DurableFile::close(fd);
}
