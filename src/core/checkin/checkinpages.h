#pragma once

#include "guestcard.h"

#include <QByteArray>
#include <QString>

// The pages the phones see, made from the page of the resources (:/checkin/page.html, everything
// inline: no font, script or style from anywhere else). Every text that comes from a person (the
// event's title, an entrant, what was typed) is escaped.
namespace CheckinPages {

enum class View {
    Form,        // type a name or a staff number
    Confirm,     // one entrant holds it: "请确认：张*三 A00**13", the proof asked for and the button
    Many,        // several entrants hold it: add a staff number or department (never how many)
    None,        // nobody holds it: see the organisers' desk
    WrongProof,  // the proof is not a field of the line the hall never sees
    Held,        // too many wrong proofs for this guest from here: the desk
    AtDesk,      // nothing on the line to prove it: waiting for the desk (the page reloads itself)
    Refused,     // the desk did not confirm it
    CheckedIn,   // "签到成功", on disk
    Already,     // "已签到"
    OtherPerson, // this phone has checked somebody else in
    Limited,     // too many tries from this phone (or from everybody at once)
    Busy,        // the check-in is not on disk yet: try again
    Failed,      // the file cannot be written
    Invalid,     // what was typed cannot be read
};

struct Page {
    View view = View::Form;
    QString event; // the event's title
    QString query; // what was typed
    QString shown; // Confirm, WrongProof, CheckedIn, Already, OtherPerson: the masked entrant
    QString token; // Confirm, WrongProof: names the entrant confirmed, without telling who it is
    GuestCard::Proof proof = GuestCard::Proof::None; // Confirm, WrongProof: what to ask for
};

// How often a page waiting for the desk reloads itself, in seconds.
constexpr int kWaitingRefreshSeconds = 4;
// The page as UTF-8 HTML.
QByteArray html(const Page& page);
// Text made safe inside HTML, text and attribute values alike.
QString escape(QStringView text);

} // namespace CheckinPages
