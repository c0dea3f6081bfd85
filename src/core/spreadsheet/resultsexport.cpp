#include "resultsexport.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "codepage.h"
#include "configstore.h"
#include "functionunit.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "sheettable.h"
#include "supplementarytimes.h"
#include "winnerlists.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <utility>

namespace {
const QStringList kHeaderStart = {QStringLiteral("时间"), QStringLiteral("奖项"), QStringLiteral("奖品")};
const QString kStatusTitle = QStringLiteral("状态");

// The column width (in characters) for the texts of a column: Chinese characters count two.
double columnWidth(const QList<QStringList>& table, qsizetype column) {
    double widest = 0;
    for (const QStringList& row : table) {
        double width = 0;
        for (const QChar c : row.value(column))
            width += c.unicode() >= 0x1100 ? 2.0 : 1.0;
        widest = std::max(widest, width);
    }
    return std::clamp(widest + 2.0, 8.0, 60.0);
}

// libxlsxwriter writes control characters as _xHHHH_ but leaves a text that looks like such an escape
// as it is, which a spreadsheet would read as the character; its underscore is kept as _x005F_.
QByteArray cellText(const QString& text) {
    if (!text.contains(QLatin1String("_x")))
        return text.toUtf8();
    static const QRegularExpression escape(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    return QString(text).replace(escape, QStringLiteral("_x005F_")).toUtf8();
}

// A workbook being made by libxlsxwriter. It is written to its file and freed by close(), or, when it is
// given up, by the destructor (the caller removes that file).
class Workbook {
public:
    Workbook(const QByteArray& file, const QByteArray& tmpdir) {
        lxw_workbook_options options{};
        options.tmpdir = const_cast<char*>(tmpdir.constData());
        m_book = workbook_new_opt(file.constData(), &options);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    ~Workbook() {
        if (m_book)
            workbook_close(m_book);
    }
    lxw_workbook* get() const { return m_book; }
    lxw_error close() { return workbook_close(std::exchange(m_book, nullptr)); }

private:
    lxw_workbook* m_book = nullptr;
};

// The table as one sheet, written over the existing file: every cell a text (a staff number 00123 or
// a phone number stays as written), the first row bold and frozen, columns as wide as their longest
// text. Throws the library's reason. False, with nothing written, when the system's code page has no
// name for the file or its folder (libxlsxwriter opens both by 8-bit names).
bool writeWorkbook(const QString& file, const QList<QStringList>& table) {
    const QByteArray name = CodePage::systemName(file);
    const QByteArray folder = CodePage::systemName(QFileInfo(file).absolutePath());
    if (name.isEmpty() || folder.isEmpty())
        return false;
    Workbook book(name, folder);
    const auto failed = [](lxw_error error) { return QString::fromUtf8(lxw_strerror(error)); };
    if (!book.get())
        throw failed(LXW_ERROR_MEMORY_MALLOC_FAILED);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), "中奖名单");
    lxw_format* bold = workbook_add_format(book.get());
    if (!sheet || !bold)
        throw failed(LXW_ERROR_MEMORY_MALLOC_FAILED);
    format_set_bold(bold);
    worksheet_freeze_panes(sheet, 1, 0);
    qsizetype columns = 0;
    for (const QStringList& row : table)
        columns = std::max(columns, row.size());
    for (qsizetype c = 0; c < columns && c < LXW_COL_MAX; ++c) {
        const auto column = static_cast<lxw_col_t>(c);
        if (const lxw_error error =
                worksheet_set_column(sheet, column, column, columnWidth(table, c), nullptr))
            throw failed(error);
    }
    for (qsizetype r = 0; r < table.size(); ++r) {
        const QStringList& row = table.at(r);
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (row.at(c).isEmpty())
                continue;
            const lxw_error error =
                worksheet_write_string(sheet, static_cast<lxw_row_t>(std::min<qsizetype>(r, LXW_ROW_MAX)),
                                       static_cast<lxw_col_t>(std::min<qsizetype>(c, LXW_COL_MAX)),
                                       cellText(row.at(c)).constData(), r == 0 ? bold : nullptr);
            if (error)
                throw failed(error);
        }
    }
    if (const lxw_error error = book.close())
        throw failed(error);
    return true;
}

// The workbook made in the system's temp folder, for a file whose folder the code page cannot name.
QByteArray workbookInTempFolder(const QString& path, const QList<QStringList>& table) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/results-XXXXXX.xlsx"));
    if (!file.open())
        throw OperationError::cannotCreate(path, file.errorString());
    file.close();
    try {
        if (!writeWorkbook(file.fileName(), table))
            throw OperationError::cannotCreate(path, QStringLiteral("文件夹名称中有系统代码页以外的字符"));
    } catch (const QString& reason) {
        throw OperationError::cannotCreate(path, reason);
    }
    return AtomicFile::readAll(file.fileName());
}

} // namespace

namespace ResultsExport {

QStringList splitEntrant(const QString& name) {
    const QString line = name.trimmed();
    if (line.isEmpty())
        return {};
    QStringList pieces;
    if (line.contains(u'\t')) {
        pieces = line.split(u'\t');
    } else {
        static const QRegularExpression wide(QStringLiteral("[ \\x{3000}]{2,}"));
        static const QRegularExpression single(QStringLiteral("[ \\x{3000}]+"));
        pieces = line.split(line.contains(wide) ? wide : single, Qt::SkipEmptyParts);
    }
    for (QString& piece : pieces)
        piece = piece.trimmed();
    return pieces;
}

QHash<QString, QString> goodsByPrize() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    const QString jp = QStringLiteral("JP");
    QHash<QString, QString> goods;
    for (int n = 1; n <= 8; ++n) {
        const QString prize = store.readString(jp, QStringLiteral("Name%1").arg(n), QString());
        const QString name = store.readString(jp, QStringLiteral("prizename%1").arg(n), QString());
        if (!prize.isEmpty() && !goods.contains(prize))
            goods.insert(prize, name);
    }
    return goods;
}

QList<Row> rows(const WinnerLists& lists, const QHash<QString, QString>& goods) {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    QList<Row> out;
    QString time;
    const QStringList& all = lists.all();
    for (int i = 0; i < all.size(); ++i) {
        const QString& line = all.at(i);
        if (WinnerLists::isHeaderLine(line)) {
            time = WinnerLists::headerTime(line);
            continue;
        }
        const QString name = lists.nameAt(i);
        if (name.trimmed().isEmpty())
            continue;
        const bool supplementary = WinnerLists::restoreLine(line).endsWith(WinnerLists::kSupplementaryMark);
        const bool cancelled = line.contains(WinnerLists::kCancelSuffix);
        const QString prize = lists.prizeAt(i);
        out.append({supplementary ? SupplementaryTimes::of(store, i, line) : time, prize, goods.value(prize),
                    splitEntrant(name),
                    cancelled       ? kCancelled
                    : supplementary ? kSupplementary
                                    : kWon});
    }
    return out;
}

QList<QStringList> table(const QList<Row>& rows, const QStringList& titles) {
    qsizetype columns = 1;
    for (const Row& row : rows)
        columns = std::max(columns, row.winner.size());
    QStringList header = kHeaderStart;
    for (qsizetype c = 1; c <= columns; ++c) {
        const QString title = titles.value(c - 1).trimmed();
        header << (!title.isEmpty() ? title
                   : c == 1         ? QStringLiteral("中奖人")
                                    : QStringLiteral("列%1").arg(c));
    }
    header << kStatusTitle;
    QList<QStringList> cells{header};
    cells.reserve(rows.size() + 1);
    for (const Row& row : rows) {
        QStringList line{row.time, row.prize, row.goods};
        line << row.winner;
        for (qsizetype c = row.winner.size(); c < columns; ++c)
            line << QString();
        line << row.status;
        cells << line;
    }
    return cells;
}

QString inertCell(const QString& cell) {
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!cell.isEmpty() && kFormulaStarts.contains(cell.front()))
        return u'\'' + cell;
    return cell;
}

QByteArray csv(const QList<QStringList>& table) {
    QString text;
    for (const QStringList& row : table) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += u',';
            const QString cell = inertCell(row.at(c));
            if (cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\n') || cell.contains(u'\r')) {
                text += u'"';
                text += QString(cell).replace(QLatin1String("\""), QLatin1String("\"\""));
                text += u'"';
            } else {
                text += cell;
            }
        }
        text += QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

void writeCsv(const QString& path, const QList<QStringList>& table) {
    AtomicFile::write(path, csv(table));
}

void writeXlsx(const QString& path, const QList<QStringList>& table) {
    // libxlsxwriter writes the workbook by name: into a new file beside the old one, which then takes
    // the old one's place whole. A folder the system's code page cannot name (Korean in a folder's name
    // on a Chinese Windows, on a volume without short names) gets the workbook's bytes made in the temp
    // folder instead.
    const QString temporary = AtomicFile::createTemporary(path);
    bool written = false;
    try {
        written = writeWorkbook(temporary, table);
    } catch (const QString& reason) {
        QFile::remove(temporary);
        throw OperationError::cannotCreate(path, reason);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    if (written) {
        AtomicFile::replaceWith(temporary, path);
    } else {
        QFile::remove(temporary);
        AtomicFile::write(path, workbookInTempFolder(path, table));
    }
}

} // namespace ResultsExport
