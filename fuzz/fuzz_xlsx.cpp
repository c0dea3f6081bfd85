// A workbook of any bytes: a zip file as it is, or (anything else) parts written as
//   === name
//   content
// that are zipped here, so that the fuzzer works on the XML itself. The reader ends in a table within
// its limits or in the operator's message; it inflates no part beyond the limits and, for the parts
// written out here, no part twice.
#include "operationerror.h"
#include "sheetchecks.h"
#include "xlsxreader.h"

#include <minizip/zip.h>

#include <QDir>
#include <QFile>
#include <QHash>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
// The file the reader is given, removed when the run ends.
QString scratch() {
    static const struct Scratch {
        QString path = QDir::temp().filePath(QStringLiteral("fuzz_xlsx-%1.xlsx").arg(getpid()));
        ~Scratch() { QFile::remove(path); }
    } file;
    return file.path;
}

// The parts of the text form, by name (a later part of the same name is zipped too, as a package may).
QList<std::pair<QByteArray, QByteArray>> parts(QByteArrayView bytes) {
    QList<std::pair<QByteArray, QByteArray>> found;
    const QByteArray text = "\n" + bytes.toByteArray();
    for (qsizetype at = text.indexOf("\n=== "); at >= 0;) {
        const qsizetype nameStart = at + 5;
        const qsizetype nameEnd = text.indexOf('\n', nameStart);
        if (nameEnd < 0)
            break;
        const qsizetype next = text.indexOf("\n=== ", nameEnd);
        found.append({text.mid(nameStart, nameEnd - nameStart),
                      text.mid(nameEnd + 1, (next < 0 ? text.size() : next) - nameEnd - 1)});
        at = next;
    }
    return found;
}

bool writeZip(const QList<std::pair<QByteArray, QByteArray>>& files) {
    const zipFile zip = zipOpen64(QFile::encodeName(scratch()).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    for (const auto& [name, content] : files) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  6, 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, content.constData(), static_cast<unsigned>(content.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            return false;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SheetLimits limits;
    limits.maxRows = 1000;
    limits.maxChars = 100'000;
    limits.maxCells = 2000;
    limits.maxInflatedBytes = 1024 * 1024;
    limits.ratioGraceBytes = 64 * 1024;
    limits.maxElements = 10'000;
    limits.maxXmlToken = 64 * 1024;
    limits.maxEntries = 100;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool zipped = bytes.startsWith("PK");
    const QList<std::pair<QByteArray, QByteArray>> files =
        zipped ? QList<std::pair<QByteArray, QByteArray>>() : parts(bytes);
    if (zipped) {
        QFile file(scratch());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), bytes.size()) != bytes.size())
            return 0;
    } else if (files.isEmpty() || !writeZip(files)) {
        return 0;
    }

    ReadControl control;
    try {
        checkTable(XlsxReader::read(scratch(), limits, &control), limits);
    } catch (const OperationError& error) {
        // FUZZ_SHOW=1 fuzz_xlsx <file>: what the operator would be told.
        if (std::getenv("FUZZ_SHOW"))
            std::fprintf(stderr, "%s\n", error.what());
    }
    // A part is inflated a chunk (256 KiB) at a time and the limit looked at after each.
    if (control.inflated() > limits.maxInflatedBytes + 256 * 1024)
        std::abort();
    if (!zipped) {
        // Each part at most once: never more than all the parts' bytes, one of each name.
        QHash<QByteArray, qsizetype> sizes;
        for (const auto& [name, content] : files)
            sizes[name.toLower()] = std::max(sizes.value(name.toLower()), content.size());
        qsizetype all = 0;
        for (const qsizetype s : sizes)
            all += s;
        if (control.inflated() > all)
            std::abort();
    }
    return 0;
}
