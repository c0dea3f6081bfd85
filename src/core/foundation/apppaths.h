#pragma once

#include <QString>

// The folder the program keeps its files in: the executable's folder. Every path is rebuilt from it at
// each access, so nothing depends on the working directory. Tests point it at a temporary folder.
namespace AppPaths {

// The folder, ending in a path separator.
QString folder();
// The folder followed by a fixed file name.
QString file(const QString& name);
// A path offered for a file the event writes out: "<title>-<what>-<stamp><suffix>" in the folder, the
// title being the event's (prize.db's Setting/Title1, as the stage shows it) without the characters a
// file name cannot hold; "<what>-<stamp><suffix>" when nothing of it is left.
QString offeredFile(const QString& what, const QString& stamp, const QString& suffix = {});
// Replaces the folder (tests); an empty text goes back to the executable's folder.
void setFolder(const QString& folder);

inline const QString kPrizeDb = QStringLiteral("prize.db");
inline const QString kEntrants = QStringLiteral("抽奖名单.txt");
inline const QString kWinners = QStringLiteral("中奖名单.txt");
inline const QString kProgress = QStringLiteral("progress.txt");
inline const QString kHistory = QStringLiteral("history.txt");
// The all-winners list as the audience last saw it (corrections and supplementary lines included).
inline const QString kAllWinners = QStringLiteral("allwinners.txt");
// Who has checked in (from a phone or at the desk): a time and an entrant a line.
inline const QString kCheckins = QStringLiteral("签到名单.txt");
inline const QString kMusic = QStringLiteral("bgmusic.mp3");
inline const QString kHelp = QStringLiteral("lottery.chm");
// The verifiable draw's journal and its secret seed (revealed at the end).
inline const QString kVerifyJournal = QStringLiteral("抽奖验证日志.txt");
inline const QString kVerifySeed = QStringLiteral("抽奖验证种子.txt");

} // namespace AppPaths
