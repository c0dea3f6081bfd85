#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

class TForm1;

// The named child of a window (a control, a menu item, a timer); the test run stops when it is
// missing, since every later step would be meaningless.
template <typename T> T* child(const QObject& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found)
        qFatal("no child named %s", qPrintable(name));
    return found;
}

// Space on the draw button, as the operator presses it.
void press(TForm1& form);
// One whole draw: Space to start the roll, Space to stop it.
void draw(TForm1& form);
