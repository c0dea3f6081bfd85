#pragma once

class QCoreApplication;

// Loads Qt's own texts in Chinese (the buttons of the message boxes, the file, colour and font
// dialogs) from the translations installed with Qt. False when they are not installed; the program
// then shows Qt's English texts beside its own Chinese ones.
bool installQtTranslations(QCoreApplication& app);
