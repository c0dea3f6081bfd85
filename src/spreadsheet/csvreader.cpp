#include "csvreader.h"

#include "operationerror.h"
#include "textcodec.h"

#include <QFile>
#include <QStringDecoder>

namespace {
// The delimiter a CSV file uses: the one of comma, semicolon and tab its first record holds most often
// outside quotes; a comma when it holds none of them.
QChar sniffDelimiter(QStringView text) {
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
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
        if (c == u'\n' || c == u'\r')
            return false;
        if (c == u'\t')
            return true;
    }
    return false;
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

SheetTable parse(QStringView text, Kind kind, const QString& source) {
    SheetTable table;
    table.setSource(source);
    const qsizetype size = text.size();

    if (kind == Kind::Text && !firstLineHasTab(text)) {
        // One entrant per line, quotes and commas being part of the text.
        qsizetype start = 0;
        for (qsizetype i = 0; i <= size; ++i) {
            if (i < size && text[i] != u'\n' && text[i] != u'\r')
                continue;
            table.addRow({text.sliced(start, i - start).toString()});
            if (i < size && text[i] == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        return table;
    }

    const QChar delimiter = kind == Kind::Text ? QChar(u'\t') : sniffDelimiter(text);
    QStringList row;
    QString field;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the field began with a quote
    qsizetype i = 0;
    const auto endField = [&] {
        row << field;
        field.clear();
        wasQuoted = false;
    };
    while (i < size) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < size && text[i + 1] == u'"') {
                    field += u'"';
                    i += 2;
                    continue;
                }
                quoted = false;
            } else {
                field += c;
            }
            ++i;
            continue;
        }
        if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == delimiter) {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            endField();
            table.addRow(std::move(row));
            row = QStringList();
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
        } else {
            // Text after a closing quote, or a quote inside an unquoted field, is taken as it stands.
            field += c;
        }
        ++i;
    }
    if (!field.isEmpty() || !row.isEmpty() || wasQuoted) {
        endField();
        table.addRow(std::move(row));
    }
    return table;
}

SheetTable readFile(const QString& path, Kind kind) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OperationError::cannotOpen(path, file.errorString());
    if (file.size() > kMaxBytes)
        throw OperationError(QStringLiteral("文件“%1”太大（超过 %2 MB），没有导入。")
                                 .arg(path)
                                 .arg(kMaxBytes / (1024 * 1024)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw OperationError::cannotOpen(path, file.errorString());
    return parse(decode(bytes), kind, path);
}

} // namespace CsvReader
