#pragma once

#include "operationerror.h"
#include "sheettable.h"

#include <QByteArrayView>
#include <QString>

// The first sheet of an Excel workbook (.xlsx, Office Open XML) as texts: its parts are read through
// XmlPackage (minizip's unzip and expat, within the limits), so a big sheet is never held as one block of
// XML. Cells read as Excel shows them: shared and inline strings as they are, numbers in
// the General format (123456 stays 123456, 1.5 stays 1.5) unless the cell's format pads them with zeros,
// fixes their decimals or makes them a date or a time.
namespace XlsxReader {

// Whether a file that starts with these bytes is a zip file (an xlsx package is one).
bool isZip(QByteArrayView start);
// Whether it is an OLE2 compound document: an old .xls workbook, or an xlsx encrypted with a password.
bool isCompoundDocument(QByteArrayView start);
// The operator's message for a compound document at path (encrypted, or an old workbook).
OperationError compoundDocumentError(const QString& path);

// Reads the workbook's first sheet. Throws OperationError with the operator's message when the file
// cannot be opened, is damaged, has no sheet, or goes beyond the limits; ReadCancelled when control
// was cancelled.
SheetTable read(const QString& path, const SheetLimits& limits = SheetLimits(),
                ReadControl* control = nullptr);

// The text Excel's General format shows for the stored number text, which is given back unchanged when
// it is no number.
QString generalNumber(QStringView value);

} // namespace XlsxReader
