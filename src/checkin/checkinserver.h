#pragma once

#include "checkinpages.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class CheckinDesk;
class RateLimiter;
struct mg_connection;
struct mg_context;
struct mg_request_info;

// The check-in server on the venue's network (civetweb underneath: Qt 6.4's own HTTP server can bound
// neither the size of a request nor the time it takes). Three things exist, all under the event's
// random key: the page (GET /<key>/), its one form post (POST /<key>/) and a status read (GET
// /<key>/status); anything else is a plain 404, and no file is ever served from the disk. Every request
// is bounded: its head by size and time, its body by size and time, each address by a request rate.
// Requests run on the server's own threads; a check-in waits there until it is on disk, never on the
// GUI thread.
class CheckinServer {
public:
    struct Limits {
        int maxHeadBytes = 8192;     // request line and headers
        int maxBodyBytes = 4096;     // the form post's body
        int requestTimeoutMs = 5000; // the whole head, and each wait for the body
        int bodyTimeoutMs = 5000;    // the whole body
        double perSecond = 1;        // requests per address and second, after
        double burst = 20;           // this many at once
        int threads = 32;
        int answerTimeoutMs = 8000; // a check-in not on disk by then is answered "try again"
    };
    struct Counts {
        std::atomic<int> pages{0}, checkIns{0}, notFound{0}, rateLimited{0}, refused{0};
    };

    explicit CheckinServer(CheckinDesk& desk);
    ~CheckinServer();
    CheckinServer(const CheckinServer&) = delete;
    CheckinServer& operator=(const CheckinServer&) = delete;

    // Serves at address:port under key until stop(). False, with the operator's message, when it
    // cannot (the port in use, the address not on this machine, ...). A running server stops first.
    bool start(const QString& address, quint16 port, const QString& key, QString* error,
               const Limits& limits);
    bool start(const QString& address, quint16 port, const QString& key, QString* error) {
        return start(address, port, key, error, Limits());
    }
    void stop();
    bool isRunning() const { return m_context != nullptr; }
    const QString& address() const { return m_address; }
    quint16 port() const { return m_port; }
    // The page's address: http://<address>:<port>/<key>/
    QString url() const;
    static QString url(const QString& address, quint16 port, const QString& key);

    // The event's title shown on the page (from any thread).
    void setEventTitle(const QString& title);
    const Counts& counts() const { return m_counts; }

    // A fresh event key: 20 letters and digits from the system's random source.
    static QString newKey();
    static bool isKey(const QString& text);
    // The cookie that tells this phone has checked an entrant in, and what a cookie tells.
    QByteArray cookieFor(const QString& entrant) const;
    QString entrantOfCookie(const QByteArray& value) const;

private:
    static int beginRequest(mg_connection* conn);
    static int logMessage(const mg_connection* conn, const char* message);
    int handle(mg_connection* conn, const mg_request_info& request);
    int handlePage(mg_connection* conn, const mg_request_info& request, bool post);
    int handleStatus(mg_connection* conn);
    QString cookieEntrant(mg_connection* conn) const;
    QString eventTitle() const;

    CheckinDesk& m_desk;
    mg_context* m_context = nullptr;
    std::unique_ptr<RateLimiter> m_limiter;
    Limits m_limits;
    QString m_address;
    quint16 m_port = 0;
    QByteArray m_key;
    QByteArray m_cookieKey;
    mutable std::mutex m_titleMutex;
    QString m_title;
    Counts m_counts;
};
