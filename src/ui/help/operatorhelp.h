#pragma once

#include <QString>

class QWidget;

// The menu's "帮助": the help file lottery.chm of the event folder, opened by the desktop when it is
// there; otherwise the built-in help (how to prepare, run, correct, restore and carry an event) in a
// window of its own over parent.
namespace OperatorHelp {

void open(QWidget* parent);
// The built-in help as HTML.
QString builtInHtml();

} // namespace OperatorHelp
