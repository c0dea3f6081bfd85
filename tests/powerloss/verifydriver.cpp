// The verifiable draw through a scripted event, for the power-loss explorer:
//
//   verifydriver <folder>
//
// The event (without windows, as the program's core runs it) switches the verifiable draw on, takes
// the hall's number, draws twice, cancels a winner, makes a supplementary draw and reveals the seed.
// Markers (tests/powerloss/markers.h), one after each step returned:
//   ON <commitment>          the commitment is shown
//   HALL <number>            the hall's number is shown
//   ANNOUNCED <entry> <winner>…   a draw's winners are shown (entry: its journal entry's number)
//   CANCELLED <winner>       a cancel returned
//   SUPPLEMENTED <winner>    a supplementary draw's winner is shown
//   REVEALED <seed>          the seed is shown
// Ends with 0 when every step went as scripted, else 1 (the reason on standard error).
#include "apppaths.h"
#include "eventfixture.h"
#include "markers.h"
#include "scripteddialogs.h"
#include "verifiabledraw.h"
#include "winnerlists.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
using DriverMarkers::mark;

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "verifydriver: %s\n", qPrintable(why));
    std::exit(1);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || !DriverMarkers::open())
        return 2;
    AppPaths::setFolder(args.at(1));
    ScriptedDialogs dialogs;
    EventFixture f;
    VerifiableDraw& verify = f.event.verify();
    if (!f.event.switchVerifiableOn().isEmpty())
        fail(QStringLiteral("not switched on: ") + dialogs.texts().join(u'|'));
    mark({QStringLiteral("ON"), verify.commitment()});
    if (!verify.setHallNumber(QStringLiteral("2718")).isEmpty())
        fail(QStringLiteral("no hall's number"));
    mark({QStringLiteral("HALL"), verify.hallNumber()});
    for (int i = 0; i < 2; ++i) {
        const QStringList winners = f.draw();
        if (winners.isEmpty())
            fail(QStringLiteral("a draw drew nobody: ") + dialogs.texts().join(u'|'));
        mark(QStringList{QStringLiteral("ANNOUNCED"), QString::number(verify.journal().count())} + winners);
    }
    if (!f.session.cancelLine(1).isEmpty())
        fail(QStringLiteral("the cancel was refused"));
    mark({QStringLiteral("CANCELLED"), f.event.lists().nameAt(1)});
    if (!f.session.openSupplementary().isEmpty() || !f.session.toggleSupplementary().isEmpty() ||
        !f.session.toggleSupplementary().isEmpty())
        fail(QStringLiteral("no supplementary draw"));
    f.session.finishReveal();
    mark({QStringLiteral("SUPPLEMENTED"),
          f.event.lists().nameAt(static_cast<int>(f.event.lists().all().size()) - 1)});
    if (!verify.reveal().isEmpty())
        fail(QStringLiteral("no reveal"));
    mark({QStringLiteral("REVEALED"), verify.revealedSeed()});
    return 0;
}
