#include "winnercelldelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace {
bool fits(const QFont& font, const QString& text, const QSize& room) {
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height();
}
} // namespace

QFont WinnerCellDelegate::fittingFont(const QFont& font, const QString& text, const QSize& room,
                                      double growth) {
    if (text.isEmpty() || room.width() <= 0 || room.height() <= 0)
        return font;
    const bool pixels = font.pixelSize() > 0;
    const double size = pixels ? font.pixelSize() : font.pointSizeF();
    const double step = pixels ? 1.0 : 0.5;
    constexpr double smallest = 1.0;
    const auto sized = [&](double s) {
        QFont f = font;
        if (pixels)
            f.setPixelSize(std::max(1, int(s)));
        else
            f.setPointSizeF(s);
        return f;
    };
    // Text width grows about in proportion to the size: start at the proportional size and step from
    // there, so only a few sizes are measured.
    const auto proportional = [&](const QSize& box) {
        const QFontMetricsF metrics(font);
        const double ratio = std::min(box.width() / std::max(1.0, metrics.horizontalAdvance(text)),
                                      box.height() / std::max(1.0, metrics.height()));
        return std::floor(size * ratio / step) * step;
    };
    if (fits(font, text, room)) {
        // Room to spare: grow (up to the allowed growth) while the line fits kFill of the cell's width
        // and height, which leaves a margin round the grown name.
        const QSize fill(int(room.width() * kFill), int(room.height() * kFill));
        const double largest = std::floor(size * growth / step) * step;
        if (largest <= size || !fits(font, text, fill))
            return font;
        double s = std::clamp(proportional(fill), size, largest);
        while (s > size && !fits(sized(s), text, fill))
            s -= step;
        while (s + step <= largest && fits(sized(s + step), text, fill))
            s += step;
        return s > size ? sized(s) : font;
    }
    if (size - step < smallest)
        return sized(smallest);
    double s = std::clamp(proportional(room), smallest, size - step);
    // The proportional guess may undershoot a little (hinting): take the largest size that fits.
    while (s + step < size && fits(sized(s + step), text, room))
        s += step;
    while (s > smallest && !fits(sized(s), text, room))
        s -= step;
    return sized(s);
}

double WinnerCellDelegate::growthFor(int rows) {
    if (rows <= 0 || rows >= kFullRows)
        return 1.0;
    const double share = double(kFullRows) / rows;
    return share * share;
}

QString WinnerCellDelegate::shownText(QString text) {
    return text.replace(QLatin1Char('\t'), QStringLiteral("  "));
}

void WinnerCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = shownText(option->text);
    option->state &= ~QStyle::State_HasFocus;
    option->features &= ~QStyleOptionViewItem::WrapText;
    option->textElideMode = Qt::ElideNone;
    // The style leaves a margin on either side of a cell's text; a few pixels more keep neighbouring
    // names apart on the screen.
    const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1;
    const QSize room(option->rect.width() - 2 * margin - kGap, option->rect.height());
    const QFont grown = grownFont(option->font, *index.model(), room);
    // A name too long even at the configured size shrinks on its own.
    option->font = fits(grown, option->text, room) ? grown : fittingFont(option->font, option->text, room);
}

QFont WinnerCellDelegate::grownFont(const QFont& font, const QAbstractItemModel& model,
                                    const QSize& room) const {
    const double growth = growthFor(model.rowCount());
    if (growth <= 1.0)
        return font;
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            if (const QString text = shownText(model.index(r, c).data().toString()); !text.isEmpty())
                texts << text;
    if (m_grown.font == font && m_grown.room == room && m_grown.texts == texts)
        return m_grown.grown;
    // The smallest of the sizes each name could grow to alone; names that do not fit even at the
    // configured size are left out (they shrink on their own).
    QFont grown;
    double grownSize = -1;
    for (const QString& text : texts) {
        const QFont f = fittingFont(font, text, room, growth);
        const double size = f.pixelSize() > 0 ? f.pixelSize() : f.pointSizeF();
        const double configured = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
        if (size >= configured && (grownSize < 0 || size < grownSize)) {
            grown = f;
            grownSize = size;
        }
    }
    m_grown = {font, room, texts, grownSize < 0 ? font : grown};
    return m_grown.grown;
}
