// The yardsticks for the program's start-up: qt/main.cpp with a bare
// QMainWindow in place of the program's window and, built WITH_TEXT, the
// same window showing one line of text. The first text shown pays for
// fontconfig reading its configuration, which no window with words escapes.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TOVIK_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));

    QMainWindow window;
#ifdef WITH_TEXT
    window.setCentralWidget(new QLabel(QStringLiteral("Tovik")));
#endif
    window.show();
    return QApplication::exec();
}
