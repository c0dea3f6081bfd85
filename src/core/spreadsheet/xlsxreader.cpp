#include "xlsxreader.h"

#include "xmlpackage.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <vector>

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

// Column index of a cell reference such as "AB12"; -1 when it has no letters.
int columnOf(QByteArrayView reference) {
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size(); ++i) {
        char c = reference.at(i);
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        column = column * 26 + (c - 'A' + 1);
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

// The text of elements of interest, gathered as its pieces arrive; more than a cell may hold ends the
// read at once (an escape _xHHHH_ takes seven bytes for a character, so that is the most bytes a cell
// can be written with).
class TextCollector {
public:
    TextCollector(const QString& path, const SheetLimits& limits) : m_path(path), m_limits(limits) {}
    void clear() { m_bytes.clear(); }
    void add(QByteArrayView piece) {
        if (m_bytes.size() + piece.size() > 7 * m_limits.maxCellChars)
            throw SheetErrors::cellTooLong(m_path, m_limits);
        m_bytes += piece;
    }
    // The text without OOXML's escapes; more characters than a cell holds are refused.
    QString take() {
        QString text = unescape(QString::fromUtf8(m_bytes));
        m_bytes.clear();
        if (text.size() > m_limits.maxCellChars)
            throw SheetErrors::cellTooLong(m_path, m_limits);
        return text;
    }

private:
    const QString& m_path;
    const SheetLimits& m_limits;
    QByteArray m_bytes;
};

// The elements open around the parser, by kind; the package keeps their depth within its limit.
class ElementPath {
public:
    enum Kind : char { Other, Si, Is, R, T, C, V, F, Row, CellXfs, Xf };
    void push(QByteArrayView name) { m_kinds.push_back(kindOf(name)); }
    void pop() {
        if (!m_kinds.empty())
            m_kinds.pop_back();
    }
    // Whether the innermost elements are these, outermost first.
    bool endsWith(std::initializer_list<Kind> kinds) const {
        if (kinds.size() > m_kinds.size())
            return false;
        return std::equal(kinds.begin(), kinds.end(),
                          m_kinds.end() - static_cast<std::ptrdiff_t>(kinds.size()));
    }
    // The text of a rich string (<si> or <is>) is its runs' texts, phonetic guides left out.
    bool inRichText(Kind string) const { return endsWith({string, T}) || endsWith({string, R, T}); }

private:
    static Kind kindOf(QByteArrayView name) {
        if (name.size() == 1) {
            switch (name.front()) {
            case 'r':
                return R;
            case 't':
                return T;
            case 'c':
                return C;
            case 'v':
                return V;
            case 'f':
                return F;
            default:
                return Other;
            }
        }
        if (name == "row")
            return Row;
        if (name == "si")
            return Si;
        if (name == "is")
            return Is;
        if (name == "xf")
            return Xf;
        return name == "cellXfs" ? CellXfs : Other;
    }

    std::vector<Kind> m_kinds;
};

struct Relationship {
    QString id;
    QString type;
    QString target;
};

QString valueOf(std::optional<QByteArrayView> value) {
    return value ? QString::fromUtf8(*value) : QString();
}

// A part's relationships, in the order they are written; external targets left out.
class RelationshipsHandler : public XmlHandler {
public:
    RelationshipsHandler(const QString& path, const QString& part, const SheetLimits& limits)
        : m_path(path), m_part(part), m_limits(limits) {}
    void startElement(QByteArrayView name, const char** a) override {
        if (name != "Relationship" || attribute(a, "TargetMode").value_or("") == "External")
            return;
        if (relations.size() >= m_limits.maxEntries)
            throw SheetErrors::tooManyEntries(m_path, m_part, m_limits);
        relations.append(
            {valueOf(attribute(a, "Id")), valueOf(attribute(a, "Type")), valueOf(attribute(a, "Target"))});
    }
    void endElement(QByteArrayView) override {}

    QList<Relationship> relations;

private:
    const QString& m_path;
    QString m_part;
    const SheetLimits& m_limits;
};

// The workbook part: the first sheet's relationship id and the date system.
class WorkbookHandler : public XmlHandler {
public:
    void startElement(QByteArrayView name, const char** a) override {
        if (name == "workbookPr") {
            const QByteArrayView value = attribute(a, "date1904").value_or("");
            date1904 = value == "1" || value == "true";
        } else if (name == "sheet" && sheetId.isEmpty()) {
            // The relationship id is r:id in the relationships namespace, whatever its prefix.
            sheetId = valueOf(attribute(a, "id", true));
        }
    }
    void endElement(QByteArrayView) override {}

    QString sheetId;
    bool date1904 = false;
};

class SharedStringsHandler : public XmlHandler {
public:
    SharedStringsHandler(const QString& path, const SheetLimits& limits, PackedTexts& strings)
        : m_path(path), m_limits(limits), m_text(path, limits), m_strings(strings) {}
    void startElement(QByteArrayView name, const char**) override {
        m_open.push(name);
        if (m_open.endsWith({ElementPath::Si}))
            m_text.clear();
    }
    void endElement(QByteArrayView) override {
        if (m_open.endsWith({ElementPath::Si})) {
            const QString text = m_text.take();
            if (m_strings.size() >= m_limits.maxCells)
                throw SheetErrors::tooManyCells(m_path, m_limits);
            if (m_strings.chars() + text.size() > m_limits.maxChars)
                throw SheetErrors::tooMuchText(m_path, m_limits);
            m_strings.append(text);
        }
        m_open.pop();
    }
    bool wantsText() const override { return m_open.inRichText(ElementPath::Si); }
    void text(QByteArrayView piece) override { m_text.add(piece); }

private:
    const QString& m_path;
    const SheetLimits& m_limits;
    ElementPath m_open;
    TextCollector m_text;
    PackedTexts& m_strings;
};

// The number formats of the cell formats (cellXfs), by the cells' style index.
class StylesHandler : public XmlHandler {
public:
    explicit StylesHandler(const SheetLimits& limits) : m_limits(limits) {}
    void startElement(QByteArrayView name, const char** a) override {
        m_open.push(name);
        if (name == "numFmt") {
            if (m_custom.size() >= m_limits.maxEntries)
                return;
            // Excel's codes are at most 255 characters; a longer one is shown as General.
            const QByteArrayView code = attribute(a, "formatCode").value_or("");
            m_custom.insert(attribute(a, "numFmtId").value_or("").toInt(),
                            code.size() > 255 ? NumberFormat() : customFormat(QString::fromUtf8(code)));
        } else if (m_open.endsWith({ElementPath::CellXfs, ElementPath::Xf}) &&
                   formats.size() < m_limits.maxEntries) {
            const int id = attribute(a, "numFmtId").value_or("").toInt();
            formats << m_custom.value(id, builtInFormat(id));
        }
    }
    void endElement(QByteArrayView) override { m_open.pop(); }

    QList<NumberFormat> formats;

private:
    const SheetLimits& m_limits;
    ElementPath m_open;
    QHash<int, NumberFormat> m_custom;
};

class SheetHandler : public XmlHandler {
    // A cell's t: a number (none), a shared string, an inline string, a text as it stands (a formula's
    // text, an error, an ISO date), a boolean.
    enum class Type { Number, Shared, Inline, Text, Boolean };
    static Type typeOf(QByteArrayView t) {
        if (t == "s")
            return Type::Shared;
        if (t == "inlineStr")
            return Type::Inline;
        if (t == "str" || t == "e" || t == "d")
            return Type::Text;
        return t == "b" ? Type::Boolean : Type::Number;
    }

public:
    SheetHandler(SheetTable& table, const PackedTexts& strings, const QList<NumberFormat>& formats,
                 bool date1904, const QString& path, const SheetLimits& limits)
        : m_table(table), m_strings(strings), m_formats(formats), m_date1904(date1904), m_text(path, limits),
          m_limits(limits) {}

    void startElement(QByteArrayView name, const char** a) override {
        m_open.push(name);
        if (m_open.endsWith({ElementPath::Row})) {
            m_table.setRowNumber(attribute(a, "r").value_or("").toInt());
            return;
        }
        if (!m_open.endsWith({ElementPath::C})) {
            if (m_open.endsWith({ElementPath::C, ElementPath::V})) {
                m_text.clear();
                m_haveValue = true;
            }
            m_formula = m_formula || m_open.endsWith({ElementPath::C, ElementPath::F});
            return;
        }
        const int at = columnOf(attribute(a, "r").value_or(""));
        // Cells right of the last column a table takes share one slot, which the table leaves out.
        m_column = std::min(at >= 0 ? at : m_next, m_limits.maxColumns);
        m_next = m_column + 1;
        const QByteArrayView type = attribute(a, "t").value_or("");
        m_type = typeOf(type);
        m_error = type == "e";
        m_formula = false;
        m_haveValue = false;
        m_style = attribute(a, "s").value_or("").toInt();
        m_value.clear();
        m_inline.clear();
        m_haveInline = false;
        m_text.clear();
    }

    void endElement(QByteArrayView) override {
        if (m_open.endsWith({ElementPath::C, ElementPath::V})) {
            m_value = m_text.take();
        } else if (m_open.endsWith({ElementPath::C, ElementPath::Is})) {
            m_inline = m_text.take();
            m_haveInline = true;
        } else if (m_open.endsWith({ElementPath::C})) {
            // An empty cell (a formatted one, say) gives no text but for a boolean, and costs nothing. A
            // formula without its <v> was never computed: what it shows is not known.
            const bool empty = m_value.isEmpty() && !m_haveInline && m_type != Type::Boolean;
            if (m_formula && !m_haveValue && !m_haveInline)
                m_table.setFormulaWithoutValue(m_column);
            else if (QString text = empty ? QString() : cellText(); !text.isEmpty() && m_error)
                m_table.setErrorValue(m_column, std::move(text));
            else if (!text.isEmpty())
                m_table.setCell(m_column, std::move(text));
        } else if (m_open.endsWith({ElementPath::Row})) {
            m_table.endRow();
            m_next = 0;
        }
        m_open.pop();
    }

    bool wantsText() const override {
        return m_open.endsWith({ElementPath::C, ElementPath::V}) || m_open.inRichText(ElementPath::Is);
    }
    void text(QByteArrayView piece) override { m_text.add(piece); }

private:
    // The text of the cell just read.
    QString cellText() const {
        if (m_haveInline || m_type == Type::Inline)
            return m_haveInline ? m_inline : m_value;
        if (m_type == Type::Shared) {
            bool ok = false;
            const qsizetype index = m_value.toLongLong(&ok);
            return ok && index >= 0 && index < m_strings.size() ? m_strings.at(index).toString() : QString();
        }
        if (m_type == Type::Text)
            return m_value;
        if (m_type == Type::Boolean)
            return m_value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        return number(m_value,
                      m_style >= 0 && m_style < m_formats.size() ? m_formats.at(m_style) : NumberFormat());
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

    SheetTable& m_table;
    const PackedTexts& m_strings;
    const QList<NumberFormat>& m_formats;
    const bool m_date1904;
    TextCollector m_text;
    const SheetLimits& m_limits;
    ElementPath m_open;
    int m_column = 0;
    int m_next = 0;
    Type m_type = Type::Number;
    int m_style = 0;
    QString m_value;
    QString m_inline;
    bool m_haveInline = false;
    bool m_formula = false;
    bool m_haveValue = false;
    bool m_error = false;
};

class Reader {
public:
    Reader(const QString& path, const SheetLimits& limits, ReadControl* control)
        : m_path(path), m_limits(limits), m_package(path, limits, control) {}

    SheetTable read() {
        const QString workbook = officeDocument();
        const QList<Relationship> relations = relationships(workbook);
        WorkbookHandler book;
        if (!m_package.parse(workbook, book))
            throw SheetErrors::damaged(m_path, QStringLiteral("缺少 %1").arg(workbook));
        const auto sheet = std::find_if(relations.begin(), relations.end(),
                                        [&](const Relationship& r) { return r.id == book.sheetId; });
        if (book.sheetId.isEmpty() || sheet == relations.end())
            throw noSheet();
        // The first relationship of each kind; a part is read once.
        PackedTexts strings;
        QList<NumberFormat> formats;
        const QString folder = folderOf(workbook);
        if (const Relationship* r = first(relations, QStringLiteral("/sharedStrings"))) {
            SharedStringsHandler handler(m_path, m_limits, strings);
            m_package.parse(resolve(folder, r->target), handler);
        }
        if (const Relationship* r = first(relations, QStringLiteral("/styles"))) {
            StylesHandler handler(m_limits);
            m_package.parse(resolve(folder, r->target), handler);
            formats = handler.formats;
        }
        SheetTable table(m_limits);
        table.setSource(m_path);
        SheetHandler handler(table, strings, formats, book.date1904, m_path, m_limits);
        if (!m_package.parse(resolve(folder, sheet->target), handler))
            throw noSheet();
        table.endRow();
        return table;
    }

private:
    OperationError noSheet() const {
        return OperationError(QStringLiteral("无法读取表格文件“%1”：工作簿里找不到工作表。").arg(m_path));
    }

    static const Relationship* first(const QList<Relationship>& relations, const QString& type) {
        for (const Relationship& relation : relations)
            if (relation.type.endsWith(type))
                return &relation;
        return nullptr;
    }

    QList<Relationship> relationships(const QString& part) {
        const QString relsPart = resolve(folderOf(part), QStringLiteral("_rels/") +
                                                             part.sliced(folderOf(part).size()).remove(u'/') +
                                                             QStringLiteral(".rels"));
        RelationshipsHandler handler(m_path, relsPart, m_limits);
        m_package.parse(relsPart, handler);
        return handler.relations;
    }

    // The workbook part that the package's relationships name (xl/workbook.xml as a rule).
    QString officeDocument() {
        for (const Relationship& relation : relationships(QStringLiteral("/")))
            if (relation.type.endsWith(QLatin1String("/officeDocument")))
                return resolve(QString(), relation.target);
        return QStringLiteral("xl/workbook.xml");
    }

    QString m_path;
    SheetLimits m_limits;
    XmlPackage m_package;
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
        return SheetErrors::encrypted(path);
    return OperationError(QStringLiteral("无法读取表格文件“%1”：这是旧版 Excel 文件（.xls）。"
                                         "请在 Excel 中另存为 .xlsx 或 .csv 后再导入。")
                              .arg(path));
}

SheetTable read(const QString& path, const SheetLimits& limits, ReadControl* control) {
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw OperationError::cannotOpen(path, file.errorString());
    }
    Reader reader(path, limits, control);
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
