#include "prizebanner.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
QFont bannerFont(const QWidget& widget, double share, bool bold) {
    QFont font = widget.font();
    font.setPixelSize(std::max(6, int(std::lround(widget.height() * share))));
    font.setBold(bold);
    return font;
}

// Text fitted to a width: the font shrinks (never below half its size) and then the text is elided.
QString fitted(QFont& font, const QString& text, double width) {
    const int full = font.pixelSize();
    while (font.pixelSize() > std::max(6, full / 2) && QFontMetricsF(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
}
} // namespace

PrizeBanner::PrizeBanner(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

QString PrizeBanner::countsText(int thisRound, int drawn, int quantity) {
    // A prize with nobody left to draw has no round to speak of.
    const QString counts = QStringLiteral("已抽 %1 / %2").arg(drawn).arg(quantity);
    return thisRound > 0 ? QStringLiteral("本轮 %1 位 · ").arg(thisRound) + counts : counts;
}

void PrizeBanner::setColors(const QColor& text, const QColor& accent) {
    if (text == m_text && accent == m_accent)
        return;
    m_text = text;
    m_accent = accent;
    m_drawn = QPixmap();
    update();
}

void PrizeBanner::setContent(const Content& content) {
    if (content == m_content)
        return;
    const bool pictureChanged = content.picture != m_content.picture;
    m_content = content;
    if (pictureChanged)
        loadPicture();
    m_drawn = QPixmap();
    update();
}

void PrizeBanner::loadPicture() {
    m_picture = QPixmap();
    if (m_content.picture.isEmpty() || !QFileInfo::exists(m_content.picture) || height() <= 0)
        return;
    // Decoded at the band's size: a large photograph costs its full size once, not at every paint.
    QImageReader reader(m_content.picture);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const int side = std::max(1, height() - height() / 6);
    if (full.isValid() && full.height() > 0)
        reader.setScaledSize(full.scaled(side * 4, side, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (!image.isNull())
        m_picture = QPixmap::fromImage(image);
}

void PrizeBanner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    loadPicture();
    m_drawn = QPixmap();
}

void PrizeBanner::paintEvent(QPaintEvent* event) {
    if (m_content.prize.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    if (m_drawn.isNull() || m_drawn.size() != size() * ratio) {
        m_drawn = QPixmap(size() * ratio);
        m_drawn.setDevicePixelRatio(ratio);
        m_drawn.fill(Qt::transparent);
        QPainter onPicture(&m_drawn);
        render(onPicture);
    }
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawPixmap(QRectF(r), m_drawn,
                           QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
}

void PrizeBanner::render(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF band = rect();
    // A dark glass band with gold lines above and below.
    QLinearGradient glass(band.topLeft(), band.bottomLeft());
    glass.setColorAt(0, QColor(30, 0, 4, 150));
    glass.setColorAt(0.5, QColor(60, 4, 10, 170));
    glass.setColorAt(1, QColor(30, 0, 4, 150));
    painter.fillRect(band, glass);
    const double line = std::max(1.0, height() / 60.0);
    const QColor accent = m_content.grand ? m_accent.lighter(125) : m_accent;
    painter.fillRect(QRectF(0, 0, width(), line), accent);
    painter.fillRect(QRectF(0, height() - line, width(), line), accent);

    // The group (picture, name, goods and counts) is centred across the band.
    QFont caption = bannerFont(*this, 0.24, false);
    QFont name = bannerFont(*this, 0.58, true);
    QFont detail = bannerFont(*this, 0.27, false);
    const double gap = height() * 0.28;
    const QString goods = m_content.goods;
    const QString counts = m_content.counts;
    const double room = width() * 0.9;
    const double pictureWidth = m_picture.isNull() ? 0 : m_picture.width() + gap;
    // A notice in the tag ("该奖项已抽完，已切换到 二等奖") is longer than "即将抽取".
    const QString captionText = fitted(caption, m_content.caption, room * 0.4);
    const QString nameText = fitted(name, m_content.prize, room * 0.45);
    const double detailRoom = room - pictureWidth - QFontMetricsF(name).horizontalAdvance(nameText) - gap;
    const QString goodsText = fitted(detail, goods, std::max(10.0, detailRoom));
    const QFontMetricsF nameMetrics(name), detailMetrics(detail), captionMetrics(caption);
    const double detailWidth =
        std::max(detailMetrics.horizontalAdvance(goodsText), detailMetrics.horizontalAdvance(counts));
    const double captionWidth =
        captionText.isEmpty() ? 0 : captionMetrics.horizontalAdvance(captionText) + gap;
    const double total = captionWidth + pictureWidth + nameMetrics.horizontalAdvance(nameText) +
                         (detailWidth > 0 ? gap + detailWidth : 0);
    double x = std::max(width() * 0.05, (width() - total) / 2);
    const double middle = height() / 2.0;

    if (!captionText.isEmpty()) {
        // "即将抽取" in a gold-edged tag.
        const QRectF tag(x, middle - captionMetrics.height() * 0.8, captionWidth - gap,
                         captionMetrics.height() * 1.6);
        painter.setPen(QPen(accent, line));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(tag.adjusted(-gap * 0.25, 0, gap * 0.25, 0), tag.height() / 4,
                                tag.height() / 4);
        painter.setFont(caption);
        painter.setPen(QColor(0xFF, 0xF4, 0xD6));
        painter.drawText(QPointF(x, middle + captionMetrics.ascent() / 2 - captionMetrics.descent() / 2),
                         captionText);
        x += captionWidth;
    }
    if (!m_picture.isNull()) {
        const QRectF target(x, (height() - m_picture.height()) / 2.0, m_picture.width(), m_picture.height());
        QPainterPath clip;
        clip.addRoundedRect(target, height() * 0.06, height() * 0.06);
        painter.save();
        painter.setClipPath(clip);
        painter.drawPixmap(target.topLeft(), m_picture);
        painter.restore();
        painter.setPen(QPen(accent, line));
        painter.drawPath(clip);
        x += pictureWidth;
    }
    painter.setFont(name);
    painter.setPen(m_text);
    painter.drawText(QPointF(x, middle + nameMetrics.ascent() / 2 - nameMetrics.descent() / 2), nameText);
    x += nameMetrics.horizontalAdvance(nameText) + gap;
    if (detailWidth > 0) {
        painter.setFont(detail);
        painter.setPen(QColor(0xFF, 0xF4, 0xD6));
        const bool both = !goodsText.isEmpty() && !counts.isEmpty();
        const double first =
            both ? middle - detailMetrics.height() * 0.1 : middle + detailMetrics.ascent() / 2;
        if (!goodsText.isEmpty())
            painter.drawText(QPointF(x, first - (both ? detailMetrics.descent() : 0)), goodsText);
        if (!counts.isEmpty()) {
            painter.setPen(accent.lighter(130));
            painter.drawText(QPointF(x, both ? middle + detailMetrics.ascent() : first), counts);
        }
    }
}
