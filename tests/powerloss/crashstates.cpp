#include "crashstates.h"

#include <QProcess>

#include <QCryptographicHash>
#include <QSet>

#include <fcntl.h>

namespace CrashStates {

bool parseTrace(const QByteArray& trace, QList<Op>* ops, QString* error) {
    static const QHash<QByteArray, Op::Kind> kinds{
        {"OPEN", Op::Open},     {"WRITE", Op::Write}, {"TRUNC", Op::Trunc},   {"FSYNC", Op::Fsync},
        {"SFR", Op::SyncRange}, {"LINK", Op::Link},   {"RENAME", Op::Rename}, {"UNLINK", Op::Unlink},
        {"CLOSE", Op::Close},   {"MARK", Op::Mark}};
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

// A change of the folder's names not yet covered by an fsync of the folder.
struct DirOp {
    QString bind;   // the name that now names the file (empty: none)
    QString remove; // the name that no longer names it (empty: none)
    int file = -1;
};

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
                const std::function<void(int, int, const Folder&)>& visit) {
    Figures figures;
    QList<Inode> files;
    QHash<quint64, int> fileOfInode;
    QMap<QString, int> names;   // what the process sees
    QMap<QString, int> durable; // what the last fsync of the folder covered
    QList<DirOp> pendingDir;
    for (auto it = initial.begin(); it != initial.end(); ++it) {
        files.append(Inode{it.value(), {}, it.value()});
        fileOfInode.insert(initialInodes.value(it.key()), static_cast<int>(files.size() - 1));
        names.insert(it.key(), static_cast<int>(files.size() - 1));
    }
    durable = names;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const auto nameOf = [&](const QString& path) {
        return path.startsWith(prefix) && !path.sliced(prefix.size()).contains(QLatin1Char('/'))
                   ? path.sliced(prefix.size())
                   : QString();
    };
    const auto newFile = [&](quint64 inode) {
        files.append(Inode());
        fileOfInode.insert(inode, static_cast<int>(files.size() - 1));
        return static_cast<int>(files.size() - 1);
    };

    QSet<QByteArray> seen;
    int markers = 0;
    const auto visitPoint = [&](int opIndex) {
        ++figures.points;
        // The subsets of the pending name changes: all of them while there are few, else every
        // prefix with at most one later change added.
        QList<QList<int>> subsets;
        const int n = static_cast<int>(pendingDir.size());
        if (n <= 10) {
            for (int mask = 0; mask < (1 << n); ++mask) {
                QList<int> subset;
                for (int i = 0; i < n; ++i)
                    if (mask & (1 << i))
                        subset.append(i);
                subsets.append(subset);
            }
        } else {
            for (int length = 0; length <= n; ++length) {
                QList<int> subset;
                for (int i = 0; i < length; ++i)
                    subset.append(i);
                subsets.append(subset);
                for (int extra = length + 1; extra < n; ++extra)
                    subsets.append(subset + QList<int>{extra});
            }
        }
        figures.dirSubsets = std::max<qint64>(figures.dirSubsets, subsets.size());
        for (const QList<int>& subset : subsets) {
            QMap<QString, int> dir = durable;
            for (int i : subset) {
                const DirOp& op = pendingDir.at(i);
                if (!op.remove.isEmpty() && dir.value(op.remove, -1) == op.file)
                    dir.remove(op.remove);
                if (!op.bind.isEmpty())
                    dir.insert(op.bind, op.file);
            }
            // Every combination of the named files' possible contents.
            QList<std::pair<QString, QList<QByteArray>>> choices;
            for (auto it = dir.begin(); it != dir.end(); ++it)
                choices.append({it.key(), variants(files.at(it.value()))});
            QList<int> pick(choices.size(), 0);
            while (true) {
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
                qsizetype i = 0;
                while (i < pick.size() && ++pick[i] == choices.at(i).second.size())
                    pick[i++] = 0;
                if (i == pick.size())
                    break;
            }
        }
    };

    visitPoint(0);
    for (int index = 0; index < ops.size(); ++index) {
        const Op& op = ops.at(index);
        const int file = fileOfInode.value(op.inode, -1);
        switch (op.kind) {
        case Op::Open:
            if (op.isDir)
                break;
            if ((op.flags & __O_TMPFILE) == __O_TMPFILE) {
                newFile(op.inode);
            } else if (!op.existed) {
                const QString name = nameOf(op.path);
                const int made = newFile(op.inode);
                if (name.isEmpty()) {
                    ++figures.unsupported;
                    break;
                }
                names.insert(name, made);
                pendingDir.append(DirOp{name, QString(), made});
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
                durable = names;
                pendingDir.clear();
            } else if (file >= 0) {
                files[file].durable = files[file].current;
                files[file].pending.clear();
            }
            break;
        case Op::Link:
        case Op::Rename:
        case Op::Unlink: {
            const QString from = op.kind == Op::Link ? QString() : nameOf(op.path);
            const QString to = op.kind == Op::Link     ? nameOf(op.path)
                               : op.kind == Op::Rename ? nameOf(op.path2)
                                                       : QString();
            if (file < 0 || (op.kind != Op::Unlink && to.isEmpty())) {
                ++figures.unsupported;
                break;
            }
            if (!from.isEmpty() && names.value(from, -1) == file)
                names.remove(from);
            if (!to.isEmpty())
                names.insert(to, file);
            pendingDir.append(DirOp{to, from, file});
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
               const QString& trace) {
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
    process.start(driver, {folder});
    if (!process.waitForFinished(120000))
        return QStringLiteral("%1 did not end").arg(driver);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1 failed (%2)").arg(driver).arg(process.exitCode());
    return QString();
}

} // namespace CrashStates
