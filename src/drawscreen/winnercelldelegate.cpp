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

QFont WinnerCellDelegate::fittingFont(const QFont& font, const QString& text, const QSize& room) {
    if (text.isEmpty() || room.width() <= 0 || room.height() <= 0 || fits(font, text, room))
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
    // Text width grows about in proportion to the size: start just under the proportional size and
    // step down from there, so only a few sizes are measured.
    if (size - step < smallest)
        return sized(smallest);
    const QFontMetricsF metrics(font);
    const double ratio = std::min(room.width() / std::max(1.0, metrics.horizontalAdvance(text)),
                                  room.height() / std::max(1.0, metrics.height()));
    double s = std::floor(size * ratio / step) * step;
    s = std::clamp(s, smallest, size - step);
    // The proportional guess may undershoot a little (hinting): take the largest size that fits.
    while (s + step < size && fits(sized(s + step), text, room))
        s += step;
    while (s > smallest && !fits(sized(s), text, room))
        s -= step;
    return sized(s);
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
    option->font = fittingFont(option->font, option->text, room);
}
