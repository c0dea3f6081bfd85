// prize.db as anyone may have edited it: the store reads any bytes, every read gives a value, and a
// key written afterwards reads back as written.
#include "atomicfile.h"
#include "configstore.h"
#include "operationerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
QString storePath() {
    // A memory file system when there is one: the store is read from a real file, fast.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzzstore-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzzstore-XXXXXX"));
    return dir.filePath(QStringLiteral("prize.db"));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = storePath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    ConfigStore store(path);
    for (const char* section : {"JP", "Setting", "State", "PrizeMemo", "Show"}) {
        for (const char* key : {"Name1", "Num1", "Title1", "have0", "Col8", "Date", "0c1", "FontStyle"}) {
            const QString s = QLatin1String(section);
            const QString k = QLatin1String(key);
            const QString text = store.readString(s, k, QStringLiteral("default"));
            if (text.toUtf8().size() > 4 * 2047)
                std::abort(); // a value is cut at 2047 bytes of the file
            store.readInteger(s, k, 7);
            store.readBool(s, k, true);
            store.readDate(s, k, QDate(2025, 1, 18));
            int value = 0;
            ConfigStore::parseInteger(text, &value);
            QDate date;
            ConfigStore::parseDate(text, &date);
        }
    }
    // A write (staged, never committed) lands where a later read finds it, whatever the file held.
    AtomicFile::Batch batch;
    try {
        store.stageStrings(batch, QStringLiteral("State"),
                           {{QStringLiteral("have0"), QStringLiteral("123")}});
    } catch (const OperationError&) {
        std::abort();
    }
    if (store.readInteger(QStringLiteral("State"), QStringLiteral("have0"), -1) != 123)
        std::abort();
    return 0;
}
