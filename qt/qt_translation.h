#pragma once

// Qt's own texts, the buttons of a message box and the file dialog, in the
// user's language, from the translations the system keeps for Qt, as every
// Qt program on the desktop loads them. None of Tovik's texts is Qt's: the
// window's never change, and the form words its failures itself.

class QCoreApplication;

namespace tovik {

void installQtTranslation(QCoreApplication &application);

} // namespace tovik
