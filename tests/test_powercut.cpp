// Power cuts: the real program (tests/powercut/powercutchild.cpp) runs an event headless and is killed
// with SIGKILL at random moments, many times over, a part of the kills timed into the stop of a draw,
// where the progress is saved. After every kill the files must read back whole and agree with what
// was announced; the next start restores the progress and goes on with the same event.

#include "drawsession.h"
#include "textcodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <csignal>
#include <optional>
#include <thread>

namespace {

constexpr int kSlots = 8;

struct Prize {
    QString name;
    int quantity;
    int perDraw;
};

// Uneven per-draw counts, so that some prizes end on a smaller last draw.
const std::array<Prize, kSlots> kPrizes = {{{QStringLiteral("特等奖"), 6, 1},
                                            {QStringLiteral("一等奖"), 20, 3},
                                            {QStringLiteral("二等奖"), 30, 4},
                                            {QStringLiteral("三等奖"), 40, 5},
                                            {QStringLiteral("四等奖"), 60, 7},
                                            {QStringLiteral("五等奖"), 80, 8},
                                            {QStringLiteral("六等奖"), 100, 10},
                                            {QStringLiteral("幸运奖"), 120, 12}}};
constexpr int kEntrants = 1500;

QString entrantName(int i) {
    static const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
    return QStringLiteral("%1%2 工号%3").arg(surnames.at(i % surnames.size())).arg(i).arg(100000 + i);
}

QByteArray gbk(const QString& text) {
    return TextCodec::toGbk(text);
}

QStringList prizeDbLines() {
    QStringList lines{QStringLiteral("[JP]")};
    for (int i = 0; i < kSlots; ++i) {
        lines << QStringLiteral("Name%1=%2").arg(i + 1).arg(kPrizes[i].name)
              << QStringLiteral("Num%1=%2").arg(i + 1).arg(kPrizes[i].quantity)
              << QStringLiteral("Every%1=%2").arg(i + 1).arg(kPrizes[i].perDraw);
    }
    lines << QStringLiteral("[Setting]") << QStringLiteral("automatic=1") << QStringLiteral("showhelp=0")
          << QStringLiteral("FullScreen=0") << QStringLiteral("Repeated=0");
    // The first prizes reveal their winners card by card (a grand prize) and by slowing names: kills
    // land in reveals too, which show only what the stop has saved.
    lines << QStringLiteral("[Stage]") << QStringLiteral("Reveal1=2") << QStringLiteral("Grand1=1")
          << QStringLiteral("Reveal2=1");
    return lines;
}

QByteArray crlf(const QStringList& lines) {
    return gbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

// A file's lines, provided that it is whole: GBK, every line ended by CR LF.
std::optional<QStringList> wholeLines(const QByteArray& bytes, QString* why) {
    if (bytes.isEmpty()) {
        *why = QStringLiteral("empty");
        return std::nullopt;
    }
    if (!bytes.endsWith("\r\n")) {
        *why = QStringLiteral("cut short (no CR LF at its end)");
        return std::nullopt;
    }
    QStringList lines = TextCodec::fromGbk(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')) ||
            line.contains(QChar(0xFFFD))) {
            *why = QStringLiteral("a broken line: ") + line;
            return std::nullopt;
        }
    }
    return lines;
}

struct Block {
    QStringList lines; // the header, then its winner lines
    int slot = -1;
    int count = 0;
};

// What one look at the folder found.
struct Disk {
    bool hasWinners = false;
    QList<Block> blocks;
    int winnerLines = 0;
    bool hasState = false;
    std::array<int, kSlots> have{};
};

struct Figures {
    int kills = 0;
    int timedIntoStop = 0;
    int diedInsideStop = 0;   // STOP seen, its announcement not
    int stateAhead = 0;       // prize.db held the draw being saved, 中奖名单.txt not yet
    int savedUnannounced = 0; // both files held the draw, the announcement had not been made
    int unsaved = 0;          // stops whose save failed (prize.db read-only) and that showed nothing
    int restores = 0;
    int draws = 0;
    int events = 0;
    int leftoverTemps = 0;
    int corrections = 0; // cancels, restores and supplementary draws made
    int timedIntoCorrection = 0;
    int diedInsideCorrection = 0; // COR seen, the list after it not
    int correctionsBack = 0;      // marks and supplementary lines on the screen before a kill
    int datedCopies = 0;
    QList<qint64> stopMicros;
};

// Whether b is a after at most one correction: one line's cancel mark added or removed, or one
// supplementary line appended.
bool oneCorrectionApart(const QStringList& a, const QStringList& b) {
    static const QString cancel = QStringLiteral("---取消");
    if (a == b)
        return true;
    if (b.size() == a.size() + 1)
        return b.mid(0, a.size()) == a &&
               QString(b.last()).remove(cancel).endsWith(QStringLiteral("---补抽奖"));
    if (b.size() != a.size())
        return false;
    qsizetype differ = -1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i) == b.at(i))
            continue;
        if (differ >= 0)
            return false;
        differ = i;
    }
    const QString& before = a.at(differ);
    const QString& after = b.at(differ);
    return after == before + cancel || (before.contains(cancel) && after == QString(before).remove(cancel));
}

class Harness {
public:
    explicit Harness(QString child) : m_child(std::move(child)) {}

    // One kill. Returns false (with a message) when something was lost or broken.
    bool cycle(QRandomGenerator& random, Figures& figures, QString* failure);

private:
    bool startEvent(QString* failure);
    bool check(Disk* disk, QString* failure);
    bool checkLine(const QString& line, QString* failure);

    QString m_child;
    QTemporaryDir m_runtime;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QStringList> m_announced; // the blocks the program has announced, in order
    bool m_failing = false;         // the disk fails for the stop under way
    Disk m_last;
    QSet<QString> m_entrants;
    QHash<QString, int> m_slotOf;
    bool m_full = false;
    int m_temps = 0;
    QStringList m_seen;
    Figures* m_figures = nullptr;
    QStringList m_allSeen;       // the all-winners list as the screen last showed it
    bool m_correcting = false;   // a correction was begun and its result not yet shown
    bool m_checkRestore = false; // the next ALL is what a restore brought back
};

bool Harness::startEvent(QString* failure) {
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/powercut-XXXXXX"));
    if (!m_dir->isValid()) {
        *failure = QStringLiteral("no temporary folder");
        return false;
    }
    QStringList entrants;
    m_entrants.clear();
    for (int i = 0; i < kEntrants; ++i) {
        entrants << entrantName(i);
        m_entrants.insert(entrantName(i));
    }
    m_slotOf.clear();
    for (int i = 0; i < kSlots; ++i)
        m_slotOf.insert(kPrizes[i].name, i);
    QFile list(m_dir->filePath(QStringLiteral("抽奖名单.txt")));
    QFile db(m_dir->filePath(QStringLiteral("prize.db")));
    if (!list.open(QIODevice::WriteOnly) || list.write(crlf(entrants)) < 0 ||
        !db.open(QIODevice::WriteOnly) || db.write(crlf(prizeDbLines())) < 0) {
        *failure = QStringLiteral("cannot set up the event");
        return false;
    }
    m_announced.clear();
    m_allSeen.clear();
    m_correcting = false;
    m_last = Disk();
    m_full = false;
    m_temps = 0;
    ++m_figures->events;
    return true;
}

bool Harness::check(Disk* disk, QString* failure) {
    const QDir dir(m_dir->path());
    // prize.db: whole, every setting as it was, the drawn counts complete when present.
    QFile dbFile(dir.filePath(QStringLiteral("prize.db")));
    if (!dbFile.open(QIODevice::ReadOnly)) {
        *failure = QStringLiteral("prize.db is gone");
        return false;
    }
    QString why;
    const auto db = wholeLines(dbFile.readAll(), &why);
    if (!db) {
        *failure = QStringLiteral("prize.db is ") + why;
        return false;
    }
    const QStringList settings = prizeDbLines();
    if (db->mid(0, settings.size()) != settings) {
        *failure = QStringLiteral("prize.db lost its settings");
        return false;
    }
    QStringList rest = db->mid(settings.size());
    // The supplementary draws' times, a section of their own beside State: whole lines or nothing.
    if (const qsizetype times = rest.indexOf(QStringLiteral("[SupplementaryTimes]")); times >= 0) {
        static const QRegularExpression time(
            QStringLiteral("^\\d+=\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [0-9a-f]{16}$"));
        qsizetype end = times + 1;
        while (end < rest.size() && !rest.at(end).startsWith(u'['))
            ++end;
        for (qsizetype i = times + 1; i < end; ++i)
            if (!time.match(rest.at(i)).hasMatch()) {
                *failure = QStringLiteral("prize.db's SupplementaryTimes has a broken line: ") + rest.at(i);
                return false;
            }
        rest.remove(times, end - times);
    }
    if (!rest.isEmpty()) {
        // The drawn counts, then the keys that say which 中奖名单.txt they go with.
        static const QRegularExpression tie(QStringLiteral(
            "^(Event=[0-9a-f]*|PreviousEvent=[0-9a-f]*|(Previous)?(All)?Winners=(\\d+/[0-9a-f]{8})?|"
            "PreviousHave=(-?\\d+(,-?\\d+){7})?)$"));
        if (rest.size() != 1 + kSlots + 7 || rest.first() != QStringLiteral("[State]")) {
            *failure = QStringLiteral("prize.db's State is not whole: ") + rest.join(QLatin1Char('|'));
            return false;
        }
        disk->hasState = true;
        for (int i = 0; i < kSlots; ++i) {
            const QString prefix = QStringLiteral("have%1=").arg(i);
            bool ok = false;
            if (rest.at(i + 1).startsWith(prefix))
                disk->have[i] = rest.at(i + 1).sliced(prefix.size()).toInt(&ok);
            if (!ok) {
                *failure = QStringLiteral("prize.db's State has a broken line: ") + rest.at(i + 1);
                return false;
            }
        }
        for (const QString& line : rest.mid(1 + kSlots))
            if (!tie.match(line).hasMatch()) {
                *failure = QStringLiteral("prize.db's State has a broken line: ") + line;
                return false;
            }
    }

    // 中奖名单.txt: whole blocks of real entrants, each entrant once.
    QFile winnersFile(dir.filePath(QStringLiteral("中奖名单.txt")));
    if (winnersFile.open(QIODevice::ReadOnly)) {
        disk->hasWinners = true;
        const auto lines = wholeLines(winnersFile.readAll(), &why);
        if (!lines) {
            *failure = QStringLiteral("中奖名单.txt is ") + why;
            return false;
        }
        static const QRegularExpression header(
            QStringLiteral("^      以下是：(\\d+) 位 (\\S+) \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
        QSet<QString> seen;
        for (qsizetype i = 0; i < lines->size();) {
            const auto match = header.match(lines->at(i));
            if (!match.hasMatch() || !m_slotOf.contains(match.captured(2))) {
                *failure = QStringLiteral("中奖名单.txt: not a header line: ") + lines->at(i);
                return false;
            }
            Block block;
            block.count = match.captured(1).toInt();
            block.slot = m_slotOf.value(match.captured(2));
            block.lines << lines->at(i);
            if (block.count < 1 || block.count > kPrizes[block.slot].perDraw ||
                i + block.count >= lines->size()) {
                *failure = QStringLiteral("中奖名单.txt: a block cut short: ") + lines->at(i);
                return false;
            }
            for (int k = 1; k <= block.count; ++k) {
                const QString& line = lines->at(i + k);
                const QString prefix = match.captured(2) + QStringLiteral(": ");
                const QString name = line.startsWith(prefix) ? line.sliced(prefix.size()) : QString();
                if (!m_entrants.contains(name) || seen.contains(name)) {
                    *failure = QStringLiteral("中奖名单.txt: a bad winner line: ") + line;
                    return false;
                }
                seen.insert(name);
                block.lines << line;
            }
            disk->winnerLines += block.count;
            disk->blocks << block;
            i += 1 + block.count;
        }
    }

    // Every announced block is on disk, in order; at most one more was saved before its announcement.
    if (disk->blocks.size() < m_announced.size()) {
        *failure = QStringLiteral("announced draws lost: %1 announced, %2 on disk")
                       .arg(m_announced.size())
                       .arg(disk->blocks.size());
        return false;
    }
    for (qsizetype i = 0; i < m_announced.size(); ++i) {
        if (disk->blocks.at(i).lines != m_announced.at(i)) {
            *failure =
                QStringLiteral("announced draw %1 differs on disk: ").arg(i) + m_announced.at(i).first();
            return false;
        }
    }
    if (disk->blocks.size() > m_announced.size() + 1) {
        *failure = QStringLiteral("more than one unannounced draw on disk");
        return false;
    }
    if (disk->blocks.size() == m_announced.size() + 1) {
        ++m_figures->savedUnannounced;
        m_announced << disk->blocks.last().lines;
        m_allSeen << disk->blocks.last().lines;
    }

    // allwinners.txt: whole when present.
    QFile allFile(dir.filePath(QStringLiteral("allwinners.txt")));
    if (allFile.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = allFile.readAll();
        if (!bytes.isEmpty() && !wholeLines(bytes, &why)) {
            *failure = QStringLiteral("allwinners.txt is ") + why;
            return false;
        }
    }

    // The drawn counts agree with the blocks, or count the one draw whose block was being saved (its
    // prize.db is renamed first; a restore then takes the counts kept for the list on disk).
    std::array<int, kSlots> inBlocks{};
    for (const Block& block : disk->blocks)
        inBlocks[block.slot] += block.count;
    int aheadSlot = -1;
    for (int i = 0; i < kSlots; ++i) {
        const int diff = disk->have[i] - inBlocks[i];
        if (diff == 0)
            continue;
        if (diff < 0 || diff > kPrizes[i].perDraw || aheadSlot >= 0) {
            *failure = QStringLiteral("drawn count of slot %1 is %2, its blocks hold %3")
                           .arg(i)
                           .arg(disk->have[i])
                           .arg(inBlocks[i]);
            return false;
        }
        aheadSlot = i;
    }
    if (aheadSlot >= 0)
        ++m_figures->stateAhead;

    // Temporary files of an interrupted write stay beside the program's files.
    const QStringList own{QStringLiteral("prize.db"), QStringLiteral("抽奖名单.txt"),
                          QStringLiteral("中奖名单.txt"), QStringLiteral("allwinners.txt")};
    static const QRegularExpression dated(
        QStringLiteral("^(中奖名单|allwinners)\\.\\d{8}-\\d{6}(-\\d+)?\\.txt$"));
    int temps = 0;
    int copies = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (dated.match(name).hasMatch())
            ++copies;
        else
            temps += own.contains(name) ? 0 : 1;
    }
    m_figures->datedCopies = std::max(m_figures->datedCopies, copies);
    m_figures->leftoverTemps += std::max(0, temps - m_temps);
    m_temps = std::max(m_temps, temps);
    return true;
}

bool Harness::checkLine(const QString& line, QString* failure) {
    if (line == QStringLiteral("FAILING")) {
        m_failing = true;
        return true;
    }
    if (line == QStringLiteral("UNSAVED")) {
        m_failing = false;
        ++m_figures->unsaved;
        return true;
    }
    if (line.startsWith(QStringLiteral("ANN ")) && m_failing) {
        *failure = QStringLiteral("a stop whose save failed showed its winners: ") + line.left(60);
        return false;
    }
    if (line.startsWith(QStringLiteral("ANN "))) {
        QStringList parts = line.split(QLatin1Char('\t'));
        m_figures->stopMicros << parts.takeFirst().sliced(4).toLongLong();
        m_announced << parts;
        m_allSeen << parts;
        ++m_figures->draws;
        return true;
    }
    if (line.startsWith(QStringLiteral("COR "))) {
        m_correcting = true;
        ++m_figures->corrections;
        return true;
    }
    if (line == QStringLiteral("ALL") || line.startsWith(QStringLiteral("ALL\t"))) {
        QStringList shown = line.split(QLatin1Char('\t'));
        shown.removeFirst();
        if (m_checkRestore) {
            // The restore gives back the list as the screen showed it before the kill: marks and
            // supplementary lines included, and the draw or correction that was under way at the
            // kill either wholly or not at all.
            m_checkRestore = false;
            if (shown != m_allSeen && !(m_correcting && oneCorrectionApart(m_allSeen, shown))) {
                *failure =
                    QStringLiteral("the restore brought back another list: %1 lines, the screen showed %2")
                        .arg(shown.size())
                        .arg(m_allSeen.size());
                return false;
            }
            m_figures->correctionsBack += static_cast<int>(m_allSeen.filter(QStringLiteral("---")).size());
        }
        m_correcting = false;
        m_allSeen = shown;
        return true;
    }
    if (line.startsWith(QStringLiteral("RESTORED "))) {
        ++m_figures->restores;
        // The drawn counts are those of the blocks in 中奖名单.txt, also when prize.db was one save
        // ahead; the list is checked when it comes (ALL).
        std::array<int, kSlots> inBlocks{};
        for (const Block& block : m_last.blocks)
            inBlocks[block.slot] += block.count;
        QString expected;
        for (int i = 0; i < kSlots; ++i)
            expected += QStringLiteral(" %1").arg(inBlocks[i]);
        const QString counts = line.sliced(9).sliced(line.sliced(9).indexOf(QLatin1Char(' ')));
        if (counts != expected) {
            *failure = QStringLiteral("the restore took %1, the disk holds %2").arg(counts, expected);
            return false;
        }
        m_checkRestore = true;
        return true;
    }
    if (line.startsWith(QStringLiteral("BOX "))) {
        static const QStringList allowed{QStringLiteral("上次的抽奖进度尚未读出，是否读出上次的抽奖进度?"),
                                         QStringLiteral("抽奖信息读取成功!"), QStringLiteral("该奖项已抽完!"),
                                         QStringLiteral("已没有可抽奖的人员!")};
        const QString box = line.sliced(4);
        // The box of a stop whose save failed (the disk failing for one stop) names what failed.
        if (m_failing && box.startsWith(DrawSession::kNotSaved))
            return true;
        const bool correction = (box.startsWith(QStringLiteral("真的要取消 ")) ||
                                 box.startsWith(QStringLiteral("真的要恢复 "))) &&
                                box.endsWith(QStringLiteral(" 中奖?"));
        if (!allowed.contains(box) && !correction) {
            *failure = QStringLiteral("unexpected box: ") + line.sliced(4);
            return false;
        }
        return true;
    }
    if (line == QStringLiteral("FULL"))
        m_full = true;
    return true;
}

bool Harness::cycle(QRandomGenerator& random, Figures& figures, QString* failure) {
    m_figures = &figures;
    if (!m_dir || m_full) {
        if (!startEvent(failure))
            return false;
    }
    // A kill while the disk failed for a stop leaves prize.db read-only: the next start finds it mended.
    m_failing = false;
    QFile::setPermissions(QDir(m_dir->path()).filePath(QStringLiteral("prize.db")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                              QFileDevice::ReadOther);
    QProcess child;
    child.setProgram(m_child);
    QStringList args{m_dir->path()};
    if (m_last.hasWinners) {
        args << QStringLiteral("--restore");
    } else {
        // A run without restore starts from an empty list.
        m_allSeen.clear();
        m_correcting = false;
    }
    child.setArguments(args);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    child.setProcessEnvironment(environment);
    child.start();
    if (!child.waitForStarted(10000)) {
        *failure = QStringLiteral("the program did not start");
        return false;
    }

    // A third of the kills fall at a random moment of the run (start-up and restore included); a
    // third a random few microseconds after the press that stops the first, second or third draw; a
    // third as long after the start of the first, second or third correction.
    const int mode = static_cast<int>(random.bounded(3));
    const bool intoStop = mode == 1;
    const bool intoCorrection = mode == 2;
    const int stopNumber = 1 + static_cast<int>(random.bounded(3));
    qint64 stopSpan = 4000;
    if (figures.stopMicros.size() >= 5) {
        QList<qint64> sorted = figures.stopMicros.mid(std::max<qsizetype>(0, figures.stopMicros.size() - 50));
        std::sort(sorted.begin(), sorted.end());
        stopSpan = sorted.at(sorted.size() / 2);
    }
    const auto delayMicros = static_cast<qint64>(random.bounded(static_cast<double>(stopSpan) * 1.2));
    const qint64 killAtMs = static_cast<qint64>(random.bounded(700));
    if (intoStop)
        ++figures.timedIntoStop;
    if (intoCorrection)
        ++figures.timedIntoCorrection;

    QElapsedTimer clock;
    clock.start();
    m_seen.clear();
    QByteArray pending;
    int stops = 0;
    int announcements = 0;
    int correctionsBegun = 0;
    bool correctionOpen = false;
    bool killNow = false;
    const auto readLines = [&](bool* ok) {
        pending += child.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.first(end));
            m_seen << line.left(30);
            pending.remove(0, end + 1);
            if (line == QStringLiteral("STOP")) {
                ++stops;
                if (intoStop && stops == stopNumber) {
                    std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
                    killNow = true;
                    return;
                }
            } else if (line.startsWith(QStringLiteral("ANN "))) {
                ++announcements;
            } else if (line.startsWith(QStringLiteral("COR "))) {
                correctionOpen = true;
                if (intoCorrection && ++correctionsBegun == stopNumber) {
                    if (!checkLine(line, failure)) {
                        *ok = false;
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(delayMicros / 4));
                    killNow = true;
                    return;
                }
            } else if (line.startsWith(QStringLiteral("ALL"))) {
                correctionOpen = false;
            }
            if (!checkLine(line, failure)) {
                *ok = false;
                return;
            }
            if (m_full)
                killNow = true;
        }
    };
    bool ok = true;
    while (!killNow && ok) {
        const qint64 left = intoStop || intoCorrection ? 10000 - clock.elapsed() : killAtMs - clock.elapsed();
        if (left <= 0)
            break;
        if (child.state() != QProcess::Running) {
            *failure = QStringLiteral("the program ended by itself");
            return false;
        }
        child.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 50)));
        readLines(&ok);
    }
    if (!ok)
        return false;
    if ((intoStop || intoCorrection) && !killNow && !m_full) {
        *failure = QStringLiteral("no draw was stopped or corrected within ten seconds");
        return false;
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished(10000);
    ++figures.kills;
    // What the program wrote before it died is still in the pipe.
    killNow = false;
    readLines(&ok);
    if (!ok)
        return false;
    if (stops > announcements)
        ++figures.diedInsideStop;
    if (correctionOpen)
        ++figures.diedInsideCorrection;

    Disk disk;
    if (!check(&disk, failure))
        return false;
    m_last = disk;
    return true;
}

} // namespace

class TestPowerCut : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedAtRandomLosesNothing();
};

void TestPowerCut::killedAtRandomLosesNothing() {
    const int kills =
        qEnvironmentVariableIsSet("POWERCUT_KILLS") ? qEnvironmentVariableIntValue("POWERCUT_KILLS") : 200;
    QRandomGenerator random(20250118);
    Harness harness(QStringLiteral(POWERCUT_CHILD));
    Figures figures;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kills; ++i) {
        QString failure;
        QVERIFY2(harness.cycle(random, figures, &failure),
                 qPrintable(QStringLiteral("kill %1: %2").arg(i + 1).arg(failure)));
    }
    QCOMPARE(figures.kills, kills);
    // Each restore was checked against the disk as it came; the event went on after them.
    QVERIFY(figures.restores > 0);
    QVERIFY(figures.draws > 0);
    QVERIFY(figures.corrections > 0 && figures.correctionsBack > 0);
    QList<qint64> sorted = figures.stopMicros;
    std::sort(sorted.begin(), sorted.end());
    qInfo().noquote()
        << QStringLiteral(
               "power cut: %1 kills (%2 timed into a stop, %3 died inside a stop), %4 draws "
               "announced, %5 restores, %6 events; announced winners lost: 0; files broken: 0; "
               "prize.db ahead of 中奖名单.txt: %7 (restored with the counts of the list on disk); saved "
               "before announced: %8; leftover temporary files: %9; median stop %10 us; %11 s; "
               "%12 corrections (%13 kills timed into one, %14 died inside one), %15 marks and "
               "supplementary lines restored, dated copies: %16; stops whose save failed, shown as nothing: "
               "%17")
               .arg(figures.kills)
               .arg(figures.timedIntoStop)
               .arg(figures.diedInsideStop)
               .arg(figures.draws)
               .arg(figures.restores)
               .arg(figures.events)
               .arg(figures.stateAhead)
               .arg(figures.savedUnannounced)
               .arg(figures.leftoverTemps)
               .arg(sorted.isEmpty() ? 0 : sorted.at(sorted.size() / 2))
               .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
               .arg(figures.corrections)
               .arg(figures.timedIntoCorrection)
               .arg(figures.diedInsideCorrection)
               .arg(figures.correctionsBack)
               .arg(figures.datedCopies)
               .arg(figures.unsaved);
    QVERIFY(figures.unsaved > 0);
}

QTEST_GUILESS_MAIN(TestPowerCut)
#include "test_powercut.moc"
