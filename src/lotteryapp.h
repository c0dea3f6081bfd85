#pragma once

#include <memory>

class TForm1;
class Tfsetting;
class Tfallprize;
class Tfpassword;
class TFchangepassword;
class TFmainhelp;
class CheckinCenter;
class Presence;
class ConsoleCenter;

// The program's six windows, created once in their fixed order and kept for the whole run.
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
    CheckinCenter& checkin() { return *m_checkin; }
    ConsoleCenter& console() { return *m_console; }

private:
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<Tfsetting> m_setting;
    std::unique_ptr<Tfallprize> m_allprize;
    std::unique_ptr<Tfpassword> m_password;
    std::unique_ptr<TFchangepassword> m_changepassword;
    std::unique_ptr<TFmainhelp> m_mainhelp;
    // Check-in from the guests' phones (ends before the draw screen it belongs to).
    std::unique_ptr<CheckinCenter> m_checkin;
    // Check-in as the draw asks about it ("只抽取已签到人员"); ends before the check-in it reads.
    std::unique_ptr<Presence> m_presence;
    // The operator's console beside the stage (ends before the draw screen too).
    std::unique_ptr<ConsoleCenter> m_console;
};
