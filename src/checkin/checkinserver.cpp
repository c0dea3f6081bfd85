#include "checkinserver.h"

#include "checkindesk.h"
#include "checkinlog.h"
#include "listenprobe.h"
#include "ratelimiter.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <civetweb.h>

#include <mutex>

namespace {
const QByteArray kCookieName = "orvanta_checkin";
constexpr int kMaxQueryLength = 64;

const char* reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 429:
        return "Too Many Requests";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

int send(mg_connection* conn, int status, const char* type, const QByteArray& body,
         const QByteArray& extraHeaders = {}) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: " + QByteArray(type) + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n"
            "Cache-Control: no-store\r\n"
            "X-Content-Type-Options: nosniff\r\n"
            "X-Frame-Options: DENY\r\n"
            "Referrer-Policy: no-referrer\r\n"
            "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
            "form-action 'self'; base-uri 'none'; frame-ancestors 'none'\r\n";
    head += extraHeaders;
    head += "\r\n";
    mg_write(conn, head.constData(), static_cast<size_t>(head.size()));
    if (!body.isEmpty())
        mg_write(conn, body.constData(), static_cast<size_t>(body.size()));
    return status;
}

int sendText(mg_connection* conn, int status, const QString& text) {
    return send(conn, status, "text/plain; charset=utf-8", text.toUtf8());
}

// A form field as typed: strict UTF-8, no control characters, at most maxLength characters, and
// text the GBK files can hold. Nothing when the field is missing or cannot be taken.
std::optional<QString> formField(const QByteArray& body, const char* name, int maxLength) {
    QByteArray buffer(body.size() + 1, '\0');
    const int n = mg_get_var2(body.constData(), static_cast<size_t>(body.size()), name, buffer.data(),
                              static_cast<size_t>(buffer.size()), 0);
    if (n < 0)
        return std::nullopt;
    buffer.truncate(n);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(buffer);
    if (decoder.hasError() || text.size() > maxLength)
        return std::nullopt;
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty() && !CheckinLog::refusal(trimmed).isEmpty())
        return std::nullopt;
    return trimmed;
}

bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
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

CheckinServer::CheckinServer(CheckinDesk& desk) : m_desk(desk) {
    static std::once_flag once;
    std::call_once(once, [] { mg_init_library(0); });
}

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
                          const Limits& limits) {
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
    m_limiter = std::make_unique<RateLimiter>(limits.perSecond, limits.burst);
    m_key = key.toLatin1();
    m_cookieKey = QMessageAuthenticationCode::hash("check-in cookie", m_key, QCryptographicHash::Sha256);
    m_address = address;
    m_port = port;

    const QByteArray listening = address.toLatin1() + ':' + QByteArray::number(port);
    const QByteArray threads = QByteArray::number(limits.threads);
    const QByteArray timeout = QByteArray::number(limits.requestTimeoutMs);
    const QByteArray head = QByteArray::number(limits.maxHeadBytes);
    // No document root: nothing is ever served from the disk.
    const char* options[] = {"listening_ports",
                             listening.constData(),
                             "num_threads",
                             threads.constData(),
                             "request_timeout_ms",
                             timeout.constData(),
                             "max_request_size",
                             head.constData(),
                             "enable_keep_alive",
                             "no",
                             "linger_timeout_ms",
                             "1000",
                             "decode_url",
                             "yes",
                             "listen_backlog",
                             "256",
                             "connection_queue",
                             "256",
                             nullptr};
    mg_callbacks callbacks{};
    callbacks.begin_request = &CheckinServer::beginRequest;
    callbacks.log_message = &CheckinServer::logMessage;
    char text[256] = {};
    unsigned code = 0;
    mg_error_data failure{&code, text, sizeof text};
    mg_init_data init{&callbacks, this, options};
    m_context = mg_start2(&init, &failure);
    if (!m_context) {
        *error = QStringLiteral("无法在 %1:%2 开启签到服务：%3")
                     .arg(address)
                     .arg(port)
                     .arg(QString::fromUtf8(text));
        return false;
    }
    return true;
}

void CheckinServer::stop() {
    if (m_context)
        mg_stop(m_context);
    m_context = nullptr;
}

int CheckinServer::logMessage(const mg_connection*, const char*) {
    return 1; // a stranger's broken request is not worth a line on the operator's console
}

int CheckinServer::beginRequest(mg_connection* conn) {
    const mg_request_info* request = mg_get_request_info(conn);
    auto* server = static_cast<CheckinServer*>(request->user_data);
    try {
        return server->handle(conn, *request);
    } catch (...) {
        return sendText(conn, 503, QStringLiteral("暂时无法签到，请到签到台"));
    }
}

int CheckinServer::handle(mg_connection* conn, const mg_request_info& request) {
    if (!m_limiter->allow(QString::fromLatin1(request.remote_addr))) {
        ++m_counts.rateLimited;
        return sendText(conn, 429, QStringLiteral("请求过于频繁，请稍后再试"));
    }
    const QByteArray path = request.local_uri_raw ? QByteArray(request.local_uri_raw) : QByteArray();
    const QByteArray method = request.request_method ? QByteArray(request.request_method) : QByteArray();
    // The key, compared in constant time: a wrong one says nothing about how close it came.
    const QByteArray prefix = '/' + m_key;
    const bool keyed = path.size() >= prefix.size() && sameBytes(path.left(prefix.size()), prefix);
    const QByteArray rest = keyed ? path.mid(prefix.size()) : QByteArray();
    if (keyed && (rest.isEmpty() || rest == "/")) {
        if (method == "GET")
            return handlePage(conn, request, false);
        if (method == "POST")
            return handlePage(conn, request, true);
        return sendText(conn, 405, QStringLiteral("Method Not Allowed"));
    }
    if (keyed && rest == "/status" && method == "GET")
        return handleStatus(conn);
    ++m_counts.notFound;
    return sendText(conn, 404, QStringLiteral("Not Found"));
}

QByteArray CheckinServer::cookieFor(const QString& entrant) const {
    const QByteArray name = entrant.toUtf8();
    const QByteArray mac = QMessageAuthenticationCode::hash(name, m_cookieKey, QCryptographicHash::Sha256);
    const auto options = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
    return name.toBase64(options) + '.' + mac.toBase64(options);
}

QString CheckinServer::entrantOfCookie(const QByteArray& value) const {
    const qsizetype dot = value.indexOf('.');
    if (dot <= 0)
        return {};
    const auto options = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals |
                         QByteArray::AbortOnBase64DecodingErrors;
    const auto name = QByteArray::fromBase64Encoding(value.left(dot), options);
    const auto mac = QByteArray::fromBase64Encoding(value.mid(dot + 1), options);
    if (!name || !mac ||
        !sameBytes(*mac, QMessageAuthenticationCode::hash(*name, m_cookieKey, QCryptographicHash::Sha256)))
        return {};
    return QString::fromUtf8(*name);
}

QString CheckinServer::cookieEntrant(mg_connection* conn) const {
    const char* header = mg_get_header(conn, "Cookie");
    if (!header)
        return {};
    char value[4096];
    const int n = mg_get_cookie(header, kCookieName.constData(), value, sizeof value);
    return n > 0 ? entrantOfCookie(QByteArray(value, n)) : QString();
}

int CheckinServer::handleStatus(mg_connection* conn) {
    QJsonObject status{{QStringLiteral("present"), m_desk.presentCount()},
                       {QStringLiteral("total"), m_desk.total()}};
    const QString mine = cookieEntrant(conn);
    if (!mine.isEmpty())
        if (const auto at = m_desk.checkedInAt(mine)) {
            status.insert(QStringLiteral("you"), mine);
            status.insert(QStringLiteral("at"), at->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
    return send(conn, 200, "application/json; charset=utf-8",
                QJsonDocument(status).toJson(QJsonDocument::Compact));
}

int CheckinServer::handlePage(mg_connection* conn, const mg_request_info& request, bool post) {
    using CheckinPages::View;
    CheckinPages::Page page;
    page.event = eventTitle();
    const QString mine = cookieEntrant(conn);
    const auto answer = [&](int status, const QByteArray& headers = {}) {
        ++m_counts.pages;
        return send(conn, status, "text/html; charset=utf-8", CheckinPages::html(page), headers);
    };

    if (!post) {
        // A phone that has checked in sees its check-in again.
        if (const auto at = mine.isEmpty() ? std::nullopt : m_desk.checkedInAt(mine)) {
            page.view = View::Already;
            page.entrant = mine;
            page.at = *at;
        }
        return answer(200);
    }

    // The body: announced, small, and whole within its time.
    if (request.content_length < 0) {
        ++m_counts.refused;
        return sendText(conn, 411, QStringLiteral("Length Required"));
    }
    if (request.content_length > m_limits.maxBodyBytes) {
        ++m_counts.refused;
        return sendText(conn, 413, QStringLiteral("Payload Too Large"));
    }
    QByteArray body(static_cast<qsizetype>(request.content_length), '\0');
    qsizetype got = 0;
    QElapsedTimer clock;
    clock.start();
    while (got < body.size() && clock.elapsed() < m_limits.bodyTimeoutMs) {
        const int n = mg_read(conn, body.data() + got, static_cast<size_t>(body.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    if (got < body.size()) {
        ++m_counts.refused;
        return sendText(conn, 408, QStringLiteral("Request Timeout"));
    }

    const std::optional<QString> query = formField(body, "q", kMaxQueryLength);
    const std::optional<QString> who = formField(body, "who", CheckinLog::kMaxEntrantLength);
    const std::optional<QString> step = formField(body, "step", 16);
    if (!query || query->isEmpty() || (who && who->isEmpty())) {
        ++m_counts.refused;
        page.view = View::Invalid;
        return answer(400);
    }
    page.query = *query;
    const CheckinDesk::Lookup found = m_desk.lookup(*query);
    if (found.kind == CheckinDesk::Lookup::None) {
        page.view = View::None;
        return answer(200);
    }
    if (found.kind == CheckinDesk::Lookup::Many) {
        page.view = View::Many;
        page.count = found.count;
        return answer(200);
    }
    page.entrant = found.entrant;
    if (const auto at = m_desk.checkedInAt(found.entrant)) {
        page.view = View::Already;
        page.at = *at;
        return answer(200);
    }
    if (!mine.isEmpty() && mine != found.entrant) {
        page.view = View::OtherPerson;
        page.entrant = mine;
        return answer(200);
    }
    // The confirm button names whom it confirmed; a list changed in between asks again.
    if (!step || *step != QStringLiteral("confirm") || !who || *who != found.entrant) {
        page.view = View::Confirm;
        return answer(200);
    }
    const CheckinDesk::Outcome outcome = m_desk.checkIn(found.entrant, m_limits.answerTimeoutMs);
    switch (outcome.kind) {
    case CheckinDesk::Outcome::CheckedIn:
    case CheckinDesk::Outcome::Already: {
        ++m_counts.checkIns;
        page.view = outcome.kind == CheckinDesk::Outcome::CheckedIn ? View::CheckedIn : View::Already;
        page.at = outcome.at;
        if (outcome.kind == CheckinDesk::Outcome::Already)
            return answer(200);
        // The phone remembers whom it checked in (signed, so a made-up cookie counts for nothing).
        return answer(200, "Set-Cookie: " + kCookieName + '=' + cookieFor(found.entrant) + "; Path=/" +
                               m_key + "/; Max-Age=172800; HttpOnly; SameSite=Strict\r\n");
    }
    case CheckinDesk::Outcome::Busy:
        page.view = View::Busy;
        return answer(503);
    case CheckinDesk::Outcome::Failed:
        page.view = View::Failed;
        return answer(503);
    }
    return answer(500);
}
