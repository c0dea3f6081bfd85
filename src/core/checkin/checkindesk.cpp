#include "checkindesk.h"

#include "clock.h"
#include "operationerror.h"

#include <algorithm>

CheckinDesk::CheckinDesk(QString path, QObject* parent)
    : QObject(parent), m_directory(std::make_shared<Directory>()), m_log(std::move(path)) {
    m_writer = std::thread([this] { run(); });
}

CheckinDesk::~CheckinDesk() {
    {
        std::lock_guard lock(m_queueMutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

void CheckinDesk::load() {
    std::lock_guard logLock(m_logMutex);
    m_log.load();
    std::lock_guard lock(m_mutex);
    adoptLogEntries();
}

void CheckinDesk::adoptLogEntries() {
    m_entries = m_log.entries();
    m_index.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        m_index.insert(m_entries.at(i).entrant, i);
    rebuildMask();
}

void CheckinDesk::setPool(const EntrantPool& pool, const HallText& hallText) {
    auto directory = std::make_shared<Directory>();
    directory->index.build(pool);
    const EntrantPool& copy = directory->index.pool();
    if (hallText)
        directory->secret.assign(static_cast<std::size_t>(copy.count()), 0);
    for (int i = 0; i < copy.count(); ++i) {
        const QStringView line = EntrantPool::trimmed(copy.line(i));
        if (line.isEmpty())
            continue;
        ++directory->total;
        std::uint64_t secret = 0;
        if (hallText) {
            // A field is the hall's when its text shows it whole ("139****5678" shows no mobile).
            const QString shown = hallText(line.toString());
            const QList<QStringView> seen = EntrantFields::split(shown);
            int place = 0;
            EntrantFields::forEachField(line, [&](QStringView field) {
                if (place < 64 && std::none_of(seen.begin(), seen.end(),
                                               [&](QStringView s) { return EntrantFields::same(s, field); }))
                    secret |= std::uint64_t(1) << place;
                ++place;
            });
            directory->secret[static_cast<std::size_t>(i)] = secret;
        }
        ++(secret ? directory->counts.phone : directory->counts.desk);
    }
    std::lock_guard lock(m_mutex);
    m_directory = std::move(directory);
    rebuildMask();
}

void CheckinDesk::rebuildMask() {
    m_mask.assign(static_cast<std::size_t>(m_directory->index.pool().count()), false);
    m_presentCount = 0;
    for (const CheckinLog::Entry& entry : std::as_const(m_entries))
        markPresent(entry.entrant, true);
}

void CheckinDesk::markPresent(const QString& entrant, bool present) {
    const EntrantFieldIndex& index = m_directory->index;
    for (int position : index.match(entrant)) {
        if (index.pool().name(position) != entrant || m_mask[static_cast<std::size_t>(position)] == present)
            continue;
        m_mask[static_cast<std::size_t>(position)] = present;
        m_presentCount += present ? 1 : -1;
    }
}

std::shared_ptr<const CheckinDesk::Directory> CheckinDesk::directory() const {
    std::lock_guard lock(m_mutex);
    return m_directory;
}

std::uint64_t CheckinDesk::Directory::secretOf(int position) const {
    return secret.empty() ? 0 : secret[static_cast<std::size_t>(position)];
}

int CheckinDesk::Directory::positionOf(const QString& entrant) const {
    for (int position : index.match(entrant))
        if (index.pool().name(position) == entrant)
            return position;
    return -1;
}

namespace {
// The fields of a line whose places are in the mask.
QList<QStringView> fieldsIn(QStringView line, std::uint64_t mask) {
    QList<QStringView> fields;
    int place = 0;
    EntrantFields::forEachField(line, [&](QStringView field) {
        if (place < 64 && (mask >> place) & 1)
            fields.append(field);
        ++place;
    });
    return fields;
}
} // namespace

CheckinDesk::Lookup CheckinDesk::lookup(QStringView query) const {
    const std::shared_ptr<const Directory> directory = this->directory();
    const QList<QStringView> typed = EntrantFields::split(query);
    Lookup result;
    QStringList names;
    for (int position : directory->index.match(query)) {
        // Found only by what the hall sees of the line.
        if (const std::uint64_t secret = directory->secretOf(position)) {
            const QStringView line = EntrantPool::trimmed(directory->index.pool().line(position));
            const QList<QStringView> shown = fieldsIn(line, ~secret);
            const bool seen = std::all_of(typed.begin(), typed.end(), [&](QStringView field) {
                return std::any_of(shown.begin(), shown.end(),
                                   [&](QStringView s) { return EntrantFields::same(s, field); });
            });
            if (!seen)
                continue;
        }
        const QString name = directory->index.pool().name(position);
        // The same text on two lines is one person to check in.
        if (!names.contains(name))
            names << name;
    }
    result.count = static_cast<int>(names.size());
    result.kind = names.isEmpty() ? Lookup::None : names.size() == 1 ? Lookup::One : Lookup::Many;
    if (result.kind == Lookup::One)
        result.entrant = names.first();
    return result;
}

QStringList CheckinDesk::secretFields(const QString& entrant) const {
    const std::shared_ptr<const Directory> directory = this->directory();
    const int position = directory->positionOf(entrant);
    QStringList fields;
    if (position >= 0)
        for (QStringView field : fieldsIn(EntrantPool::trimmed(directory->index.pool().line(position)),
                                          directory->secretOf(position)))
            fields << field.toString();
    return fields;
}

bool CheckinDesk::proves(const QString& entrant, QStringView typed) const {
    const QStringList secret = secretFields(entrant);
    bool proven = false;
    // Every field typed is compared with every secret field: the time says nothing of which matched.
    EntrantFields::forEachField(typed, [&](QStringView field) {
        for (const QString& s : secret)
            proven = EntrantFields::same(s, field) || proven;
    });
    return proven;
}

GuestCard CheckinDesk::cardOf(const QString& entrant) const {
    QString shown;
    const QStringList secret = secretFields(entrant);
    EntrantFields::forEachField(entrant, [&](QStringView field) {
        if (!secret.contains(field.toString()))
            shown += field.toString() + u' ';
    });
    return GuestCard::of(shown);
}

CheckinDesk::ProofCounts CheckinDesk::proofCounts() const {
    return directory()->counts;
}

bool CheckinDesk::mayTry(const QString& entrant, const QString& address) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_wrong.constFind(entrant);
    if (it == m_wrong.constEnd())
        return true;
    int all = 0;
    for (int n : *it)
        all += n;
    return it->value(address) < kWrongPerAddress && all < kWrongInAll;
}

bool CheckinDesk::wrongProof(const QString& entrant, const QString& address) {
    {
        std::lock_guard lock(m_mutex);
        QHash<QString, int>& from = m_wrong[entrant];
        // The addresses of one guest are bounded: past them every wrong proof counts in all only.
        if (from.contains(address) || from.size() < 64)
            ++from[address];
        else
            ++from[QStringLiteral("…")];
    }
    Q_EMIT queueChanged();
    return !mayTry(entrant, address);
}

QList<CheckinDesk::Held> CheckinDesk::held() const {
    std::lock_guard lock(m_mutex);
    QList<Held> list;
    for (auto it = m_wrong.cbegin(); it != m_wrong.cend(); ++it) {
        Held one{it.key(), {}, false};
        int all = 0;
        bool somewhere = false;
        for (auto a = it->cbegin(); a != it->cend(); ++a) {
            one.wrong.append({a.key(), a.value()});
            all += a.value();
            somewhere = somewhere || a.value() >= kWrongPerAddress;
        }
        one.everywhere = all >= kWrongInAll;
        if (!somewhere && !one.everywhere)
            continue;
        std::sort(one.wrong.begin(), one.wrong.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        list.append(one);
    }
    std::sort(list.begin(), list.end(), [](const Held& a, const Held& b) { return a.entrant < b.entrant; });
    return list;
}

void CheckinDesk::release(const QString& entrant) {
    {
        std::lock_guard lock(m_mutex);
        m_wrong.remove(entrant);
    }
    Q_EMIT queueChanged();
}

bool CheckinDesk::askDesk(const QString& entrant, const QString& address) {
    {
        std::lock_guard lock(m_mutex);
        m_refused.remove(entrant);
        const auto mine = std::find_if(m_waiting.begin(), m_waiting.end(),
                                       [&](const Waiting& w) { return w.entrant == entrant; });
        if (mine != m_waiting.end()) {
            mine->address = address;
        } else {
            const auto fromThere = std::count_if(m_waiting.cbegin(), m_waiting.cend(),
                                                 [&](const Waiting& w) { return w.address == address; });
            if (fromThere >= kWaitingPerAddress || m_waiting.size() >= kWaitingInAll)
                return false;
            m_waiting.append({entrant, address, Clock::instance().now()});
        }
    }
    Q_EMIT queueChanged();
    return true;
}

QList<CheckinDesk::Waiting> CheckinDesk::waiting() const {
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

CheckinDesk::WaitState CheckinDesk::waitState(const QString& entrant) const {
    std::lock_guard lock(m_mutex);
    if (std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                    [&](const Waiting& w) { return w.entrant == entrant; }))
        return WaitState::Waiting;
    return m_refused.contains(entrant) ? WaitState::Refused : WaitState::None;
}

void CheckinDesk::confirmWaiting(const QString& entrant) {
    QString address;
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_waiting.begin(), m_waiting.end(),
                                     [&](const Waiting& w) { return w.entrant == entrant; });
        if (it == m_waiting.end())
            return;
        address = it->address;
        m_waiting.erase(it);
    }
    submit({Job::CheckIn, {entrant}, {}, {true, address, true}, {}});
    Q_EMIT queueChanged();
}

void CheckinDesk::refuseWaiting(const QString& entrant) {
    {
        std::lock_guard lock(m_mutex);
        const auto removed = m_waiting.removeIf([&](const Waiting& w) { return w.entrant == entrant; });
        if (removed == 0)
            return;
        m_refused.insert(entrant);
    }
    Q_EMIT queueChanged();
}

std::shared_ptr<std::promise<CheckinDesk::Outcome>> CheckinDesk::submit(Job job) {
    job.done = std::make_shared<std::promise<Outcome>>();
    auto done = job.done;
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return done;
}

CheckinDesk::Outcome CheckinDesk::checkIn(const QString& entrant, int timeoutMs, const Origin& origin) {
    std::future<Outcome> future = submit({Job::CheckIn, {entrant}, {}, origin, {}})->get_future();
    if (future.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
        return {Outcome::Busy, {}, {}};
    return future.get();
}

void CheckinDesk::checkInThen(const QString& entrant, const Origin& origin, Answer answer) {
    submit({Job::CheckIn, {entrant}, {}, origin, std::move(answer)});
}

void CheckinDesk::checkInLater(const QString& entrant) {
    submit({Job::CheckIn, {entrant}, {}, {}, {}});
}

void CheckinDesk::checkOutLater(const QString& entrant) {
    submit({Job::CheckOut, {entrant}, {}, {}, {}});
}

void CheckinDesk::checkOutAddress(const QString& address) {
    QStringList entrants;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_origins.cbegin(); it != m_origins.cend(); ++it)
            if (it->phone && !it->confirmed && it->address == address)
                entrants << it.key();
    }
    if (!entrants.isEmpty())
        submit({Job::CheckOut, entrants, {}, {}, {}});
}

std::optional<CheckinDesk::Origin> CheckinDesk::originOf(const QString& entrant) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_origins.constFind(entrant);
    return it == m_origins.constEnd() ? std::nullopt : std::optional<Origin>(*it);
}

void CheckinDesk::clear() {
    const Outcome outcome = submit({Job::Clear, {}, {}, {}, {}})->get_future().get();
    if (outcome.kind == Outcome::Failed)
        throw OperationError(outcome.error);
}

void CheckinDesk::run() {
    for (;;) {
        std::deque<Job> jobs;
        {
            std::unique_lock lock(m_queueMutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, nothing left to write
            jobs.swap(m_queue);
        }
        process(jobs);
    }
}

void CheckinDesk::process(std::deque<Job>& jobs) {
    std::lock_guard logLock(m_logMutex);
    QStringList failures;
    bool wrote = false;
    while (!jobs.empty()) {
        if (jobs.front().kind == Job::CheckIn) {
            // Every check-in waiting now goes to disk in one write and one flush.
            std::vector<Job> batch;
            while (!jobs.empty() && jobs.front().kind == Job::CheckIn) {
                batch.push_back(std::move(jobs.front()));
                jobs.pop_front();
            }
            const QDateTime now = Clock::instance().now();
            QList<CheckinLog::Entry> wanted;
            for (const Job& job : batch)
                wanted.append({now, job.entrants.constFirst()});
            try {
                const QList<CheckinLog::Entry> fresh = m_log.record(wanted);
                m_appends += fresh.isEmpty() ? 0 : 1;
                {
                    std::lock_guard lock(m_mutex);
                    // A log that found its file replaced has merged it: take all of it.
                    if (m_log.entries().size() != m_entries.size() + fresh.size()) {
                        adoptLogEntries();
                    } else {
                        for (const CheckinLog::Entry& entry : fresh) {
                            m_index.insert(entry.entrant, m_entries.size());
                            m_entries.append(entry);
                            markPresent(entry.entrant, true);
                        }
                    }
                    // A guest checked in (by hand, or from another phone) waits for the desk no more.
                    for (const CheckinLog::Entry& entry : fresh)
                        m_waiting.removeIf([&](const Waiting& w) { return w.entrant == entry.entrant; });
                    for (const Job& job : batch)
                        if (!m_origins.contains(job.entrants.constFirst()) &&
                            std::any_of(fresh.begin(), fresh.end(), [&](const CheckinLog::Entry& e) {
                                return e.entrant == job.entrants.constFirst();
                            }))
                            m_origins.insert(job.entrants.constFirst(), job.origin);
                }
                wrote = true;
                QSet<QString> answered;
                for (const Job& job : batch) {
                    const QString& entrant = job.entrants.constFirst();
                    const bool isFresh =
                        !answered.contains(entrant) &&
                        std::any_of(fresh.begin(), fresh.end(),
                                    [&](const CheckinLog::Entry& e) { return e.entrant == entrant; });
                    answered.insert(entrant);
                    job.finish({isFresh ? Outcome::CheckedIn : Outcome::Already,
                                m_log.checkedInAt(entrant).value_or(now),
                                {}});
                }
            } catch (const OperationError& error) {
                failures << error.message();
                for (const Job& job : batch)
                    job.finish({Outcome::Failed, {}, error.message()});
            }
            continue;
        }
        Job job = std::move(jobs.front());
        jobs.pop_front();
        try {
            if (job.kind == Job::CheckOut)
                m_log.checkOut(job.entrants);
            else
                m_log.clear();
            std::lock_guard lock(m_mutex);
            adoptLogEntries();
            for (auto it = m_origins.begin(); it != m_origins.end();)
                it = m_index.contains(it.key()) ? std::next(it) : m_origins.erase(it);
            wrote = true;
            job.finish({Outcome::CheckedIn, {}, {}});
        } catch (const OperationError& error) {
            failures << error.message();
            job.finish({Outcome::Failed, {}, error.message()});
        }
    }
    if (wrote)
        Q_EMIT changed();
    if (!failures.isEmpty())
        Q_EMIT writeFailed(failures.constLast());
}

int CheckinDesk::total() const {
    std::lock_guard lock(m_mutex);
    return m_directory->total;
}

int CheckinDesk::presentCount() const {
    std::lock_guard lock(m_mutex);
    return m_presentCount;
}

bool CheckinDesk::isPresent(int position) const {
    std::lock_guard lock(m_mutex);
    return position >= 0 && static_cast<std::size_t>(position) < m_mask.size() &&
           m_mask[static_cast<std::size_t>(position)];
}

std::vector<bool> CheckinDesk::presentMask() const {
    std::lock_guard lock(m_mutex);
    return m_mask;
}

std::optional<QDateTime> CheckinDesk::checkedInAt(const QString& entrant) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_index.constFind(entrant);
    if (it == m_index.constEnd())
        return std::nullopt;
    return m_entries.at(*it).at;
}

QList<CheckinLog::Entry> CheckinDesk::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

QList<CheckinLog::Entry> CheckinDesk::latest(int n) const {
    std::lock_guard lock(m_mutex);
    QList<CheckinLog::Entry> last;
    for (qsizetype i = m_entries.size() - 1; i >= 0 && last.size() < n; --i)
        last.append(m_entries.at(i));
    return last;
}

int CheckinDesk::pending() const {
    std::lock_guard lock(m_queueMutex);
    return static_cast<int>(m_queue.size());
}
