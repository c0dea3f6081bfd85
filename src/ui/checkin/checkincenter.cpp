#include "checkincenter.h"

#include "checkinpanel.h"
#include "checkinscreen.h"
#include "checkinservice.h"
#include "dialogs.h"

#include <QScreen>

CheckinCenter::CheckinCenter(QWidget& stage, CheckinService& service) : m_stage(stage), m_service(service) {}

CheckinCenter::~CheckinCenter() {
    delete m_panel;
}

void CheckinCenter::programEnding() {
    if (m_panel)
        m_panel->hide();
}

CheckinScreen* CheckinCenter::screen() const {
    return m_screen;
}

CheckinPanel* CheckinCenter::panel() const {
    return m_panel;
}

void CheckinCenter::showScreen() {
    m_service.ensurePool();
    if (!m_screen) {
        m_screen = new CheckinScreen(m_service, &m_stage);
        connect(m_screen, &CheckinScreen::panelRequested, this, &CheckinCenter::showPanel);
    }
    m_screen->enter();
}

void CheckinCenter::showPanel() {
    if (m_guard && !(m_panel && m_panel->isVisible())) {
        QPointer<CheckinCenter> self(this);
        m_guard([self] {
            if (self)
                self->openPanel();
        });
        return;
    }
    openPanel();
}

void CheckinCenter::openPanel() {
    m_service.ensurePool();
    if (!m_panel) {
        m_panel = new CheckinPanel(m_service);
        connect(m_panel, &CheckinPanel::screenRequested, this, &CheckinCenter::showScreen);
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
