#pragma once

#include <QDateTime>
#include <cstdint>

// Local date-time and the millisecond tick count. The program asks this, never the system, so that
// tests can set the time of a draw.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds since an arbitrary start, wrapping like an unsigned 32-bit counter.
    virtual std::uint32_t tickCount() const = 0;

    static Clock& instance();
    // Installs a clock (tests); nullptr goes back to the system clock. The caller keeps ownership.
    static void install(Clock* clock);
};

// A clock that a test sets by hand.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime now = QDateTime::currentDateTime(), std::uint32_t ticks = 0)
        : m_now(std::move(now)), m_ticks(ticks) {}
    QDateTime now() const override { return m_now; }
    std::uint32_t tickCount() const override { return m_ticks; }
    void setNow(const QDateTime& now) { m_now = now; }
    void setTickCount(std::uint32_t ticks) { m_ticks = ticks; }
    void advance(qint64 ms) {
        m_now = m_now.addMSecs(ms);
        m_ticks += static_cast<std::uint32_t>(ms);
    }

private:
    QDateTime m_now;
    std::uint32_t m_ticks;
};
