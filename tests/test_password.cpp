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

    // No password: the prompt says so and lets the operator straight through.
    openSettingsBehindPassword(prompt, settings);
    QCOMPARE(label->text(), QStringLiteral("输入密码(初始密码为空)"));
    QTRY_VERIFY(settings.isVisible());
    QVERIFY(!prompt.isVisible() && prompt.passwordAccepted());
    settings.close();

    // A password (a prize.db from before hashes, in plain text): the prompt asks and waits, saying
    // nothing is wrong before anything was typed; letter case matters; the exact text and Enter pass.
    setPassword(QStringLiteral("Abc"));
    openSettingsBehindPassword(prompt, settings);
    QTest::qWait(20);
    QCOMPARE(label->text(), QStringLiteral("输入密码"));
    QVERIFY(prompt.isVisible() && !settings.isVisible());
    QTest::keyClicks(box, QStringLiteral("abc"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(label->text(), QStringLiteral("密码错误  "));
    QVERIFY(prompt.isVisible() && !settings.isVisible());
    QCOMPARE(box->text(), QString());
    QTest::keyClicks(box, QStringLiteral("Abc"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!prompt.isVisible() && settings.isVisible());
    settings.close();

    // Closing the prompt leaves the settings closed; the next opening asks afresh.
    openSettingsBehindPassword(prompt, settings);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(label->text(), QStringLiteral("密码错误  "));
    prompt.close();
    QCoreApplication::processEvents();
    QVERIFY(!settings.isVisible() && !prompt.passwordAccepted());
    openSettingsBehindPassword(prompt, settings);
    QCOMPARE(label->text(), QStringLiteral("输入密码"));
    prompt.close();
}

void TestPassword::changePassword() {
    TestEnv env;
    TForm1 form;
    Tfsetting settings(form);
    Tfpassword prompt;
    TFchangepassword change;
    prompt.setChangePasswordDialog(&change);
    setPassword(QStringLiteral("old"));
    auto* current = child<QLineEdit>(change, "edt_current");
    auto* first = child<QLineEdit>(change, "Edit1");
    auto* second = child<QLineEdit>(change, "Edit2");
    auto* box = child<QLineEdit>(prompt, "edt_Password");
    const auto opens = [&](const QString& typed) {
        openSettingsBehindPassword(prompt, settings);
        box->setText(typed);
        QTest::keyClick(box, Qt::Key_Return);
        const bool opened = settings.isVisible();
        settings.close();
        prompt.close();
        return opened;
    };

    // Esc opens the change dialog on top of the prompt; with a password set it asks for it first.
    openSettingsBehindPassword(prompt, settings);
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(change.isVisible() && prompt.isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&change));
    QVERIFY(current->isVisible() && current->hasFocus());

    // Someone who does not know it sets nothing: the old password still guards, the new one opens
    // nothing.
    first->setText(QStringLiteral("mine"));
    second->setText(QStringLiteral("mine"));
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("当前密码错误，密码未修改!"));
    QVERIFY(change.isVisible());
    change.close();
    prompt.close();
    QVERIFY(!opens(QStringLiteral("mine")));

    // Enter moves from box to box; different boxes are refused.
    openSettingsBehindPassword(prompt, settings);
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(QTest::qWaitForWindowActive(&change));
    QTest::keyClicks(current, QStringLiteral("old"));
    QTest::keyClick(current, Qt::Key_Return);
    QVERIFY(first->hasFocus());
    QTest::keyClicks(first, QStringLiteral("new"));
    QTest::keyClick(first, Qt::Key_Return);
    QVERIFY(second->hasFocus());
    QTest::keyClicks(second, QStringLiteral("NEW"));
    QTest::keyClick(second, Qt::Key_Return);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("两次密码不同!"));
    QVERIFY(env.readFile("prize.db").contains("Pwd=old\r\n"));

    // Enter in the last box saves and closes. The plain text has gone from prize.db: a salted hash
    // of its own key replaces it, and the old password no longer opens.
    current->setText(QStringLiteral("old"));
    second->setText(QStringLiteral("new"));
    QTest::keyClick(second, Qt::Key_Return);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("密码保存成功!"));
    QVERIFY(!change.isVisible());
    prompt.close();
    const QByteArray db = env.readFile("prize.db");
    QVERIFY(!db.contains("Pwd=old") && !db.contains("=new") && db.contains("Pwd=\r\n"));
    const QString hash = ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readString("Setting", "PwdHash", {});
    QVERIFY(hash.startsWith(QStringLiteral("pbkdf2-sha256$")));
    QVERIFY(!opens(QStringLiteral("old")));
    QVERIFY(opens(QStringLiteral("new")));
    // Salted: the same password hashes differently each time; a damaged hash opens nothing.
    PasswordStore::write(QStringLiteral("new"));
    QVERIFY(ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readString("Setting", "PwdHash", {}) != hash);
    QVERIFY(!PasswordStore::verifyHash(QStringLiteral("new"), hash.chopped(2)));
    QVERIFY(!PasswordStore::verifyHash(QString(), QStringLiteral("pbkdf2-sha256$0$$")));

    // Two empty boxes (with the current one) remove the protection: Enter goes straight through.
    openSettingsBehindPassword(prompt, settings);
    QTest::keyClick(box, Qt::Key_Escape);
    current->setText(QStringLiteral("new"));
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("密码保存成功!"));
    QVERIFY(!PasswordStore::isSet());
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(settings.isVisible());
    settings.close();

    // A password with blanks around it guards the very next opening, and opens exactly as typed.
    change.show();
    QVERIFY(!current->isVisible());
    first->setText(QStringLiteral(" a b "));
    second->setText(QStringLiteral(" a b "));
    QTest::mouseClick(child<QWidget>(change, "Button1"), Qt::LeftButton);
    QVERIFY(!change.isVisible());
    QVERIFY(!opens(QStringLiteral("a b")));
    QVERIFY(opens(QStringLiteral(" a b ")));
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
    QVERIFY(PasswordStore::matches(longest));
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
