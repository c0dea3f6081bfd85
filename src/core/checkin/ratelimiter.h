#pragma once

#include <QHash>
#include <QString>
#include <chrono>
#include <list>
#include <mutex>

// A per-address budget (a token bucket): each address may make `burst` requests at once and
// `perSecond` more every second after that. The table of addresses is bounded: when it is full, the
// address seen least recently is forgotten to make room, so a flood of new addresses can never lock
// a newcomer out (a forgotten address starts again with a whole budget, which is no more than a new
// one has). Safe to call from any thread.
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
        std::list<QString>::iterator recent; // its place in m_recent
    };

    const double m_perSecond;
    const double m_burst;
    const int m_maxAddresses;
    mutable std::mutex m_mutex;
    QHash<QString, Bucket> m_buckets;
    std::list<QString> m_recent; // the addresses, the one seen last at the front
};
