// The program as main() builds it, with check-in switched on, through a scripted burst of check-ins
// for the power-loss explorer:
//
//   checkindriver <folder>
//
// Four phones (threads, over 127.0.0.1) check in six guests each through the real server; the desk
// checks one guest out by hand; an editor saves 签到名单.txt (written beside, renamed over); four phones
// check in four more each (guests 41 to 56); the draw screen closes. Each guest checks in from an
// address of its own (the lookup, then the confirmation with its token). Markers on the descriptor
// FSREC_MARKER_FD (when set), one a line, fields separated by tabs:
//   CHECKEDIN <entrant>     a phone was answered "签到成功"
//   BEGIN checkout <entrant> / CHECKEDOUT <entrant>   the check-out by hand started / is done
//   EDITED                  the editor's save is done
//   EXITED                  the draw screen closed
// Ends with 0 when every step went as scripted, else 1 (the reason on standard error).
#include "apppaths.h"
#include "checkindesk.h"
#include "checkinservice.h"
#include "lotteryapp.h"
#include "markers.h"
#include "scripteddialogs.h"
#include "unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> g_failures = 0;

using DriverMarkers::mark;

// One form post to the server over a plain socket, from a loopback address of the phone's own; the
// answer.
QByteArray postForm(int phone, quint16 port, const QByteArray& path, const QByteArray& body) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 0x070000 + static_cast<in_addr_t>(phone) + 1);
    if (fd >= 0)
        ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray answer;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
        const QByteArray request =
            "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
            "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        if (::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL) ==
            request.size()) {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                answer.append(buffer, n);
        }
    }
    if (fd >= 0)
        ::close(fd);
    return answer;
}

QString guest(int n) {
    return QStringLiteral("员工%1 工号%2").arg(n).arg(8000 + n);
}

void burst(quint16 port, const QByteArray& path, int phones, int each, int first) {
    std::vector<std::thread> threads;
    for (int p = 0; p < phones; ++p)
        threads.emplace_back([=] {
            for (int i = 0; i < each; ++i) {
                const int n = first + p * each + i;
                // The hall sees the names only: the staff number is the proof.
                const QByteArray query = "q=" + QUrl::toPercentEncoding(guest(n).section(u' ', 0, 0));
                const QByteArray page = postForm(n, port, path, query);
                const QByteArray field = "name=\"who\" value=\"";
                const qsizetype at = page.indexOf(field) + field.size();
                const QByteArray token = page.mid(at, page.indexOf('"', at) - at);
                const QByteArray proof = "&proof=" + QUrl::toPercentEncoding(guest(n).section(u' ', 1));
                if (postForm(n, port, path, query + "&who=" + token + "&step=confirm" + proof)
                        .contains("签到成功"))
                    mark({QStringLiteral("CHECKEDIN"), guest(n)});
                else
                    ++g_failures;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    if (!DriverMarkers::open())
        return 2;
    AppPaths::setFolder(args.at(1));
    ScriptedDialogs dialogs;

    LotteryApp windows;
    windows.start();
    CheckinService& checkin = windows.checkin();
    checkin.setHallText([](const QString& line) { return line.section(u' ', 0, 0); });
    const QUrl url(checkin.url());
    if (url.isEmpty()) {
        std::fprintf(stderr, "checkindriver: the server did not start: %s\n",
                     qPrintable(dialogs.texts().join('|')));
        return 1;
    }
    const quint16 port = static_cast<quint16>(url.port());
    const QByteArray path = url.path().toLatin1();

    burst(port, path, 4, 6, 1);
    const QString leaving = guest(3);
    mark({QStringLiteral("BEGIN"), QStringLiteral("checkout"), leaving});
    checkin.desk().checkOutLater(leaving);
    QElapsedTimer clock;
    clock.start();
    while (checkin.desk().checkedInAt(leaving) && clock.elapsed() < 10000)
        QThread::msleep(5);
    mark({QStringLiteral("CHECKEDOUT"), leaving});
    // An editor saves the file as it is: written beside, flushed, renamed over (the folder not flushed).
    {
        const QByteArray file = QFile::encodeName(AppPaths::file(AppPaths::kCheckins));
        QFile current(QString::fromLocal8Bit(file));
        const QByteArray bytes = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
        const QByteArray beside = file + ".edit";
        const int fd = ::open(beside.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size() ||
            ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(beside.constData(), file.constData()) != 0)
            ++g_failures;
        mark({QStringLiteral("EDITED")});
    }
    burst(port, path, 4, 4, 41);

    windows.form1().close();
    mark({QStringLiteral("EXITED")});
    if (g_failures > 0 || checkin.desk().checkedInAt(leaving) || !dialogs.boxes.isEmpty()) {
        std::fprintf(stderr, "checkindriver: %d check-ins failed; boxes: %s\n", g_failures.load(),
                     qPrintable(dialogs.texts().join('|')));
        return 1;
    }
    return 0;
}
