#include "password.h"

#include "changepassword.h"
#include "dialogs.h"
#include "passwordstore.h"
#include "setting.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
// The hint of the empty first password only while no password is set.
QString prompt() {
    return PasswordStore::isSet() ? QStringLiteral("输入密码") : QStringLiteral("输入密码(初始密码为空)");
}
} // namespace

Tfpassword::Tfpassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fpassword"));
    setWindowTitle(QStringLiteral("密码输入框"));
    setFixedSize(233, 93);

    // Created in tab order: the password box first.
    edt_Password = new QLineEdit(this);
    edt_Password->setObjectName(QStringLiteral("edt_Password"));
    edt_Password->setEchoMode(QLineEdit::Password);
    edt_Password->setGeometry(8, 27, 217, 21);
    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(39, 59, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("修改密码"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(119, 59, 75, 25);
    CancelBtn->setAutoDefault(false);
    Label1 = new QLabel(prompt(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 9, 217, 15);

    edt_Password->installEventFilter(this);
    connect(OKBtn, &QPushButton::clicked, this, &Tfpassword::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &Tfpassword::CancelBtnClick);
}

void Tfpassword::setChangePasswordDialog(TFchangepassword* dialog) {
    m_changeDialog = dialog;
}

void Tfpassword::openModal(std::function<void()> afterClose) {
    m_afterClose = std::move(afterClose);
    showApplicationModal(*this);
}

void Tfpassword::done(int result) {
    // Hiding may move the focus about; the next showing puts it back where it was now.
    m_lastFocus = focusWidget();
    QDialog::done(result);
    if (std::function<void()> afterClose = std::exchange(m_afterClose, {}))
        afterClose();
}

void Tfpassword::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfpassword::FormShow() {
    m_accepted = false;
    edt_Password->clear();
    // Nothing has been typed yet, so nothing is wrong yet.
    Label1->setText(prompt());
    // The focus returns to where it was when the prompt last closed; when that is the password box,
    // opening is the box receiving the focus.
    QWidget* focus = m_lastFocus ? m_lastFocus.data() : edt_Password;
    focus->setFocus();
    if (focus == edt_Password)
        edt_PasswordEnter();
}

void Tfpassword::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Tfpassword::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edt_Password && event->type() == QEvent::FocusIn) {
        // Focus moving within the prompt counts; the prompt's window being activated again (say when
        // the change-password dialog closes) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            edt_PasswordEnter();
    }
    return QDialog::eventFilter(watched, event);
}

void Tfpassword::edt_PasswordEnter() {
    // The check may close the prompt, which must not happen while it is still being shown (a modal
    // loop about to start would never end); it runs once the showing is over.
    if (m_checkQueued)
        return;
    m_checkQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_checkQueued = false;
        if (isVisible())
            check(false);
    });
}

void Tfpassword::OKBtnClick() {
    check(true);
}

void Tfpassword::check(bool typed) {
    if (PasswordStore::matches(edt_Password->text())) {
        m_accepted = true;
        accept();
        return;
    }
    // The check the focus runs lets an unguarded prompt through; with a password set and nothing
    // typed it only waits.
    if (!typed)
        return;
    Label1->setText(QStringLiteral("密码错误  "));
    edt_Password->clear();
}

void Tfpassword::CancelBtnClick() {
    if (m_changeDialog)
        showApplicationModal(*m_changeDialog);
}

void showApplicationModal(QDialog& dialog) {
    if (!dialog.isVisible()) {
        // Centred on the draw screen's screen at every opening, wherever it was left or placed by the
        // window system the last time.
        const QWidget* main = Dialogs::parentWindow();
        const QScreen* screen = main && main->screen() ? main->screen() : dialog.screen();
        if (screen)
            dialog.move(screen->availableGeometry().center() -
                        QPoint(dialog.width() / 2, dialog.height() / 2));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
    } else {
        dialog.raise();
    }
    dialog.activateWindow();
}

void openBehindPassword(Tfpassword& prompt, std::function<void()> open) {
    prompt.openModal([&prompt, open = std::move(open)] {
        if (prompt.passwordAccepted() && open)
            open();
    });
}

void openSettingsBehindPassword(Tfpassword& prompt, Tfsetting& settings) {
    QPointer<Tfsetting> target(&settings);
    openBehindPassword(prompt, [target] {
        if (target)
            showApplicationModal(*target);
    });
}
