// A CSV or text file of any bytes (the first byte chooses which): the reader ends in a table within
// its limits or in the operator's message, and the table written by the results export reads back as
// itself, every cell a spreadsheet would run as a formula with its leading ' (a table that holds no
// character UTF-8 cannot carry).
#include "csvreader.h"
#include "operationerror.h"
#include "resultsexport.h"
#include "sheetchecks.h"

#include <QDebug>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    SheetLimits limits;
    limits.maxRows = 100;
    limits.maxCellChars = 1000;
    limits.maxChars = 10'000;
    limits.maxCells = 1000;
    const auto kind = data[0] & 1 ? CsvReader::Kind::Text : CsvReader::Kind::Csv;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size) - 1);
    SheetTable table;
    try {
        table = CsvReader::read(bytes, kind, QStringLiteral("fuzz.csv"), limits);
    } catch (const OperationError& error) {
        // FUZZ_SHOW=1 fuzz_csv <file>: what the operator would be told.
        if (std::getenv("FUZZ_SHOW"))
            std::fprintf(stderr, "%s\n", error.what());
        return 0;
    }
    checkTable(table, limits);

    // Three plain titles first, so that the comma is the delimiter the read-back finds.
    QList<QStringList> rows{{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}};
    QList<QStringList> expected = rows;
    for (const QStringList& row : table.rows()) {
        // A lone surrogate (UTF-16 input) is no character; UTF-8 cannot carry it.
        for (const QString& cell : row)
            if (!cell.isValidUtf16())
                return 0;
        rows << row;
        QStringList inert;
        for (const QString& cell : row)
            inert << ResultsExport::inertCell(cell);
        expected << inert;
    }
    const QList<QStringList> back =
        CsvReader::read(ResultsExport::csv(rows), CsvReader::Kind::Csv, QString(), SheetLimits()).rows();
    if (back != expected) {
        if (std::getenv("FUZZ_SHOW"))
            for (qsizetype r = 0; r < std::max(back.size(), expected.size()); ++r)
                if (back.value(r) != expected.value(r))
                    std::fprintf(stderr, "row %lld: %s\n    != %s\n", static_cast<long long>(r),
                                 QDebug::toString(back.value(r)).toUtf8().constData(),
                                 QDebug::toString(expected.value(r)).toUtf8().constData());
        std::abort();
    }
    return 0;
}
