#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class ConfigStore;

// Who may win one prize. The words are compared with whole fields of an entrant's line (the line split
// on tabs and blanks, as the spreadsheet import joins its columns), never with a part of one: "3"
// never matches "A0013", "销售" never matches "销售部". Letters A-Z and full-width forms fold, as
// check-in's matching does.
struct PrizeRule {
    // "只限": when any are given, only entrants with a field equal to one of them.
    QStringList only;
    // "排除": entrants with a field equal to one of them are left out (a department, a name, ...).
    QStringList except;
    // "已中奖者可参与": with repeats off, winners of other prizes may still win this one (a winner of
    // this prize itself may not).
    bool winnersMay = false;

    // Whether the words narrow down who can be drawn.
    bool restricts() const { return !only.isEmpty() || !except.isEmpty(); }
    bool isEmpty() const { return !restricts() && !winnersMay; }
    // Whether an entrant line passes the words.
    bool admits(QStringView line) const;
    // One text for the words, to tell rules apart (the tick plays no part).
    QString wordsKey() const;

    // The words of a typed text: separated by blanks, tabs, commas, semicolons or "、" (half- or
    // full-width), each once, in the order typed.
    static QStringList words(QStringView text);
    // The words as they are shown and stored: separated by one blank.
    static QString join(const QStringList& words) { return words.join(QLatin1Char(' ')); }

    bool operator==(const PrizeRule&) const = default;
};

// A rule's words made ready for many lines: each field is looked up by its hash, so a long "排除"
// list of names costs no more per line than a short one.
class RuleMatcher {
public:
    explicit RuleMatcher(const PrizeRule& rule);
    bool admits(QStringView line) const;

private:
    struct Words {
        std::vector<std::pair<std::uint64_t, QString>> byHash; // sorted by hash
        bool holdsAny(QStringView line) const;
    };
    Words m_only;
    Words m_except;
};

// The rules of the eight prize slots, kept in prize.db's section [Rules] (GBK like the rest):
//   Only<n>, Except<n>   the words, separated by one blank
//   WinnersMay<n>        1 when earlier winners may take part
// n is the prize row 1..8 (slot n-1). A prize.db without the section has no rule at all.
class PrizeRules {
public:
    static constexpr int kSlots = 8;
    inline static const QString kSection = QStringLiteral("Rules");
    // prize.db reads back at most this many bytes of a value.
    static constexpr int kMaxValueBytes = 2047;

    std::array<PrizeRule, kSlots> slots;

    static PrizeRules read(const ConfigStore& store);
    // Writes the whole section in one write. Throws OperationError when prize.db cannot be written.
    void write(ConfigStore& store) const;
    // The rule of a slot (an empty rule for -1 or a slot out of range).
    const PrizeRule& at(int slot) const;
    // The first value too long to be read back whole: its slot and "只限" or "排除"; nothing when all fit.
    std::optional<std::pair<int, QString>> tooLong() const;
    bool operator==(const PrizeRules&) const = default;
};
