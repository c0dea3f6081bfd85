#include "screengeometry.h"

#include <algorithm>

ScreenGeometry ScreenGeometry::compute(int W, int H, int L, int A, const StageScale& scale) {
    ScreenGeometry g;
    g.scale = scale;
    const auto px = [&scale](int design) { return scale.px(design); };
    const int wide = W - A;
    g.title1 = QRect(L, px(kTitle1Top), wide, px(kTitle1Height));
    g.title2 = QRect(L, px(kTitle2Top), wide, px(kTitle2Height));
    g.bar = QRect(L, H - px(kBarHeight) - px(kBarBottomGap), wide, px(kBarHeight));

    const int labelHeight = px(kLabel1Height);
    const int panelHeight = g.bar.top() - g.title2.top() - g.title2.height() - labelHeight;
    const int panelTop = g.bar.top() - panelHeight + px(2);
    g.panel2 = QRect(L, panelTop, wide, panelHeight);
    g.closeButtonLeft = wide - px(29);
    g.label1 = QRect(0, panelTop - labelHeight - px(1), wide, labelHeight);
    const int panel1Width = px(kPanel1Width);
    g.panel1 = QRect((W - panel1Width) / 2, px(kPanel1Top), panel1Width, px(kPanel1Height));

    const int h = std::max(0, (panelHeight - px(200)) / 2);
    const int w = std::max(0, (wide - px(300)) / 4);
    const int bottomTop = g.bar.top() - h - px(40);
    const int topTop = bottomTop - h - px(30);
    int left = (wide - 4 * w - px(90)) / 2;
    for (int column = 0; column < 4; ++column) {
        g.pictures[column] = QRect(left, topTop, w, h);
        g.pictures[column + 4] = QRect(left, bottomTop, w, h);
        left += w + px(30);
    }
    return g;
}

int pickDrawScreen(const QStringList& names, const QString& chosen, const QString& last, int primary) {
    for (const QString& wanted : {chosen, last}) {
        const int found = wanted.isEmpty() ? -1 : int(names.indexOf(wanted));
        if (found >= 0)
            return found;
    }
    return primary;
}
