#include "xlsxreader.h"

#include <minizip/unzip.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <climits>
#include <cmath>
#include <optional>

namespace {

const QString kRelOfficeDocument = QStringLiteral("/officeDocument");
const QString kRelSharedStrings = QStringLiteral("/sharedStrings");
const QString kRelStyles = QStringLiteral("/styles");

// How a cell's number format shows a number.
struct NumberFormat {
    enum Kind { General, Fixed, Padded, Date, DateTime, Time } kind = General;
    int digits = 0; // Fixed: decimals; Padded: width
};

NumberFormat builtInFormat(int id) {
    switch (id) {
    case 1:
    case 3:
        return {NumberFormat::Fixed, 0};
    case 2:
    case 4:
        return {NumberFormat::Fixed, 2};
    case 14:
    case 15:
    case 16:
    case 17:
        return {NumberFormat::Date, 0};
    case 18:
    case 19:
    case 20:
    case 21:
    case 45:
    case 46:
    case 47:
        return {NumberFormat::Time, 0};
    case 22:
        return {NumberFormat::DateTime, 0};
    default:
        return {};
    }
}

// A custom format code, read as far as a staff list needs: dates and times, zero padding, decimals.
NumberFormat customFormat(const QString& code) {
    // The first section, without quoted text, bracketed parts and escaped characters.
    QString bare;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i);
            i = close < 0 ? code.size() : close;
        } else if (c == u';') {
            break;
        } else {
            bare += c.toLower();
        }
    }
    const bool date = bare.contains(u'y') || bare.contains(u'd');
    const bool time = bare.contains(u'h') || bare.contains(u's');
    if (date)
        return {time ? NumberFormat::DateTime : NumberFormat::Date, 0};
    if (time)
        return {NumberFormat::Time, 0};
    static const QRegularExpression padded(QStringLiteral("^0+$"));
    if (padded.match(bare).hasMatch())
        return {NumberFormat::Padded, static_cast<int>(bare.size())};
    static const QRegularExpression fixed(QStringLiteral("^[#,]*0(\\.(0+))?$"));
    if (const QRegularExpressionMatch m = fixed.match(bare); m.hasMatch())
        return {NumberFormat::Fixed, static_cast<int>(m.capturedLength(2))};
    return {};
}

// OOXML writes characters XML cannot carry as _xHHHH_.
QString unescape(const QString& text) {
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_') {
            bool ok = false;
            const uint code = QStringView(text).sliced(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(static_cast<char16_t>(code));
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

// The text of a rich string (<si> or <is>): its runs' texts, phonetic guides left out.
QString readRichText(QXmlStreamReader& xml) {
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("t")) {
            text += xml.readElementText();
        } else if (xml.name() == QLatin1String("r")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("t"))
                    text += xml.readElementText();
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return unescape(text);
}

// Column index of a cell reference such as "AB12"; -1 when it has no letters.
int columnOf(QStringView reference) {
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size(); ++i) {
        const char16_t c = reference.at(i).toUpper().unicode();
        if (c < u'A' || c > u'Z')
            break;
        column = column * 26 + (c - u'A' + 1);
        if (column > 1'000'000)
            break;
    }
    return i == 0 ? -1 : column - 1;
}

// A part name inside the package: the target resolved against the folder of the part that names it.
QString resolve(const QString& folder, const QString& target) {
    QStringList parts;
    const QString joined = target.startsWith(u'/') ? target : folder + u'/' + target;
    for (const QString& part : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (part != QLatin1String("."))
            parts << part;
    }
    return parts.join(u'/');
}

QString folderOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.first(slash);
}

// The package, opened with minizip's unzip; closed with the object.
class Package {
public:
    explicit Package(const QString& path) : m_zip(unzOpen64(QFile::encodeName(path).constData())) {}
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;
    ~Package() {
        if (m_zip)
            unzClose(m_zip);
    }
    bool isOpen() const { return m_zip != nullptr; }
    unzFile handle() const { return m_zip; }

private:
    unzFile m_zip;
};

OperationError encryptedError(const QString& path) {
    return OperationError(QStringLiteral("无法读取表格文件“%1”：文件设有打开密码（已加密）。"
                                         "请在 Excel 中去掉密码并保存后再导入。")
                              .arg(path));
}

// A part as the XML reader reads it, inflated as it is read. A read error of the inflater ends the
// part (QXmlStreamReader would otherwise ask again and again) and is remembered, and so is a part that
// inflates beyond any sheet a table takes (a zip bomb). A part left before its end is closed with the
// object; close() reports a part read to its end whose checksum does not match.
class PartDevice : public QIODevice {
public:
    explicit PartDevice(unzFile zip) : m_zip(zip) { open(QIODevice::ReadOnly); }
    ~PartDevice() override {
        if (!m_closed)
            unzCloseCurrentFile(m_zip);
    }
    bool isSequential() const override { return true; }
    bool failed() const { return m_error != UNZ_OK; }
    int error() const { return m_error; }
    bool tooBig() const { return m_tooBig; }
    // Closes the part in the package: UNZ_OK, or the unzip error (UNZ_CRCERROR for a damaged part).
    int closePart() {
        m_closed = true;
        return unzCloseCurrentFile(m_zip);
    }
    static constexpr qint64 kMaxBytes = 1024LL * 1024 * 1024;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (failed() || m_tooBig || maxSize <= 0)
            return 0;
        const int n =
            unzReadCurrentFile(m_zip, data, static_cast<unsigned>(std::min<qint64>(maxSize, INT_MAX)));
        if (n < 0) {
            m_error = n;
            return 0;
        }
        m_total += n;
        if (m_total > kMaxBytes) {
            m_tooBig = true;
            return 0;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile m_zip;
    qint64 m_total = 0;
    int m_error = UNZ_OK;
    bool m_tooBig = false;
    bool m_closed = false;
};

class Reader {
public:
    explicit Reader(const QString& path) : m_path(path), m_zip(path) {}

    SheetTable read() {
        if (!m_zip.isOpen())
            throw damaged(QStringLiteral("无法打开压缩包，找不到目录"));
        const QString workbook = officeDocument();
        const QHash<QString, Relationship> relations = relationships(workbook);
        const QString sheet = firstSheet(workbook, relations);
        for (const Relationship& relation : relations) {
            if (relation.type.endsWith(kRelSharedStrings))
                readSharedStrings(resolve(folderOf(workbook), relation.target));
            else if (relation.type.endsWith(kRelStyles))
                readStyles(resolve(folderOf(workbook), relation.target));
        }
        return readSheet(sheet);
    }

private:
    struct Relationship {
        QString type;
        QString target;
    };

    OperationError damaged(const QString& detail) const {
        return OperationError(QStringLiteral("无法读取表格文件“%1”：文件已损坏（%2）。").arg(m_path, detail));
    }
    OperationError encrypted() const { return encryptedError(m_path); }
    OperationError noSheet() const {
        return OperationError(QStringLiteral("无法读取表格文件“%1”：工作簿里找不到工作表。").arg(m_path));
    }

    // Opens a part of the package for the device; false when there is no such part. A part encrypted
    // with a zip password cannot be read.
    bool open(std::optional<PartDevice>& device, const QString& part) {
        const unzFile zip = m_zip.handle();
        if (unzLocateFile(zip, part.toUtf8().constData(), kCaseInsensitive) != UNZ_OK)
            return false;
        unz_file_info64 info{};
        int error = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
        if (error == UNZ_OK && (info.flag & 1) != 0)
            throw encrypted();
        if (error == UNZ_OK)
            error = unzOpenCurrentFile(zip);
        if (error != UNZ_OK)
            throw damaged(QStringLiteral("%1 无法解压，错误码 %2").arg(part).arg(error));
        device.emplace(zip);
        return true;
    }
    // Closes a part read to its end; a damaged part (CRC or XML) is reported.
    void finish(PartDevice& device, QXmlStreamReader& xml, const QString& part) {
        const bool xmlError = xml.hasError();
        const QString xmlText = xml.errorString();
        if (device.tooBig())
            throw tooBig();
        if (device.failed())
            throw damaged(QStringLiteral("%1 无法解压，错误码 %2").arg(part).arg(device.error()));
        if (const int error = device.closePart(); error != UNZ_OK)
            throw damaged(QStringLiteral("%1 校验失败，错误码 %2").arg(part).arg(error));
        if (xmlError)
            throw damaged(QStringLiteral("%1: %2").arg(part, xmlText));
    }

    QHash<QString, Relationship> relationships(const QString& part, QStringList* order = nullptr) {
        const QString relsPart = resolve(folderOf(part), QStringLiteral("_rels/") +
                                                             part.sliced(folderOf(part).size()).remove(u'/') +
                                                             QStringLiteral(".rels"));
        QHash<QString, Relationship> relations;
        std::optional<PartDevice> device;
        if (!open(device, relsPart))
            return relations;
        QXmlStreamReader xml(&*device);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement ||
                xml.name() != QLatin1String("Relationship"))
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (a.value(QLatin1String("TargetMode")) == QLatin1String("External"))
                continue;
            const QString id = a.value(QLatin1String("Id")).toString();
            relations.insert(
                id, {a.value(QLatin1String("Type")).toString(), a.value(QLatin1String("Target")).toString()});
            if (order)
                *order << id;
        }
        finish(*device, xml, relsPart);
        return relations;
    }

    // The workbook part that the package's relationships name (xl/workbook.xml as a rule).
    QString officeDocument() {
        QStringList order;
        const QHash<QString, Relationship> relations = relationships(QStringLiteral("/"), &order);
        for (const QString& id : order)
            if (relations.value(id).type.endsWith(kRelOfficeDocument))
                return resolve(QString(), relations.value(id).target);
        return QStringLiteral("xl/workbook.xml");
    }

    QString firstSheet(const QString& workbook, const QHash<QString, Relationship>& relations) {
        std::optional<PartDevice> device;
        if (!open(device, workbook))
            throw damaged(QStringLiteral("缺少 %1").arg(workbook));
        QXmlStreamReader xml(&*device);
        QString id;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringView value = xml.attributes().value(QLatin1String("date1904"));
                m_date1904 = value == QLatin1String("1") || value == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet") && id.isEmpty()) {
                // The relationship id is r:id in the relationships namespace, whatever its prefix.
                for (const QXmlStreamAttribute& attribute : xml.attributes())
                    if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                        id = attribute.value().toString();
                if (id.isEmpty())
                    id = xml.attributes().value(QLatin1String("r:id")).toString();
            }
        }
        finish(*device, xml, workbook);
        if (id.isEmpty() || !relations.contains(id))
            throw noSheet();
        return resolve(folderOf(workbook), relations.value(id).target);
    }

    void readSharedStrings(const QString& part) {
        std::optional<PartDevice> device;
        if (!open(device, part))
            return;
        QXmlStreamReader xml(&*device);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("si"))
                continue;
            if (m_strings.size() >= kMaxStrings)
                throw tooBig();
            m_strings << readRichText(xml);
        }
        finish(*device, xml, part);
    }

    void readStyles(const QString& part) {
        std::optional<PartDevice> device;
        if (!open(device, part))
            return;
        QXmlStreamReader xml(&*device);
        QHash<int, NumberFormat> custom;
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
                inCellXfs = false;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                              customFormat(a.value(QLatin1String("formatCode")).toString()));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = a.value(QLatin1String("numFmtId")).toInt();
                m_formats << custom.value(id, builtInFormat(id));
            }
        }
        finish(*device, xml, part);
    }

    SheetTable readSheet(const QString& part) {
        SheetTable table;
        table.setSource(m_path);
        std::optional<PartDevice> device;
        if (!open(device, part))
            throw noSheet();
        QXmlStreamReader xml(&*device);
        QStringList cells;
        int next = 0;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("row")) {
                table.addRow(std::move(cells));
                cells = QStringList();
                next = 0;
                continue;
            }
            if (token != QXmlStreamReader::StartElement || xml.name() != QLatin1String("c"))
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            const int at = columnOf(a.value(QLatin1String("r")));
            // Cells right of the last column a table takes share one slot, which the table cuts off.
            const int column = std::min(at >= 0 ? at : next, SheetTable::kMaxColumns);
            next = column + 1;
            const QString text = readCell(xml, a);
            if (text.isEmpty())
                continue;
            while (cells.size() <= column)
                cells << QString();
            cells[column] = text;
        }
        if (!cells.isEmpty())
            table.addRow(std::move(cells));
        finish(*device, xml, part);
        return table;
    }

    // The text of the cell element the reader stands on; it is left on the cell's end.
    QString readCell(QXmlStreamReader& xml, const QXmlStreamAttributes& a) {
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();
        QString value;
        bool haveInline = false;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("v")) {
                value = xml.readElementText();
            } else if (xml.name() == QLatin1String("is")) {
                value = readRichText(xml);
                haveInline = true;
            } else {
                xml.skipCurrentElement();
            }
        }
        if (haveInline || type == QLatin1String("inlineStr"))
            return value;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const qsizetype index = value.toLongLong(&ok);
            return ok && index >= 0 && index < m_strings.size() ? m_strings.at(index) : QString();
        }
        if (type == QLatin1String("str"))
            return unescape(value);
        if (type == QLatin1String("b"))
            return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        if (type == QLatin1String("e") || type == QLatin1String("d"))
            return value;
        return number(value, style >= 0 && style < m_formats.size() ? m_formats.at(style) : NumberFormat());
    }

    QString number(const QString& value, const NumberFormat& format) const {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return value;
        switch (format.kind) {
        case NumberFormat::General:
            break;
        case NumberFormat::Fixed:
            return QString::number(v, 'f', format.digits);
        case NumberFormat::Padded:
            if (v == std::floor(v) && std::fabs(v) < 1e15) {
                const QString digits = QString::number(static_cast<qint64>(std::fabs(v)));
                return (v < 0 ? QStringLiteral("-") : QString()) + digits.rightJustified(format.digits, u'0');
            }
            break;
        case NumberFormat::Date:
        case NumberFormat::DateTime:
        case NumberFormat::Time:
            if (v >= 0 && v < 3'000'000) {
                // Serial days count in plain calendar days: no time zone, no daylight saving.
                const QDateTime base(m_date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30), QTime(0, 0),
                                     Qt::UTC);
                const QDateTime when = base.addSecs(static_cast<qint64>(std::llround(v * 86400.0)));
                if (format.kind == NumberFormat::Date)
                    return when.toString(QStringLiteral("yyyy-MM-dd"));
                if (format.kind == NumberFormat::Time)
                    return when.toString(QStringLiteral("hh:mm:ss"));
                return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            }
            break;
        }
        return XlsxReader::generalNumber(value);
    }

    OperationError tooBig() const {
        return OperationError(QStringLiteral("表格“%1”太大，没有导入。").arg(m_path));
    }

    // unzLocateFile's comparison of names: 2 ignores case.
    static constexpr int kCaseInsensitive = 2;
    static constexpr qsizetype kMaxStrings = qsizetype(SheetTable::kMaxRows) * 20;

    QString m_path;
    Package m_zip;
    QStringList m_strings;
    QList<NumberFormat> m_formats;
    bool m_date1904 = false;
};

} // namespace

namespace XlsxReader {

bool isZip(QByteArrayView start) {
    return start.startsWith("PK\x03\x04") || start.startsWith("PK\x05\x06");
}

bool isCompoundDocument(QByteArrayView start) {
    return start.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

OperationError compoundDocumentError(const QString& path) {
    // An encrypted workbook is a compound document holding an "EncryptedPackage" stream; its name stands
    // in the directory as UTF-16.
    QFile file(path);
    bool encrypted = false;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(64 * 1024 * 1024);
        static const QByteArray kName = QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
        encrypted = bytes.contains(kName);
    }
    if (encrypted)
        return encryptedError(path);
    return OperationError(QStringLiteral("无法读取表格文件“%1”：这是旧版 Excel 文件（.xls）。"
                                         "请在 Excel 中另存为 .xlsx 或 .csv 后再导入。")
                              .arg(path));
}

SheetTable read(const QString& path) {
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw OperationError::cannotOpen(path, file.errorString());
    }
    Reader reader(path);
    return reader.read();
}

QString generalNumber(QStringView value) {
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return value.toString();
    // Whole numbers up to 15 digits show every digit; anything else as 15 significant digits, which
    // hides the binary noise of a stored 0.30000000000000004.
    if (v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(static_cast<qint64>(v));
    QString text = QString::number(v, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0)
        text[e] = u'E';
    return text;
}

} // namespace XlsxReader
