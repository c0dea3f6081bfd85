#include "allprize.h"

#include "drawsession.h"
#include "event.h"

#include "headerstrip.h"

#include "apppaths.h"
#include "colortext.h"
#include "configstore.h"
#include "dialogs.h"
#include "eventresults.h"
#include "findwindow.h"
#include "functionunit.h"
#include "operationerror.h"
#include "resultsexportdialog.h"
#include "stagebox.h"
#include "stagescale.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

namespace AllWinners {

int windowWidth(int mainWindowWidth) {
    constexpr qint64 kMin = 240;
    constexpr qint64 kMax = QWIDGETSIZE_MAX;
    return static_cast<int>(std::clamp<qint64>(qint64(mainWindowWidth) - 10, kMin, kMax));
}

} // namespace AllWinners

namespace {

const QString kSection = QStringLiteral("PrizeMemo");

QString prizeDb() {
    return AppPaths::file(AppPaths::kPrizeDb);
}

// The stored colour, or the fallback after reporting a value that is no colour.
QColor readColor(const ConfigStore& store, const QString& key, const QString& defaultText,
                 const QColor& fallback) {
    try {
        const QColor color =
            ColorText::toQColor(ColorText::stringToColor(store.readString(kSection, key, defaultText)));
        return color.isValid() ? color : fallback;
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return fallback;
    }
}

// The list's top and bottom edges fade into the background, so the line creeping in or out of view is
// never shown cut in half. Laid over the list's viewport (a child of the list, not of its viewport,
// so that scrolling does not move it).
class EdgeFades : public QWidget {
public:
    EdgeFades(QWidget* list, QWidget* viewport) : QWidget(list), m_viewport(viewport) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        viewport->installEventFilter(this);
    }
    void setLook(const QColor& edge, int depth) {
        if (edge == m_edge && depth == m_depth)
            return;
        m_edge = edge;
        m_depth = depth;
        m_cache = QPixmap();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        // Drawn once for a size and look, then only copied: it is repainted with every step of the
        // scroll.
        if (m_cache.size() != size()) {
            m_cache = QPixmap(size());
            m_cache.fill(Qt::transparent);
            QPainter painter(&m_cache);
            const int depth = std::min(m_depth, height() / 3);
            QColor clear = m_edge;
            clear.setAlpha(0);
            if (depth > 0) {
                QLinearGradient top(0, 0, 0, depth);
                top.setColorAt(0, m_edge);
                top.setColorAt(0.45, m_edge);
                top.setColorAt(1, clear);
                painter.fillRect(0, 0, width(), depth, top);
                QLinearGradient bottom(0, height() - depth, 0, height());
                bottom.setColorAt(0, clear);
                bottom.setColorAt(0.55, m_edge);
                bottom.setColorAt(1, m_edge);
                painter.fillRect(0, height() - depth, width(), depth, bottom);
            }
        }
        QPainter painter(this);
        painter.drawPixmap(event->rect(), m_cache, event->rect());
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The viewport is placed when the list is laid out, which a hidden window does only on showing.
        if (watched == m_viewport && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
            setGeometry(m_viewport->geometry());
            raise();
        }
        return false;
    }

private:
    QWidget* m_viewport;
    QPixmap m_cache;
    QColor m_edge;
    int m_depth = 0;
};

// The panels' gold, as in the header strips.
const QColor kAccent(0xF5, 0xC8, 0x4C);

// The list's background: the chosen colour as the stage's panels show it, deep at the edges.
QColor edgeOf(const QColor& background) {
    return background.darker(230);
}

QToolButton* stripButton(QWidget* strip, const char* name, const QString& glyph, const QString& hint) {
    auto* button = new QToolButton(strip);
    button->setObjectName(QLatin1String(name));
    button->setText(glyph);
    button->setToolTip(hint);
    button->setFixedSize(23, 22);
    button->setFocusPolicy(Qt::NoFocus); // the strip's buttons are the mouse's, like a title bar's
    button->setStyleSheet(QStringLiteral(
        "QToolButton { color: #4a0608; background: rgba(255,255,255,110); border: 1px solid rgba(90,0,0,140);"
        " border-radius: 3px; }"
        "QToolButton:hover { background: rgba(255,255,255,200); }"
        "QToolButton:pressed { background: rgba(255,220,140,230); }"));
    return button;
}

} // namespace

Tfallprize::Tfallprize(DrawSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_session(session),
      m_results(session.eventResults()), m_lists(session.lists()), m_fontColor(Qt::yellow),
      m_background(Qt::red) {
    setObjectName(QStringLiteral("fallprize"));
    setWindowTitle(QStringLiteral("中奖名单"));
    resize(kDesignWidth, kDesignHeight);

    Image1 = new HeaderStrip(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Label1 = new QLabel(QStringLiteral("所有中奖名单"), Image1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont labelFont = Label1->font();
    labelFont.setBold(true);
    labelFont.setPixelSize(16);
    Label1->setFont(labelFont);
    Label1->setStyleSheet(QStringLiteral("color: #fff6dc; background: transparent;"));
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    sb_stop = stripButton(Image1, "sb_stop", QStringLiteral("■"), QStringLiteral("停止"));
    sb_play = stripButton(Image1, "sb_play", QStringLiteral("▶"), QStringLiteral("滚动"));
    sb_close = stripButton(Image1, "sb_close", QStringLiteral("✕"), QStringLiteral("关闭"));

    memo1 = new QTextEdit(this);
    memo1->setObjectName(QStringLiteral("memo1"));
    memo1->setReadOnly(true);
    memo1->setAcceptRichText(false);
    memo1->setUndoRedoEnabled(false);
    // A click sets the line the menu's cancel and restore act on; no caret blinks before the hall.
    memo1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memo1->setCursorWidth(0);
    memo1->setFrameShape(QFrame::NoFrame);
    memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont memoFont = withCjkFallbacks(memo1->font(), QStringLiteral("Arial"));
    memoFont.setPixelSize(35);
    memoFont.setBold(true);
    memo1->setFont(memoFont);
    m_fades = new EdgeFades(memo1, memo1->viewport());
    memo1->viewport()->setAutoFillBackground(false);
    memo1->setAutoFillBackground(false);

    // The speed bar stays hidden; it is the one way to change the scroll tick.
    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(1, 500);
    ScrollBar1->setValue(1);
    ScrollBar1->setToolTip(QStringLiteral("滚动速度"));
    ScrollBar1->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);

    buildMenu();
    FindDialog1 = new FindWindow(this);

    connect(sb_stop, &QToolButton::clicked, this, &Tfallprize::BitBtn1Click);
    connect(sb_play, &QToolButton::clicked, this, &Tfallprize::sb_playClick);
    connect(sb_close, &QToolButton::clicked, this, &Tfallprize::FormClose);
    connect(Timer1, &QTimer::timeout, this, &Tfallprize::Timer1Timer);
    connect(ScrollBar1, &QScrollBar::valueChanged, Timer1, [this](int value) { Timer1->setInterval(value); });
    connect(memo1, &QTextEdit::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(memo1->viewport()->mapToGlobal(pos)); });
    connect(FindDialog1, &FindWindow::findRequested, this, &Tfallprize::FindDialog1Find);
    connect(&m_lists, &WinnerLists::allLineAppended, this, &Tfallprize::lineAppended);
    connect(&m_lists, &WinnerLists::allLineChanged, this, &Tfallprize::lineChanged);
    connect(&m_lists, &WinnerLists::allReset, this, &Tfallprize::rebuild);
    connect(&m_session.event(), &Event::lineDisplayChanged, this, &Tfallprize::rebuild);

    FormCreate();
    layoutStrip();

    // Keys reach the window before its controls: Esc hides it whichever control has the focus.
    for (QWidget* child : findChildren<QWidget*>())
        if (child->window() == this)
            child->installEventFilter(this);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tfallprize::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto add = [this](const char* name, const QString& caption, void (Tfallprize::*handler)()) {
        QAction* action = PopupMenu1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    // A separator without a caption: with one, the style would draw it as a heading.
    const auto separator = [this](const char* name) {
        PopupMenu1->addSeparator()->setObjectName(QLatin1String(name));
    };
    add("N4", QStringLiteral("停止"), &Tfallprize::BitBtn1Click);
    add("N5", QStringLiteral("滚动"), &Tfallprize::sb_playClick);
    separator("N9");
    add("N1", QStringLiteral("取消中奖"), &Tfallprize::N1Click);
    add("N11", QStringLiteral("恢复中奖"), &Tfallprize::N11Click);
    add("N3", QStringLiteral("资料查找"), &Tfallprize::N3Click);
    add("N2", QStringLiteral("导出中奖清单"), &Tfallprize::N2Click)->setVisible(false);
    // The results as a spreadsheet (xlsx or csv) for HR and finance.
    QAction* exportResults = PopupMenu1->addAction(QStringLiteral("导出中奖名单..."));
    exportResults->setObjectName(QStringLiteral("exportResults"));
    connect(exportResults, &QAction::triggered, this, [this] { ResultsExport::run(m_lists, this); });
    // A prize's results screen on the stage, for the photo: the prizes that have winners.
    QMenu* results = PopupMenu1->addMenu(QStringLiteral("奖项结果屏"));
    results->menuAction()->setObjectName(QStringLiteral("prizeResults"));
    connect(results, &QMenu::aboutToShow, this, [this, results] {
        results->clear();
        QStringList prizes;
        for (int i = 0; i < m_lists.all().size(); ++i)
            if (const QString prize = m_lists.prizeAt(i);
                !prize.isEmpty() && !m_lists.nameAt(i).trimmed().isEmpty() && !prizes.contains(prize))
                prizes << prize;
        if (prizes.isEmpty())
            results->addAction(QStringLiteral("（还没有中奖记录）"))->setEnabled(false);
        for (const QString& prize : std::as_const(prizes))
            connect(results->addAction(prize), &QAction::triggered, this,
                    [this, prize] { Q_EMIT prizeResultsRequested(prize); });
    });
    separator("N6");
    add("N7", QStringLiteral("背景颜色设置"), &Tfallprize::N7Click);
    add("N8", QStringLiteral("字体设置"), &Tfallprize::N8Click);
}

void Tfallprize::showFor(int mainWindowWidth) {
    // A window already showing only comes to the front, where the operator left it.
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // Designed for a 1080-line screen, larger on a larger one (never smaller: the operator's own
    // screen keeps the designed window).
    m_scale = std::max(1.0, StageScale::forHeight(screen ? screen->geometry().height() : 0).factor());
    resize(AllWinners::windowWidth(mainWindowWidth), px(kDesignHeight));
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
    applyScale();
    show();
    raise();
    activateWindow();
}

bool Tfallprize::autoScrolling() const {
    return m_autoScroll && Timer1->isActive();
}

int Tfallprize::caretLine() const {
    const int line = memo1->textCursor().blockNumber();
    return line < m_lists.all().size() ? line : -1;
}

// ---- Creation, showing, closing

void Tfallprize::FormCreate() {
    rebuild();
    const ConfigStore store(prizeDb());
    // Bold and italic come back from the stored style; without a stored style the list keeps its
    // bold design font.
    if (store.contains(kSection, QStringLiteral("FontStyle"))) {
        QFont font = memo1->font();
        ColorText::applyFontStyle(
            store.readString(kSection, QStringLiteral("FontStyle"), QStringLiteral("[]")), font);
        memo1->setFont(font);
    }
    m_fontColor = readColor(store, QStringLiteral("fontcolor"), QStringLiteral("clYellow"), m_fontColor);
    m_background = readColor(store, QStringLiteral("memocolor"), QStringLiteral("Clred"), m_background);
    applyColors();
    // The hall sees the title only; where the list is saved is the operator's, under the mouse.
    Label1->setToolTip(QStringLiteral("所有中奖名单，实时保存在：") + AppPaths::file(AppPaths::kWinners));
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void Tfallprize::FormShow() {
    memo1->moveCursor(QTextCursor::Start);
    memo1->verticalScrollBar()->setValue(0);
    sb_stop->setFocus();
    if (TextFiles::holdsResults(m_lists.all()))
        sb_playClick();
}

void Tfallprize::FormClose() {
    BitBtn1Click();
    hide();
}

void Tfallprize::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfallprize::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        BitBtn1Click();
}

void Tfallprize::closeEvent(QCloseEvent* event) {
    BitBtn1Click();
    event->accept();
}

void Tfallprize::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        FormClose();
    else
        QWidget::keyPressEvent(event);
}

bool Tfallprize::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        FormClose();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tfallprize::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutStrip();
    styleAll();
}

void Tfallprize::paintEvent(QPaintEvent* event) {
    // The list's field, behind the list (which is transparent, so that its scrolling never carries
    // the field along): the chosen colour as the stage's panels show it, deep at the top and bottom.
    // Drawn once for a size and colour, then copied where the list repaints.
    const QRect view = memo1->geometry();
    if (m_field.size() != view.size() || m_fieldColor != m_background) {
        m_field = QPixmap(view.size());
        m_fieldColor = m_background;
        QPainter painter(&m_field);
        QLinearGradient field(0, 0, 0, view.height());
        field.setColorAt(0, edgeOf(m_background));
        field.setColorAt(0.5, m_background.darker(135));
        field.setColorAt(1, edgeOf(m_background));
        painter.fillRect(m_field.rect(), field);
    }
    QPainter painter(this);
    const QRect area = event->rect() & view;
    painter.drawPixmap(area, m_field, area.translated(-view.topLeft()));
}

int Tfallprize::px(int design) const {
    return qRound(design * m_scale);
}

void Tfallprize::layoutStrip() {
    const int strip = px(kStripHeight);
    Image1->setGeometry(0, 0, width(), strip);
    for (QToolButton* button : {sb_stop, sb_play, sb_close}) {
        button->setFixedSize(px(23), px(22));
        QFont glyph = button->font();
        glyph.setPixelSize(px(11));
        button->setFont(glyph);
    }
    const int closeLeft = width() - px(28);
    sb_close->move(closeLeft, px(4));
    sb_play->move(closeLeft - px(26), px(4));
    sb_stop->move(closeLeft - px(52), px(4));
    Label1->setGeometry(px(6), px(6), std::clamp(closeLeft - px(52 + 12), 0, px(697)), px(20));
    memo1->setGeometry(0, strip, width(), std::max(0, height() - strip));
    update();
}

// ---- Auto-scroll

void Tfallprize::sb_playClick() {
    m_autoScroll = true;
    m_clock.start();
    m_lastTick = 0;
    m_lastFrame = 0;
    m_scrolledTo = -1;
    Timer1->start();
}

void Tfallprize::BitBtn1Click() {
    m_autoScroll = false;
    Timer1->stop();
}

void Tfallprize::Timer1Timer() {
    // One pixel (at the window's scale) for every tick's interval passed, counted by the clock: a
    // late tick catches up, by at most a tenth of a second. At the end the list rests there and creeps
    // on when new lines arrive.
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    const double passed = std::clamp<double>(now - m_lastTick, 0, 100);
    m_lastTick = now;
    QScrollBar* bar = memo1->verticalScrollBar();
    if (!m_autoScroll)
        return;
    if (bar->value() != m_scrolledTo) // moved by hand, by a find, or the first tick
        m_scrollPosition = bar->value();
    if (bar->value() >= bar->maximum()) {
        m_scrollPosition = bar->value();
        m_scrolledTo = bar->value();
        return;
    }
    m_scrollPosition = std::min<double>(
        bar->maximum(), m_scrollPosition + passed / std::max(1, Timer1->interval()) * m_scale);
    // The list is redrawn at most every kFrameMs: each frame is a whole window of large type, and a
    // projector shows no more than 50 or 60 frames a second anyway. The speed stays the same.
    if (m_scrolledTo >= 0 && now - m_lastFrame < kFrameMs)
        return;
    m_lastFrame = now;
    m_scrolledTo = std::max(bar->value() + (m_scrolledTo < 0 ? 1 : 0), static_cast<int>(m_scrollPosition));
    bar->setValue(m_scrolledTo);
}

// ---- The view follows the list

void Tfallprize::rebuild() {
    QStringList shown;
    shown.reserve(m_lists.all().size());
    for (int i = 0; i < m_lists.all().size(); ++i)
        shown << shownLine(i);
    memo1->setPlainText(shown.join(QLatin1Char('\n')));
    m_shownLines = m_lists.all().size();
    styleAll();
}

QString Tfallprize::shownLine(int index) const {
    // The window stands on the projector: it shows each winner as the hall sees the line.
    const QString& line = m_lists.all().at(index);
    return AllWinners::displayLine(m_session.event().lineDisplay().hallTextWithin(
        line, m_lists.nameAt(index), AllWinners::prizeLength(line)));
}

void Tfallprize::applyScale() {
    QFont label = Label1->font();
    label.setPixelSize(px(16));
    Label1->setFont(label);
    layoutStrip();
    styleAll();
}

void Tfallprize::styleAll() {
    QTextDocument* document = memo1->document();
    const int lineHeight =
        QFontMetrics(StageScale::forHeight(qRound(StageScale::kDesignLines * m_scale)).font(memo1->font()))
            .lineSpacing();
    QTextFrameFormat frame = document->rootFrame()->frameFormat();
    frame.setTopMargin(lineHeight * 1.1);
    frame.setBottomMargin(lineHeight * 1.2);
    frame.setLeftMargin(lineHeight * 0.8);
    frame.setRightMargin(lineHeight * 0.8);
    document->rootFrame()->setFrameFormat(frame);
    static_cast<EdgeFades*>(m_fades)->setLook(edgeOf(m_background), qRound(lineHeight * 0.9));
    m_prefixWidth = 0;
    m_columns.clear();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        measure(block.text());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        styleBlock(block);
}

QFont Tfallprize::listFont(double factor) const {
    QFont font = StageScale::forHeight(qRound(StageScale::kDesignLines * m_scale)).font(memo1->font());
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, qRound(font.pixelSize() * factor)));
    else
        font.setPointSizeF(std::max(1.0, font.pointSizeF() * factor));
    return font;
}

bool Tfallprize::measure(const QString& line) {
    const AllWinners::LineKind kind = AllWinners::kindOf(line);
    if (!line.contains(QLatin1Char('\t')) || kind == AllWinners::LineKind::Heading)
        return false;
    const int prize = AllWinners::prizeLength(line);
    bool grew = false;
    const int prefix = QFontMetrics(listFont(0.7)).horizontalAdvance(line.left(prize));
    if (prefix > m_prefixWidth) {
        m_prefixWidth = prefix;
        grew = true;
    }
    const QFontMetrics metrics(listFont(1.0));
    const QStringList fields = line.mid(prize).split(QLatin1Char('\t'));
    for (qsizetype i = 0; i + 1 < fields.size(); ++i) {
        const int width = metrics.horizontalAdvance(fields[i]);
        if (i >= m_columns.size())
            m_columns.append(0);
        if (width > m_columns[i]) {
            m_columns[i] = width;
            grew = true;
        }
    }
    return grew;
}

void Tfallprize::styleBlock(const QTextBlock& block) {
    const QString line = block.text();
    const AllWinners::LineKind kind = AllWinners::kindOf(line);
    const auto sized = [this](double factor) { return listFont(factor); };
    const QFont base = sized(1.0);
    const int lineHeight = QFontMetrics(base).lineSpacing();

    QTextBlockFormat paragraph;
    paragraph.setAlignment(Qt::AlignHCenter);
    QTextCharFormat whole;
    whole.setFont(sized(1.0));
    whole.setForeground(m_fontColor);
    QColor soft = m_fontColor;
    soft.setAlphaF(0.7);
    switch (kind) {
    case AllWinners::LineKind::Heading:
        // Every draw opens with its prize as a heading on a band of its own.
        paragraph.setTopMargin(block.blockNumber() == 0 ? 0 : lineHeight * 0.7);
        paragraph.setBottomMargin(lineHeight * 0.25);
        paragraph.setBackground(QColor(0, 0, 0, 70));
        whole.setFont(sized(1.12));
        whole.setForeground(kAccent);
        break;
    case AllWinners::LineKind::Cancelled:
        whole.setFontStrikeOut(true);
        whole.setForeground(QColor(0xB8, 0xB0, 0xA8));
        break;
    default:
        break;
    }
    if (line.contains(QLatin1Char('\t')) && kind != AllWinners::LineKind::Heading) {
        // A line of fields: its columns line up with those of every other line, the whole set centred.
        const int gap = lineHeight;
        QList<QTextOption::Tab> tabs;
        int x = m_prefixWidth;
        for (const int column : std::as_const(m_columns)) {
            x += column + gap;
            tabs << QTextOption::Tab(x, QTextOption::LeftTab);
        }
        const QStringList fields = line.split(QLatin1Char('\t'));
        const int total = (tabs.isEmpty() ? m_prefixWidth : tabs.value(fields.size() - 2).position) +
                          QFontMetrics(base).horizontalAdvance(fields.last());
        const QTextFrameFormat frame = memo1->document()->rootFrame()->frameFormat();
        // The list's own width less its scroll bar: the viewport is placed only once the window shows.
        const double room = memo1->width() - px(10) - frame.leftMargin() - frame.rightMargin();
        paragraph.setAlignment(Qt::AlignLeft);
        paragraph.setLeftMargin(std::max(0.0, (room - total) / 2));
        paragraph.setTabPositions(tabs);
        // The prize before the name is right-aligned in its column.
        const int prizeWidth =
            QFontMetrics(sized(0.7)).horizontalAdvance(line.left(AllWinners::prizeLength(line)));
        paragraph.setTextIndent(m_prefixWidth - prizeWidth);
    }
    QTextCursor cursor(block);
    cursor.setBlockFormat(paragraph);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.setCharFormat(whole);
    // The prize before a name is already in the heading above it: said smaller, the name stands out.
    const int prize = AllWinners::prizeLength(line);
    if (prize > 0 && kind != AllWinners::LineKind::Cancelled) {
        QTextCharFormat prizeFormat = whole;
        prizeFormat.setFont(sized(0.7));
        prizeFormat.setForeground(soft);
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + prize, QTextCursor::KeepAnchor);
        cursor.setCharFormat(prizeFormat);
    }
    if (kind == AllWinners::LineKind::Supplementary) {
        QTextCharFormat mark = whole;
        mark.setFont(sized(0.7));
        mark.setForeground(kAccent);
        cursor.setPosition(block.position() + line.size() - WinnerLists::kSupplementaryMark.size());
        cursor.setPosition(block.position() + line.size(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(mark);
    }
    if (kind == AllWinners::LineKind::Heading) {
        // The date and time of the stop after the prize, quieter.
        static const QRegularExpression stamp(QStringLiteral(" \\d{4}-\\d{2}-\\d{2} \\S+$"));
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch()) {
            QTextCharFormat date = whole;
            date.setFont(sized(0.6));
            date.setForeground(soft);
            cursor.setPosition(block.position() + static_cast<int>(match.capturedStart()));
            cursor.setPosition(block.position() + line.size(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(date);
        }
    }
}

void Tfallprize::lineAppended(int index) {
    if (index == 0 || index != m_shownLines || index >= m_lists.all().size())
        return rebuild();
    // Appending must not carry the caret (and so the line cancel acts on) to the new line, nor move
    // the view. The caret is kept as numbers: the document moves every cursor object on insertion.
    const int anchor = memo1->textCursor().anchor();
    const int position = memo1->textCursor().position();
    const int scroll = memo1->verticalScrollBar()->value();
    QTextCursor end(memo1->document());
    end.movePosition(QTextCursor::End);
    end.insertBlock();
    end.insertText(shownLine(index));
    ++m_shownLines;
    if (measure(end.block().text()))
        styleAll();
    else
        styleBlock(end.block());
    if (memo1->textCursor().position() != position || memo1->textCursor().anchor() != anchor) {
        QTextCursor back(memo1->document());
        back.setPosition(anchor);
        back.setPosition(position, QTextCursor::KeepAnchor);
        memo1->setTextCursor(back);
        memo1->verticalScrollBar()->setValue(scroll);
    }
}

void Tfallprize::lineChanged(int index) {
    if (index < 0 || index >= m_shownLines || m_shownLines != m_lists.all().size())
        return rebuild();
    const QTextBlock block = memo1->document()->findBlockByNumber(index);
    if (!block.isValid())
        return rebuild();
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(shownLine(index));
    if (measure(block.text()))
        styleAll();
    else
        styleBlock(block);
}

// ---- Cancel and restore

void Tfallprize::N1Click() {
    // The session asks and marks; the panel's results of the same line follow.
    m_session.cancelLine(caretLine());
}

void Tfallprize::N11Click() {
    m_session.restoreLine(caretLine());
}

// ---- Find

void Tfallprize::N3Click() {
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void Tfallprize::FindDialog1Find(const QString& text, bool matchCase, bool wholeWord) {
    findNext(text, matchCase, wholeWord);
}

bool Tfallprize::findNext(const QString& text, bool matchCase, bool wholeWord) {
    if (text.isEmpty())
        return false;
    QTextDocument::FindFlags flags;
    flags.setFlag(QTextDocument::FindCaseSensitively, matchCase);
    flags.setFlag(QTextDocument::FindWholeWords, wholeWord);
    const QTextCursor found = memo1->document()->find(text, memo1->textCursor().selectionEnd(), flags);
    if (found.isNull()) {
        Dialogs::instance().message(Dialogs::Icon::Information, QString(), QStringLiteral("找不到相关字串!"));
        return false;
    }
    memo1->setTextCursor(found);
    memo1->setFocus();
    memo1->ensureCursorVisible();
    return true;
}

// ---- Export

void Tfallprize::N2Click() {
    if (m_results.exportToWinnersFile())
        FunctionUnit::information(QStringLiteral("已保存在：") + AppPaths::file(AppPaths::kWinners));
}

// ---- Colours and font

void Tfallprize::applyColors() {
    QPalette palette = memo1->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, m_fontColor);
    palette.setColor(QPalette::Highlight, kAccent);
    palette.setColor(QPalette::HighlightedText, edgeOf(m_background));
    memo1->setPalette(palette);
    // A slim gold bar on the list's deep edge colour, not a grey one beside it.
    memo1->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: %1; width: %2px; margin: 0; }"
                       "QScrollBar::handle:vertical { background: rgba(245,200,76,90); border-radius: %3px;"
                       " min-height: 40px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
            .arg(edgeOf(m_background).name())
            .arg(px(10))
            .arg(px(4)));
    // The window is on the projector: its boxes are the hall's too.
    StageBox::setTheme(this, m_background, m_fontColor);
    layoutStrip();
    styleAll();
}

void Tfallprize::N7Click() {
    const std::optional<QColor> chosen = Dialogs::instance().chooseColor(m_background);
    if (!chosen || !chosen->isValid())
        return;
    m_background = *chosen;
    applyColors();
    try {
        ConfigStore(prizeDb()).writeString(kSection, QStringLiteral("memocolor"),
                                           ColorText::colorToString(ColorText::fromQColor(m_background)));
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}

QFont Tfallprize::fontDialogPreset() const {
    // The dialog knows faces, not the list of fallbacks, and sizes in points: it opens on the face
    // the list is really drawn in, at the list's size and style.
    const QFont font = memo1->font();
    QFont preset = font;
    const QFontInfo drawn(font);
    preset.setFamily(drawn.family());
    // The face's own style name: the dialog would look for the translated "Bold" ("粗体") otherwise,
    // find no such style and open on the regular face.
    preset.setStyleName(drawn.styleName());
    if (font.pointSize() <= 0)
        preset.setPointSize(std::max(1, qRound(font.pixelSize() * 72.0 / std::max(1, memo1->logicalDpiY()))));
    return preset;
}

void Tfallprize::N8Click() {
    const QFont preset = fontDialogPreset();
    if (const std::optional<QFont> chosen = Dialogs::instance().chooseFont(preset)) {
        // OK without a change keeps the list exactly as it is.
        const bool changed =
            chosen->family() != preset.family() || chosen->pointSize() != preset.pointSize() ||
            chosen->bold() != preset.bold() || chosen->italic() != preset.italic() ||
            chosen->underline() != preset.underline() || chosen->strikeOut() != preset.strikeOut();
        if (changed) {
            memo1->setFont(withCjkFallbacks(*chosen, chosen->family()));
            styleAll();
        }
        // The font dialog has no colour: the list's font colour is asked for right after it.
        if (const std::optional<QColor> colour = Dialogs::instance().chooseColor(m_fontColor);
            colour && colour->isValid()) {
            m_fontColor = *colour;
            applyColors();
        }
    }
    storeFont();
}

void Tfallprize::storeFont() {
    const QFont font = memo1->font();
    const int points = font.pointSize() > 0
                           ? font.pointSize()
                           : qRound(font.pixelSize() * 72.0 / std::max(1, memo1->logicalDpiY()));
    try {
        ConfigStore(prizeDb()).writeStrings(
            kSection,
            {{QStringLiteral("fontcolor"), ColorText::colorToString(ColorText::fromQColor(m_fontColor))},
             {QStringLiteral("fontsize"), QString::number(points)},
             {QStringLiteral("fontname"), font.family()},
             {QStringLiteral("FontStyle"), ColorText::fontStyleToString(font)}});
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}
