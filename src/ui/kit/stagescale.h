#pragma once

#include <QFont>
#include <QRect>

class QWidget;

// The stage is designed for a screen of 1080 lines: every length of the layout and every font size
// (the fixed ones and those configured in prize.db) is meant for that height and taken times
// height / 1080 on the screen the stage is on. At 1080 lines the factor is exactly 1 and every value
// stays as designed; at 720 lines it is 2/3, at 2160 lines 2.
//
// Heights are Qt's device-independent pixels. Qt's own high-DPI scaling (a desktop scale of 200%, or
// QT_SCALE_FACTOR) already makes a 3840 x 2160 screen 1920 x 1080 logical pixels drawn at twice the
// density: the factor is then 1, so nothing is scaled twice. A 4K screen without a desktop scale is
// 2160 logical lines and gets the factor 2.
class StageScale {
public:
    static constexpr int kDesignLines = 1080;

    StageScale() = default;
    // The scale for a stage of this many lines (a non-positive height counts as the design).
    static StageScale forHeight(int lines);

    double factor() const { return m_factor; }
    // A design length at this scale (rounded; exact at the design height).
    int px(int design) const;
    QRect rect(const QRect& design) const;
    // A design font at this scale, in the unit it was given in (pixels or points), never below 1.
    QFont font(const QFont& design) const;

    // Controls placed by design values: the design geometry and font are kept on the control and
    // applied at this scale, and apply() places them again at another scale, as often as the stage
    // is laid out.
    void place(QWidget* widget, const QRect& design) const;
    void setFont(QWidget* widget, const QFont& design) const;
    // Places root and every control beneath it that has design values.
    void apply(QWidget* root) const;
    // The font the control was designed with, else the one it has.
    static QFont designFont(const QWidget* widget);

private:
    double m_factor = 1.0;
};
