#pragma once

#include "sheettable.h"

#include <QByteArray>
#include <QString>

// Delimited text as a table: RFC 4180 quoting (a quoted field may hold the delimiter, doubled quotes
// and line breaks), CR LF, a lone LF or a lone CR ending a record.
namespace CsvReader {

enum class Kind {
    Csv,  // fields split on the delimiter the first record uses most: comma, semicolon or tab
    Text, // a text file: tab-separated when its first record holds a tab, else one field per line as it is
};

// The text of the file's bytes: UTF-16 with its byte-order mark, UTF-8 with or without one, else GBK.
QString decode(QByteArrayView bytes);

// Parses the text. Throws OperationError (too many rows) as SheetTable::addRow does.
SheetTable parse(QStringView text, Kind kind, const QString& source = QString());

// Reads and parses the file. Throws OperationError (cannot open, too big, too many rows).
SheetTable readFile(const QString& path, Kind kind);

// The largest file read.
inline constexpr qint64 kMaxBytes = 256LL * 1024 * 1024;

} // namespace CsvReader
