#pragma once

#include <memory>

class TForm1;
class TFmainhelp;

// The program's windows, created once in their fixed order and kept for the whole run.
class LotteryApp {
public:
    LotteryApp();
    ~LotteryApp();

    // Shows the draw screen and, while they are switched on, the operation tips on top of it.
    void start();

    TForm1& form1() { return *m_form1; }
    TFmainhelp& mainhelp() { return *m_mainhelp; }

private:
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TFmainhelp> m_mainhelp;
};
