#include "headerstrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

// Outside any namespace, as the resource system wants it.
static void initBuiltInPictures() {
    Q_INIT_RESOURCE(resources);
}

void registerBuiltInPictures() {
    static const bool registered = (initBuiltInPictures(), true);
    Q_UNUSED(registered);
}

QFont withCjkFallbacks(QFont font, const QString& family) {
    font.setFamilies({family, QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("SimHei")});
    return font;
}

HeaderStrip::HeaderStrip(QWidget* parent, bool showCaption, bool dragsWindow)
    : QWidget(parent), m_showCaption(showCaption), m_dragsWindow(dragsWindow) {
    registerBuiltInPictures();
    m_band = QPixmap(QStringLiteral(":/header.png"));
}

void HeaderStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), m_band);
    if (!m_showCaption)
        return;
    painter.setPen(QColor(0xFF, 0xF3, 0xD0));
    QFont caption = font();
    caption.setBold(true);
    painter.setFont(caption);
    painter.drawText(rect().adjusted(10, 0, -32, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     window()->windowTitle());
}

void HeaderStrip::mousePressEvent(QMouseEvent* event) {
    if (!m_dragsWindow || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (QWindow* handle = window()->windowHandle(); handle && handle->startSystemMove())
        return;
    // The platform cannot move the window for us: follow the mouse ourselves.
    m_dragging = true;
    m_offset = event->globalPosition().toPoint() - window()->pos();
}

void HeaderStrip::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_offset);
}

void HeaderStrip::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}
