// The yardstick for the program's start-up: app/main.cpp with a bare
// QMainWindow in place of the program's window.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TOVIK_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));

    QMainWindow window;
    window.show();
    return QApplication::exec();
}
