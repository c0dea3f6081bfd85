// Boxes before the hall: Chinese titles and reasons, the stage's look and scale, and the presenter's
// keys answering them without reaching the stage.
#include "atomicfile.h"
#include "dialogs.h"
#include "drawmodel.h"
#include "drive.h"
#include "operationerror.h"
#include "stagebox.h"
#include "stagescale.h"
#include "systemreason.h"
#include "testenv.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {
// Answers the next box with a key (or a click on the button with that text), once it is up; a box
// still open after a second is closed by force and reported.
struct BoxAnswer {
    QString caption;
    QString text;
    int textPixels = 0;
    QString highlighted; // the button drawn in gold when the last key came
    bool forced = false;
    bool seen = false;
    std::unique_ptr<QObject> watcher = std::make_unique<QObject>(); // ends the watch with the answer
};

// The button of the box whose face is the gold of the focus.
QString highlightedButton(const QWidget* box) {
    QString found;
    for (QPushButton* button : box->findChildren<QPushButton*>())
        if (button->grab().toImage().pixelColor(button->width() / 2, 4) == QColor(0xF5, 0xC8, 0x4C))
            found += button->text();
    return found;
}

void answerNextBox(BoxAnswer& answer, QList<Qt::Key> keys, const QString& click = QString()) {
    auto* timer = new QTimer(answer.watcher.get());
    timer->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, keys, click, &answer] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box->objectName() != QStringLiteral("stageBox")) {
            if (++*tries > 100)
                timer->deleteLater();
            return;
        }
        if (answer.seen) { // the key did not close it
            answer.forced = true;
            static_cast<QDialog*>(box)->reject();
            timer->deleteLater();
            return;
        }
        answer.seen = true;
        answer.caption = box->findChild<QLabel*>(QStringLiteral("caption"))->text();
        const QLabel* text = box->findChild<QLabel*>(QStringLiteral("text"));
        answer.text = text->text();
        answer.textPixels = text->font().pixelSize();
        if (!click.isEmpty()) {
            for (QPushButton* button : box->findChildren<QPushButton*>())
                if (button->text() == click)
                    QTest::mouseClick(button, Qt::LeftButton);
        } else {
            for (qsizetype i = 0; i + 1 < keys.size(); ++i)
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, keys[i]);
            answer.highlighted = highlightedButton(box);
            QTest::keyPress(box->focusWidget() ? box->focusWidget() : box, keys.last());
        }
        timer->setInterval(1000);
    });
    timer->start();
}

void answerNextBox(BoxAnswer& answer, int key, const QString& click = QString()) {
    answerNextBox(answer, QList<Qt::Key>{static_cast<Qt::Key>(key)}, click);
}

// The real boxes instead of the test's double while one lives.
struct RealBoxes {
    explicit RealBoxes(Dialogs* back) : m_back(back) { Dialogs::install(nullptr); }
    ~RealBoxes() { Dialogs::install(m_back); }
    Dialogs* m_back;
};
} // namespace

class TestStageBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chineseTitlesAndReasons();
    void presenterClosesTheFullPrizeBoxWithoutDrawing();
    void questionsOverTheStage();
};

void TestStageBox::chineseTitlesAndReasons() {
    using Icon = Dialogs::Icon;
    QCOMPARE(Dialogs::shownCaption(QStringLiteral("Information"), Icon::Information), QStringLiteral("提示"));
    QCOMPARE(Dialogs::shownCaption(QStringLiteral("Confirm"), Icon::Question), QStringLiteral("确认"));
    QCOMPARE(Dialogs::shownCaption(QStringLiteral("Warning"), Icon::Warning), QStringLiteral("警告"));
    QCOMPARE(Dialogs::shownCaption(QStringLiteral("Error"), Icon::Critical), QStringLiteral("错误"));
    QCOMPARE(Dialogs::shownCaption(QStringLiteral("温馨提示"), Icon::Warning), QStringLiteral("温馨提示"));
    QCOMPARE(Dialogs::shownCaption(QString(), Icon::Information), QStringLiteral("提示"));

    // The written message stays; the system's reason in it is Chinese, from the code or its words.
    QCOMPARE(OperationError::cannotCreate(QStringLiteral("/e/中奖名单.txt"),
                                          QString::fromLocal8Bit(std::strerror(ENOSPC)))
                 .message(),
             QStringLiteral("Cannot create file \"/e/中奖名单.txt\". 磁盘空间不足"));
    QCOMPARE(OperationError::cannotOpen(QStringLiteral("a"), QStringLiteral("Permission denied")).message(),
             QStringLiteral("Cannot open file \"a\". 没有权限"));
    QCOMPARE(SystemReason::ofErrno(EROFS), QStringLiteral("磁盘或文件夹是只读的"));
    QCOMPARE(OperationError::unableToWrite(QStringLiteral("/e/x")).message(),
             QStringLiteral("Unable to write to /e/x"));

    // A failed read names its reason in Chinese too (a folder opened as a file; a missing file).
    TestEnv env;
    for (const QString& path : {env.dir.path(), env.path(QStringLiteral("无此文件.txt"))}) {
        try {
            AtomicFile::readAll(path);
            QFAIL("read a file that is none");
        } catch (const OperationError& error) {
            const QString prefix = QStringLiteral("Cannot open file \"%1\". ").arg(path);
            QVERIFY2(error.message().startsWith(prefix), qPrintable(error.message()));
            const QString reason = error.message().mid(prefix.size());
            QVERIFY2(!reason.isEmpty() && !reason.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
                     qPrintable(reason));
        }
    }
}

void TestStageBox::presenterClosesTheFullPrizeBoxWithoutDrawing() {
    TestEnv env;
    QStringList names;
    for (int i = 1; i <= 20; ++i)
        names << QStringLiteral("员工%1").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), names.join(QStringLiteral("\r\n")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=特等奖\r\nNum1=1\r\nEvery1=1\r\n"
                                                            "Name2=一等奖\r\nNum2=5\r\nEvery2=3\r\n"));
    TForm1 form;
    Dialogs::setParentWindow(&form);
    StageBox::setTheme(&form, QColor(0x80, 0, 0), Qt::yellow);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.model().slots[1].drawn = 4;
    draw(form); // the last place: the prize is full
    const qsizetype lines = form.winnerLists().all().size();
    const RealBoxes real(&env.dialogs);
    QWidget* grid = child<QWidget>(form, QStringLiteral("Grid1")); // Enter there is the operator's

    // Each presenter key closes the box (a message closes as OK); neither the press, nor its release,
    // nor the repeats of the key held down reach the stage: one box each, and the draw stays idle.
    for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_Right, Qt::Key_Space, Qt::Key_Return}) {
        BoxAnswer answer;
        answerNextBox(answer, key);
        QTest::keyPress(grid, Qt::Key_Return); // the draw toggle on a full prize raises the box
        QVERIFY(answer.seen);
        QVERIFY2(!answer.forced, qPrintable(QString::number(key, 16)));
        QCOMPARE(answer.text, QStringLiteral("该奖项已抽完!"));
        QCOMPARE(answer.caption, QStringLiteral("温馨提示"));
        const double scale = StageScale::forHeight(form.screen()->geometry().height()).factor();
        QCOMPARE(answer.textPixels, std::max(1, qRound(36 * scale)));

        BoxAnswer leaked;
        answerNextBox(leaked, Qt::Key_Escape);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        release.setTimestamp(5000);
        QApplication::sendEvent(&form, &release);
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&form, &repeat);
        QKeyEvent unmarked(QEvent::KeyPress, key, Qt::NoModifier); // X's repeat, at the release's time
        unmarked.setTimestamp(5000);
        QApplication::sendEvent(&form, &unmarked);
        QTest::qWait(60);
        QVERIFY(!leaked.seen);
        QVERIFY(!form.isRolling());
        QCOMPARE(form.winnerLists().all().size(), lines);
        // A fresh key afterwards is the stage's again.
        QTest::keyClick(&form, Qt::Key_Up);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
    BoxAnswer again;
    answerNextBox(again, Qt::Key_PageDown);
    QTest::keyPress(grid, Qt::Key_Return);
    QVERIFY(again.seen && !again.forced);
    Dialogs::setParentWindow(nullptr);
}

void TestStageBox::questionsOverTheStage() {
    TestEnv env;
    QWidget stage;
    stage.resize(400, 300);
    stage.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage));
    StageBox::setTheme(&stage, Qt::red, Qt::yellow);
    const Dialogs::OwnerScope owner(&stage);
    const RealBoxes real(&env.dialogs);

    // A clicker answers a question with its safe answer; the mouse can still say yes.
    for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_Return, Qt::Key_Space}) {
        BoxAnswer answer;
        answerNextBox(answer, key);
        QVERIFY(!Dialogs::instance().question(QStringLiteral("Confirm"),
                                              QStringLiteral("真的要取消 一等奖: 张三 中奖?")));
        QVERIFY(answer.seen && !answer.forced);
        QCOMPARE(answer.caption, QStringLiteral("确认"));
    }
    BoxAnswer clicked;
    answerNextBox(clicked, 0, QStringLiteral("是"));
    QVERIFY(Dialogs::instance().question(QStringLiteral("Confirm"), QStringLiteral("问")));
    QVERIFY(clicked.seen && !clicked.forced);
    // A question meant to be confirmed by the presenter: the keys say yes (the first of a choice).
    {
        const Dialogs::PresenterConfirms confirms;
        BoxAnswer answer;
        answerNextBox(answer, Qt::Key_PageDown);
        QVERIFY(Dialogs::instance().question(QStringLiteral("Confirm"), QStringLiteral("读出?")));
        BoxAnswer choice;
        answerNextBox(choice, Qt::Key_PageDown);
        QCOMPARE(Dialogs::instance().choose(
                     QString(), QStringLiteral("保存?"),
                     {QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")}),
                 0);
    }
    BoxAnswer choice;
    answerNextBox(choice, Qt::Key_PageDown);
    QCOMPARE(Dialogs::instance().choose(
                 QString(), QStringLiteral("保存?"),
                 {QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")}),
             2);
    QCOMPARE(choice.caption, QStringLiteral("确认"));

    // The focus starts on 否; the keys move it and the button in gold is the one Enter / Space take.
    // The clicker's keys answer 否 wherever the focus is.
    struct Case {
        QList<Qt::Key> keys;
        bool yes;
        QString highlighted;
    };
    const QList<Case> cases = {
        {{Qt::Key_Return}, false, QStringLiteral("否")},
        {{Qt::Key_Left, Qt::Key_Return}, true, QStringLiteral("是")},
        {{Qt::Key_Left, Qt::Key_Right, Qt::Key_Enter}, false, QStringLiteral("否")},
        {{Qt::Key_Tab, Qt::Key_Return}, true, QStringLiteral("是")},
        {{Qt::Key_Backtab, Qt::Key_Space}, true, QStringLiteral("是")},
        {{Qt::Key_Y}, true, QStringLiteral("否")},
        {{Qt::Key_Left, Qt::Key_N}, false, QStringLiteral("是")},
        {{Qt::Key_Left, Qt::Key_Escape}, false, QStringLiteral("是")},
        {{Qt::Key_Left, Qt::Key_PageDown}, false, QStringLiteral("是")},
    };
    for (const Case& each : cases) {
        BoxAnswer answer;
        answerNextBox(answer, each.keys);
        const bool yes = Dialogs::instance().question(QStringLiteral("Confirm"), QStringLiteral("取消张三?"));
        QVERIFY2(answer.seen && !answer.forced && yes == each.yes && answer.highlighted == each.highlighted,
                 qPrintable(QStringLiteral("case %1: %2").arg(&each - cases.data()).arg(answer.highlighted)));
    }
    // A choice of three: the arrows stop at its ends, Y and N mean nothing there.
    BoxAnswer three;
    answerNextBox(three, {Qt::Key_Right, Qt::Key_Y, Qt::Key_N, Qt::Key_Left, Qt::Key_Return});
    QCOMPARE(Dialogs::instance().choose(
                 QString(), QStringLiteral("保存?"),
                 {QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")}),
             1);
}

QTEST_MAIN(TestStageBox)
#include "test_stagebox.moc"
