#include "lotteryapp.h"

#include "dialogs.h"
#include "mainhelp.h"
#include "unit1.h"

LotteryApp::LotteryApp() : m_form1(std::make_unique<TForm1>()) {
    Dialogs::setParentWindow(m_form1.get());
    m_mainhelp = std::make_unique<TFmainhelp>();
}

LotteryApp::~LotteryApp() = default;

void LotteryApp::start() {
    m_form1->show();
    if (m_form1->showHelpAtStart()) {
        m_mainhelp->show();
        m_mainhelp->raise();
    }
}
