#pragma once

#include <QLockFile>
#include <QString>

// One event folder has one running program: the lock file "lottery.lock" in the folder, held for the
// whole run. A lock left behind by a program that is gone (a crash, a kill, a power cut: its process
// no longer runs, or the machine has been started again since) is taken over, and so is a lock file
// a power cut left empty or cut short. A folder where no lock file can be made (read-only) does not
// stop the program: its saves report their own errors.
class InstanceLock {
public:
    enum class Result {
        Acquired,   // this program holds the folder
        Held,       // another running program holds it
        Unavailable // no lock file can be made here: the program runs without one
    };

    explicit InstanceLock(const QString& folder);
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result acquire();
    // The process that holds the folder after Held (0 when its lock file does not say).
    qint64 holderPid() const { return m_holder; }
    const QString& folder() const { return m_folder; }

    // The box a second start shows before it ends.
    static QString heldMessage(const QString& folder);
    inline static const QString kFileName = QStringLiteral("lottery.lock");

private:
    QString m_folder;
    QLockFile m_lock;
    qint64 m_holder = 0;
};
