#pragma once

class DrawSession;
class QMenu;
class QWidget;
class WinnerLists;

// What the operator's console needs of the stage it runs beside: the draw session it drives, the
// lists it shows, the stage's window (its screen, its painted picture, its menu's commands) and the
// stage's console mode. The console reads nothing else of the stage.
class ConsoleHost {
public:
    virtual ~ConsoleHost() = default;

    virtual QWidget* stageWindow() = 0;
    virtual DrawSession& session() = 0;
    virtual WinnerLists& winnerLists() = 0;
    // Every command of the stage (its right-click menu).
    virtual QMenu* stageMenu() const = 0;
    // While the console is open the stage shows only what the audience sees.
    virtual void setConsoleMode(bool on) = 0;
    virtual bool consoleMode() const = 0;
    // The presenter's keys act in this window too, Space and Enter as the draw toggle.
    virtual void serveKeys(QWidget* window) = 0;
};
