#pragma once

#include <QCache>
#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

class QPainter;

// Draws text larger than Qt's own glyph cache takes. Qt keeps rendered glyphs up to 64 pixels and fills
// every larger glyph as a path at every paint, which at ten names a tick on a 4K screen costs more than
// everything else together. Here each glyph is filled once into an image and copied from there: the
// same path, the same look, once.
class LargeText {
public:
    // Qt's own glyph cache takes glyphs up to this pixel size; larger text should come here.
    static constexpr int kQtCachedPixels = 64;

    // Draws a line of text whose baseline starts at origin.
    void draw(QPainter& painter, const QPointF& origin, const QString& text, const QFont& font,
              const QColor& colour);
    // Forgets every glyph (the font or the colour changed for good).
    void clear();

private:
    struct Glyph {
        QImage image;
        QPoint offset; // of the image's top left from the glyph's origin
    };
    const QList<QGlyphRun>& runs(const QString& text, const QFont& font);
    const Glyph* glyph(const QGlyphRun& run, const QString& face, quint32 index, const QColor& colour);

    // Shaped lines (the same names come round again), and glyph images within a budget of bytes.
    QCache<QString, QList<QGlyphRun>> m_runs{4096};
    QCache<QString, Glyph> m_glyphs{64 * 1024 * 1024};
};
