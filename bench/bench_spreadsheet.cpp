// Spreadsheets: importing a 100,000-row xlsx beside unzipping and parsing (expat) its sheet and shared
// strings alone, and exporting 10,000 results beside saving the winners file of the same lines.
#include "apppaths.h"
#include "atomicfile.h"
#include "benchdata.h"
#include "entrantlist.h"
#include "resultsexport.h"
#include "sheettable.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr int kStaff = 100'000;
constexpr int kDraws = 100;
constexpr int kPerDraw = 100;

// A staff list: name, staff number (text, leading zeros), department and phone number.
QList<QStringList> staffTable() {
    static const QStringList kSurnames = {QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"),
                                          QStringLiteral("刘"), QStringLiteral("陈"), QStringLiteral("欧阳")};
    static const QStringList kDepartments = {QStringLiteral("销售部"), QStringLiteral("研发部"),
                                             QStringLiteral("财务部"), QStringLiteral("人力资源部")};
    QList<QStringList> rows{
        {QStringLiteral("姓名"), QStringLiteral("工号"), QStringLiteral("部门"), QStringLiteral("手机")}};
    for (int i = 0; i < kStaff; ++i)
        rows.append({kSurnames.at(i % kSurnames.size()) + QString::number(i, 36),
                     QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')),
                     kDepartments.at(i % kDepartments.size()), QString::number(13800000000LL + i)});
    return rows;
}

// Counts the cells (<c> elements) of the part being parsed.
void XMLCALL countCells(void* cells, const XML_Char* name, const XML_Char**) {
    const char* local = std::strrchr(name, ' ');
    *static_cast<qint64*>(cells) += std::strcmp(local ? local + 1 : name, "c") == 0;
}

// Unzips the sheet and its shared strings and parses them with expat, as the reader does, building
// nothing.
void unzipAndParse(const QString& path) {
    const unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        qFatal("cannot open the workbook");
    qint64 cells = 0;
    std::vector<char> buffer(256 * 1024);
    for (const char* name : {"xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"}) {
        if (unzLocateFile(zip, name, 0) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
            qFatal("cannot open %s", name);
        const XML_Parser parser = XML_ParserCreateNS(nullptr, ' ');
        XML_SetUserData(parser, &cells);
        XML_SetStartElementHandler(parser, countCells);
        int n = 0;
        do {
            n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (n < 0 || XML_Parse(parser, buffer.data(), n, n == 0) != XML_STATUS_OK)
                qFatal("%s did not parse", name);
        } while (n > 0);
        XML_ParserFree(parser);
        if (unzCloseCurrentFile(zip) != UNZ_OK)
            qFatal("%s did not unzip", name);
    }
    unzClose(zip);
    if (cells < kStaff)
        qFatal("the sheet did not parse");
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    BenchData::NoBoxes noBoxes;
    QTemporaryDir dir;
    AppPaths::setFolder(dir.path());

    const QString staff = dir.filePath(QStringLiteral("staff.xlsx"));
    ResultsExport::writeXlsx(staff, staffTable());
    std::printf("staff.xlsx: %d rows of 4 columns, %lld bytes\n", kStaff,
                static_cast<long long>(QFile(staff).size()));

    const BenchData::Figures parse = BenchData::measure(7, [&] { unzipAndParse(staff); });
    BenchData::report(QStringLiteral("  baseline: unzip + parse sheet and strings"), parse);
    const BenchData::Figures read = BenchData::measure(7, [&] {
        const SheetTable table = SheetImport::readFile(staff);
        if (table.rowCount() != kStaff + 1)
            qFatal("rows lost");
    });
    BenchData::report(QStringLiteral("  read as a table (XlsxReader)"), read, &parse);
    const BenchData::Figures import = BenchData::measure(7, [&] {
        const SheetTable table = SheetImport::readFile(staff);
        const bool header = SheetImport::looksLikeHeader(table);
        const QStringList lines =
            SheetImport::entrantLines(table, SheetImport::defaultColumns(table, header), header);
        if (lines.size() != kStaff)
            qFatal("entrants lost");
        EntrantList::writeLines(lines);
    });
    BenchData::report(QStringLiteral("  import: table, lines, 抽奖名单.txt written"), import, &parse);

    // An event of 100 draws of 100 winners.
    WinnerLists lists;
    lists.setPrizeNames({QStringLiteral("一等奖")});
    const QDateTime when(QDate(2025, 1, 18), QTime(20, 0));
    for (int d = 0; d < kDraws; ++d) {
        lists.appendAll(WinnerLists::headerLine(kPerDraw, QStringLiteral("一等奖"), when.addSecs(60 * d)));
        for (int w = 0; w < kPerDraw; ++w)
            lists.appendAll(WinnerLists::winnerLine(
                QStringLiteral("一等奖"),
                QStringLiteral("张%1 %2 销售部").arg(d * kPerDraw + w).arg(w, 6, 10, QLatin1Char('0'))));
    }
    std::printf("results: %d\n", kDraws * kPerDraw);
    const BenchData::Figures save = BenchData::measure(
        9, [&] { AtomicFile::write(AppPaths::file(AppPaths::kWinners), TextFiles::joinCrLf(lists.all())); });
    BenchData::report(QStringLiteral("  baseline: save 中奖名单.txt of the same lines"), save);
    const QHash<QString, QString> goods = ResultsExport::goodsByPrize();
    const BenchData::Figures xlsx = BenchData::measure(9, [&] {
        ResultsExport::writeXlsx(dir.filePath(QStringLiteral("results.xlsx")),
                                 ResultsExport::table(ResultsExport::rows(lists, goods)));
    });
    BenchData::report(QStringLiteral("  export 10,000 results as xlsx"), xlsx, &save);
    const BenchData::Figures csv = BenchData::measure(9, [&] {
        ResultsExport::writeCsv(dir.filePath(QStringLiteral("results.csv")),
                                ResultsExport::table(ResultsExport::rows(lists, goods)));
    });
    BenchData::report(QStringLiteral("  export 10,000 results as csv"), csv, &save);
    return 0;
}
