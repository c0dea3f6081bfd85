#pragma once

#include <QString>
#include <QStringView>

// What the check-in shows of an entrant's line. A line's columns
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

    // What a guest is asked to type as proof, from the fields of the line the hall never sees: a
    // whole mobile number (11 digits, 1 first), an ID number (18 characters), or another field.
    enum class Proof { None, Mobile, IdNumber, Other };
    static Proof proofOf(const QStringList& secretFields);
};
