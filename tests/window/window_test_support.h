#pragma once

// Answers the real modal dialogs from the event loop, as a person would, and
// runs the event loop the way main() does until the program ends.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <optional>

// One handler for each modal dialog that comes up, in turn.
class ModalAnswers : public QObject
{
public:
    using Handler = std::function<void(QWidget *)>;

    explicit ModalAnswers(QList<Handler> handlers)
        : handlers_(std::move(handlers))
    {
        startTimer(10);
    }
    qsizetype answered() const { return next_; }

protected:
    void timerEvent(QTimerEvent *) override
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != current_ && next_ < handlers_.size()) {
            current_ = modal;
            handlers_[next_++](modal);
        }
    }

private:
    QList<Handler> handlers_;
    qsizetype next_ = 0;
    QPointer<QWidget> current_;
};

struct Message
{
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool plendorStyle = false; // caption "Plendor", plain text, no icon
};

inline ModalAnswers::Handler press(QMessageBox::StandardButton button, Message *seen)
{
    return [button, seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        *seen = {box->text(), box->standardButtons(), box->standardButton(box->defaultButton()),
                 box->windowTitle() == "Plendor" && box->textFormat() == Qt::PlainText
                         && box->icon() == QMessageBox::NoIcon};
        box->button(button)->click();
    };
}

// Types `path` into the Open dialog and accepts it, or cancels when empty.
inline ModalAnswers::Handler choose(const QString &path, QStringList *nameFilters = nullptr)
{
    return [path, nameFilters](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        if (nameFilters)
            *nameFilters = dialog->nameFilters();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        // Queued: a refused name brings up a box of its own, which must be
        // answerable from the timer that answered this one.
        QMetaObject::invokeMethod(
                dialog, [dialog] { static_cast<QDialog *>(dialog)->accept(); },
                Qt::QueuedConnection);
    };
}

// Does `start` from the event loop; returns the exit status once the
// program ends, or nothing when it has not ended within 5 seconds.
inline std::optional<int> runProgram(std::function<void()> start)
{
    bool ended = true;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&ended] {
        ended = false;
        QCoreApplication::exit(-1);
    });
    limit.start(5000);
    QTimer::singleShot(0, &limit, std::move(start));
    const int status = QApplication::exec();
    return ended ? std::optional<int>(status) : std::nullopt;
}
