#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The pages the phones see, made from the page of the resources (:/checkin/page.html, everything
// inline: no font, script or style from anywhere else). Every text that comes from a person (the
// event's title, an entrant, what was typed) is escaped.
namespace CheckinPages {

enum class View {
    Form,        // type a staff number, phone or name
    Confirm,     // one entrant holds it: "请确认：…" and the confirm button
    Many,        // several entrants hold it: type more
    None,        // nobody holds it: see the organisers' desk
    CheckedIn,   // "签到成功", on disk
    Already,     // "已签到" with the time
    OtherPerson, // this phone has checked somebody else in
    Busy,        // the check-in is not on disk yet: try again
    Failed,      // the file cannot be written
    Invalid,     // what was typed cannot be read
};

struct Page {
    View view = View::Form;
    QString event;   // the event's title
    QString query;   // what was typed
    QString entrant; // Confirm, CheckedIn, Already, OtherPerson
    QDateTime at;    // CheckedIn, Already, OtherPerson
    int count = 0;   // Many
};

// The page as UTF-8 HTML.
QByteArray html(const Page& page);
// Text made safe inside HTML, text and attribute values alike.
QString escape(QStringView text);

} // namespace CheckinPages
