#include "testenv.h"

#include "eventstore.h"
#include "textcodec.h"

#include <QFile>
#include <QTest>

TestEnv::TestEnv(quint32 seed)
    : clock(QDateTime(QDate(2025, 1, 18), QTime(20, 31, 5)), 123456), random(seed) {
    QVERIFY2(dir.isValid(), "temporary folder");
    AppPaths::setFolder(dir.path());
    Clock::install(&clock);
    RandomSource::install(&random);
}

TestEnv::~TestEnv() {
    RandomSource::install(nullptr);
    Clock::install(nullptr);
    AppPaths::setFolder(QString());
}

void TestEnv::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestEnv::writeGbk(const QString& name, const QString& text) const {
    writeFile(name, gbk(text));
}

QByteArray TestEnv::readFile(const QString& name) const {
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TestEnv::exists(const QString& name) const {
    return QFile::exists(path(name));
}

QStringList TestEnv::restorableAllWinners() const {
    return SavedState::resolve(SavedState::OnDisk::read(false), {}).all;
}

QByteArray gbk(const QString& text) {
    return TextCodec::toGbk(text);
}
