#include "textfiles.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QFileInfo>

#include <algorithm>

namespace TextFiles {

QStringList splitLines(QStringView text) {
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.sliced(start).toString());
    return lines;
}

QByteArray joinCrLf(const QStringList& lines) {
    qsizetype length = 0;
    for (const QString& line : lines)
        length += line.size() + 2;
    QString text;
    text.reserve(length);
    for (const QString& line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return TextCodec::toGbk(text);
}

QString loadEntrantText() {
    return TextCodec::decodeEntrantList(AtomicFile::readAll(AppPaths::file(AppPaths::kEntrants)));
}

QStringList loadWinners() {
    return splitLines(TextCodec::fromGbk(AtomicFile::readAll(AppPaths::file(AppPaths::kWinners))));
}

bool holdsResults(const QStringList& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return std::any_of(line.begin(), line.end(), [](QChar c) { return c.unicode() > 0x20; });
    });
}

void emptyProgress() {
    AtomicFile::write(AppPaths::file(AppPaths::kProgress), QByteArray());
}

} // namespace TextFiles
