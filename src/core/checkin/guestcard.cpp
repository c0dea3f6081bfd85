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

GuestCard::Proof GuestCard::proofOf(const QStringList& secretFields) {
    static const QRegularExpression mobile(QStringLiteral("^1[0-9]{10}$"));
    static const QRegularExpression id(QStringLiteral("^[0-9]{17}[0-9Xx]$"));
    if (secretFields.isEmpty())
        return Proof::None;
    if (std::any_of(secretFields.begin(), secretFields.end(),
                    [](const QString& f) { return mobile.match(f).hasMatch(); }))
        return Proof::Mobile;
    if (std::any_of(secretFields.begin(), secretFields.end(),
                    [](const QString& f) { return id.match(f).hasMatch(); }))
        return Proof::IdNumber;
    return Proof::Other;
}
