#include "sheettable.h"

#include "csvreader.h"
#include "operationerror.h"
#include "textcodec.h"
#include "xlsxreader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
} // namespace

void SheetTable::addRow(QStringList cells) {
    if (cells.size() > kMaxColumns) {
        cells.resize(kMaxColumns);
        m_columnsCut = true;
    }
    while (!cells.isEmpty() && isBlank(cells.constLast()))
        cells.removeLast();
    if (cells.isEmpty())
        return;
    if (m_rows.size() >= kMaxRows)
        throw OperationError(QStringLiteral("表格“%1”超过 %2 行，没有导入。请把名单分成几个较小的文件，"
                                            "或另存为文本文件后用“导入抽奖名单”导入。")
                                 .arg(m_source)
                                 .arg(kMaxRows));
    m_columns = std::max(m_columns, static_cast<int>(cells.size()));
    m_rows.append(std::move(cells));
}

QString SheetTable::cell(int row, int column) const {
    if (row < 0 || row >= m_rows.size() || column < 0)
        return {};
    const QStringList& cells = m_rows.at(row);
    return column < cells.size() ? cells.at(column) : QString();
}

namespace SheetImport {

SheetTable readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OperationError::cannotOpen(path, file.errorString());
    const QByteArray start = file.peek(8);
    file.close();
    if (XlsxReader::isZip(start))
        return XlsxReader::read(path);
    if (XlsxReader::isCompoundDocument(start))
        throw XlsxReader::compoundDocumentError(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
        throw OperationError(
            QStringLiteral("无法读取表格文件“%1”：这不是 Excel 工作簿（.xlsx），文件可能已损坏。").arg(path));
    return CsvReader::readFile(path,
                               suffix == QLatin1String("txt") ? CsvReader::Kind::Text : CsvReader::Kind::Csv);
}

QString cellText(QStringView cell) {
    QString text = cell.toString();
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\t' || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    return text.trimmed();
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
    const QStringList& first = table.rows().constFirst();
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
            numbers += isNumber(table.cell(row, column));
        if (numbers * 2 > sample - 1)
            return true;
    }
    return false;
}

QList<int> defaultColumns(const SheetTable& table, bool header) {
    QList<bool> used(table.columnCount(), false);
    for (int row = header ? 1 : 0; row < table.rowCount(); ++row) {
        const QStringList& cells = table.rows().at(row);
        for (int column = 0; column < cells.size(); ++column)
            if (!isBlank(cells.at(column)))
                used[column] = true;
    }
    QList<int> columns;
    for (int column = 0; column < used.size(); ++column)
        if (used.at(column))
            columns << column;
    return columns;
}

QString columnTitle(const SheetTable& table, int column, bool header) {
    const QString title = header ? cellText(table.cell(0, column)) : QString();
    return title.isEmpty() ? QStringLiteral("第 %1 列").arg(column + 1) : title;
}

QStringList entrantLines(const SheetTable& table, const QList<int>& columns, bool header) {
    QStringList lines;
    lines.reserve(table.rowCount());
    for (int row = header ? 1 : 0; row < table.rowCount(); ++row) {
        const QStringList& cells = table.rows().at(row);
        QString line;
        for (const int column : columns) {
            if (column < 0 || column >= cells.size())
                continue;
            const QString text = cellText(cells.at(column));
            if (text.isEmpty())
                continue;
            if (!line.isEmpty())
                line += u' ';
            line += text;
        }
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

int linesOutsideGbk(const QStringList& lines) {
    // GB18030 gives GBK's two bytes for GBK's characters and four bytes (second byte a digit) for the
    // rest.
    int count = 0;
    for (const QString& line : lines) {
        const QByteArray bytes = TextCodec::toGbk(line);
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto lead = static_cast<unsigned char>(bytes.at(i));
            if (lead < 0x80)
                continue;
            if (i + 1 < bytes.size() && bytes.at(i + 1) >= '0' && bytes.at(i + 1) <= '9') {
                ++count;
                break;
            }
            ++i;
        }
    }
    return count;
}

} // namespace SheetImport
