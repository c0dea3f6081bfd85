#pragma once

#include <QFont>
#include <QSize>
#include <QStyledItemDelegate>

// How the winners panel draws a cell. Entries copied from a spreadsheet hold tabs, which read as two
// blanks; the current cell looks like every other (no focus frame on the projector); and a name is
// always shown whole on one line: a line too wide or too tall for its cell at the configured size is
// drawn just small enough to fit (the configured size is the largest), never wrapped or cut.
class WinnerCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The font at which text fits in one line of room: font itself when it fits, else the largest
    // smaller size (in steps of half a point, or of a pixel for a pixel-sized font) that does.
    static QFont fittingFont(const QFont& font, const QString& text, const QSize& room);
    // Pixels kept free between the names of neighbouring cells.
    inline static constexpr int kGap = 12;
    // The text a cell shows for its stored text.
    static QString shownText(QString text);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
