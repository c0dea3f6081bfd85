#pragma once

#include <memory>

class TForm1;
class Tfsetting;
class Tfallprize;
class Tfpassword;
class TFchangepassword;
class TFmainhelp;
class CheckinCenter;
class CheckinService;
class Presence;
class ConsoleCenter;
class DrawSession;
class Event;

// The composition root: the event and its draw, then the program's six windows, created once in
// their fixed order and kept for the whole run, and the front ends beside them (check-in, the
// console).
class LotteryApp {
public:
    LotteryApp();
    ~LotteryApp();

    // Shows the draw screen and, while they are switched on, the operation tips on top of it.
    void start();

    TForm1& form1() { return *m_form1; }
    Tfsetting& setting() { return *m_setting; }
    Tfallprize& allprize() { return *m_allprize; }
    Tfpassword& password() { return *m_password; }
    TFchangepassword& changepassword() { return *m_changepassword; }
    TFmainhelp& mainhelp() { return *m_mainhelp; }
    CheckinService& checkin() { return *m_checkin; }
    CheckinCenter& checkinWindows() { return *m_checkinWindows; }
    ConsoleCenter& console() { return *m_console; }

    Event& event() { return *m_event; }
    DrawSession& session() { return *m_session; }

private:
    // The event and its draw come first and go last: every window is a view of them.
    std::unique_ptr<Event> m_event;
    std::unique_ptr<DrawSession> m_session;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<Tfsetting> m_setting;
    std::unique_ptr<Tfallprize> m_allprize;
    std::unique_ptr<Tfpassword> m_password;
    std::unique_ptr<TFchangepassword> m_changepassword;
    std::unique_ptr<TFmainhelp> m_mainhelp;
    // Check-in from the guests' phones and its windows (end before the draw screen they belong to).
    std::unique_ptr<CheckinService> m_checkin;
    std::unique_ptr<CheckinCenter> m_checkinWindows;
    // Check-in as the draw asks about it ("只抽取已签到人员"); ends before the check-in it reads.
    std::unique_ptr<Presence> m_presence;
    // The operator's console beside the stage (ends before the draw screen too).
    std::unique_ptr<ConsoleCenter> m_console;
};
