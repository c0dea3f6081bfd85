#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The change-password dialog: the current password (asked only while one is set), the new password
// twice and "存档". Enter in a box moves on to the next one as Tab does; in the last box, and on the
// button, it saves. A save that worked closes the dialog.
class TFchangepassword : public QDialog {
    Q_OBJECT
public:
    explicit TFchangepassword(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Button1Click();
    // Places the rows, with or without the current password's.
    void layOut(bool askCurrent);

    QLabel* currentLabel = nullptr;
    QLineEdit* edt_current = nullptr;
    QLabel* StaticText1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
};
