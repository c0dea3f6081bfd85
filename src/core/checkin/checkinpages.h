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

// What a phone is shown of the verifiable draw while the mode is on: what the stage showed before the
// first roll, the hall's number once it is in, the seed once revealed (docs/verifiable-draw.md).
struct Verify {
    bool on = false;
    QString commitment, listHash, prizesHash;
    QString hall; // empty until it is in
    QString seed; // empty until the reveal; then the proof can be downloaded
};

struct Page {
    View view = View::Form;
    QString event; // the event's title
    QString query; // what was typed
    QString shown; // Confirm, WrongProof, CheckedIn, Already, OtherPerson: the masked entrant
    QString token; // Confirm, WrongProof: names the entrant confirmed, without telling who it is
    GuestCard::Proof proof = GuestCard::Proof::None; // Confirm, WrongProof: what to ask for
    Verify verify;                                   // shown under every view while the mode is on
};

// How often a page waiting for the desk reloads itself, in seconds.
constexpr int kWaitingRefreshSeconds = 4;
// The page as UTF-8 HTML.
QByteArray html(const Page& page);
// The verifier page a guest saves (:/checkin/verifier.html): one document with its own SHA-256 and the
// check of a proof file, made to be opened later from the disk without any network. It carries the
// commitment (and the hall's number) of the event it was saved at, to hold the proof against.
QByteArray verifierHtml(const QString& commitment, const QString& hall);
// The verifier page's script as its security policy names it: 'sha256-<base64>'.
QByteArray verifierScriptSource();
// Text made safe inside HTML, text and attribute values alike.
QString escape(QStringView text);

} // namespace CheckinPages
