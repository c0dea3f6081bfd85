// The draw screen's supplementary draw and the loading of the winners fixed in advance.
#include "unit1.h"

#include "apppaths.h"
#include "clock.h"
#include "configstore.h"
#include "dialogs.h"
#include "functionunit.h"
#include "headerstrip.h"
#include "rollingdisplay.h"
#include "winnerlists.h"

#include <QAction>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {

// The panel's design (at 1080 lines): one band over the subtitles, in the stage's colours.
constexpr int kCaptionLeft = 28;
constexpr int kSelectorLeft = 190;
constexpr int kSelectorWidth = 280;
constexpr int kButtonLeft = 490;
constexpr int kButtonWidth = 150;
constexpr int kControlTop = 17;
constexpr int kControlHeight = 48;
constexpr int kCloseSize = 36;

QFont panelFont(int pixelSize) {
    QFont font = withCjkFallbacks(QFont(), QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

QString rgba(const QColor& color, int alpha) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(alpha);
}

} // namespace

void TForm1::buildSupplementaryPanel() {
    // The supplementary draw's panel is part of the show: a band of the stage's colours with the
    // prize it fills and its start / stop, sized with the stage.
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAttribute(Qt::WA_StyledBackground);
    Panel1->setGeometry(0, ScreenGeometry::kPanel1Top, ScreenGeometry::kPanel1Width,
                        ScreenGeometry::kPanel1Height);
    Panel1->hide();
    const StageScale& scale = m_geometry.scale;

    // The gold rule along the band's top edge.
    Image2 = new QLabel(Panel1);
    Image2->setObjectName(QStringLiteral("Image2"));
    scale.place(Image2, QRect(0, 0, ScreenGeometry::kPanel1Width, 3));
    Image2->setStyleSheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                         "stop:0 transparent, stop:0.5 #FFE14D, stop:1 transparent);"));
    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(closeIcon());
    SpeedButton1->setToolTip(QStringLiteral("关闭"));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    scale.place(SpeedButton1,
                QRect(ScreenGeometry::kPanel1Width - kCloseSize - 14,
                      (ScreenGeometry::kPanel1Height - kCloseSize) / 2, kCloseSize, kCloseSize));

    StaticText1 = new QLabel(QStringLiteral("补抽奖项"), Panel1);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    scale.setFont(StaticText1, panelFont(30));
    scale.place(StaticText1, QRect(kCaptionLeft, kControlTop, kSelectorLeft - kCaptionLeft, kControlHeight));
    ComboBox2 = new PrizeComboBox(Panel1);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    scale.setFont(ComboBox2, panelFont(28));
    scale.place(ComboBox2, QRect(kSelectorLeft, kControlTop, kSelectorWidth, kControlHeight));
    btn_bu = new QPushButton(QStringLiteral("开始"), Panel1);
    btn_bu->setObjectName(QStringLiteral("btn_bu"));
    scale.setFont(btn_bu, panelFont(28));
    scale.place(btn_bu, QRect(kButtonLeft, kControlTop, kButtonWidth, kControlHeight));
    btn_bu->setAutoDefault(true);
    styleSupplementaryPanel();

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(btn_bu, &QPushButton::clicked, this, &TForm1::btn_buClick);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ComboBox2, &PrizeComboBox::closedUp, this, &TForm1::ComboBox2Change);
}

void TForm1::styleSupplementaryPanel() {
    if (!Panel1)
        return;
    // Lengths of the style follow the stage's scale as the controls' places and fonts do.
    const StageScale& scale = m_geometry.scale;
    const auto px = [&scale](int design) { return std::max(1, scale.px(design)); };
    const QColor gold(0xD4, 0xA0, 0x17);
    const QColor text = m_gridFontColor.isValid() ? m_gridFontColor : QColor(0xFF, 0xE1, 0x4D);
    const QColor deep = m_gridColor.isValid() ? m_gridColor.darker(260) : QColor(0x3A, 0x04, 0x08);
    Panel1->setStyleSheet(
        QStringLiteral(
            "#Panel1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %11); "
            "border: %2px solid %3; border-radius: %4px; }"
            "#StaticText1 { color: %3; background: transparent; }"
            "#ComboBox2 { color: %5; background: %6; border: %2px solid %3; border-radius: %7px; "
            "padding-left: %8px; }"
            "#ComboBox2:disabled { color: %9; }"
            "#ComboBox2::drop-down { border: none; width: %10px; }"
            "#ComboBox2::down-arrow { image: none; }"
            "#ComboBox2 QAbstractItemView { color: %5; background: %11; border: %2px solid %3; "
            "selection-color: %11; selection-background-color: %3; outline: none; }"
            "#btn_bu { color: %11; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFE14D, "
            "stop:1 %3); border: %2px solid %3; border-radius: %7px; }"
            "#btn_bu:focus { border-color: %5; }"
            "#btn_bu:pressed { background: %3; }"
            "#SpeedButton1 { background: transparent; border: none; }")
            .arg(deep.lighter(150).name(), QString::number(px(2)), gold.name(), QString::number(px(14)),
                 text.name(), rgba(QColor(0, 0, 0), 70), QString::number(px(8)), QString::number(px(12)),
                 rgba(text, 140))
            .arg(QString::number(px(30)), deep.name()));
    SpeedButton1->setIconSize(QSize(px(24), px(24)));
    ComboBox2->setArrowColor(gold);
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
    const bool onStage = open && !m_consoleMode; // the console shows it instead
    Panel1->setVisible(onStage);
    // The panel takes the subtitles' place while it is open.
    title2->setVisible(!onStage);
    if (onStage)
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
