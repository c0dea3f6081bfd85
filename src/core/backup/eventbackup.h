#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The whole event as one .zip: settings (prize.db), the entrant list, the results and their dated
// copies, the check-ins, the history, the pictures (图片) and the music, so an event prepared on one
// laptop runs on another. Only the event's data and pictures travel: never the help file or anything
// else the system would open or run, nor a picture from outside 图片. A restore takes an archive only
// when it is whole and this program's: every entry a file an event keeps, within the limits below,
// none encrypted, none damaged; what earlier backups also carried (lottery.chm, other files in 图片)
// is left out. The restored prize.db names pictures in 图片 only. It unpacks everything beside the
// event first, then moves the files it replaces into a dated folder
// (恢复前备份-<date>-<time>) and the restored ones into their place; a failure on the way puts the
// former files back.
namespace EventBackup {

struct Limits {
    int entries = 5000;
    // A picture or the music, and the whole archive unpacked.
    qint64 entryBytes = qint64(256) << 20;
    qint64 totalBytes = qint64(1) << 30;
    // Unpacked bytes per packed byte, for entries above a mebibyte: text packs 10:1, a bomb 1000:1.
    qint64 ratio = 200;
    int nameBytes = 255;
};

inline const QString kCopyFolderStem = QStringLiteral("恢复前备份-");

// The event's files, relative to the event folder ("prize.db", "图片/a.jpg"), those there now.
QStringList eventFiles();
// Whether a relative name is one an event keeps (what an archive may hold).
bool isEventFile(const QString& name);

struct Written {
    int files = 0;
    // The pictures prize.db names outside 图片 (as stored), not in the archive.
    QStringList outsidePictures;
};
// Stores the pictures prize.db names in 图片 as such (EventPictures::keepInFolder), then writes the
// archive, all or nothing. Throws OperationError.
Written write(const QString& zipPath);

struct Restored {
    int files = 0;
    // The dated folder that holds what the restore replaced (empty when it replaced nothing).
    QString copyFolder;
    // The archive's files not restored (the help file, files in 图片 that are no pictures).
    QStringList leftOut;
    // The picture paths of the archive's prize.db outside 图片, as stored: no longer in prize.db.
    QStringList droppedPictures;
};
// Throws OperationError, naming the archive and what is wrong with it; the event folder is then as
// it was.
Restored restore(const QString& zipPath, const Limits& limits = {});

} // namespace EventBackup
