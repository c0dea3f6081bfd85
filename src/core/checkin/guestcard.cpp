#include "guestcard.h"

#include <QRegularExpression>

namespace {
QStringList columns(QStringView line) {
    static const QRegularExpression blanks(QStringLiteral("[\\s\\x{3000}]+"));
    return line.toString().split(blanks, Qt::SkipEmptyParts);
}

bool allDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

bool hasDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// Constant time over the four digits: a wrong guess says nothing about how close it came.
bool sameText(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    unsigned diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= a.at(i).unicode() ^ b.at(i).unicode();
    return diff == 0;
}
} // namespace

GuestCard GuestCard::of(QStringView line) {
    GuestCard card;
    for (const QString& column : columns(line)) {
        if (card.phone.isEmpty() && allDigits(column) && column.size() >= 7 && column.size() <= 15)
            card.phone = column;
        else if (card.name.isEmpty())
            card.name = column;
        else if (card.staff.isEmpty() && hasDigit(column))
            card.staff = column;
    }
    return card;
}

QString GuestCard::maskName(const QString& name) {
    const QList<uint> points = name.toUcs4();
    if (points.size() <= 1)
        return name;
    const auto text = [](uint point) {
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(&point), 1);
    };
    if (points.size() == 2)
        return text(points.first()) + u'*';
    return text(points.first()) + QString(points.size() - 2, u'*') + text(points.last());
}

QString GuestCard::maskStaff(const QString& staff) {
    // At most five characters shown, always two stars: the stars do not tell the length.
    const qsizetype hidden = std::max<qsizetype>(2, staff.size() - 5);
    const qsizetype shown = std::max<qsizetype>(0, staff.size() - hidden);
    const qsizetype tail = shown / 2;
    return staff.left(shown - tail) + QStringLiteral("**") + staff.right(tail);
}

QString GuestCard::masked() const {
    QStringList parts;
    if (!name.isEmpty())
        parts << maskName(name);
    if (!staff.isEmpty())
        parts << maskStaff(staff);
    return parts.isEmpty() ? QStringLiteral("**") : parts.join(u' ');
}

QString GuestCard::shownName(bool hide) const {
    const QString shown = name.isEmpty() ? staff : name;
    return hide ? (name.isEmpty() ? maskStaff(staff) : maskName(name)) : shown;
}

bool GuestCard::phoneDigitsMatch(const QString& typed) const {
    return needsPhoneDigits() && sameText(typed, phone.right(4));
}

bool GuestCard::lookupProves(QStringView query) const {
    const QStringList typed = columns(query);
    const auto holds = [&](const QString& column) {
        return column.isEmpty() || typed.contains(column, Qt::CaseInsensitive);
    };
    return !(name.isEmpty() && staff.isEmpty()) && holds(name) && holds(staff);
}
