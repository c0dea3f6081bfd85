#include "lotteryapp.h"

#include "dialogs.h"
#include "mainhelp.h"
#include "unit1.h"

LotteryApp::LotteryApp() : m_form1(std::make_unique<TForm1>()) {
    Dialogs::setParentWindow(m_form1.get());
    m_mainhelp = std::make_unique<TFmainhelp>();
    // The program ends with the draw screen: the other windows never keep it running.
    m_mainhelp->setAttribute(Qt::WA_QuitOnClose, false);
    QObject::connect(m_form1.get(), &TForm1::closed, m_mainhelp.get(), &QWidget::close);
}

LotteryApp::~LotteryApp() = default;

void LotteryApp::start() {
    m_form1->show();
    if (m_form1->showHelpAtStart()) {
        m_mainhelp->show();
        m_mainhelp->raise();
    }
}
