#include "confetti.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kFrameMs = 40; // 25 frames a second
constexpr int kFadeFrames = Confetti::kFadeMs / kFrameMs;
const QColor kColours[] = {QColor(0xFF, 0xD7, 0x00), QColor(0xFF, 0xF4, 0xD6), QColor(0xE8, 0x3A, 0x3A),
                           QColor(0xF5, 0xB0, 0x1A), QColor(0xFF, 0xFF, 0xFF)};
} // namespace

Confetti::Confetti(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("confetti_frames"));
    m_timer->setInterval(kFrameMs);
    connect(m_timer, &QTimer::timeout, this, &Confetti::step);
    hide();
}

quint32 Confetti::next() {
    // xorshift32
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
}

void Confetti::start(int milliseconds) {
    m_flakes.clear();
    m_frames = 0;
    m_frame = 0;
    m_endFrame = std::max(1, milliseconds / kFrameMs);
    const double unit = std::max(1.0, height() / 70.0);
    // As many flakes as the stage is wide, within bounds: the same look at 720 and 2160 lines.
    const int count = std::clamp(width() / std::max(1, int(unit * 2.2)), 40, 140);
    const auto uniform = [this](double low, double high) {
        return low + (high - low) * (next() % 10000) / 10000.0;
    };
    for (int i = 0; i < count; ++i) {
        Flake flake;
        flake.at = QPointF(uniform(0, width()), uniform(-height() * 0.5, height() * 0.05));
        flake.velocity = QPointF(uniform(-0.4, 0.4) * unit, uniform(0.9, 1.8) * unit);
        flake.angle = uniform(0, 360);
        flake.spin = uniform(-9, 9);
        flake.size = uniform(1.0, 1.9) * unit;
        flake.colour = kColours[next() % std::size(kColours)];
        m_flakes.append(flake);
    }
    show();
    m_timer->start();
}

double Confetti::opacity() const {
    const qint64 left = m_endFrame - m_frame;
    return std::clamp(double(left) / std::max<qint64>(1, std::min<qint64>(kFadeFrames, m_endFrame)), 0.0,
                      1.0);
}

int Confetti::flakesInView() const {
    return int(std::count_if(m_flakes.cbegin(), m_flakes.cend(),
                             [this](const Flake& flake) { return boundsOf(flake).intersects(rect()); }));
}

void Confetti::stop() {
    m_timer->stop();
    for (const Flake& flake : std::as_const(m_flakes))
        update(flake.drawn);
    m_flakes.clear();
    hide();
}

QRect Confetti::boundsOf(const Flake& flake) const {
    const int r = int(std::ceil(flake.size * 1.2)) + 2;
    return QRect(int(flake.at.x()) - r, int(flake.at.y()) - r, 2 * r, 2 * r);
}

void Confetti::step() {
    if (++m_frame >= m_endFrame) {
        stop();
        return;
    }
    const double sway = std::sin(m_frame * 0.15);
    // Until the fade, a flake that has fallen out at the bottom comes in again at the top.
    const bool refill = m_endFrame - m_frame > kFadeFrames;
    for (Flake& flake : m_flakes) {
        flake.at += flake.velocity + QPointF(sway * flake.size * 0.15, 0);
        bool wrapped = false;
        if (refill && flake.at.y() - flake.size * 2 > height()) {
            flake.at = QPointF((next() % 10000) / 10000.0 * width(), -flake.size * 2);
            wrapped = true;
        }
        flake.angle += flake.spin;
        const QRect now = boundsOf(flake);
        const bool inView = now.intersects(rect());
        // Where it was and where it is, apart when it came round (one rect would span the stage).
        if (wrapped) {
            update(flake.drawn);
            if (inView)
                update(now);
        } else if (flake.drawn.isValid() || inView) {
            update(flake.drawn.united(now));
        }
        flake.drawn = inView ? now : QRect();
    }
}

void Confetti::paintEvent(QPaintEvent* event) {
    ++m_frames;
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setOpacity(opacity());
    for (const Flake& flake : std::as_const(m_flakes)) {
        if (!flake.drawn.isValid() || !event->region().intersects(flake.drawn))
            continue;
        // A flake is a small card turning in the air: its width follows the turn.
        const double w = flake.size * (0.35 + 0.65 * std::abs(std::cos(flake.angle * M_PI / 90)));
        const double h = flake.size * 0.6;
        QTransform turn;
        turn.translate(flake.at.x(), flake.at.y());
        turn.rotate(flake.angle);
        painter.setBrush(flake.colour);
        painter.drawPolygon(turn.map(QPolygonF(QRectF(-w / 2, -h / 2, w, h))));
    }
}
