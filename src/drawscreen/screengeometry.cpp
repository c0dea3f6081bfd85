#include "screengeometry.h"

#include <algorithm>

ScreenGeometry ScreenGeometry::compute(int W, int H, int L, int A) {
    ScreenGeometry g;
    const int wide = W - A;
    g.title1 = QRect(L, kTitle1Top, wide, kTitle1Height);
    g.title2 = QRect(L, kTitle2Top, wide, kTitle2Height);
    g.bar = QRect(L, H - kBarHeight - kBarBottomGap, wide, kBarHeight);

    const int panelHeight = g.bar.top() - kTitle2Top - kTitle2Height - kLabel1Height;
    const int panelTop = g.bar.top() - panelHeight + 2;
    g.panel2 = QRect(L, panelTop, wide, panelHeight);
    g.closeButtonLeft = wide - 29;
    g.label1 = QRect(0, panelTop - kLabel1Height - 1, wide, kLabel1Height);
    g.panel1 = QRect((W - kPanel1Width) / 2, kPanel1Top, kPanel1Width, kPanel1Height);

    const int h = std::max(0, (panelHeight - 200) / 2);
    const int w = std::max(0, (wide - 300) / 4);
    const int bottomTop = g.bar.top() - h - 40;
    const int topTop = bottomTop - h - 30;
    int left = (wide - 4 * w - 90) / 2;
    for (int column = 0; column < 4; ++column) {
        g.pictures[column] = QRect(left, topTop, w, h);
        g.pictures[column + 4] = QRect(left, bottomTop, w, h);
        left += w + 30;
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
