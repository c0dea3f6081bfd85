// What the organiser meets beside the draw: the help, and the question before the draw is limited to
// those checked in.
#include "operatorhelp.h"
#include "presencequestion.h"
#include "testenv.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTextBrowser>

class TestOrganiser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpOpensWithoutHelpFile();
    void onlyCheckedInSaysHowMany();
};

namespace {
QDialog* helpWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("operatorHelp") && w->isVisible())
            return qobject_cast<QDialog*>(w);
    return nullptr;
}
} // namespace

void TestOrganiser::helpOpensWithoutHelpFile() {
    TestEnv env;
    // No lottery.chm: the built-in help, in Chinese, how to carry the event included.
    OperatorHelp::open(nullptr);
    QDialog* window = helpWindow();
    QVERIFY(window);
    const QString text = window->findChild<QTextBrowser*>("helpText")->toPlainText();
    QVERIFY(text.contains(QStringLiteral("带到备用电脑")) && text.contains(QStringLiteral("lottery.chm")));
    QVERIFY(env.dialogs.boxes.isEmpty());
    // Opened again: the same window, not a second one.
    OperatorHelp::open(nullptr);
    QCOMPARE(helpWindow(), window);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A help file in the event folder is what opens.
    env.writeFile(QStringLiteral("lottery.chm"), "help");
    OperatorHelp::open(nullptr);
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QCOMPARE(env.dialogs.boxes[0].kind, QStringLiteral("open"));
    QCOMPARE(env.dialogs.boxes[0].text, env.path(QStringLiteral("lottery.chm")));
    QVERIFY(!helpWindow());
}

void TestOrganiser::onlyCheckedInSaysHowMany() {
    TestEnv env;
    std::vector<bool> mask(300, false);
    for (int i = 0; i < 4; ++i)
        mask[i * 7] = true;
    env.dialogs.answers << false;
    QVERIFY(!PresenceQuestion::confirm(mask));
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral(
                                      "现在已签到 4 人（名单共 300 人），勾选“只抽取已签到人员”后只能从这 4 "
                                      "人中抽奖，未签到的 296 人抽不到。要勾选吗?")});
    env.dialogs.answers << true;
    QVERIFY(PresenceQuestion::confirm(mask));
    QVERIFY(PresenceQuestion::text(0, 300).startsWith(QStringLiteral("还没有人签到")));
    // Everyone here: nothing to ask.
    env.dialogs.clear();
    QVERIFY(PresenceQuestion::confirm(std::vector<bool>(5, true)));
    QVERIFY(env.dialogs.boxes.isEmpty());
}

QTEST_MAIN(TestOrganiser)
#include "test_organiser.moc"
