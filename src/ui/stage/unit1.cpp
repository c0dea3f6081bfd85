#include "unit1.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "colortext.h"
#include "configstore.h"
#include "dialogs.h"
#include "eventpictures.h"
#include "headerstrip.h"
#include "operationerror.h"
#include "presenterkeyfilter.h"
#include "prizebanner.h"
#include "prizeresultsscreen.h"
#include "resultsexportdialog.h"
#include "rollingdisplay.h"
#include "stagebox.h"
#include "stagecover.h"
#include "textfiles.h"
#include "verifypanel.h"
#include "winnercelldelegate.h"
#include "winnerlists.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {
// The titles' shadow, for a screen of 1080 lines like every size of the stage.
constexpr int kShadowBlur = 8;
constexpr int kShadowOffset = 2;

void addShadow(QWidget* widget) {
    auto* shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setBlurRadius(kShadowBlur);
    shadow->setOffset(kShadowOffset, kShadowOffset);
    shadow->setColor(QColor(40, 0, 0, 200));
    widget->setGraphicsEffect(shadow);
}

const QString kSetting = QStringLiteral("Setting");
const QString kShowpicture = QStringLiteral("Showpicture");

// Latin faces first, then the CJK faces of the platform, so Chinese titles render crisply.
QFont screenFont(const QString& family, int pixelSize, bool bold) {
    QFont font = withCjkFallbacks(QFont(), family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

ConfigStore openStore() {
    return ConfigStore(AppPaths::file(AppPaths::kPrizeDb));
}

// The prize selector is as wide as its longest name (the design's 112 at the least), and the progress
// text after it moves along, still ending before the draw button; the open list shows names whole.
void fitPrizeSelector(QComboBox* combo, QLabel* progress, const StageScale& scale) {
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = std::max(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
    const int width = std::clamp(widest + scale.px(36), scale.px(112), scale.px(260));
    combo->resize(width, combo->height());
    const int left = combo->x() + width + scale.px(3);
    progress->setGeometry(left, progress->y(), std::max(0, scale.px(612) - left), progress->height());
    combo->view()->setMinimumWidth(widest + scale.px(24));
}

QString colorSheet(const QColor& color) {
    return color.name(QColor::HexArgb);
}
} // namespace

void PrizeComboBox::hidePopup() {
    const bool wasOpen = view() && view()->window()->isVisible();
    QComboBox::hidePopup();
    if (wasOpen)
        Q_EMIT closedUp();
}

void PrizeComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    if (!m_arrow.isValid())
        return;
    // A triangle in the drop-down's place, a third of the selector's height wide.
    const qreal side = height() / 3.0;
    const QPointF centre(width() - height() / 2.0, height() / 2.0 + side / 6);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? m_arrow : m_arrow.darker(180));
    painter.drawPolygon(QPolygonF({centre + QPointF(-side / 2, -side / 3),
                                   centre + QPointF(side / 2, -side / 3), centre + QPointF(0, side / 3)}));
}

TForm1::TForm1(Event& event, DrawSession& session, QWidget* parent) : TForm1(&event, &session, parent) {}

TForm1::TForm1(QWidget* parent) : TForm1(nullptr, nullptr, parent) {}

TForm1::TForm1(Event* event, DrawSession* session, QWidget* parent)
    : QWidget(parent), m_ownEvent(event ? nullptr : std::make_unique<Event>()),
      m_event(event ? *event : *m_ownEvent), m_model(m_event.model()), m_lists(&m_event.lists()),
      m_results(m_event.results()), m_engine(m_event.engine()),
      m_session(session ? *session : *new DrawSession(*m_ownEvent, this)) {
    if (m_ownEvent)
        m_event.open();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvanta抽奖软件"));
    buildControls();
    buildDrawControls();
    buildShow();
    buildSupplementaryPanel();
    buildMenus();
    buildPresenter();
    FormCreate();
    connect(this, &TForm1::closed, this, &TForm1::rememberScreen);
}

TForm1::~TForm1() {
    // The children are hidden while the window goes away; none of their signals may reach it then.
    ComboBox1->disconnect(this);
}

void TForm1::buildControls() {
    registerBuiltInPictures();
    setAutoFillBackground(false);
    m_background = QPixmap(QStringLiteral(":/background.jpg"));
    // Sizes and places below are the design's, for a screen of 1080 lines; the layout pass takes them
    // at the stage's scale (StageScale).
    const StageScale& scale = m_geometry.scale;
    scale.setFont(this, screenFont(QStringLiteral("MS Sans Serif"), 11, false));

    auto makeLabel = [this](const QString& name, QWidget* parent) {
        auto* label = new QLabel(parent ? parent : this);
        label->setObjectName(name);
        label->setAttribute(Qt::WA_TranslucentBackground);
        return label;
    };

    for (int i = 0; i < 8; ++i) {
        pict[i] = makeLabel(QStringLiteral("pict%1").arg(i + 1), nullptr);
        pict[i]->setScaledContents(true);
    }

    title1 = makeLabel(QStringLiteral("title1"), nullptr);
    title1->setAlignment(Qt::AlignCenter);
    scale.setFont(title1, screenFont(QStringLiteral("Arial"), 64, true));
    title1->setStyleSheet(QStringLiteral("color: white;"));
    title1->setText(QStringLiteral("某某公司现场抽奖仪式"));
    addShadow(title1);

    title2 = makeLabel(QStringLiteral("title2"), nullptr);
    title2->setAlignment(Qt::AlignCenter);
    title2->setWordWrap(true);
    scale.setFont(title2, screenFont(QStringLiteral("Arial"), 48, true));
    title2->setStyleSheet(QStringLiteral("color: #FFE14D;"));
    addShadow(title2);

    Label1 = makeLabel(QStringLiteral("Label1"), nullptr);
    Label1->setAlignment(Qt::AlignCenter);
    scale.setFont(Label1, screenFont(QStringLiteral("Arial"), 21, true));
    Label1->setStyleSheet(QStringLiteral("color: #FFE14D;"));
    addShadow(Label1);

    RzPanel1 = new QWidget(this);
    RzPanel1->setObjectName(QStringLiteral("RzPanel1"));
    // The bar lets the background through, darkened a little so its white text reads on any picture.
    RzPanel1->setAttribute(Qt::WA_StyledBackground);
    RzPanel1->setStyleSheet(QStringLiteral("#RzPanel1 { background: rgba(40, 0, 4, 96); "
                                           "border-top: 1px solid rgba(212, 160, 23, 150); "
                                           "border-bottom: 1px solid rgba(212, 160, 23, 150); }"));

    Label2 = makeLabel(QStringLiteral("Label2"), RzPanel1);
    Label2->setText(QStringLiteral("选择奖项 "));
    scale.setFont(Label2, screenFont(QStringLiteral("MS Sans Serif"), 17, false));
    Label2->setStyleSheet(QStringLiteral("color: white;"));
    scale.place(Label2, QRect(61, 21, 92, 20));

    ComboBox1 = new PrizeComboBox(RzPanel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setFocusPolicy(Qt::ClickFocus);
    scale.setFont(ComboBox1, screenFont(QStringLiteral("MS Sans Serif"), 21, false));
    scale.place(ComboBox1, QRect(163, 17, 112, 30));

    Label4 = makeLabel(QStringLiteral("Label4"), RzPanel1);
    scale.setFont(Label4, screenFont(QStringLiteral("MS Sans Serif"), 16, false));
    Label4->setStyleSheet(QStringLiteral("color: white;"));
    scale.place(Label4, QRect(278, 22, 334, 24));

    btn_prize = new QPushButton(QStringLiteral("抽奖"), RzPanel1);
    btn_prize->setObjectName(QStringLiteral("btn_prize"));
    scale.setFont(btn_prize, screenFont(QStringLiteral("MS Sans Serif"), 19, true));
    btn_prize->setStyleSheet(QStringLiteral("QPushButton { color: navy; }"));
    btn_prize->setToolTip(QStringLiteral("按空格或回车进行抽奖或停止"));
    scale.place(btn_prize, QRect(624, 16, 75, 35));
    btn_prize->setAutoDefault(true);

    Memo3 = new RollingDisplay(this);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    scale.setFont(Memo3, screenFont(QStringLiteral("Segoe UI Symbol"), 37, true));

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Image3 = new QLabel(Panel2);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(QPixmap(QStringLiteral(":/header.png")));
    Image3->setScaledContents(true);
    Label3 = makeLabel(QStringLiteral("Label3"), Panel2);
    Label3->setText(QStringLiteral("本次中奖(上下滚动查看，表格里右键操作)"));
    scale.setFont(Label3, screenFont(QStringLiteral("MS Sans Serif"), 16, false));
    Label3->setStyleSheet(QStringLiteral("color: white;"));
    scale.place(Label3, QRect(17, 8, 448, 20));
    sb_close = new QToolButton(Panel2);
    sb_close->setObjectName(QStringLiteral("sb_close"));
    sb_close->setAutoRaise(true);
    sb_close->setIcon(closeIcon());
    sb_close->setIconSize(QSize(20, 20));
    sb_close->resize(23, 22);
    Grid1 = new QTableWidget(1, 1, Panel2);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->horizontalHeader()->hide();
    Grid1->verticalHeader()->hide();
    Grid1->setShowGrid(false);
    m_cards = new WinnerCellDelegate(Grid1);
    Grid1->setItemDelegate(m_cards);
    Grid1->setFrameShape(QFrame::NoFrame);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->verticalHeader()->setDefaultSectionSize(50);

    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ComboBox1, &PrizeComboBox::closedUp, this, &TForm1::ComboBox1Click);
}

QAction* TForm1::addMenuItem(QMenu* menu, const char* name, const QString& caption,
                             void (TForm1::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    return action;
}

QIcon TForm1::closeIcon() {
    QIcon icon(QStringLiteral(":/close.png"));
    icon.addFile(QStringLiteral(":/close-large.png"));
    return icon;
}

void TForm1::buildMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

    N1 = addMenuItem(PopupMenu1, "N1", QStringLiteral("系统设置"), &TForm1::settingsRequested);
    N9 = addMenuItem(PopupMenu1, "N9", QStringLiteral("所有中奖名单"), &TForm1::allWinnersRequested);
    // The results as a spreadsheet (xlsx or csv) for HR and finance.
    connect(addMenuItem(PopupMenu1, "exportResults", QStringLiteral("导出中奖名单"), nullptr),
            &QAction::triggered, this, [this] { ResultsExport::run(*m_lists); });
    // Check-in from the guests' phones: the screen for the projector and the panel for the desk.
    addMenuItem(PopupMenu1, "checkinScreen", QStringLiteral("签到"), &TForm1::checkinScreenRequested);
    addMenuItem(PopupMenu1, "checkinPanel", QStringLiteral("签到管理"), &TForm1::checkinPanelRequested);
    // The operator's console on the laptop while the stage is on the projector (two screens or more).
    consoleItem = addMenuItem(PopupMenu1, "console", QStringLiteral("操作台"), nullptr);
    consoleItem->setCheckable(true);
    connect(consoleItem, &QAction::triggered, this, &TForm1::consoleRequested);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N15"));

    N5 = PopupMenu1->addMenu(QStringLiteral("窗口模式"));
    N5->setObjectName(QStringLiteral("N5"));
    N6 = addMenuItem(N5, "N6", QStringLiteral("全屏"), &TForm1::N6Click);
    N7 = addMenuItem(N5, "N7", QStringLiteral("窗口"), &TForm1::N7Click);
    N5->addSeparator();
    screenMenu = N5->addMenu(QStringLiteral("选择屏幕"));
    screenMenu->setObjectName(QStringLiteral("screenMenu"));
    rebuildScreenMenu();
    // Screens come and go (a projector plugged in during the set-up): the list is made anew each time.
    connect(N5, &QMenu::aboutToShow, this, &TForm1::rebuildScreenMenu);
    connect(qApp, &QGuiApplication::screenAdded, this, &TForm1::rebuildScreenMenu);
    connect(qApp, &QGuiApplication::screenRemoved, this, &TForm1::rebuildScreenMenu);

    N3 = PopupMenu1->addMenu(QStringLiteral("奖项选择"));
    N3->setObjectName(QStringLiteral("N3"));
    selectionGroup = new QActionGroup(this);
    manual = addMenuItem(N3, "manual", QStringLiteral("手动选择"), &TForm1::manualClick);
    automatic = addMenuItem(N3, "automatic", QStringLiteral("自动选择"), &TForm1::automaticClick);
    for (QAction* action : {manual, automatic}) {
        action->setCheckable(true);
        selectionGroup->addAction(action);
    }
    manual->setChecked(true);

    N8 = addMenuItem(PopupMenu1, "N8", QStringLiteral("换背景图"), &TForm1::N8Click);
    N4 = addMenuItem(PopupMenu1, "N4", QStringLiteral("显示中奖面板"), &TForm1::N4Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N16"));
    N10 = addMenuItem(PopupMenu1, "N10", QStringLiteral("补抽奖项"), &TForm1::N10Click);
    N19 = addMenuItem(PopupMenu1, "N19", QStringLiteral("保存抽奖进度"), &TForm1::N19Click);
    N19->setVisible(false);
    N20 = addMenuItem(PopupMenu1, "N20", QStringLiteral("读出抽奖进度"), &TForm1::N20Click);
    N18 = addMenuItem(PopupMenu1, "N18", QStringLiteral("初始化进度"), &TForm1::N18Click);
    // The verifiable draw's panel on the stage and its items (shown while the mode is on).
    (new VerifyPanel(m_event.verify(), m_session, this))->addMenuItems(PopupMenu1);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N17"));
    N11 = addMenuItem(PopupMenu1, "N11", QStringLiteral("帮助"), &TForm1::N11Click);
    N2 = addMenuItem(PopupMenu1, "N2", QStringLiteral("退出"), &TForm1::N2Click);

    // The menu opens from the background and from the control bar alike.
    RzPanel1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RzPanel1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(RzPanel1->mapToGlobal(pos)); });
    Memo3->setContextMenuPolicy(Qt::NoContextMenu);
}

void TForm1::buildPresenter() {
    m_cover = new StageCover(this);
    PresenterKeyFilter::Stage stage;
    stage.rolling = [this] { return m_session.rolling(); };
    stage.toggle = [this](bool clicker) { presenterToggle(clicker); };
    stage.previousPrize = [this] { presenterPreviousPrize(); };
    stage.scroll = [this](int rows) { return presenterScroll(rows); };
    stage.close = [this] { presenterClose(); };
    stage.cover = [this](PresenterKeys::Cover cover) { m_cover->showCover(cover); };
    m_presenter = new PresenterKeyFilter(std::move(stage), this);
    m_presenter->serve(this, [this] { return m_consoleMode; });
    connect(m_cover, &StageCover::clicked, m_presenter, &PresenterKeyFilter::uncover);
}

void TForm1::presenterToggle(bool clicker) {
    // The clicker's press after the draw that finished a prize shows its results for the photo; the
    // next one moves on. The keyboard keeps the written box of a finished prize.
    if (clicker && showFinishedPrize())
        return;
    // What Space does: the draw toggle, or the supplementary panel's while it is open.
    m_session.presenterToggle(clicker ? DrawSession::From::Clicker : DrawSession::From::Operator);
    focusDrawButton();
}

void TForm1::presenterPreviousPrize() {
    // At the first entry nothing happens: prizes are drawn from the last entry up, so the first is the
    // end of the event, and wrapping round would put the smallest prize up by surprise.
    m_session.previousPrize();
}

bool TForm1::presenterScroll(int rows) {
    // The grid moves its own current cell when it has the focus, as it always did.
    if (Grid1->hasFocus())
        return false;
    QScrollBar* bar = Grid1->verticalScrollBar();
    bar->setValue(bar->value() + rows * bar->singleStep());
    return true;
}

void TForm1::presenterClose() {
    // Only a panel the operator opened; names rolling in it are stopped by its own button first.
    if (m_session.supplementaryOpen() && !m_session.rolling())
        SpeedButton1Click();
}

void TForm1::FormCreate() {
    connect(&m_event, &Event::reloaded, this, &TForm1::eventReloaded);
    Panel2->hide();
    Memo3->hide();
    applyGridColors();

    {
        const ConfigStore store = openStore();
        m_model.fullScreen = store.readBool(kSetting, QStringLiteral("FullScreen"), true);
        placeOnScreen(startScreen(store));
        applyFullScreenMode(m_model.fullScreen);
        m_model.excessWarningShown = false;
        m_showHelp = store.readBool(kSetting, QStringLiteral("showhelp"), true);
        m_session.setAutomatic(store.readBool(kSetting, QStringLiteral("automatic"), false));
        // Sped0 is read for compatibility with older stores and has no effect.
        store.readInteger(kSetting, QStringLiteral("Sped0"), 0);
    }

    m_model.musicAvailable = false;
    const QString music = AppPaths::file(AppPaths::kMusic);
    if (QFileInfo::exists(music)) {
        mp3player = MediaPlayer::create();
        // Music that turns out not to play is switched off without a box; the draw goes on silently.
        mp3player->onError([this] {
            m_model.musicAvailable = false;
            Timer5->stop();
            Cycle_timer->stop();
        });
        m_model.musicAvailable = mp3player->open(music);
    }
    // A missing entrant list is reported and start-up goes on, so that a first start still shows the
    // configured prizes. The prize table load resolves the pre-set entries in the pool.
    loadPool();
    readjp();
}

void TForm1::applyFullScreenMode(bool fullScreen) {
    const bool wasVisible = isVisible();
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::FramelessWindowHint, fullScreen);
    setWindowFlags(flags);
    setWindowState(windowState() | Qt::WindowMaximized);
    if (wasVisible)
        show(); // changing the frame hides a window
}

void TForm1::N6Click() {
    switchMode(true);
}

void TForm1::N7Click() {
    switchMode(false);
}

void TForm1::switchMode(bool fullScreen) {
    try {
        ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
            .writeBool(kSetting, QStringLiteral("FullScreen"), fullScreen);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    applyFullScreenMode(fullScreen);
    focusDrawButton();
}

void TForm1::rebuildScreenMenu() {
    screenMenu->clear();
    delete screenGroup;
    screenGroup = new QActionGroup(this);
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i) {
        const QScreen* each = screens[i];
        const QSize pixels = each->geometry().size() * each->devicePixelRatio();
        const QString name = each->name();
        QAction* action =
            screenMenu->addAction(QStringLiteral("%1 %2×%3")
                                      .arg(name.isEmpty() ? QStringLiteral("屏幕%1").arg(i + 1) : name)
                                      .arg(pixels.width())
                                      .arg(pixels.height()));
        action->setObjectName(QStringLiteral("screen%1").arg(i + 1));
        action->setCheckable(true);
        action->setChecked(each == screen());
        action->setData(name);
        screenGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, name] { chooseScreen(name); });
    }
    screenMenu->setEnabled(screens.size() > 1);
    consoleItem->setEnabled(screens.size() > 1 || m_consoleMode);
}

void TForm1::chooseScreen(const QString& name) {
    QScreen* target = nullptr;
    for (QScreen* each : QGuiApplication::screens())
        if (each->name() == name && !target)
            target = each;
    if (!target)
        return;
    try {
        openStore().writeString(kSetting, QStringLiteral("Screen"), name);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        rebuildScreenMenu(); // the tick goes back to the screen the window is on
        return;
    }
    placeOnScreen(target);
    settleLayout();
    focusDrawButton();
}

QScreen* TForm1::startScreen(const ConfigStore& store) const {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        return nullptr; // one screen: the window opens where it always did
    QStringList names;
    for (const QScreen* each : screens)
        names << each->name();
    const int found = pickDrawScreen(names, store.readString(kSetting, QStringLiteral("Screen"), QString()),
                                     store.readString(kSetting, QStringLiteral("LastScreen"), QString()),
                                     int(screens.indexOf(QGuiApplication::primaryScreen())));
    return found >= 0 ? screens[found] : nullptr;
}

void TForm1::placeOnScreen(QScreen* target) {
    if (!target)
        return;
    m_placedScreen = target;
    m_layoutSettled = false; // the geometry pass runs again for the size the window gets there
    const Qt::WindowStates states = windowState();
    // A maximised window stays where it is: it moves as a normal one and is maximised again there.
    if (isVisible())
        setWindowState(states & ~Qt::WindowMaximized);
    setScreen(target);
    setGeometry(target->availableGeometry());
    setWindowState(states | Qt::WindowMaximized);
}

void TForm1::rememberScreen() {
    // Only where there is a choice; a failed write costs nothing but the next start's screen, and the
    // exit has already reported a folder that cannot be written.
    const QScreen* now = screen();
    if (!now || QGuiApplication::screens().size() < 2)
        return;
    try {
        ConfigStore store = openStore();
        if (store.readString(kSetting, QStringLiteral("LastScreen"), QString()) != now->name())
            store.writeString(kSetting, QStringLiteral("LastScreen"), now->name());
    } catch (const OperationError&) {
    }
}

void TForm1::N8Click() {
    const QString path = Dialogs::instance().openFile(
        QStringLiteral("换背景图"), QStringLiteral("图片 (*.jpg *.jpeg *.bmp *.ico *.png);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        Dialogs::showError(QStringLiteral("%1\n%2").arg(path, EventPictures::unreadable(reader)));
        return;
    }
    m_background = QPixmap::fromImage(picture);
    m_scaledBackground = QPixmap();
    update();
    RzPanel1->update();
    try {
        ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
            .writeString(kSetting, QStringLiteral("Picture"), EventPictures::adopt(path));
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}

void TForm1::N11Click() {
    Q_EMIT helpRequested();
}

void TForm1::N2Click() {
    // 退出 stands next to 帮助: in the middle of an event a slip of the mouse must not end the show.
    // The window system's close does not ask; only this item does. The question goes over the window
    // the menu was opened from: the stage (a box of the stage's), or the operator's console.
    if (!m_lists->all().isEmpty()) {
        if (!Dialogs::instance().question(QStringLiteral("Confirm"), QStringLiteral("确定要退出抽奖程序吗?")))
            return;
    }
    close();
}

bool TForm1::loadPool() {
    return m_session.loadPool();
}

bool TForm1::getdata() {
    return m_session.reloadPool();
}

void TForm1::readjp() {
    const ConfigStore store = openStore();
    ComboBox1->clear();
    ComboBox2->clear();
    m_event.loadPrizeTable();
    ComboBox1->addItems(m_model.listedNames());
    fitPrizeSelector(ComboBox1, Label4, m_geometry.scale);
    ComboBox2->addItems(m_model.listedNames());
    m_session.prizeTableLoaded();

    title1->setText(
        store.readString(kSetting, QStringLiteral("Title1"), QStringLiteral("某某公司现场抽奖仪式")));
    // The configured sizes are for a screen of 1080 lines, like every design size of the stage.
    const StageScale& scale = m_geometry.scale;
    QFont font1 = StageScale::designFont(title1);
    font1.setPointSize(
        DrawModel::clampFontSize(store.readInteger(kSetting, QStringLiteral("Title1_font"), 48)));
    scale.setFont(title1, font1);
    QFont font2 = StageScale::designFont(title2);
    font2.setPointSize(
        DrawModel::clampFontSize(store.readInteger(kSetting, QStringLiteral("Title2_font"), 16)));
    scale.setFont(title2, font2);

    title2->setText(DrawModel::subtitle(store.readString(kSetting, QStringLiteral("Title2"), QString()),
                                        DrawModel::prizeSummary(store, m_model.slots)));

    const QString picture =
        EventPictures::resolve(store.readString(kSetting, QStringLiteral("Picture"), QString()));
    if (!picture.isEmpty() && QFileInfo::exists(picture)) {
        QPixmap loaded(picture);
        if (!loaded.isNull()) {
            m_background = loaded;
            m_scaledBackground = QPixmap();
        }
        update();
    }

    QFont gridFont = withCjkFallbacks(StageScale::designFont(Grid1), QStringLiteral("Tahoma"));
    gridFont.setBold(true);
    gridFont.setPointSize(
        DrawModel::clampFontSize(store.readInteger(kSetting, QStringLiteral("Grid_font"), 22)));
    scale.setFont(Grid1, gridFont);
    // A colour that is neither a colour name nor a number is reported; the colour keeps its value and
    // the rest of the load goes on.
    const auto readColor = [&store](const QString& key, const QString& fallback, QColor& target) {
        try {
            target = ColorText::toQColor(ColorText::stringToColor(store.readString(kSetting, key, fallback)));
        } catch (const OperationError& error) {
            Dialogs::showError(error.message());
        }
    };
    readColor(QStringLiteral("Grid_font_color"), QStringLiteral("clYellow"), m_gridFontColor);
    readColor(QStringLiteral("Grid_color"), QStringLiteral("clred"), m_gridColor);
    applyGridColors();
    readspecial();
}

void TForm1::applyGridColors() {
    // The panel is one surface in the grid's colour, the cards on it edged in gold.
    Panel2->setAutoFillBackground(true);
    QPalette panel = Panel2->palette();
    panel.setColor(QPalette::Window, m_gridColor);
    Panel2->setPalette(panel);
    m_cards->setStyle({m_gridColor, m_gridFontColor, QColor(0xD4, 0xA0, 0x17)});
    // Boxes over the stage are drawn in its colours.
    StageBox::setTheme(this, m_gridColor, m_gridFontColor);
    styleSupplementaryPanel();
    if (m_banner)
        m_banner->setColors(m_gridFontColor, QColor(0xD4, 0xA0, 0x17));
    // The current cell is drawn like every other cell, so a selection never stands out.
    Grid1->setStyleSheet(QStringLiteral("QTableWidget { color: %1; background: %2; selection-color: %1; "
                                        "selection-background-color: %2; border: none; }")
                             .arg(colorSheet(m_gridFontColor), colorSheet(m_gridColor)));
}

void TForm1::selectPosition(int position) {
    m_session.selectPosition(position);
}

void TForm1::readstate() {
    const ConfigStore store = openStore();
    m_session.readPrizeState();
    showProgress();
    for (int i = 0; i < 8; ++i) {
        const QFileInfo file(EventPictures::resolve(
            store.readString(kShowpicture, QStringLiteral("Picture%1").arg(i + 1), QString())));
        // The refresh runs after every draw: a picture already shown is decoded again only when its
        // file changed, so large photographs never hold up the announcement.
        LoadedPicture& loaded = m_pictures[i];
        const QDateTime stamp = file.exists() ? file.lastModified() : QDateTime();
        if (file.filePath().isEmpty() || !file.exists()) {
            pict[i]->clear();
            loaded = {};
            continue;
        }
        if (loaded.path != file.filePath() || loaded.stamp != stamp) {
            QPixmap picture;
            loaded = {file.filePath(), stamp, picture.load(file.filePath())};
            if (loaded.valid)
                pict[i]->setPixmap(picture);
        }
        if (loaded.valid)
            pict[i]->show();
        else
            pict[i]->clear();
    }
    gridsize();
}

void TForm1::autoselect() {
    m_session.autoselect(); // the prize shown anew ends by sizing the grid's columns
}

void TForm1::gridsize() {
    const int columns = std::max(1, Grid1->columnCount());
    // Halves go to the even neighbour, as in banker's rounding.
    const int width = static_cast<int>(std::nearbyint(double(Grid1->width() - 5) / columns));
    for (int c = 0; c < columns; ++c)
        Grid1->setColumnWidth(c, std::max(0, width));
}

void TForm1::getscreensize() {
    // The window's Left is taken on its own screen, so a projector placed beside the desktop lays out
    // like the desktop itself.
    const QRect frame = frameGeometry();
    const int screenLeft = screen() ? screen()->geometry().x() : 0;
    const int allowance = m_model.fullScreen ? 3 : 8;
    // Every design size (and every configured font size) is meant for 1080 lines and is taken at the
    // window's height. The sizes are Qt's device-independent pixels: a 4K screen at a desktop scale of
    // 200% is 1080 lines here and keeps the design sizes (Qt draws them at twice the density); a 4K
    // screen at 100% is 2160 lines and takes them twice.
    const StageScale scale = StageScale::forHeight(frame.height());
    m_geometry =
        ScreenGeometry::compute(frame.width(), frame.height(), frame.x() - screenLeft, allowance, scale);
    const ScreenGeometry& g = m_geometry;
    scale.apply(this);
    fitPrizeSelector(ComboBox1, Label4, scale);
    for (QWidget* text : {title1, title2, Label1})
        if (auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(text->graphicsEffect())) {
            shadow->setBlurRadius(scale.px(kShadowBlur));
            shadow->setOffset(scale.px(kShadowOffset));
        }
    title1->setGeometry(g.title1);
    title2->setGeometry(g.title2);
    RzPanel1->setGeometry(g.bar);
    Panel2->setGeometry(g.panel2);
    const int header = scale.px(33);
    sb_close->setGeometry(g.closeButtonLeft, scale.px(7), scale.px(23), scale.px(22));
    sb_close->setIconSize(QSize(scale.px(20), scale.px(20)));
    styleSupplementaryPanel();
    Image3->setGeometry(0, 0, g.panel2.width(), header);
    placeGrid(0);
    Grid1->verticalHeader()->setDefaultSectionSize(std::max(1, scale.px(50)));
    Memo3->setGeometry(g.panel2);
    Memo3->setEdge(std::max(1, scale.px(2)));
    Memo3->setReservedTop(header + bannerHeight());
    placeBanner(m_session.phase() == DrawSession::Phase::Idle && !Panel2->isVisible());
    Label1->setGeometry(g.label1);
    Panel1->setGeometry(g.panel1);

    const ConfigStore store = openStore();
    for (int i = 0; i < 8; ++i) {
        const QString path = EventPictures::resolve(
            store.readString(kShowpicture, QStringLiteral("Picture%1").arg(i + 1), QString()));
        const bool present = !path.isEmpty() && QFileInfo::exists(path);
        m_pictureMarks[i] = present ? QStringLiteral("有") : QStringLiteral("无");
        if (!present)
            pict[i]->hide();
        pict[i]->setGeometry(g.pictures[i]);
    }
    Q_EMIT pictureMarksChanged();
}

int TForm1::bannerHeight() const {
    return m_geometry.scale.px(92);
}

int TForm1::safeMargin() const {
    // Projectors cut the edges of the picture (overscan): nothing is drawn in the outer 5% of each
    // side.
    return int(std::lround(frameGeometry().width() * 0.05));
}

void TForm1::placeGrid(int height) {
    const QRect& panel = m_geometry.panel2;
    const int top = m_geometry.scale.px(33) + bannerHeight();
    const int left = std::max(0, safeMargin() - panel.x());
    const int room = std::max(0, panel.height() - top);
    const int used = height > 0 && height < room ? height : room;
    Grid1->setGeometry(left, top + (room - used) / 2, std::max(0, panel.width() - 2 * left), used);
}

void TForm1::eventReloaded() {
    readjp();
    FormShow();
    fillGrid();
}

void TForm1::FormShow() {
    getscreensize();
    if (ComboBox1->count() > 0)
        selectPosition(ComboBox1->count() - 1);
    readstate();
    focusDrawButton();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    settleLayout();
    if (m_resultsScreen && m_resultsScreen->isVisible())
        m_resultsScreen->setGeometry(rect());
}

void TForm1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    settleLayout();
}

void TForm1::settleLayout() {
    // The window manager maximises the window only after it is first shown (or moved to another
    // screen): until then the screen is laid out again for the place and size the window really gets
    // there. Some window managers size the window before they move it (Wine grows it to the screen's
    // size where it was made, a third of the screen to the right, and then moves it to the corner), so
    // the layout settles only once the window covers the available area from its top left corner.
    // Later resizes move nothing.
    if (!m_shownOnce || m_layoutSettled)
        return;
    getscreensize();
    const QScreen* now = screen();
    const QRect available = now ? now->availableGeometry() : QRect();
    const QRect frame = frameGeometry();
    m_layoutSettled = (!m_placedScreen || now == m_placedScreen) && frame.width() >= available.width() &&
                      frame.height() >= available.height() && frame.left() <= available.left() &&
                      frame.top() <= available.top();
}

void TForm1::paintEvent(QPaintEvent* event) {
    // Stretched over the whole window, as the operator's own pictures are. It is scaled once per size
    // and picture; a repaint (behind the control bar, the titles) copies only the part it needs.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (m_scaledBackground.size() != pixels && !m_background.isNull()) {
        m_scaledBackground = m_background.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaledBackground.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawPixmap(QRectF(r), m_scaledBackground,
                           QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_consoleMode) // the console has the commands; the projector shows no menu
        PopupMenu1->popup(event->globalPos());
}

void TForm1::ComboBox1Change() {
    // The operator's choice; refused (the selector shows the session's prize again) while names roll.
    if (!m_session.choosePrize(ComboBox1->currentIndex()).isEmpty())
        showPrize();
    ComboBox1Click();
}

void TForm1::ComboBox1Click() {
    focusDrawButton();
}

void TForm1::manualClick() {
    m_session.setAutomatic(false);
    showPrize();
}

void TForm1::automaticClick() {
    m_session.setAutomatic(true);
    showPrize();
}
