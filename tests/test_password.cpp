// The password prompt in front of the settings dialog, and the change-password dialog.
#include "changepassword.h"
#include "configstore.h"
#include "drive.h"
#include "password.h"
#include "passwordstore.h"
#include "setting.h"
#include "testenv.h"
#include "unit1.h"

#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

namespace {
void setPassword(const QString& password) {
    ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).writeString("Setting", "Pwd", password);
}
} // namespace

class TestPassword : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void promptGuardsTheSettings();
    void changePassword();
    void firstPasswordFromTheSettings();
};

void TestPassword::promptGuardsTheSettings() {
    TestEnv env;
    TForm1 form;
    Tfsetting settings(form);
    Tfpassword prompt;
    auto* label = child<QLabel>(prompt, "Label1");
    auto* box = child<QLineEdit>(prompt, "edt_Password");

    // No password: the prompt lets the operator straight through.
    openSettingsBehindPassword(prompt, settings);
    QTRY_VERIFY(settings.isVisible());
    QVERIFY(!prompt.isVisible() && prompt.passwordAccepted());
    settings.close();

    // A password: the check on opening fails; letter case matters; the exact text and Enter pass.
    setPassword(QStringLiteral("Abc"));
    openSettingsBehindPassword(prompt, settings);
    QTRY_COMPARE(label->text(), QStringLiteral("密码错误  "));
    QVERIFY(prompt.isVisible() && !settings.isVisible());
    QTest::keyClicks(box, QStringLiteral("abc"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(prompt.isVisible() && !settings.isVisible());
    QCOMPARE(box->text(), QString());
    QTest::keyClicks(box, QStringLiteral("Abc"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!prompt.isVisible() && settings.isVisible());
    settings.close();

    // Closing the prompt leaves the settings closed; the label keeps the error text.
    openSettingsBehindPassword(prompt, settings);
    prompt.close();
    QCoreApplication::processEvents();
    QVERIFY(!settings.isVisible() && !prompt.passwordAccepted());
    QCOMPARE(label->text(), QStringLiteral("密码错误  "));
}

void TestPassword::changePassword() {
    TestEnv env;
    TForm1 form;
    Tfsetting settings(form);
    Tfpassword prompt;
    TFchangepassword change;
    prompt.setChangePasswordDialog(&change);
    setPassword(QStringLiteral("old"));

    // Esc opens the change dialog on top of the prompt.
    openSettingsBehindPassword(prompt, settings);
    QTRY_COMPARE(child<QLabel>(prompt, "Label1")->text(), QStringLiteral("密码错误  "));
    QTest::keyClick(child<QLineEdit>(prompt, "edt_Password"), Qt::Key_Escape);
    QVERIFY(change.isVisible() && prompt.isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&change));

    // Enter moves from box to box, and on the button saves.
    auto* first = child<QLineEdit>(change, "Edit1");
    auto* second = child<QLineEdit>(change, "Edit2");
    first->setFocus();
    QTest::keyClicks(first, QStringLiteral("new"));
    QTest::keyClick(first, Qt::Key_Return);
    QVERIFY(second->hasFocus());
    QTest::keyClicks(second, QStringLiteral("NEW"));
    QTest::keyClick(second, Qt::Key_Return);
    QVERIFY(child<QWidget>(change, "Button1")->hasFocus());
    QTest::keyClick(child<QWidget>(change, "Button1"), Qt::Key_Return);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("两次密码不同!"));
    QVERIFY(env.readFile("prize.db").contains("Pwd=old\r\n"));

    // Two empty boxes remove the protection: the prompt, back on top, now lets Enter through.
    first->clear();
    second->clear();
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("密码保存成功!"));
    QVERIFY(change.isVisible());
    change.close();
    QTest::keyClick(child<QLineEdit>(prompt, "edt_Password"), Qt::Key_Return);
    QVERIFY(settings.isVisible());
    settings.close();

    // A password with blanks around it, set in the change dialog, guards the very next opening.
    first->setText(QStringLiteral(" a b "));
    second->setText(QStringLiteral(" a b "));
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    openSettingsBehindPassword(prompt, settings);
    QTRY_COMPARE(child<QLabel>(prompt, "Label1")->text(), QStringLiteral("密码错误  "));
    QVERIFY(prompt.isVisible() && !settings.isVisible());
    child<QLineEdit>(prompt, "edt_Password")->setText(QStringLiteral(" a b "));
    QTest::mouseClick(child<QWidget>(prompt, "OKBtn"), Qt::LeftButton);
    QVERIFY(settings.isVisible());
}

void TestPassword::firstPasswordFromTheSettings() {
    TestEnv env;
    TForm1 form;
    Tfsetting settings(form);
    TFchangepassword change;
    settings.setChangePasswordDialog(&change);
    settings.show();
    QTest::mouseClick(child<QWidget>(settings, "btn_password"), Qt::LeftButton);
    QVERIFY(change.isVisible());

    // 2047 GBK bytes are kept whole; one byte more would be cut on reading: refused, nothing stored.
    const QString longest = QStringLiteral("x") + QString(1023, QChar(u'密'));
    auto* first = child<QLineEdit>(change, "Edit1");
    auto* second = child<QLineEdit>(change, "Edit2");
    first->setText(longest + QStringLiteral("y"));
    second->setText(first->text());
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QVERIFY(env.dialogs.texts().last().startsWith(QStringLiteral("密码太长")));
    QVERIFY(!env.exists(QStringLiteral("prize.db")));
    first->setText(longest);
    second->setText(longest);
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("密码保存成功!"));
    QCOMPARE(PasswordStore::read(), longest);
    change.close();
    settings.close();

    // The prompt opens centred, wherever it was left.
    Tfpassword prompt;
    prompt.move(0, 0);
    openSettingsBehindPassword(prompt, settings);
    QVERIFY(prompt.isVisible());
    const QPoint centre = prompt.screen()->availableGeometry().center();
    QCOMPARE(prompt.pos(), centre - QPoint(prompt.width() / 2, prompt.height() / 2));
}

QTEST_MAIN(TestPassword)
#include "test_password.moc"
