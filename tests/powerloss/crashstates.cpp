#include "crashstates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <QCryptographicHash>
#include <QSet>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace CrashStates {

bool parseTrace(const QByteArray& trace, QList<Op>* ops, QString* error) {
    static const QHash<QByteArray, Op::Kind> kinds{
        {"OPEN", Op::Open},     {"WRITE", Op::Write}, {"TRUNC", Op::Trunc},   {"FSYNC", Op::Fsync},
        {"SFR", Op::SyncRange}, {"LINK", Op::Link},   {"RENAME", Op::Rename}, {"UNLINK", Op::Unlink},
        {"MKDIR", Op::Mkdir},   {"RMDIR", Op::Rmdir}, {"CLOSE", Op::Close},   {"MARK", Op::Mark}};
    qsizetype at = 0;
    while (at < trace.size()) {
        const qsizetype end = trace.indexOf('\n', at);
        if (end < 0) {
            *error = QStringLiteral("a record without its line end at byte %1").arg(at);
            return false;
        }
        const QList<QByteArray> fields = trace.sliced(at, end - at).split('\t');
        bool ok = false;
        const qint64 size = fields.constLast().toLongLong(&ok);
        if (!ok || size < 0 || end + 1 + size >= trace.size() + 0 || !kinds.contains(fields.first()) ||
            trace.at(end + 1 + size) != '\n') {
            *error = QStringLiteral("a malformed record at byte %1: %2")
                         .arg(at)
                         .arg(QString::fromUtf8(trace.sliced(at, end - at)));
            return false;
        }
        Op op;
        op.kind = kinds.value(fields.first());
        op.data = trace.sliced(end + 1, size);
        const auto field = [&](int i) { return i < fields.size() - 1 ? fields.at(i) : QByteArray(); };
        switch (op.kind) {
        case Op::Open:
            op.inode = field(2).toULongLong();
            op.flags = field(3).toInt();
            op.isDir = field(4) == "1";
            op.existed = field(5) == "1";
            op.path = QString::fromUtf8(field(6));
            break;
        case Op::Write:
        case Op::Trunc:
            op.inode = field(1).toULongLong();
            op.offset = field(2).toLongLong();
            break;
        case Op::Fsync:
            op.inode = field(1).toULongLong();
            op.isDir = field(2) == "1";
            break;
        case Op::Link:
        case Op::Unlink:
        case Op::Mkdir:
        case Op::Rmdir:
            op.inode = field(1).toULongLong();
            op.path = QString::fromUtf8(field(2));
            break;
        case Op::Rename:
            op.inode = field(1).toULongLong();
            op.path = QString::fromUtf8(field(2));
            op.path2 = QString::fromUtf8(field(3));
            break;
        case Op::SyncRange:
        case Op::Close:
            op.inode = field(1).toULongLong();
            break;
        case Op::Mark:
            break;
        }
        ops->append(op);
        at = end + 2 + size;
    }
    return true;
}

namespace {

struct DataOp {
    bool truncate = false;
    qint64 offset = 0;
    QByteArray data; // a write's bytes
};

QByteArray applied(QByteArray content, const DataOp& op) {
    if (op.truncate) {
        content.resize(op.offset, '\0');
        return content;
    }
    if (content.size() < op.offset + op.data.size())
        content.resize(op.offset + op.data.size(), '\0');
    content.replace(op.offset, op.data.size(), op.data);
    return content;
}

struct Inode {
    QByteArray durable;    // what the last completed fsync covered
    QList<DataOp> pending; // the writes and truncations since
    QByteArray current;    // what the process sees
};

// What a name stands for besides a file's index: nothing, or a folder.
constexpr int kNothing = -1;
constexpr int kFolder = -2;

// A change of the names not yet covered by an fsync of its folders.
struct DirOp {
    QString bind;   // the name that now names the file (empty: none)
    QString remove; // the name that no longer names it (empty: none)
    int file = kNothing;
    QSet<QString> waits; // the folders still to be flushed ("" the recorded folder itself)
};

void apply(QMap<QString, int>& names, const DirOp& op) {
    if (!op.remove.isEmpty() && names.value(op.remove, kNothing) == op.file)
        names.remove(op.remove);
    if (!op.bind.isEmpty())
        names.insert(op.bind, op.file);
}

QString parentOf(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("") : name.first(slash);
}

// Whether every folder above a name is there.
bool reachable(const QMap<QString, int>& names, const QString& name) {
    for (QString folder = parentOf(name); !folder.isEmpty(); folder = parentOf(folder))
        if (names.value(folder, kNothing) != kFolder)
            return false;
    return true;
}

// Past this many combinations of the files' contents at one point, each file's are varied alone.
constexpr qint64 kCombinations = 512;

// The contents a cut could leave in one file: its durable content, then each prefix of the pending
// operations, the first one left out possibly kept in part.
QList<QByteArray> variants(const Inode& inode) {
    QList<QByteArray> out;
    QSet<QByteArray> seen;
    const auto add = [&](const QByteArray& content) {
        if (!seen.contains(content)) {
            seen.insert(content);
            out.append(content);
        }
    };
    QByteArray base = inode.durable;
    add(base);
    for (const DataOp& op : inode.pending) {
        if (!op.truncate) {
            constexpr qint64 kBlock = 4096;
            for (qint64 cut = (op.offset / kBlock + 1) * kBlock; cut < op.offset + op.data.size();
                 cut += kBlock)
                add(applied(base, DataOp{false, op.offset, op.data.first(cut - op.offset)}));
            if (op.offset + op.data.size() > base.size())
                add(applied(base, DataOp{false, op.offset, QByteArray(op.data.size(), '\0')}));
        }
        base = applied(base, op);
        add(base);
    }
    return out;
}

} // namespace

Figures explore(const QList<Op>& ops, const QString& folder, const Folder& initial,
                const QHash<QString, quint64>& initialInodes,
                const std::function<void(int, int, const Folder&)>& visit,
                const std::function<bool(const QString&)>& kept) {
    Figures figures;
    QList<Inode> files;
    QHash<quint64, int> fileOfInode;
    QHash<quint64, QString> folderOfInode;
    QMap<QString, int> names;   // what the process sees: files and folders
    QMap<QString, int> durable; // what the fsyncs of the folders covered
    QList<DirOp> pendingDir;
    for (auto it = initial.begin(); it != initial.end(); ++it) {
        files.append(Inode{it.value(), {}, it.value()});
        fileOfInode.insert(initialInodes.value(it.key()), static_cast<int>(files.size() - 1));
        names.insert(it.key(), static_cast<int>(files.size() - 1));
        for (QString above = parentOf(it.key()); !above.isEmpty(); above = parentOf(above))
            names.insert(above, kFolder);
    }
    durable = names;
    const QString root = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    // A path's name within the folder ("" the folder itself); nothing for a path outside it.
    const auto nameOf = [&](const QString& path) -> std::optional<QString> {
        if (path == root)
            return QStringLiteral("");
        if (path.startsWith(root + QLatin1Char('/')) && path.size() > root.size() + 1)
            return path.sliced(root.size() + 1);
        return std::nullopt;
    };
    const auto isFolder = [&](const QString& name) {
        return name.isEmpty() || names.value(name, kNothing) == kFolder;
    };
    const auto newFile = [&](quint64 inode) {
        files.append(Inode());
        fileOfInode.insert(inode, static_cast<int>(files.size() - 1));
        return static_cast<int>(files.size() - 1);
    };
    const auto change = [&](DirOp op) {
        apply(names, op);
        pendingDir.append(std::move(op));
    };

    QSet<QByteArray> seen;
    int markers = 0;
    const auto visitPoint = [&](int opIndex) {
        ++figures.points;
        // The subsets of the pending name changes (those of names left out change nothing that is
        // kept): all of them while there are few, else every prefix with at most one later change
        // added.
        QList<int> changes;
        for (int i = 0; i < pendingDir.size(); ++i) {
            const DirOp& op = pendingDir.at(i);
            if (!kept || (!op.bind.isEmpty() && kept(op.bind)) || (!op.remove.isEmpty() && kept(op.remove)))
                changes.append(i);
        }
        QList<QList<int>> subsets;
        const int n = static_cast<int>(changes.size());
        if (n <= 10) {
            for (int mask = 0; mask < (1 << n); ++mask) {
                QList<int> subset;
                for (int i = 0; i < n; ++i)
                    if (mask & (1 << i))
                        subset.append(changes.at(i));
                subsets.append(subset);
            }
        } else {
            for (int length = 0; length <= n; ++length) {
                const QList<int> subset = changes.first(length);
                subsets.append(subset);
                for (int extra = length + 1; extra < n; ++extra)
                    subsets.append(subset + QList<int>{changes.at(extra)});
            }
        }
        figures.dirSubsets = std::max<qint64>(figures.dirSubsets, subsets.size());
        bool sampled = false;
        for (const QList<int>& subset : subsets) {
            QMap<QString, int> dir = durable;
            for (int i : subset)
                apply(dir, pendingDir.at(i));
            // Every combination of the named files' possible contents.
            QList<std::pair<QString, QList<QByteArray>>> choices;
            QList<int> latest; // each file's content as last written
            qint64 combinations = 1;
            for (auto it = dir.begin(); it != dir.end(); ++it) {
                if (it.value() < 0 || !reachable(dir, it.key()) || (kept && !kept(it.key())))
                    continue;
                const Inode& inode = files.at(it.value());
                choices.append({it.key(), variants(inode)});
                latest.append(static_cast<int>(choices.constLast().second.indexOf(inode.current)));
                combinations = std::min(combinations * choices.constLast().second.size(), kCombinations + 1);
            }
            QList<QList<int>> picks;
            if (combinations <= kCombinations) {
                QList<int> pick(choices.size(), 0);
                while (true) {
                    picks.append(pick);
                    qsizetype i = 0;
                    while (i < pick.size() && ++pick[i] == choices.at(i).second.size())
                        pick[i++] = 0;
                    if (i == pick.size())
                        break;
                }
            } else {
                sampled = true;
                for (const QList<int>& base : {QList<int>(choices.size(), 0), latest})
                    for (qsizetype i = 0; i < choices.size(); ++i)
                        for (int v = 0; v < choices.at(i).second.size(); ++v) {
                            QList<int> pick = base;
                            pick[i] = v;
                            picks.append(pick);
                        }
            }
            for (const QList<int>& pick : picks) {
                Folder state;
                QCryptographicHash hash(QCryptographicHash::Sha1);
                hash.addData(QByteArray::number(markers));
                for (qsizetype i = 0; i < choices.size(); ++i) {
                    const QByteArray& content = choices.at(i).second.at(pick.at(i));
                    state.insert(choices.at(i).first, content);
                    hash.addData(choices.at(i).first.toUtf8());
                    hash.addData(QByteArray::number(content.size()));
                    hash.addData(content);
                }
                const QByteArray key = hash.result();
                if (!seen.contains(key)) {
                    seen.insert(key);
                    ++figures.states;
                    visit(opIndex, markers, state);
                }
            }
        }
        figures.sampledPoints += sampled ? 1 : 0;
    };

    visitPoint(0);
    for (int index = 0; index < ops.size(); ++index) {
        const Op& op = ops.at(index);
        const int file = fileOfInode.value(op.inode, -1);
        switch (op.kind) {
        case Op::Open:
            if (op.isDir) {
                if (const auto name = nameOf(op.path))
                    folderOfInode.insert(op.inode, *name);
                break;
            }
            if ((op.flags & __O_TMPFILE) == __O_TMPFILE) {
                newFile(op.inode);
            } else if (!op.existed) {
                const auto name = nameOf(op.path);
                const int made = newFile(op.inode);
                if (!name || name->isEmpty() || !isFolder(parentOf(*name))) {
                    ++figures.unsupported;
                    break;
                }
                change(DirOp{*name, QString(), made, {parentOf(*name)}});
            } else if (file < 0) {
                ++figures.unsupported;
            }
            break;
        case Op::Write:
        case Op::Trunc:
            if (file < 0) {
                ++figures.unsupported;
                break;
            }
            {
                const DataOp data{op.kind == Op::Trunc, op.offset, op.data};
                files[file].pending.append(data);
                files[file].current = applied(files[file].current, data);
            }
            break;
        case Op::Fsync:
            if (op.isDir) {
                if (!folderOfInode.contains(op.inode)) {
                    ++figures.unsupported;
                    break;
                }
                // The changes that waited for this folder alone are kept, in their order.
                const QString flushed = folderOfInode.value(op.inode);
                for (qsizetype i = 0; i < pendingDir.size();) {
                    pendingDir[i].waits.remove(flushed);
                    if (pendingDir.at(i).waits.isEmpty()) {
                        apply(durable, pendingDir.at(i));
                        pendingDir.removeAt(i);
                    } else {
                        ++i;
                    }
                }
            } else if (file >= 0) {
                files[file].durable = files[file].current;
                files[file].pending.clear();
            }
            break;
        case Op::Link:
        case Op::Rename:
        case Op::Unlink: {
            const auto from = op.kind == Op::Link ? std::nullopt : nameOf(op.path);
            const auto to = op.kind == Op::Link     ? nameOf(op.path)
                            : op.kind == Op::Rename ? nameOf(op.path2)
                                                    : std::nullopt;
            if (file < 0 || (op.kind != Op::Unlink && (!to || !isFolder(parentOf(*to))))) {
                ++figures.unsupported;
                break;
            }
            DirOp dirOp{to.value_or(QString()), from.value_or(QString()), file, {}};
            if (from)
                dirOp.waits.insert(parentOf(*from));
            if (to)
                dirOp.waits.insert(parentOf(*to));
            change(std::move(dirOp));
            break;
        }
        case Op::Mkdir:
        case Op::Rmdir: {
            const auto name = nameOf(op.path);
            if (!name || name->isEmpty()) {
                ++figures.unsupported;
                break;
            }
            if (op.kind == Op::Mkdir) {
                folderOfInode.insert(op.inode, *name);
                change(DirOp{*name, QString(), kFolder, {parentOf(*name)}});
            } else {
                change(DirOp{QString(), *name, kFolder, {parentOf(*name)}});
            }
            break;
        }
        case Op::Mark:
            ++markers;
            break;
        case Op::SyncRange:
        case Op::Close:
            break;
        }
        visitPoint(index + 1);
    }
    return figures;
}

QString record(const QString& recorder, const QString& driver, const QString& folder, const QString& work,
               const QString& trace, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), recorder);
    environment.insert(QStringLiteral("FSREC_DIR"), folder);
    environment.insert(QStringLiteral("FSREC_LOG"), trace);
    environment.insert(QStringLiteral("FSREC_MARKER_FD"), QStringLiteral("99"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work);
    // Under the sanitizers the recorder comes before their runtime in the load order.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       QStringLiteral("verify_asan_link_order=0:detect_leaks=0"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(driver, QStringList{folder} + arguments);
    if (!process.waitForFinished(120000))
        return QStringLiteral("%1 did not end").arg(driver);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1 failed (%2)").arg(driver).arg(process.exitCode());
    return QString();
}

bool recordOps(const QString& recorder, const QString& driver, const QString& folder, const QString& work,
               QList<Op>* ops, QString* error, const QStringList& arguments) {
    const QString trace = QDir(work).filePath(QStringLiteral("trace"));
    *error = record(recorder, driver, folder, work, trace, arguments);
    if (!error->isEmpty())
        return false;
    QFile file(trace);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the trace");
        return false;
    }
    return parseTrace(file.readAll(), ops, error);
}

bool writeFolder(const QString& root, const Folder& files, QHash<QString, quint64>* inodes) {
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = root + u'/' + it.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
        file.close();
        struct stat info {};
        if (inodes && ::stat(QFile::encodeName(path).constData(), &info) == 0)
            inodes->insert(it.key(), info.st_ino);
    }
    return true;
}

} // namespace CrashStates
