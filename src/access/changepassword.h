#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The change-password dialog: the new password twice and "存档". Enter in a password box moves on
// to the next control as Tab does; on the button it presses it.
class TFchangepassword : public QDialog {
    Q_OBJECT
public:
    explicit TFchangepassword(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Button1Click();

    QLabel* StaticText1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
};
