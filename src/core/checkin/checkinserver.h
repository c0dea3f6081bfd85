#pragma once

#include "checkinpages.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class CheckinDesk;
class RateLimiter;
struct MHD_Connection;
struct MHD_Daemon;

// The check-in server on the venue's network, made for strangers on it. libmicrohttpd underneath: one
// event loop (epoll on Linux) serves every connection without a thread of its own, so a connection
// that trickles its head or its body holds a few hundred bytes, never a worker, and nothing it does
// can keep another guest waiting. (civetweb, used before, gives every connection one of a fixed
// number of threads and, after a refusal, still drains the announced body on it: about thirty slow
// connections from one address stopped all check-in.)
//
// Three things exist, all under the event's random key: the page (GET /<key>/; /<key> redirects
// there), its one form post (POST /<key>/) and a status read (GET /<key>/status); while the
// verifiable draw is on also the verifier page to save (GET /<key>/verifier) and, once the seed is
// revealed, the proof (GET /<key>/proof), both downloads with a budget of their own and a time to
// finish in. Anything else is a plain 404, and no file is ever served from the disk. Bounds: connections per
// address and in all; per address a rate of new connections and of requests, and for lookups and
// confirmations a budget per address and one for the whole server; a request's head by size, every connection
// by inactivity and by the whole time until its request is in; a refused request is answered at once and
// closed without reading its body. A check-in is answered once it is on disk: the connection is put aside
// meanwhile, and the event loop never waits on the disk or on a slow client.
//
// What a guest learns: only a masked confirmation of whom the text found ("张*三 A00**13"), never a
// field the hall does not see, a department, a time or how many others share a name. A lookup finds a
// guest only by what the hall sees of the line; a check-in needs proof: a whole field of the line the
// hall never sees (the whole mobile number when the stage shows "139****5678"). A guest whose line
// has none asks the desk, and the page waits until the desk confirms. Wrong proofs count per guest
// and address: five from one address hold that guest there only (fifty from all, everywhere), until
// the desk releases the guest. A phone's cookie holds an opaque id signed with a secret of its own.
class CheckinServer {
public:
    struct Limits {
        int maxHeadBytes = 8192;     // request line and headers
        int maxBodyBytes = 4096;     // the form post's body
        int idleSeconds = 3;         // a connection silent this long is closed
        int requestTimeoutMs = 5000; // a request not whole by then (head and body) is cut
        // Per address: a flood guard, high enough for a hall whose phones share one router's address.
        int connectionsPerAddress = 64;      // open at once from one address
        int connections = 512;               // open at once in all
        double connectsPerSecond = 20;       // new connections per address and second, after
        double connectBurst = 100;           // this many at once
        double perSecond = 20;               // requests per address and second, after
        double burst = 200;                  // this many at once
        double lookupsPerSecond = 2;         // lookups per address and second, after
        double lookupBurst = 60;             // this many at once
        double confirmsPerSecond = 2;        // confirmations per address and second, after
        double confirmBurst = 60;            // this many at once
        double serverLookupsPerSecond = 300; // lookups of the whole server, after
        double serverLookupBurst = 600;      // this many at once
        double serverConfirmsPerSecond = 300;
        double serverConfirmBurst = 600;
        int answerTimeoutMs = 8000; // a check-in not on disk by then is answered "try again"
        // The verifier page and the proof: per address, and for the whole server.
        double downloadsPerSecond = 5;
        double downloadBurst = 100;
        double serverDownloadsPerSecond = 30;
        double serverDownloadBurst = 600;
        int downloadSeconds = 120; // a download not done by then is cut
    };
    struct Counts {
        std::atomic<int> pages{0}, checkIns{0}, notFound{0}, rateLimited{0}, refused{0}, cut{0},
            wrongProofs{0}, downloads{0};
    };

    explicit CheckinServer(CheckinDesk& desk);
    ~CheckinServer();
    CheckinServer(const CheckinServer&) = delete;
    CheckinServer& operator=(const CheckinServer&) = delete;

    // Serves at address:port under key until stop(). False, with the operator's message, when it
    // cannot (the port in use, the address not on this machine, ...). A running server stops first.
    // secret (32 hex digits) signs the cookies; empty: a random one for this run.
    bool start(const QString& address, quint16 port, const QString& key, QString* error, const Limits& limits,
               const QString& secret = {});
    bool start(const QString& address, quint16 port, const QString& key, QString* error) {
        return start(address, port, key, error, Limits());
    }
    void stop();
    bool isRunning() const { return m_daemon != nullptr; }
    const QString& address() const { return m_address; }
    quint16 port() const { return m_port; }
    // The page's address: http://<address>:<port>/<key>/
    QString url() const;
    static QString url(const QString& address, quint16 port, const QString& key);

    // The event's title shown on the page (from any thread).
    void setEventTitle(const QString& title);
    // What the phones see of the verifiable draw, and the proof they may download (empty before
    // the reveal). From any thread; the bytes are shared by every download, never copied for one.
    void setVerify(const CheckinPages::Verify& verify, const QByteArray& proof);
    const Counts& counts() const { return m_counts; }
    // The budgets' clock runs this much ahead of the steady clock (tests: a rate without waiting).
    void skipAhead(std::chrono::milliseconds by) { m_skip += by.count(); }

    // A fresh event key: 20 letters and digits from the system's random source.
    static QString newKey();
    static bool isKey(const QString& text);
    // The cookie that tells this phone has checked an entrant in or waits for the desk (an opaque id,
    // signed; empty once the table of phones is full), and whom a cookie names (empty for a made-up,
    // altered or forgotten one).
    QByteArray cookieFor(const QString& entrant);
    QString entrantOfCookie(const QByteArray& value) const;

    struct Shared;

private:
    struct Request;
    friend struct ServerHooks;
    int handle(MHD_Connection* connection, Request& request, const QByteArray& url, const QByteArray& method,
               const char* upload, size_t* uploadSize);
    int route(MHD_Connection* connection, Request& request, const QByteArray& url, const QByteArray& method);
    int handlePost(MHD_Connection* connection, Request& request);
    int answerCheckIn(MHD_Connection* connection, Request& request);
    int answerPage(MHD_Connection* connection, CheckinPages::Page page, int status,
                   const QByteArray& cookie = {});
    int answerDownload(MHD_Connection* connection, Request& request, bool proof);
    QString cookieEntrant(MHD_Connection* connection) const;
    // The Set-Cookie header's value for a phone that checked the entrant in or waits (empty: none).
    QByteArray setCookie(const QString& entrant);
    QByteArray tokenFor(const QString& entrant) const;
    QString eventTitle() const;
    void watch();
    std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(m_skip.load());
    }

    CheckinDesk& m_desk;
    MHD_Daemon* m_daemon = nullptr;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<RateLimiter> m_connects, m_limiter, m_lookups, m_confirms, m_serverLookups,
        m_serverConfirms, m_downloads, m_serverDownloads;
    std::thread m_watchdog;
    Limits m_limits;
    QString m_address;
    quint16 m_port = 0;
    QByteArray m_key;
    QByteArray m_host, m_origin; // what the Host and Origin headers of the page's own requests say
    QByteArray m_secret;
    mutable std::mutex m_cookieMutex;
    QHash<QByteArray, QString> m_cookies; // opaque id → entrant
    mutable std::mutex m_titleMutex;
    QString m_title;
    mutable std::mutex m_verifyMutex;
    CheckinPages::Verify m_verify;
    std::shared_ptr<const QByteArray> m_proof, m_verifierPage; // null: not offered
    Counts m_counts;
    std::atomic<std::int64_t> m_skip{0};
};
