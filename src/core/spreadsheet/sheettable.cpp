#include "sheettable.h"

#include "apppaths.h"
#include "configstore.h"

#include "csvreader.h"
#include "operationerror.h"
#include "textcodec.h"
#include "xlsxreader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>
#include <vector>

namespace {
bool isBlank(QStringView text) {
    return text.trimmed().isEmpty();
}

// Titles people give the columns of a staff list.
bool isKnownTitle(const QString& cell) {
    static const QStringList kContains = {
        QStringLiteral("姓名"), QStringLiteral("名字"),   QStringLiteral("名称"), QStringLiteral("工号"),
        QStringLiteral("编号"), QStringLiteral("序号"),   QStringLiteral("部门"), QStringLiteral("部門"),
        QStringLiteral("单位"), QStringLiteral("科室"),   QStringLiteral("手机"), QStringLiteral("电话"),
        QStringLiteral("電話"), QStringLiteral("联系"),   QStringLiteral("职位"), QStringLiteral("岗位"),
        QStringLiteral("职务"), QStringLiteral("邮箱"),   QStringLiteral("性别"), QStringLiteral("员工"),
        QStringLiteral("奖项"), QStringLiteral("奖品"),   QStringLiteral("中奖"), QStringLiteral("状态"),
        QStringLiteral("时间"), QStringLiteral("分公司"), QStringLiteral("组别")};
    static const QStringList kEquals = {
        QStringLiteral("name"),     QStringLiteral("id"),          QStringLiteral("no"),
        QStringLiteral("no."),      QStringLiteral("staff"),       QStringLiteral("number"),
        QStringLiteral("dept"),     QStringLiteral("department"),  QStringLiteral("phone"),
        QStringLiteral("mobile"),   QStringLiteral("email"),       QStringLiteral("employee"),
        QStringLiteral("staff id"), QStringLiteral("employee id"), QStringLiteral("full name")};
    const QString text = cell.trimmed().toLower();
    if (kEquals.contains(text))
        return true;
    return std::any_of(kContains.begin(), kContains.end(),
                       [&](const QString& title) { return text.contains(title); });
}

// Which characters of the Basic Multilingual Plane GBK has no code for: GB18030 gives GBK's one or two
// bytes for GBK's characters and four bytes (second byte a digit) for the rest. Made once, from one
// encoding of the whole plane.
const std::vector<bool>& outsideGbkTable() {
    static const std::vector<bool> table = [] {
        QString plane;
        plane.reserve(0x10000);
        for (char32_t c = 0; c < 0x10000; ++c)
            plane += QChar::isSurrogate(c) ? QChar(u'?') : QChar(static_cast<char16_t>(c));
        const QByteArray bytes = TextCodec::toGbk(plane);
        std::vector<bool> outside(0x10000, false);
        qsizetype at = 0;
        for (char32_t c = 0; c < 0x10000 && at < bytes.size(); ++c) {
            const auto lead = static_cast<unsigned char>(bytes.at(at));
            if (lead < 0x80) {
                ++at;
            } else if (at + 1 < bytes.size() && bytes.at(at + 1) >= '0' && bytes.at(at + 1) <= '9') {
                outside[c] = true;
                at += 4;
            } else {
                at += 2;
            }
        }
        return outside;
    }();
    return table;
}

// Whether the cell's text in an entrant line holds a character outside GBK; a character beyond the
// plane (a surrogate pair) always is.
bool hasOutsideGbk(QStringView cell) {
    const std::vector<bool>& outside = outsideGbkTable();
    for (const QChar c : cell.trimmed())
        if (c.isSurrogate() || (outside[c.unicode()] && c != QChar(0x2028) && c != QChar(0x2029)))
            return true;
    return false;
}
} // namespace

void PackedTexts::append(QStringView text) {
    m_text += text;
    m_ends.append(static_cast<quint32>(m_text.size()));
}

QStringView PackedTexts::at(qsizetype i) const {
    const qsizetype start = i == 0 ? 0 : m_ends.at(i - 1);
    return QStringView(m_text).sliced(start, m_ends.at(i) - start);
}

void SheetTable::setCell(int column, QString text) {
    if (column < 0)
        return;
    if (column >= m_limits.maxColumns) {
        m_columnsCut = true;
        return;
    }
    if (text.size() > m_limits.maxCellChars)
        throw SheetErrors::cellTooLong(m_source, m_limits);
    if (m_pending.size() <= column)
        m_pending.resize(column + 1);
    m_pending[column] = std::move(text);
    if (column < m_pendingMarks.size())
        m_pendingMarks[column] = 0;
}

void SheetTable::setFormulaWithoutValue(int column) {
    setCell(column, QString());
    if (column >= 0 && column < m_limits.maxColumns) {
        if (m_pendingMarks.size() <= column)
            m_pendingMarks.resize(column + 1, 0);
        m_pendingMarks[column] = kWithoutValue;
    }
}

void SheetTable::setErrorValue(int column, QString text) {
    setCell(column, std::move(text));
    if (column >= 0 && column < m_limits.maxColumns) {
        if (m_pendingMarks.size() <= column)
            m_pendingMarks.resize(column + 1, 0);
        m_pendingMarks[column] = kErrorValue;
    }
}

void SheetTable::endRow() {
    QStringList cells = std::exchange(m_pending, QStringList());
    QByteArray marks = std::exchange(m_pendingMarks, QByteArray());
    const int number = std::exchange(m_pendingNumber, 0);
    m_lastNumber = number > 0 ? number : m_lastNumber + 1;
    marks.resize(cells.size(), 0);
    // A blank cell goes from the row's end unless its text is unknown.
    while (!cells.isEmpty() && isBlank(cells.constLast()) && marks.at(cells.size() - 1) == 0)
        cells.removeLast();
    if (cells.isEmpty())
        return;
    if (rowCount() >= m_limits.maxRows)
        throw SheetErrors::tooManyRows(m_source, m_limits);
    if (m_cells.size() + cells.size() > m_limits.maxCells)
        throw SheetErrors::tooManyCells(m_source, m_limits);
    qsizetype chars = m_cells.chars();
    for (const QString& cell : cells)
        chars += cell.size();
    if (chars > m_limits.maxChars)
        throw SheetErrors::tooMuchText(m_source, m_limits);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QString& cell = cells.at(i);
        m_cells.append(cell);
        m_flags.append(static_cast<char>((isBlank(cell) ? 0 : kHasText) |
                                         (hasOutsideGbk(cell) ? kOutsideGbk : 0) | marks.at(i)));
    }
    m_rowStarts.append(static_cast<quint32>(m_cells.size()));
    m_rowNumbers.append(static_cast<quint32>(m_lastNumber));
    m_columns = std::max(m_columns, static_cast<int>(cells.size()));
}

void SheetTable::addRow(const QStringList& cells) {
    for (qsizetype column = 0; column < cells.size(); ++column)
        setCell(static_cast<int>(column), cells.at(column));
    endRow();
}

QStringView SheetTable::cellView(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    const qsizetype first = m_rowStarts.at(row);
    if (column >= m_rowStarts.at(row + 1) - first)
        return {};
    return m_cells.at(first + column);
}

char SheetTable::flags(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return 0;
    const qsizetype first = m_rowStarts.at(row);
    return column < m_rowStarts.at(row + 1) - first ? m_flags.at(first + column) : 0;
}

int SheetTable::rowNumber(int row) const {
    return row >= 0 && row < m_rowNumbers.size() ? static_cast<int>(m_rowNumbers.at(row)) : 0;
}

QString SheetTable::cellReference(int row, int column) const {
    // Columns are lettered A..Z, AA..ZZ, AAA...
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters + QString::number(rowNumber(row));
}

QStringList SheetTable::row(int row) const {
    QStringList cells;
    if (row < 0 || row >= rowCount())
        return cells;
    for (qsizetype i = m_rowStarts.at(row); i < m_rowStarts.at(row + 1); ++i)
        cells << m_cells.at(i).toString();
    return cells;
}

QList<QStringList> SheetTable::rows() const {
    QList<QStringList> all;
    for (int r = 0; r < rowCount(); ++r)
        all << row(r);
    return all;
}

namespace SheetImport {

SheetTable readFile(const QString& path, const SheetLimits& limits, ReadControl* control) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OperationError::cannotOpen(path, file.errorString());
    const QByteArray start = file.peek(8);
    file.close();
    if (XlsxReader::isZip(start))
        return XlsxReader::read(path, limits, control);
    if (XlsxReader::isCompoundDocument(start))
        throw XlsxReader::compoundDocumentError(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
        throw OperationError(
            QStringLiteral("无法读取表格文件“%1”：这不是 Excel 工作簿（.xlsx），文件可能已损坏。").arg(path));
    return CsvReader::readFile(
        path, suffix == QLatin1String("txt") ? CsvReader::Kind::Text : CsvReader::Kind::Csv, limits, control);
}

QString cellText(QStringView cell) {
    QString text = cell.trimmed().toString();
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\t' || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    return text;
}

bool isNumber(QStringView text) {
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    (void)t.toDouble(&ok);
    return ok;
}

bool looksLikeHeader(const SheetTable& table) {
    if (table.rowCount() < 2)
        return false;
    const QStringList first = table.row(0);
    if (std::any_of(first.begin(), first.end(), [](const QString& cell) { return isKnownTitle(cell); }))
        return true;
    // Only texts on top, while below them a column holds mostly numbers.
    if (std::any_of(first.begin(), first.end(), [](const QString& cell) { return isNumber(cell); }))
        return false;
    const int sample = std::min(table.rowCount(), 21);
    for (int column = 0; column < first.size(); ++column) {
        if (isBlank(first.at(column)))
            continue;
        int numbers = 0;
        for (int row = 1; row < sample; ++row)
            numbers += isNumber(table.cellView(row, column));
        if (numbers * 2 > sample - 1)
            return true;
    }
    return false;
}

QList<int> defaultColumns(const SheetTable& table, bool header) {
    QList<bool> used(table.columnCount(), false);
    for (int row = header ? 1 : 0; row < table.rowCount(); ++row)
        for (int column = 0; column < table.columnCount(); ++column)
            if (!used.at(column) && (table.hasText(row, column) || table.withoutValue(row, column)))
                used[column] = true;
    QList<int> columns;
    for (int column = 0; column < used.size(); ++column)
        if (used.at(column))
            columns << column;
    return columns;
}

namespace {
// The entrant line of a row: the texts of the columns joined with one blank.
QString lineOf(const SheetTable& table, int row, const QList<int>& columns) {
    QString line;
    for (const int column : columns) {
        const QString text = cellText(table.cellView(row, column));
        if (text.isEmpty())
            continue;
        if (!line.isEmpty())
            line += u' ';
        line += text;
    }
    return line;
}
} // namespace

QString columnTitle(const SheetTable& table, int column, bool header) {
    const QString title = header ? cellText(table.cellView(0, column)) : QString();
    return title.isEmpty() ? QStringLiteral("第 %1 列").arg(column + 1) : title;
}

namespace {
// Why a row gives no entrant line, if it does not: the first of its chosen cells whose text is not
// known, else of those holding an error value, else no text in any of them.
enum class Skip { None, WithoutValue, ErrorValue, Blank };
std::pair<Skip, int> skipOf(const SheetTable& table, int row, const QList<int>& columns) {
    bool text = false;
    int error = -1;
    for (const int column : columns) {
        if (table.withoutValue(row, column))
            return {Skip::WithoutValue, column};
        if (error < 0 && table.errorValue(row, column))
            error = column;
        text = text || table.hasText(row, column);
    }
    if (error >= 0)
        return {Skip::ErrorValue, error};
    return {text ? Skip::None : Skip::Blank, -1};
}
} // namespace

QStringList entrantLines(const SheetTable& table, const QList<int>& columns, bool header) {
    QStringList lines;
    lines.reserve(table.rowCount());
    for (int row = header ? 1 : 0; row < table.rowCount(); ++row)
        if (skipOf(table, row, columns).first == Skip::None)
            lines << lineOf(table, row, columns);
    return lines;
}

LinesSummary summarize(const SheetTable& table, const QList<int>& columns, bool header) {
    LinesSummary summary;
    for (int row = header ? 1 : 0; row < table.rowCount(); ++row) {
        const auto [skip, column] = skipOf(table, row, columns);
        if (skip == Skip::Blank)
            ++summary.blank;
        if (skip == Skip::WithoutValue && summary.withoutValue++ < LinesSummary::kNamedCells)
            summary.withoutValueCells << table.cellReference(row, column);
        if (skip == Skip::ErrorValue && summary.errorValue++ < LinesSummary::kNamedCells)
            summary.errorValueCells << table.cellReference(row, column);
        if (skip != Skip::None)
            continue;
        bool outside = false;
        for (const int c : columns)
            outside = outside || table.outsideGbk(row, c);
        if (summary.count++ == 0)
            summary.first = lineOf(table, row, columns);
        summary.outsideGbk += outside;
    }
    return summary;
}

} // namespace SheetImport

namespace SheetImport {

namespace {
const QString kEntrantsSection = QStringLiteral("Entrants");
const QString kColumnsKey = QStringLiteral("Columns");
} // namespace

QStringList chosenTitles(const SheetTable& table, const QList<int>& columns, bool header) {
    QStringList titles;
    if (!header)
        return titles;
    for (int column : columns)
        titles << cellText(table.cellView(0, column)).remove(u'\t');
    return titles;
}

void keepColumnTitles(const QStringList& titles) {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    const QString value = titles.join(u'\t');
    if (store.readString(kEntrantsSection, kColumnsKey, QString()) != value)
        store.writeString(kEntrantsSection, kColumnsKey, value);
}

QStringList keptColumnTitles() {
    const QString value =
        ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readString(kEntrantsSection, kColumnsKey, QString());
    return value.isEmpty() ? QStringList() : value.split(u'\t');
}

} // namespace SheetImport
