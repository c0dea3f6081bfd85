#include "entrantlist.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "sheetlimits.h"
#include "textcodec.h"
#include "textfiles.h"

#include <QFileInfo>

namespace EntrantList {

namespace {
// Every CR LF, lone CR and lone LF of a text or of its bytes made CR LF. GBK's second bytes are never
// CR or LF, so in GBK bytes the breaks are found in the bytes themselves.
template <typename Result, typename View> Result crLfBreaks(View text) {
    Result result;
    result.reserve(text.size() + text.size() / 8);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = text[i];
        if (c == '\r' || c == '\n') {
            result += QLatin1String("\r\n");
            if (c == '\r' && i + 1 < size && text[i + 1] == '\n')
                ++i;
        } else {
            result += c;
        }
    }
    return result;
}
} // namespace

QString withCrLf(QStringView text) {
    return crLfBreaks<QString>(text);
}

QString lowerLatin(QStringView text) {
    QString result = text.toString();
    for (QChar& c : result)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return result;
}

qsizetype find(QStringView text, QStringView needle, qsizetype from) {
    if (needle.isEmpty() || from < 0 || from > text.size())
        return -1;
    return QStringView(lowerLatin(text)).indexOf(lowerLatin(needle), from);
}

QString notFoundText(QStringView needle) {
    return QLatin1Char('"') + lowerLatin(needle) + QStringLiteral("\" 没有找到。");
}

QString importQuestion(const QString& path) {
    return QStringLiteral("重新导入抽奖名单，将会覆盖名单文件:") + path + QStringLiteral("，要继续吗?");
}

QByteArray withCrLfBytes(QByteArrayView bytes) {
    return crLfBreaks<QByteArray>(bytes);
}

Import readForImport(const QString& path) {
    // A list comes from anyone: one larger than a spreadsheet import takes is refused before it is read.
    const SheetLimits limits;
    if (QFileInfo(path).size() > limits.maxFileBytes)
        throw SheetErrors::fileTooBig(path, limits);
    const QByteArray bytes = AtomicFile::readAll(path);
    Import imported;
    if (TextCodec::isUtf8(bytes)) {
        // Only UTF-8 is transcoded; the list file is GBK.
        imported.text = withCrLf(TextCodec::decodeEntrantList(bytes));
        imported.bytes = TextCodec::toGbk(imported.text);
    } else {
        // A GBK file keeps its bytes, also those that are no GBK character.
        imported.bytes = withCrLfBytes(bytes);
        imported.text = TextCodec::fromGbk(imported.bytes);
    }
    return imported;
}

void writeList(const QByteArray& bytes) {
    AtomicFile::write(AppPaths::file(AppPaths::kEntrants), bytes);
}

void writeLines(const QStringList& lines, bool finalBreak) {
    QByteArray bytes = TextFiles::joinCrLf(lines);
    if (!finalBreak && !lines.isEmpty())
        bytes.chop(2);
    writeList(bytes);
}

} // namespace EntrantList
