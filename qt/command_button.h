#pragma once

#include <QPushButton>

namespace tovik {

// A push button that Enter activates as well as Space while it has the
// focus, as buttons do on the desktop this window was drawn for. Qt leaves
// Enter to default buttons, and this window has none.
class CommandButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace tovik
