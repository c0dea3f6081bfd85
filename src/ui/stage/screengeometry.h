#pragma once

#include "stagescale.h"

#include <QRect>
#include <QStringList>
#include <array>

// Where every element of the draw screen goes, computed from the window's size and the stage's scale
// (the design values below are for a screen of 1080 lines; see StageScale).
struct ScreenGeometry {
    static constexpr int kTitle1Top = 0;
    static constexpr int kTitle1Height = 79;
    static constexpr int kTitle2Top = 80;
    static constexpr int kTitle2Height = 82;
    static constexpr int kLabel1Height = 33;
    static constexpr int kBarHeight = 61;
    static constexpr int kBarBottomGap = 48;
    static constexpr int kPanel1Width = 720;
    static constexpr int kPanel1Height = 82;
    static constexpr int kPanel1Top = 80;

    QRect title1;
    QRect title2;
    QRect bar;               // the control bar RzPanel1
    QRect panel2;            // the winners panel; the rolling display Memo3 takes the same rectangle
    QRect label1;            // the announcement line
    int closeButtonLeft = 0; // sb_close inside the winners panel
    QRect panel1;            // the supplementary panel
    std::array<QRect, 8> pictures;
    StageScale scale; // what the lengths were taken times

    // W, H: the window's outer size; left: the window's own Left on the screen; allowance: the edge
    // allowance (3 for the borderless screen, 8 for a framed window). Every division truncates.
    // Picture sizes are clamped at zero for windows too small to hold them. The design lengths are
    // taken at the scale; the allowance is the window frame's and is not scaled.
    static ScreenGeometry compute(int width, int height, int left, int allowance,
                                  const StageScale& scale = {});
};

// Which screen the draw screen opens on, among the screens' names in the platform's order: the chosen
// screen (Setting/Screen) when it is there, else the screen the window was last on (Setting/LastScreen),
// else the primary one. An empty name matches nothing.
int pickDrawScreen(const QStringList& names, const QString& chosen, const QString& last, int primary);
