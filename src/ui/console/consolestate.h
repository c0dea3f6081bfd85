#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DrawSession;
class WinnerLists;

// What the operator's console shows of the draw, taken from the draw session in one go, so that the
// console changes a control only when what it shows has changed.
struct ConsoleState {
    // A result of the latest draw, in the session's order.
    struct Winner {
        QString text; // as the panel shows it, cancel marks included
        QString name; // the entrant
        bool cancelled = false;
        bool supplementary = false;
        bool operator==(const Winner&) const = default;
    };
    enum class Roll { None, Main, Supplementary };

    QStringList prizes;
    int position = -1;
    bool automatic = false;
    // The current prize's progress text and counts (0 / 0 without a prize).
    QString progress;
    int drawn = 0;
    int quantity = 0;
    Roll rolling = Roll::None;
    bool supplementaryOpen = false;
    int supplementaryPosition = -1;
    QList<Winner> winners;

    bool operator==(const ConsoleState&) const = default;

    static ConsoleState of(const DrawSession& session, const WinnerLists& lists);
    // The caption of the console's draw button and of its supplementary start / stop.
    QString drawCaption() const;
    QString supplementaryCaption() const;
};

// The screen the console goes on: never the stage's, the primary screen when the stage is elsewhere,
// else the first other one. -1 when the stage's screen is the only one.
int pickConsoleScreen(int screens, int stageScreen, int primaryScreen);
