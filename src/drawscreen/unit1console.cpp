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
    Panel1->setVisible(!on && m_supplementaryOpen);
    Label3->setText(on ? kPanelTitleOnStage : kPanelTitle);
    if (!on && btn_prize->isEnabled())
        btn_prize->setFocus();
}

void TForm1::serveKeys(QWidget* window) {
    m_presenter->serve(window, [] { return true; });
}

void TForm1::choosePrize(int position) {
    if (!ComboBox1->isEnabled() || position < 0 || position >= ComboBox1->count())
        return;
    selectPosition(position);
    ComboBox1Change();
}

int TForm1::supplementaryPosition() const {
    return ComboBox2->currentIndex();
}

void TForm1::chooseSupplementaryPrize(int position) {
    if (position < 0 || position >= ComboBox2->count())
        return;
    ComboBox2->setCurrentIndex(position);
    ComboBox2Change();
}

bool TForm1::selectCell(int cell, const QString& text) {
    const int columns = std::max(1, Grid1->columnCount());
    const int row = cell / columns;
    const int column = cell % columns;
    const QTableWidgetItem* item = cell >= 0 ? Grid1->item(row, column) : nullptr;
    if (!item || item->text() != text)
        return false;
    Grid1->setCurrentCell(row, column);
    return true;
}

bool TForm1::cancelWinner(int cell, const QString& text) {
    if (!selectCell(cell, text))
        return false;
    N13Click();
    return true;
}

bool TForm1::restoreWinner(int cell, const QString& text) {
    if (!selectCell(cell, text))
        return false;
    N21Click();
    return true;
}
