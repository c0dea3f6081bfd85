// The draw screen as the operator's console drives it: the stage without its controls, and the
// entry points the console's controls call (the same handlers as the stage's own controls).
#include "unit1.h"

#include "presenterkeyfilter.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

namespace {
const QString kPanelTitle = QStringLiteral("本次中奖(上下滚动查看，表格里右键操作)");
// Nothing on the stage is operated while the console is open, so the panel's title says no more.
const QString kPanelTitleOnStage = QStringLiteral("本次中奖");
} // namespace

void TForm1::setConsoleMode(bool on) {
    m_consoleMode = on;
    consoleItem->setChecked(on);
    PopupMenu1->hide();
    PopupMenu2->hide();
    RzPanel1->setVisible(!on);
    sb_close->setVisible(!on);
    showSupplementary();
    Label3->setText(on ? kPanelTitleOnStage : kPanelTitle);
    if (!on)
        focusDrawButton();
}

void TForm1::serveKeys(QWidget* window) {
    m_presenter->serve(window, [] { return true; });
}

void TForm1::choosePrize(int position) {
    m_session.choosePrize(position);
}

void TForm1::chooseSupplementaryPrize(int position) {
    m_session.chooseSupplementaryPrize(position);
}
