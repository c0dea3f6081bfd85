#pragma once

#include <QCache>
#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

#include "largetext.h"
#include "winnercards.h"

// How the winners panel draws a cell: as a card (see WinnerCards), the winner's name large on one line
// and the other fields below, every card of a draw at one size: the largest at which all of them fit,
// up to the configured size grown as below.
//
// The older rule for a line of text, which the card's size follows: Entries copied from a spreadsheet hold
// tabs, which read as two blanks; the current cell looks like every other (no focus frame on the projector);
// and a name is always shown whole on one line: a line too wide or too tall for its cell at the configured
// size is drawn just small enough to fit, never wrapped or cut. With few rows the names grow to fill their
// cells: the configured size is meant for a full panel (five rows or more, such as thirty winners in
// six columns), and names may grow up to (5 / rows)² times it, so one grand-prize winner fills the
// panel. The names of one panel grow to one size, the largest at which every one of them fits, so a
// short name never stands out beside a long one.
class WinnerCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The font at which text fits in one line of room: font itself when it fits and may not grow
    // (growth 1), else the largest size up to growth times the font's (in steps of half a point, or of a
    // pixel for a pixel-sized font) whose line fits the room, within kFill of the room's width and
    // height when grown.
    static QFont fittingFont(const QFont& font, const QString& text, const QSize& room, double growth = 1.0);
    // How much a name may grow in a grid of this many rows.
    static double growthFor(int rows);
    inline static constexpr int kFullRows = 5;
    inline static constexpr double kFill = 0.8;
    // Pixels kept free between the names of neighbouring cells.
    inline static constexpr int kGap = 12;
    // The text a cell shows for its stored text.
    static QString shownText(QString text);

    // What an item holds beside its text (set by the stage's fill): whether it is a supplementary or a
    // cancelled result, the entrant's line and a supplementary result's prize.
    enum Role { SupplementaryRole = Qt::UserRole + 1, CancelledRole, EntrantRole, PrizeRole };
    // The card of an item (from its roles, else from its text).
    static WinnerCards::Card cardOf(const QModelIndex& index);

    void setStyle(const WinnerCards::Style& style) { m_style = style; }
    // How far each card has come in (0 not yet, 1 in), for a reveal card by card; all in without.
    void setAppearance(std::function<double(int index)> appear) { m_appear = std::move(appear); }
    double appearance(int index) const { return m_appear ? m_appear(index) : 1.0; }
    // The size (pixels) the names of the panel are drawn at.
    int namePixels(const QModelIndex& anyIndex, const QRect& cell) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    WinnerCards::Style m_style{QColor(0xA5, 0x0D, 0x1B), QColor(255, 255, 0), QColor(0xD4, 0xA0, 0x17)};
    std::function<double(int)> m_appear;
    struct Fitted {
        QFont font;
        QSize cell;
        QList<WinnerCards::Card> cards;
        int pixels = 0;
    };
    mutable Fitted m_fitted;
    mutable LargeText m_largeText;
    // Each card drawn once into a picture and copied from there: confetti falling over the cards
    // repaints them in many small pieces, and a copy costs a piece's pixels, not the card's path.
    mutable QCache<QString, QPixmap> m_pictures{96 * 1024}; // in KiB
};
