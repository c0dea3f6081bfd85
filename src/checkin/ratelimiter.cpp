#include "ratelimiter.h"

#include <algorithm>

bool RateLimiter::allow(const QString& address, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    auto it = m_buckets.find(address);
    if (it == m_buckets.end()) {
        if (m_buckets.size() >= m_maxAddresses)
            forgetIdle(now);
        if (m_buckets.size() >= m_maxAddresses)
            return false;
        it = m_buckets.insert(address, {m_burst, now});
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

void RateLimiter::forgetIdle(Clock::time_point now) {
    const auto whole = std::chrono::duration<double>(m_burst / m_perSecond);
    for (auto it = m_buckets.begin(); it != m_buckets.end();)
        it = now - it->updated >= whole ? m_buckets.erase(it) : std::next(it);
}

int RateLimiter::trackedAddresses() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_buckets.size());
}
