#include "rollingdisplay.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QFontInfo>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
// The block of lines is centred for ten names, the number a tick shows.
constexpr int kRows = 10;
// Qt's raster engine hands a fill of more than about 96 rows to its thread pool; the band is filled in
// strips below that, since waking the threads ten times a tick costs more than the fill.
constexpr int kStrip = 64;
const QColor kText(255, 255, 0);
const QColor kEdge(0xD4, 0xA0, 0x17);

// The text box keeps the lines as its text but never draws them, so its document is not laid out.
class UnlaidDocument : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter*, const PaintContext&) override {}
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame*) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock&) const override { return {}; }

protected:
    void documentChanged(int, int, int) override {}
};
} // namespace

RollingDisplay::RollingDisplay(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentLayout(new UnlaidDocument(document()));
    // Every pixel is painted here: nothing beneath (the stage's background, the prize pictures) is
    // painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
}

void RollingDisplay::showLines(const QStringList& lines) {
    // The text box's own repaint would be the whole band: it is held back while the text changes,
    // and only the changed lines are repainted.
    QWidget* view = viewport();
    const bool held = view->testAttribute(Qt::WA_UpdatesDisabled);
    view->setAttribute(Qt::WA_UpdatesDisabled, true);
    setPlainText(lines.join(QLatin1Char('\n')));
    view->setAttribute(Qt::WA_UpdatesDisabled, held);

    const QList<Line> old = m_lines;
    m_lines.clear();
    for (int i = 0; i < lines.size(); ++i)
        m_lines.append(placed(i, lines.at(i)));
    for (qsizetype i = 0; i < std::max(old.size(), m_lines.size()); ++i) {
        const Line before = old.value(i);
        const Line now = m_lines.value(i);
        if (before.text != now.text || before.ink != now.ink)
            view->update(before.ink.united(now.ink));
    }
}

void RollingDisplay::setEdge(int pixels) {
    if (pixels == m_edge)
        return;
    m_edge = pixels;
    viewport()->update();
}

void RollingDisplay::setReservedTop(int pixels) {
    if (pixels == m_reservedTop)
        return;
    m_reservedTop = std::max(0, pixels);
    placeAll();
}

RollingDisplay::Line RollingDisplay::placed(int index, const QString& text) const {
    Line line{text, text, {}, {}};
    if (text.isEmpty())
        return line;
    const QFontMetricsF metrics(font());
    // A line wider than the stage's safe area (5% off each side) ends with "…": the name at its start
    // is never cut by the screen's edge.
    const double safe = viewport()->width() * 0.9;
    if (metrics.horizontalAdvance(text) > safe)
        line.text = metrics.elidedText(text, Qt::ElideRight, safe);
    const int spacing = int(std::ceil(metrics.lineSpacing()));
    const int rows = std::max(kRows, index + 1);
    const int room = viewport()->height() - m_reservedTop;
    const int top = m_reservedTop + std::max(0, (room - rows * spacing) / 2) + index * spacing;
    line.baseline = QPointF(std::round((viewport()->width() - metrics.horizontalAdvance(line.text)) / 2),
                            std::round(top + metrics.leading() / 2 + metrics.ascent()));
    // The ink, with a little room for the antialiased edges and bold strokes.
    const int bleed = 2 + int(metrics.height()) / 16;
    line.ink = metrics.boundingRect(line.text)
                   .translated(line.baseline)
                   .toAlignedRect()
                   .adjusted(-bleed, -bleed, bleed, bleed);
    return line;
}

void RollingDisplay::placeAll() {
    for (int i = 0; i < m_lines.size(); ++i)
        m_lines[i] = placed(i, m_lines[i].source);
    viewport()->update();
}

void RollingDisplay::paintEvent(QPaintEvent* event) {
    // The band's gradient runs from top to bottom only: Qt fills such a gradient a row at a time with
    // one colour, which is cheaper than copying a picture of it.
    const int height = viewport()->height();
    const int width = viewport()->width();
    QLinearGradient band(0, 0, 0, height);
    band.setColorAt(0, QColor(0xA5, 0x0D, 0x1B));
    band.setColorAt(0.5, QColor(0xE0, 0x20, 0x2E));
    band.setColorAt(1, QColor(0xA5, 0x0D, 0x1B));
    QPainter painter(viewport());
    for (const QRect& r : event->region())
        for (int y = r.top(); y <= r.bottom(); y += kStrip)
            painter.fillRect(QRect(r.left(), y, r.width(), std::min(kStrip, r.bottom() + 1 - y)), band);
    for (const QRect& edge : {QRect(0, 0, width, m_edge), QRect(0, height - m_edge, width, m_edge)})
        if (event->region().intersects(edge))
            painter.fillRect(edge, kEdge);

    painter.setPen(kText);
    painter.setFont(font());
    const bool large = QFontInfo(font()).pixelSize() > LargeText::kQtCachedPixels;
    for (const Line& line : m_lines) {
        if (!event->region().intersects(line.ink))
            continue;
        if (large)
            m_largeText.draw(painter, line.baseline, line.text, font(), kText);
        else
            painter.drawText(line.baseline, line.text);
    }
}

void RollingDisplay::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    placeAll();
}

void RollingDisplay::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_largeText.clear();
        placeAll();
    }
}
