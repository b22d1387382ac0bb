// Linked into the start-up probes, next to a program's own main(): the
// moment the first window has been exposed, and so painted, it writes one
// byte to standard output for startup_bench to time, and ends the program.
// Qt runs the hook as the application object is built, so main() itself
// stays exactly as it is.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

namespace {

class ExposeReporter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (reported_ || event->type() != QEvent::Expose || !qobject_cast<QWindow *>(watched))
            return false;
        reported_ = true;
        // Queued behind the expose handling, which paints the window.
        QTimer::singleShot(0, this, [] {
            const ssize_t written = ::write(STDOUT_FILENO, "s", 1);
            QCoreApplication::exit(written == 1 ? 0 : 1);
        });
        return false;
    }

private:
    bool reported_ = false;
};

void installExposeReporter()
{
    QCoreApplication::instance()->installEventFilter(
            new ExposeReporter(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installExposeReporter)
