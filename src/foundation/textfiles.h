#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

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
// allwinners.txt: the all-winners list as the audience last saw it, every line with CR LF, written
// after every change of the list. Nothing when the file does not exist or cannot be read.
std::optional<QStringList> loadAllWinners();
void stageAllWinners(AtomicFile::Batch& batch, const QStringList& lines);

// Whether lines hold a result: a line that is not blank.
bool holdsResults(const QStringList& lines);

// The all-winners list that restore progress gives back, from the lines of 中奖名单.txt and of
// allwinners.txt (when there is one). The main draws of allwinners.txt (its headers and winner lines
// with the cancel marks removed, supplementary lines left out) are compared with those of
// 中奖名单.txt: equal, allwinners.txt is the list; a proper prefix (the save was cut between the two
// files), allwinners.txt followed by the lines of 中奖名单.txt it lacks; anything else belongs to
// another state and the list is 中奖名单.txt's lines.
struct RestoredList {
    QStringList all;
    bool usedAllWinners = false;
};
RestoredList restoredAllWinners(const QStringList& winners, const std::optional<QStringList>& allWinners);

// The two files that hold the results: 中奖名单.txt and allwinners.txt. A file holding results this
// run never loaded (at start-up before a restore, after initialise progress) is kept as a dated copy
// beside it, "<name>.<yyyyMMdd-hhmmss>.txt" (then -2, -3, ... rather than replace a copy), before the
// run first replaces it.
class ResultFiles {
public:
    enum File { Winners = 0, AllWinners = 1 };
    // The files on disk are not this run's (start-up, initialise progress).
    void disown() { m_own = {false, false}; }
    // This run has loaded or written the file: replacing it loses nothing.
    void own(File file, bool owned = true) { m_own[file] = owned; }
    bool owns(File file) const { return m_own[file]; }
    // Before a replace of the file: the dated copy when one is due. Returns its path, or an empty
    // text. Throws OperationError when the copy cannot be made.
    QString keepBeforeReplace(File file);
    static QString path(File file);

private:
    std::array<bool, 2> m_own{false, false};
};
// Replaces allwinners.txt with the lines (atomically), after the dated copy that is due.
void saveAllWinners(const QStringList& lines, ResultFiles& files);

// The name the dated copy of a file gets at a time, never one that exists.
QString datedCopyPath(const QString& path, const QDateTime& when);

// Leaves progress.txt empty (zero bytes).
void emptyProgress();

// The history record at exit. Nothing when the list's text is blank; a new file gets the lines each
// followed by CR LF; an existing file gets 73 asterisks and CR LF, the lines each followed by CR LF,
// and one more CR LF. The file is replaced atomically, so a power cut leaves either the old history or
// the new one.
void appendHistory(const QStringList& allWinners);
inline const QString kHistorySeparator = QString(73, QLatin1Char('*'));

} // namespace TextFiles
