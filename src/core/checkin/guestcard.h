#pragma once

#include <QString>
#include <QStringView>

// What the check-in shows of an entrant's line and what it asks for as proof. A line's columns
// (blank- or tab-separated) are read as: the phone number (a column of 7 to 15 digits), the name
// (the first other column) and the staff number (the next column holding a digit);
// the rest (a department, ...) is never shown anywhere. A guest sees only the masked name and the
// masked staff number ("张*三 A00**13").
struct GuestCard {
    QString name;
    QString staff;
    QString phone;

    static GuestCard of(QStringView line);

    // "张*三 A00**13": the masked name and staff number, never the phone or the rest.
    QString masked() const;
    // The name as the projector shows it: whole, or masked when names are hidden.
    QString shownName(bool hide) const;
    static QString maskName(const QString& name);
    static QString maskStaff(const QString& staff);

    // The proof a guest gives: with a phone number its last four digits, typed at the confirmation;
    // without one the lookup itself must hold both the name and the staff number.
    bool needsPhoneDigits() const { return phone.size() >= 4; }
    bool phoneDigitsMatch(const QString& typed) const;
    bool lookupProves(QStringView query) const;
};
