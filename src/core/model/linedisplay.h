#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

class ConfigStore;

// What the hall sees of an entrant line. Each field position of the list (the first field, the
// second, ...: the columns the spreadsheet import joined) is shown (显示), partly hidden (部分隐藏:
// 139****5678) or left out (隐藏) on the stage: the rolling lines, the winner cards, the name wall, the
// questions over the stage and the all-winners window. A position nobody chose is automatic: a
// mobile number (11 digits, 1 first) or an ID number (17 digits and a digit or X) is partly hidden
// wherever it stands, everything else is shown, and a line of one field (a plain list of names) stays
// as written.
//
// Only what is drawn for the hall changes: the files, the exports, the operator's console and every
// comparison of lines (who has won, cancel and restore, the rules, the pre-set winners) keep the
// whole line.
//
// Kept in prize.db, a section of its own (a prize.db without it: every position automatic):
//   [HallView]
//   Fields=,,2,1      one choice per field position, the first field first: 0 显示, 1 部分隐藏,
//                     2 隐藏, empty for automatic
class LineDisplay {
public:
    enum class Choice { Show = 0, Partial = 1, Hide = 2 };
    inline static const QString kSection = QStringLiteral("HallView");
    inline static const QString kFieldsKey = QStringLiteral("Fields");
    // Positions beyond this are automatic (the spreadsheet import reads at most 256 columns; nobody
    // chooses for more than a few).
    static constexpr int kMaxPositions = 64;

    // What the hall sees of an entrant line: its fields as chosen, the blanks and tabs between the
    // fields that stay as they were. A line with nothing to hide comes back as it is.
    QString hallText(const QString& line) const;
    // The hall's text of a line that names an entrant inside other text (a line of the all-winners
    // list, a winners panel cell): the entrant's first occurrence after `from` is replaced by what the
    // hall sees of it.
    QString hallTextWithin(const QString& text, const QString& entrant, qsizetype from = 0) const;

    // The organiser's choice for a field position (0 is the first field); none: automatic.
    std::optional<Choice> chosen(int position) const;
    void choose(int position, std::optional<Choice> choice);
    // What a window's choice for a position keeps: 显示 where 显示 was suggested and nothing chosen
    // before stays automatic (a stray mobile number in that column is still partly hidden); any
    // other choice is the organiser's.
    void chooseShown(int position, Choice shown, Choice suggested);
    // One past the last position that carries a choice (0 when every position is automatic).
    int positions() const { return int(m_choices.size()); }
    bool isAutomatic() const { return m_choices.isEmpty(); }

    // What happens to one field at a position of a line of `fields` fields.
    Choice choiceFor(int position, QStringView field, int fields) const;

    static bool isMobile(QStringView field);
    static bool isIdNumber(QStringView field);
    // A field partly hidden: a mobile number as 139****5678, an ID number with its eight middle
    // digits hidden (110105********1234), any other text with its first and last characters kept
    // (韦*玉, 张*).
    static QString partlyHidden(QStringView field);
    // What a column of these values is best shown as: 部分隐藏 when most of its values are mobile or
    // ID numbers, else 显示.
    static Choice suggestedFor(const QList<QStringView>& values);
    // The choices as the settings show them, in the order of the enum.
    static QStringList choiceNames();

    static LineDisplay read(const ConfigStore& store);
    // Writes the section in one write (throws OperationError "Unable to write to …").
    void write(ConfigStore& store) const;

    bool operator==(const LineDisplay&) const = default;

private:
    QList<int> m_choices; // per position: a Choice, or -1 for automatic; no -1 at the end
};
