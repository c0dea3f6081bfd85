#pragma once

#include "presenterkeys.h"

#include <QWidget>

// The black or white screen a presenter puts over the stage (as slide software does): fills its
// parent, above every other child, and a click on it asks for the stage back.
class StageCover : public QWidget {
    Q_OBJECT
public:
    explicit StageCover(QWidget* stage);
    void showCover(PresenterKeys::Cover cover);

Q_SIGNALS:
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
};
