#include "largetext.h"

#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>

void LargeText::draw(QPainter& painter, const QPointF& origin, const QString& text, const QFont& font,
                     const QColor& colour) {
    for (const QGlyphRun& run : runs(text, font)) {
        const QRawFont raw = run.rawFont();
        const QString face = QStringLiteral("%1|%2|%3|%4|%5")
                                 .arg(raw.familyName(), raw.styleName())
                                 .arg(raw.pixelSize())
                                 .arg(raw.weight())
                                 .arg(colour.rgba());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            const Glyph* shape = glyph(run, face, indexes[i], colour);
            if (!shape || shape->image.isNull())
                continue;
            const QPointF at = origin + positions[i];
            painter.drawImage(QPoint(int(std::lround(at.x())), int(std::lround(at.y()))) + shape->offset,
                              shape->image);
        }
    }
}

void LargeText::clear() {
    m_runs.clear();
    m_glyphs.clear();
}

const QList<QGlyphRun>& LargeText::runs(const QString& text, const QFont& font) {
    const QString key = font.key() + QLatin1Char('\n') + text;
    if (const QList<QGlyphRun>* known = m_runs.object(key))
        return *known;
    // Shaped as Qt shapes a line (fallback faces for the Chinese characters included), with the
    // positions relative to the baseline's start.
    QTextLayout layout(text, font);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    auto* shaped = new QList<QGlyphRun>;
    if (line.isValid()) {
        *shaped = line.glyphRuns();
        const qreal ascent = line.ascent();
        for (QGlyphRun& run : *shaped) {
            QList<QPointF> positions = run.positions();
            for (QPointF& p : positions)
                p.ry() -= ascent;
            run.setPositions(positions);
        }
    }
    m_runs.insert(key, shaped);
    return *m_runs.object(key);
}

const LargeText::Glyph* LargeText::glyph(const QGlyphRun& run, const QString& face, quint32 index,
                                         const QColor& colour) {
    const QString key = face + QLatin1Char('#') + QString::number(index);
    if (const Glyph* known = m_glyphs.object(key))
        return known;
    auto* made = new Glyph;
    const QPainterPath path = run.rawFont().pathForGlyph(index);
    if (!path.isEmpty()) {
        // A pixel of room round the outline for the antialiased edge.
        const QRect box = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
        made->image = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        made->image.fill(Qt::transparent);
        made->offset = box.topLeft();
        QPainter painter(&made->image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-box.topLeft());
        painter.fillPath(path, colour);
    }
    const qsizetype cost = std::max<qsizetype>(1, made->image.sizeInBytes());
    m_glyphs.insert(key, made, cost);
    return m_glyphs.object(key);
}
