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
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    const std::optional<QString> error =
        m_model.presets.load(store, m_model.pool, Clock::instance().now().date());
    if (error)
        Dialogs::showError(*error);
}

void TForm1::N10Click() {
    ComboBox2->setCurrentIndex(ComboBox2->count() - 1);
    m_supplementaryOpen = true;
    if (!m_consoleMode) { // the console shows it instead
        Panel1->show();
        Panel1->raise();
    }
    btn_prize->setEnabled(false);
    btn_bu->setFocus();
}

void TForm1::SpeedButton1Click() {
    btn_prize->setEnabled(true);
    m_supplementaryOpen = false;
    Panel1->hide();
    btn_prize->setFocus();
}

void TForm1::ComboBox2Change() {
    btn_bu->setFocus();
}

void TForm1::btn_buClick() {
    if (m_model.rolling == DrawModel::Roll::Supplementary) {
        stopSupplementary();
        return;
    }
    if (m_model.musicAvailable)
        playmp3(true);
    time1->start();
    m_model.rolling = DrawModel::Roll::Supplementary;
    btn_bu->setText(QStringLiteral("停止"));
    Panel2->hide();
    Memo3->show();
    m_engine.rollStarted();
    time1Timer();
}

int TForm1::supplementarySlot() const {
    return m_model.slotAt(ComboBox2->currentIndex());
}

void TForm1::stopSupplementary() {
    time1->stop();
    m_model.rolling = DrawModel::Roll::None;
    btn_bu->setText(QStringLiteral("开始"));
    Panel2->show();
    Memo3->hide();

    const std::optional<QString> name =
        m_engine.pickSupplementary(m_model.repeatAllowed, supplementarySlot());
    if (!name) {
        // Nobody can be drawn any more: the panel keeps what it showed.
        if (m_model.musicAvailable)
            playmp3(false);
        FunctionUnit::information(QStringLiteral("已没有可抽奖的人员!"));
        return;
    }
    m_results.recordSupplementary(ComboBox2->currentText(), *name);

    // One large cell for the one name.
    Grid1->setColumnCount(1);
    Grid1->setColumnWidth(0, std::max(0, Grid1->width() - 5));
    cleargrid();
    Grid1->setRowHeight(0, std::max(1, Grid1->height() - 5));
    auto* cell = new QTableWidgetItem(m_lists->current().first());
    cell->setTextAlignment(Qt::AlignCenter);
    Grid1->setItem(0, 0, cell);
    Grid1->setCurrentCell(0, 0);

    if (m_model.musicAvailable)
        playmp3(false);
}
