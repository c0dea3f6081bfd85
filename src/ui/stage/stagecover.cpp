#include "stagecover.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

StageCover::StageCover(QWidget* stage) : QWidget(stage) {
    setObjectName(QStringLiteral("stageCover"));
    // Opaque: nothing beneath it is painted while it is up, names rolling included.
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
    stage->installEventFilter(this);
}

void StageCover::showCover(PresenterKeys::Cover cover) {
    if (cover == PresenterKeys::Cover::None) {
        hide();
        return;
    }
    m_colour = cover == PresenterKeys::Cover::Black ? Qt::black : Qt::white;
    setGeometry(parentWidget()->rect());
    show();
    raise();
    update();
}

bool StageCover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void StageCover::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
    else
        QWidget::mousePressEvent(event);
}

void StageCover::paintEvent(QPaintEvent* event) {
    QPainter(this).fillRect(event->rect(), m_colour);
}
