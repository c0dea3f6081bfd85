#pragma once

#include <QHash>
#include <QString>
#include <chrono>
#include <mutex>

// A per-address request budget (a token bucket): each address may make `burst` requests at once and
// `perSecond` more every second after that. The table of addresses is bounded: when it is full, the
// addresses whose budget is whole again are forgotten, and a new address finds no room until some
// are. Safe to call from any thread.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(double perSecond, double burst, int maxAddresses = 10000)
        : m_perSecond(perSecond), m_burst(burst), m_maxAddresses(maxAddresses) {}

    // Whether a request from the address may go ahead now (and counts it).
    bool allow(const QString& address, Clock::time_point now = Clock::now());
    int trackedAddresses() const;

private:
    struct Bucket {
        double tokens = 0;
        Clock::time_point updated;
    };
    void forgetIdle(Clock::time_point now);

    const double m_perSecond;
    const double m_burst;
    const int m_maxAddresses;
    mutable std::mutex m_mutex;
    QHash<QString, Bucket> m_buckets;
};
