#include "changepassword.h"

#include "dialogs.h"
#include "functionunit.h"
#include "operationerror.h"
#include "passwordstore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLineEdit* passwordBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    return box;
}

QLabel* label(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}
} // namespace

TFchangepassword::TFchangepassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Fchangepassword"));
    setWindowTitle(QStringLiteral("修改密码"));

    // Created in tab order: the boxes, then the button.
    edt_current = passwordBox(QStringLiteral("edt_current"), this);
    Edit1 = passwordBox(QStringLiteral("Edit1"), this);
    Edit2 = passwordBox(QStringLiteral("Edit2"), this);
    Button1 = new QPushButton(QStringLiteral("存档"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    currentLabel = label(QStringLiteral("当前密码："), QStringLiteral("currentLabel"), this);
    StaticText1 = label(QStringLiteral("新密码："), QStringLiteral("StaticText1"), this);
    StaticText2 = label(QStringLiteral("确认密码："), QStringLiteral("StaticText2"), this);
    layOut(false);

    for (QLineEdit* box : {edt_current, Edit1, Edit2})
        box->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TFchangepassword::Button1Click);
}

void TFchangepassword::layOut(bool askCurrent) {
    currentLabel->setVisible(askCurrent);
    edt_current->setVisible(askCurrent);
    const int top = askCurrent ? 32 : 0;
    setFixedSize(213, 132 + top);
    edt_current->setGeometry(76, 16, 121, 21);
    currentLabel->move(8, 19);
    Edit1->setGeometry(76, 16 + top, 121, 21);
    StaticText1->move(8, 19 + top);
    Edit2->setGeometry(76, 48 + top, 121, 21);
    StaticText2->move(8, 53 + top);
    Button1->setGeometry(68, 86 + top, 71, 28);
}

void TFchangepassword::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Whoever changes the password shows first that they know it.
    const bool askCurrent = PasswordStore::isSet();
    layOut(askCurrent);
    for (QLineEdit* box : {edt_current, Edit1, Edit2})
        box->clear();
    (askCurrent ? edt_current : Edit1)->setFocus();
}

bool TFchangepassword::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == edt_current || watched == Edit1 || watched == Edit2)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == Edit2)
                Button1->click();
            else
                focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFchangepassword::Button1Click() {
    if (PasswordStore::isSet() && !PasswordStore::matches(edt_current->text())) {
        FunctionUnit::warning(QStringLiteral("当前密码错误，密码未修改!"));
        edt_current->clear();
        if (edt_current->isVisible())
            edt_current->setFocus();
        return;
    }
    if (Edit1->text() != Edit2->text()) {
        FunctionUnit::warning(QStringLiteral("两次密码不同!"));
        return;
    }
    // A longer password would be stored cut short, and the operator locked out by the very text typed.
    if (!PasswordStore::fits(Edit1->text())) {
        FunctionUnit::warning(QStringLiteral("密码太长，最多 %1 个字节(一个汉字算 2 个字节)，未保存!")
                                  .arg(PasswordStore::kMaxBytes));
        return;
    }
    try {
        // An empty password is allowed and removes the protection.
        PasswordStore::write(Edit1->text());
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    FunctionUnit::information(QStringLiteral("密码保存成功!"));
    accept();
}
