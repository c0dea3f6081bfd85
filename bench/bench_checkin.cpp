// Check-in under load: 5,000 distinct guests check in from their phones within a minute over
// 127.0.0.1 (each guest from a loopback address of its own, as phones on the venue's network are),
// while the real draw screen rolls names offscreen in the same process. Reports every check-in on disk,
// the answer times (median, 99th percentile, largest) and the gaps between two ticks of the rolling
// display, beside the same display rolling without check-ins. Then the field index at 1,000,000
// entrants beside the pool load.
//   BENCH_CHECKIN_GUESTS (5000) and BENCH_CHECKIN_SECONDS (50) change the load.
#include "apppaths.h"
#include "benchdata.h"
#include "checkindesk.h"
#include "checkinlog.h"
#include "checkinservice.h"
#include "configstore.h"
#include "entrantfields.h"
#include "randomsource.h"
#include "textcodec.h"
#include "unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Steady = std::chrono::steady_clock;

double ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// One request from the guest's own loopback address; the answer.
QByteArray request(int guest, quint16 port, const QByteArray& text) {
    QByteArray answer;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return answer;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl((127u << 24) | (10u << 16) | (static_cast<unsigned>(guest / 250) << 8) |
                                 static_cast<unsigned>(guest % 250 + 1));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
        ::send(fd, text.constData(), static_cast<size_t>(text.size()), MSG_NOSIGNAL) == text.size()) {
        char buffer[8192];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, n);
    }
    ::close(fd);
    return answer;
}

QByteArray post(const QByteArray& path, const QByteArray& host, const QByteArray& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The confirm form's token of a confirmation page.
QByteArray tokenOf(const QByteArray& answer) {
    const QByteArray field = "name=\"who\" value=\"";
    const qsizetype at = answer.indexOf(field);
    if (at < 0)
        return {};
    return answer.mid(at + field.size(), answer.indexOf('"', at + field.size()) - at - field.size());
}

struct Percentiles {
    double median = 0, p99 = 0, max = 0;
};
Percentiles percentiles(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[std::min(values.size() - 1, size_t(q * double(values.size())))];
    };
    return {at(0.5), at(0.99), values.back()};
}

// The gaps between the rolling display's ticks while the loop runs until done() holds.
std::vector<double> rollWhile(QObject* timer, const std::function<bool()>& done) {
    std::vector<double> gaps;
    std::optional<Steady::time_point> last;
    auto* probe = qobject_cast<QTimer*>(timer);
    const auto connection = QObject::connect(probe, &QTimer::timeout, probe, [&] {
        const auto now = Steady::now();
        if (last)
            gaps.push_back(ms(now - *last));
        last = now;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    QObject::disconnect(connection);
    return gaps;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SeededRandom random(7);
    RandomSource::install(&random);
    BenchData::NoBoxes noBoxes;
    const int guests = qEnvironmentVariableIsSet("BENCH_CHECKIN_GUESTS")
                           ? qEnvironmentVariableIntValue("BENCH_CHECKIN_GUESTS")
                           : 5000;
    const int seconds = qEnvironmentVariableIsSet("BENCH_CHECKIN_SECONDS")
                            ? qEnvironmentVariableIntValue("BENCH_CHECKIN_SECONDS")
                            : 50;

    QTemporaryDir dir;
    AppPaths::setFolder(dir.path());
    const int lines = 6000;
    BenchData::writeEvent(dir.path(), lines, 10);
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
        .writeStrings(QStringLiteral("Checkin"),
                      {{QStringLiteral("Enabled"), QStringLiteral("1")},
                       {QStringLiteral("Address"), QStringLiteral("127.0.0.1")},
                       {QStringLiteral("Port"), QString::number(port)},
                       {QStringLiteral("Key"), QStringLiteral("BenchEventKey2026abcd")}});
    TForm1 form;
    form.resize(1920, 1080);
    form.show();
    CheckinService center(form.session());
    // The hall sees the staff numbers only: the name, typed at the confirmation, is the proof.
    center.setHallText([](const QString& line) { return line.section(u'\t', 1, 1); });
    center.startIfEnabled();
    const QByteArray path = QUrl(center.url()).path().toLatin1();
    const QByteArray host = "127.0.0.1:" + QByteArray::number(port);
    auto* button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
    QObject* time1 = form.findChild<QObject*>(QStringLiteral("time1"));
    button->click(); // names roll
    if (!form.isRolling())
        qFatal("the draw screen does not roll");

    // The baseline: the same display rolling for ten seconds without a guest.
    const auto idleEnd = Steady::now() + std::chrono::seconds(10);
    const Percentiles idle = percentiles(rollWhile(time1, [&] { return Steady::now() >= idleEnd; }));

    // The guests: each opens the page, types a staff number, confirms. They arrive evenly over the
    // given seconds, served by 32 phones at a time.
    const EntrantPool& pool = form.model().pool;
    std::vector<QString> entrants;
    for (int g = 0; g < guests; ++g)
        entrants.push_back(pool.name(g));
    std::vector<double> pageTimes(guests), lookupTimes(guests), checkinTimes(guests);
    std::atomic<int> next = 0, succeeded = 0, finished = 0;
    const auto start = Steady::now();
    const auto spacing = std::chrono::duration<double>(double(seconds) / guests);
    std::vector<std::thread> phones;
    for (int t = 0; t < 32; ++t)
        phones.emplace_back([&] {
            // The phones are not the laptop: their own work runs behind the program's threads.
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
            for (int g; (g = next++) < guests; ++finished) {
                std::this_thread::sleep_until(start +
                                              std::chrono::duration_cast<Steady::duration>(spacing * g));
                const QByteArray query =
                    "q=" + QUrl::toPercentEncoding(entrants[size_t(g)].section(u'\t', 1, 1));
                const QByteArray proof =
                    "&proof=" + QUrl::toPercentEncoding(entrants[size_t(g)].section(u'\t', 0, 0));
                auto t0 = Steady::now();
                request(g, port, "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
                auto t1 = Steady::now();
                const QByteArray token = tokenOf(request(g, port, post(path, host, query)));
                auto t2 = Steady::now();
                const QByteArray answer =
                    request(g, port, post(path, host, query + "&who=" + token + "&step=confirm" + proof));
                auto t3 = Steady::now();
                pageTimes[size_t(g)] = ms(t1 - t0);
                lookupTimes[size_t(g)] = ms(t2 - t1);
                checkinTimes[size_t(g)] = ms(t3 - t2);
                succeeded += answer.contains("签到成功") ? 1 : 0;
            }
        });
    const std::vector<double> gaps = rollWhile(time1, [&] { return finished.load() >= guests; });
    const double took = ms(Steady::now() - start) / 1000.0;
    for (std::thread& phone : phones)
        phone.join();
    button->click();

    CheckinLog log(AppPaths::file(AppPaths::kCheckins));
    log.load();
    const Percentiles page = percentiles(pageTimes), lookup = percentiles(lookupTimes),
                      checkin = percentiles(checkinTimes), rolled = percentiles(gaps);
    std::printf("%d guests in %.1f s (page, lookup, confirm each), the draw screen rolling\n", guests, took);
    std::printf("  answered 签到成功: %d, on disk in 签到名单.txt: %lld, in %d appends (write + fdatasync)\n",
                succeeded.load(), static_cast<long long>(log.entries().size()), center.desk().appends());
    std::printf("  page     median %6.1f ms  p99 %6.1f ms  max %6.1f ms\n", page.median, page.p99, page.max);
    std::printf("  lookup   median %6.1f ms  p99 %6.1f ms  max %6.1f ms\n", lookup.median, lookup.p99,
                lookup.max);
    std::printf("  check-in median %6.1f ms  p99 %6.1f ms  max %6.1f ms (on disk before the answer)\n",
                checkin.median, checkin.p99, checkin.max);
    std::printf("  roll tick gap under load: median %5.1f ms  p99 %5.1f ms  largest %5.1f ms (%zu ticks)\n",
                rolled.median, rolled.p99, rolled.max, gaps.size());
    std::printf("  roll tick gap, no check-ins: median %5.1f ms  p99 %5.1f ms  largest %5.1f ms\n",
                idle.median, idle.p99, idle.max);

    // The field index at a million entrants, beside the pool load of the same text.
    const QString million = TextCodec::fromGbk(BenchData::entrantList(1'000'000));
    EntrantPool big;
    const BenchData::Figures load = BenchData::measure(5, [&] { big.setText(million); });
    BenchData::report(QStringLiteral("pool load, 1,000,000 entrants"), load);
    EntrantFieldIndex index;
    const BenchData::Figures build = BenchData::measure(5, [&] { index.build(big); });
    BenchData::report(QStringLiteral("field index build, 1,000,000 entrants"), build, &load);
    const BenchData::Figures find =
        BenchData::measure(200, [&] { (void)index.match(QStringLiteral("A0765432")); });
    BenchData::report(QStringLiteral("one whole-field lookup"), find);
    return 0;
}
