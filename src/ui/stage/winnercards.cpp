#include "winnercards.h"

#include "entrantfields.h"
#include "largetext.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace WinnerCards {
namespace {
// Of a cell: the gap between neighbouring cards (each side) and the padding inside a card, as shares
// of the cell's height (and at least a few pixels).
int gapOf(const QSize& cell) {
    return std::max(3, std::min(cell.height(), cell.width()) / 16);
}
int paddingOf(const QSize& cell) {
    return std::max(2, std::min(cell.height(), cell.width()) / 14);
}
// The card inside its cell: the cell less the gap, no taller than it is wide and no wider than
// three times its height, centred.
QRectF cardBox(const QRectF& cell) {
    const double gap = gapOf(cell.size().toSize());
    QRectF box = cell.adjusted(gap, gap, -gap, -gap);
    const QPointF centre = box.center();
    box.setHeight(std::min(box.height(), box.width() * 0.8));
    box.setWidth(std::min(box.width(), box.height() * 3.0));
    box.moveCenter(centre);
    return box;
}

const QString kSupplementaryBadge = QStringLiteral("补抽");

QFont sized(const QFont& font, int pixels) {
    QFont f = font;
    f.setPixelSize(std::max(1, pixels));
    return f;
}

// The text of the details line (a supplementary card names its prize first).
QString detailsLine(const Card& card) {
    if (!card.supplementary)
        return card.details;
    QString line = kSupplementaryBadge;
    if (!card.prize.isEmpty())
        line += QStringLiteral(" · ") + card.prize;
    if (!card.details.isEmpty())
        line += QStringLiteral(" · ") + card.details;
    return line;
}

bool fits(const QList<Card>& cards, const QSize& room, const QFont& font, int pixels) {
    const QFontMetricsF name(sized(font, pixels));
    const QFontMetricsF details(sized(font, detailPixels(pixels)));
    for (const Card& card : cards) {
        const QString second = detailsLine(card);
        const double height = name.height() + (second.isEmpty() ? 0 : details.height());
        if (height > room.height() || name.horizontalAdvance(card.name) > room.width())
            return false;
        if (!second.isEmpty() && details.horizontalAdvance(second) > room.width())
            return false;
    }
    return true;
}

void drawLine(QPainter& painter, const QPointF& baseline, const QString& text, const QFont& font,
              const QColor& colour, LargeText* large) {
    if (large && font.pixelSize() > LargeText::kQtCachedPixels) {
        large->draw(painter, baseline, text, font, colour);
        return;
    }
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(baseline, text);
}
} // namespace

Card of(const QString& entrant, bool supplementary, bool cancelled, const QString& prize) {
    Card card;
    const QList<QStringView> fields = EntrantFields::split(entrant);
    if (!fields.isEmpty())
        card.name = fields.first().toString();
    QStringList rest;
    for (qsizetype i = 1; i < fields.size(); ++i)
        rest << fields.at(i).toString();
    card.details = rest.join(QStringLiteral(" · "));
    card.prize = prize;
    card.supplementary = supplementary;
    card.cancelled = cancelled;
    return card;
}

QSize inner(const QSize& cell) {
    const QSizeF box = cardBox(QRectF(QPointF(0, 0), QSizeF(cell))).size();
    const int padding = paddingOf(box.toSize());
    return {std::max(0, int(box.width()) - 2 * padding), std::max(0, int(box.height()) - 2 * padding)};
}

int detailPixels(int namePixels) {
    return std::max(1, int(std::lround(namePixels * 0.48)));
}

int fitNamePixels(const QList<Card>& cards, const QSize& room, const QFont& font, int largest) {
    constexpr int smallest = 6;
    if (cards.isEmpty() || room.isEmpty())
        return std::max(smallest, largest);
    int low = smallest;
    int high = std::max(smallest, largest);
    if (fits(cards, room, font, high))
        return high;
    // Fits at low (or nothing fits, and the smallest size is taken); the largest size that fits.
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        (fits(cards, room, font, middle) ? low : high) = middle;
    }
    return low;
}

void paint(QPainter& painter, const QRect& cell, const Card& card, const QFont& font, int namePixels,
           const Style& style, double appear, LargeText* large) {
    if (appear <= 0.0 || cell.isEmpty())
        return;
    appear = std::min(1.0, appear);
    QRectF box = cardBox(QRectF(cell));
    // Coming in, the card grows from 85% of its size.
    if (appear < 1.0) {
        const double scale = 0.85 + 0.15 * appear;
        const QPointF centre = box.center();
        box.setSize(box.size() * scale);
        box.moveCenter(centre);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * std::clamp(appear * 1.4, 0.0, 1.0));
    const double radius = std::min(box.height(), box.width()) * 0.08;
    QColor top = card.cancelled ? QColor(0x70, 0x70, 0x70) : style.panel.lighter(135);
    QColor bottom = card.cancelled ? QColor(0x50, 0x50, 0x50) : style.panel.darker(115);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, fill);
    // A card coming in is edged brighter.
    QColor edge = card.cancelled ? QColor(0x9A, 0x9A, 0x9A) : style.accent;
    if (appear < 1.0)
        edge = edge.lighter(100 + int(60 * (1.0 - appear)));
    const double edgeWidth = std::clamp(std::min(box.height(), box.width()) / 60.0, 1.0, 6.0);
    painter.setPen(QPen(edge, edgeWidth));
    painter.drawPath(shape);

    const QColor ink = card.cancelled ? QColor(0xC8, 0xC8, 0xC8) : style.text;
    const QColor softInk = card.cancelled ? QColor(0xB0, 0xB0, 0xB0) : QColor(0xFF, 0xF4, 0xD6);
    const QFont nameFont = sized(font, namePixels);
    const QFont detailFont = sized(font, detailPixels(namePixels));
    const QFontMetricsF name(nameFont);
    const QFontMetricsF details(detailFont);
    const QString second = detailsLine(card);
    const double height = name.height() + (second.isEmpty() ? 0 : details.height());
    double y = box.center().y() - height / 2;
    const QPointF nameBase(std::round(box.center().x() - name.horizontalAdvance(card.name) / 2),
                           std::round(y + name.ascent()));
    drawLine(painter, nameBase, card.name, nameFont, ink, large);
    if (card.cancelled) {
        // Struck through: a line across the name at half its x-height.
        const double strikeY = nameBase.y() - name.xHeight() * 0.6;
        painter.setPen(QPen(QColor(0xE8, 0xE8, 0xE8), std::max(1.0, name.height() / 14)));
        painter.drawLine(
            QPointF(nameBase.x() - name.height() * 0.1, strikeY),
            QPointF(nameBase.x() + name.horizontalAdvance(card.name) + name.height() * 0.1, strikeY));
    }
    y += name.height();
    if (!second.isEmpty()) {
        const QPointF detailBase(std::round(box.center().x() - details.horizontalAdvance(second) / 2),
                                 std::round(y + details.ascent()));
        drawLine(painter, detailBase, second, detailFont,
                 card.supplementary ? style.accent.lighter(130) : softInk, large);
    }
    painter.restore();
}

} // namespace WinnerCards
