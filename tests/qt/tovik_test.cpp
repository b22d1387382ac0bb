// The Qt window: its layout and colours, and its real dialogs and keys, in a
// fresh working directory where the channel files land. A timer answers the
// modal dialogs in turn, as a person would, and notes what they show. The
// commands' logic is the form's, tested there; the menu as a screen reader
// sees it is checked by check-accessibility.

#include "tovik.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <tuple>

constexpr int kStaysOpen = -1; // the status a row expects while the program still runs
const QColor kMenuColour("#f8f4ec");

// The application's colours, and the menus' after them, as a desktop sets them.
void setColours(const char *window, const char *menu, const char *text = "#101010")
{
    QPalette colours = QApplication::palette();
    colours.setColor(QPalette::Window, window);
    colours.setColor(QPalette::WindowText, text);
    QApplication::setPalette(colours);
    colours.setColor(QPalette::Window, menu);
    QApplication::setPalette(colours, "QMenu");
}

class TovikTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The offscreen platform says this of every window that sizes itself: noise, where
        // any other warning is news.
        static const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                    if (!message.contains("propagateSizeHints"))
                        previous(type, context, message);
                });
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        setColours("#e0e0e0", "#f8f4ec");
        startTimer(10);
    }

    void init()
    {
        QVERIFY(QDir::setCurrent(directory_.path()));
        QFile input("in.txt");
        QVERIFY(input.open(QIODevice::WriteOnly) && input.write("0123") == 4);
        seen_.clear();
        window_ = std::make_unique<tovik::Tovik>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanup() { window_.reset(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("notice") << "Copyright" << QRect(24, 72, 313, 17) << QString();
        QTest::newRow("EXIT") << "End" << QRect(232, 8, 89, 41) << "EXIT";
        QTest::newRow("CONVERT") << "Convert" << QRect(32, 8, 177, 41) << "CONVERT";
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QCOMPARE(window_->windowTitle(), "Tovik");
        QCOMPARE(window_->palette().color(QPalette::Window), kMenuColour);
        QCOMPARE(window_->centralWidget()->size(), QSize(352, 101));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        // The icon drawn crisp for the largest desktop icon at double scale.
        QCOMPARE(window_->windowIcon().pixmap(QSize(256, 256), 2.0).size(), QSize(512, 512));

        auto *control = window_->findChild<QWidget *>(name);
        QCOMPARE(control->geometry(), geometry);
        const QString text = control->property("text").toString();
        QVERIFY(caption.isEmpty() ? !text.isEmpty() : text == caption);
        QVERIFY(control->fontMetrics().horizontalAdvance(text) <= control->width());
        QCOMPARE(control->font().pointSizeF(), 8.25);
        QCOMPARE(control->font().bold(), !caption.isEmpty());
        // Arial and MS Sans Serif are missing here; the face the package depends on stands in.
        QCOMPARE(QFontInfo(control->font()).family(), "Liberation Sans");
    }

    void colours()
    {
        const auto restore = qScopeGuard([] { setColours("#e0e0e0", "#f8f4ec"); });
        const QPoint clientArea = window_->centralWidget()->geometry().topLeft() + QPoint(4, 4);
        auto *notice = window_->findChild<QLabel *>("Copyright");
        // Switching dark and back, the window takes the menus' colour.
        for (const auto &[window, menu, text] : {std::tuple("#303030", "#202028", "#f0f0f0"),
                                                 std::tuple("#e0e0e0", "#f8f4ec", "#101010")}) {
            setColours(window, menu, text);
            QTRY_COMPARE(window_->grab().toImage().pixelColor(clientArea), QColor(menu));
            QCOMPARE(notice->palette().color(notice->foregroundRole()), QColor(text));
        }
        // The notice paints its own background, rather than letting the window's show through.
        QPalette own = notice->palette();
        own.setColor(QPalette::Window, Qt::magenta);
        notice->setPalette(own);
        const QPoint inside = notice->mapTo(window_.get(), QPoint(1, 1));
        QCOMPARE(window_->grab().toImage().pixelColor(inside), QColor(Qt::magenta));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("steps"); // controls activated or keys pressed, in turn
        QTest::addColumn<QStringList>("answers"); // a path typed, "" to cancel, or a button
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("seen");
        const QString open = "Open Text file (*.txt)";
        const QString noChoice = "Plendor: Select File for converting [Ok]";
        // Keypad Enter, as Enter and Space, presses the button with the focus: not EXIT,
        // where it starts. Keys at large are the end-to-end test's.
        QTest::newRow("Tab, keypad Enter") << QStringList{"Tab", "Enter"} << QStringList{"Ok"}
                                           << kStaysOpen << QStringList{noChoice};
        QTest::newRow("a missing name, refused by the dialog itself")
                << QStringList{"FileOpen", "Convert"} << QStringList{"missing.txt", "Ok", "", "Ok"}
                << kStaysOpen << QStringList{open, open, noChoice};
        QTest::newRow("Exit, Yes")
                << QStringList{"Exit"} << QStringList{"Yes"} << 0
                << QStringList{"Plendor:         Do you want to finish? [Yes* No]"};
    }

    void commands()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, answers);
        QFETCH(int, status);
        QFETCH(QStringList, seen);

        answers_ = answers;
        QObject run; // ends with the row, and its timers with it
        QTimer::singleShot(5000, &run, [] { QCoreApplication::exit(-2); });
        QTimer::singleShot(0, &run, [this, steps] {
            for (const QString &step : steps)
                give(step);
            if (window_->isVisible())
                QCoreApplication::exit(kStaysOpen);
        });
        QCOMPARE(QApplication::exec(), status);
        QCOMPARE(seen_, seen);
        QVERIFY(answers_.isEmpty());
    }

protected:
    // Notes the modal dialog on top, once: the file dialog's filter, or the
    // box's caption, text and buttons, the default starred, "styled" for an
    // icon or rich text; then answers it.
    void timerEvent(QTimerEvent *) override
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == current_)
            return;
        current_ = modal;
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        auto *box = qobject_cast<QMessageBox *>(modal);
        static const QMetaEnum names = QMetaEnum::fromType<QMessageBox::StandardButtons>();
        if (dialog)
            seen_ << "Open " + dialog->nameFilters().join(';');
        if (box && box->parentWidget() == window_.get()) { // not the file dialog's own
            QString line = box->windowTitle() + ": " + box->text() + " [";
            for (QAbstractButton *button : box->buttons())
                line += names.valueToKey(box->standardButton(button))
                        + QString(button == box->defaultButton() ? "* " : " ");
            line.back() = u']';
            if (box->icon() != QMessageBox::NoIcon || box->textFormat() != Qt::PlainText)
                line += " styled";
            seen_ << line;
        }
        if (answers_.isEmpty())
            return; // left open, for the row to fail on
        const QString answer = answers_.takeFirst();
        if (box) {
            box->button(QMessageBox::StandardButton(names.keyToValue(qPrintable(answer))))->click();
        } else if (answer.isEmpty()) {
            dialog->reject();
        } else {
            dialog->findChild<QLineEdit *>("fileNameEdit")
                    ->setText(QDir::current().absoluteFilePath(answer));
            // Queued: a refused name brings up a box for this timer to answer.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
    }

private:
    // A step: a control's name, or else keys.
    void give(const QString &step)
    {
        QVERIFY(window_->isVisible()); // the program has not ended before this step
        if (auto *action = window_->findChild<QAction *>(step))
            action->trigger();
        else if (auto *button = window_->findChild<QPushButton *>(step))
            button->click();
        else
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(step));
    }

    QTemporaryDir directory_;
    std::unique_ptr<tovik::Tovik> window_;
    QStringList answers_;
    QStringList seen_;
    QPointer<QWidget> current_;
};

QTEST_MAIN(TovikTest)
#include "tovik_test.moc"
