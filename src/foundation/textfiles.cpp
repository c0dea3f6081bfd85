#include "textfiles.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "operationerror.h"
#include "textcodec.h"
#include "winnerlists.h"

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

void saveWinners(const QStringList& lines) {
    AtomicFile::write(AppPaths::file(AppPaths::kWinners), joinCrLf(lines));
}

void stageWinners(AtomicFile::Batch& batch, const QStringList& lines) {
    batch.stage(AppPaths::file(AppPaths::kWinners), joinCrLf(lines));
}

std::optional<QStringList> loadAllWinners() {
    const QString path = AppPaths::file(AppPaths::kAllWinners);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    try {
        return splitLines(TextCodec::fromGbk(AtomicFile::readAll(path)));
    } catch (const OperationError&) {
        // An unreadable file is no record of this state; 中奖名单.txt alone is restored.
        return std::nullopt;
    }
}

void stageAllWinners(AtomicFile::Batch& batch, const QStringList& lines) {
    batch.stage(AppPaths::file(AppPaths::kAllWinners), joinCrLf(lines));
}

bool holdsResults(const QStringList& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return std::any_of(line.begin(), line.end(), [](QChar c) { return c.unicode() > 0x20; });
    });
}

namespace {
// The main-draw line a line stands for: without cancel marks; empty for a supplementary line.
std::optional<QString> mainDrawLine(const QString& line) {
    QString plain = WinnerLists::restoreLine(line);
    if (plain.endsWith(WinnerLists::kSupplementaryMark))
        return std::nullopt;
    return plain;
}
} // namespace

RestoredList restoredAllWinners(const QStringList& winners, const std::optional<QStringList>& allWinners) {
    if (!allWinners)
        return {winners, false};
    QStringList fromAll;
    for (const QString& line : *allWinners)
        if (auto plain = mainDrawLine(line))
            fromAll << *plain;
    // Walk 中奖名单.txt's main-draw lines along those of allwinners.txt.
    qsizetype matched = 0;
    qsizetype i = 0;
    for (; i < winners.size() && matched < fromAll.size(); ++i) {
        const auto plain = mainDrawLine(winners.at(i));
        if (!plain)
            continue;
        if (*plain != fromAll.at(matched))
            return {winners, false};
        ++matched;
    }
    if (matched < fromAll.size())
        return {winners, false}; // allwinners.txt holds draws 中奖名单.txt does not
    RestoredList restored{*allWinners, true};
    const QStringList tail = winners.mid(i);
    // Lines after the last main draw that are no main draw (an export's supplementary lines) are in
    // allwinners.txt already.
    if (std::any_of(tail.begin(), tail.end(),
                    [](const QString& line) { return mainDrawLine(line).has_value(); }))
        restored.all += tail;
    return restored;
}

void saveAllWinners(const QStringList& lines, ResultFiles& files) {
    files.keepBeforeReplace(ResultFiles::AllWinners);
    AtomicFile::write(AppPaths::file(AppPaths::kAllWinners), joinCrLf(lines));
}

QString datedCopyPath(const QString& path, const QDateTime& when) {
    const QFileInfo info(path);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') +
                         when.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = stem + suffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QStringLiteral("-%1").arg(n) + suffix;
    return candidate;
}

QString ResultFiles::path(File file) {
    return AppPaths::file(file == Winners ? AppPaths::kWinners : AppPaths::kAllWinners);
}

QString ResultFiles::keepBeforeReplace(File file) {
    if (m_own[file])
        return {};
    const QString original = path(file);
    QString copy;
    if (QFileInfo::exists(original)) {
        const QByteArray bytes = AtomicFile::readAll(original);
        if (holdsResults(splitLines(TextCodec::fromGbk(bytes)))) {
            copy = datedCopyPath(original, Clock::instance().now());
            AtomicFile::write(copy, bytes);
        }
    }
    // The old results are safe (or there were none): from now on the run may replace the file.
    m_own[file] = true;
    return copy;
}

void emptyProgress() {
    AtomicFile::write(AppPaths::file(AppPaths::kProgress), QByteArray());
}

void appendHistory(const QStringList& allWinners) {
    // A list of nothing but blanks and control characters is no record.
    const bool blank = std::all_of(allWinners.begin(), allWinners.end(), [](const QString& line) {
        return std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() <= 0x20; });
    });
    if (blank)
        return;

    const QString path = AppPaths::file(AppPaths::kHistory);
    if (!QFileInfo::exists(path)) {
        AtomicFile::write(path, joinCrLf(allWinners));
        return;
    }
    // The history is rewritten whole rather than appended to, so that a failed write never leaves
    // half a record behind.
    QByteArray data = AtomicFile::readAll(path);
    data += TextCodec::toGbk(kHistorySeparator);
    data += "\r\n";
    data += joinCrLf(allWinners);
    data += "\r\n";
    AtomicFile::write(path, data);
}

} // namespace TextFiles
