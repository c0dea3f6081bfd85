#pragma once

#include "sheetlimits.h"

#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <optional>

// What a part's XML is read into: elements by their local name (the namespace left out), attributes
// as expat gives them (name, value, name, value, ..., null), text in pieces as it arrives. Text is
// handed over only where the handler wants it (asked after every element's start and end): the blanks
// and line breaks between elements then cost the parser nothing.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void startElement(QByteArrayView name, const char** attributes) = 0;
    virtual void endElement(QByteArrayView name) = 0;
    virtual bool wantsText() const { return false; }
    virtual void text(QByteArrayView) {}

    // The value of the attribute of that local name: without a namespace, or, when namespaced, in any
    // namespace (r:id, whatever its prefix).
    static std::optional<QByteArrayView> attribute(const char** attributes, QByteArrayView name,
                                                   bool namespaced = false);
};

// An Office Open XML package: a zip file whose parts are XML. A part is unzipped with minizip's unzip
// as it is parsed with expat, so it is never held whole, and everything a hostile file could use
// against the reader stops at the limits with the operator's message: a document type definition
// (and so any entity of one), a part inflating far beyond its compressed size or beyond the limit of
// all parts, more elements than the limit (each costs time), a tag longer or elements deeper than the
// limits, a part read a second time, a package of too many entries. The control learns the progress (the
// position in the file) and can cancel.
class XmlPackage {
public:
    // Throws OperationError when the file is no zip package or holds too many entries.
    XmlPackage(const QString& path, const SheetLimits& limits, ReadControl* control);
    ~XmlPackage();
    XmlPackage(const XmlPackage&) = delete;
    XmlPackage& operator=(const XmlPackage&) = delete;

    // Parses the part (its name in the package, matched ignoring case) into the handler; false when
    // the package has no such part. Throws OperationError (damaged, encrypted, a limit, a part read
    // before), ReadCancelled, or what the handler throws.
    bool parse(const QString& part, XmlHandler& handler);

private:
    void inflated(const QString& part, qint64 partBytes, qint64 compressed);

    QString m_path;
    SheetLimits m_limits;
    ReadControl* m_control;
    void* m_zip = nullptr;
    qint64 m_fileSize = 0;
    qint64 m_inflated = 0;
    qint64 m_elements = 0;
    QSet<QString> m_read;
};
