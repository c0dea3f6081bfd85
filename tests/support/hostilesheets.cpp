#include "hostilesheets.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <QFile>

#include <algorithm>

namespace {
constexpr qsizetype kUnit = 1024 * 1024;
const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRelations = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QByteArray kPackageRelations = "http://schemas.openxmlformats.org/package/2006/relationships";

// The bytes deflated by a fresh deflater: ended by a full flush (the next section starts on a byte of
// its own and refers to nothing before it) or, for the last section, finished.
QByteArray deflated(const QByteArray& bytes, bool last) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(bytes.size()))) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

uLong crcOf(const QByteArray& bytes) {
    return crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), static_cast<uInt>(bytes.size()));
}

QByteArray relationship(const char* id, const char* type, const char* target) {
    return QByteArray("<Relationship Id=\"") + id + "\" Type=\"" + kRelations + '/' + type + "\" Target=\"" +
           target + "\"/>";
}
} // namespace

namespace HostileSheets {

Part sheet(const QByteArray& rowsHead, const QByteArray& repeated, qint64 times, const QByteArray& rowsTail) {
    return {QStringLiteral("xl/worksheets/sheet1.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + kMain + "\"><sheetData>" +
                rowsHead,
            repeated, times, rowsTail + "</sheetData></worksheet>"};
}

Part sharedStrings(const QByteArray& itemsHead, const QByteArray& repeated, qint64 times,
                   const QByteArray& itemsTail) {
    return {QStringLiteral("xl/sharedStrings.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"" + kMain + "\">" + itemsHead, repeated,
            times, itemsTail + "</sst>"};
}

QList<Part> workbook(const QByteArray& workbookRels) {
    const QByteArray rels = workbookRels.isEmpty()
                                ? relationship("rId1", "worksheet", "worksheets/sheet1.xml") +
                                      relationship("rId2", "sharedStrings", "sharedStrings.xml") +
                                      relationship("rId3", "styles", "styles.xml")
                                : workbookRels;
    return {{QStringLiteral("[Content_Types].xml"),
             "<?xml version=\"1.0\"?><Types "
             "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>",
             {},
             0,
             {}},
            {QStringLiteral("_rels/.rels"),
             "<?xml version=\"1.0\"?><Relationships xmlns=\"" + kPackageRelations + "\">" +
                 relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>",
             {},
             0,
             {}},
            {QStringLiteral("xl/workbook.xml"),
             "<?xml version=\"1.0\"?><workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelations +
                 "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
             {},
             0,
             {}},
            {QStringLiteral("xl/_rels/workbook.xml.rels"),
             "<?xml version=\"1.0\"?><Relationships xmlns=\"" + kPackageRelations + "\">" + rels +
                 "</Relationships>",
             {},
             0,
             {}}};
}

bool writePackage(const QString& path, const QList<Part>& parts) {
    const zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const Part& part : parts) {
        zip_fileinfo info{};
        ok = ok && zipOpenNewFileInZip2_64(zip, part.name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                                           nullptr, Z_DEFLATED, 9, 1, 1) == ZIP_OK;
        uLong crc = crc32(0, nullptr, 0);
        ZPOS64_T size = 0;
        const auto write = [&](const QByteArray& compressed, uLong plainCrc, qint64 plainSize) {
            ok = ok && zipWriteInFileInZip(zip, compressed.constData(),
                                           static_cast<unsigned>(compressed.size())) == ZIP_OK;
            crc = crc32_combine(crc, plainCrc, plainSize);
            size += static_cast<ZPOS64_T>(plainSize);
        };
        const auto writePlain = [&](const QByteArray& plain, bool last) {
            write(deflated(plain, last), crcOf(plain), plain.size());
        };
        writePlain(part.head, false);
        if (part.times > 0 && !part.repeated.isEmpty()) {
            const qint64 perUnit =
                std::min<qint64>(std::max<qsizetype>(1, kUnit / part.repeated.size()), part.times);
            const QByteArray unit = part.repeated.repeated(perUnit);
            const QByteArray unitCompressed = deflated(unit, false);
            const uLong unitCrc = crcOf(unit);
            for (qint64 i = 0; ok && i < part.times / perUnit; ++i)
                write(unitCompressed, unitCrc, unit.size());
            writePlain(part.repeated.repeated(part.times % perUnit), false);
        }
        writePlain(part.tail, true);
        ok = ok && zipCloseFileInZipRaw64(zip, size, crc) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool writeRepeated(const QString& path, const QByteArray& head, const QByteArray& repeated, qint64 times,
                   const QByteArray& tail) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size())
        return false;
    const qint64 perUnit = repeated.isEmpty() ? 0 : std::max<qsizetype>(1, kUnit / repeated.size());
    const QByteArray unit = repeated.repeated(std::min(perUnit, times));
    for (qint64 written = 0; perUnit > 0 && written < times; written += perUnit) {
        const QByteArray piece = times - written >= perUnit ? unit : repeated.repeated(times - written);
        if (file.write(piece) != piece.size())
            return false;
    }
    return file.write(tail) == tail.size() && file.flush();
}

} // namespace HostileSheets
