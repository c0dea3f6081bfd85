#include "lotteryapp.h"

#include "allprize.h"
#include "changepassword.h"
#include "checkincenter.h"
#include "checkinservice.h"
#include "closerequests.h"
#include "consolecenter.h"
#include "dialogs.h"
#include "drawsession.h"
#include "event.h"
#include "mainhelp.h"
#include "operatorhelp.h"
#include "password.h"
#include "presence.h"
#include "setting.h"
#include "stagebox.h"
#include "stagesoundplayer.h"
#include "unit1.h"

#include <QEvent>
#include <QScreen>
#include <functional>

namespace {
// Every other window opens centred on the screen the draw screen is on, so that with a projector
// beside the laptop the settings, the password prompt, the tips and the winners list come up where
// the operator is looking. While the operator's console is open, the operator's windows come up on
// its screen instead (the all-winners list stays on the projector: it is shown to the audience).
class CentreOnDrawScreen : public QObject {
public:
    CentreOnDrawScreen(QWidget* drawScreen, std::function<QWidget*()> anchor)
        : QObject(drawScreen), m_anchor(std::move(anchor)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            auto* window = static_cast<QWidget*>(watched);
            if (QScreen* screen = m_anchor()->screen()) {
                window->setScreen(screen);
                window->move(screen->availableGeometry().center() - window->rect().center());
            }
        }
        return false;
    }

private:
    std::function<QWidget*()> m_anchor;
};

// The draw takes only checked-in entrants while check-in says so.
class CheckinPresence : public Presence {
public:
    explicit CheckinPresence(CheckinService& checkin) : m_checkin(checkin) {}
    bool onlyPresent() const override { return m_checkin.onlyCheckedIn(); }
    std::vector<bool> presentMask() const override { return m_checkin.presentMask(); }

private:
    CheckinService& m_checkin;
};
} // namespace

LotteryApp::LotteryApp() {
    StageSounds::setFrontEnd(&StageSoundPlayer::system);
    m_event = std::make_unique<Event>();
    m_event->open();
    m_session = std::make_unique<DrawSession>(*m_event);
    m_form1 = std::make_unique<TForm1>(*m_event, *m_session);
    Dialogs::setParentWindow(m_form1.get());
    // The window system's close of the stage closes the program also while a box is open over it.
    CloseRequests::watch(m_form1.get());
    // Boxes over the stage take its panel colours (as the stage read them from prize.db).
    StageBox::setTheme(m_form1.get(), m_form1->gridColor(), m_form1->gridFontColor());
    m_setting = std::make_unique<Tfsetting>(*m_form1);
    m_allprize = std::make_unique<Tfallprize>(*m_session);
    m_password = std::make_unique<Tfpassword>();
    m_changepassword = std::make_unique<TFchangepassword>();
    m_mainhelp = std::make_unique<TFmainhelp>();
    m_checkin = std::make_unique<CheckinService>(*m_session);
    m_checkinWindows = std::make_unique<CheckinCenter>(*m_form1, *m_checkin);
    m_event->results().addPart(m_checkin.get());
    m_presence = std::make_unique<CheckinPresence>(*m_checkin);
    m_event->engine().eligibility().setPresence(m_presence.get());
    m_console = std::make_unique<ConsoleCenter>(*m_form1, m_checkin.get());
    m_password->setChangePasswordDialog(m_changepassword.get());
    m_setting->setChangePasswordDialog(m_changepassword.get());
    // The check-in desk changes who can be drawn: it asks the settings' password too.
    m_checkinWindows->setPanelGuard(
        [this](std::function<void()> open) { openBehindPassword(*m_password, std::move(open)); });

    TForm1* form = m_form1.get();
    QObject::connect(form, &TForm1::consoleRequested, m_console.get(), &ConsoleCenter::requested);
    QObject::connect(form, &TForm1::closed, m_console.get(), &ConsoleCenter::programEnding);
    QObject::connect(form, &TForm1::closed, m_checkinWindows.get(), &CheckinCenter::programEnding);
    QObject::connect(form, &TForm1::closed, m_checkin.get(), &CheckinService::programEnding);
    QObject::connect(form, &TForm1::checkinScreenRequested, m_checkinWindows.get(),
                     &CheckinCenter::showScreen);
    QObject::connect(form, &TForm1::checkinPanelRequested, m_checkinWindows.get(), &CheckinCenter::showPanel);
    QObject::connect(form, &TForm1::helpRequested, form, [form] { OperatorHelp::open(form); });
    // A prize's results screen chosen in the all-winners window is the stage's, in front of the hall.
    Tfallprize* all = m_allprize.get();
    QObject::connect(all, &Tfallprize::prizeResultsRequested, form, [form, all](const QString& prize) {
        all->hide();
        form->showPrizeResults(prize);
    });
    QObject::connect(form, &TForm1::settingsRequested, form,
                     [this] { openSettingsBehindPassword(*m_password, *m_setting); });
    QObject::connect(form, &TForm1::allWinnersRequested, form,
                     [this] { m_allprize->showFor(m_form1->width()); });
    // Check-ins and the check-in only switch change how many can be drawn: every view's progress.
    QObject::connect(m_checkin.get(), &CheckinService::updated, m_session.get(),
                     &DrawSession::progressChanged);

    // The program ends with the draw screen: no other window keeps it running.
    auto* onStage = new CentreOnDrawScreen(form, [form] { return form; });
    auto* withOperator =
        new CentreOnDrawScreen(form, [this, form] { return m_console ? m_console->operatorWindow() : form; });
    for (QWidget* window : std::initializer_list<QWidget*>{
             m_setting.get(), m_allprize.get(), m_password.get(), m_changepassword.get(), m_mainhelp.get()}) {
        window->setAttribute(Qt::WA_QuitOnClose, false);
        window->installEventFilter(window == m_allprize.get() ? onStage : withOperator);
        QObject::connect(form, &TForm1::closed, window, &QWidget::hide);
    }
}

LotteryApp::~LotteryApp() {
    m_event->engine().eligibility().setPresence(nullptr);
    StageSoundPlayer::release();
}

void LotteryApp::start() {
    m_form1->show();
    // A folder the results cannot be saved in is said before anything else, and before any draw.
    m_session->checkFolderAtStart();
    // The console left open at the last end comes back beside the stage, before any question.
    m_console->openIfRemembered();
    // Saved results of an earlier run are offered for restoring before anything can replace them. The
    // question comes before the tips, which stay on top of every window and would hide its box.
    m_form1->offerRestore();
    // Check-in left switched on serves the phones again (a port taken meanwhile says so).
    m_checkin->startIfEnabled();
    if (m_form1->showHelpAtStart()) {
        m_mainhelp->show();
        m_mainhelp->raise();
    }
}
