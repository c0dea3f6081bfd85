#include "ratelimiter.h"

#include <algorithm>

bool RateLimiter::allow(const QString& address, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    auto it = m_buckets.find(address);
    if (it == m_buckets.end()) {
        while (!m_recent.empty() && m_buckets.size() >= m_maxAddresses) {
            m_buckets.remove(m_recent.back());
            m_recent.pop_back();
        }
        m_recent.push_front(address);
        it = m_buckets.insert(address, {m_burst, now, m_recent.begin()});
    } else {
        m_recent.splice(m_recent.begin(), m_recent, it->recent);
    }
    Bucket& bucket = *it;
    const double seconds = std::chrono::duration<double>(now - bucket.updated).count();
    bucket.tokens = std::min(m_burst, bucket.tokens + std::max(0.0, seconds) * m_perSecond);
    bucket.updated = now;
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    return true;
}

int RateLimiter::trackedAddresses() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_buckets.size());
}
