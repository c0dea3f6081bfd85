#pragma once

#include <QStringList>

// The markers a power-loss driver writes between its steps, to the descriptor named by FSREC_MARKER_FD,
// which the recorder keeps in order with the file calls. Without the variable nothing is written.
namespace DriverMarkers {

// Takes the descriptor from the environment (and makes sure it exists even without the recorder).
// False when it cannot.
bool open();
// One marker line: the fields separated by tabs. Ends the process when it cannot be written.
void mark(const QStringList& fields);

} // namespace DriverMarkers
