#pragma once

// The program's only window. Its four command procedures, each named after
// its control and event, are the only entries into the program's own logic;
// each returns to the event loop unless it ends the program. The window
// itself runs no code of its own until the user gives a command, except to
// follow the desktop's colours when they change.
//
// Ending the program hides the window and leaves the event loop with the
// exit status, so QApplication::exec() returns it and main() destroys the
// window on its way out.

#include <QMainWindow>

namespace tovik {

class CommonDialog;

class Tovik : public QMainWindow
{
    Q_OBJECT

public:
    explicit Tovik(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FileOpen_Click();
    void Convert_Click();
    void End_Click();
    void Exit_Click();

    void endProgram(int status);
    void takeMenuColour(const QPalette &menu);

    CommonDialog *CommonDialog1;
};

} // namespace tovik
