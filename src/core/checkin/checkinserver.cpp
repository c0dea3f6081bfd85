#include "checkinserver.h"

#include "checkindesk.h"
#include "checkinlog.h"
#include "guestcard.h"
#include "listenprobe.h"
#include "ratelimiter.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QUrl>

#include <microhttpd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <unordered_map>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
constexpr int kShutBoth = SD_BOTH;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
constexpr int kShutBoth = SHUT_RDWR;
#endif

namespace {
using Steady = std::chrono::steady_clock;
const QByteArray kCookieName = "orvanta_checkin";
constexpr int kMaxQueryLength = 64;
constexpr int kMaxCookies = 100000; // phones remembered; past them a phone is simply not remembered
constexpr auto kB64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// A form field as typed: strict UTF-8, no control characters, at most maxLength characters, and
// text the GBK files can hold. Nothing when the field is missing or cannot be taken.
std::optional<QString> formField(const QByteArray& body, const char* name, int maxLength) {
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0 || pair.left(equals) != name)
            continue;
        QByteArray value = pair.mid(equals + 1);
        value.replace('+', ' ');
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(QByteArray::fromPercentEncoding(value));
        if (decoder.hasError() || text.size() > maxLength)
            return std::nullopt;
        const QString trimmed = text.trimmed();
        if (!trimmed.isEmpty() && !CheckinLog::refusal(trimmed).isEmpty())
            return std::nullopt;
        return trimmed;
    }
    return std::nullopt;
}

bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

QByteArray header(MHD_Connection* connection, MHD_ValueKind kind, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, kind, name);
    return value ? QByteArray(value) : QByteArray();
}

bool hasHeader(MHD_Connection* connection, const char* name) {
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name) != nullptr;
}

QString addressOf(const sockaddr* where) {
    char text[INET6_ADDRSTRLEN] = {};
    if (where && where->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(where)->sin_addr, text, sizeof text);
    else if (where && where->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(where)->sin6_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

QString clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info ? addressOf(info->client_addr) : QString();
}

const char* const kPagePolicy = "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
                                "form-action 'self'; base-uri 'none'; frame-ancestors 'none'";

// Extra headers of a download: its own policy and the name it is saved under.
struct Download {
    QByteArray policy;
    QByteArray disposition;
};

// Queues a response with the headers every answer has; the response is released here.
int queue(MHD_Connection* connection, MHD_Response* response, int status, const char* type,
          const QByteArray& cookie, const QByteArray& location, const Download* download = nullptr) {
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, "Content-Type", type);
    MHD_add_response_header(response, "Connection", "close");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "X-Frame-Options", "DENY");
    // same-origin, not no-referrer: with no-referrer a browser posts the page's own form with
    // "Origin: null", and the Origin is what tells the page's own form from a forged one.
    MHD_add_response_header(response, "Referrer-Policy", "same-origin");
    MHD_add_response_header(response, "Content-Security-Policy",
                            download ? download->policy.constData() : kPagePolicy);
    if (download)
        MHD_add_response_header(response, "Content-Disposition", download->disposition.constData());
    if (!cookie.isEmpty())
        MHD_add_response_header(response, "Set-Cookie", cookie.constData());
    if (!location.isEmpty())
        MHD_add_response_header(response, "Location", location.constData());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
}

int reply(MHD_Connection* connection, int status, const char* type, const QByteArray& body,
          const QByteArray& cookie = {}, const QByteArray& location = {}) {
    return queue(connection,
                 MHD_create_response_from_buffer(static_cast<size_t>(body.size()),
                                                 const_cast<char*>(body.constData()), MHD_RESPMEM_MUST_COPY),
                 status, type, cookie, location);
}

// Bytes every download of them shares: the response holds a reference until it is sent.
int replyShared(MHD_Connection* connection, const char* type, const std::shared_ptr<const QByteArray>& body,
                const Download& download) {
    auto* held = new std::shared_ptr<const QByteArray>(body);
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        static_cast<size_t>(body->size()), const_cast<char*>(body->constData()),
        [](void* cls) { delete static_cast<std::shared_ptr<const QByteArray>*>(cls); }, held);
    if (!response)
        delete held;
    return queue(connection, response, 200, type, {}, {}, &download);
}

// A download's Content-Disposition: saved, never shown in place, under a plain name and a Chinese one.
QByteArray attachment(const char* plain, const QString& name) {
    return QByteArray("attachment; filename=\"") + plain + "\"; filename*=UTF-8''" +
           QUrl::toPercentEncoding(name);
}

int replyText(MHD_Connection* connection, int status, const QString& text) {
    return reply(connection, status, "text/plain; charset=utf-8", text.toUtf8());
}

// Whether a listening socket can be had at address:port; the operator's message when not.
QString probe(const QString& address, quint16 port) {
    const ListenProbe::Outcome outcome = ListenProbe::probe(address, port);
    switch (outcome.result) {
    case ListenProbe::Result::Free:
        return {};
    case ListenProbe::Result::BadAddress:
        return QStringLiteral("签到地址 %1 不是有效的 IPv4 地址。").arg(address);
    case ListenProbe::Result::NoSocket:
        return QStringLiteral("无法开启签到服务：%1").arg(outcome.reason);
    case ListenProbe::Result::InUse:
        return QStringLiteral("端口 %1 已被其他程序占用，签到服务没有开启。\n请在“签到管理”中换一个端口。")
            .arg(port);
    case ListenProbe::Result::AddressMissing:
        return QStringLiteral(
                   "本机没有地址 %1（网络可能已断开），签到服务没有开启。\n请在“签到管理”中选择另一个地址。")
            .arg(address);
    case ListenProbe::Result::Forbidden:
        return QStringLiteral("端口 %1 需要管理员权限，签到服务没有开启。\n请换一个 1024 以上的端口。")
            .arg(port);
    case ListenProbe::Result::Failed:
        break;
    }
    return QStringLiteral("无法在 %1:%2 开启签到服务：%3").arg(address).arg(port).arg(outcome.reason);
}
} // namespace

// A connection as the watchdog sees it: when it came, and whether its request is whole yet.
struct Tracked {
    MHD_socket fd = MHD_INVALID_SOCKET;
    Steady::time_point since;
    Steady::time_point deadline = Steady::time_point::max(); // a download is cut past it
    bool whole = false;
    bool cut = false;
};

// A check-in waiting for the disk, its connection put aside until then.
struct Waiting {
    MHD_Connection* connection = nullptr;
    Steady::time_point since;
    bool answered = false;
    CheckinDesk::Outcome outcome;
};

// What the event loop, the watchdog and the desk's writer share; it outlives the server while a
// check-in's answer is still on its way from the writer.
struct CheckinServer::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    std::unordered_map<MHD_Connection*, std::unique_ptr<Tracked>> connections;
    std::vector<std::shared_ptr<Waiting>> waiting;

    // Gives a waiting check-in its answer and its connection back to the event loop (mutex held).
    void answer(const std::shared_ptr<Waiting>& entry, const CheckinDesk::Outcome& outcome) {
        if (entry->answered)
            return;
        entry->answered = true;
        entry->outcome = outcome;
        MHD_resume_connection(entry->connection);
        std::erase(waiting, entry);
    }
};

// One request as it arrives.
struct CheckinServer::Request {
    enum Phase { Reading, Waiting, Done };
    Phase phase = Reading;
    bool post = false;
    QByteArray body;
    qsizetype expected = 0;
    QString entrant;
    GuestCard card;
    std::shared_ptr<::Waiting> waiting;
};

struct ServerHooks {
    static MHD_Result accept(void* cls, const sockaddr* address, socklen_t) {
        auto* server = static_cast<CheckinServer*>(cls);
        if (server->m_connects->allow(addressOf(address), server->now()))
            return MHD_YES;
        ++server->m_counts.rateLimited;
        return MHD_NO;
    }

    static MHD_Result access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* upload, size_t* uploadSize, void** context) {
        auto* server = static_cast<CheckinServer*>(cls);
        auto* request = static_cast<CheckinServer::Request*>(*context);
        const bool first = request == nullptr;
        if (first)
            *context = request = new CheckinServer::Request;
        try {
            return static_cast<MHD_Result>(server->handle(connection, *request,
                                                          first ? QByteArray(url) : QByteArray(),
                                                          QByteArray(method), upload, uploadSize));
        } catch (...) {
            request->phase = CheckinServer::Request::Done;
            return static_cast<MHD_Result>(
                replyText(connection, 503, QStringLiteral("暂时无法签到，请到签到台")));
        }
    }

    static void completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        delete static_cast<CheckinServer::Request*>(*context);
        *context = nullptr;
    }

    static void connection(void* cls, MHD_Connection* connection, void** socketContext,
                           MHD_ConnectionNotificationCode code) {
        auto* server = static_cast<CheckinServer*>(cls);
        std::lock_guard lock(server->m_shared->mutex);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto tracked = std::make_unique<Tracked>();
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            tracked->fd = info ? info->connect_fd : MHD_INVALID_SOCKET;
            tracked->since = Steady::now();
            *socketContext = tracked.get();
            server->m_shared->connections[connection] = std::move(tracked);
        } else {
            server->m_shared->connections.erase(connection);
        }
    }
};

namespace {
// The connection's request is whole: the watchdog lets it be (until the deadline of a download).
void markWhole(MHD_Connection* connection, CheckinServer::Shared& shared,
               Steady::time_point deadline = Steady::time_point::max()) {
    std::lock_guard lock(shared.mutex);
    const auto it = shared.connections.find(connection);
    if (it != shared.connections.end()) {
        it->second->whole = true;
        it->second->deadline = deadline;
    }
}
} // namespace

CheckinServer::CheckinServer(CheckinDesk& desk) : m_desk(desk) {}

CheckinServer::~CheckinServer() {
    stop();
}

QString CheckinServer::newKey() {
    static const char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString key;
    for (int i = 0; i < 20; ++i)
        key += QLatin1Char(kAlphabet[QRandomGenerator::system()->bounded(int(sizeof kAlphabet - 1))]);
    return key;
}

bool CheckinServer::isKey(const QString& text) {
    if (text.size() < 16 || text.size() > 64)
        return false;
    for (QChar c : text)
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    return true;
}

QString CheckinServer::url(const QString& address, quint16 port, const QString& key) {
    return QStringLiteral("http://%1:%2/%3/").arg(address).arg(port).arg(key);
}

QString CheckinServer::url() const {
    return url(m_address, m_port, QString::fromLatin1(m_key));
}

void CheckinServer::setEventTitle(const QString& title) {
    std::lock_guard lock(m_titleMutex);
    m_title = title;
}

QString CheckinServer::eventTitle() const {
    std::lock_guard lock(m_titleMutex);
    return m_title;
}

bool CheckinServer::start(const QString& address, quint16 port, const QString& key, QString* error,
                          const Limits& limits, const QString& secret) {
    stop();
    if (!isKey(key)) {
        *error = QStringLiteral("签到密钥无效。");
        return false;
    }
    if (const QString refused = probe(address, port); !refused.isEmpty()) {
        *error = refused;
        return false;
    }
    m_limits = limits;
    m_connects = std::make_unique<RateLimiter>(limits.connectsPerSecond, limits.connectBurst);
    m_limiter = std::make_unique<RateLimiter>(limits.perSecond, limits.burst);
    m_lookups = std::make_unique<RateLimiter>(limits.lookupsPerSecond, limits.lookupBurst);
    m_confirms = std::make_unique<RateLimiter>(limits.confirmsPerSecond, limits.confirmBurst);
    m_serverLookups =
        std::make_unique<RateLimiter>(limits.serverLookupsPerSecond, limits.serverLookupBurst, 1);
    m_serverConfirms =
        std::make_unique<RateLimiter>(limits.serverConfirmsPerSecond, limits.serverConfirmBurst, 1);
    m_downloads = std::make_unique<RateLimiter>(limits.downloadsPerSecond, limits.downloadBurst);
    m_serverDownloads =
        std::make_unique<RateLimiter>(limits.serverDownloadsPerSecond, limits.serverDownloadBurst, 1);
    const QByteArray secretBytes = QByteArray::fromHex(secret.toLatin1());
    if (secretBytes.size() != 16 || m_secret != secretBytes) {
        // A new secret: the cookies of before name nobody.
        m_secret = secretBytes.size() == 16 ? secretBytes : QByteArray(16, '\0');
        if (secretBytes.size() != 16)
            QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(m_secret.data()), 4);
        std::lock_guard lock(m_cookieMutex);
        m_cookies.clear();
    }
    m_key = key.toLatin1();
    m_address = address;
    m_port = port;
    m_host = address.toLatin1() + ':' + QByteArray::number(port);
    m_origin = "http://" + m_host;
    m_shared = std::make_shared<Shared>();
    m_shared->running = true;

    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    ::inet_pton(AF_INET, address.toLatin1().constData(), &where.sin_addr);
    // No document root: nothing is ever served from the disk.
    m_daemon = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME, port, &ServerHooks::accept, this,
        &ServerHooks::access, this, MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&where),
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(limits.connections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(limits.connectionsPerAddress),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.idleSeconds),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(limits.maxHeadBytes) * 2,
        MHD_OPTION_NOTIFY_COMPLETED, &ServerHooks::completed, this, MHD_OPTION_NOTIFY_CONNECTION,
        &ServerHooks::connection, this, MHD_OPTION_LISTEN_BACKLOG_SIZE, 256u, MHD_OPTION_END);
    if (!m_daemon) {
        m_shared.reset();
        *error = QStringLiteral("无法在 %1:%2 开启签到服务：%3")
                     .arg(address)
                     .arg(port)
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_watchdog = std::thread([this] { watch(); });
    return true;
}

void CheckinServer::watch() {
    const auto whole = std::chrono::milliseconds(m_limits.requestTimeoutMs);
    const auto answer = std::chrono::milliseconds(m_limits.answerTimeoutMs);
    std::unique_lock lock(m_shared->mutex);
    while (m_shared->running) {
        const auto now = Steady::now();
        // A request not whole within its time is cut, however it trickles; so is a download that
        // a slow reader has not taken by its deadline.
        for (auto& [connection, tracked] : m_shared->connections)
            if (!tracked->cut && tracked->fd != MHD_INVALID_SOCKET &&
                ((!tracked->whole && now - tracked->since > whole) || now > tracked->deadline)) {
                tracked->cut = true;
                ::shutdown(tracked->fd, kShutBoth);
                ++m_counts.cut;
            }
        // A check-in the disk has not taken by then is answered "try again" (it still goes ahead).
        const auto waiting = m_shared->waiting;
        for (const auto& entry : waiting)
            if (now - entry->since > answer)
                m_shared->answer(entry, {CheckinDesk::Outcome::Busy, {}, {}});
        m_shared->wake.wait_for(lock, std::chrono::milliseconds(100));
    }
}

void CheckinServer::stop() {
    if (!m_daemon)
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->running = false;
        // Every connection put aside goes back to the loop before it stops.
        const auto waiting = m_shared->waiting;
        for (const auto& entry : waiting)
            m_shared->answer(entry, {CheckinDesk::Outcome::Busy, {}, {}});
    }
    m_shared->wake.notify_all();
    m_watchdog.join();
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

int CheckinServer::handle(MHD_Connection* connection, Request& request, const QByteArray& url,
                          const QByteArray& method, const char* upload, size_t* uploadSize) {
    if (!url.isNull())
        return route(connection, request, url, method);
    if (request.phase == Request::Reading) {
        if (*uploadSize > 0) {
            const qsizetype room = request.expected - request.body.size();
            if (static_cast<qsizetype>(*uploadSize) > room) {
                ++m_counts.refused;
                request.phase = Request::Done;
                return replyText(connection, 413, QStringLiteral("Payload Too Large"));
            }
            request.body.append(upload, static_cast<qsizetype>(*uploadSize));
            *uploadSize = 0;
            return MHD_YES;
        }
        markWhole(connection, *m_shared);
        return handlePost(connection, request);
    }
    if (request.phase == Request::Waiting)
        return answerCheckIn(connection, request);
    return MHD_YES;
}

int CheckinServer::route(MHD_Connection* connection, Request& request, const QByteArray& url,
                         const QByteArray& method) {
    if (!m_limiter->allow(clientAddress(connection), now())) {
        ++m_counts.rateLimited;
        request.phase = Request::Done;
        return replyText(connection, 429, QStringLiteral("请求过于频繁，请稍后再试"));
    }
    // The key, compared in constant time: a wrong one says nothing about how close it came.
    const QByteArray prefix = '/' + m_key;
    const bool keyed = url.size() >= prefix.size() && sameBytes(url.left(prefix.size()), prefix);
    const QByteArray rest = keyed ? url.mid(prefix.size()) : QByteArray();
    const bool page = keyed && rest == "/";
    const bool status = keyed && rest == "/status";
    // The verifiable draw's downloads exist only while they are offered: else a plain 404 too.
    bool proof = false, verifier = false;
    if (keyed && (rest == "/proof" || rest == "/verifier")) {
        std::lock_guard lock(m_verifyMutex);
        proof = rest == "/proof" && m_proof;
        verifier = rest == "/verifier" && m_verifierPage;
    }
    if (!(page || status || proof || verifier || (keyed && rest.isEmpty()))) {
        ++m_counts.notFound;
        request.phase = Request::Done;
        return replyText(connection, 404, QStringLiteral("Not Found"));
    }
    // Only the page's own address: a name that merely leads here (DNS rebinding) gets nothing.
    if (header(connection, MHD_HEADER_KIND, "Host") != m_host) {
        ++m_counts.refused;
        request.phase = Request::Done;
        return replyText(connection, 400, QStringLiteral("Bad Request"));
    }
    const bool get = method == "GET";
    if (rest.isEmpty() && get) {
        // The page's forms post to "./": from /<key> that would be the root.
        request.phase = Request::Done;
        return reply(connection, 301, "text/plain; charset=utf-8", QByteArray(), {}, prefix + '/');
    }
    if ((proof || verifier) && get)
        return answerDownload(connection, request, proof);
    if (status && get) {
        markWhole(connection, *m_shared);
        request.phase = Request::Done;
        QByteArray body = "{\"present\":" + QByteArray::number(m_desk.presentCount()) +
                          ",\"total\":" + QByteArray::number(m_desk.total());
        // A phone's own check-in: in, or waiting for the desk (what its page shows).
        if (const QString mine = cookieEntrant(connection); !mine.isEmpty()) {
            const char* state = m_desk.checkedInAt(mine)                                    ? "in"
                                : m_desk.waitState(mine) == CheckinDesk::WaitState::Waiting ? "waiting"
                                : m_desk.waitState(mine) == CheckinDesk::WaitState::Refused ? "refused"
                                                                                            : "none";
            // Escaped as the page escapes it, and no backslash left to end the JSON string.
            const QString you = CheckinPages::escape(m_desk.cardOf(mine).masked()).replace(u'\\', u'/');
            body += ",\"you\":\"" + you.toUtf8() + "\",\"state\":\"" + state + '"';
        }
        return reply(connection, 200, "application/json; charset=utf-8", body + '}');
    }
    if (page && get) {
        markWhole(connection, *m_shared);
        request.phase = Request::Done;
        CheckinPages::Page shown;
        shown.event = eventTitle();
        // A phone that has checked in sees its check-in again; one waiting for the desk sees it wait
        // (the page reloads itself), and "签到成功" once the desk has confirmed it.
        if (const QString mine = cookieEntrant(connection); !mine.isEmpty()) {
            shown.shown = m_desk.cardOf(mine).masked();
            if (m_desk.checkedInAt(mine)) {
                const auto origin = m_desk.originOf(mine);
                shown.view =
                    origin && origin->confirmed ? CheckinPages::View::CheckedIn : CheckinPages::View::Already;
            } else if (m_desk.waitState(mine) == CheckinDesk::WaitState::Waiting) {
                shown.view = CheckinPages::View::AtDesk;
            } else if (m_desk.waitState(mine) == CheckinDesk::WaitState::Refused) {
                shown.view = CheckinPages::View::Refused;
            }
        }
        return answerPage(connection, shown, 200);
    }
    if (!(page && method == "POST")) {
        ++m_counts.refused;
        request.phase = Request::Done;
        return replyText(connection, 405, QStringLiteral("Method Not Allowed"));
    }
    // A post from another site's page (a forged form) is refused; so is a body unannounced or too
    // big. A refusal is answered at once and the connection closed without reading the body.
    const QByteArray origin = header(connection, MHD_HEADER_KIND, "Origin");
    const QByteArray length = header(connection, MHD_HEADER_KIND, "Content-Length");
    bool numeric = false;
    const qlonglong size = length.toLongLong(&numeric);
    int refusal = 0;
    if (hasHeader(connection, "Origin") && origin != m_origin)
        refusal = 403;
    else if (hasHeader(connection, "Transfer-Encoding") || !numeric || size < 0)
        refusal = 411;
    else if (size > m_limits.maxBodyBytes)
        refusal = 413;
    if (refusal) {
        ++m_counts.refused;
        request.phase = Request::Done;
        return replyText(connection, refusal,
                         refusal == 403   ? QStringLiteral("Forbidden")
                         : refusal == 411 ? QStringLiteral("Length Required")
                                          : QStringLiteral("Payload Too Large"));
    }
    request.post = true;
    request.expected = static_cast<qsizetype>(size);
    request.body.reserve(request.expected);
    return MHD_YES;
}

QByteArray CheckinServer::tokenFor(const QString& entrant) const {
    return QMessageAuthenticationCode::hash("who:" + entrant.toUtf8(), m_secret, QCryptographicHash::Sha256)
        .left(12)
        .toBase64(kB64);
}

int CheckinServer::answerPage(MHD_Connection* connection, CheckinPages::Page page, int status,
                              const QByteArray& cookie) {
    ++m_counts.pages;
    {
        std::lock_guard lock(m_verifyMutex);
        page.verify = m_verify;
    }
    return reply(connection, status, "text/html; charset=utf-8", CheckinPages::html(page), cookie);
}

void CheckinServer::setVerify(const CheckinPages::Verify& verify, const QByteArray& proof) {
    // The verifier page carries the event's commitment and hall's number: made once per change here,
    // not per download.
    std::shared_ptr<const QByteArray> page, bytes;
    if (verify.on) {
        page = std::make_shared<const QByteArray>(CheckinPages::verifierHtml(verify.commitment, verify.hall));
        if (!verify.seed.isEmpty() && !proof.isEmpty())
            bytes = std::make_shared<const QByteArray>(proof);
    }
    std::lock_guard lock(m_verifyMutex);
    m_verify = verify;
    m_verifierPage = std::move(page);
    m_proof = std::move(bytes);
}

int CheckinServer::answerDownload(MHD_Connection* connection, Request& request, bool proof) {
    request.phase = Request::Done;
    const QString from = clientAddress(connection);
    const auto at = now();
    if (!(m_downloads->allow(from, at) && m_serverDownloads->allow(QString(), at))) {
        ++m_counts.rateLimited;
        return replyText(connection, 429, QStringLiteral("请求过于频繁，请稍后再试"));
    }
    std::shared_ptr<const QByteArray> body;
    {
        std::lock_guard lock(m_verifyMutex);
        body = proof ? m_proof : m_verifierPage;
    }
    if (!body) { // withdrawn meanwhile (an initialise)
        ++m_counts.notFound;
        return replyText(connection, 404, QStringLiteral("Not Found"));
    }
    markWhole(connection, *m_shared, Steady::now() + std::chrono::seconds(m_limits.downloadSeconds));
    ++m_counts.downloads;
    if (proof)
        return replyShared(
            connection, "text/plain; charset=utf-8", body,
            {kPagePolicy, attachment("orvanta-proof.txt", QStringLiteral("抽奖验证文件.txt"))});
    // The page's one script, named by its hash; nothing from the network, no form, no frame.
    const QByteArray policy = "default-src 'none'; script-src " + CheckinPages::verifierScriptSource() +
                              "; style-src 'unsafe-inline'; img-src data:; base-uri 'none'; "
                              "form-action 'none'; frame-ancestors 'none'";
    return replyShared(connection, "text/html; charset=utf-8", body,
                       {policy, attachment("orvanta-verifier.html", QStringLiteral("抽奖验证网页.html"))});
}

int CheckinServer::handlePost(MHD_Connection* connection, Request& request) {
    using CheckinPages::View;
    request.phase = Request::Done;
    CheckinPages::Page page;
    page.event = eventTitle();
    if (request.body.size() != request.expected) {
        ++m_counts.refused;
        return replyText(connection, 408, QStringLiteral("Request Timeout"));
    }
    const std::optional<QString> query = formField(request.body, "q", kMaxQueryLength);
    const std::optional<QString> who = formField(request.body, "who", 64);
    const std::optional<QString> step = formField(request.body, "step", 16);
    const std::optional<QString> proof = formField(request.body, "proof", 40);
    if (!query || query->isEmpty() || (who && who->isEmpty())) {
        ++m_counts.refused;
        page.view = View::Invalid;
        return answerPage(connection, page, 400);
    }
    page.query = *query;
    const QString from = clientAddress(connection);
    const bool confirming = step && *step == QStringLiteral("confirm");
    // Lookups and confirmations have their budgets: per address, and for the whole server.
    const auto at = now();
    if (!(confirming ? m_confirms->allow(from, at) && m_serverConfirms->allow(QString(), at)
                     : m_lookups->allow(from, at) && m_serverLookups->allow(QString(), at))) {
        ++m_counts.rateLimited;
        page.view = View::Limited;
        return answerPage(connection, page, 429);
    }
    const CheckinDesk::Lookup found = m_desk.lookup(*query);
    if (found.kind != CheckinDesk::Lookup::One) {
        page.view = found.kind == CheckinDesk::Lookup::None ? View::None : View::Many;
        return answerPage(connection, page, 200);
    }
    const GuestCard card = m_desk.cardOf(found.entrant);
    const QString mine = cookieEntrant(connection);
    if (!mine.isEmpty() && mine != found.entrant && m_desk.checkedInAt(mine)) {
        page.view = View::OtherPerson;
        page.shown = m_desk.cardOf(mine).masked();
        return answerPage(connection, page, 200);
    }
    page.shown = card.masked();
    page.token = QString::fromLatin1(tokenFor(found.entrant));
    page.proof = GuestCard::proofOf(m_desk.secretFields(found.entrant));
    // The confirm button names (by a token) whom it confirmed; a list changed in between asks again.
    if (!confirming || !who || *who != page.token) {
        page.view = View::Confirm;
        return answerPage(connection, page, 200);
    }
    // Nothing on the line the hall does not see: only the desk can tell it is this guest. The phone
    // keeps a cookie naming the guest and its page waits for the desk.
    if (page.proof == GuestCard::Proof::None) {
        if (m_desk.checkedInAt(found.entrant)) {
            page.view = View::Already;
            return answerPage(connection, page, 200);
        }
        if (!m_desk.askDesk(found.entrant, from)) {
            ++m_counts.rateLimited;
            page.view = View::Limited;
            return answerPage(connection, page, 429);
        }
        page.view = View::AtDesk;
        return answerPage(connection, page, 200,
                          mine == found.entrant ? QByteArray() : setCookie(found.entrant));
    }
    // Wrong proofs count per guest and address: a stranger's guesses hold the guest at the
    // stranger's address only (or, many of them from many addresses, everywhere) until the desk
    // releases the guest.
    if (!m_desk.mayTry(found.entrant, from)) {
        page.view = View::Held;
        return answerPage(connection, page, 429);
    }
    if (!m_desk.proves(found.entrant, proof.value_or(QString()))) {
        const bool typed = proof && !proof->isEmpty();
        if (typed)
            ++m_counts.wrongProofs;
        page.view = typed && m_desk.wrongProof(found.entrant, from) ? View::Held : View::WrongProof;
        return answerPage(connection, page, page.view == View::Held ? 429 : 200);
    }
    // On disk first, then the answer: the connection waits aside, the loop serves the others.
    request.phase = Request::Waiting;
    request.entrant = found.entrant;
    request.card = card;
    request.waiting = std::make_shared<Waiting>();
    request.waiting->connection = connection;
    request.waiting->since = Steady::now();
    bool stopping = false;
    {
        std::lock_guard lock(m_shared->mutex);
        stopping = !m_shared->running;
        if (stopping) { // nothing is put aside any more
            request.waiting->answered = true;
            request.waiting->outcome = {CheckinDesk::Outcome::Busy, {}, {}};
        } else {
            m_shared->waiting.push_back(request.waiting);
        }
    }
    if (stopping)
        return answerCheckIn(connection, request);
    MHD_suspend_connection(connection);
    std::shared_ptr<Shared> shared = m_shared;
    std::shared_ptr<Waiting> waiting = request.waiting;
    m_desk.checkInThen(found.entrant, {true, from}, [shared, waiting](const CheckinDesk::Outcome& outcome) {
        std::lock_guard lock(shared->mutex);
        shared->answer(waiting, outcome);
    });
    return MHD_YES;
}

int CheckinServer::answerCheckIn(MHD_Connection* connection, Request& request) {
    using CheckinPages::View;
    request.phase = Request::Done;
    CheckinDesk::Outcome outcome;
    {
        std::lock_guard lock(m_shared->mutex);
        outcome = request.waiting->outcome;
    }
    CheckinPages::Page page;
    page.event = eventTitle();
    page.shown = request.card.masked();
    switch (outcome.kind) {
    case CheckinDesk::Outcome::CheckedIn:
        ++m_counts.checkIns;
        page.view = View::CheckedIn;
        // The phone remembers whom it checked in: an opaque id, signed.
        return answerPage(connection, page, 200, setCookie(request.entrant));
    case CheckinDesk::Outcome::Already:
        ++m_counts.checkIns;
        page.view = View::Already;
        return answerPage(connection, page, 200);
    case CheckinDesk::Outcome::Busy:
        page.view = View::Busy;
        return answerPage(connection, page, 503);
    case CheckinDesk::Outcome::Failed:
        break;
    }
    page.view = View::Failed;
    return answerPage(connection, page, 503);
}

QByteArray CheckinServer::setCookie(const QString& entrant) {
    const QByteArray value = cookieFor(entrant);
    return value.isEmpty() ? QByteArray()
                           : kCookieName + '=' + value + "; Path=/" + m_key +
                                 "/; Max-Age=172800; HttpOnly; SameSite=Strict";
}

QByteArray CheckinServer::cookieFor(const QString& entrant) {
    QByteArray id(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(id.data()), 4);
    {
        std::lock_guard lock(m_cookieMutex);
        if (m_cookies.size() >= kMaxCookies)
            return {};
        m_cookies.insert(id, entrant);
    }
    const QByteArray mac = QMessageAuthenticationCode::hash(id, m_secret, QCryptographicHash::Sha256);
    return id.toBase64(kB64) + '.' + mac.toBase64(kB64);
}

QString CheckinServer::entrantOfCookie(const QByteArray& value) const {
    const qsizetype dot = value.indexOf('.');
    if (dot <= 0 || value.size() > 256)
        return {};
    const auto options = kB64 | QByteArray::AbortOnBase64DecodingErrors;
    const auto id = QByteArray::fromBase64Encoding(value.left(dot), options);
    const auto mac = QByteArray::fromBase64Encoding(value.mid(dot + 1), options);
    if (!id || !mac ||
        !sameBytes(*mac, QMessageAuthenticationCode::hash(*id, m_secret, QCryptographicHash::Sha256)))
        return {};
    std::lock_guard lock(m_cookieMutex);
    return m_cookies.value(*id);
}

QString CheckinServer::cookieEntrant(MHD_Connection* connection) const {
    const QByteArray value = header(connection, MHD_COOKIE_KIND, kCookieName.constData());
    return value.isEmpty() ? QString() : entrantOfCookie(value);
}
