#include "checkincenter.h"

#include "apppaths.h"
#include "checkindesk.h"
#include "checkinpanel.h"
#include "checkinscreen.h"
#include "checkinserver.h"
#include "configstore.h"
#include "dialogs.h"
#include "drawsession.h"
#include "networkaddresses.h"
#include "operationerror.h"

#include <QFileInfo>
#include <QScreen>
#include <QTimer>

CheckinCenter::CheckinCenter(QWidget& stage, DrawSession& session)
    : m_stage(stage), m_session(session),
      m_desk(std::make_unique<CheckinDesk>(AppPaths::file(AppPaths::kCheckins))),
      m_server(std::make_unique<CheckinServer>(*m_desk)) {
    m_settings = CheckinSettings::read(ConfigStore(AppPaths::file(AppPaths::kPrizeDb)));
    if (QFileInfo::exists(AppPaths::file(AppPaths::kCheckins))) {
        try {
            m_desk->load();
        } catch (const OperationError& error) {
            Dialogs::showError(error.message());
        }
    }
    // Changes come from the writer thread, one per write: the windows hear of them a few times a
    // second at most, so a rush of check-ins never crowds the draw screen's timers.
    m_coalesce = new QTimer(this);
    m_coalesce->setSingleShot(true);
    m_coalesce->setInterval(250);
    connect(m_coalesce, &QTimer::timeout, this, &CheckinCenter::updated);
    connect(m_desk.get(), &CheckinDesk::changed, this, [this] {
        if (!m_coalesce->isActive())
            m_coalesce->start();
    });
    connect(m_desk.get(), &CheckinDesk::writeFailed, this, [this](const QString& message) {
        // One box per run of failures: the desk's staff see it, the phones are told to come to the desk.
        if (!m_failureShown) {
            m_failureShown = true;
            Dialogs::showError(message);
        }
    });
    connect(m_desk.get(), &CheckinDesk::changed, this, [this] { m_failureShown = false; });
    connect(&session, &DrawSession::poolLoaded, this, [this] {
        m_poolStale = true;
        if (m_server->isRunning() || m_settings.onlyCheckedIn || !m_desk->entries().isEmpty())
            ensurePool();
    });
    // A draw that takes only checked-in entrants asks about the pool from the start.
    if (m_settings.onlyCheckedIn || !m_desk->entries().isEmpty())
        ensurePool();
}

void CheckinCenter::programEnding() {
    m_server->stop();
    if (m_panel)
        m_panel->hide();
}

CheckinCenter::~CheckinCenter() {
    m_server->stop();
    delete m_panel;
}

const EntrantPool& CheckinCenter::pool() const {
    return m_session.pool();
}

void CheckinCenter::ensurePool() {
    if (!m_poolStale)
        return;
    m_desk->setPool(m_session.pool());
    m_poolStale = false;
    Q_EMIT updated();
}

bool CheckinCenter::save() {
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        m_settings.write(store);
        return true;
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
}

void CheckinCenter::refreshEventTitle() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    m_server->setEventTitle(store.readString(QStringLiteral("Setting"), QStringLiteral("Title1"),
                                             QStringLiteral("某某公司现场抽奖仪式")));
}

bool CheckinCenter::startServer() {
    ensurePool();
    refreshEventTitle();
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
        Dialogs::showError(error);
    Q_EMIT updated();
    return started;
}

void CheckinCenter::startIfEnabled() {
    if (m_settings.enabled)
        startServer();
}

bool CheckinCenter::setEnabled(bool on) {
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

void CheckinCenter::setAddress(const QString& address, int port) {
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

void CheckinCenter::setOnlyCheckedIn(bool on) {
    if (on == m_settings.onlyCheckedIn)
        return;
    m_settings.onlyCheckedIn = on;
    if (on)
        ensurePool();
    save();
    Q_EMIT updated();
}

void CheckinCenter::setHideNames(bool on) {
    if (on == m_settings.hideNames)
        return;
    m_settings.hideNames = on;
    save();
    Q_EMIT updated();
}

void CheckinCenter::renewKey() {
    m_settings.renewKey();
    save();
    if (m_server->isRunning() && !startServer()) {
        m_settings.enabled = false;
        save();
    }
    Q_EMIT updated();
}

std::vector<bool> CheckinCenter::presentMask() {
    ensurePool();
    return m_desk->presentMask();
}

QString CheckinCenter::url() const {
    return m_server->isRunning() ? m_server->url() : QString();
}

CheckinScreen* CheckinCenter::screen() const {
    return m_screen;
}

CheckinPanel* CheckinCenter::panel() const {
    return m_panel;
}

void CheckinCenter::showScreen() {
    ensurePool();
    if (!m_screen)
        m_screen = new CheckinScreen(*this, &m_stage);
    m_screen->enter();
}

void CheckinCenter::showPanel() {
    ensurePool();
    if (!m_panel) {
        m_panel = new CheckinPanel(*this);
        m_panel->setAttribute(Qt::WA_QuitOnClose, false);
        // First shown in the middle of the screen the operator works on (the draw screen's, or the
        // console's while it is open), like the other windows.
        const QWidget* owner = Dialogs::parentWindow() ? Dialogs::parentWindow() : &m_stage;
        if (QScreen* screen = owner->screen()) {
            m_panel->setScreen(screen);
            m_panel->move(screen->availableGeometry().center() - m_panel->rect().center());
        }
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

QString CheckinCenter::partPath() const {
    return AppPaths::file(AppPaths::kCheckins);
}

bool CheckinCenter::holdsEntries() const {
    return !m_desk->entries().isEmpty();
}

void CheckinCenter::clearPart() {
    m_desk->clear();
}
