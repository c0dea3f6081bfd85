#pragma once

// What every table read from any input must be, whatever the input: within its limits, with no empty
// row and no blank cell at a row's end, and the flags of each cell telling its text right.
#include "sheettable.h"

#include <cstdlib>

inline void checkTable(const SheetTable& table, const SheetLimits& limits) {
    if (table.rowCount() > limits.maxRows || table.columnCount() > limits.maxColumns ||
        table.chars() > limits.maxChars)
        std::abort();
    qsizetype cells = 0;
    for (int r = 0; r < table.rowCount(); ++r) {
        const QStringList row = table.row(r);
        cells += row.size();
        if (row.isEmpty() || row.constLast().trimmed().isEmpty() || row.size() > table.columnCount())
            std::abort();
        for (int c = 0; c < row.size(); ++c)
            if (row.at(c).size() > limits.maxCellChars ||
                table.hasText(r, c) == row.at(c).trimmed().isEmpty())
                std::abort();
    }
    if (cells > limits.maxCells)
        std::abort();
}
