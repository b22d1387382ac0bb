#include "tovik.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TOVIK_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));

    tovik::Tovik window;
    window.show();
    return QApplication::exec();
}
