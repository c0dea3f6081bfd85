#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>
#include <QStyledItemDelegate>

// How the winners panel draws a cell. Entries copied from a spreadsheet hold tabs, which read as two
// blanks; the current cell looks like every other (no focus frame on the projector); and a name is
// always shown whole on one line: a line too wide or too tall for its cell at the configured size is
// drawn just small enough to fit, never wrapped or cut. With few rows the names grow to fill their
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

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    // The size the panel's names grow to together (font itself when they may not grow).
    QFont grownFont(const QFont& font, const QAbstractItemModel& model, const QSize& room) const;

    struct Grown {
        QFont font;
        QSize room;
        QStringList texts;
        QFont grown;
    };
    mutable Grown m_grown;
};
