#include "drive.h"

#include "unit1.h"

#include <QPushButton>
#include <QTest>

void press(TForm1& form) {
    QTest::keyClick(child<QPushButton>(form, QStringLiteral("btn_prize")), Qt::Key_Space);
}

void draw(TForm1& form) {
    press(form);
    press(form);
}
