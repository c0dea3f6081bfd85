#include "namewall.h"

#include "entrantfields.h"
#include "stagescale.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {
constexpr int kFrameMs = 40; // 25 frames a second: as smooth to the hall as 30, a sixth cheaper
constexpr int kStrip = 64;
constexpr qsizetype kLongestName = 16;
constexpr double kRollSpeed = 1.4;     // radians a second while the names roll
constexpr double kSpinUp = 0.6;        // seconds to full speed
constexpr double kRevealSeconds = 1.2; // the whole reveal
constexpr double kHaltAt = 0.8;        // of the reveal, when the sphere stands still
constexpr double kLitSeconds = 0.5;
constexpr double kLitGrowth = 0.45;
constexpr double kTilt = 0.32;  // radians the axis leans towards the hall
constexpr double kCamera = 2.6; // the eye's distance from the centre, in radii
constexpr double kNamePx = 24;  // design size of a name at the centre's depth
constexpr double kMinScale = 0.6;
constexpr double kScaleStep = 0.08; // sizes of name images, a step apart
constexpr int kBuckets = 25;
constexpr double kDimmed = 0.22; // the rest after the reveal
constexpr double kPi = 3.14159265358979323846;

double smooth(double p) {
    p = std::clamp(p, 0.0, 1.0);
    return p * p * (3 - 2 * p);
}

QColor mixed(const QColor& a, const QColor& b, double f) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f),
                            float(a.greenF() + (b.greenF() - a.greenF()) * f),
                            float(a.blueF() + (b.blueF() - a.blueF()) * f), float(a.alphaF()));
}

// The name and the rest of an entrant's line.
std::pair<QString, QString> fieldsOf(const QString& line) {
    const QList<QStringView> fields = EntrantFields::split(line);
    if (fields.isEmpty())
        return {line.trimmed(), QString()};
    QStringList rest;
    for (qsizetype i = 1; i < fields.size(); ++i)
        rest << fields[i].toString();
    return {fields.first().toString(), rest.join(QStringLiteral("  "))};
}

QFont bold(QFont font, int pixels) {
    font.setBold(true);
    font.setPixelSize(std::max(6, pixels));
    return font;
}
} // namespace

NameWall::NameWall(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent); // the background picture covers every pixel
    m_timer.setInterval(kFrameMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &NameWall::frame);
    m_clock.start();
}

double NameWall::now() const {
    return double(m_clock.nsecsElapsed()) / 1e9;
}

double NameWall::unit() const {
    return StageScale::forHeight(height()).factor();
}

double NameWall::radius() const {
    return 0.40 * std::min(double(height()), width() * 0.62);
}

QPointF NameWall::sphereCentre() const {
    return QPointF(width() / 2.0, height() / 2.0);
}

QRect NameWall::sphereRect() const {
    // The sphere's outline in perspective plus room for a grown name at its rim; names are clipped to
    // it, so a frame that repaints this square leaves nothing behind.
    const double r = radius();
    const double halfWidth = r * 1.12 + 190 * unit();
    const double halfHeight = r * 1.12 + 60 * unit();
    const QPointF c = sphereCentre();
    return QRectF(c.x() - halfWidth, c.y() - halfHeight, 2 * halfWidth, 2 * halfHeight).toAlignedRect() &
           rect();
}

void NameWall::setNames(const QStringList& lines) {
    m_lines = lines;
    m_slots.clear();
    m_slotOfLine.clear();
    const qsizetype count = m_lines.size();
    QRandomGenerator* random = QRandomGenerator::global();
    m_cursor = count > 0 ? qsizetype(random->bounded(quint64(count))) : 0;
    m_stride = count > 1 ? qsizetype(1 + random->bounded(quint64(count - 1))) : 1;
    while (count > 1 && std::gcd(m_stride, count) != 1)
        m_stride = m_stride % (count - 1) + 1;

    // The places: a Fibonacci lattice, evenly spread over the sphere.
    const int slots = int(std::min<qsizetype>(count, kMaxSlots));
    const double golden = kPi * (3 - std::sqrt(5.0));
    for (int i = 0; i < slots; ++i) {
        Slot slot;
        const double y = 1 - 2 * (i + 0.5) / slots;
        const double r = std::sqrt(std::max(0.0, 1 - y * y));
        slot.x = float(std::cos(golden * i) * r);
        slot.y = float(y);
        slot.z = float(std::sin(golden * i) * r);
        m_slots.append(slot);
    }
    for (int i = 0; i < m_slots.size(); ++i)
        if (!putNext(i))
            m_slots.resize(i); // fewer distinct names than places
    m_cards.clear();
    m_cardImages.clear();
    update();
}

void NameWall::put(int slot, const QString& line) {
    Slot& s = m_slots[slot];
    if (!s.line.isNull() && m_slotOfLine.value(s.line, -1) == slot)
        m_slotOfLine.remove(s.line);
    s.line = line;
    // A name of a length no hall has (a line that is not a name at all) is shortened on the sphere.
    s.name = fieldsOf(hallText(line)).first;
    if (s.name.size() > kLongestName)
        s.name = s.name.left(kLongestName - 1) + QChar(0x2026);
    m_slotOfLine.insert(line, slot);
}

bool NameWall::putNext(int slot) {
    // Lines already on the sphere and blank lines are passed over; a bounded look, so a list of one
    // name repeated a million times does not hold up the wall.
    const qsizetype count = m_lines.size();
    for (int tries = 0; tries < 4 * kMaxSlots && count > 0; ++tries) {
        const QString& line = m_lines.at(m_cursor);
        m_cursor = (m_cursor + m_stride) % count;
        if (m_slotOfLine.contains(line) || fieldsOf(line).first.isEmpty())
            continue;
        put(slot, line);
        return true;
    }
    return false;
}

QStringList NameWall::sphereNames() const {
    QStringList names;
    for (const Slot& slot : m_slots)
        if (!slot.hidden)
            names << slot.name;
    return names;
}

void NameWall::setColors(const QColor& background, const QColor& text, const QColor& accent) {
    m_background = background;
    m_text = text;
    m_accent = accent;
    m_images.clear();
    m_largeText.clear();
    renderBackground();
    renderCards();
    update();
}

void NameWall::startRoll() {
    for (Slot& slot : m_slots)
        slot.hidden = false;
    m_cards.clear();
    m_cardImages.clear();
    m_phase = Phase::Rolling;
    m_phaseStart = m_lastFrame = now();
    m_timer.start();
    update();
}

void NameWall::light(const QStringList& lines) {
    if (m_phase != Phase::Rolling || m_slots.isEmpty())
        return;
    const double t = now();
    QRandomGenerator* random = QRandomGenerator::global();
    for (const QString& line : lines) {
        int slot = m_slotOfLine.value(line, -1);
        if (slot < 0) {
            if (fieldsOf(line).first.isEmpty())
                continue;
            // In the place of a name on the visible side that is not glowing.
            const int start = int(random->bounded(quint32(m_slots.size())));
            for (int k = 0; k < m_slots.size() && slot < 0; ++k) {
                const int i = (start + k) % int(m_slots.size());
                if (t - m_slots[i].litAt > kLitSeconds && project(m_slots[i], m_angle).depth > 0.35)
                    slot = i;
            }
            if (slot < 0)
                continue;
            put(slot, line);
        }
        m_slots[slot].litAt = t;
    }
}

void NameWall::reveal(const QStringList& winners) {
    m_speedAtReveal = m_phase == Phase::Rolling ? m_speed : 0;
    m_phase = Phase::Revealing;
    m_phaseStart = m_lastFrame = now();
    m_cards.clear();
    for (const QString& line : winners) {
        const auto [name, rest] = fieldsOf(hallText(line));
        m_cards.append({line, name, rest, {}});
    }
    layoutCards();
    renderCards();
    // Each card starts where its name is on the sphere (the name leaves the sphere), or small at the
    // centre when it is not on the visible side.
    m_cardFrom.clear();
    const QPointF c = sphereCentre();
    m_cardsArea = sphereRect();
    for (const Card& card : std::as_const(m_cards)) {
        QRectF from(c, QSizeF(card.rect.width() * 0.05, card.rect.height() * 0.05));
        from.moveCenter(c);
        const int slot = m_slotOfLine.value(card.line, -1);
        if (slot >= 0 && !m_slots[slot].hidden) {
            const Projected p = project(m_slots[slot], m_angle);
            if (p.depth > -0.2) {
                const double h = kNamePx * unit() * p.scale * 1.6;
                from = QRectF(0, 0, h * card.rect.width() / std::max(1, card.rect.height()), h);
                from.moveCenter(p.centre);
            }
            m_slots[slot].hidden = true;
        }
        m_cardFrom.append(from);
        m_cardsArea |= card.rect;
    }
    m_timer.start();
    update();
}

void NameWall::finish() {
    if (m_phase == Phase::Revealing)
        m_phase = Phase::Revealed;
    else if (m_phase == Phase::Rolling)
        m_phase = Phase::Idle;
    m_speed = 0;
    m_timer.stop();
    update();
}

void NameWall::stop() {
    m_timer.stop();
    m_phase = Phase::Idle;
    m_speed = 0;
    m_cards.clear();
    m_cardImages.clear();
    for (Slot& slot : m_slots) {
        slot.hidden = false;
        slot.litAt = -100;
    }
    update();
}

double NameWall::revealProgress() const {
    if (m_phase == Phase::Revealed)
        return 1;
    if (m_phase != Phase::Revealing)
        return 0;
    return std::clamp((now() - m_phaseStart) / kRevealSeconds, 0.0, 1.0);
}

void NameWall::frame() {
    const double t = now();
    const double dt = std::clamp(t - m_lastFrame, 0.0, 0.1);
    m_lastFrame = t;
    if (m_phase == Phase::Rolling)
        m_speed = kRollSpeed * std::min(1.0, (t - m_phaseStart) / kSpinUp);
    else if (m_phase == Phase::Revealing)
        m_speed = m_speedAtReveal * std::pow(std::max(0.0, 1 - revealProgress() / kHaltAt), 2);
    const double before = m_angle;
    m_angle = std::fmod(m_angle + m_speed * dt, 2 * kPi);

    // A name turning out of sight at the back makes room for the next one of the list.
    if (m_phase == Phase::Rolling && m_lines.size() > m_slots.size())
        for (int i = 0; i < m_slots.size(); ++i)
            if (project(m_slots[i], before).depth >= -0.6 && project(m_slots[i], m_angle).depth < -0.6)
                putNext(i);

    QRegion dirty(sphereRect());
    if (m_phase == Phase::Revealing)
        dirty |= m_cardsArea;
    update(dirty);
    if (m_phase == Phase::Revealing && revealProgress() >= 1) {
        m_phase = Phase::Revealed;
        m_timer.stop();
        Q_EMIT revealFinished();
    }
}

NameWall::Projected NameWall::project(const Slot& slot, double angle) const {
    // Turned about the upright axis, leaned towards the hall, seen in perspective.
    const double ca = std::cos(angle), sa = std::sin(angle);
    const double x = slot.x * ca + slot.z * sa;
    const double z0 = -slot.x * sa + slot.z * ca;
    const double ct = std::cos(kTilt), st = std::sin(kTilt);
    const double y = slot.y * ct - z0 * st;
    const double z = slot.y * st + z0 * ct;
    const double scale = kCamera / (kCamera - z);
    const double r = radius();
    const QPointF c = sphereCentre();
    return {QPointF(c.x() + x * r * scale, c.y() - y * r * scale), scale, z};
}

const QImage& NameWall::nameImage(const QString& name, int bucket, bool lit) {
    const QString key = QString::number(bucket * 2 + int(lit)) + QLatin1Char('|') + name;
    if (const QImage* known = m_images.object(key))
        return *known;
    const double ratio = devicePixelRatioF();
    const QFont font =
        bold(this->font(), int(std::lround(kNamePx * unit() * (kMinScale + bucket * kScaleStep))));
    const QFontMetrics metrics(font);
    const int pad = std::max(2, font.pixelSize() / 4);
    const QSize size(metrics.horizontalAdvance(name) + 2 * pad, metrics.height() + pad);
    auto* image = new QImage((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image->setDevicePixelRatio(ratio);
    image->fill(Qt::transparent);
    {
        QPainter painter(image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(font);
        if (lit) {
            QColor plate = m_accent;
            plate.setAlpha(120);
            painter.setPen(Qt::NoPen);
            painter.setBrush(plate);
            painter.drawRoundedRect(QRectF(QPointF(0, 0), size), pad, pad);
        }
        const QColor ink = lit ? mixed(m_text, Qt::white, 0.6) : m_text;
        if (font.pixelSize() > LargeText::kQtCachedPixels) {
            // The names share their characters (the family names above all): each glyph is filled
            // once, not once per name and size.
            const QPointF origin(pad, (size.height() - metrics.height()) / 2.0 + metrics.ascent());
            m_largeText.draw(painter, origin, name, font, ink);
        } else {
            painter.setPen(ink);
            painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, name);
        }
    }
    if (!m_images.insert(key, image, std::max<qsizetype>(1, image->sizeInBytes()))) {
        static const QImage none;
        return none;
    }
    return *m_images.object(key);
}

void NameWall::layoutCards() {
    m_cardImages.clear();
    const int n = int(m_cards.size());
    if (n == 0 || width() <= 0 || height() <= 0)
        return;
    // One size for every card of the draw: the largest at which all of them fit, in the rows and
    // columns that give the largest, inside a margin of 5% of the screen on each side.
    const QRect area =
        rect().marginsRemoved(QMargins(width() / 20, height() / 20, width() / 20, height() / 20));
    const double reference = 100;
    const QFontMetricsF nameMetrics(bold(font(), int(reference)));
    const QFontMetricsF restMetrics(bold(font(), int(reference * 0.42)));
    // The names set the width; the smaller second lines widen the cards up to twice the widest name
    // (beyond that a second line is shortened with an ellipsis, never the name).
    double widest = 0, widestRest = 0;
    bool anyRest = false;
    for (const Card& card : std::as_const(m_cards)) {
        widest = std::max(widest, nameMetrics.horizontalAdvance(card.name));
        if (!card.rest.isEmpty()) {
            anyRest = true;
            widestRest = std::max(widestRest, restMetrics.horizontalAdvance(card.rest));
        }
    }
    widest = std::max(widest, std::min(widestRest, 2 * widest));
    // Per pixel of the name's size: a card's width and height, and the gap between cards.
    const double perWidth = (widest * 1.04 + reference * 0.6) / reference;
    const double perHeight =
        (nameMetrics.height() + (anyRest ? restMetrics.height() : 0) + reference * 0.36) / reference;
    const double gap = 0.18;
    double best = 0;
    int bestColumns = 1;
    for (int columns = 1; columns <= n; ++columns) {
        const int rows = (n + columns - 1) / columns;
        const double size = std::min(area.width() / (columns * perWidth + (columns - 1) * gap),
                                     area.height() / (rows * perHeight + (rows - 1) * gap));
        if (size > best) {
            best = size;
            bestColumns = columns;
        }
    }
    const double size = std::min(best, 150 * unit());
    const int columns = bestColumns;
    const int rows = (n + columns - 1) / columns;
    // Whole pixels, so every card has the same size.
    const int cardWidth = int(size * perWidth), cardHeight = int(size * perHeight), space = int(size * gap);
    const int top = area.center().y() - (rows * cardHeight + (rows - 1) * space) / 2;
    for (int i = 0; i < n; ++i) {
        const int row = i / columns;
        const int inRow = row == rows - 1 ? n - row * columns : columns; // the last row is centred
        const int left = area.center().x() - (inRow * cardWidth + (inRow - 1) * space) / 2;
        m_cards[i].rect = QRect(left + (i % columns) * (cardWidth + space), top + row * (cardHeight + space),
                                cardWidth, cardHeight);
    }
}

void NameWall::renderCards() {
    m_cardImages.clear();
    if (m_cards.isEmpty())
        return;
    const double ratio = devicePixelRatioF();
    const QRect first = m_cards.first().rect;
    const bool anyRest =
        std::any_of(m_cards.begin(), m_cards.end(), [](const Card& c) { return !c.rest.isEmpty(); });
    // The name's size from the card's height (the layout's proportions), shrunk until every name
    // and every second line fits its card: a name is never cut.
    const double reference = 100;
    const double perHeight =
        (QFontMetricsF(bold(font(), int(reference))).height() +
         (anyRest ? QFontMetricsF(bold(font(), int(reference * 0.42))).height() : 0) + reference * 0.36) /
        reference;
    int namePx = int(first.height() / perHeight);
    QFont nameFont, restFont;
    for (;; namePx = namePx * 95 / 100) {
        nameFont = bold(font(), namePx);
        restFont = bold(font(), int(namePx * 0.42));
        const QFontMetrics nm(nameFont), rm(restFont);
        const int room = first.width() - int(namePx * 0.5);
        const bool fits = std::all_of(m_cards.begin(), m_cards.end(), [&](const Card& c) {
            return nm.horizontalAdvance(c.name) <= room &&
                   nm.height() + (anyRest ? rm.height() : 0) <= first.height();
        });
        if (fits || namePx <= 6)
            break;
    }
    const QFontMetrics nm(nameFont), rm(restFont);
    for (const Card& card : std::as_const(m_cards)) {
        QImage image((QSizeF(card.rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(QPointF(0, 0), card.rect.size());
        const double edge = std::max(2.0, namePx * 0.04);
        QColor plate = m_background.darker(220);
        plate.setAlpha(235);
        painter.setPen(QPen(m_accent, edge));
        painter.setBrush(plate);
        painter.drawRoundedRect(box.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2), namePx * 0.18,
                                namePx * 0.18);
        const int block = nm.height() + (anyRest ? rm.height() : 0);
        const int top = (card.rect.height() - block) / 2;
        painter.setFont(nameFont);
        painter.setPen(m_text);
        painter.drawText(QRect(0, top, card.rect.width(), nm.height()), Qt::AlignCenter, card.name);
        if (!card.rest.isEmpty()) {
            painter.setFont(restFont);
            painter.setPen(mixed(m_text, Qt::white, 0.5));
            const int room = card.rect.width() - int(namePx * 0.5);
            painter.drawText(QRect(0, top + nm.height(), card.rect.width(), rm.height()), Qt::AlignCenter,
                             rm.elidedText(card.rest, Qt::ElideRight, room));
        }
        painter.end();
        m_cardImages.append(image);
    }
}

void NameWall::renderBackground() {
    const double ratio = devicePixelRatioF();
    m_backgroundImage = QImage((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
    m_backgroundImage.setDevicePixelRatio(ratio);
    QPainter painter(&m_backgroundImage);
    const QPointF c = sphereCentre();
    const double far = std::hypot(width(), height()) / 2;
    QRadialGradient hall(c, std::max(1.0, far));
    hall.setColorAt(0, m_background.lighter(140));
    hall.setColorAt(0.45, m_background);
    hall.setColorAt(1, m_background.darker(190));
    painter.fillRect(rect(), hall);
    // A soft golden ring round the sphere.
    const double r = radius();
    QRadialGradient ring(c, std::max(1.0, r * 1.3));
    QColor glow = m_accent;
    glow.setAlpha(0);
    ring.setColorAt(0.72, glow);
    glow.setAlpha(70);
    ring.setColorAt(0.84, glow);
    glow.setAlpha(0);
    ring.setColorAt(1, glow);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), ring);
}

void NameWall::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // In strips: Qt's raster engine hands a copy of more than about 96 rows to its thread pool, and
    // waking the threads at every frame costs more than the copy.
    const double ratio = m_backgroundImage.devicePixelRatio();
    for (const QRect& r : event->region())
        for (int y = r.top(); y <= r.bottom(); y += kStrip) {
            const QRect strip(r.left(), y, r.width(), std::min(kStrip, r.bottom() + 1 - y));
            painter.drawImage(strip, m_backgroundImage,
                              QRectF(QPointF(strip.topLeft()) * ratio, QSizeF(strip.size()) * ratio));
        }

    const double t = now();
    const double progress = revealProgress();
    const double dim = m_cards.isEmpty() ? 1 : 1 - (1 - kDimmed) * smooth(progress / 0.6);
    const bool glowing = m_phase == Phase::Rolling || m_phase == Phase::Revealing;

    // Back to front.
    struct Item {
        double depth;
        int slot;
        Projected p;
    };
    std::vector<Item> items;
    items.reserve(m_slots.size());
    for (int i = 0; i < m_slots.size(); ++i)
        if (!m_slots[i].hidden) {
            const Projected p = project(m_slots[i], m_angle);
            items.push_back({p.depth, i, p});
        }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.depth < b.depth; });
    painter.save();
    painter.setClipRect(sphereRect());
    for (const Item& item : items) {
        const Slot& slot = m_slots[item.slot];
        const double lit = glowing ? std::max(0.0, 1 - (t - slot.litAt) / kLitSeconds) : 0;
        // A lit name grows in two steps, not smoothly: each step is one more image of the name, and
        // ten names are lit a tick.
        const double scale = item.p.scale * (1 + (lit > 0.4 ? kLitGrowth : lit > 0 ? kLitGrowth / 2 : 0));
        const int bucket = std::clamp(int(std::lround((scale - kMinScale) / kScaleStep)), 0, kBuckets - 1);
        const QImage& image = nameImage(slot.name, bucket, lit > 0);
        const double nearness = (item.depth + 1) / 2;
        double opacity = 0.16 + 0.84 * nearness * std::sqrt(nearness);
        if (lit > 0)
            opacity = std::max(opacity, 0.55 + 0.45 * lit);
        painter.setOpacity(opacity * dim);
        const QSizeF s = image.deviceIndependentSize();
        painter.drawImage(QPointF(std::round(item.p.centre.x() - s.width() / 2),
                                  std::round(item.p.centre.y() - s.height() / 2)),
                          image);
    }
    painter.restore();

    if (m_cardImages.size() != m_cards.size())
        return;
    const double flight = smooth((progress - 0.15) / 0.85);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, flight < 1);
    for (int i = 0; i < m_cards.size(); ++i) {
        const QRectF to = m_cards[i].rect;
        if (flight >= 1) {
            painter.setOpacity(1);
            painter.drawImage(to.topLeft(), m_cardImages[i]);
            continue;
        }
        const QRectF from = m_cardFrom.value(i, to);
        const QRectF at(from.topLeft() + (to.topLeft() - from.topLeft()) * flight,
                        from.size() + (to.size() - from.size()) * flight);
        painter.setOpacity(0.35 + 0.65 * flight);
        painter.drawImage(at, m_cardImages[i]);
    }
}

void NameWall::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_images.clear();
    renderBackground();
    if (!m_cards.isEmpty()) {
        layoutCards();
        renderCards();
        m_cardFrom.clear(); // a card in flight lands at once in its new place
        m_cardsArea = sphereRect();
        for (const Card& card : std::as_const(m_cards))
            m_cardsArea |= card.rect;
    }
    update();
}
