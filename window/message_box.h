#pragma once

#include <QMessageBox>

namespace tovik {

// Every message of the program goes through here: the text shown exactly as
// written, spaces and all, under the caption "Plendor" and with no icon.
// Waits until the user closes the box and returns the button pressed.
QMessageBox::StandardButton messageBox(QWidget *parent, const QString &text,
                                       QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                       QMessageBox::StandardButton defaultButton
                                       = QMessageBox::NoButton);

} // namespace tovik
