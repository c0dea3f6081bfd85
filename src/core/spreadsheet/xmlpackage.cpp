#include "xmlpackage.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <minizip/iowin32.h>
#endif

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {
// Bytes inflated and parsed at a time: the progress and a cancel are looked at after each.
constexpr unsigned kChunk = 256 * 1024;
// unzLocateFile's comparison of names: 2 ignores case.
constexpr int kCaseInsensitive = 2;
// Between a namespace and a local name in the names expat gives (neither can hold a blank).
constexpr XML_Char kNamespaceSeparator = ' ';

// Windows opens the workbook by its wide path: minizip's plain functions take the system's 8-bit code
// page's, which cannot name a folder outside it (Korean in a user's name on a Chinese Windows).
unzFile openZip(const QString& path) {
#ifdef Q_OS_WIN
    zlib_filefunc64_def files;
    fill_win32_filefunc64W(&files);
    return unzOpen2_64(QDir::toNativeSeparators(path).toStdWString().c_str(), &files);
#else
    return unzOpen64(QFile::encodeName(path).constData());
#endif
}

QByteArrayView localName(const char* name) {
    const char* separator = std::strrchr(name, kNamespaceSeparator);
    return QByteArrayView(separator ? separator + 1 : name);
}

// One part being parsed: expat's callbacks land here. A callback never lets an exception through
// expat (a C library): it keeps the exception, stops the parser and the read throws it afterwards.
struct Parse {
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    const SheetLimits* limits = nullptr;
    QString path;
    QString part;
    std::exception_ptr error;
    int depth = 0;
    // Elements of the package so far.
    qint64* elements = nullptr;
    // Where in the part the latest callback began: text arrives in pieces, so everything a callback
    // does not see for long is one tag, comment or instruction.
    qint64 lastEvent = 0;

    void fail(std::exception_ptr e) {
        if (!error)
            error = std::move(e);
        XML_StopParser(parser, XML_FALSE);
    }
    template <typename F> void guarded(F&& f) {
        if (error)
            return;
        lastEvent = XML_GetCurrentByteIndex(parser);
        try {
            f();
        } catch (...) {
            fail(std::current_exception());
        }
    }
};

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    auto* p = static_cast<Parse*>(data);
    p->guarded([&] { p->handler->text(QByteArrayView(text, length)); });
}

void askForText(Parse* p) {
    XML_SetCharacterDataHandler(p->parser, p->handler->wantsText() ? onText : nullptr);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* p = static_cast<Parse*>(data);
    p->guarded([&] {
        if (++p->depth > p->limits->maxXmlDepth)
            throw SheetErrors::damaged(
                p->path, QStringLiteral("%1 的元素嵌套超过 %2 层").arg(p->part).arg(p->limits->maxXmlDepth));
        if (++*p->elements > p->limits->maxElements)
            throw SheetErrors::tooManyElements(p->path, *p->limits);
        p->handler->startElement(localName(name), attributes);
        askForText(p);
    });
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    auto* p = static_cast<Parse*>(data);
    p->guarded([&] {
        --p->depth;
        p->handler->endElement(localName(name));
        askForText(p);
    });
}

// A document type definition is where entities are declared (the billion laughs, external entities):
// a workbook has none, so the first sign of one ends the read.
void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto* p = static_cast<Parse*>(data);
    p->fail(std::make_exception_ptr(SheetErrors::doctype(p->path, p->part)));
}

void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* p = static_cast<Parse*>(data);
    p->fail(std::make_exception_ptr(SheetErrors::doctype(p->path, p->part)));
}

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// The part opened in the package; closed with the object when it was left before its end.
class CurrentPart {
public:
    explicit CurrentPart(unzFile zip) : m_zip(zip) {}
    CurrentPart(const CurrentPart&) = delete;
    CurrentPart& operator=(const CurrentPart&) = delete;
    ~CurrentPart() {
        if (m_zip)
            unzCloseCurrentFile(m_zip);
    }
    // UNZ_OK, or the unzip error (UNZ_CRCERROR for a part read to its end whose checksum is wrong).
    int close() { return unzCloseCurrentFile(std::exchange(m_zip, nullptr)); }

private:
    unzFile m_zip;
};
} // namespace

std::optional<QByteArrayView> XmlHandler::attribute(const char** attributes, QByteArrayView name,
                                                    bool namespaced) {
    for (const char** a = attributes; a && a[0]; a += 2) {
        const char* separator = std::strrchr(a[0], kNamespaceSeparator);
        if ((separator != nullptr) == namespaced && QByteArrayView(separator ? separator + 1 : a[0]) == name)
            return QByteArrayView(a[1]);
    }
    return std::nullopt;
}

XmlPackage::XmlPackage(const QString& path, const SheetLimits& limits, ReadControl* control)
    : m_path(path), m_limits(limits), m_control(control), m_fileSize(QFileInfo(path).size()) {
    m_zip = openZip(path);
    if (!m_zip)
        throw SheetErrors::damaged(path, QStringLiteral("无法打开压缩包，找不到目录"));
    // Finding a part walks the directory, entry by entry.
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(m_zip, &info) != UNZ_OK) {
        unzClose(m_zip);
        throw SheetErrors::damaged(path, QStringLiteral("无法读取压缩包的目录"));
    }
    if (info.number_entry > static_cast<ZPOS64_T>(limits.maxEntries)) {
        unzClose(m_zip);
        throw SheetErrors::tooManyEntries(path, QStringLiteral("压缩包"), limits);
    }
}

XmlPackage::~XmlPackage() {
    unzClose(m_zip);
}

void XmlPackage::inflated(const QString& part, qint64 partBytes, qint64 compressed) {
    if (m_inflated > m_limits.maxInflatedBytes)
        throw SheetErrors::inflatedTooBig(m_path, m_limits);
    // Compressed bytes cannot be more than the file has, whatever the directory says.
    const qint64 packed = std::max<qint64>(1, std::min(compressed, m_fileSize));
    if (partBytes > m_limits.ratioGraceBytes && partBytes / m_limits.maxRatio > packed)
        throw SheetErrors::inflatesTooMuch(m_path, part, m_limits);
}

bool XmlPackage::parse(const QString& part, XmlHandler& handler) {
    const unzFile zip = m_zip;
    if (unzLocateFile(zip, part.toUtf8().constData(), kCaseInsensitive) != UNZ_OK)
        return false;
    // A package that names a part more than once (relationships to one part, a sheet that is its own
    // shared strings) gets it read once.
    const QString key = part.toLower();
    if (m_read.contains(key))
        throw SheetErrors::damaged(m_path, QStringLiteral("%1 被重复引用").arg(part));
    m_read.insert(key);

    unz_file_info64 info{};
    int error = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (error == UNZ_OK && (info.flag & 1) != 0)
        throw SheetErrors::encrypted(m_path);
    if (error == UNZ_OK)
        error = unzOpenCurrentFile(zip);
    if (error != UNZ_OK)
        throw SheetErrors::damaged(m_path, QStringLiteral("%1 无法解压，错误码 %2").arg(part).arg(error));
    CurrentPart current(zip);

    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(
        XML_ParserCreateNS(nullptr, kNamespaceSeparator));
    if (!parser)
        throw std::bad_alloc();
    Parse parse;
    parse.parser = parser.get();
    parse.handler = &handler;
    parse.limits = &m_limits;
    parse.path = m_path;
    parse.part = part;
    parse.elements = &m_elements;
    XML_SetUserData(parser.get(), &parse);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    XML_SetEntityDeclHandler(parser.get(), onEntity);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    const qint64 compressed = static_cast<qint64>(std::min<ZPOS64_T>(info.compressed_size, INT64_MAX));
    std::vector<char> buffer(kChunk);
    qint64 partBytes = 0;
    while (true) {
        if (m_control)
            m_control->report(static_cast<qint64>(unzGetCurrentFileZStreamPos64(zip)), m_fileSize);
        const int n = unzReadCurrentFile(zip, buffer.data(), kChunk);
        if (n < 0)
            throw SheetErrors::damaged(m_path, QStringLiteral("%1 无法解压，错误码 %2").arg(part).arg(n));
        partBytes += n;
        m_inflated += n;
        if (m_control)
            m_control->addInflated(n);
        inflated(part, partBytes, compressed);
        if (XML_Parse(parser.get(), buffer.data(), n, n == 0) != XML_STATUS_OK) {
            if (parse.error)
                std::rethrow_exception(parse.error);
            throw SheetErrors::damaged(
                m_path, QStringLiteral("%1: %2（第 %3 行）")
                            .arg(part)
                            .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser.get()))))
                            .arg(XML_GetCurrentLineNumber(parser.get())));
        }
        if (partBytes - parse.lastEvent > m_limits.maxXmlToken)
            throw SheetErrors::damaged(m_path, QStringLiteral("%1 中有一段超过 %2 KB 的内容不是表格数据")
                                                   .arg(part)
                                                   .arg(m_limits.maxXmlToken / 1024));
        if (n == 0)
            break;
    }
    if (const int closed = current.close(); closed != UNZ_OK)
        throw SheetErrors::damaged(m_path, QStringLiteral("%1 校验失败，错误码 %2").arg(part).arg(closed));
    return true;
}
