#include "consolecenter.h"

#include "apppaths.h"
#include "configstore.h"
#include "consolehost.h"
#include "consolestate.h"
#include "consolewindow.h"
#include "dialogs.h"
#include "operationerror.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace {
const QString kSetting = QStringLiteral("Setting");
const QString kConsole = QStringLiteral("Console");
} // namespace

ConsoleCenter::ConsoleCenter(ConsoleHost& host, CheckinService* checkin)
    : m_host(host), m_stage(host.stageWindow()), m_checkin(checkin) {
    // A projector unplugged leaves one screen: the stage gets its controls back. Qt moves the
    // windows off the screen that went first, so the console looks again once that is done.
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (!isOpen())
                return;
            if (screensAllow())
                keepApart();
            else
                shut(false);
        });
    });
    m_stage->installEventFilter(this);
}

void ConsoleCenter::requested(bool wanted) {
    if (wanted)
        open();
    else
        close();
}

void ConsoleCenter::programEnding() {
    m_ending = true;
    shut(false);
}

ConsoleCenter::~ConsoleCenter() {
    delete m_window;
}

bool ConsoleCenter::screensAllow() {
    return QGuiApplication::screens().size() >= 2;
}

ConsoleWindow* ConsoleCenter::window() const {
    return m_window;
}

bool ConsoleCenter::isOpen() const {
    return m_window && m_host.consoleMode();
}

QWidget* ConsoleCenter::operatorWindow() const {
    return isOpen() ? static_cast<QWidget*>(m_window) : m_stage;
}

bool ConsoleCenter::open() {
    if (isOpen()) {
        m_window->raise();
        m_window->activateWindow();
        return true;
    }
    if (!screensAllow()) {
        m_host.setConsoleMode(false);
        return false;
    }
    if (!m_window) {
        m_window = new ConsoleWindow(m_host, m_checkin);
        m_window->setAttribute(Qt::WA_QuitOnClose, false);
        m_host.serveKeys(m_window);
        connect(m_window, &ConsoleWindow::closeRequested, this, &ConsoleCenter::close);
    }
    m_host.setConsoleMode(true);
    m_formerDialogParent = Dialogs::parentWindow();
    Dialogs::setParentWindow(m_window);
    keepApart();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    remember(true);
    return true;
}

void ConsoleCenter::close() {
    shut(!m_ending);
}

void ConsoleCenter::shut(bool rememberClosed) {
    const bool wasOpen = isOpen();
    if (m_window)
        m_window->hide();
    m_host.setConsoleMode(false);
    if (!wasOpen)
        return;
    Dialogs::setParentWindow(m_formerDialogParent ? m_formerDialogParent.data() : m_stage);
    if (rememberClosed)
        remember(false);
}

void ConsoleCenter::openIfRemembered() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    if (store.readBool(kSetting, kConsole, false) && screensAllow())
        open();
}

void ConsoleCenter::remember(bool open) {
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        if (store.readBool(kSetting, kConsole, false) != open)
            store.writeBool(kSetting, kConsole, open);
    } catch (const OperationError& error) {
        // The console works all the same; only the next start will not know it was open.
        Dialogs::showError(error.message());
    }
}

QScreen* ConsoleCenter::consoleScreen() const {
    const QList<QScreen*> screens = QGuiApplication::screens();
    const int found = pickConsoleScreen(static_cast<int>(screens.size()),
                                        static_cast<int>(screens.indexOf(m_stage->screen())),
                                        static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen())));
    return found >= 0 ? screens[found] : nullptr;
}

void ConsoleCenter::keepApart() {
    if (!m_window)
        return;
    if (m_window->isVisible() && m_window->screen() != m_stage->screen())
        return;
    QScreen* target = consoleScreen();
    if (!target)
        return;
    // A maximised window moves as a normal one and is maximised again there.
    const Qt::WindowStates states = m_window->windowState();
    if (m_window->isVisible())
        m_window->setWindowState(states & ~Qt::WindowMaximized);
    m_window->setScreen(target);
    m_window->setGeometry(target->availableGeometry());
    m_window->setWindowState(states | Qt::WindowMaximized);
}

bool ConsoleCenter::eventFilter(QObject* watched, QEvent* event) {
    // The stage moved (another screen chosen for it): the console keeps to another one.
    if (watched == m_stage && event->type() == QEvent::Move && isOpen())
        QTimer::singleShot(0, this, [this] {
            if (isOpen())
                keepApart();
        });
    return false;
}
