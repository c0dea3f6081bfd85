#include "entrantfields.h"

#include <algorithm>

namespace {
char16_t folded(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII forms
        c = static_cast<char16_t>(c - 0xFF01 + 0x21);
    if (c >= u'A' && c <= u'Z')
        c = static_cast<char16_t>(c - u'A' + u'a');
    return c;
}
} // namespace

namespace EntrantFields {

QList<QStringView> split(QStringView line) {
    QList<QStringView> fields;
    forEachField(line, [&](QStringView field) { fields.append(field); });
    return fields;
}

// FNV-1a over the folded UTF-16 units.
std::uint64_t hash(QStringView field) {
    std::uint64_t value = 14695981039346656037ull;
    for (QChar c : field) {
        value ^= folded(c.unicode());
        value *= 1099511628211ull;
    }
    return value;
}

bool same(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (folded(a[i].unicode()) != folded(b[i].unicode()))
            return false;
    return true;
}

} // namespace EntrantFields

using EntrantFields::forEachField;

void EntrantFieldIndex::build(const EntrantPool& pool) {
    m_pool = pool;
    m_entries.clear();
    const int lines = m_pool.count();
    m_entries.reserve(static_cast<std::size_t>(lines) * 2);
    for (int i = 0; i < lines; ++i) {
        // Trimming drops the control characters a line may end with (a stray CR or a form feed).
        forEachField(EntrantPool::trimmed(m_pool.line(i)), [&](QStringView field) {
            m_entries.push_back({EntrantFields::hash(field), i});
        });
    }
    std::sort(m_entries.begin(), m_entries.end());
    // A line that holds a field twice is found once.
    m_entries.erase(std::unique(m_entries.begin(), m_entries.end(),
                                [](const Entry& a, const Entry& b) {
                                    return a.hash == b.hash && a.position == b.position;
                                }),
                    m_entries.end());
}

bool EntrantFieldIndex::lineHolds(int i, QStringView field) const {
    bool found = false;
    forEachField(EntrantPool::trimmed(m_pool.line(i)),
                 [&](QStringView candidate) { found = found || EntrantFields::same(candidate, field); });
    return found;
}

std::vector<int> EntrantFieldIndex::positionsOf(QStringView field) const {
    std::vector<int> positions;
    const std::uint64_t hash = EntrantFields::hash(field);
    auto it = std::lower_bound(m_entries.begin(), m_entries.end(), Entry{hash, -1});
    // Equal hashes of different fields are told apart by the line's own text.
    for (; it != m_entries.end() && it->hash == hash; ++it)
        if (lineHolds(it->position, field))
            positions.push_back(it->position);
    return positions;
}

std::vector<int> EntrantFieldIndex::match(QStringView query) const {
    const QList<QStringView> fields = EntrantFields::split(query);
    if (fields.isEmpty())
        return {};
    std::vector<int> positions = positionsOf(fields.first());
    for (qsizetype f = 1; f < fields.size() && !positions.empty(); ++f)
        std::erase_if(positions, [&](int i) { return !lineHolds(i, fields.at(f)); });
    return positions;
}
