#include "entrantpool.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<std::uint64_t> g_loads{0};
} // namespace

EntrantPool::EntrantPool() : m_text(QStringLiteral("listdata")), m_starts{0} {}

void EntrantPool::setText(QString text) {
    m_text = std::move(text);
    m_starts.clear();
    m_loaded = true;
    m_generation = ++g_loads;

    const qsizetype size = m_text.size();
    if (size == 0)
        return;
    const QChar* data = m_text.constData();
    m_starts.reserve(static_cast<std::size_t>(size / 8 + 1));
    m_starts.push_back(0);
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        if (c == u'\r' && i + 1 < size && data[i + 1].unicode() == u'\n')
            ++i;
        // A break at the very end starts no further line.
        if (i + 1 < size)
            m_starts.push_back(i + 1);
    }
    m_starts.shrink_to_fit();
}

QStringView EntrantPool::line(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_starts.size())
        return {};
    const std::size_t index = static_cast<std::size_t>(i);
    const qsizetype start = m_starts[index];
    qsizetype end = index + 1 < m_starts.size() ? m_starts[index + 1] : m_text.size();
    // A line's text never holds CR or LF, so whatever of them ends the span is its break.
    if (end > start && m_text.at(end - 1) == u'\n')
        --end;
    if (end > start && m_text.at(end - 1) == u'\r')
        --end;
    return QStringView(m_text).sliced(start, end - start);
}

int EntrantPool::lineAt(qsizetype pos) const {
    // No lines at all: line 0, which line() answers with an empty text.
    if (m_starts.empty())
        return 0;
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), pos);
    if (after == m_starts.begin())
        return 0;
    return static_cast<int>(after - m_starts.begin() - 1);
}

QStringView EntrantPool::trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.sliced(begin, end - begin);
}
