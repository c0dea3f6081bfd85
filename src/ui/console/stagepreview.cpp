#include "stagepreview.h"

#include <QBackingStore>
#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace {
// After the stage asks for a repaint, the picture waits this long, so the repaint is in it.
constexpr int kSettle = 40;

QSize fitted(const QSize& stage, const QSize& box) {
    if (stage.isEmpty() || box.isEmpty())
        return {};
    return stage.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// The window's last painted pixels, when the window system keeps them in an image of ours.
const QImage* paintedImage(QWidget* stage) {
    QBackingStore* store = stage->backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    const auto* image = static_cast<const QImage*>(device);
    const QSize pixels = stage->size() * stage->devicePixelRatio();
    if (image->width() < pixels.width() || image->height() < pixels.height())
        return nullptr;
    return image;
}
} // namespace

StagePreview::StagePreview(QWidget* stage, QObject* parent) : QObject(parent), m_stage(stage) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StagePreview::takeNow);
    // Every repaint of the stage, of any of its controls, is asked of its window first.
    stage->installEventFilter(this);
}

void StagePreview::setSize(const QSize& pixels) {
    if (pixels == m_size)
        return;
    m_size = pixels;
    schedule();
}

void StagePreview::setActive(bool active) {
    m_active = active;
    if (active)
        schedule();
    else
        m_timer.stop();
}

bool StagePreview::canReadPainted(QWidget* stage) {
    return paintedImage(stage) != nullptr;
}

QImage StagePreview::take(QWidget* stage, const QSize& size, Source source) {
    const QSize target = fitted(stage->size(), size);
    if (target.isEmpty())
        return {};
    // The window's own image is read in place (a copy of it would be 33 MB at 4K); without one the
    // stage is drawn again at its full size (drawn small, the titles' shadows would lose the titles).
    const QImage* painted = source == Source::Painted ? paintedImage(stage) : nullptr;
    const QImage grabbed = painted ? QImage() : stage->grab().toImage();
    const QImage& from = painted ? *painted : grabbed;
    const QRect area(QPoint(0, 0), stage->size() * stage->devicePixelRatio());
    // Filtered in one step: four pixels of the stage read for each of the picture (2 ms at 4K, where
    // an area average of every pixel would take 7 ms and two filtered steps 11 ms).
    QImage picture(target, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture.rect(), from, area.intersected(from.rect()));
    return picture;
}

bool StagePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_stage) {
        switch (event->type()) {
        case QEvent::UpdateRequest:
        case QEvent::Show:
        case QEvent::Resize:
            schedule();
            break;
        default:
            break;
        }
    }
    return false;
}

void StagePreview::schedule() {
    if (!m_active || m_timer.isActive())
        return;
    const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : kInterval;
    m_timer.start(std::max<qint64>(kSettle, kInterval - since));
}

void StagePreview::takeNow() {
    if (!m_stage || !m_stage->isVisible() || m_size.isEmpty())
        return;
    const Source source = canReadPainted(m_stage) ? Source::Painted : Source::Rendered;
    m_frame = take(m_stage, m_size, source);
    m_sinceLast.restart();
    ++m_taken;
    Q_EMIT frameChanged();
}
