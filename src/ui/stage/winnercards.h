#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class LargeText;
class QPainter;

// The winners panel's cards: the winner's name large on one line, the rest of the entrant's fields
// smaller below it; a cancelled winner struck through and grey, a supplementary one marked "补抽".
// One size for every card of a draw: the largest at which each card's lines fit its cell.
namespace WinnerCards {

struct Card {
    QString name;    // the first field of the entrant's line
    QString details; // the other fields, " · " between them
    QString prize;   // a supplementary card's prize
    bool supplementary = false;
    bool cancelled = false;
    bool operator==(const Card&) const = default;
};

// The card of an entrant's line (as the draw recorded it: fields separated by tabs or blanks).
Card of(const QString& entrant, bool supplementary, bool cancelled, const QString& prize = {});

// The card's lines inside a cell of this size: the cell less its gap and padding.
QSize inner(const QSize& cell);
// The details' size for a name size.
int detailPixels(int namePixels);
// The largest name size (in pixels, at most largest, at least 6) at which every card fits room.
int fitNamePixels(const QList<Card>& cards, const QSize& room, const QFont& font, int largest);

struct Style {
    QColor panel;  // the panel's background
    QColor text;   // the names' colour
    QColor accent; // the cards' edges and marks
};

// Draws a card into cell. appear runs from 0 (not yet in) to 1 (in): a card coming in grows and
// brightens; a card at 0 is not drawn. large (may be null) draws glyphs above Qt's cache size.
void paint(QPainter& painter, const QRect& cell, const Card& card, const QFont& font, int namePixels,
           const Style& style, double appear, LargeText* large);

} // namespace WinnerCards
