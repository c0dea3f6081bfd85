// One event folder, one running program.
#include "instancelock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <utime.h>

namespace {
// This executable started with INSTANCELOCK_HOLD=<folder>: holds the folder, says so, and waits to
// be ended.
int holdFolder(const QString& folder) {
    InstanceLock lock(folder);
    const bool held = lock.acquire() == InstanceLock::Result::Acquired;
    std::printf("%s\n", held ? "held" : "refused");
    std::fflush(stdout);
    if (!held)
        return 1;
    std::getchar(); // until the test closes the pipe or kills the process
    return 0;
}
} // namespace

class TestInstanceLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneProgramPerFolder();
};

void TestInstanceLock::oneProgramPerFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto startHolder = [&](QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("INSTANCELOCK_HOLD"), dir.path());
        process.setProcessEnvironment(environment);
        process.start(QCoreApplication::applicationFilePath(), {});
        return process.waitForReadyRead(10'000) && process.readLine().trimmed() == "held";
    };

    // A second program in the folder is refused while the first runs, and told which one holds it.
    QProcess first;
    QVERIFY(startHolder(first));
    {
        InstanceLock second(dir.path());
        QCOMPARE(second.acquire(), InstanceLock::Result::Held);
        QCOMPARE(second.holderPid(), first.processId());
        QVERIFY(InstanceLock::heldMessage(second.folder()).contains(second.folder()));
    }
    // Killed (a crash): its lock is taken over.
    first.kill();
    QVERIFY(first.waitForFinished(10'000));
    QVERIFY(QFileInfo::exists(dir.filePath(InstanceLock::kFileName)));
    {
        InstanceLock next(dir.path());
        QCOMPARE(next.acquire(), InstanceLock::Result::Acquired);
        // ... and held against another process in its turn.
        QProcess third;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("INSTANCELOCK_HOLD"), dir.path());
        third.setProcessEnvironment(environment);
        third.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(third.waitForFinished(10'000));
        QCOMPARE(third.readAll().trimmed(), QByteArray("refused"));
    }
    // A lock file a power cut left empty: taken over once it is older than a start takes to write it.
    {
        QFile file(dir.filePath(InstanceLock::kFileName));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.close();
        const struct utimbuf old { 1'000'000'000, 1'000'000'000 };
        QCOMPARE(::utime(QFile::encodeName(file.fileName()).constData(), &old), 0);
        InstanceLock next(dir.path());
        QCOMPARE(next.acquire(), InstanceLock::Result::Acquired);
    }
    // A folder where no lock file can be made does not stop the program.
    InstanceLock nowhere(dir.filePath(QStringLiteral("missing")));
    QCOMPARE(nowhere.acquire(), InstanceLock::Result::Unavailable);
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (const QString folder = qEnvironmentVariable("INSTANCELOCK_HOLD"); !folder.isEmpty())
        return holdFolder(folder);
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_instancelock.moc"
