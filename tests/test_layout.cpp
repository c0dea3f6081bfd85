// The draw screen on a projector: the geometry pass, display modes, pictures, background and menu.
#include "configstore.h"
#include "drive.h"
#include "lotteryapp.h"
#include "qttranslations.h"
#include "screengeometry.h"
#include "testenv.h"
#include "unit1.h"
#include "winnercelldelegate.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

namespace {
QString picture(const TestEnv& env, const QString& name) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    const QString path = env.path(name);
    image.save(path, "JPG");
    return path;
}
} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void geometryOfAFullHdScreen();
    void appliedToTheWindowWithPictures();
    void smallWindowsKeepPicturesAtZero();
    void displayModesStoreAndMoveNothing();
    void laidOutWhereTheWindowEnds();
    void backgroundAndHelp();
    void menuOrder();
    void winnerCellsFitOneLine();
    void qtTextsInChinese();
};

void TestLayout::geometryOfAFullHdScreen() {
    const ScreenGeometry g = ScreenGeometry::compute(1920, 1080, 0, 3);
    QCOMPARE(g.bar, QRect(0, 971, 1917, 61));
    QCOMPARE(g.panel2, QRect(0, 197, 1917, 776));
    QCOMPARE(g.label1.top(), 163);
    QCOMPARE(g.title1, QRect(0, 0, 1917, 79));
    QCOMPARE(g.title2, QRect(0, 80, 1917, 82));
    QCOMPARE(g.closeButtonLeft, 1888);
    QCOMPARE(g.panel1.left(), 600);
    const int lefts[4] = {105, 539, 973, 1407};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(g.pictures[i].size(), QSize(404, 288));
        QCOMPARE(g.pictures[i].left(), lefts[i % 4]);
        QCOMPARE(g.pictures[i].top(), i < 4 ? 325 : 643);
    }
    // A framed window on a 1366 x 768 screen hangs its frame off the screen's left edge.
    const ScreenGeometry framed = ScreenGeometry::compute(1382, 744, -8, 8);
    QCOMPARE(framed.title1, QRect(-8, 0, 1374, 79));
    QCOMPARE(framed.bar.top(), 744 - 61 - 48);
    QCOMPARE(framed.panel2.height(), framed.bar.top() - 80 - 82 - 33);
    QCOMPARE(framed.panel2.bottom() + 1, framed.bar.top() + 2);
}

void TestLayout::appliedToTheWindowWithPictures() {
    TestEnv env;
    const QString p1 = picture(env, QStringLiteral("p1.jpg"));
    const QString p2 = picture(env, QStringLiteral("p2.jpg"));
    const QString p6 = picture(env, QStringLiteral("p6.jpg"));
    env.writeGbk(
        QStringLiteral("prize.db"),
        QStringLiteral("[Showpicture]\r\nPicture1=%1\r\nPicture2=%2\r\nPicture6=%3\r\nPicture4=%4\r\n")
            .arg(p1, p2, p6, env.path(QStringLiteral("gone.jpg"))));
    TForm1 form;
    form.setGeometry(0, 0, 1920, 1080);
    form.show();
    form.getscreensize();
    form.readstate();
    QCOMPARE(child<QWidget>(form, "RzPanel1")->geometry(), QRect(0, 971, 1917, 61));
    QCOMPARE(child<QWidget>(form, "Panel2")->geometry(), QRect(0, 197, 1917, 776));
    QCOMPARE(child<QWidget>(form, "Memo3")->geometry(), QRect(0, 197, 1917, 776));
    QCOMPARE(child<QWidget>(form, "Label1")->geometry(), QRect(0, 163, 1917, 33));
    QCOMPARE(child<QWidget>(form, "sb_close")->x(), 1888);
    QCOMPARE(child<QWidget>(form, "Panel1")->x(), 600);
    QCOMPARE(child<QWidget>(form, "pict6")->geometry(), QRect(539, 643, 404, 288));
    QCOMPARE(form.pictureMarks(),
             (QStringList{QStringLiteral("有"), QStringLiteral("有"), QStringLiteral("无"),
                          QStringLiteral("无"), QStringLiteral("无"), QStringLiteral("有"),
                          QStringLiteral("无"), QStringLiteral("无")}));
    for (int i = 1; i <= 8; ++i) {
        auto* box = child<QLabel>(form, qPrintable(QStringLiteral("pict%1").arg(i)));
        const bool shown = i == 1 || i == 2 || i == 6;
        QCOMPARE(box->isVisible(), shown);
        QCOMPARE(!box->pixmap().isNull(), shown);
    }
    // A picture replaced on disk shows its new content at the next refresh; a deleted one goes.
    QImage bigger(80, 60, QImage::Format_RGB32);
    bigger.fill(Qt::blue);
    QVERIFY(bigger.save(p1, "JPG"));
    QFile replaced(p1);
    QVERIFY(replaced.open(QIODevice::ReadWrite));
    QVERIFY(replaced.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    replaced.close();
    QFile::remove(p2);
    form.readstate();
    QCOMPARE(child<QLabel>(form, "pict1")->pixmap().size(), QSize(80, 60));
    QVERIFY(child<QLabel>(form, "pict2")->pixmap().isNull());
}

void TestLayout::smallWindowsKeepPicturesAtZero() {
    const ScreenGeometry g = ScreenGeometry::compute(280, 300, 0, 3);
    for (const QRect& box : g.pictures) {
        QVERIFY(box.width() >= 0 && box.height() >= 0);
        QCOMPARE(box.size(), QSize(0, 0));
    }
    QCOMPARE(g.panel2.height(), 300 - 61 - 48 - 80 - 82 - 33);
}

void TestLayout::displayModesStoreAndMoveNothing() {
    TestEnv env;
    TForm1 form;
    form.setGeometry(0, 0, 1280, 720);
    form.show();
    form.getscreensize();
    const QRect bar = child<QWidget>(form, "RzPanel1")->geometry();
    const QRect panel = child<QWidget>(form, "Panel2")->geometry();
    child<QAction>(form, "N7")->trigger();
    QVERIFY(!form.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(form.isVisible());
    const ConfigStore store(env.path(QStringLiteral("prize.db")));
    QCOMPARE(store.readBool(QStringLiteral("Setting"), QStringLiteral("FullScreen"), true), false);
    QCOMPARE(child<QWidget>(form, "RzPanel1")->geometry(), bar);
    QCOMPARE(child<QWidget>(form, "Panel2")->geometry(), panel);
    // The allowance stays the one of the start (3, borderless) for the next layout pass.
    form.getscreensize();
    QCOMPARE(child<QWidget>(form, "RzPanel1")->width(), form.frameGeometry().width() - 3);
    child<QAction>(form, "N6")->trigger();
    QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(ConfigStore(env.path(QStringLiteral("prize.db")))
                .readBool(QStringLiteral("Setting"), QStringLiteral("FullScreen"), false));

    // The framed mode starts with the allowance 8.
    child<QAction>(form, "N7")->trigger();
    TForm1 framed;
    QVERIFY(!framed.model().fullScreen);
    framed.setGeometry(0, 0, 1280, 720);
    framed.show();
    framed.getscreensize();
    QCOMPARE(child<QWidget>(framed, "title1")->width(), framed.frameGeometry().width() - 8);
}

void TestLayout::laidOutWhereTheWindowEnds() {
    // Wine makes the window a third of the screen to the right, grows it to the screen's size there
    // and only then moves it to the corner: the stage follows it there instead of starting at x = 640.
    TestEnv env;
    TForm1 form;
    const QRect available = form.screen()->availableGeometry();
    const QPoint made = available.topLeft() + QPoint(available.width() / 3, 0);
    form.setGeometry(QRect(made, QSize(available.width() / 3, available.height() / 2)));
    form.show();
    form.resize(available.size());
    form.move(available.topLeft());
    const int left = form.frameGeometry().x() - form.screen()->geometry().x();
    for (const char* name : {"title1", "title2", "RzPanel1", "Panel2", "Memo3"})
        QCOMPARE(child<QWidget>(form, name)->x(), left);
    QCOMPARE(child<QWidget>(form, "title1")->width(), form.frameGeometry().width() - 3);
}

void TestLayout::backgroundAndHelp() {
    TestEnv env;
    TForm1 form;
    form.show();
    // Cancelled: nothing changes. A file that is no picture: its error, nothing stored.
    child<QAction>(form, "N8")->trigger();
    QVERIFY(!env.exists(QStringLiteral("prize.db")));
    env.writeFile(QStringLiteral("notes.jpg"), "not a picture");
    env.dialogs.files.enqueue(env.path(QStringLiteral("notes.jpg")));
    child<QAction>(form, "N8")->trigger();
    QCOMPARE(env.dialogs.boxes.last().kind, QStringLiteral("message"));
    QVERIFY(env.dialogs.boxes.last().text.contains(QStringLiteral("notes.jpg")));
    // The reason in the operator's words, not the image reader's English.
    QVERIFY2(env.dialogs.boxes.last().text.endsWith(
                 QStringLiteral("\n不是可以显示的图片（可用 jpg、bmp、ico、png）")),
             qPrintable(env.dialogs.boxes.last().text));
    env.dialogs.files.enqueue(env.path(QStringLiteral("gone.png")));
    child<QAction>(form, "N8")->trigger();
    QVERIFY(env.dialogs.boxes.last().text.endsWith(QStringLiteral("gone.png\n文件不存在")));
    QVERIFY(!env.exists(QStringLiteral("prize.db")));
    const QString good = picture(env, QStringLiteral("stage.jpg"));
    env.dialogs.files.enqueue(good);
    child<QAction>(form, "N8")->trigger();
    // The picture travels with the event: copied into its folder and stored by a relative path.
    QCOMPARE(ConfigStore(env.path(QStringLiteral("prize.db")))
                 .readString(QStringLiteral("Setting"), QStringLiteral("Picture"), QString()),
             QStringLiteral("图片/stage.jpg"));
    QCOMPARE(env.readFile(QStringLiteral("图片/stage.jpg")), env.readFile(QStringLiteral("stage.jpg")));

    // Help opens lottery.chm when it is there (else the built-in help, no box).
    LotteryApp app;
    env.dialogs.clear();
    child<QAction>(app.form1(), "N11")->trigger();
    QVERIFY(env.dialogs.boxes.isEmpty());
    env.writeFile(QStringLiteral("lottery.chm"), "ITSF");
    child<QAction>(app.form1(), "N11")->trigger();
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QCOMPARE(env.dialogs.boxes[0].kind, QStringLiteral("open"));
    QCOMPARE(env.dialogs.boxes[0].text, env.path(QStringLiteral("lottery.chm")));
}

void TestLayout::menuOrder() {
    TestEnv env;
    TForm1 form;
    QStringList names;
    for (QAction* action : child<QMenu>(form, "PopupMenu1")->actions())
        names << (action->menu() ? action->menu()->objectName() : action->objectName());
    QCOMPARE(names, (QStringList{"N1",
                                 "N9",
                                 "exportResults",
                                 "checkinScreen",
                                 "checkinPanel",
                                 "console",
                                 "N15",
                                 "N5",
                                 "N3",
                                 "N8",
                                 "N4",
                                 "N16",
                                 "N10",
                                 "N19",
                                 "N20",
                                 "N18",
                                 "verifyHall",
                                 "verifyReveal",
                                 "verifyExport",
                                 "N17",
                                 "N11",
                                 "N2"}));
    QVERIFY(!child<QAction>(form, "N19")->isVisible());
    // The verifiable draw's items show only while its mode is on.
    QVERIFY(!child<QAction>(form, "verifyReveal")->isVisible());
    QStringList captions;
    for (QAction* action : child<QMenu>(form, "PopupMenu2")->actions())
        captions << action->text();
    QCOMPARE(captions, (QStringList{QStringLiteral("取消中奖"), QStringLiteral("恢复中奖"),
                                    QStringLiteral("隐藏中奖面板")}));
}

void TestLayout::winnerCellsFitOneLine() {
    TestEnv env;
    TForm1 form;
    auto* grid = child<QTableWidget>(form, "Grid1");
    QVERIFY(dynamic_cast<WinnerCellDelegate*>(grid->itemDelegate()));
    const QString line = WinnerCellDelegate::shownText(QStringLiteral("郝超海\tS0123\t质量管理部"));
    QCOMPARE(line, QStringLiteral("郝超海  S0123  质量管理部"));

    // Bold 22 pt as configured; cells of 5 and 6 columns on screens 1920 and 1366 wide, 50 high.
    QFont font = grid->font();
    font.setBold(true);
    font.setPointSize(22);
    for (const int screen : {1920, 1366})
        for (const int columns : {5, 6}) {
            const QSize room((screen - 3 - 5) / columns - 6, 50);
            const QFont fitted = WinnerCellDelegate::fittingFont(font, line, room);
            const QFontMetricsF metrics(fitted);
            QVERIFY2(metrics.horizontalAdvance(line) <= room.width(), qPrintable(QString::number(columns)));
            QVERIFY(fitted.pointSizeF() <= 22 && fitted.bold() && fitted.family() == font.family());
            if (fitted.pointSizeF() < 22) { // just small enough: half a point more is too wide
                QFont larger = fitted;
                larger.setPointSizeF(fitted.pointSizeF() + 0.5);
                QVERIFY(QFontMetricsF(larger).horizontalAdvance(line) > room.width());
            }
        }
    // A short name keeps the configured size; so does a pixel-sized font that fits.
    QCOMPARE(WinnerCellDelegate::fittingFont(font, QStringLiteral("张三"), QSize(300, 50)).pointSizeF(),
             22.0);
    QFont pixels = font;
    pixels.setPixelSize(29);
    const QFont tight = WinnerCellDelegate::fittingFont(pixels, line, QSize(120, 50));
    QVERIFY(tight.pixelSize() < 29 && QFontMetricsF(tight).horizontalAdvance(line) <= 120);
    // The CJK face first behind the Latin one, with glyphs for rare GB18030 characters.
    QCOMPARE(grid->font().families().value(1), QStringLiteral("Noto Sans CJK SC"));
    const QFontMetrics cjk(QFont(QStringLiteral("Noto Sans CJK SC")));
    QVERIFY2(QFontInfo(QFont(QStringLiteral("Noto Sans CJK SC"))).family() ==
                 QStringLiteral("Noto Sans CJK SC"),
             "package fonts-noto-cjk");
    QVERIFY(cjk.inFontUcs4(0x4DAE) && cjk.inFontUcs4(0x20BB7)); // 䶮, 𠮷
    // Nothing to fit into: the font stays as it is.
    QCOMPARE(WinnerCellDelegate::fittingFont(font, line, QSize(0, 50)), font);
}

void TestLayout::qtTextsInChinese() {
    QVERIFY2(installQtTranslations(*QCoreApplication::instance()), "package qt6-translations-l10n");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("是(&Y)"));
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
