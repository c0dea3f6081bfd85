#pragma once

#include "sheettable.h"

#include <QByteArray>
#include <QString>

// Delimited text as a table: RFC 4180 quoting (a quoted field may hold the delimiter, doubled quotes
// and line breaks), CR LF, a lone LF or a lone CR ending a record. The text is decoded and parsed a
// slice at a time, so a file is never held as one decoded text, and the table's limits stop the read
// at the first cell or row beyond them.
namespace CsvReader {

enum class Kind {
    Csv,  // fields split on the delimiter the first record uses most: comma, semicolon or tab
    Text, // a text file: tab-separated when its first record holds a tab, else one field per line as it is
};

// The text of the file's bytes: UTF-16 with its byte-order mark, UTF-8 with or without one, else GBK.
QString decode(QByteArrayView bytes);

// Parses the text. Throws OperationError at a limit, as SheetTable does.
SheetTable parse(QStringView text, Kind kind, const QString& source = QString(),
                 const SheetLimits& limits = SheetLimits());

// Decodes (as decode does) and parses the file's bytes. Throws OperationError at a limit,
// ReadCancelled when control is cancelled.
SheetTable read(QByteArrayView bytes, Kind kind, const QString& source, const SheetLimits& limits,
                ReadControl* control = nullptr);

// Reads and parses the file. Throws OperationError (cannot open, too big, a limit reached),
// ReadCancelled.
SheetTable readFile(const QString& path, Kind kind, const SheetLimits& limits = SheetLimits(),
                    ReadControl* control = nullptr);

} // namespace CsvReader
