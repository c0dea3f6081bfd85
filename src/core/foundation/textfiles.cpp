#include "textfiles.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "entrantpool.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>
#include <vector>

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

namespace {
// A character that is no part of a name: what a byte no character is made of reads as, and control
// characters (a tab parts the columns of a list and is none).
bool isNoText(QChar c) {
    const char16_t u = c.unicode();
    return u == 0xFFFD || (u < 0x20 && u != u'\t') || (u >= 0x7F && u < 0xA0);
}
} // namespace

EntrantList entrantListOf(QString decoded) {
    EntrantList list;
    // Almost every list is plain text: one tight pass finds that, and the lines are looked at one by
    // one only when some character is no text (a million lines cost a few milliseconds, not a copy).
    const auto noText = [](QChar c) {
        const char16_t u = c.unicode();
        return u != u'\r' && u != u'\n' && isNoText(c);
    };
    if (std::none_of(decoded.cbegin(), decoded.cend(), noText)) {
        list.text = std::move(decoded);
        list.kept = -1;
        return list;
    }
    // Where each line starts (with its break) and whether it is kept.
    std::vector<std::pair<qsizetype, bool>> lines;
    qsizetype noTextChars = 0;
    qsizetype chars = 0;
    const qsizetype size = decoded.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && decoded[end] != u'\r' && decoded[end] != u'\n')
            ++end;
        const QStringView line = QStringView(decoded).sliced(start, end - start);
        if (line.contains(QChar(0))) {
            list.refused = true;
            break;
        }
        const QStringView name = EntrantPool::trimmed(line);
        const auto bad = std::count_if(name.begin(), name.end(), isNoText);
        noTextChars += bad;
        chars += name.size();
        // A blank line stays a line of the pool, as it always has (the draw's positions and its
        // results for a seed depend on it); only a line that is no text is left out.
        const bool kept = bad == 0;
        list.undecodable += bad > 0;
        list.kept += kept;
        lines.emplace_back(start, kept);
        if (end < size && decoded[end] == u'\r' && end + 1 < size && decoded[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    // Mostly lines that are no text, and a good share of their characters: the file is none either (a
    // workbook, a picture, a list saved as UTF-16).
    if (list.refused || (list.undecodable > list.kept && noTextChars * 20 >= chars)) {
        list = EntrantList();
        list.refused = true;
        return list;
    }
    if (list.undecodable == 0) {
        list.text = std::move(decoded);
        return list;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].second)
            continue;
        const qsizetype end = i + 1 < lines.size() ? lines[i + 1].first : size;
        list.text += QStringView(decoded).sliced(lines[i].first, end - lines[i].first);
    }
    return list;
}

QString EntrantList::notice(const QString& path) const {
    if (refused)
        return QStringLiteral("抽奖名单文件“%1”不是文本文件（含有空字符、控制字符或无法识别的字节），"
                              "没有载入任何抽奖人员，文件没有改动。\n\n"
                              "请在表格软件中把名单另存为“文本文件（制表符分隔）(*.txt)”，"
                              "或在“设置”中用“从表格导入...”导入工作簿。")
            .arg(path);
    if (undecodable == 0)
        return QString();
    return QStringLiteral("抽奖名单文件“%1”中有 %2 行没有载入：含有无法识别的字节或控制字符。已载入其余 %3 "
                          "位抽奖人员。\n\n"
                          "请用文本编辑器检查名单文件，或在“设置”中重新导入名单。")
        .arg(path)
        .arg(undecodable)
        .arg(kept);
}

EntrantList loadEntrantList() {
    return entrantListOf(loadEntrantText());
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
