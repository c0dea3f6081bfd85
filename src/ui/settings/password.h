#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TFchangepassword;
class Tfsetting;

// The password prompt in front of the settings dialog. Each showing clears the accepted flag and the
// typed text and says "输入密码" again; the password is checked when "确定" is pressed and whenever
// the password box receives the focus within the prompt (so with no password set the prompt lets the
// operator through as soon as it opens); only a check the operator asked for reports "密码错误". Esc and
// "修改密码" open the change-password dialog on top of it.
class Tfpassword : public QDialog {
    Q_OBJECT
public:
    explicit Tfpassword(QWidget* parent = nullptr);

    // The dialog "修改密码" opens (the program's one change-password dialog).
    void setChangePasswordDialog(TFchangepassword* dialog);
    // Whether the last showing accepted the password; cleared each time the prompt is shown.
    bool passwordAccepted() const { return m_accepted; }

    // Shows the prompt application-modal and returns at once; afterClose runs once the prompt has
    // closed, whichever way.
    void openModal(std::function<void()> afterClose = {});

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void edt_PasswordEnter();
    void OKBtnClick();
    // Accepts the typed password; typed says whether the operator asked for the check, which alone
    // reports a wrong password.
    void check(bool typed);
    void CancelBtnClick();

    QLabel* Label1 = nullptr;
    QLineEdit* edt_Password = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPointer<TFchangepassword> m_changeDialog;
    QPointer<QWidget> m_lastFocus;
    bool m_accepted = false;
    bool m_checkQueued = false;
    std::function<void()> m_afterClose;
};

// Shows a dialog application-modal without blocking: the rest of the program takes no input until it
// closes.
void showApplicationModal(QDialog& dialog);

// The password prompt, then, when it accepted the password, open. Returns as soon as the prompt is
// showing.
void openBehindPassword(Tfpassword& prompt, std::function<void()> open);

// The main menu's "系统设置": the password prompt, then, when it accepted the password, the settings
// dialog, both modal. Returns as soon as the prompt is showing.
void openSettingsBehindPassword(Tfpassword& prompt, Tfsetting& settings);
