// The Qt window, offscreen: its layout and colours, what its dialogs and
// message boxes show, and the keys its buttons take; and all of it once
// more for a Russian user (CMakeLists.txt), for whom Qt's own buttons and
// dialog speak Russian and the window's texts stay as they are. The commands' logic is
// the form's, tested there; the whole program is used through its window in
// convert-through-window, and seen as a screen reader sees it in
// check-accessibility.

#include "command_button.h"
#include "qt_translation.h"
#include "tovik.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <tuple>

// Qt's words in the user's language: the Open dialog's accept button, Yes and No.
const bool kRussian = QLocale().language() == QLocale::Russian;
const QString kOpen = kRussian ? "&Открыть" : "&Open";
const QString kYesNo = kRussian ? "[&Да* &Нет]" : "[&Yes* &No]";

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
        tovik::installQtTranslation(*qApp);
        setColours("#e0e0e0", "#f8f4ec");
    }

    void init()
    {
        window_ = std::make_unique<tovik::Tovik>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    // No dialog or box a test opened outlives it, nor the window.
    void cleanup()
    {
        window_.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

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
        QCOMPARE(window_->palette().color(QPalette::Window), QColor("#f8f4ec")); // the menus'
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

    // The Open dialog lists text files, and takes existing ones only.
    void openDialog()
    {
        QCOMPARE(shown("FileOpen"), kOpen + " Text file (*.txt) for existing files");
    }

    // Enter and keypad Enter press a button, as Space does.
    void keys()
    {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            tovik::CommandButton button("button");
            QSignalSpy clicks(&button, &QPushButton::clicked);
            QTest::keyClick(&button, key);
            QCOMPARE(clicks.count(), 1);
        }
    }

    // A message is a plain box captioned Plendor, with no icon, Yes the default where there
    // is a choice. Yes ends the program with status 0.
    void exitBox()
    {
        QString seen;
        QObject run; // its timers end with it
        QTimer::singleShot(0, &run, [&] { seen = shown("Exit", QMessageBox::Yes); });
        QTimer::singleShot(5000, &run, [] { QCoreApplication::exit(-2); }); // never ended
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(seen, "Plendor:         Do you want to finish? " + kYesNo);
        QVERIFY(!window_->isVisible());
    }

private:
    // Activates the control named, and notes the dialog it brings up: a file
    // dialog's accept button, filter and mode, then cancelled; or a box's
    // caption, text and buttons, the default starred and "styled" for an
    // icon or rich text, then answered with `answer`.
    QString shown(const QString &control, QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        QString seen = "no dialog";
        QTimer::singleShot(0, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                seen = dialog->labelText(QFileDialog::Accept) + " "
                        + dialog->nameFilters().join(';')
                        + (dialog->fileMode() == QFileDialog::ExistingFile ? " for existing files"
                                                                           : "");
                dialog->reject();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen = box->windowTitle() + ": " + box->text() + " [";
                for (QAbstractButton *button : box->buttons())
                    seen += button->text() + QString(button == box->defaultButton() ? "* " : " ");
                seen.back() = u']';
                if (box->icon() != QMessageBox::NoIcon || box->textFormat() != Qt::PlainText)
                    seen += " styled";
                if (QAbstractButton *button = box->button(answer))
                    button->click();
                else
                    box->reject(); // no such button: what was seen says so
            }
        });
        if (auto *action = window_->findChild<QAction *>(control))
            action->trigger();
        else
            window_->findChild<QPushButton *>(control)->click();
        return seen;
    }

    std::unique_ptr<tovik::Tovik> window_;
};

QTEST_MAIN(TovikTest)
#include "tovik_test.moc"
