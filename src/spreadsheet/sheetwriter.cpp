#include "sheetwriter.h"

#include "operationerror.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QBuffer>
#include <QDateTime>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>

namespace {
const QString kMain = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRelations =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kPackageRelations =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

// Column letters of a zero-based column: A … Z, AA …
QString columnName(int column) {
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

// OOXML carries characters that XML cannot hold as _xHHHH_, and a text that looks like such an escape
// keeps its underscore as _x005F_.
QString escapeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool control = c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        const bool looksEscaped =
            c == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_';
        if (control || c == QChar(0xFFFE) || c == QChar(0xFFFF) || looksEscaped)
            out += QLatin1String("_x") + QString::number(c.unicode(), 16).rightJustified(4, u'0').toUpper() +
                   u'_';
        else
            out += c;
    }
    return out;
}

QByteArray xml(const std::function<void(QXmlStreamWriter&)>& body) {
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    body(writer);
    writer.writeEndDocument();
    return bytes;
}

QByteArray contentTypes() {
    return xml([](QXmlStreamWriter& w) {
        w.writeDefaultNamespace(
            QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
        w.writeStartElement(QStringLiteral("Types"));
        const auto byExtension = [&](const char* extension, const char* type) {
            w.writeEmptyElement(QStringLiteral("Default"));
            w.writeAttribute(QStringLiteral("Extension"), QLatin1String(extension));
            w.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
        };
        const auto byPart = [&](const char* part, const char* type) {
            w.writeEmptyElement(QStringLiteral("Override"));
            w.writeAttribute(QStringLiteral("PartName"), QLatin1String(part));
            w.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
        };
        byExtension("rels", "application/vnd.openxmlformats-package.relationships+xml");
        byExtension("xml", "application/xml");
        byPart("/xl/workbook.xml",
               "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
        byPart("/xl/worksheets/sheet1.xml",
               "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
        byPart("/xl/styles.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
        w.writeEndElement();
    });
}

QByteArray relationships(const QList<std::pair<const char*, const char*>>& targets) {
    return xml([&](QXmlStreamWriter& w) {
        w.writeDefaultNamespace(kPackageRelations);
        w.writeStartElement(QStringLiteral("Relationships"));
        int id = 0;
        for (const auto& [type, target] : targets) {
            w.writeEmptyElement(QStringLiteral("Relationship"));
            w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(++id));
            w.writeAttribute(QStringLiteral("Type"), QLatin1String(type));
            w.writeAttribute(QStringLiteral("Target"), QLatin1String(target));
        }
        w.writeEndElement();
    });
}

QByteArray workbookPart(const QString& sheetName) {
    return xml([&](QXmlStreamWriter& w) {
        w.writeDefaultNamespace(kMain);
        w.writeNamespace(kRelations, QStringLiteral("r"));
        w.writeStartElement(QStringLiteral("workbook"));
        w.writeStartElement(QStringLiteral("sheets"));
        w.writeEmptyElement(QStringLiteral("sheet"));
        w.writeAttribute(QStringLiteral("name"), sheetName);
        w.writeAttribute(QStringLiteral("sheetId"), QStringLiteral("1"));
        w.writeAttribute(kRelations, QStringLiteral("id"), QStringLiteral("rId1"));
        w.writeEndElement();
        w.writeEndElement();
    });
}

// Two cell formats: 0 plain, 1 bold (the header row).
QByteArray stylesPart() {
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
        "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "</styleSheet>");
}

QByteArray sheetPart(const QList<QStringList>& rows) {
    return xml([&](QXmlStreamWriter& w) {
        w.writeDefaultNamespace(kMain);
        w.writeStartElement(QStringLiteral("worksheet"));
        // The first row stays in view while the rest scrolls.
        w.writeStartElement(QStringLiteral("sheetViews"));
        w.writeStartElement(QStringLiteral("sheetView"));
        w.writeAttribute(QStringLiteral("workbookViewId"), QStringLiteral("0"));
        w.writeEmptyElement(QStringLiteral("pane"));
        w.writeAttribute(QStringLiteral("ySplit"), QStringLiteral("1"));
        w.writeAttribute(QStringLiteral("topLeftCell"), QStringLiteral("A2"));
        w.writeAttribute(QStringLiteral("activePane"), QStringLiteral("bottomLeft"));
        w.writeAttribute(QStringLiteral("state"), QStringLiteral("frozen"));
        w.writeEmptyElement(QStringLiteral("selection"));
        w.writeAttribute(QStringLiteral("pane"), QStringLiteral("bottomLeft"));
        w.writeEndElement();
        w.writeEndElement();

        qsizetype columns = 0;
        for (const QStringList& row : rows)
            columns = std::max(columns, row.size());
        if (columns > 0) {
            w.writeStartElement(QStringLiteral("cols"));
            for (int c = 0; c < columns; ++c) {
                QStringList texts;
                for (const QStringList& row : rows)
                    texts << row.value(c);
                w.writeEmptyElement(QStringLiteral("col"));
                w.writeAttribute(QStringLiteral("min"), QString::number(c + 1));
                w.writeAttribute(QStringLiteral("max"), QString::number(c + 1));
                w.writeAttribute(QStringLiteral("width"), QString::number(XlsxWriter::columnWidth(texts)));
                w.writeAttribute(QStringLiteral("customWidth"), QStringLiteral("1"));
            }
            w.writeEndElement();
        }

        w.writeStartElement(QStringLiteral("sheetData"));
        for (int r = 0; r < rows.size(); ++r) {
            w.writeStartElement(QStringLiteral("row"));
            w.writeAttribute(QStringLiteral("r"), QString::number(r + 1));
            const QStringList& row = rows.at(r);
            for (int c = 0; c < row.size(); ++c) {
                if (row.at(c).isEmpty())
                    continue;
                w.writeStartElement(QStringLiteral("c"));
                w.writeAttribute(QStringLiteral("r"), columnName(c) + QString::number(r + 1));
                if (r == 0)
                    w.writeAttribute(QStringLiteral("s"), QStringLiteral("1"));
                w.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
                w.writeStartElement(QStringLiteral("is"));
                w.writeStartElement(QStringLiteral("t"));
                const QString& text = row.at(c);
                if (text.front().isSpace() || text.back().isSpace())
                    w.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                w.writeCharacters(escapeText(text));
                w.writeEndElement();
                w.writeEndElement();
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeEndElement();
    });
}
} // namespace

namespace XlsxWriter {

double columnWidth(const QStringList& texts) {
    double widest = 0;
    for (const QString& text : texts) {
        double width = 0;
        for (const QChar c : text)
            width += c.unicode() >= 0x1100 ? 2.0 : 1.0;
        widest = std::max(widest, width);
    }
    return std::clamp(widest + 2.0, 8.0, 60.0);
}

QByteArray workbook(const QString& sheetName, const QList<QStringList>& rows) {
    const QList<std::pair<QString, QByteArray>> parts = {
        {QStringLiteral("[Content_Types].xml"), contentTypes()},
        {QStringLiteral("_rels/.rels"),
         relationships({{"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
                         "xl/workbook.xml"}})},
        {QStringLiteral("xl/workbook.xml"), workbookPart(sheetName)},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         relationships(
             {{"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet",
               "worksheets/sheet1.xml"},
              {"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles", "styles.xml"}})},
        {QStringLiteral("xl/styles.xml"), stylesPart()},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheetPart(rows)},
    };
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    const auto failed = [&](const QString& what) {
        return OperationError(
            QStringLiteral("无法生成 Excel 工作簿（%1，错误码 %2）").arg(what).arg(zip.getZipError()));
    };
    if (!zip.open(QuaZip::mdCreate))
        throw failed(QStringLiteral("zip"));
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [name, data] : parts) {
        QuaZipFile file(&zip);
        QuaZipNewInfo info(name);
        info.dateTime = now;
        if (!file.open(QIODevice::WriteOnly, info) || file.write(data) != data.size())
            throw failed(name);
        file.close();
        if (file.getZipError() != UNZ_OK)
            throw failed(name);
    }
    zip.close();
    if (zip.getZipError() != UNZ_OK)
        throw failed(QStringLiteral("zip"));
    return bytes;
}

} // namespace XlsxWriter
