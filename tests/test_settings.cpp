// The settings dialog: load, both saves, number fields, pictures, colours, list view, search, import.
#include "configstore.h"
#include "drive.h"
#include "entrantlist.h"
#include "setting.h"
#include "testenv.h"
#include "unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

namespace {
QString stored(const QString& section, const QString& key) {
    return ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
        .readString(section, key, QStringLiteral("<absent>"));
}
void type(QSpinBox* field, const QString& text) {
    field->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(field, text);
}
void click(QWidget& w, const QString& name) {
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsAndNumberFields();
    void prizeSave();
    void displaySaveColoursAndPictures();
    void import();
    void searchAndCaretLine();
    void longNamesHeadingsAndCount();
    void unsavedEditsAsk();
    void stageEffectsSaved();
};

void TestSettings::defaultsAndNumberFields() {
    TestEnv env;
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    // Space, the draw key the operator's hands know, does not close the dialog it has just opened.
    QApplication::setActiveWindow(&dialog);
    QTRY_VERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(dialog.isVisible());
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(child<QLineEdit>(dialog, QStringLiteral("Edit%1").arg(5 * n - 4))->text(), QString());
        QCOMPARE(child<QSpinBox>(dialog, QStringLiteral("SEdit%1").arg(3 * n - 2))->value(), 0);
        QCOMPARE(child<QSpinBox>(dialog, QStringLiteral("SEdit%1").arg(3 * n))->value(), 1);
    }
    QCOMPARE(child<QLineEdit>(dialog, "edt_title1")->text(), QStringLiteral("某某公司现场抽奖仪式"));
    QCOMPARE(child<QSpinBox>(dialog, "SpinEdit1")->value(), 48);
    QCOMPARE(child<QSpinBox>(dialog, "SpinEdit3")->value(), 22);

    // Typed: clamped, a non-integer is the lower bound (0 unbounded), letters refused, negatives kept.
    type(child<QSpinBox>(dialog, "SEdit3"), QStringLiteral("9"));
    type(child<QSpinBox>(dialog, "SEdit6"), QStringLiteral("1.5"));
    type(child<QSpinBox>(dialog, "SEdit1"), QStringLiteral("1.5"));
    type(child<QSpinBox>(dialog, "SEdit4"), QStringLiteral("4x"));
    type(child<QSpinBox>(dialog, "SEdit25"), QStringLiteral("-30"));
    click(dialog, "BitBtn1");
    QCOMPARE(stored("JP", "Col1"), QStringLiteral("6"));
    QCOMPARE(stored("JP", "Col2"), QStringLiteral("1"));
    QCOMPARE(stored("JP", "Num1"), QStringLiteral("0"));
    QCOMPARE(stored("JP", "Num2"), QStringLiteral("4"));
    QCOMPARE(stored("Setting", "Stoptime"), QStringLiteral("-30"));
}

void TestSettings::prizeSave() {
    TestEnv env;
    env.writeGbk("抽奖名单.txt",
                 QStringLiteral("甲\r\n乙\r\n丙\r\n丁\r\n戊\r\n己\r\n庚\r\n辛\r\n壬\r\n癸\r\n"));
    env.writeGbk("prize.db", QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=1\r\nName2=二等奖\r\nNum2=2\r\n"));
    TForm1 form;
    form.show();
    form.selectPosition(0);
    form.readstate();
    Tfsetting dialog(form);
    dialog.show();
    child<QLineEdit>(dialog, "Edit36")->setText(QStringLiteral("  "));
    child<QSpinBox>(dialog, "SEdit22")->setValue(5);
    child<QSpinBox>(dialog, "SEdit7")->setValue(2); // row 3: no name, quantity 2
    child<QSpinBox>(dialog, "SEdit8")->setValue(1);
    click(dialog, "BitBtn1");
    QCOMPARE(child<QSpinBox>(dialog, "SEdit22")->value(), 0);
    QCOMPARE(stored("JP", "Num8"), QStringLiteral("0"));
    QVERIFY(env.readFile("prize.db").contains("Name8=  \r\n"));
    auto* combo = child<QComboBox>(form, "ComboBox1");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(2), QString());
    QCOMPARE(form.currentPosition(), 2);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), QStringLiteral("进度 0 / 2 (每次抽1个)"));

    // While names roll a save would change the prize table under the draw: refused with its reason,
    // prize.db and the draw untouched.
    form.selectPosition(0);
    QCOMPARE(form.session().toggleDraw(), QString());
    const QByteArray before = env.readFile("prize.db");
    child<QSpinBox>(dialog, "SEdit1")->setValue(9);
    env.dialogs.clear();
    click(dialog, "BitBtn1");
    QCOMPARE(env.dialogs.texts(), QStringList{DrawSession::kRefusedSettings});
    QCOMPARE(env.readFile("prize.db"), before);
    QVERIFY(form.isRolling());
    QCOMPARE(form.currentPosition(), 0);
    form.session().toggleDraw();
    form.session().finishReveal();

    // A read-only store: the error box, and the rest of the save is abandoned.
    QFile::setPermissions(env.path("prize.db"), QFileDevice::ReadOwner);
    child<QSpinBox>(dialog, "SEdit1")->setValue(7);
    form.selectPosition(0);
    click(dialog, "BitBtn1");
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("Unable to write to ") + env.path("prize.db"));
    QCOMPARE(form.currentPosition(), 0);
    QCOMPARE(stored("JP", "Num1"), QStringLiteral("1"));
}

void TestSettings::displaySaveColoursAndPictures() {
    TestEnv env;
    env.writeGbk("抽奖名单.txt", QStringLiteral("甲\r\n"));
    env.writeGbk("prize.db", QStringLiteral("[Showpicture]\r\nPicture3=/nowhere.jpg\r\n[JP]\r\nNum1=1\r\n"));
    env.writeFile("p.bmp", QByteArray("BM"));
    TForm1 form;
    form.show();
    Tfsetting dialog(form);
    dialog.show();
    // A panel colour chosen and not saved is forgotten when the dialog opens again.
    env.dialogs.colors.enqueue(QColor(0x80, 0x40, 0x20));
    click(dialog, "SpeedButton3");
    QCOMPARE(dialog.pendingPanelColor(), QColor(0x80, 0x40, 0x20));
    dialog.close();
    dialog.show();
    click(dialog, "BitBtn2");
    QCOMPARE(stored("Setting", "Grid_color"), QStringLiteral("clRed"));

    // The font dialog gives the size (clamped), the colour dialog after it the font colour.
    QFont big;
    big.setPointSize(120);
    env.dialogs.fonts.enqueue(big);
    env.dialogs.colors.enqueue(QColor(0x20, 0x40, 0x80));
    env.dialogs.colors.enqueue(QColor(0, 0, 255));
    click(dialog, "SpeedButton2");
    click(dialog, "SpeedButton3");
    QCOMPARE(child<QSpinBox>(dialog, "SpinEdit3")->value(), 100);

    // Pictures are stored at once; a cancel removes one. The display save reloads but lays nothing out.
    env.dialogs.files.enqueue(env.path("p.bmp"));
    click(dialog, "sb1");
    click(dialog, "sb3");
    // Copied into the event folder and kept relative to it.
    QCOMPARE(stored("Showpicture", "Picture1"), QStringLiteral("图片/p.bmp"));
    QCOMPARE(env.readFile("图片/p.bmp"), env.readFile("p.bmp"));
    QVERIFY(env.readFile("prize.db").contains("Picture3=\r\n"));
    click(dialog, "BitBtn2");
    QCOMPARE(stored("Setting", "Grid_font_color"), QStringLiteral("$00804020"));
    QCOMPARE(stored("Setting", "Grid_color"), QStringLiteral("clBlue"));
    QCOMPARE(form.gridColor(), QColor(0, 0, 255));
    QCOMPARE(form.pictureMarks()[0], QStringLiteral("无"));
    QCOMPARE(child<QToolButton>(dialog, "sb1")->text(), QStringLiteral("有"));
    QCOMPARE(child<QToolButton>(dialog, "sb3")->text(), QStringLiteral("无"));
    click(dialog, "BitBtn1");
    QCOMPARE(form.pictureMarks()[0], QStringLiteral("有"));
}

void TestSettings::import() {
    TestEnv env;
    env.writeGbk("抽奖名单.txt", QStringLiteral("旧\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    const QString list = env.path("抽奖名单.txt");
    const auto importFile = [&](const QByteArray& bytes) {
        env.writeFile("in.txt", bytes);
        env.dialogs.files.enqueue(env.path("in.txt"));
        env.dialogs.clear();
        click(dialog, "btn_indata");
    };
    importFile("A\nB\nC\n");
    QCOMPARE(env.dialogs.texts(), (QStringList{QStringLiteral("重新导入抽奖名单，将会覆盖名单文件:") + list +
                                                   QStringLiteral("，要继续吗?"),
                                               QStringLiteral("资料导入成功！")}));
    QCOMPARE(env.readFile("抽奖名单.txt"), QByteArray("A\r\nB\r\nC\r\n"));
    QCOMPARE(form.model().pool.count(), 3);
    importFile("A\r\rB");
    QCOMPARE(env.readFile("抽奖名单.txt"), QByteArray("A\r\n\r\nB"));
    importFile(QStringLiteral("张三\n李四\n").toUtf8());
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("张三\r\n李四\r\n")));
    importFile("\xEF\xBB\xBF" + QStringLiteral("王五").toUtf8());
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("王五")));
    importFile(QByteArray());
    QCOMPARE(env.readFile("抽奖名单.txt"), QByteArray());
    QCOMPARE(form.model().pool.count(), 0);
    QByteArray binary;
    for (int i = 0; i < 1024; ++i)
        binary.append(char(i * 7));
    importFile(binary);
    // Written as chosen, it is no text: the draw screen refuses it and its pool is empty.
    QVERIFY(env.dialogs.texts().last().contains(QStringLiteral("不是文本文件")));
    QCOMPARE(env.dialogs.count(QStringLiteral("资料导入成功！")), 0);
    QCOMPARE(form.model().pool.count(), 0);
    // A GBK file keeps its bytes, also those that are no GBK character; only the breaks change.
    QByteArray crlf = binary;
    crlf.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n");
    QCOMPARE(env.readFile("抽奖名单.txt"), crlf);
    // A file larger than a spreadsheet import takes is refused before it is read (a sparse one here).
    const QByteArray before = env.readFile("抽奖名单.txt");
    {
        QFile huge(env.path("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(129LL * 1024 * 1024));
    }
    env.dialogs.files.enqueue(env.path("huge.txt"));
    env.dialogs.clear();
    click(dialog, "btn_indata");
    QVERIFY(env.dialogs.texts().last().contains(QStringLiteral("太大")));
    QCOMPARE(env.readFile("抽奖名单.txt"), before);
    importFile(gbk(QStringLiteral("卢梅\n")) + "\x80\xFE\xFF\n" + gbk(QStringLiteral("陆茂")));
    QCOMPARE(env.readFile("抽奖名单.txt"),
             gbk(QStringLiteral("卢梅\r\n")) + "\x80\xFE\xFF\r\n" + gbk(QStringLiteral("陆茂")));
    // GBK names that are valid UTF-8 too are GBK.
    importFile(gbk(QStringLiteral("卢梅\n陆茂\n鲁毛\n")));
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("卢梅\r\n陆茂\r\n鲁毛\r\n")));
    QCOMPARE(form.model().pool.name(2), QStringLiteral("鲁毛"));
    // Lines written as the list file: GBK, CR LF, the last break only when asked for.
    EntrantList::writeLines({QStringLiteral("甲"), QStringLiteral("乙")}, false);
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("甲\r\n乙")));
    EntrantList::writeLines({QStringLiteral("甲")});
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("甲\r\n")));

    // The list file itself: line breaks made CR LF, the GBK bytes otherwise kept.
    env.writeFile("抽奖名单.txt", gbk(QStringLiteral("甲\n乙\r丙\r\n")));
    env.dialogs.files.enqueue(list);
    click(dialog, "btn_indata");
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("甲\r\n乙\r\n丙\r\n")));
    QCOMPARE(form.model().pool.count(), 3);

    // No, or a cancelled file dialog: nothing written, no message.
    env.dialogs.clear();
    env.dialogs.answers.enqueue(false);
    click(dialog, "btn_indata");
    click(dialog, "btn_indata");
    QCOMPARE(env.dialogs.texts().size(), 2);
    QCOMPARE(env.readFile("抽奖名单.txt"), gbk(QStringLiteral("甲\r\n乙\r\n丙\r\n")));
}

void TestSettings::searchAndCaretLine() {
    TestEnv env;
    QString text =
        QStringLiteral("张三\r\nabc\r\n") + QString(300, QLatin1Char('x')) + QStringLiteral("\r\n");
    for (int i = 1; i <= 296; ++i)
        text += QStringLiteral("员工%1 ABC\r\n").arg(i);
    env.writeGbk("抽奖名单.txt",
                 text + QStringLiteral("the needle that is longer than thirty characters\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(2);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* memo = child<QPlainTextEdit>(dialog, "Memo1");
    auto* find = child<QLineEdit>(dialog, "fedit");
    const auto search = [&](const QString& what) {
        find->setText(what);
        click(dialog, "BitBtn5");
        return memo->textCursor();
    };
    QCOMPARE(search(QStringLiteral("ABC")).selectionStart(), 3);
    QCOMPARE(search(QStringLiteral("ABC")).selectedText(), QStringLiteral("ABC"));
    QCOMPARE(memo->textCursor().blockNumber(), 3);
    QCOMPARE(search(QStringLiteral("NEEDLE THAT IS LONGER THAN THIRTY")).selectedText(),
             QStringLiteral("needle that is longer than thirty"));
    env.dialogs.clear();
    QCOMPARE(search(QStringLiteral("XYZ")).selectedText(),
             QStringLiteral("needle that is longer than thirty"));
    // After a prize save the next search starts at the top; a blank before the text is no match.
    click(dialog, "BitBtn1");
    QVERIFY(!search(QStringLiteral(" 张三")).hasSelection());
    QCOMPARE(env.dialogs.texts(),
             (QStringList{QStringLiteral("\"xyz\" 没有找到。"), QStringLiteral("\" 张三\" 没有找到。")}));
    QCOMPARE(search(QStringLiteral("abc")).selectionStart(), 3);

    // The caret line: taken before a key moves the caret, counted in display lines (the long line
    // wraps), without the empty line after the final break.
    auto* panel = child<QLabel>(dialog, "StatusPanel0");
    QTextCursor fifth(memo->document()->findBlockByNumber(4));
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, memo->cursorRect(fifth).center());
    const QStringList parts = panel->text().split(QStringLiteral(" / "));
    QVERIFY2(parts.size() == 2 && parts[1].toInt() > 300, qPrintable(panel->text()));
    const QString total = parts[1];
    const int line = parts[0].toInt();
    QVERIFY(line > 5);
    QTest::keyClick(memo, Qt::Key_Down);
    QCOMPARE(panel->text(), QString::number(line) + QStringLiteral(" / ") + total);
    QTest::keyClick(memo, Qt::Key_Down);
    QCOMPARE(panel->text(), QString::number(line + 1) + QStringLiteral(" / ") + total);
    QCOMPARE(child<QLabel>(dialog, "StatusPanel1")->text(), env.path("抽奖名单.txt"));
}

void TestSettings::longNamesHeadingsAndCount() {
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=特别奖新能源车\r\nNum1=1\r\nprizename1=新能源汽车一辆\r\n"));
    QStringList entrants;
    for (int i = 0; i < 12; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants.join(QStringLiteral("\r\n")));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    for (const char* name : {"Edit1", "Edit5"}) {
        auto* field = child<QLineEdit>(dialog, QLatin1String(name));
        QCOMPARE(field->cursorPosition(), 0); // the start of the name is in view
        QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) + 8 <= field->width(), name);
    }
    // The selector on the draw screen holds the whole name too.
    auto* selector = child<QComboBox>(form, "ComboBox1");
    QVERIFY(selector->fontMetrics().horizontalAdvance(QStringLiteral("特别奖新能源车")) + 24 <=
            selector->width());

    // Every heading has room for its text, and none overlaps the next.
    QList<QLabel*> headings;
    for (QLabel* label : child<QWidget>(dialog, "TabSheet1")->findChildren<QLabel*>())
        if (label->y() < child<QWidget>(dialog, "Edit1")->y())
            headings << label;
    std::sort(headings.begin(), headings.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    QCOMPARE(headings.size(), 7);
    for (int i = 0; i < headings.size(); ++i) {
        QVERIFY2(headings[i]->width() >= headings[i]->sizeHint().width(), qPrintable(headings[i]->text()));
        if (i > 0)
            QVERIFY2(headings[i - 1]->geometry().right() < headings[i]->x(), qPrintable(headings[i]->text()));
    }
    QCOMPARE(child<QLabel>(dialog, "countPanel")->text(), QStringLiteral("已载入 12 人"));
    // The count follows the pool however it is loaded again (the spreadsheet import reloads it so).
    QString more;
    for (int i = 1; i <= 20; ++i)
        more += QStringLiteral("新人%1\r\n").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), more);
    QVERIFY(form.getdata());
    QCOMPARE(child<QLabel>(dialog, "countPanel")->text(), QStringLiteral("已载入 20 人"));
}

void TestSettings::unsavedEditsAsk() {
    TestEnv env;
    env.writeGbk("prize.db", QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=1\r\n"));
    env.writeGbk("抽奖名单.txt", QStringLiteral("员工1\r\n员工2\r\n员工3\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.clear();
    const QString prizesAsk = QStringLiteral("奖项设置有未保存的修改，是否保存？");
    const QString displayAsk = QStringLiteral("显示设置有未保存的修改，是否保存？");
    // Nothing typed: closing asks nothing.
    dialog.close();
    QVERIFY(!dialog.isVisible() && env.dialogs.boxes.isEmpty());

    // Prizes and titles typed; the rules and show pages show the prizes as typed, before any save,
    // greyed while not offered.
    dialog.show();
    QVERIFY(child<QLabel>(dialog, "showName1")->isEnabled() &&
            !child<QLabel>(dialog, "showName2")->isEnabled());
    child<QLineEdit>(dialog, "Edit6")->setText(QStringLiteral("二等奖"));
    child<QSpinBox>(dialog, "SEdit4")->setValue(5);
    child<QLineEdit>(dialog, "edt_title1")->setText(QStringLiteral("新标题"));
    QCOMPARE(child<QLabel>(dialog, "ruleName2")->text(), QStringLiteral("二等奖"));
    QVERIFY(child<QLabel>(dialog, "ruleName2")->isEnabled() &&
            child<QLabel>(dialog, "showName2")->isEnabled());

    // The rules page's save asks once about both other tabs; 取消 saves nothing at all.
    const QString bothAsk = QStringLiteral("以下页面有未保存的修改：奖项设置、显示设置。\n是否全部保存？");
    child<QLineEdit>(dialog, "ruleExcept1")->setText(QStringLiteral("员工1"));
    env.dialogs.choices << 2;
    click(dialog, "rulesSave");
    QCOMPARE(env.dialogs.texts(), QStringList{bothAsk});
    QCOMPARE(stored("JP", "Name2"), QStringLiteral("<absent>"));
    QCOMPARE(stored("Rules", "Except1"), QStringLiteral("<absent>"));
    // 不保存: the rules alone saved, the rest stays typed; 保存全部 saves it all.
    env.dialogs.clear();
    env.dialogs.choices << 1 << 0;
    click(dialog, "rulesSave");
    QVERIFY(env.readFile("prize.db").contains(gbk(QStringLiteral("员工1"))));
    QCOMPARE(stored("JP", "Name2"), QStringLiteral("<absent>"));
    QCOMPARE(child<QLineEdit>(dialog, "edt_title1")->text(), QStringLiteral("新标题"));
    child<QLineEdit>(dialog, "ruleExcept1")->setText(QStringLiteral("员工2"));
    click(dialog, "rulesSave");
    QCOMPARE(env.dialogs.texts(), (QStringList{bothAsk, bothAsk}));
    QCOMPARE(stored("JP", "Name2"), QStringLiteral("二等奖"));
    QCOMPARE(stored("JP", "Num2"), QStringLiteral("5"));
    QCOMPARE(stored("Setting", "Title1"), QStringLiteral("新标题"));

    // The close button: 取消 keeps the dialog open with the typing; 保存 saves, then it closes.
    child<QLineEdit>(dialog, "edt_title1")->setText(QStringLiteral("又一个标题"));
    env.dialogs.clear();
    env.dialogs.choices << 2;
    child<QToolButton>(dialog, "SpeedButton1")->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(env.dialogs.texts(), QStringList{displayAsk});
    env.dialogs.choices << 0;
    child<QToolButton>(dialog, "SpeedButton1")->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(stored("Setting", "Title1"), QStringLiteral("又一个标题"));

    // 不保存 closes and throws the typing away: the next showing loads what is saved.
    dialog.show();
    child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("改了"));
    env.dialogs.clear();
    env.dialogs.choices << 1;
    dialog.close();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(env.dialogs.texts(), QStringList{prizesAsk});
    dialog.show();
    QCOMPARE(child<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("一等奖"));
}

void TestSettings::stageEffectsSaved() {
    TestEnv env;
    env.writeGbk("prize.db", QStringLiteral("[JP]\r\nName1=特等奖\r\nNum1=1\r\n"));
    env.writeGbk("抽奖名单.txt", QStringLiteral("员工1\r\n员工2\r\n"));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    // Without the section every prize is shown at once, silently, on the ten lines.
    QCOMPARE(child<QComboBox>(dialog, "showReveal1")->currentText(), QStringLiteral("立即"));
    QVERIFY(!child<QCheckBox>(dialog, "showSound")->isChecked());
    QCOMPARE(child<QLabel>(dialog, "showName1")->text(), QStringLiteral("特等奖"));
    child<QComboBox>(dialog, "showReveal1")->setCurrentIndex(1);
    child<QCheckBox>(dialog, "showGrand1")->setChecked(true);
    child<QComboBox>(dialog, "showRoll1")->setCurrentIndex(1);
    child<QCheckBox>(dialog, "showSound")->setChecked(true);
    click(dialog, "showSave");
    QCOMPARE(stored("Stage", "Reveal1"), QStringLiteral("1"));
    QCOMPARE(stored("Stage", "Grand1"), QStringLiteral("1"));
    QCOMPARE(stored("Stage", "Roll1"), QStringLiteral("1"));
    QCOMPARE(stored("Stage", "Sound"), QStringLiteral("1"));
    // The draw screen takes them at once, and the dialog shows them when it opens again.
    QCOMPARE(form.model().show.prize(0).reveal, PrizeShow::Reveal::SlowStop);
    QVERIFY(form.model().show.prize(0).grand && form.model().show.sound);
    dialog.close();
    QVERIFY(env.dialogs.boxes.isEmpty());
    dialog.show();
    QCOMPARE(child<QComboBox>(dialog, "showRoll1")->currentText(), QStringLiteral("名字墙"));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
