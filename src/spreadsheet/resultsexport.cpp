#include "resultsexport.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "configstore.h"
#include "dialogs.h"
#include "functionunit.h"
#include "operationerror.h"
#include "sheetwriter.h"
#include "winnerlists.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {
const QStringList kHeaderStart = {QStringLiteral("时间"), QStringLiteral("奖项"), QStringLiteral("奖品")};
const QString kStatusTitle = QStringLiteral("状态");

// The date and time that ends a header line ("yyyy-MM-dd hh:mm:ss"), or nothing.
QString headerTime(const QString& line) {
    const QString bare = WinnerLists::restoreLine(line);
    constexpr qsizetype kStamp = 19;
    if (bare.size() < kStamp)
        return {};
    const QString stamp = bare.right(kStamp);
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid() ? stamp : QString();
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
    QList<Row> out;
    QString time;
    const QStringList& all = lists.all();
    for (int i = 0; i < all.size(); ++i) {
        const QString& line = all.at(i);
        if (WinnerLists::isHeaderLine(line)) {
            time = headerTime(line);
            continue;
        }
        const QString name = lists.nameAt(i);
        if (name.trimmed().isEmpty())
            continue;
        const bool supplementary = WinnerLists::restoreLine(line).endsWith(WinnerLists::kSupplementaryMark);
        const bool cancelled = line.contains(WinnerLists::kCancelSuffix);
        const QString prize = lists.prizeAt(i);
        out.append({supplementary ? QString() : time, prize, goods.value(prize), splitEntrant(name),
                    cancelled       ? kCancelled
                    : supplementary ? kSupplementary
                                    : kWon});
    }
    return out;
}

QList<QStringList> table(const QList<Row>& rows) {
    qsizetype columns = 1;
    for (const Row& row : rows)
        columns = std::max(columns, row.winner.size());
    QStringList header = kHeaderStart;
    header << QStringLiteral("中奖人");
    for (qsizetype c = 2; c <= columns; ++c)
        header << QStringLiteral("列%1").arg(c);
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

QByteArray csv(const QList<QStringList>& table) {
    QString text;
    for (const QStringList& row : table) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += u',';
            const QString& cell = row.at(c);
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
    AtomicFile::write(path, XlsxWriter::workbook(QStringLiteral("中奖名单"), table));
}

void run(const WinnerLists& lists) {
    const QList<Row> results = rows(lists, goodsByPrize());
    if (results.isEmpty()) {
        FunctionUnit::information(QStringLiteral("还没有中奖记录，没有可导出的内容。"));
        return;
    }
    QString filter = kXlsxFilter;
    QString path = Dialogs::instance().saveFile(QStringLiteral("导出中奖名单"),
                                                kXlsxFilter + QStringLiteral(";;") + kCsvFilter, &filter);
    if (path.isEmpty())
        return;
    const QString lower = path.toLower();
    bool asCsv = lower.endsWith(QLatin1String(".csv"));
    if (!asCsv && !lower.endsWith(QLatin1String(".xlsx"))) {
        asCsv = filter == kCsvFilter;
        path += asCsv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
        // The dialog asked about the name as typed, not about the one with its suffix.
        if (QFile::exists(path) &&
            !FunctionUnit::confirm(QStringLiteral("“%1”已存在，要替换它吗?").arg(path)))
            return;
    }
    try {
        const QList<QStringList> cells = table(results);
        asCsv ? writeCsv(path, cells) : writeXlsx(path, cells);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    FunctionUnit::information(QStringLiteral("已导出 %1 条中奖记录到：%2").arg(results.size()).arg(path));
}

} // namespace ResultsExport
