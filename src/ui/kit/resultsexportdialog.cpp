#include "resultsexportdialog.h"

#include "apppaths.h"
#include "clock.h"
#include "dialogs.h"
#include "functionunit.h"
#include "operationerror.h"
#include "sheettable.h"
#include "winnerlists.h"

#include <QFile>

namespace ResultsExport {

void run(const WinnerLists& lists, QWidget* owner) {
    const Dialogs::OwnerScope boxes(owner);
    const QList<Row> results = rows(lists, goodsByPrize());
    if (results.isEmpty()) {
        FunctionUnit::information(QStringLiteral("还没有中奖记录，没有可导出的内容。"));
        return;
    }
    QString filter = kXlsxFilter;
    // The name offered has no suffix: the format chosen in the dialog gives it.
    QString path = Dialogs::instance().saveFile(
        QStringLiteral("导出中奖名单"), kXlsxFilter + QStringLiteral(";;") + kCsvFilter, &filter,
        AppPaths::offeredFile(QStringLiteral("中奖名单"),
                              Clock::instance().now().toString(QStringLiteral("yyyyMMdd"))));
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
        const QList<QStringList> cells = table(results, SheetImport::keptColumnTitles());
        asCsv ? writeCsv(path, cells) : writeXlsx(path, cells);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    FunctionUnit::information(QStringLiteral("已导出 %1 条中奖记录到：%2").arg(results.size()).arg(path));
}

} // namespace ResultsExport
