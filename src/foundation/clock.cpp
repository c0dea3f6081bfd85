#include "clock.h"

#include <QElapsedTimer>

namespace {
class SystemClock : public Clock {
public:
    SystemClock() { m_timer.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    std::uint32_t tickCount() const override {
        // Start somewhere in the counter's range, as a machine that has been up for a while would.
        return static_cast<std::uint32_t>(m_timer.msecsSinceReference());
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
