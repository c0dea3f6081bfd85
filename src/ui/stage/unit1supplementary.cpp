// The draw screen's supplementary draw and the loading of the winners fixed in advance.
#include "unit1.h"

#include "apppaths.h"
#include "clock.h"
#include "configstore.h"
#include "dialogs.h"
#include "functionunit.h"
#include "rollingdisplay.h"
#include "winnerlists.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

void TForm1::buildSupplementaryPanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAttribute(Qt::WA_StyledBackground);
    Panel1->setStyleSheet(QStringLiteral("#Panel1 { background: #FFF6E0; border: 1px solid #8B0A14; }"));
    Panel1->setGeometry(0, ScreenGeometry::kPanel1Top, ScreenGeometry::kPanel1Width,
                        ScreenGeometry::kPanel1Height);
    Panel1->hide();

    Image2 = new QLabel(Panel1);
    Image2->setObjectName(QStringLiteral("Image2"));
    m_geometry.scale.place(Image2, QRect(0, 0, ScreenGeometry::kPanel1Width, 24));
    Image2->setStyleSheet(
        QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #8B0A14, "
                       "stop:1 #D4A017);"));
    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(closeIcon());
    SpeedButton1->setToolTip(QStringLiteral("关闭"));
    m_geometry.scale.place(SpeedButton1, QRect(ScreenGeometry::kPanel1Width - 24, 1, 22, 22));

    StaticText1 = new QLabel(QStringLiteral("补抽奖项"), Panel1);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    m_geometry.scale.place(StaticText1, QRect(10, 32, 165, 20));
    ComboBox2 = new PrizeComboBox(Panel1);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    m_geometry.scale.place(ComboBox2, QRect(10, 54, 100, 26));
    btn_bu = new QPushButton(QStringLiteral("开始"), Panel1);
    btn_bu->setObjectName(QStringLiteral("btn_bu"));
    m_geometry.scale.place(btn_bu, QRect(116, 52, 60, 30));
    btn_bu->setAutoDefault(true);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(btn_bu, &QPushButton::clicked, this, &TForm1::btn_buClick);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ComboBox2, &PrizeComboBox::closedUp, this, &TForm1::ComboBox2Change);
}

void TForm1::readspecial() {
    m_session.loadPresets();
}

void TForm1::N10Click() {
    if (m_session.openSupplementary().isEmpty())
        focusDrawButton();
}

void TForm1::SpeedButton1Click() {
    m_session.closeSupplementary();
    focusDrawButton();
}

void TForm1::showSupplementary() {
    {
        const QSignalBlocker blocker(ComboBox2);
        ComboBox2->setCurrentIndex(m_session.supplementaryPosition());
    }
    const bool open = m_session.supplementaryOpen();
    Panel1->setVisible(open && !m_consoleMode); // the console shows it instead
    if (open)
        Panel1->raise();
    btn_prize->setEnabled(!open);
}

void TForm1::ComboBox2Change() {
    if (!m_session.chooseSupplementaryPrize(ComboBox2->currentIndex()).isEmpty())
        showSupplementary(); // the selector goes back to the prize the session keeps
    btn_bu->setFocus();
}

void TForm1::btn_buClick() {
    m_session.toggleSupplementary();
    btn_bu->setFocus();
}
