#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace AtomicFile {
class Batch;
}

// The program's text files beside the executable: the entrant list, the winners file, the progress
// file and the history. All GBK, every line written with CR LF. Failures throw OperationError with
// the operator's message (cannot open / cannot create, with the path and the system's reason).
namespace TextFiles {

// CR LF, a lone CR and a lone LF each end a line; a break at the very end adds no empty line.
QStringList splitLines(QStringView text);
// Each line followed by CR LF, as GBK bytes.
QByteArray joinCrLf(const QStringList& lines);

// The decoded text of 抽奖名单.txt (GBK, or UTF-8 as TextCodec::decodeEntrantList tells).
QString loadEntrantText();
// 中奖名单.txt, line by line, verbatim.
QStringList loadWinners();
// Replaces 中奖名单.txt with the lines (atomically).
void saveWinners(const QStringList& lines);
// The same, staged into a batch that the caller commits together with its other files.
void stageWinners(AtomicFile::Batch& batch, const QStringList& lines);
// Leaves progress.txt empty (zero bytes).
void emptyProgress();

// The history record at exit. Nothing when the list's text is blank; a new file gets the lines each
// followed by CR LF; an existing file gets 73 asterisks and CR LF, the lines each followed by CR LF,
// and one more CR LF. The file is replaced atomically, so a power cut leaves either the old history or
// the new one.
void appendHistory(const QStringList& allWinners);
inline const QString kHistorySeparator = QString(73, QLatin1Char('*'));

} // namespace TextFiles
