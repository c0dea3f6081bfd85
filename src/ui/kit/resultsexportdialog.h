#pragma once

#include "resultsexport.h"

class QWidget;

namespace ResultsExport {

// The export as the menus run it: a save dialog (xlsx or csv), the file, then the information box with
// the count, or the error box. Nothing is asked while the list holds no result. Every box belongs to
// owner (when given), so none opens under an always-on-top window.
void run(const WinnerLists& lists, QWidget* owner = nullptr);

} // namespace ResultsExport
