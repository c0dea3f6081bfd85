#include "clock.h"

#include <QElapsedTimer>

namespace {
class SystemClock : public Clock {
public:
    SystemClock() { m_timer.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    std::uint32_t tickCount() const override {
        // The monotonic clock's milliseconds (since the machine started, as a system's tick count
        // is): where the timer started plus what has elapsed since.
        return static_cast<std::uint32_t>(m_timer.msecsSinceReference() + m_timer.elapsed());
    }

private:
    QElapsedTimer m_timer;
};

Clock*& installed() {
    static Clock* clock = nullptr;
    return clock;
}
} // namespace

Clock& Clock::instance() {
    static SystemClock system;
    return installed() ? *installed() : system;
}

void Clock::install(Clock* clock) {
    installed() = clock;
}
