#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

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

// 抽奖名单.txt as the pool takes it. A list that is plainly no text (a NUL byte, or more than half of
// its lines holding bytes no character is made of or control characters) is refused whole; of a text
// list, the lines holding such bytes or control characters within the name are left out and the
// operator is told; blank lines stay lines of the pool, as they always have.
struct EntrantList {
    // The lines kept, each with its break as read (the decoded text itself when every line is kept).
    QString text;
    bool refused = false;
    int undecodable = 0;
    // Lines kept (blank ones included), counted only when some line was left out (else -1).
    int kept = 0;

    // The operator's box for the list at path: why it was refused, or how many lines were left out
    // and why; empty when the whole list loads.
    QString notice(const QString& path) const;
};
EntrantList entrantListOf(QString decoded);
// Reads and checks 抽奖名单.txt; throws OperationError when it cannot be read.
EntrantList loadEntrantList();
// 中奖名单.txt, line by line, verbatim.
QStringList loadWinners();
// Whether lines hold a result: a line with anything but blanks and control characters. The one test
// of a blank list: the start-up question, the dated copies and the history record all use it.
bool holdsResults(const QStringList& lines);

// Leaves progress.txt empty (zero bytes).
void emptyProgress();

// The line between two records of history.txt.
inline const QString kHistorySeparator = QString(73, QLatin1Char('*'));

} // namespace TextFiles
