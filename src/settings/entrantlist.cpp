#include "entrantlist.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "textcodec.h"

namespace EntrantList {

QString withCrLf(QStringView text) {
    QString result;
    result.reserve(text.size() + text.size() / 8);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            result += QLatin1String("\r\n");
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
        } else {
            result += c;
        }
    }
    return result;
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

QString readForImport(const QString& path) {
    return withCrLf(TextCodec::decodeEntrantList(AtomicFile::readAll(path)));
}

void writeList(QStringView text) {
    AtomicFile::write(AppPaths::file(AppPaths::kEntrants), TextCodec::toGbk(text));
}

} // namespace EntrantList
