#pragma once

// The program's only window, drawn with Qt Widgets from the shared layout:
// the twin of win32/tovik.h. The commands are TovikForm's; this window only
// draws, answers the form's three requests (the Open dialog, a message box,
// the end of the program), and follows the desktop's colours when they
// change.
//
// Ending the program hides the window and leaves the event loop with the
// exit status, so QApplication::exec() returns it and main() destroys the
// window on its way out.

#include "front_end.h"
#include "tovik_form.h"

#include <QMainWindow>

namespace tovik {

class Tovik : public QMainWindow, private FrontEnd
{
    Q_OBJECT

public:
    explicit Tovik(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::optional<std::string> showOpenDialog(const layout::FileFilter &filter) override;
    Answer showMessage(const std::string &text, Buttons buttons) override;
    void endProgram(int status) override;

    void takeMenuColour(const QPalette &menu);

    TovikForm form_;
};

} // namespace tovik
