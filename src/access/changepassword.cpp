#include "changepassword.h"

#include "dialogs.h"
#include "functionunit.h"
#include "operationerror.h"
#include "passwordstore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFchangepassword::TFchangepassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Fchangepassword"));
    setWindowTitle(QStringLiteral("修改密码"));
    setFixedSize(213, 132);

    // Created in tab order: the two boxes, then the button.
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setGeometry(76, 16, 121, 21);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setGeometry(76, 48, 121, 21);
    Button1 = new QPushButton(QStringLiteral("存档"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(68, 86, 71, 28);
    StaticText1 = new QLabel(QStringLiteral("新密码："), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->move(8, 19);
    StaticText2 = new QLabel(QStringLiteral("确认密码："), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->move(8, 53);

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    Edit1->setFocus();
    connect(Button1, &QPushButton::clicked, this, &TFchangepassword::Button1Click);
}

bool TFchangepassword::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Edit1 || watched == Edit2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFchangepassword::Button1Click() {
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
}
