#include "codepage.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#else
#include <QFile>
#include <QStringEncoder>
#endif

namespace CodePage {

#ifdef Q_OS_WIN

// Windows' own GB18030 (code page 54936) is missing on some systems (Wine) and follows GB18030-2000
// where Linux's converter follows GB18030-2005, so the converter is built here from code page 936
// (GBK), which every Windows has:
//  - two bytes: code page 936's table, with the codes GB18030 gives real characters where GBK has
//    private-use ones (kTwoByteFixes);
//  - four bytes, in the basic plane: the standard's rule, in code point order every character from
//    U+0080 on (no surrogate) that has no two-byte code of GB18030-2000 gets the next four-byte code
//    from 81 30 81 30 on. GB18030-2005 then swapped U+1E3F (now A8BC) and U+E7C7;
//  - four bytes beyond the basic plane: U+10000 on, from 90 30 81 30 on.
namespace {

struct TwoByteFix {
    quint16 code;
    char16_t unit;
};
constexpr TwoByteFix kTwoByteFixes[] = {
    {0xA2E3, 0x20AC}, {0xA8BC, 0x1E3F}, {0xA8BF, 0x01F9}, {0xA989, 0x303E}, {0xA98A, 0x2FF0},
    {0xA98B, 0x2FF1}, {0xA98C, 0x2FF2}, {0xA98D, 0x2FF3}, {0xA98E, 0x2FF4}, {0xA98F, 0x2FF5},
    {0xA990, 0x2FF6}, {0xA991, 0x2FF7}, {0xA992, 0x2FF8}, {0xA993, 0x2FF9}, {0xA994, 0x2FFA},
    {0xA995, 0x2FFB}, {0xFE50, 0x2E81}, {0xFE54, 0x2E84}, {0xFE55, 0x3473}, {0xFE56, 0x3447},
    {0xFE57, 0x2E88}, {0xFE58, 0x2E8B}, {0xFE5A, 0x359E}, {0xFE5B, 0x361A}, {0xFE5C, 0x360E},
    {0xFE5D, 0x2E8C}, {0xFE5E, 0x2E97}, {0xFE5F, 0x396E}, {0xFE60, 0x3918}, {0xFE62, 0x39CF},
    {0xFE63, 0x39DF}, {0xFE64, 0x3A73}, {0xFE65, 0x39D0}, {0xFE68, 0x3B4E}, {0xFE69, 0x3C6E},
    {0xFE6A, 0x3CE0}, {0xFE6B, 0x2EA7}, {0xFE6E, 0x2EAA}, {0xFE6F, 0x4056}, {0xFE70, 0x415F},
    {0xFE71, 0x2EAE}, {0xFE72, 0x4337}, {0xFE73, 0x2EB3}, {0xFE74, 0x2EB6}, {0xFE75, 0x2EB7},
    {0xFE77, 0x43B1}, {0xFE78, 0x43AC}, {0xFE79, 0x2EBB}, {0xFE7A, 0x43DD}, {0xFE7B, 0x44D6},
    {0xFE7C, 0x4661}, {0xFE7D, 0x464C}, {0xFE80, 0x4723}, {0xFE81, 0x4729}, {0xFE82, 0x477C},
    {0xFE83, 0x478D}, {0xFE84, 0x2ECA}, {0xFE85, 0x4947}, {0xFE86, 0x497A}, {0xFE87, 0x497D},
    {0xFE88, 0x4982}, {0xFE89, 0x4983}, {0xFE8A, 0x4985}, {0xFE8B, 0x4986}, {0xFE8C, 0x499F},
    {0xFE8D, 0x499B}, {0xFE8E, 0x49B7}, {0xFE8F, 0x49B6}, {0xFE92, 0x4CA3}, {0xFE93, 0x4C9F},
    {0xFE94, 0x4CA0}, {0xFE95, 0x4CA1}, {0xFE96, 0x4C77}, {0xFE97, 0x4CA2}, {0xFE98, 0x4D13},
    {0xFE99, 0x4D14}, {0xFE9A, 0x4D15}, {0xFE9B, 0x4D16}, {0xFE9C, 0x4D17}, {0xFE9D, 0x4D18},
    {0xFE9E, 0x4D19}, {0xFE9F, 0x4DAE}};

constexpr char16_t kSwappedIn2005 = 0x1E3F;     // A8BC in GB18030-2005, four bytes in 2000
constexpr char16_t kSwappedOut2005 = 0xE7C7;    // A8BC in GB18030-2000, four bytes in 2005
constexpr quint32 kBasicPlaneCodes = 39420;     // four-byte codes 81308130 to 8431A439
constexpr quint32 kSupplementaryStart = 189000; // the linear number of 90308130
constexpr char16_t kReplacement = 0xFFFD;

constexpr int twoByteIndex(int lead, int trail) {
    return (lead - 0x81) * 190 + (trail < 0x7F ? trail - 0x40 : trail - 0x41);
}
constexpr bool isTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}
constexpr bool isLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
constexpr bool isDigit(unsigned char b) {
    return b >= 0x30 && b <= 0x39;
}

// The tables, made once from code page 936.
struct Tables {
    std::vector<char16_t> twoByte = std::vector<char16_t>(126 * 190, kReplacement); // code -> unit
    std::vector<quint16> codeOf = std::vector<quint16>(0x10000, 0);     // unit -> two-byte code, 0: none
    std::vector<quint16> fourByteOf = std::vector<quint16>(0x10000, 0); // unit -> four-byte number
    std::vector<char16_t> fourByte = std::vector<char16_t>(kBasicPlaneCodes, kReplacement);

    Tables() {
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                wchar_t unit = 0;
                if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, pair, 2, &unit, 1) == 1)
                    twoByte[twoByteIndex(lead, trail)] = static_cast<char16_t>(unit);
            }
        }
        for (const TwoByteFix& fix : kTwoByteFixes)
            twoByte[twoByteIndex(fix.code >> 8, fix.code & 0xFF)] = fix.unit;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char16_t unit = twoByte[twoByteIndex(lead, trail)];
                if (unit != kReplacement)
                    codeOf[unit] = static_cast<quint16>(lead << 8 | trail);
            }
        }
        // GB18030-2000's two-byte characters: 2005's, with U+E7C7 in place of U+1E3F.
        const auto hadTwoBytesIn2000 = [this](char32_t unit) {
            if (unit == kSwappedIn2005)
                return false;
            return unit == kSwappedOut2005 || codeOf[unit] != 0;
        };
        quint32 next = 0;
        for (char32_t unit = 0x80; unit <= 0xFFFF && next < kBasicPlaneCodes; ++unit) {
            if ((unit >= 0xD800 && unit <= 0xDFFF) || hadTwoBytesIn2000(unit))
                continue;
            const char16_t holder = unit == kSwappedIn2005 ? kSwappedOut2005 : char16_t(unit);
            fourByteOf[holder] = static_cast<quint16>(next);
            fourByte[next++] = holder;
        }
    }
};

const Tables& tables() {
    static const Tables made;
    return made;
}

void appendFourBytes(QByteArray& out, quint32 number) {
    const char b4 = static_cast<char>(0x30 + number % 10);
    number /= 10;
    const char b3 = static_cast<char>(0x81 + number % 126);
    number /= 126;
    const char b2 = static_cast<char>(0x30 + number % 10);
    const char b1 = static_cast<char>(0x81 + number / 10);
    out.append(b1).append(b2).append(b3).append(b4);
}

// Decodes up to the end of the last whole character and returns how many bytes that took; the bytes
// of a character cut short at the end are left. A broken sequence reads as one replacement
// character, and a byte that may begin a character is read again after it (as Linux's converter).
qsizetype decodeInto(QString& out, QByteArrayView bytes) {
    const Tables& t = tables();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = b[i];
        if (lead < 0x80) {
            out += QChar(lead);
            ++i;
            continue;
        }
        if (!isLead(lead)) {
            out += QChar(kReplacement);
            ++i;
            continue;
        }
        if (i + 1 >= size)
            return i;
        const unsigned char second = b[i + 1];
        if (isTrail(second)) {
            out += QChar(t.twoByte[twoByteIndex(lead, second)]);
            i += 2;
            continue;
        }
        if (!isDigit(second)) {
            out += QChar(kReplacement);
            i += second == 0xFF ? 2 : 1;
            continue;
        }
        if (i + 2 >= size)
            return i;
        if (!isLead(b[i + 2])) {
            out += QChar(kReplacement);
            ++i;
            continue;
        }
        if (i + 3 >= size)
            return i;
        if (!isDigit(b[i + 3])) {
            out += QChar(kReplacement);
            ++i;
            continue;
        }
        const quint32 number =
            ((quint32(lead - 0x81) * 10 + (second - 0x30)) * 126 + (b[i + 2] - 0x81)) * 10 +
            (b[i + 3] - 0x30);
        i += 4;
        if (number < kBasicPlaneCodes) {
            out += QChar(t.fourByte[number]);
        } else if (number >= kSupplementaryStart && number - kSupplementaryStart < 0x100000) {
            const char32_t unit = 0x10000 + (number - kSupplementaryStart);
            out += QChar(QChar::highSurrogate(unit));
            out += QChar(QChar::lowSurrogate(unit));
        } else {
            out += QChar(kReplacement);
        }
    }
    return size;
}

} // namespace

QByteArray toGb18030(QStringView text) {
    const Tables& t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            out.append(static_cast<char>(unit));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t full = QChar::surrogateToUcs4(unit, text[++i].unicode());
            appendFourBytes(out, kSupplementaryStart + (full - 0x10000));
        } else if (QChar::isSurrogate(unit)) {
            // A lone surrogate is no character: the substitute control character, as on Linux.
            out.append('\x1A');
        } else if (const quint16 code = t.codeOf[unit]; code != 0) {
            out.append(static_cast<char>(code >> 8)).append(static_cast<char>(code & 0xFF));
        } else {
            appendFourBytes(out, t.fourByteOf[unit]);
        }
    }
    return out;
}

QString fromGb18030(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    decodeInto(text, bytes); // bytes cut short at the end are dropped
    return text;
}

Gb18030Decoder::Gb18030Decoder() = default;

QString Gb18030Decoder::decode(QByteArrayView slice) {
    m_pending += slice;
    QString text;
    text.reserve(m_pending.size());
    m_pending.remove(0, decodeInto(text, m_pending));
    return text;
}

#else

QByteArray toGb18030(QStringView text) {
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

QString fromGb18030(QByteArrayView bytes) {
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

Gb18030Decoder::Gb18030Decoder() : m_decoder("GB18030") {}

QString Gb18030Decoder::decode(QByteArrayView slice) {
    return m_decoder.decode(slice);
}

#endif

#ifdef Q_OS_WIN

namespace {
// The text in the system's code page, or nothing when a character has no code there (a best-fit
// stand-in, as "a" for "ä", would name another file).
std::optional<QByteArray> inSystemCodePage(const std::wstring& text) {
    const UINT codePage = GetACP();
    // UTF-8 (the system's "Unicode UTF-8 for worldwide language support") spells every character and
    // takes neither the best-fit flag nor the default character's report.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lossy);
    if (size <= 0 || lossy)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr,
                            utf8 ? nullptr : &lossy) != size ||
        lossy)
        return std::nullopt;
    return bytes;
}
} // namespace

QByteArray systemName(const QString& path) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (const std::optional<QByteArray> own = inSystemCodePage(name))
        return *own;
    std::wstring shortName(MAX_PATH, L'\0');
    DWORD size = GetShortPathNameW(name.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (size >= shortName.size()) {
        shortName.resize(size);
        size = GetShortPathNameW(name.c_str(), shortName.data(), size);
    }
    if (size == 0 || size >= shortName.size())
        return {};
    shortName.resize(size);
    return inSystemCodePage(shortName).value_or(QByteArray());
}

#else

QByteArray systemName(const QString& path) {
    return QFile::encodeName(path);
}

#endif

} // namespace CodePage
