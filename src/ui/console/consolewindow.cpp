#include "consolewindow.h"

#include "allwinnersmodel.h"
#include "checkindesk.h"
#include "checkinservice.h"
#include "consolehost.h"
#include "drawsession.h"
#include "stagepreview.h"
#include "winnerlists.h"

#include <QAction>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace {

const QString kStyle = QStringLiteral(R"(
#consoleBody { background: #17181c; }
#consoleBody QLabel { color: #e9e9ec; }
#consoleBody QLabel[muted="true"] { color: #9a9ca5; }
#consoleBody QLabel[title="true"] { color: #e8b830; font-weight: bold; }
#consoleBody QFrame[card="true"] { background: #23252b; border: 1px solid #34363e; border-radius: 8px; }
#consoleHeader { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #6e0a12, stop:1 #3a0a0e);
                 border-bottom: 2px solid #d4a017; }
#consoleBody QPushButton, #consoleBody QToolButton {
    color: #f1f1f3; background: #363942; border: 1px solid #4a4d57; border-radius: 5px; padding: 5px 12px; }
#consoleBody QPushButton:hover, #consoleBody QToolButton:hover { background: #42464f; }
#consoleBody QPushButton:pressed, #consoleBody QToolButton:pressed { background: #2c2e35; }
#consoleBody QPushButton:disabled { color: #6d6f77; background: #2a2c32; border-color: #34363e; }
#consoleBody QToolButton::menu-indicator { image: none; }
#consoleBody QPushButton#consoleDraw { font-size: 30px; font-weight: bold; color: #ffe7a0; border: 2px solid #d4a017; border-radius: 10px;
               background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #d21f2d, stop:1 #8e0c17); }
#consoleBody QPushButton#consoleDraw:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e02a38, stop:1 #9c111c); }
#consoleBody QPushButton#consoleDraw[rolling="true"] { color: #ffffff;
               background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e0a418, stop:1 #9a6a05); }
#consoleBody QPushButton#consoleDraw:disabled { color: #8a6d6f; border-color: #5a3a3d; background: #3a2a2c; }
#consoleBody QComboBox { color: #f1f1f3; background: #2e3037; border: 1px solid #4a4d57; border-radius: 5px;
                     padding: 4px 10px; min-height: 24px; }
#consoleBody QComboBox:disabled { color: #8a8c94; }
#consoleBody QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: right center; width: 26px;
                                border: none; }
#consoleBody QComboBox::down-arrow { image: url(:/arrow-down.png); width: 12px; height: 8px; }
#consoleBody QComboBox QAbstractItemView { color: #f1f1f3; background: #2e3037; selection-background-color: #8e0c17; }
#consoleBody QComboBox#consolePrize { font-size: 20px; font-weight: bold; }
#consoleBody QLineEdit { color: #f1f1f3; background: #2e3037; border: 1px solid #4a4d57; border-radius: 5px;
                     padding: 4px 8px; }
#consoleBody QProgressBar { background: #2e3037; border: none; border-radius: 4px; height: 10px; }
#consoleBody QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #b3121f, stop:1 #e8b830);
                               border-radius: 4px; }
#consoleBody QTableWidget, #consoleBody QListView { color: #e9e9ec; background: #1c1d22; border: 1px solid #34363e;
    border-radius: 5px; alternate-background-color: #212228; selection-background-color: #5a1016; }
#consoleBody QHeaderView::section { color: #9a9ca5; background: #23252b; border: none;
                                border-bottom: 1px solid #34363e; padding: 4px; }
#consoleBody QPushButton[small="true"] { padding: 2px 10px; }
#consoleBody QPushButton[danger="true"] { border-color: #7a2028; }
#consoleBody QScrollBar:vertical { background: #1c1d22; width: 10px; }
#consoleBody QScrollBar::handle:vertical { background: #44474f; border-radius: 4px; min-height: 24px; }
#consoleBody QScrollBar::add-line, #consoleBody QScrollBar::sub-line { height: 0; }
)");

QFrame* card(const QString& name) {
    auto* frame = new QFrame;
    frame->setObjectName(name);
    frame->setProperty("card", true);
    return frame;
}

QLabel* label(const QString& text, const char* kind = nullptr) {
    auto* l = new QLabel(text);
    if (kind)
        l->setProperty(kind, true);
    return l;
}

QPushButton* button(const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

// The projector's picture, as large as the space allows, in the stage's proportions.
class PreviewView : public QWidget {
public:
    PreviewView(StagePreview& preview, QWidget* parent) : QWidget(parent), m_preview(preview) {
        setObjectName(QStringLiteral("consolePreview"));
        // Every pixel is painted here, four times a second while names roll: nothing beneath is.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(320, 180);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(&preview, &StagePreview::frameChanged, this, [this] { update(); });
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_preview.setSize(size() * devicePixelRatioF());
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x0e, 0x0e, 0x11));
        const QImage& frame = m_preview.frame();
        if (frame.isNull()) {
            painter.setPen(QColor(0x9a, 0x9c, 0xa5));
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("投影画面"));
            return;
        }
        QSizeF shown = QSizeF(frame.size()) / devicePixelRatioF();
        shown.scale(QSizeF(size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, frame);
        painter.setPen(QColor(0xd4, 0xa0, 0x17));
        painter.drawRect(target.adjusted(-0.5, -0.5, 0.5, 0.5));
    }

private:
    StagePreview& m_preview;
};
} // namespace

ConsoleWindow::ConsoleWindow(ConsoleHost& host, CheckinService* checkin, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host), m_session(host.session()), m_checkin(checkin) {
    setObjectName(QStringLiteral("console"));
    setWindowTitle(QStringLiteral("Orvanta抽奖软件 - 操作台"));
    // The look is the body's, not the window's: the boxes the console owns keep the desktop's look.
    auto* look = new QWidget(this);
    look->setObjectName(QStringLiteral("consoleBody"));
    look->setAttribute(Qt::WA_StyledBackground);
    look->setStyleSheet(kStyle);
    setMinimumSize(960, 600);
    resize(1280, 760);

    m_preview = new StagePreview(host.stageWindow(), this);

    auto* previewCard = card(QStringLiteral("consolePreviewCard"));
    auto* previewLayout = new QVBoxLayout(previewCard);
    auto* previewTitle = new QHBoxLayout;
    previewTitle->addWidget(label(QStringLiteral("投影画面"), "title"));
    previewTitle->addStretch();
    m_screenName = label(QString(), "muted");
    m_screenName->setObjectName(QStringLiteral("consoleScreenName"));
    previewTitle->addWidget(m_screenName);
    previewLayout->addLayout(previewTitle);
    m_previewView = new PreviewView(*m_preview, previewCard);
    previewLayout->addWidget(m_previewView, 1);
    previewLayout->addWidget(
        label(QStringLiteral("翻页笔：下一页 抽奖/停止 · 上一页 上一个奖项 · B 黑屏 · W 白屏"), "muted"));

    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(previewCard, 3);
    left->addWidget(buildWinnersCard(), 2);

    m_draw = button(QStringLiteral("抽奖"), "consoleDraw");
    m_draw->setMinimumHeight(84);
    m_draw->setToolTip(QStringLiteral("空格、回车或翻页笔的下一页"));
    connect(m_draw, &QPushButton::clicked, this, [this] { m_session.presenterToggle(); });

    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(buildPrizeCard());
    right->addWidget(m_draw);
    right->addWidget(buildSupplementaryCard());
    if (m_checkin)
        right->addWidget(buildCheckinCard());
    right->addWidget(buildAllWinnersCard(), 1);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(12, 12, 12, 12);
    body->setSpacing(12);
    body->addLayout(left, 11);
    body->addLayout(right, 9);

    auto* column = new QVBoxLayout(look);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addLayout(body, 1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(look);

    // Whatever changes the draw (the stage, this console, the presenter, the auto-stop, a box
    // answered late) is shown as the session announces it.
    for (auto changed :
         {&DrawSession::phaseChanged, &DrawSession::prizeChanged, &DrawSession::supplementaryChanged,
          &DrawSession::resultsChanged, &DrawSession::progressChanged})
        connect(&m_session, changed, this, [this] { refresh(); });
    if (m_checkin) {
        connect(m_checkin, &CheckinService::updated, this, &ConsoleWindow::showCheckins);
        showCheckins();
    }
    refresh();
}

ConsoleWindow::~ConsoleWindow() = default;

QWidget* ConsoleWindow::buildHeader() {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("consoleHeader"));
    header->setAttribute(Qt::WA_StyledBackground);
    auto* title = label(QStringLiteral("操作台"));
    QFont font = title->font();
    font.setPixelSize(20);
    font.setBold(true);
    title->setFont(font);
    title->setStyleSheet(QStringLiteral("color: #ffe7a0;"));

    auto* menu = new QToolButton;
    menu->setObjectName(QStringLiteral("consoleMenu"));
    menu->setText(QStringLiteral("菜单 ▾"));
    menu->setMenu(m_host.stageMenu());
    menu->setPopupMode(QToolButton::InstantPopup);
    menu->setToolTip(QStringLiteral("抽奖屏幕右键菜单中的全部命令"));
    auto* close = button(QStringLiteral("关闭操作台"), "consoleClose");
    close->setToolTip(QStringLiteral("关闭后投影上重新显示控制栏"));
    connect(close, &QPushButton::clicked, this, &ConsoleWindow::closeRequested);

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 8, 12, 8);
    row->setSpacing(8);
    row->addWidget(title);
    row->addSpacing(12);
    row->addWidget(label(QStringLiteral("观众只看到投影上的标题、图片、滚动的名字和中奖名单"), "muted"));
    row->addStretch();
    row->addWidget(commandButton("N1", QStringLiteral("系统设置")));
    row->addWidget(menu);
    row->addWidget(close);
    return header;
}

QPushButton* ConsoleWindow::commandButton(const char* action, const QString& caption) {
    auto* b = button(caption, action);
    b->setObjectName(QStringLiteral("console_%1").arg(QLatin1String(action)));
    QAction* command = m_host.stageWindow()->findChild<QAction*>(QLatin1String(action));
    if (!command) {
        b->setEnabled(false);
        return b;
    }
    b->setEnabled(command->isEnabled());
    connect(command, &QAction::changed, b, [b, command] { b->setEnabled(command->isEnabled()); });
    connect(b, &QPushButton::clicked, command, &QAction::trigger);
    return b;
}

QWidget* ConsoleWindow::buildPrizeCard() {
    auto* frame = card(QStringLiteral("consolePrizeCard"));
    m_prize = new QComboBox;
    m_prize->setObjectName(QStringLiteral("consolePrize"));
    connect(m_prize, &QComboBox::activated, this, [this](int position) {
        if (!m_session.choosePrize(position).isEmpty())
            refresh(true); // refused: the selector shows the session's prize again
    });
    m_mode = label(QString(), "muted");
    m_mode->setObjectName(QStringLiteral("consoleMode"));
    m_progressText = label(QString());
    m_progressText->setObjectName(QStringLiteral("consoleProgress"));
    QFont font = m_progressText->font();
    font.setPixelSize(16);
    m_progressText->setFont(font);
    m_progress = new QProgressBar;
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(10);

    auto* head = new QHBoxLayout;
    head->addWidget(label(QStringLiteral("当前奖项"), "title"));
    head->addStretch();
    head->addWidget(m_mode);
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(head);
    layout->addWidget(m_prize);
    layout->addWidget(m_progressText);
    layout->addWidget(m_progress);
    return frame;
}

QWidget* ConsoleWindow::buildSupplementaryCard() {
    auto* frame = card(QStringLiteral("consoleSupplementaryCard"));
    m_openSupplementary = button(QStringLiteral("打开补抽"), "consoleOpenSupplementary");
    m_openSupplementary->setToolTip(QStringLiteral("为被取消的名额补抽一位"));
    connect(m_openSupplementary, &QPushButton::clicked, this, [this] { m_session.openSupplementary(); });
    m_supplementaryPrize = new QComboBox;
    m_supplementaryPrize->setObjectName(QStringLiteral("consoleSupplementaryPrize"));
    connect(m_supplementaryPrize, &QComboBox::activated, this, [this](int position) {
        if (!m_session.chooseSupplementaryPrize(position).isEmpty())
            refresh(true);
    });
    m_supplementary = button(QStringLiteral("开始"), "consoleSupplementary");
    connect(m_supplementary, &QPushButton::clicked, this, [this] { m_session.toggleSupplementary(); });
    m_closeSupplementary = button(QStringLiteral("关闭补抽"), "consoleCloseSupplementary");
    connect(m_closeSupplementary, &QPushButton::clicked, this, [this] { m_session.closeSupplementary(); });
    m_supplementaryRow = new QWidget;
    auto* row = new QHBoxLayout(m_supplementaryRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_supplementaryPrize, 1);
    row->addWidget(m_supplementary);
    row->addWidget(m_closeSupplementary);

    auto* head = new QHBoxLayout;
    head->addWidget(label(QStringLiteral("补抽奖项"), "title"));
    head->addStretch();
    head->addWidget(m_openSupplementary);
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(head);
    layout->addWidget(m_supplementaryRow);
    return frame;
}

QWidget* ConsoleWindow::buildWinnersCard() {
    auto* frame = card(QStringLiteral("consoleWinnersCard"));
    m_winnersTitle = label(QStringLiteral("本次中奖"), "title");
    m_winners = new QTableWidget(0, 4);
    m_winners->setObjectName(QStringLiteral("consoleWinners"));
    m_winners->setHorizontalHeaderLabels(
        {QStringLiteral("序号"), QStringLiteral("中奖者"), QStringLiteral("状态"), QStringLiteral("操作")});
    m_winners->verticalHeader()->hide();
    m_winners->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_winners->setSelectionMode(QAbstractItemView::NoSelection);
    m_winners->setFocusPolicy(Qt::NoFocus);
    m_winners->setAlternatingRowColors(true);
    m_winners->setShowGrid(false);
    m_winners->verticalHeader()->setDefaultSectionSize(36);
    QHeaderView* header = m_winners->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* head = new QHBoxLayout;
    head->addWidget(m_winnersTitle);
    head->addStretch();
    head->addWidget(commandButton("N14", QStringLiteral("隐藏中奖面板")));
    head->addWidget(commandButton("N4", QStringLiteral("显示中奖面板")));
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(head);
    layout->addWidget(m_winners, 1);
    return frame;
}

QWidget* ConsoleWindow::buildAllWinnersCard() {
    auto* frame = card(QStringLiteral("consoleAllWinnersCard"));
    m_allModel = new AllWinnersModel(m_host.winnerLists(), this);
    auto* filtered = new QSortFilterProxyModel(this);
    filtered->setSourceModel(m_allModel);
    filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("consoleFilter"));
    m_filter->setPlaceholderText(QStringLiteral("查找姓名、工号或奖项"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, filtered, &QSortFilterProxyModel::setFilterFixedString);
    m_all = new QListView;
    m_all->setObjectName(QStringLiteral("consoleAllWinners"));
    m_all->setModel(filtered);
    m_all->setUniformItemSizes(true);
    m_all->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_all->setFocusPolicy(Qt::NoFocus);
    // New lines come at the end: the list follows them unless the operator is looking further up.
    connect(filtered, &QAbstractItemModel::rowsInserted, this, [this] {
        QScrollBar* bar = m_all->verticalScrollBar();
        if (bar->value() >= bar->maximum() - 2 * m_all->sizeHintForRow(0))
            QTimer::singleShot(0, m_all, &QListView::scrollToBottom);
    });

    auto* head = new QHBoxLayout;
    head->addWidget(label(QStringLiteral("所有中奖名单"), "title"));
    head->addStretch();
    head->addWidget(commandButton("N9", QStringLiteral("在投影上显示")));
    head->addWidget(commandButton("exportResults", QStringLiteral("导出中奖名单")));
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(head);
    layout->addWidget(m_filter);
    layout->addWidget(m_all, 1);
    return frame;
}

QWidget* ConsoleWindow::buildCheckinCard() {
    auto* frame = card(QStringLiteral("consoleCheckinCard"));
    m_checkins = label(QString());
    m_checkins->setObjectName(QStringLiteral("consoleCheckins"));
    QFont font = m_checkins->font();
    font.setPixelSize(16);
    font.setBold(true);
    m_checkins->setFont(font);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(label(QStringLiteral("签到"), "title"));
    layout->addSpacing(8);
    layout->addWidget(m_checkins, 1);
    layout->addWidget(commandButton("checkinScreen", QStringLiteral("签到屏幕")));
    layout->addWidget(commandButton("checkinPanel", QStringLiteral("签到管理")));
    return frame;
}

void ConsoleWindow::showCheckins() {
    if (!m_checkins)
        return;
    const CheckinDesk& desk = m_checkin->desk();
    const int total = desk.total();
    QString text = total > 0 ? QStringLiteral("已签到 %1 / %2").arg(desk.presentCount()).arg(total)
                             : QStringLiteral("已签到 %1").arg(desk.presentCount());
    text += m_checkin->url().isEmpty() ? QStringLiteral("  ·  手机签到未开启")
                                       : QStringLiteral("  ·  手机签到已开启");
    m_checkins->setText(text);
}

void ConsoleWindow::showScreenName() {
    const QScreen* screen = m_host.stageWindow()->screen();
    if (!screen)
        return;
    const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
    m_screenName->setText(
        QStringLiteral("%1  %2×%3").arg(screen->name()).arg(pixels.width()).arg(pixels.height()));
}

void ConsoleWindow::refresh(bool again) {
    const ConsoleState now = ConsoleState::of(m_session, m_host.winnerLists());
    const bool first = !m_shownOnce || again;
    m_shownOnce = true;
    if (!first && now == m_state)
        return;
    const ConsoleState before = std::exchange(m_state, now);

    if (first || now.prizes != before.prizes) {
        const QSignalBlocker blockPrize(m_prize);
        const QSignalBlocker blockSupplementary(m_supplementaryPrize);
        m_prize->clear();
        m_prize->addItems(now.prizes);
        m_supplementaryPrize->clear();
        m_supplementaryPrize->addItems(now.prizes);
    }
    if (first || m_prize->currentIndex() != now.position) {
        const QSignalBlocker block(m_prize);
        m_prize->setCurrentIndex(now.position);
    }
    if (first || m_supplementaryPrize->currentIndex() != now.supplementaryPosition) {
        const QSignalBlocker block(m_supplementaryPrize);
        m_supplementaryPrize->setCurrentIndex(now.supplementaryPosition);
    }
    m_prize->setEnabled(!now.automatic);
    m_supplementaryPrize->setEnabled(now.rolling == ConsoleState::Roll::None);
    m_mode->setText(now.automatic ? QStringLiteral("自动选择") : QStringLiteral("手动选择"));
    m_progressText->setText(now.position >= 0 ? now.progress : QStringLiteral("没有可抽的奖项"));
    m_progress->setRange(0, std::max(1, now.quantity));
    m_progress->setValue(std::clamp(now.drawn, 0, std::max(1, now.quantity)));

    m_draw->setText(now.drawCaption());
    m_draw->setEnabled(!now.supplementaryOpen);
    if (m_draw->property("rolling").toBool() != (now.rolling == ConsoleState::Roll::Main)) {
        m_draw->setProperty("rolling", now.rolling == ConsoleState::Roll::Main);
        m_draw->style()->unpolish(m_draw);
        m_draw->style()->polish(m_draw);
    }
    m_openSupplementary->setVisible(!now.supplementaryOpen);
    m_openSupplementary->setEnabled(now.rolling == ConsoleState::Roll::None);
    m_supplementary->setEnabled(now.rolling != ConsoleState::Roll::Main);
    m_supplementaryRow->setVisible(now.supplementaryOpen);
    m_supplementary->setText(now.supplementaryCaption());
    // Closed only while its names stand still, as Esc does it.
    m_closeSupplementary->setEnabled(now.rolling != ConsoleState::Roll::Supplementary);

    if (first || now.winners != before.winners)
        showWinners();
}

void ConsoleWindow::showWinners() {
    const QList<ConsoleState::Winner>& winners = m_state.winners;
    m_winnersTitle->setText(winners.isEmpty() ? QStringLiteral("本次中奖")
                                              : QStringLiteral("本次中奖（%1 位）").arg(winners.size()));
    m_winners->setRowCount(static_cast<int>(winners.size()));
    for (int row = 0; row < winners.size(); ++row) {
        const ConsoleState::Winner& winner = winners.at(row);
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setTextAlignment(Qt::AlignCenter);
        auto* name = new QTableWidgetItem(QString(winner.name).replace(u'\t', QStringLiteral("  ")));
        QString status = winner.supplementary ? QStringLiteral("补抽") : QStringLiteral("中奖");
        if (winner.cancelled)
            status = QStringLiteral("已取消");
        auto* state = new QTableWidgetItem(status);
        if (winner.cancelled) {
            QFont struck = name->font();
            struck.setStrikeOut(true);
            name->setFont(struck);
            name->setForeground(QColor(0x8a, 0x8c, 0x94));
            state->setForeground(QColor(0xe0, 0x6a, 0x6a));
        } else {
            state->setForeground(QColor(0xe8, 0xb8, 0x30));
        }
        m_winners->setItem(row, 0, number);
        m_winners->setItem(row, 1, name);
        m_winners->setItem(row, 2, state);

        auto* actions = new QWidget;
        auto* layout = new QHBoxLayout(actions);
        layout->setContentsMargins(4, 2, 4, 2);
        layout->setSpacing(6);
        auto* cancel = button(QStringLiteral("取消中奖"), "cancel");
        auto* restore = button(QStringLiteral("恢复中奖"), "restore");
        for (QPushButton* b : {cancel, restore}) {
            b->setProperty("small", true);
            b->setFocusPolicy(Qt::NoFocus);
            layout->addWidget(b);
        }
        cancel->setProperty("danger", true);
        cancel->setEnabled(!winner.cancelled);
        restore->setEnabled(winner.cancelled);
        // The session asks, and after the answer checks that the result is still the one asked about.
        connect(cancel, &QPushButton::clicked, this, [this, row] { m_session.cancelResult(row); });
        connect(restore, &QPushButton::clicked, this, [this, row] { m_session.restoreResult(row); });
        m_winners->setCellWidget(row, 3, actions);
    }
}

void ConsoleWindow::updatePreviewActive() {
    const bool shown = isVisible() && !isMinimized();
    m_preview->setActive(shown);
}

void ConsoleWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showScreenName();
    refresh();
    updatePreviewActive();
}

void ConsoleWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updatePreviewActive();
}

void ConsoleWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updatePreviewActive();
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    Q_EMIT closeRequested();
}
