// Check-in from the guests' phones: whole-field matching, 签到名单.txt on disk (torn tails, hand edits,
// check-out, read-only), the desk's group commit, the server's answers to good and bad requests over
// 127.0.0.1, the QR code read back by zbarimg, the page in headless chromium at a phone's size, and the
// draw screen's menu, check-in screen and panel; the verifiable draw on the phones and the verifier page
// a guest saves, checked in chromium against a proof of a whole event.
#include "apppaths.h"
#include "atomicfile.h"
#include "checkincenter.h"
#include "checkindesk.h"
#include "checkinlog.h"
#include "checkinpanel.h"
#include "checkinscreen.h"
#include "checkinserver.h"
#include "checkinservice.h"
#include "configstore.h"
#include "drive.h"
#include "entrantfields.h"
#include "eventfixture.h"
#include "lotteryapp.h"
#include "operationerror.h"
#include "password.h"
#include "qrimage.h"
#include "ratelimiter.h"
#include "testenv.h"
#include "textcodec.h"
#include "unit1.h"
#include "verifiabledraw.h"
#include "winnerlists.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

namespace {
const QString kKey = QStringLiteral("TestEventKey20261209");
QByteArray g_host = "x"; // the Host header of the requests: the server's own address and port

QString entrantText(int n) {
    QString text;
    for (int i = 1; i <= n; ++i)
        text += QStringLiteral("员工%1 A%2\r\n").arg(i).arg(i, 4, 10, QLatin1Char('0'));
    return text;
}

EntrantPool poolOf(const QString& text) {
    EntrantPool pool;
    pool.setText(text);
    return pool;
}

// What the hall sees of a line as the stage shows it by default: a mobile number partly hidden.
QString maskedMobiles(const QString& line) {
    static const QRegularExpression mobile(QStringLiteral("\\b(1\\d\\d)\\d{4}(\\d{4})\\b"));
    return QString(line).replace(mobile, QStringLiteral("\\1****\\2"));
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Starts the server on a free loopback port, the requests' Host header its address: the port, 0 (with
// the reason in error) when it did not start.
quint16 startLocal(CheckinServer& server, QString* error, const CheckinServer::Limits& limits = {},
                   const QString& secret = {}) {
    const quint16 port = freePort();
    if (!server.start(QStringLiteral("127.0.0.1"), port, kKey, error, limits, secret))
        return 0;
    g_host = "127.0.0.1:" + QByteArray::number(port);
    return port;
}

// One request from a source address of the loopback range (each address has its own rate budget);
// the whole answer, or what came before the server closed or timeoutMs passed.
QByteArray exchange(quint16 port, const QByteArray& request,
                    const QString& from = QStringLiteral("127.0.0.1"), int timeoutMs = 10000) {
    QTcpSocket socket;
    socket.bind(QHostAddress(from));
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request);
    socket.waitForBytesWritten(timeoutMs);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

QByteArray post(const QByteArray& path, const QByteArray& body, const QByteArray& headers = {}) {
    return "POST " + path + " HTTP/1.1\r\nHost: " + g_host +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body;
}

QByteArray get(const QByteArray& path, const QByteArray& headers = {}) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + g_host + "\r\n" + headers + "\r\n";
}

int status(const QByteArray& answer) {
    return answer.startsWith("HTTP/1.") ? answer.mid(9, 3).toInt() : 0;
}

QString heading(const QByteArray& answer) {
    const QString text = QString::fromUtf8(answer);
    const qsizetype start = text.indexOf(QLatin1String("<h2"));
    const qsizetype open = text.indexOf(u'>', start);
    return start < 0 ? QString() : text.mid(open + 1, text.indexOf(QLatin1String("</h2>"), open) - open - 1);
}

QByteArray form(const QString& query, const QByteArray& who = {}, const QByteArray& proof = {}) {
    QByteArray body = "q=" + QUrl::toPercentEncoding(query);
    if (!who.isEmpty())
        body += "&who=" + who + "&step=confirm";
    if (!proof.isEmpty())
        body += "&proof=" + proof;
    return body;
}

// The confirm form's token of a Confirm page.
QByteArray tokenOf(const QByteArray& answer) {
    const QByteArray field = "name=\"who\" value=\"";
    const qsizetype at = answer.indexOf(field);
    if (at < 0)
        return {};
    const qsizetype start = at + field.size();
    return answer.mid(start, answer.indexOf('"', start) - start);
}

QByteArray cookieOf(const QByteArray& answer) {
    const qsizetype start = answer.indexOf("orvanta_checkin=");
    return start < 0 ? QByteArray()
                     : "Cookie: " + answer.mid(start, answer.indexOf(';', start) - start) + "\r\n";
}

// Looks the text up and confirms it (with the phone digits when given), from one address.
QByteArray confirm(quint16 port, const QByteArray& page, const QString& query, const QByteArray& proof,
                   const QString& from, const QByteArray& headers = {}) {
    const QByteArray token = tokenOf(exchange(port, post(page, form(query), headers), from));
    return exchange(port, post(page, form(query, token.isEmpty() ? "none" : token, proof), headers), from);
}

QString decodeQr(const QImage& image, const QString& dir) {
    const QString png = dir + QStringLiteral("/qr.png");
    image.save(png);
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"), png});
    zbar.waitForFinished(30000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}
} // namespace

class TestCheckin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsMatchWholeFieldsOnly();
    void checkinFileReadsBackAndRepairsATornTail();
    void deskAnswersOnlyOnceOnDisk();
    void serverAnswersGuestsAndRefusesBadRequests();
    void hostileConnectionsCannotStopCheckIn();
    void guestsProveWhoTheyAreAndLearnOnlyAMask();
    void publicFieldsProveNobodyTheDeskConfirms();
    void hallBehindOneRouterChecksIn();
    void replacedCheckinFileLosesNothing();
    void fullAddressTableStillTakesNewcomers();
    void qrCodeReadsBackAsTheAddress();
    void phonePageInChromium();
    void verifiableDrawOnThePhones();
    void drawScreenOpensScreenAndPanel();
};

void TestCheckin::fieldsMatchWholeFieldsOnly() {
    QCOMPARE(EntrantFields::split(QStringLiteral(" 张三\tA0013  销售部\u3000北京 ")).size(), 4);
    EntrantFieldIndex index;
    index.build(poolOf(QStringLiteral("张三 A0013\r\n王五 3\r\n张三 A0014 销售部\r\n\r\nＢ7 李四\r\n")));
    QCOMPARE(index.positionsOf(QStringLiteral("3")), (std::vector<int>{1}));     // never A0013
    QCOMPARE(index.positionsOf(QStringLiteral("a0013")), (std::vector<int>{0})); // letters' case
    QCOMPARE(index.positionsOf(QStringLiteral("b7")), (std::vector<int>{4}));    // full-width forms
    QCOMPARE(index.positionsOf(QStringLiteral("张三")), (std::vector<int>{0, 2}));
    QCOMPARE(index.match(QStringLiteral("张三 a0014")), (std::vector<int>{2}));
    QCOMPARE(index.match(QStringLiteral("A001")), std::vector<int>{});
    QCOMPARE(index.match(QStringLiteral("  ")), std::vector<int>{});
}

void TestCheckin::checkinFileReadsBackAndRepairsATornTail() {
    TestEnv env;
    const QString path = env.path(AppPaths::kCheckins);
    const QDateTime at(QDate(2026, 12, 9), QTime(19, 2, 11));
    {
        CheckinLog log(path);
        log.load();
        QVERIFY(!env.exists(AppPaths::kCheckins)); // nothing written until somebody checks in
        const auto fresh = log.record({{at, QStringLiteral("张三\tA0013")},
                                       {at, QStringLiteral("李四 A0014")},
                                       {at, QStringLiteral("张三\tA0013")}});
        QCOMPARE(fresh.size(), 2);
        QCOMPARE(log.record({{at.addSecs(5), QStringLiteral("李四 A0014")}}).size(), 0);
    }
    const QByteArray written = gbk(QStringLiteral("2026-12-09 19:02:11\t张三\tA0013\r\n"
                                                  "2026-12-09 19:02:11\t李四 A0014\r\n"));
    QCOMPARE(env.readFile(AppPaths::kCheckins), written);

    // A power cut in the middle of an append: a line without its end, or zeros where the file grew.
    // A hand-edited line that is no check-in is kept but not counted.
    for (const QByteArray& tail :
         {QByteArray("2026-12-09 19:0"), QByteArray(40, '\0'), gbk(QStringLiteral("王"))}) {
        env.writeFile(AppPaths::kCheckins, written + gbk(QStringLiteral("备注：签到台\r\n")) + tail);
        CheckinLog log(path);
        log.load();
        QCOMPARE(log.entries().size(), 2);
        QCOMPARE(log.entries().first().entrant, QStringLiteral("张三\tA0013"));
        QCOMPARE(log.checkedInAt(QStringLiteral("李四 A0014")), std::optional<QDateTime>(at));
        QCOMPARE(log.skippedLines(), 1);
        QCOMPARE(log.repairedBytes(), tail.size());
        QCOMPARE(env.readFile(AppPaths::kCheckins), written + gbk(QStringLiteral("备注：签到台\r\n")));
        log.record({{at, QStringLiteral("王五 A0015")}});
        QVERIFY(env.readFile(AppPaths::kCheckins).endsWith(gbk(QStringLiteral("\t王五 A0015\r\n"))));
    }

    CheckinLog log(path);
    log.load();
    QVERIFY(log.checkOut(QStringLiteral("张三\tA0013")));
    QVERIFY(!log.checkOut(QStringLiteral("张三\tA0013")));
    log.record({{at, QStringLiteral("赵六")}}); // appends to the new file, not the replaced one
    CheckinLog reread(path);
    reread.load();
    QCOMPARE(reread.entries().size(), 3);
    QVERIFY(!reread.isPresent(QStringLiteral("张三\tA0013")));
    QVERIFY(reread.isPresent(QStringLiteral("赵六")));

    // Text the file cannot hold is refused; a read-only file refuses a check-in, even to root.
    for (const QString& bad : {QStringLiteral("a\nb"), QStringLiteral(" "), QString(QChar(0xD800)),
                               QString(CheckinLog::kMaxEntrantLength + 1, u'x')})
        QVERIFY2(!CheckinLog::refusal(bad).isEmpty(), qPrintable(bad));
    QVERIFY_THROWS_EXCEPTION(OperationError, reread.record({{at, QStringLiteral("a\rb")}}));
    const QByteArray before = env.readFile(AppPaths::kCheckins);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    CheckinLog readOnly(path);
    readOnly.load();
    QVERIFY_THROWS_EXCEPTION(OperationError, readOnly.record({{at, QStringLiteral("钱七")}}));
    QVERIFY(!readOnly.isPresent(QStringLiteral("钱七")));
    ::chmod(QFile::encodeName(path).constData(), 0644);
    QCOMPARE(env.readFile(AppPaths::kCheckins), before);
    readOnly.clear();
    QCOMPARE(env.readFile(AppPaths::kCheckins), QByteArray());
}

void TestCheckin::deskAnswersOnlyOnceOnDisk() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    desk.setPool(poolOf(entrantText(300) + QStringLiteral("   \r\n员工7 A0007\r\n")));
    QCOMPARE(desk.total(), 301);
    QCOMPARE(desk.lookup(QStringLiteral("员工7")).kind, CheckinDesk::Lookup::One); // the same text twice
    QCOMPARE(desk.lookup(QStringLiteral("A0007")).entrant, QStringLiteral("员工7 A0007"));

    // Eight phones at once, each checking in the same 40 guests: every guest once, on disk when told.
    std::vector<std::thread> phones;
    std::atomic<int> checkedIn = 0, already = 0, wrong = 0;
    for (int t = 0; t < 8; ++t)
        phones.emplace_back([&] {
            for (int i = 1; i <= 40; ++i) {
                const QString guest = QStringLiteral("员工%1 A%2").arg(i).arg(i, 4, 10, QLatin1Char('0'));
                const CheckinDesk::Outcome outcome = desk.checkIn(guest);
                const bool onDisk =
                    QString(TextCodec::fromGbk(AtomicFile::readAll(env.path(AppPaths::kCheckins))))
                        .contains(u'\t' + guest + QLatin1String("\r\n"));
                (outcome.kind == CheckinDesk::Outcome::CheckedIn ? checkedIn : already) += 1;
                wrong += onDisk && outcome.kind != CheckinDesk::Outcome::Failed ? 0 : 1;
            }
        });
    for (std::thread& phone : phones)
        phone.join();
    QCOMPARE(checkedIn.load(), 40);
    QCOMPARE(already.load(), 7 * 40);
    QCOMPARE(wrong.load(), 0);
    QCOMPARE(desk.presentCount(), 41); // 员工7 stands on two lines
    QVERIFY(desk.isPresent(6) && desk.isPresent(301) && !desk.isPresent(40) && !desk.isPresent(300));

    // The list imported again in another order: presence follows the text, not the position.
    desk.setPool(poolOf(QStringLiteral("新人 B0001\r\n员工2 A0002\r\n")));
    QCOMPARE(desk.presentCount(), 1);
    QVERIFY(!desk.isPresent(0) && desk.isPresent(1));
    desk.checkOutLater(QStringLiteral("员工2 A0002"));
    QTRY_COMPARE(desk.presentCount(), 0);
    desk.clear();
    QVERIFY(desk.entries().isEmpty());
}

void TestCheckin::serverAnswersGuestsAndRefusesBadRequests() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    // The hall sees the names only: the staff number is the proof.
    desk.setPool(poolOf(entrantText(30) + QStringLiteral("同名 C0001\r\n同名 C0002\r\n<b>x</b> C0003\r\n")),
                 [](const QString& line) { return line.section(u' ', 0, 0); });
    CheckinServer server(desk);
    server.setEventTitle(QStringLiteral("<script>alert(1)</script>年会"));
    CheckinServer::Limits limits;
    limits.requestTimeoutMs = 1500;
    limits.perSecond = 1; // the request budget as tight as a guest alone needs, to see it bite
    limits.burst = 20;
    QString error;
    const quint16 port = startLocal(server, &error, limits);
    QVERIFY2(port, qPrintable(error));
    const QByteArray page = '/' + kKey.toLatin1() + '/';

    QByteArray answer = exchange(port, get(page));
    QCOMPARE(status(answer), 200);
    QVERIFY(answer.contains("&lt;script&gt;alert(1)&lt;/script&gt;年会") && !answer.contains("<script>"));
    QCOMPARE(heading(answer), QStringLiteral("欢迎签到"));
    // A field the hall never sees finds nobody (a lookup tells nothing of a guess) and is never shown.
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("a0005"))))),
             QStringLiteral("没有找到“a0005”"));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("员工5 a0005"))))),
             QStringLiteral("没有找到“员工5 a0005”"));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("员工5"))))),
             QStringLiteral("请确认：员*5"));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("5"))))), QStringLiteral("没有找到“5”"));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("同名"))))),
             QStringLiteral("有同名的来宾"));
    // Markup typed or in the list is shown as text.
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("<img src=x onerror=alert(1)>")), {}),
                              QStringLiteral("127.0.0.2"))),
             QStringLiteral("没有找到“&lt;img src=x onerror=alert(1)&gt;”"));
    QCOMPARE(
        heading(exchange(port, post(page, form(QStringLiteral("<b>x</b>"))), QStringLiteral("127.0.0.2"))),
        QStringLiteral("请确认：&lt;******&gt;"));

    // Confirm: on disk before "签到成功"; the phone's cookie then stands for that guest.
    answer = confirm(port, page, QStringLiteral("员工5"), "A0005", QStringLiteral("127.0.0.3"));
    QCOMPARE(heading(answer), QStringLiteral("签到成功"));
    QVERIFY(env.readFile(AppPaths::kCheckins).endsWith(gbk(QStringLiteral("\t员工5 A0005\r\n"))));
    const QByteArray cookie = cookieOf(answer);
    QVERIFY(!cookie.isEmpty());
    QCOMPARE(heading(exchange(port, get(page, cookie), QStringLiteral("127.0.0.3"))),
             QStringLiteral("已签到"));
    QCOMPARE(
        heading(confirm(port, page, QStringLiteral("员工6"), "A0006", QStringLiteral("127.0.0.3"), cookie)),
        QStringLiteral("这部手机已为 员*5 签到"));
    QCOMPARE(heading(confirm(port, page, QStringLiteral("员工5"), "A0005", QStringLiteral("127.0.0.4"))),
             QStringLiteral("已签到"));
    QCOMPARE(desk.presentCount(), 1);
    QVERIFY(exchange(port, get(page + "status", cookie))
                .endsWith("{\"present\":1,\"total\":33,\"you\":\"员*5\",\"state\":\"in\"}"));
    // A confirm whose token is not the one of the entrant the text finds asks again.
    const QByteArray token8 =
        tokenOf(exchange(port, post(page, form(QStringLiteral("员工8"))), QStringLiteral("127.0.0.4")));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("员工7"), token8, "A0007")),
                              QStringLiteral("127.0.0.4"))),
             QStringLiteral("请确认：员*7"));
    // /<key> leads to /<key>/, where the page's form posts to the page.
    answer = exchange(port, get(page.chopped(1)));
    QCOMPARE(status(answer), 301);
    QVERIFY(answer.contains("Location: " + page + "\r\n"));

    // Bad requests, each from an address of its own.
    const struct {
        QByteArray request;
        int status;
    } bad[] = {
        {get("/WrongKeyWrongKey1234/"), 404},
        {"GET " + page + " HTTP/1.1\r\nHost: rebound.example:80\r\n\r\n", 400},
        {post(page, form(QStringLiteral("A0009")), "Origin: http://evil.example\r\n"), 403},
        {post(page, form(QStringLiteral("A0009")), "Origin: null\r\n"), 403},
        {get("/"), 404},
        {get(page + "../prize.db"), 404},
        {get(page + "status/x"), 404},
        {get("/" + kKey.toLatin1().left(19) + "/"), 404},
        {"DELETE " + page + " HTTP/1.1\r\nHost: " + g_host + "\r\n\r\n", 405},
        {post(page, QByteArray(5000, 'a')), 413},
        {"POST " + page + " HTTP/1.1\r\nHost: " + g_host +
             "\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nq=abc\r\n0\r\n\r\n",
         411},
        {post(page, "q=%E5%BC%A0%FF%FE"), 400}, // not UTF-8
        {post(page, "q=%00abc"), 400},
        {post(page, "nothing=here"), 400},
        {post(page, "q=" + QByteArray(200, 'x')), 400},
        {"GET " + page + " HTTP/1.1\r\nHost: " + g_host + "\r\nX-Big: " + QByteArray(20000, 'a') + "\r\n\r\n",
         0},
        {QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 garbage\r\n\r\n", 21), 0},
    };
    int n = 10;
    for (const auto& c : bad) {
        const int got = status(exchange(port, c.request, QStringLiteral("127.0.1.%1").arg(n++)));
        QVERIFY2(got == c.status || (c.status == 0 && (got == 0 || got >= 400)),
                 qPrintable(QStringLiteral("%1: %2").arg(QString::fromLatin1(c.request.left(40))).arg(got)));
    }

    // 100 requests within a second from one address: the first ones are served, the rest refused
    // (429, or not even taken when they come faster than new connections may).
    QElapsedTimer clock;
    clock.start();
    int served = 0, limited = 0;
    for (int i = 0; i < 100; ++i) {
        const int got = status(exchange(port, get(page), QStringLiteral("127.0.2.1")));
        served += got == 200 ? 1 : 0;
        limited += got == 429 || got == 0 ? 1 : 0;
    }
    QVERIFY2(served <= 20 + int(clock.elapsed() / 1000) + 1 && limited >= 75,
             qPrintable(QStringLiteral("%1 %2").arg(served).arg(limited)));
    qInfo("100 requests from one address in %lld ms: %d served, %d refused (429)", clock.elapsed(), served,
          limited);
    QCOMPARE(status(exchange(port, get(page), QStringLiteral("127.0.2.2"))), 200); // others go on

    // A slow client: a head that never ends and a body that never comes are dropped within their time,
    // and the server answers others meanwhile.
    for (const bool head : {true, false}) {
        const QByteArray slow =
            head ? "GET " + page + " HTTP/1.1\r\nHost: " + g_host + "\r\n" : post(page, "q=abc").chopped(3);
        QTcpSocket socket;
        socket.bind(QHostAddress(QStringLiteral("127.0.3.1")));
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(5000));
        socket.write(slow);
        socket.waitForBytesWritten(1000);
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(status(exchange(port, get(page), QStringLiteral("127.0.3.2"))), 200);
        while (socket.state() == QAbstractSocket::ConnectedState && waited.elapsed() < 8000) {
            if (head)
                socket.write("X-More: 1\r\n"); // a head that grows and never ends
            socket.waitForDisconnected(200);
        }
        QVERIFY2(socket.state() != QAbstractSocket::ConnectedState, "a slow client was kept");
        QVERIFY(waited.elapsed() < 5000);
        qInfo("a client that never finishes its %s: dropped after %lld ms", head ? "head" : "body",
              waited.elapsed());
    }

    // A port in use gives the operator's message; the running server is not disturbed by the try.
    CheckinServer second(desk);
    QVERIFY(!second.start(QStringLiteral("127.0.0.1"), port, kKey, &error));
    QVERIFY2(error.contains(QStringLiteral("端口 %1 已被其他程序占用").arg(port)), qPrintable(error));
    QVERIFY(!second.start(QStringLiteral("203.0.113.7"), freePort(), kKey, &error));
    QVERIFY2(error.contains(QStringLiteral("本机没有地址 203.0.113.7")), qPrintable(error));
    server.stop();
    QCOMPARE(exchange(port, get(page), QStringLiteral("127.0.0.1"), 1000), QByteArray());
}

void TestCheckin::hostileConnectionsCannotStopCheckIn() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    desk.setPool(poolOf(entrantText(20)));
    CheckinServer server(desk);
    CheckinServer::Limits limits;
    limits.requestTimeoutMs = 2000;
    QString error;
    const quint16 port = startLocal(server, &error, limits);
    QVERIFY2(port, qPrintable(error));
    const QByteArray page = '/' + kKey.toLatin1() + '/';

    // From one address: 40 posts without the key announcing a 1 GB body, trickling; from another, 150
    // heads that never end; from 40 more, one endless head each. All of it bounded, all of it loopback.
    std::vector<std::unique_ptr<QTcpSocket>> attack;
    const auto open = [&](const QString& from, const QByteArray& start) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->bind(QHostAddress(from));
        socket->connectToHost(QHostAddress::LocalHost, port);
        socket->waitForConnected(200);
        socket->write(start);
        attack.push_back(std::move(socket));
    };
    const QByteArray huge =
        "POST /nokey/ HTTP/1.1\r\nHost: " + g_host + "\r\nContent-Length: 1000000000\r\n\r\nq";
    for (int i = 0; i < 40; ++i)
        open(QStringLiteral("127.0.6.1"), huge);
    for (int i = 0; i < 150; ++i)
        open(QStringLiteral("127.0.6.2"), "GET " + page + " HTTP/1.1\r\nHost: " + g_host + "\r\n");
    for (int i = 0; i < 40; ++i)
        open(QStringLiteral("127.0.7.%1").arg(i + 1), "GET " + page + " HTTP/1.1\r\n");
    // A refused request is answered at once and closed, its body never read.
    QVERIFY(attack.front()->waitForReadyRead(1000));
    QCOMPARE(status(attack.front()->readAll()), 404);
    QVERIFY(attack.front()->state() != QAbstractSocket::ConnectedState ||
            attack.front()->waitForDisconnected(1000));
    // Guests from other addresses are served meanwhile, while the attack trickles on.
    QElapsedTimer clock;
    clock.start();
    for (int guest = 0; guest < 4; ++guest) {
        for (auto& socket : attack)
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("X: 1\r\n");
        QElapsedTimer one;
        one.start();
        QCOMPARE(status(exchange(port, get(page), QStringLiteral("127.0.8.%1").arg(guest + 1), 3000)), 200);
        QVERIFY2(one.elapsed() < 1000, qPrintable(QString::number(one.elapsed())));
    }
    // No connection of the attack outlives the whole request's time.
    QTRY_VERIFY_WITH_TIMEOUT(
        std::none_of(attack.begin(), attack.end(),
                     [](const auto& socket) { return socket->state() == QAbstractSocket::ConnectedState; }),
        6000);
    qInfo("230 hostile connections: every guest served, all of them closed within %lld ms", clock.elapsed());
    QVERIFY(server.counts().cut.load() > 0);
}

void TestCheckin::guestsProveWhoTheyAreAndLearnOnlyAMask() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    desk.setPool(
        poolOf(QStringLiteral("张三丰 A001213 13800001234 销售部\r\n李四 A001214 13900005678 销售部\r\n"
                              "王五 A001215 13700009012 销售部\r\n王五 A001216 13600003456 财务部\r\n")),
        maskedMobiles);
    CheckinServer server(desk);
    CheckinServer::Limits limits;
    limits.serverLookupBurst = 30;
    limits.serverLookupsPerSecond = 0.01;
    QString error;
    const QString secret = QStringLiteral("00112233445566778899aabbccddeeff");
    const quint16 port = startLocal(server, &error, limits, secret);
    QVERIFY2(port, qPrintable(error));
    const QByteArray page = '/' + kKey.toLatin1() + '/';
    const QString guest = QStringLiteral("127.0.9.1");
    // What a page shows beyond what the guest typed: no phone, department, whole name or time.
    const auto secretFree = [](QByteArray answer, const QByteArray& typed = {}) {
        answer = answer.mid(answer.indexOf("<main"));
        if (!typed.isEmpty())
            answer.replace(typed, "");
        return !answer.contains("1380000") && !answer.contains("1234") && !answer.contains("销售部") &&
               !answer.contains("张三丰") && !answer.contains("A001213") && !answer.contains(":");
    };

    // A staff number finds a masked confirmation and nothing else; the whole mobile number, which the
    // hall never sees, finds nobody.
    QByteArray answer = exchange(port, post(page, form(QStringLiteral("A001213"))), guest);
    QCOMPARE(heading(answer), QStringLiteral("请确认：张*丰 A00**13"));
    QVERIFY(answer.contains("id=\"proof\"") && answer.contains("完整手机号"));
    QVERIFY(secretFree(answer, "A001213"));
    QCOMPARE(heading(exchange(port, post(page, form(QStringLiteral("13800001234"))), guest)),
             QStringLiteral("没有找到“13800001234”"));
    // Several entrants: asked for more, never told how many.
    answer = exchange(port, post(page, form(QStringLiteral("销售部"))), guest);
    QCOMPARE(heading(answer), QStringLiteral("有同名的来宾"));
    QVERIFY(!answer.mid(answer.indexOf("<main")).contains('3') && !answer.contains("位"));
    // The whole mobile number is the proof: the last four digits the hall sees are not.
    QCOMPARE(heading(confirm(port, page, QStringLiteral("A001213"), {}, guest)),
             QStringLiteral("输入的信息不对"));
    QCOMPARE(heading(confirm(port, page, QStringLiteral("A001213"), "1234", guest)),
             QStringLiteral("输入的信息不对"));
    QCOMPARE(heading(confirm(port, page, QStringLiteral("A001213"), "A001213", guest)),
             QStringLiteral("输入的信息不对"));
    QVERIFY(!desk.checkedInAt(QStringLiteral("张三丰 A001213 13800001234 销售部")));
    answer = confirm(port, page, QStringLiteral("A001213"), "13800001234", guest);
    QCOMPARE(heading(answer), QStringLiteral("签到成功"));
    QVERIFY(secretFree(answer));
    // The cookie holds an opaque id, not the line; a forged one (the old key-derived secret) is nothing.
    const QByteArray cookie = cookieOf(answer);
    QVERIFY(!cookie.contains(QStringLiteral("张三丰")
                                 .toUtf8()
                                 .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
                                 .left(6)));
    QCOMPARE(server.entrantOfCookie(cookie.mid(24).chopped(2)),
             QStringLiteral("张三丰 A001213 13800001234 销售部"));
    CheckinServer other(desk);
    QCOMPARE(other.entrantOfCookie(cookie.mid(24).chopped(2)), QString());

    // The desk sees where each check-in came from and can take back all of one address's.
    QCOMPARE(
        heading(confirm(port, page, QStringLiteral("A001214"), "13900005678", QStringLiteral("127.0.9.2"))),
        QStringLiteral("签到成功"));
    // A second guest from the same address (a shared phone, or a stranger who dropped the cookie).
    QCOMPARE(
        heading(confirm(port, page, QStringLiteral("A001215"), "13700009012", QStringLiteral("127.0.9.2"))),
        QStringLiteral("签到成功"));
    desk.checkIn(QStringLiteral("王五 A001216 13600003456 财务部"));
    const auto origin = desk.originOf(QStringLiteral("李四 A001214 13900005678 销售部"));
    QVERIFY(origin && origin->phone && origin->address == QStringLiteral("127.0.9.2"));
    QVERIFY(!desk.originOf(QStringLiteral("王五 A001216 13600003456 财务部"))->phone);
    desk.checkOutAddress(QStringLiteral("127.0.9.2"));
    QTRY_COMPARE(desk.presentCount(), 2);
    QVERIFY(!desk.checkedInAt(QStringLiteral("李四 A001214 13900005678 销售部")));

    // A post from another site's page is refused.
    QCOMPARE(
        status(exchange(port, post(page, form(QStringLiteral("A001215")), "Origin: http://evil.example\r\n"),
                        QStringLiteral("127.0.9.3"))),
        403);
    // A stranger's wrong guesses hold that guest at the stranger's address only: the desk sees
    // from where, and the guest with the right proof checks in from another address.
    const QString wang = QStringLiteral("王五 A001215 13700009012 销售部");
    int held = 0;
    for (int i = 0; i < 8; ++i)
        held += heading(confirm(port, page, QStringLiteral("A001215"), "13700000000",
                                QStringLiteral("127.0.9.4"))) == QStringLiteral("尝试次数太多")
                    ? 1
                    : 0;
    QCOMPARE(held, 4); // the fifth wrong one holds, and nothing more is tried from there
    QCOMPARE(
        heading(confirm(port, page, QStringLiteral("A001215"), "13700009012", QStringLiteral("127.0.9.4"))),
        QStringLiteral("尝试次数太多"));
    QCOMPARE(desk.held().size(), 1);
    QCOMPARE(desk.held().first().entrant, wang);
    QCOMPARE(desk.held().first().wrong, (QList<QPair<QString, int>>{{QStringLiteral("127.0.9.4"), 5}}));
    QCOMPARE(
        heading(confirm(port, page, QStringLiteral("A001215"), "13700009012", QStringLiteral("127.0.9.7"))),
        QStringLiteral("签到成功"));
    desk.release(wang); // the desk releases in one step
    QVERIFY(desk.held().isEmpty() && desk.mayTry(wang, QStringLiteral("127.0.9.4")));
    // The whole server's budget: a scan from many addresses stops too.
    int scanned = 0;
    for (int i = 0; i < 40; ++i)
        scanned += status(exchange(port, post(page, form(QStringLiteral("A0012%1").arg(i))),
                                   QStringLiteral("127.0.10.%1").arg(i + 1))) == 200
                       ? 1
                       : 0;
    QVERIFY2(scanned < 30, qPrintable(QString::number(scanned)));
}

void TestCheckin::publicFieldsProveNobodyTheDeskConfirms() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    // A names-only list and a staff-number-first one; the hall sees every line whole.
    const QString zhang = QStringLiteral("张三"), wang = QStringLiteral("A0013 王五 销售部");
    desk.setPool(poolOf(zhang + QStringLiteral("\r\n李四\r\n") + wang + QStringLiteral("\r\n")));
    QCOMPARE(desk.proofCounts().phone, 0);
    QCOMPARE(desk.proofCounts().desk, 3);
    CheckinServer server(desk);
    QString error;
    const quint16 port = startLocal(server, &error);
    QVERIFY2(port, qPrintable(error));
    const QByteArray page = '/' + kKey.toLatin1() + '/';

    // A stranger typing what is on the badges checks nobody in: each check-in waits for the desk.
    QByteArray cookies[2];
    int i = 0;
    for (const QString& typed : {zhang, QStringLiteral("A0013")}) {
        const QByteArray answer = confirm(port, page, typed, typed.toUtf8(), QStringLiteral("127.0.11.1"));
        QCOMPARE(heading(answer), QStringLiteral("请到签到台确认"));
        QVERIFY(answer.contains("http-equiv=\"refresh\""));
        cookies[i++] = cookieOf(answer);
    }
    QCOMPARE(desk.presentCount(), 0);
    QCOMPARE(desk.waiting().size(), 2);
    QCOMPARE(desk.waiting().last().address, QStringLiteral("127.0.11.1"));
    QCOMPARE(heading(exchange(port, get(page, cookies[1]))), QStringLiteral("请到签到台确认"));
    // The desk confirms in one step: the waiting page turns to "签到成功"; or refuses.
    desk.confirmWaiting(wang);
    QTRY_COMPARE(desk.presentCount(), 1);
    QVERIFY(desk.originOf(wang)->confirmed);
    QCOMPARE(heading(exchange(port, get(page, cookies[1]))), QStringLiteral("签到成功"));
    desk.refuseWaiting(zhang);
    QCOMPARE(heading(exchange(port, get(page, cookies[0]))), QStringLiteral("签到台没有确认"));
    QVERIFY(desk.waiting().isEmpty() && !desk.checkedInAt(zhang));

    // What the hall sees decides: a partly hidden mobile proves its guest, a line without one waits.
    desk.setPool(poolOf(QStringLiteral("赵六 13912345678\r\n钱七 A0020\r\n")), maskedMobiles);
    QCOMPARE(desk.proofCounts().phone, 1);
    QCOMPARE(desk.proofCounts().desk, 1);
}

void TestCheckin::hallBehindOneRouterChecksIn() {
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    QString list;
    for (int i = 1; i <= 40; ++i)
        list += QStringLiteral("来宾%1 B%2 1390000%3\r\n").arg(i).arg(i).arg(i, 4, 10, QLatin1Char('0'));
    desk.setPool(poolOf(list), maskedMobiles);
    CheckinServer server(desk);
    QString error;
    const quint16 port = startLocal(server, &error);
    QVERIFY2(port, qPrintable(error));
    const QByteArray page = '/' + kKey.toLatin1() + '/';
    // Forty guests behind one router's address, one every 1.5 s (on the budgets' clock), each with
    // the right proof: every one of them in.
    for (int i = 1; i <= 40; ++i) {
        exchange(port, get(page));
        const QByteArray proof = QStringLiteral("1390000%1").arg(i, 4, 10, QLatin1Char('0')).toLatin1();
        const QByteArray answer =
            confirm(port, page, QStringLiteral("B%1").arg(i), proof, QStringLiteral("127.0.0.1"));
        QVERIFY2(heading(answer) == QStringLiteral("签到成功"),
                 qPrintable(QStringLiteral("guest %1: %2").arg(i).arg(heading(answer))));
        server.skipAhead(std::chrono::milliseconds(1500));
    }
    QCOMPARE(desk.presentCount(), 40);
}

void TestCheckin::replacedCheckinFileLosesNothing() {
    TestEnv env;
    const QString path = env.path(AppPaths::kCheckins);
    CheckinDesk desk(path);
    desk.load();
    desk.setPool(poolOf(entrantText(10)));
    QCOMPARE(desk.checkIn(QStringLiteral("员工1 A0001")).kind, CheckinDesk::Outcome::CheckedIn);
    // An editor saves the file: written beside, renamed over; it added a line of its own.
    const QByteArray edited = env.readFile(AppPaths::kCheckins) +
                              gbk(QStringLiteral("2026-12-09 19:30:00\t员工2 A0002\r\n备注\r\n"));
    env.writeFile(QStringLiteral("签到名单.txt.new"), edited);
    QVERIFY(::rename(QFile::encodeName(env.path(QStringLiteral("签到名单.txt.new"))).constData(),
                     QFile::encodeName(path).constData()) == 0);
    QCOMPARE(desk.checkIn(QStringLiteral("员工3 A0003")).kind, CheckinDesk::Outcome::CheckedIn);
    QVERIFY(env.readFile(AppPaths::kCheckins).startsWith(edited));
    QVERIFY(env.readFile(AppPaths::kCheckins).endsWith(gbk(QStringLiteral("\t员工3 A0003\r\n"))));
    QCOMPARE(desk.presentCount(), 3);
    // Deleted by hand, then saved from an old copy without the last check-in: nothing is lost either.
    QFile::remove(path);
    QCOMPARE(desk.checkIn(QStringLiteral("员工4 A0004")).kind, CheckinDesk::Outcome::CheckedIn);
    env.writeFile(QStringLiteral("old.txt"), edited);
    QVERIFY(::rename(QFile::encodeName(env.path(QStringLiteral("old.txt"))).constData(),
                     QFile::encodeName(path).constData()) == 0);
    QCOMPARE(desk.checkIn(QStringLiteral("员工5 A0005")).kind, CheckinDesk::Outcome::CheckedIn);
    CheckinLog reread(path);
    reread.load();
    QCOMPARE(reread.entries().size(), 5);
    QCOMPARE(reread.skippedLines(), 1);

    // A full disk says so in the desk's language.
    CheckinLog full(QStringLiteral("/dev/full"));
    try {
        full.record({{QDateTime::currentDateTime(), QStringLiteral("员工6 A0006")}});
        QFAIL("a full disk took a check-in");
    } catch (const OperationError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("磁盘已满")), qPrintable(error.message()));
    }
}

void TestCheckin::fullAddressTableStillTakesNewcomers() {
    RateLimiter limiter(1, 20, 10000);
    const auto now = RateLimiter::Clock::now();
    for (int i = 0; i < 10050; ++i)
        QVERIFY(limiter.allow(QStringLiteral("10.%1.%2").arg(i / 250).arg(i % 250), now));
    QVERIFY(limiter.allow(QStringLiteral("192.168.1.77"), now));
    QCOMPARE(limiter.trackedAddresses(), 10000);
    // The address seen least recently made room; one seen just now keeps its spent budget.
    for (int i = 0; i < 19; ++i)
        limiter.allow(QStringLiteral("192.168.1.77"), now);
    QVERIFY(!limiter.allow(QStringLiteral("192.168.1.77"), now));
}

void TestCheckin::qrCodeReadsBackAsTheAddress() {
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed: scripts/setup installs it");
    TestEnv env;
    const QString url = CheckinServer::url(QStringLiteral("192.168.31.20"), 8088, CheckinServer::newKey());
    QCOMPARE(decodeQr(qrImage(url, 4), env.dir.path()), url);

    // The code as the projector shows it, read from the screen's own picture.
    env.writeGbk(AppPaths::kEntrants, entrantText(20));
    ConfigStore(env.path(AppPaths::kPrizeDb))
        .writeStrings(QStringLiteral("Checkin"), {{QStringLiteral("Enabled"), QStringLiteral("1")},
                                                  {QStringLiteral("Address"), QStringLiteral("127.0.0.1")},
                                                  {QStringLiteral("Port"), QString::number(freePort())},
                                                  {QStringLiteral("Key"), kKey}});
    TForm1 form;
    form.resize(1280, 720);
    form.show();
    CheckinService service(form.session());
    CheckinCenter center(form, service);
    service.startIfEnabled();
    // A prize.db of before (a key, no secret) keeps its key, and the codes printed of it.
    QVERIFY(service.url().contains(kKey));
    center.showScreen();
    QCOMPARE(decodeQr(center.screen()->grab().toImage(), env.dir.path()), service.url());
}

void TestCheckin::phonePageInChromium() {
    for (const char* tool : {"/usr/bin/chromium", "/usr/bin/chromedriver"})
        if (!QFile::exists(QLatin1String(tool)))
            QSKIP("chromium and chromium-driver are not installed: scripts/setup installs them");
    TestEnv env;
    CheckinDesk desk(env.path(AppPaths::kCheckins));
    desk.load();
    QString list;
    for (int i = 1; i <= 50; ++i)
        list += QStringLiteral("员工%1 A%2 139%3 市场部\r\n")
                    .arg(i)
                    .arg(i, 4, 10, QLatin1Char('0'))
                    .arg(i * 7919, 8, 10, QLatin1Char('0'));
    const QString atDesk = QStringLiteral("员工99 A0099 市场部");
    desk.setPool(poolOf(list + atDesk), maskedMobiles);
    CheckinServer server(desk);
    const quint16 port = freePort();
    QString error;
    QVERIFY2(server.start(QStringLiteral("127.0.0.1"), port, kKey, &error), qPrintable(error));

    QProcess phone;
    phone.setProcessChannelMode(QProcess::MergedChannels);
    // Debian's python3, which has python3-selenium.
    phone.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(CHECKIN_PHONE_SCRIPT), server.url(), QStringLiteral("a0042"),
                 QStringLiteral("员**2 A0**2"), QStringLiteral("A0043"), QStringLiteral("13900332598"),
                 QStringLiteral("A0099"), QStringLiteral("员**9 A0**9"),
                 qEnvironmentVariable("CHECKIN_SHOTS")});
    // The desk confirms the phone's check-in once it waits.
    QElapsedTimer clock;
    clock.start();
    while (!phone.waitForFinished(200) && clock.elapsed() < 120000)
        if (!desk.waiting().isEmpty())
            desk.confirmWaiting(desk.waiting().first().entrant);
    const QString steps = QString::fromUtf8(phone.readAll());
    QVERIFY2(phone.exitCode() == 0 && steps.count(QLatin1String("ok ")) == 15, qPrintable(steps));
    QVERIFY(env.readFile(AppPaths::kCheckins)
                .contains(gbk(QStringLiteral("\t员工42 A0042 13900332598 市场部\r\n"))));
    QVERIFY(desk.originOf(atDesk) && desk.originOf(atDesk)->confirmed);
    QCOMPARE(desk.presentCount(), 2);
}

void TestCheckin::verifiableDrawOnThePhones() {
    TestEnv env;
    const quint16 port = freePort();
    g_host = "127.0.0.1:" + QByteArray::number(port);
    const QByteArray key = '/' + kKey.toLatin1() + '/';
    QString names;
    for (int i = 1; i <= 10; ++i)
        names += QStringLiteral("员工%1\r\n").arg(i);
    env.writeGbk(AppPaths::kEntrants, names);
    // A prize's name is a stranger's text to whoever checks the proof.
    env.writeGbk(AppPaths::kPrizeDb, QStringLiteral("[JP]\r\nName1=<b>一等奖</b>\r\nNum1=6\r\nEvery1=3\r\n"
                                                    "[Setting]\r\nshowhelp=0\r\n[Checkin]\r\nEnabled=1\r\n"
                                                    "Address=127.0.0.1\r\nPort=%1\r\nKey=%2\r\nSecret=%3\r\n")
                                         .arg(port)
                                         .arg(kKey, QString(32, u'7')));
    EventFixture f;
    CheckinService service(f.session);
    service.startIfEnabled();
    QVERIFY(!service.url().isEmpty());

    // The downloads have their own budget per address.
    {
        CheckinDesk desk(env.path(AppPaths::kCheckins));
        CheckinServer tight(desk);
        CheckinServer::Limits limits;
        limits.downloadBurst = 2;
        limits.downloadsPerSecond = 0.001;
        const quint16 other = freePort();
        QString error;
        QVERIFY2(tight.start(QStringLiteral("127.0.0.1"), other, kKey, &error, limits), qPrintable(error));
        const QByteArray host = g_host;
        g_host = "127.0.0.1:" + QByteArray::number(other);
        QCOMPARE(status(exchange(other, get(key + "verifier"))), 404); // the mode off
        tight.setVerify({true, QString(64, u'a'), QString(64, u'b'), QString(64, u'c'), {}, {}}, {});
        QCOMPARE(status(exchange(other, get(key + "proof"))), 404); // before the reveal
        const QByteArray answer = exchange(other, get(key + "verifier"));
        QCOMPARE(status(answer), 200);
        // The page names its one script by hash, in the header and inside itself (a saved page).
        const qsizetype open = answer.indexOf("<script>") + 8;
        const QByteArray hash = QCryptographicHash::hash(answer.mid(open, answer.indexOf("</script>") - open),
                                                         QCryptographicHash::Sha256)
                                    .toBase64();
        QVERIFY(answer.contains("Content-Disposition: attachment;"));
        QCOMPARE(answer.count("script-src 'sha256-" + hash + "';"), 2);
        QCOMPARE(status(exchange(other, get(key + "verifier"))), 200);
        QCOMPARE(status(exchange(other, get(key + "verifier"))), 429);
        QCOMPARE(status(exchange(other, get(key + "verifier"), QStringLiteral("127.0.0.9"))), 200);
        g_host = host;
    }

    for (const char* tool : {"/usr/bin/chromium", "/usr/bin/chromedriver"})
        if (!QFile::exists(QLatin1String(tool)))
            QSKIP("chromium and chromium-driver are not installed: scripts/setup installs them");
    QProcess phone;
    phone.setProcessChannelMode(QProcess::MergedChannels);
    phone.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(CHECKIN_VERIFY_SCRIPT), service.url(),
                                                     env.dir.path(), qEnvironmentVariable("CHECKIN_SHOTS")});
    QString steps;
    // Waits for the script's "next", moves the event on and tells the script what it has become.
    const auto next = [&](const std::function<QString()>& moveOn) {
        while (!steps.contains(QLatin1String("next\n")) && phone.waitForReadyRead(120000))
            steps += QString::fromUtf8(phone.readAll());
        steps.replace(QLatin1String("next\n"), QString());
        phone.write(moveOn().toUtf8() + '\n');
    };
    VerifiableDraw& verify = f.event.verify();
    next([&] {
        if (!f.event.switchVerifiableOn().isEmpty() ||
            !verify.setHallNumber(QStringLiteral("31415")).isEmpty())
            return QString();
        return verify.commitment() + QStringLiteral(" 31415");
    });
    next([&] {
        QStringList draws{f.draw().join(u','), f.draw().join(u',')};
        f.session.cancelLine(1);
        f.session.openSupplementary();
        f.session.toggleSupplementary();
        f.session.toggleSupplementary();
        f.session.finishReveal();
        draws << WinnerLists::winnerName(f.event.lists().all().last());
        verify.reveal();
        env.writeFile(QStringLiteral("proof.txt"), verify.proof());
        return QStringList{verify.revealedSeed(), env.path(QStringLiteral("proof.txt")), draws.join(u'|')}
            .join(u' ');
    });
    phone.waitForFinished(180000);
    steps += QString::fromUtf8(phone.readAll());
    QVERIFY2(phone.exitCode() == 0 && steps.count(QLatin1String("ok ")) == 19, qPrintable(steps));
}

void TestCheckin::drawScreenOpensScreenAndPanel() {
    TestEnv env;
    env.writeGbk(AppPaths::kEntrants, entrantText(12));
    env.writeGbk(AppPaths::kPrizeDb,
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=3\r\nEvery1=1\r\n[Setting]\r\nshowhelp=0\r\n"));
    {
        // Never switched on: nothing is written, the draw screen is as before.
        LotteryApp app;
        app.start();
        child<QAction>(app.form1(), QStringLiteral("checkinScreen"))->trigger();
        CheckinScreen* screen = app.checkinWindows().screen();
        QVERIFY(screen && screen->isVisible());
        QCOMPARE(screen->geometry(), app.form1().rect());
        QTest::keyClick(screen, Qt::Key_Space); // no draw starts behind the screen
        QVERIFY(!app.form1().isRolling());
        QTest::keyClick(screen, Qt::Key_Escape);
        QVERIFY(!screen->isVisible());
        app.form1().close();
    }
    QVERIFY(!ConfigStore(env.path(AppPaths::kPrizeDb))
                 .contains(QStringLiteral("Checkin"), QStringLiteral("Enabled")));
    QVERIFY(!env.exists(AppPaths::kCheckins));

    // A port in use: a clear box, check-in stays off and says so in prize.db.
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
    LotteryApp app;
    app.start();
    // The desk asks the settings' password first; a wrong one opens nothing.
    ConfigStore(env.path(AppPaths::kPrizeDb)).writeString("Setting", "Pwd", QStringLiteral("desk"));
    child<QAction>(app.form1(), QStringLiteral("checkinPanel"))->trigger();
    auto* typed = child<QLineEdit>(app.password(), QStringLiteral("edt_Password"));
    QTRY_VERIFY(app.password().isVisible());
    QTest::keyClicks(typed, QStringLiteral("x"));
    QTest::keyClick(typed, Qt::Key_Return);
    QVERIFY(!app.checkinWindows().panel());
    QTest::keyClicks(typed, QStringLiteral("desk"));
    QTest::keyClick(typed, Qt::Key_Return);
    CheckinPanel* panel = app.checkinWindows().panel();
    QVERIFY(panel && panel->isVisible());
    app.checkin().setAddress(QStringLiteral("127.0.0.1"), taken.serverPort());
    child<QCheckBox>(*panel, QStringLiteral("checkinEnabled"))->click();
    QVERIFY(env.dialogs.texts().constLast().contains(QStringLiteral("已被其他程序占用")));
    QVERIFY(!child<QCheckBox>(*panel, QStringLiteral("checkinEnabled"))->isChecked());
    QVERIFY(app.checkin().url().isEmpty());

    app.checkin().setAddress(QStringLiteral("127.0.0.1"), freePort());
    child<QCheckBox>(*panel, QStringLiteral("checkinEnabled"))->click();
    QVERIFY(!app.checkin().url().isEmpty());
    const ConfigStore store(env.path(AppPaths::kPrizeDb));
    QCOMPARE(store.readString(QStringLiteral("Checkin"), QStringLiteral("Enabled"), {}), QStringLiteral("1"));
    const QString key = store.readString(QStringLiteral("Checkin"), QStringLiteral("Key"), {});
    const QString secret = store.readString(QStringLiteral("Checkin"), QStringLiteral("Secret"), {});
    QVERIFY(CheckinServer::isKey(key) && secret.size() == 32);
    // "换新二维码": a new key and a new secret, the server on the new address at once.
    const QString before = app.checkin().url();
    env.dialogs.answers.append(true);
    child<QPushButton>(*panel, QStringLiteral("checkinRenewKey"))->click();
    const ConfigStore renewed(env.path(AppPaths::kPrizeDb));
    QVERIFY(renewed.readString(QStringLiteral("Checkin"), QStringLiteral("Key"), {}) != key);
    QVERIFY(renewed.readString(QStringLiteral("Checkin"), QStringLiteral("Secret"), {}) != secret);
    QVERIFY(!app.checkin().url().isEmpty() && app.checkin().url() != before);
    QVERIFY(app.checkin().url().contains(
        renewed.readString(QStringLiteral("Checkin"), QStringLiteral("Key"), {})));
    child<QCheckBox>(*panel, QStringLiteral("checkinHideNames"))->click();
    QVERIFY(app.checkin().hideNames());
    // Before any guest: the list holds nothing the hall does not see, so every guest needs the desk.
    QVERIFY(child<QLabel>(*panel, QStringLiteral("checkinProofs"))
                ->text()
                .contains(QStringLiteral("全部 12 位来宾")));
    // A phone's check-in waiting for the desk, confirmed in one step; a guest held after wrong
    // proofs, shown with the address they came from and released in one step.
    CheckinDesk& desk = app.checkin().desk();
    desk.askDesk(QStringLiteral("员工7 A0007"), QStringLiteral("192.168.1.57"));
    for (int i = 0; i < CheckinDesk::kWrongPerAddress; ++i)
        desk.wrongProof(QStringLiteral("员工8 A0008"), QStringLiteral("192.168.1.66"));
    auto* waiting = child<QListWidget>(*panel, QStringLiteral("checkinWaiting"));
    auto* held = child<QListWidget>(*panel, QStringLiteral("checkinHeld"));
    QTRY_COMPARE(waiting->count(), 1);
    QVERIFY(waiting->item(0)->text().contains(QStringLiteral("手机 192.168.1.57  员工7 A0007")));
    QCOMPARE(held->count(), 1);
    QVERIFY(held->item(0)->text().contains(QStringLiteral("员工8 A0008  输错来自 192.168.1.66 (5次)")));
    child<QPushButton>(*panel, QStringLiteral("checkinConfirmWaiting"))->click();
    child<QPushButton>(*panel, QStringLiteral("checkinRelease"))->click();
    QTRY_COMPARE(desk.presentCount(), 1);
    QVERIFY(desk.mayTry(QStringLiteral("员工8 A0008"), QStringLiteral("192.168.1.66")));
    QCOMPARE(waiting->count() + held->count(), 0);
    desk.checkOutLater(QStringLiteral("员工7 A0007"));
    QTRY_COMPARE(desk.presentCount(), 0);

    // By hand at the desk: search, check in, check out.
    child<QLineEdit>(*panel, QStringLiteral("checkinSearch"))->setText(QStringLiteral("a0011"));
    auto* results = child<QListWidget>(*panel, QStringLiteral("checkinResults"));
    QCOMPARE(results->count(), 1);
    child<QPushButton>(*panel, QStringLiteral("checkinIn"))->click();
    QTRY_COMPARE(child<QLabel>(*panel, QStringLiteral("checkinCount"))->text(),
                 QStringLiteral("已签到 1 / 总人数 12"));
    QVERIFY(app.checkin().desk().isPresent(10));
    QVERIFY(results->item(0)->text().contains(QStringLiteral("已签到")));
    const auto* present = child<QListView>(*panel, QStringLiteral("checkinPresent"));
    QVERIFY(present->model()->index(0, 0).data().toString().contains(QStringLiteral("签到台  员工11 A0011")));
    child<QCheckBox>(*panel, QStringLiteral("onlyCheckedIn"))->click();
    QVERIFY(app.checkin().onlyCheckedIn());
    child<QPushButton>(*panel, QStringLiteral("checkinOut"))->click();
    QTRY_COMPARE(app.checkin().desk().presentCount(), 0);
    // 初始化进度 offers to clear the check-ins too; No keeps them, Yes keeps a dated copy and clears.
    app.checkin().desk().checkIn(QStringLiteral("员工3 A0003"));
    const QByteArray kept = env.readFile(AppPaths::kCheckins);
    env.dialogs.answers.append({true, false});
    child<QAction>(app.form1(), QStringLiteral("N18"))->trigger();
    QCOMPARE(app.checkin().desk().presentCount(), 1);
    QVERIFY(env.dialogs.texts().contains(QStringLiteral("是否同时清除签到记录? (清除前另存为带日期的副本)")));
    env.dialogs.answers.append({true, true});
    child<QAction>(app.form1(), QStringLiteral("N18"))->trigger();
    QCOMPARE(app.checkin().desk().presentCount(), 0);
    const QStringList copies = QDir(env.dir.path()).entryList({QStringLiteral("签到名单.*.txt")});
    QCOMPARE(copies.size(), 1);
    QCOMPARE(env.readFile(copies.first()), kept);
    app.form1().close();
    QVERIFY(app.checkin().url().isEmpty()); // the server ends with the draw screen
    QCOMPARE(ConfigStore(env.path(AppPaths::kPrizeDb))
                 .readString(QStringLiteral("Checkin"), QStringLiteral("OnlyCheckedIn"), {}),
             QStringLiteral("1"));
    QCOMPARE(ConfigStore(env.path(AppPaths::kPrizeDb))
                 .readString(QStringLiteral("Checkin"), QStringLiteral("HideNames"), {}),
             QStringLiteral("1"));
}

QTEST_MAIN(TestCheckin)
#include "test_checkin.moc"
