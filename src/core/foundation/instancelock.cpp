#include "instancelock.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
// A lock file this old whose content says nothing was left by a power cut while it was written; a
// program starting right now writes its content within this time.
constexpr qint64 kUnreadableAfterMs = 5000;
} // namespace

InstanceLock::InstanceLock(const QString& folder)
    : m_folder(QDir::toNativeSeparators(QDir(folder).absolutePath())),
      m_lock(QDir(folder).absoluteFilePath(kFileName)) {
    // The program holds its lock for hours: a lock is stale only when its process is gone, never
    // by its age alone.
    m_lock.setStaleLockTime(0);
}

InstanceLock::Result InstanceLock::acquire() {
    m_holder = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // tryLock takes over a lock whose process no longer runs (or ran before the machine started).
        if (m_lock.tryLock(0))
            return Result::Acquired;
        if (m_lock.error() != QLockFile::LockFailedError)
            return Result::Unavailable;
        qint64 pid = 0;
        QString host, application;
        if (m_lock.getLockInfo(&pid, &host, &application)) {
            m_holder = pid;
            return Result::Held;
        }
        // A lock file that says nothing: written half when the power went. A running holder keeps the
        // file locked, so removing it fails while that program lives.
        const QFileInfo file(m_folder + QDir::separator() + kFileName);
        const qint64 age = file.lastModified().msecsTo(QDateTime::currentDateTime());
        if (age < kUnreadableAfterMs || !m_lock.removeStaleLockFile())
            return Result::Held;
    }
    return Result::Held;
}

QString InstanceLock::heldMessage(const QString& folder) {
    return QStringLiteral("本活动文件夹中已有抽奖程序在运行。\n%1\n\n请使用已打开的抽奖程序，或先将其关闭。")
        .arg(QDir::toNativeSeparators(folder));
}
