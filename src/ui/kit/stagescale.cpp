#include "stagescale.h"

#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {
const char* const kDesignGeometry = "stageDesignGeometry";
const char* const kDesignFont = "stageDesignFont";
} // namespace

StageScale StageScale::forHeight(int lines) {
    StageScale scale;
    if (lines > 0)
        scale.m_factor = double(lines) / kDesignLines;
    return scale;
}

int StageScale::px(int design) const {
    return int(std::lround(design * m_factor));
}

QRect StageScale::rect(const QRect& design) const {
    return QRect(px(design.x()), px(design.y()), px(design.width()), px(design.height()));
}

QFont StageScale::font(const QFont& design) const {
    QFont scaled = design;
    if (design.pixelSize() > 0)
        scaled.setPixelSize(std::max(1, px(design.pixelSize())));
    else if (design.pointSizeF() > 0)
        scaled.setPointSizeF(std::max(1.0, design.pointSizeF() * m_factor));
    return scaled;
}

void StageScale::place(QWidget* widget, const QRect& design) const {
    widget->setProperty(kDesignGeometry, design);
    widget->setGeometry(rect(design));
}

void StageScale::setFont(QWidget* widget, const QFont& design) const {
    widget->setProperty(kDesignFont, design);
    widget->setFont(font(design));
}

void StageScale::apply(QWidget* root) const {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        const QVariant geometry = widget->property(kDesignGeometry);
        if (geometry.isValid())
            widget->setGeometry(rect(geometry.toRect()));
        const QVariant design = widget->property(kDesignFont);
        if (design.isValid())
            widget->setFont(font(design.value<QFont>()));
    }
}

QFont StageScale::designFont(const QWidget* widget) {
    const QVariant design = widget->property(kDesignFont);
    return design.isValid() ? design.value<QFont>() : widget->font();
}
