#pragma once

#include "apppaths.h"
#include "clock.h"
#include "randomsource.h"
#include "scripteddialogs.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Everything a test needs in place of the machine: a fresh app folder, scripted boxes, a settable
// clock and a seeded random generator. Installed on construction, removed on destruction.
class TestEnv {
public:
    explicit TestEnv(quint32 seed = 12345);
    ~TestEnv();

    QString path(const QString& name) const { return AppPaths::file(name); }
    // Writes raw bytes to a file in the app folder.
    void writeFile(const QString& name, const QByteArray& bytes) const;
    // Writes text as GBK.
    void writeGbk(const QString& name, const QString& text) const;
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;
    // The all-winners list that restore would give from the files on disk now.
    QStringList restorableAllWinners() const;

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    ManualClock clock;
    SeededRandom random;
};

// GBK bytes of a text (for byte-for-byte comparisons).
QByteArray gbk(const QString& text);
