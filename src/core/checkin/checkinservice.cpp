#include "checkinservice.h"

#include "apppaths.h"
#include "checkindesk.h"
#include "checkinserver.h"
#include "configstore.h"
#include "drawsession.h"
#include "event.h"
#include "networkaddresses.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "verifiabledraw.h"

#include <QFileInfo>
#include <QTimer>

CheckinService::CheckinService(DrawSession& session) : m_session(session) {
    // Changes come from the writer thread, one per write: the windows hear of them a few times a
    // second at most, so a rush of check-ins never crowds the draw screen's timers.
    m_coalesce = new QTimer(this);
    m_coalesce->setSingleShot(true);
    m_coalesce->setInterval(250);
    connect(m_coalesce, &QTimer::timeout, this, &CheckinService::updated);
    connect(&session, &DrawSession::poolLoaded, this, [this] {
        m_poolStale = true;
        if (m_server->isRunning() || m_settings.onlyCheckedIn || !m_desk->entries().isEmpty())
            ensurePool();
    });
    // A restore from a backup replaces 签到名单.txt and prize.db: nothing writes to them meanwhile, and
    // the restored event's check-ins and settings are then the ones (none of the event before).
    connect(&session.event(), &Event::replacing, this, [this] {
        // The writer thread finishes what it was given before the files go.
        m_server->stop();
        m_server.reset();
        m_desk = std::make_unique<CheckinDesk>(AppPaths::file(AppPaths::kCheckins));
        m_server = std::make_unique<CheckinServer>(*m_desk);
    });
    const auto reopen = [this] {
        open();
        startIfEnabled();
        Q_EMIT updated();
    };
    connect(&session.event(), &Event::replaceRefused, this, reopen);
    connect(&session.event(), &Event::reloaded, this, reopen);
    // What the hall sees of a line is what the stage shows of it; what it never sees proves a guest.
    Event& event = session.event();
    m_hallText = [&event](const QString& line) { return event.lineDisplay().hallText(line); };
    connect(&event, &Event::lineDisplayChanged, this,
            [this] { setHallText(CheckinDesk::HallText(m_hallText)); });
    // The phone page shows the verifiable draw as the stage does; the proof grows with every entry
    // after the reveal (a cancel, a supplementary draw).
    connect(&event.verify(), &VerifiableDraw::changed, this, &CheckinService::refreshVerify);
    connect(&session, &DrawSession::resultsChanged, this, &CheckinService::refreshVerify);
    open();
}

void CheckinService::open() {
    if (m_server)
        m_server->stop();
    m_server.reset();
    m_desk.reset();
    m_failureShown = false;
    m_poolStale = true;
    m_desk = std::make_unique<CheckinDesk>(AppPaths::file(AppPaths::kCheckins));
    m_server = std::make_unique<CheckinServer>(*m_desk);
    m_settings = CheckinSettings::read(ConfigStore(AppPaths::file(AppPaths::kPrizeDb)));
    if (QFileInfo::exists(AppPaths::file(AppPaths::kCheckins))) {
        try {
            m_desk->load();
        } catch (const OperationError& error) {
            OperatorPrompts::showError(error.message());
        }
    }
    connect(m_desk.get(), &CheckinDesk::changed, this, [this] {
        if (!m_coalesce->isActive())
            m_coalesce->start();
    });
    connect(m_desk.get(), &CheckinDesk::writeFailed, this, [this](const QString& message) {
        // One box per run of failures: the desk's staff see it, the phones are told to come to the desk.
        if (!m_failureShown) {
            m_failureShown = true;
            OperatorPrompts::showError(message);
        }
    });
    connect(m_desk.get(), &CheckinDesk::changed, this, [this] { m_failureShown = false; });
    connect(m_desk.get(), &CheckinDesk::queueChanged, this, [this] {
        if (!m_coalesce->isActive())
            m_coalesce->start();
    });
    // A draw that takes only checked-in entrants asks about the pool from the start.
    if (m_settings.onlyCheckedIn || !m_desk->entries().isEmpty())
        ensurePool();
}

void CheckinService::programEnding() {
    m_server->stop();
}

CheckinService::~CheckinService() {
    m_server->stop();
}

const EntrantPool& CheckinService::pool() const {
    return m_session.pool();
}

void CheckinService::ensurePool() {
    if (!m_poolStale)
        return;
    m_desk->setPool(m_session.pool(), m_hallText);
    m_poolStale = false;
    Q_EMIT updated();
}

bool CheckinService::save() {
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        m_settings.write(store);
        return true;
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return false;
    }
}

void CheckinService::refreshEventTitle() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    m_server->setEventTitle(store.readString(QStringLiteral("Setting"), QStringLiteral("Title1"),
                                             QStringLiteral("某某公司现场抽奖仪式")));
}

void CheckinService::refreshVerify() {
    const VerifiableDraw& verify = m_session.event().verify();
    CheckinPages::Verify shown;
    QByteArray proof;
    if (verify.on() && !verify.commitment().isEmpty()) {
        shown = {true,
                 verify.commitment(),
                 verify.listHash(),
                 verify.prizesHash(),
                 verify.hallNumber(),
                 verify.revealedSeed()};
        proof = verify.proof();
    }
    m_server->setVerify(shown, proof);
}

bool CheckinService::startServer() {
    ensurePool();
    refreshEventTitle();
    refreshVerify();
    if (m_settings.address.isEmpty() || m_settings.key.isEmpty() || m_settings.secret.isEmpty()) {
        if (m_settings.key.isEmpty())
            m_settings.renewKey();
        else if (m_settings.secret.isEmpty())
            m_settings.renewSecret();
        m_settings.address = NetworkAddresses::choose(NetworkAddresses::list(), m_settings.address);
        save();
    }
    QString error;
    const bool started = m_server->start(m_settings.address, static_cast<quint16>(m_settings.port),
                                         m_settings.key, &error, CheckinServer::Limits(), m_settings.secret);
    if (!started)
        OperatorPrompts::showError(error);
    Q_EMIT updated();
    return started;
}

void CheckinService::startIfEnabled() {
    if (m_settings.enabled)
        startServer();
}

bool CheckinService::setEnabled(bool on) {
    if (!on) {
        m_server->stop();
        if (m_settings.enabled) {
            m_settings.enabled = false;
            save();
        }
        Q_EMIT updated();
        return false;
    }
    if (m_server->isRunning())
        return true;
    const bool started = startServer();
    if (started != m_settings.enabled) {
        m_settings.enabled = started;
        save();
    }
    return started;
}

void CheckinService::setAddress(const QString& address, int port) {
    if (address == m_settings.address && port == m_settings.port)
        return;
    m_settings.address = address;
    m_settings.port = port;
    save();
    if (m_server->isRunning() && !startServer()) {
        m_settings.enabled = false;
        save();
    }
    Q_EMIT updated();
}

void CheckinService::setOnlyCheckedIn(bool on) {
    if (on == m_settings.onlyCheckedIn)
        return;
    m_settings.onlyCheckedIn = on;
    if (on)
        ensurePool();
    save();
    Q_EMIT updated();
}

void CheckinService::setHideNames(bool on) {
    if (on == m_settings.hideNames)
        return;
    m_settings.hideNames = on;
    save();
    Q_EMIT updated();
}

void CheckinService::renewKey() {
    m_settings.renewKey();
    save();
    if (m_server->isRunning() && !startServer()) {
        m_settings.enabled = false;
        save();
    }
    Q_EMIT updated();
}

std::vector<bool> CheckinService::presentMask() {
    ensurePool();
    return m_desk->presentMask();
}

QString CheckinService::url() const {
    return m_server->isRunning() ? m_server->url() : QString();
}

void CheckinService::setHallText(CheckinDesk::HallText hallText) {
    m_hallText = std::move(hallText);
    m_poolStale = true;
    if (m_server->isRunning() || m_settings.onlyCheckedIn || !m_desk->entries().isEmpty())
        ensurePool();
}

QString CheckinService::partPath() const {
    return AppPaths::file(AppPaths::kCheckins);
}

bool CheckinService::holdsEntries() const {
    return !m_desk->entries().isEmpty();
}

void CheckinService::clearPart() {
    m_desk->clear();
}
