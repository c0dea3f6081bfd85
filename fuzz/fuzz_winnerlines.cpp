// 中奖名单.txt as it may come back at a restore, hand-edited or broken: every line goes through the
// line grammar (header, winner, supplementary, cancel marks) and the winners panel look-ups without
// fault, and the index of names that have won agrees with the lines.
#include "textcodec.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = TextFiles::splitLines(TextCodec::fromGbk(bytes));
    if (lines.size() > 2000)
        return 0;

    WinnerLists lists;
    lists.setAll(lines);
    // Some prize names of the lines' own, so that reading after a known prize is exercised too.
    QStringList prizes;
    for (int i = 0; i < static_cast<int>(lines.size()) && prizes.size() < 3; ++i)
        if (!lists.prizeAt(i).isEmpty())
            prizes << lists.prizeAt(i);
    lists.setPrizeNames(prizes);
    QStringList names;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const QString& line = lines.at(i);
        const bool header = WinnerLists::isHeaderLine(line);
        const QString name = lists.nameAt(i);
        names << name;
        if (header && !name.isEmpty())
            std::abort();
        if (!name.isEmpty() && !lists.hasWon(name))
            std::abort();
        const QString cell = WinnerLists::cellName(line);
        lists.cellNameOf(line);
        WinnerLists::isSupplementaryCell(line);
        for (bool cancelled : {false, true}) {
            const int found = lists.findLineForCell(line, cancelled);
            if (found >= static_cast<int>(lines.size()) || found < -1)
                std::abort();
            if (found >= 0 && WinnerLists::isHeaderLine(lines.at(found)))
                std::abort();
            lists.findLineForCell(cell, cancelled);
        }
    }
    // Cancelling and restoring every line leaves the lists as they were.
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
        lists.setAllLine(i, WinnerLists::cancelLine(lists.all().at(i)));
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const QString restored = WinnerLists::restoreLine(lists.all().at(i));
        lists.setAllLine(i, restored);
        if (restored != WinnerLists::restoreLine(lines.at(i)))
            std::abort();
    }
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const QString& name = names.at(i);
        if (lists.nameAt(i) != name || (!name.isEmpty() && !lists.hasWon(name)))
            std::abort();
    }
    return 0;
}
