#pragma once

#include <QString>
#include <QStringList>

class ConfigStore;
class QImageReader;

// The pictures of an event (prize pictures, the background) kept inside the event folder, in its
// folder 图片, and stored in prize.db relative to the event folder ("图片/一等奖.jpg"), so the event
// folder can be copied to another machine or folder and still shows them. A path stored before (an
// absolute one, say from another laptop) that no longer exists is looked for in 图片 by its file name.
namespace EventPictures {

inline const QString kFolder = QStringLiteral("图片");

// Copies a chosen picture into 图片 (unless it is there already) and gives what prize.db stores for
// it. A different file of the same name already there is kept: the copy gets "-2", "-3", ... before
// its suffix. Throws OperationError (cannot open, cannot create) when the copy cannot be made.
QString adopt(const QString& chosen);

// The file a stored picture path names now: a relative path within the event folder, an absolute
// path that exists as it is, else the file of that name in 图片 when there is one; else the stored
// path as it was (which does not exist). Empty for an empty text.
QString resolve(const QString& stored);

// The picture keys of prize.db as section/key pairs: the eight prize pictures and the background.
struct Key {
    QString section;
    QString key;
};
QList<Key> keys();

// Whether a file name is one a picture in 图片 may have: a plain name (no folder, not hidden, no
// character Windows refuses) with a picture format's suffix (jpg, jpeg, png, bmp, ico, gif, ...).
// Nothing else belongs there: no program, link, script or help file the system would run or open.
bool isPictureName(const QString& name);

// Stores every picture prize.db names that is in 图片 (found by its path or by its file name) as
// "图片/<name>". A file elsewhere is never copied in: the paths of the pictures that are not in 图片
// are given back, as stored, and left as they are. Throws OperationError when prize.db cannot be
// written.
QStringList keepInFolder();

// The prize.db of a restored event, in a folder (ending in a separator) that is not yet the event's:
// every picture path that does not lie in that folder's 图片 is dropped (stored empty), unless its
// file name is a picture there (then "图片/<name>"). A path elsewhere is never followed. Gives the
// dropped paths, as stored. Throws OperationError when that prize.db cannot be written.
QStringList confineRestored(const QString& folder);

// Why a picture could not be read, in the operator's words: missing, unreadable, not a picture the
// program can show, or damaged.
QString unreadable(const QImageReader& reader);

} // namespace EventPictures
