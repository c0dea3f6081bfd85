#include "csvreader.h"

#include "codepage.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QFile>
#include <QStringDecoder>

#include <optional>

namespace {
// Bytes decoded and parsed at a time, and read from the file at a time.
constexpr qsizetype kSlice = 1024 * 1024;
constexpr qint64 kReadChunk = 4 * 1024 * 1024;

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// The delimiter a CSV file uses: the one of comma, semicolon and tab its first record holds most often
// outside quotes; a comma when it holds none of them.
QChar sniffDelimiter(QStringView text) {
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && isBreak(c))
            break;
        else if (!quoted)
            comma += c == u',', semicolon += c == u';', tab += c == u'\t';
    }
    if (semicolon > comma && semicolon >= tab)
        return u';';
    if (tab > comma && tab > semicolon)
        return u'\t';
    return u',';
}

bool firstLineHasTab(QStringView text) {
    for (const QChar c : text) {
        if (isBreak(c))
            return false;
        if (c == u'\t')
            return true;
    }
    return false;
}

// Decodes the text a slice at a time: a Unicode encoding through Qt, GBK through the platform's codec.
struct SliceDecoder {
    std::optional<QStringDecoder> unicode;
    CodePage::Gb18030Decoder gbk;
    QString decode(QByteArrayView slice) {
        return unicode ? QString(unicode->decode(slice)) : gbk.decode(slice);
    }
};

// The decoder for the bytes and how many bytes of a byte-order mark it skips.
std::pair<SliceDecoder, qsizetype> decoderFor(QByteArrayView bytes) {
    if (bytes.startsWith("\xFF\xFE"))
        return {SliceDecoder{QStringDecoder(QStringDecoder::Utf16LE), {}}, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return {SliceDecoder{QStringDecoder(QStringDecoder::Utf16BE), {}}, 2};
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {SliceDecoder{QStringDecoder(QStringDecoder::Utf8), {}}, 3};
    if (TextCodec::isUtf8(bytes))
        return {SliceDecoder{QStringDecoder(QStringDecoder::Utf8), {}}, 0};
    return {SliceDecoder{}, 0};
}

// The parser, fed the text a slice at a time; a record may run over any number of slices. The first
// slice decides how the text is split (its first record).
class Parser {
public:
    Parser(CsvReader::Kind kind, SheetTable& table) : m_kind(kind), m_table(table) {}

    void feed(QStringView text) {
        if (text.isEmpty())
            return;
        if (m_mode == Mode::Undecided)
            decide(text);
        qsizetype i = 0;
        if (std::exchange(m_afterCr, false) && text.front() == u'\n')
            i = 1;
        m_mode == Mode::Lines ? lines(text, i) : fields(text, i);
    }

    void finish() {
        if (m_mode == Mode::Lines) {
            endField();
            endRecord();
            return;
        }
        if (!m_field.isEmpty() || m_column > 0 || m_wasQuoted) {
            endField();
            endRecord();
        }
    }

private:
    enum class Mode { Undecided, Lines, Fields };

    void decide(QStringView text) {
        if (m_kind == CsvReader::Kind::Text && !firstLineHasTab(text)) {
            m_mode = Mode::Lines;
            return;
        }
        m_mode = Mode::Fields;
        m_delimiter = m_kind == CsvReader::Kind::Text ? QChar(u'\t') : sniffDelimiter(text);
    }

    // One entrant per line, quotes and commas being part of the text.
    void lines(QStringView text, qsizetype i) {
        const qsizetype size = text.size();
        while (i < size) {
            qsizetype end = i;
            while (end < size && !isBreak(text[end]))
                ++end;
            append(text.sliced(i, end - i));
            if (end == size)
                return;
            endField();
            endRecord();
            i = lineBreak(text, end);
        }
    }

    void fields(QStringView text, qsizetype i) {
        const qsizetype size = text.size();
        while (i < size) {
            if (m_quoted) {
                if (std::exchange(m_quoteSeen, false)) {
                    // A doubled quote is one quote; anything else closes the quoted part.
                    if (text[i] == u'"') {
                        append(u"\"");
                        ++i;
                    } else {
                        m_quoted = false;
                    }
                    continue;
                }
                const qsizetype quote = text.indexOf(u'"', i);
                const qsizetype end = quote < 0 ? size : quote;
                append(text.sliced(i, end - i));
                i = end;
                if (quote >= 0) {
                    m_quoteSeen = true;
                    ++i;
                }
                continue;
            }
            const QChar c = text[i];
            if (c == u'"' && m_field.isEmpty() && !m_wasQuoted) {
                m_quoted = m_wasQuoted = true;
                ++i;
            } else if (c == m_delimiter) {
                endField();
                ++i;
            } else if (isBreak(c)) {
                endField();
                endRecord();
                i = lineBreak(text, i);
            } else {
                // Text after a closing quote, or a quote inside an unquoted field, is taken as it stands.
                qsizetype end = i + 1;
                while (end < size && text[end] != m_delimiter && !isBreak(text[end]))
                    ++end;
                append(text.sliced(i, end - i));
                i = end;
            }
        }
    }

    // Past the break at i: CR LF is one break, also when the slice ends between them.
    qsizetype lineBreak(QStringView text, qsizetype i) {
        if (text[i] == u'\r') {
            if (i + 1 == text.size())
                m_afterCr = true;
            else if (text[i + 1] == u'\n')
                ++i;
        }
        return i + 1;
    }

    void append(QStringView piece) {
        if (m_field.size() + piece.size() > m_table.limits().maxCellChars)
            throw SheetErrors::cellTooLong(m_table.source(), m_table.limits());
        m_field += piece;
    }

    void endField() {
        if (m_quoteSeen) {
            m_quoteSeen = false;
            m_quoted = false;
        }
        // Fields right of the last column are not kept; the table notes them.
        m_table.setCell(m_column, std::exchange(m_field, QString()));
        m_column = std::min(m_column + 1, m_table.limits().maxColumns);
        m_wasQuoted = false;
    }

    void endRecord() {
        m_table.endRow();
        m_column = 0;
    }

    const CsvReader::Kind m_kind;
    SheetTable& m_table;
    Mode m_mode = Mode::Undecided;
    QChar m_delimiter = u',';
    QString m_field;
    int m_column = 0;
    bool m_quoted = false;    // inside a quoted field
    bool m_wasQuoted = false; // the field began with a quote
    bool m_quoteSeen = false; // a quote inside a quoted field, its meaning told by the next character
    bool m_afterCr = false;   // the slice ended in a CR: a LF at the start of the next one goes with it
};

// Decodes and parses the bytes a slice at a time; progress runs from `before` to `before` + the bytes'
// size of `total`.
SheetTable parseBytes(QByteArrayView bytes, CsvReader::Kind kind, const QString& source,
                      const SheetLimits& limits, ReadControl* control, qint64 before, qint64 total) {
    SheetTable table(limits);
    table.setSource(source);
    Parser parser(kind, table);
    auto [decoder, at] = decoderFor(bytes);
    while (at < bytes.size()) {
        if (control)
            control->report(before + at, total);
        const qsizetype length = std::min(kSlice, bytes.size() - at);
        parser.feed(decoder.decode(bytes.sliced(at, length)));
        at += length;
    }
    parser.finish();
    return table;
}
} // namespace

namespace CsvReader {

QString decode(QByteArrayView bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                            : QStringDecoder::Utf16BE);
        return decoder.decode(bytes.sliced(2));
    }
    return TextCodec::decodeEntrantList(bytes);
}

SheetTable parse(QStringView text, Kind kind, const QString& source, const SheetLimits& limits) {
    SheetTable table(limits);
    table.setSource(source);
    Parser parser(kind, table);
    for (qsizetype at = 0; at < text.size(); at += kSlice)
        parser.feed(text.sliced(at, std::min(kSlice, text.size() - at)));
    parser.finish();
    return table;
}

SheetTable read(QByteArrayView bytes, Kind kind, const QString& source, const SheetLimits& limits,
                ReadControl* control) {
    return parseBytes(bytes, kind, source, limits, control, 0, bytes.size());
}

SheetTable readFile(const QString& path, Kind kind, const SheetLimits& limits, ReadControl* control) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OperationError::cannotOpen(path, file.errorString());
    const qint64 size = file.size();
    if (size > limits.maxFileBytes)
        throw SheetErrors::fileTooBig(path, limits);
    // Read a piece at a time, so that a slow stick can be cancelled; progress is half reading, half
    // parsing.
    QByteArray bytes;
    bytes.reserve(size);
    while (!file.atEnd() && bytes.size() <= limits.maxFileBytes) {
        if (control)
            control->report(bytes.size(), 2 * size);
        const QByteArray piece = file.read(kReadChunk);
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (file.error() != QFileDevice::NoError)
        throw OperationError::cannotOpen(path, file.errorString());
    if (bytes.size() > limits.maxFileBytes)
        throw SheetErrors::fileTooBig(path, limits);
    return parseBytes(bytes, kind, path, limits, control, bytes.size(), 2 * bytes.size());
}

} // namespace CsvReader
