#include "common_dialog.h"
#include "tovik.h"
#include "window_test_support.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

using tovik::CommonDialog;
using tovik::Tovik;

// The window with its real dialogs, each test in a fresh working directory,
// where the channel files would land.
class TovikTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void menu();
    void tabAndEscape();
    void keyPressesFocusedButton_data();
    void keyPressesFocusedButton();
    void nameFilters_data();
    void nameFilters();
    void convertWithoutChoice_data();
    void convertWithoutChoice();
    void missingFileIsNotChosen();
    void ending_data();
    void ending();
    void convert_data();
    void convert();

private:
    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return window_->findChild<T *>(name);
    }
    QStringList files() const { return QDir().entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }

    QString previousDirectory_;
    std::unique_ptr<QTemporaryDir> directory_;
    std::unique_ptr<Tovik> window_;
    QString input_;
};

void TovikTest::init()
{
    previousDirectory_ = QDir::currentPath();
    directory_ = std::make_unique<QTemporaryDir>();
    input_ = directory_->filePath("input/in.txt");
    QVERIFY(QDir(directory_->path()).mkdir("input"));
    QFile input(input_);
    QVERIFY(input.open(QIODevice::WriteOnly) && input.write("0123\r\n") == 6);
    QVERIFY(QDir::setCurrent(directory_->path()));
    window_ = std::make_unique<Tovik>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TovikTest::cleanup()
{
    window_.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QDir::setCurrent(previousDirectory_);
}

void TovikTest::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");

    QTest::newRow("notice") << "Copyright" << QRect(24, 72, 313, 17) << QString();
    QTest::newRow("EXIT") << "End" << QRect(232, 8, 89, 41) << "EXIT";
    QTest::newRow("CONVERT") << "Convert" << QRect(32, 8, 177, 41) << "CONVERT";
}

void TovikTest::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);

    QCOMPARE(window_->objectName(), "Tovik");
    QCOMPARE(window_->windowTitle(), "Tovik");
    QCOMPARE(window_->centralWidget()->size(), QSize(352, 101));
    QCOMPARE(window_->size(), QSize(352, window_->menuBar()->height() + 101));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(window_->windowIcon().availableSizes(),
             QList<QSize>({{16, 16}, {24, 24}, {32, 32}, {48, 48}}));

    auto *control = window_->findChild<QWidget *>(name);
    QCOMPARE(control->parentWidget(), window_->centralWidget());
    QCOMPARE(control->geometry(), geometry);
    const QString text = control->property("text").toString();
    QVERIFY(caption.isEmpty() ? !text.isEmpty() : text == caption);
    QCOMPARE(control->font().pointSizeF(), 8.25);
    QCOMPARE(control->font().bold(), name != "Copyright");
    if (auto *notice = qobject_cast<QLabel *>(control)) {
        QVERIFY(notice->fontMetrics().horizontalAdvance(text) <= notice->width());
        QVERIFY(notice->autoFillBackground() && !notice->wordWrap());
    } else {
        QVERIFY(!control->property("default").toBool()
                && !control->property("autoDefault").toBool());
    }
}

void TovikTest::menu()
{
    auto *fileSelect = child<QMenu>("FileSelect");
    QCOMPARE(window_->menuBar()->actions(), QList<QAction *>({fileSelect->menuAction()}));
    QCOMPARE(fileSelect->title(), "File");
    QStringList items;
    for (QAction *action : fileSelect->actions())
        items << action->objectName() + ':' + (action->isSeparator() ? "-" : action->text());
    QCOMPARE(items, QStringList({"FileOpen:Open File for converting", "Line:-", "Exit:Exit"}));
    for (QAction *action : window_->findChildren<QAction *>())
        QVERIFY(action->shortcuts().isEmpty() && action->isEnabled() && !action->isCheckable());
}

void TovikTest::tabAndEscape()
{
    QStringList focus = {QApplication::focusWidget()->objectName()};
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Escape}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        focus << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(focus, QStringList({"End", "Convert", "End", "Convert", "Convert"}));
    QVERIFY(window_->isVisible() && !QApplication::activeModalWidget());
}

void TovikTest::keyPressesFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Qt::Key>("key");
    for (const char *button : {"End", "Convert"}) {
        QTest::addRow("Enter on %s", button) << button << Qt::Key_Return;
        QTest::addRow("keypad Enter on %s", button) << button << Qt::Key_Enter;
        QTest::addRow("Space on %s", button) << button << Qt::Key_Space;
    }
}

void TovikTest::keyPressesFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(Qt::Key, key);

    QWidget *focused = child(qPrintable(button));
    focused->setFocus();
    if (button == "End") {
        QCOMPARE(runProgram([focused, key] { QTest::keyClick(focused, key); }), 0);
    } else {
        Message seen;
        ModalAnswers answers({press(QMessageBox::Ok, &seen)});
        QTest::keyClick(focused, key);
        QCOMPARE(seen.text, "Select File for converting");
    }
    QCOMPARE(window_->isVisible(), button == "Convert");
}

void TovikTest::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("nameFilters");
    QTest::newRow("the window's") << "Text file (*.txt)|*.txt|" << QStringList{"Text file (*.txt)"};
    QTest::newRow("no closing bar")
            << "Text file (*.txt)|*.txt" << QStringList{"Text file (*.txt)"};
    QTest::newRow("patterns added") << "Pictures|*.bmp;*.png|All (*.*)|*.*|"
                                    << QStringList{"Pictures (*.bmp *.png)", "All (*.*)"};
    QTest::newRow("no pattern") << "Text file|" << QStringList();
}

void TovikTest::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, nameFilters);
    auto *commonDialog = child<CommonDialog>("CommonDialog1");
    commonDialog->setProperty("Filter", filter);
    QCOMPARE(commonDialog->nameFilters(), nameFilters);
}

void TovikTest::convertWithoutChoice_data()
{
    QTest::addColumn<bool>("cancelDialogFirst");
    QTest::newRow("right after start") << false;
    QTest::newRow("after a cancelled Open dialog") << true;
}

void TovikTest::convertWithoutChoice()
{
    QFETCH(bool, cancelDialogFirst);

    QStringList nameFilters;
    Message seen;
    ModalAnswers answers(cancelDialogFirst
                                 ? QList{choose({}, &nameFilters), press(QMessageBox::Ok, &seen)}
                                 : QList{press(QMessageBox::Ok, &seen)});
    if (cancelDialogFirst) {
        child<QAction>("FileOpen")->trigger();
        QCOMPARE(nameFilters, QStringList{"Text file (*.txt)"});
    }
    child<QPushButton>("Convert")->click();
    QCOMPARE(seen.text, "Select File for converting");
    QCOMPARE(seen.buttons, QMessageBox::Ok);
    QVERIFY(seen.plendorStyle);
    QVERIFY(window_->isVisible());
    QCOMPARE(files(), QStringList{"input"});
}

void TovikTest::missingFileIsNotChosen()
{
    Message warning;
    ModalAnswers answers({choose(directory_->filePath("input/missing.txt")),
                          press(QMessageBox::Ok, &warning), choose({})});
    child<QAction>("FileOpen")->trigger();
    QCOMPARE(answers.answered(), 3);
    QVERIFY(child<CommonDialog>("CommonDialog1")->fileName().isEmpty());
}

void TovikTest::ending_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("ends");
    QTest::newRow("EXIT") << "End" << true;
    QTest::newRow("closing the window") << "close" << true;
    QTest::newRow("Exit answered Yes") << "Yes" << true;
    QTest::newRow("Exit answered No") << "No" << false;
}

// With a file chosen, and the choice kept through a cancelled Open dialog.
void TovikTest::ending()
{
    QFETCH(QString, command);
    QFETCH(bool, ends);
    const bool asks = command == "Yes" || command == "No";

    Message seen;
    const auto answer = command == "Yes" ? QMessageBox::Yes : QMessageBox::No;
    ModalAnswers answers({choose(input_), choose({}), press(answer, &seen)});
    child<QAction>("FileOpen")->trigger();
    child<QAction>("FileOpen")->trigger();
    const auto giveCommand = [&] {
        if (command == "End")
            child<QPushButton>("End")->click();
        else if (command == "close")
            window_->close();
        else
            child<QAction>("Exit")->trigger();
    };
    if (ends)
        QCOMPARE(runProgram(giveCommand), 0);
    else
        giveCommand();

    QCOMPARE(answers.answered(), asks ? 3 : 2);
    if (asks) {
        QCOMPARE(seen.text, "        Do you want to finish?");
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(seen.defaultButton, QMessageBox::Yes);
        QVERIFY(seen.plendorStyle);
    }
    QCOMPARE(window_->isVisible(), !ends);
    QCOMPARE(child<CommonDialog>("CommonDialog1")->fileName(), input_);
    QCOMPARE(QDir::currentPath(), directory_->path());
    QCOMPARE(files(), QStringList{"input"});
}

void TovikTest::convert_data()
{
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("converted") << true;
    QTest::newRow("input gone before converting") << false;
}

void TovikTest::convert()
{
    QFETCH(bool, succeeds);

    Message seen;
    ModalAnswers answers({choose(input_), press(QMessageBox::Ok, &seen)});
    const auto status = runProgram([this, succeeds] {
        child<QAction>("FileOpen")->trigger();
        if (!succeeds)
            QFile::remove(input_);
        child<QPushButton>("Convert")->click();
    });
    QVERIFY(status.has_value());
    QCOMPARE(*status == 0, succeeds);
    QVERIFY(seen.plendorStyle);
    QVERIFY(!window_->isVisible());
    if (succeeds) {
        QCOMPARE(seen.text, "  Converted text saved in CH1.txt and CH2.txt   ");
        QFile channel1("CH1.txt"), channel2("CH2.txt");
        QVERIFY(channel1.open(QIODevice::ReadOnly) && channel2.open(QIODevice::ReadOnly));
        QCOMPARE(channel1.readAll(), "0\r\n0\r\n1\r\n1\r\n");
        QCOMPARE(channel2.readAll(), "0\r\n1\r\n0\r\n1\r\n");
        QCOMPARE(files(), QStringList({"CH1.txt", "CH2.txt", "input"}));
    } else {
        QVERIFY2(seen.text.contains(input_) && seen.text.contains(std::strerror(ENOENT)),
                 qPrintable(seen.text));
        QCOMPARE(files(), QStringList{"input"});
    }
}

QTEST_MAIN(TovikTest)
#include "tovik_test.moc"
