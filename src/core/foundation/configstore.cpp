#include "configstore.h"

#include "atomicfile.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QLocale>

namespace {

// The longest value a read gives back, in bytes of the file.
constexpr qsizetype kMaxValueBytes = 2047;

const QByteArray kNewLine = QByteArrayLiteral("\r\n");

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Length in bytes of the GBK (GB18030) character that starts at bytes[i].
qsizetype gbkCharLength(const QByteArray& bytes, qsizetype i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80)
        return 1;
    if (i + 1 < bytes.size()) {
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second >= 0x30 && second <= 0x39)
            return 4;
    }
    return 2;
}

// Cuts the text's GBK bytes at the read limit without splitting a character.
QString cutToReadLimit(const QString& text) {
    const QByteArray bytes = TextCodec::toGbk(text);
    if (bytes.size() <= kMaxValueBytes)
        return text;
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype next = end + gbkCharLength(bytes, end);
        if (next > kMaxValueBytes)
            break;
        end = next;
    }
    return TextCodec::fromGbk(QByteArrayView(bytes).first(end));
}

// A stored value as the readers see it: blanks around it dropped, then one pair of enclosing
// quotes, then cut at the read limit.
QString valueAsRead(QStringView stored) {
    QStringView value = trimBlanks(stored);
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            value = value.sliced(1, value.size() - 2);
    }
    return cutToReadLimit(value.toString());
}

// An entry always stays on one line: any line break in a written value becomes a blank.
QString oneLine(const QString& value) {
    QString result = value;
    result.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    result.replace(u'\r', u' ');
    result.replace(u'\n', u' ');
    return result;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool parseDigits(QStringView digits, int base, quint64 limit, quint64* value) {
    if (digits.isEmpty())
        return false;
    quint64 result = 0;
    for (QChar c : digits) {
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (base == 16 && c.toLower() >= u'a' && c.toLower() <= u'f')
            digit = c.toLower().unicode() - u'a' + 10;
        if (digit < 0)
            return false;
        result = result * base + static_cast<quint64>(digit);
        if (result > limit)
            return false;
    }
    *value = result;
    return true;
}

} // namespace

ConfigStore::ConfigStore(QString path) : m_path(std::move(path)) {
    QByteArray data;
    try {
        data = AtomicFile::readAll(m_path);
    } catch (const OperationError&) {
        return; // a missing or unreadable file reads as empty
    }

    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && data[end] != '\r' && data[end] != '\n')
            ++end;
        qsizetype breakEnd = end;
        if (breakEnd < data.size()) {
            if (data[breakEnd] == '\r' && breakEnd + 1 < data.size() && data[breakEnd + 1] == '\n')
                breakEnd += 2;
            else
                breakEnd += 1;
        }
        m_lines.append(parseLine(data.sliced(start, end - start), data.sliced(end, breakEnd - end)));
        start = breakEnd;
    }
}

ConfigStore::Line ConfigStore::parseLine(const QByteArray& raw, const QByteArray& lineBreak) {
    Line line;
    line.raw = raw;
    line.lineBreak = lineBreak;
    const QString text = TextCodec::fromGbk(raw);
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.isSection = true;
            line.section = trimBlanks(trimmed.sliced(1, close - 1)).toString();
            return line;
        }
    }
    // '=' never occurs inside a GBK double-byte or GB18030 four-byte character, so the split can be
    // made on the bytes and rewriting the value keeps the bytes before it.
    const qsizetype equals = raw.indexOf('=');
    if (equals < 0)
        return line;
    line.isEntry = true;
    line.key = trimBlanks(TextCodec::fromGbk(QByteArrayView(raw).first(equals))).toString();
    line.value = valueAsRead(TextCodec::fromGbk(QByteArrayView(raw).sliced(equals + 1)));
    return line;
}

ConfigStore::Place ConfigStore::locate(const QList<Line>& lines, const QString& section, const QString& key) {
    Place place;
    qsizetype i = 0;
    for (; i < lines.size(); ++i) {
        if (lines[i].isSection && sameName(lines[i].section, section))
            break;
    }
    if (i == lines.size())
        return place;
    place.section = i;
    place.lastInSection = i;
    for (++i; i < lines.size() && !lines[i].isSection; ++i) {
        if (!lines[i].isEntry)
            continue;
        place.lastInSection = i;
        if (place.entry < 0 && sameName(lines[i].key, key))
            place.entry = i;
    }
    return place;
}

const ConfigStore::Line* ConfigStore::find(const QString& section, const QString& key) const {
    const Place place = locate(m_lines, section, key);
    return place.entry >= 0 ? &m_lines[place.entry] : nullptr;
}

bool ConfigStore::contains(const QString& section, const QString& key) const {
    return find(section, key) != nullptr;
}

QString ConfigStore::readString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
    const Line* line = find(section, key);
    return line ? line->value : defaultValue;
}

int ConfigStore::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const Line* line = find(section, key);
    int value = 0;
    return line && parseInteger(line->value, &value) ? value : defaultValue;
}

bool ConfigStore::readBool(const QString& section, const QString& key, bool defaultValue) const {
    const Line* line = find(section, key);
    int value = 0;
    return line && parseInteger(line->value, &value) ? value != 0 : defaultValue;
}

QDate ConfigStore::readDate(const QString& section, const QString& key, const QDate& defaultValue) const {
    const Line* line = find(section, key);
    QDate value;
    return line && parseDate(line->value, &value) ? value : defaultValue;
}

void ConfigStore::writeString(const QString& section, const QString& key, const QString& value) {
    writeStrings(section, {{key, value}});
}

void ConfigStore::writeStrings(const QString& section, const QList<std::pair<QString, QString>>& entries) {
    QList<Line> lines = m_lines;
    for (const auto& [key, value] : entries)
        setEntry(lines, section, key, value);
    save(lines);
    m_lines = std::move(lines);
}

void ConfigStore::stageStrings(AtomicFile::Batch& batch, const QString& section,
                               const QList<std::pair<QString, QString>>& entries) {
    stageSections(batch, {{section, entries}});
}

void ConfigStore::stageSections(AtomicFile::Batch& batch,
                                const QList<std::pair<QString, Entries>>& sections) {
    QList<Line> lines = m_lines;
    for (const auto& [section, entries] : sections)
        for (const auto& [key, value] : entries)
            setEntry(lines, section, key, value);
    try {
        batch.stage(m_path, content(lines));
    } catch (const OperationError&) {
        throw OperationError::unableToWrite(m_path);
    }
    m_lines = std::move(lines);
}

void ConfigStore::setEntry(QList<Line>& lines, const QString& section, const QString& key,
                           const QString& value) {
    const QByteArray entryValue = TextCodec::toGbk(oneLine(value));
    const Place place = locate(lines, section, key);

    if (place.entry >= 0) {
        Line& line = lines[place.entry];
        line = parseLine(line.raw.first(line.raw.indexOf('=') + 1) + entryValue, line.lineBreak);
        return;
    }
    const QByteArray raw = TextCodec::toGbk(key) + '=' + entryValue;
    qsizetype at = lines.size();
    if (place.section < 0) {
        if (!lines.isEmpty() && lines.last().lineBreak.isEmpty())
            lines.last().lineBreak = kNewLine;
        lines.append(parseLine("[" + TextCodec::toGbk(section) + "]", kNewLine));
        at = lines.size();
    } else {
        at = place.lastInSection + 1;
        if (lines[place.lastInSection].lineBreak.isEmpty())
            lines[place.lastInSection].lineBreak = kNewLine;
    }
    lines.insert(at, parseLine(raw, kNewLine));
}

void ConfigStore::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void ConfigStore::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray ConfigStore::content(const QList<Line>& lines) {
    QByteArray data;
    for (const Line& line : lines)
        data += line.raw + line.lineBreak;
    return data;
}

void ConfigStore::save(const QList<Line>& lines) const {
    try {
        AtomicFile::write(m_path, content(lines));
    } catch (const OperationError&) {
        throw OperationError::unableToWrite(m_path);
    }
}

bool ConfigStore::parseInteger(QStringView text, int* value) {
    QStringView rest = trimBlanks(text);
    bool negative = false;
    if (rest.startsWith(u'+') || rest.startsWith(u'-')) {
        negative = rest.front() == u'-';
        rest = rest.sliced(1);
    }
    quint64 magnitude = 0;
    if (rest.startsWith(u'$') || rest.startsWith(QLatin1String("0x")) ||
        rest.startsWith(QLatin1String("0X"))) {
        // Hexadecimal is a 32-bit pattern: $FFFFFFFF is -1.
        if (!parseDigits(rest.sliced(rest.front() == u'$' ? 1 : 2), 16, 0xFFFFFFFFu, &magnitude))
            return false;
        const auto bits = static_cast<quint32>(negative ? 0u - static_cast<quint32>(magnitude)
                                                        : static_cast<quint32>(magnitude));
        *value = static_cast<int>(bits);
        return true;
    }
    const quint64 limit = negative ? 2147483648ull : 2147483647ull;
    if (!parseDigits(rest, 10, limit, &magnitude))
        return false;
    *value = negative ? static_cast<int>(-static_cast<qint64>(magnitude)) : static_cast<int>(magnitude);
    return true;
}

bool ConfigStore::parseDate(QStringView text, QDate* value) {
    const QString trimmed = trimBlanks(text).toString();
    if (trimmed.isEmpty())
        return false;
    QDate date = QLocale::system().toDate(trimmed, QLocale::ShortFormat);
    for (const QString& format : {QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d")}) {
        if (!date.isValid())
            date = QDate::fromString(trimmed, format);
    }
    if (!date.isValid())
        return false;
    *value = date;
    return true;
}
