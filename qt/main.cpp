#include "qt_translation.h"
#include "tovik.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TOVIK_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));
    // Wayland desktops find the launcher, and with it the icon, by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral(TOVIK_DESKTOP_ID));
    tovik::installQtTranslation(app);

    tovik::Tovik window;
    window.show();
    return QApplication::exec();
}
