#include "winnercelldelegate.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <memory>

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

WinnerCards::Card WinnerCellDelegate::cardOf(const QModelIndex& index) {
    const QVariant entrant = index.data(EntrantRole);
    if (!entrant.isValid())
        return WinnerCards::of(index.data().toString(), false, false);
    return WinnerCards::of(entrant.toString(), index.data(SupplementaryRole).toBool(),
                           index.data(CancelledRole).toBool(), index.data(PrizeRole).toString());
}

int WinnerCellDelegate::namePixels(const QModelIndex& anyIndex, const QRect& cell) const {
    const QAbstractItemModel& model = *anyIndex.model();
    const QWidget* view = qobject_cast<const QWidget*>(parent());
    const QFont font = view ? view->font() : QApplication::font();
    QList<WinnerCards::Card> cards;
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            if (const QModelIndex index = model.index(r, c); !index.data().toString().isEmpty())
                cards << cardOf(index);
    if (m_fitted.font == font && m_fitted.cell == cell.size() && m_fitted.cards == cards)
        return m_fitted.pixels;
    // The configured size is meant for a full panel; with few rows the names may grow (one grand-prize
    // winner fills the panel), and all of them shrink together when one does not fit.
    const int configured = QFontInfo(font).pixelSize();
    const int largest = int(configured * growthFor(model.rowCount()));
    const int pixels = WinnerCards::fitNamePixels(cards, WinnerCards::inner(cell.size()), font, largest);
    m_fitted = {font, cell.size(), cards, pixels};
    return pixels;
}

void WinnerCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = shownText(option->text);
    option->state &= ~QStyle::State_HasFocus;
    option->features &= ~QStyleOptionViewItem::WrapText;
    option->textElideMode = Qt::ElideNone;
    // The name's size on its card.
    option->font.setPixelSize(namePixels(index, option->rect));
}

void WinnerCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    if (index.data().toString().isEmpty())
        return;
    const int position = index.row() * index.model()->columnCount() + index.column();
    const double appear = appearance(position);
    const QWidget* view = qobject_cast<const QWidget*>(parent());
    const QFont font = view ? view->font() : option.font;
    const WinnerCards::Card card = cardOf(index);
    const int pixels = namePixels(index, option.rect);
    if (appear < 1.0) { // coming in: drawn as it grows
        WinnerCards::paint(*painter, option.rect, card, font, pixels, m_style, appear, &m_largeText);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QString key = QStringList{card.name,
                                    card.details,
                                    card.prize,
                                    QString::number(card.supplementary * 2 + card.cancelled),
                                    QString::number(option.rect.width()),
                                    QString::number(option.rect.height()),
                                    QString::number(pixels),
                                    QString::number(ratio),
                                    font.key(),
                                    m_style.panel.name(),
                                    m_style.text.name(),
                                    m_style.accent.name()}
                            .join(QChar(0x1F));
    QPixmap* picture = m_pictures.object(key);
    if (!picture) {
        auto made = std::make_unique<QPixmap>(option.rect.size() * ratio);
        made->setDevicePixelRatio(ratio);
        made->fill(Qt::transparent);
        {
            QPainter onPicture(made.get());
            WinnerCards::paint(onPicture, QRect(QPoint(0, 0), option.rect.size()), card, font, pixels,
                               m_style, 1.0, &m_largeText);
        }
        const int cost = std::max(1, int(qint64(made->width()) * made->height() * 4 / 1024));
        picture = made.get();
        if (!m_pictures.insert(key, made.release(), cost)) { // larger than the whole budget
            WinnerCards::paint(*painter, option.rect, card, font, pixels, m_style, 1.0, &m_largeText);
            return;
        }
    }
    painter->drawPixmap(option.rect.topLeft(), *picture);
}
