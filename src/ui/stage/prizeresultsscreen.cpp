#include "prizeresultsscreen.h"

#include "headerstrip.h"
#include "winnerlists.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
QFont screenFont(int pixels) {
    QFont font = withCjkFallbacks(QFont(), QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(std::max(1, pixels));
    return font;
}

// The grid for n cards in room: the number of columns whose cards come out largest (cards about
// 2.4 times as wide as tall).
int columnsFor(int n, const QSize& room) {
    int best = 1;
    double bestSize = 0;
    for (int columns = 1; columns <= std::max(1, n); ++columns) {
        const int rows = (n + columns - 1) / columns;
        const double width = double(room.width()) / columns;
        const double height = double(room.height()) / std::max(1, rows);
        const double size = std::min(width, height * 2.4);
        if (size > bestSize) {
            bestSize = size;
            best = columns;
        }
    }
    return best;
}
} // namespace

PrizeResultsScreen::Content PrizeResultsScreen::of(const WinnerLists& lists, const QString& prize,
                                                   const QString& goods,
                                                   const std::function<QString(const QString&)>& hallText) {
    Content content;
    content.prize = prize;
    content.goods = goods;
    QDate day;
    const QStringList& all = lists.all();
    for (int i = 0; i < all.size(); ++i) {
        const QString& line = all.at(i);
        if (WinnerLists::isHeaderLine(line)) {
            if (WinnerLists::headerPrize(line) == prize)
                day = QDateTime::fromString(WinnerLists::headerTime(line),
                                            QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                          .date();
            continue;
        }
        const QString name = lists.nameAt(i);
        if (name.trimmed().isEmpty() || lists.prizeAt(i) != prize ||
            line.contains(WinnerLists::kCancelSuffix))
            continue;
        const bool supplementary = WinnerLists::restoreLine(line).endsWith(WinnerLists::kSupplementaryMark);
        content.cards << WinnerCards::of(hallText ? hallText(name) : name, supplementary, false);
    }
    if (!day.isValid())
        day = QDate::currentDate();
    content.date = QStringLiteral("%1年%2月%3日").arg(day.year()).arg(day.month()).arg(day.day());
    return content;
}

PrizeResultsScreen::PrizeResultsScreen(QWidget* stage) : QWidget(stage) {
    setObjectName(QStringLiteral("prizeResults"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

PrizeResultsScreen::~PrizeResultsScreen() {
    qApp->removeEventFilter(this);
}

void PrizeResultsScreen::present(const Content& content, const WinnerCards::Style& style) {
    m_content = content;
    m_style = style;
    m_large.clear();
    m_closingKey = 0;
    setGeometry(parentWidget()->rect());
    raise();
    show();
    qApp->removeEventFilter(this);
    qApp->installEventFilter(this);
    update();
}

void PrizeResultsScreen::dismiss() {
    if (!isVisible())
        return;
    hide();
    if (!m_closingKey)
        qApp->removeEventFilter(this);
    Q_EMIT dismissed();
}

bool PrizeResultsScreen::eventFilter(QObject* watched, QEvent* event) {
    Q_UNUSED(watched);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (!isVisible())
            return false;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->isAutoRepeat())
                return true;
            m_closingKey = key->key();
            dismiss();
        }
        return true;
    case QEvent::KeyRelease:
        // The release of the key that ended the screen goes nowhere either.
        if (m_closingKey && static_cast<QKeyEvent*>(event)->key() == m_closingKey) {
            if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
                m_closingKey = 0;
                if (!isVisible())
                    qApp->removeEventFilter(this);
            }
            return true;
        }
        return isVisible();
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!isVisible())
            return false;
        dismiss();
        return true;
    case QEvent::MouseButtonRelease:
        return isVisible();
    default:
        return false;
    }
}

void PrizeResultsScreen::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect all = rect();
    const int h = all.height();
    const int w = all.width();

    // The stage's panel colour, deepened towards the edges; a gold frame inside the edge.
    QLinearGradient back(all.topLeft(), all.bottomLeft());
    back.setColorAt(0, m_style.panel.darker(220));
    back.setColorAt(0.5, m_style.panel.darker(140));
    back.setColorAt(1, m_style.panel.darker(240));
    painter.fillRect(all, back);
    const int edge = std::max(2, h / 270);
    painter.setPen(QPen(m_style.accent, edge));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(all).adjusted(h * 0.02, h * 0.02, -h * 0.02, -h * 0.02), h * 0.02,
                            h * 0.02);

    // The prize large, then its goods and the date.
    const QFont title = screenFont(h / 11);
    const QRect titleBox(0, int(h * 0.05), w, h / 8);
    m_large.draw(painter,
                 QPointF((w - QFontMetricsF(title).horizontalAdvance(m_content.prize)) / 2,
                         titleBox.top() + QFontMetricsF(title).ascent()),
                 m_content.prize, title, m_style.text);
    QString subtitle = m_content.goods.trimmed();
    const QString count = QStringLiteral("%1 位").arg(m_content.cards.size());
    subtitle = subtitle.isEmpty()
                   ? count + QStringLiteral(" · ") + m_content.date
                   : subtitle + QStringLiteral(" · ") + count + QStringLiteral(" · ") + m_content.date;
    painter.setFont(screenFont(h / 28));
    painter.setPen(m_style.accent);
    const QRect subtitleBox(0, titleBox.bottom() + h / 80, w, h / 18);
    painter.drawText(subtitleBox, Qt::AlignCenter, subtitle);
    // A rule under the heading.
    const int ruleY = subtitleBox.bottom() + h / 60;
    QLinearGradient rule(QPointF(w * 0.2, 0), QPointF(w * 0.8, 0));
    rule.setColorAt(0, Qt::transparent);
    rule.setColorAt(0.5, m_style.accent);
    rule.setColorAt(1, Qt::transparent);
    painter.fillRect(QRectF(w * 0.2, ruleY, w * 0.6, std::max(1, h / 400)), rule);

    // The winners' cards, as large as the room lets them be, in rows centred on the stage.
    const QRect room(int(w * 0.05), ruleY + h / 40, int(w * 0.9), int(h * 0.93) - ruleY - h / 40);
    const int n = static_cast<int>(m_content.cards.size());
    if (n == 0 || room.height() <= 0)
        return;
    const int columns = columnsFor(n, room.size());
    const int rows = (n + columns - 1) / columns;
    const int cellHeight = std::min(room.height() / rows, room.height() / 2);
    const int cellWidth = std::min(room.width() / columns, int(cellHeight * 2.4));
    const QSize cell(cellWidth, cellHeight);
    const QFont font = screenFont(cellHeight / 3);
    const int pixels =
        WinnerCards::fitNamePixels(m_content.cards, WinnerCards::inner(cell), font, cellHeight / 2);
    const int top = room.top() + (room.height() - rows * cellHeight) / 2;
    for (int i = 0; i < n; ++i) {
        const int row = i / columns;
        const int inRow = row == rows - 1 ? n - row * columns : columns;
        const int left = room.left() + (room.width() - inRow * cellWidth) / 2;
        const QRect box(left + (i % columns) * cellWidth, top + row * cellHeight, cellWidth, cellHeight);
        WinnerCards::paint(painter, box, m_content.cards.at(i), font, pixels, m_style, 1.0, &m_large);
    }
}
