#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class ConfigStore;
class QGridLayout;
class QLabel;
class QPushButton;
class QWidget;

// What the settings pages of one row per prize ("抽奖范围", "舞台效果") have in common: their help
// text above, the grid of prizes, and a note beside their own save button at the bottom.
namespace PrizePage {

// The page's help, wrapped and in grey.
QLabel* help(QWidget* page, const QString& text);

// Lays the page out: help, grid, then note beside a "保存设置" button named saveName
// that runs save when clicked. The button is returned.
QPushButton* layOut(QWidget* page, QLabel* help, QGridLayout* grid, QWidget* note, const QString& saveName,
                    std::function<void()> save);

// The prizes' names in prize.db, one for each of slots prizes (empty where none is set).
QStringList names(const ConfigStore& store, int slots);

// Whether each of slots prizes is offered for drawing (a quantity above 0 in prize.db).
QList<bool> offered(const ConfigStore& store, int slots);

// How a prize is called in the row of slot: its name, or "奖项n" when it has none.
QString label(const QStringList& names, int slot);

} // namespace PrizePage
