#pragma once

#include "entrantpool.h"

#include <QList>
#include <QStringView>
#include <cstdint>
#include <vector>

// The fields of an entrant line: its text split on tabs and blanks (the spreadsheet import joins
// the columns it takes with one blank), runs of them counting as one. "张三 A0013\t销售部" has the
// fields 张三, A0013 and 销售部.
namespace EntrantFields {

inline bool isSeparator(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

// Calls f(field) for each field of line, without allocating.
template <typename F> void forEachField(QStringView line, F&& f) {
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size) {
        while (i < size && isSeparator(line[i].unicode()))
            ++i;
        const qsizetype start = i;
        while (i < size && !isSeparator(line[i].unicode()))
            ++i;
        if (i > start)
            f(line.sliced(start, i - start));
    }
}

QList<QStringView> split(QStringView line);
// Whether two fields are the same: equal after folding A-Z to a-z and full-width forms (Ａ０１) to
// their ASCII letters and digits, which phone keyboards sometimes type.
bool same(QStringView a, QStringView b);
// A hash of a field that same() agrees with: fields that are the same hash alike.
std::uint64_t hash(QStringView field);

} // namespace EntrantFields

// An index from a field to the pool lines that hold exactly that field: "3" finds the line "3 王五",
// never "A0013". Built in one pass over the pool (a hash of each field beside its line, sorted), so a
// million entrants cost a few tens of megabytes and well under a second. The index keeps its own copy
// of the pool (the text is shared, not copied), so it stays valid when the program loads another list.
class EntrantFieldIndex {
public:
    void build(const EntrantPool& pool);
    const EntrantPool& pool() const { return m_pool; }

    // The lines (ascending) that hold field as one of their fields.
    std::vector<int> positionsOf(QStringView field) const;
    // The lines (ascending) that hold every field of query, in any order. A blank query finds nothing.
    std::vector<int> match(QStringView query) const;
    // Whether line i holds field as one of its fields.
    bool lineHolds(int i, QStringView field) const;

private:
    struct Entry {
        std::uint64_t hash;
        int position;
        bool operator<(const Entry& other) const {
            return hash != other.hash ? hash < other.hash : position < other.position;
        }
    };
    EntrantPool m_pool;
    std::vector<Entry> m_entries;
};
