#include "tovik.h"

#include "channel_conversion.h"
#include "command_button.h"
#include "common_dialog.h"
#include "failure_message.h"
#include "message_box.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include <cstdlib>

namespace tovik {

namespace {

// Where a face is missing, as Arial and MS Sans Serif usually are on Linux,
// Liberation Sans: Arial's metric twin, so the captions keep the widths they
// were laid out for, and of the faces the package depends on the nearest to
// MS Sans Serif. Left to the font matcher, the notice would get whatever sans
// the desktop prefers.
QFont face(const QString &family, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setFamilies({family, QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(weight);
    return font;
}

} // namespace

Tovik::Tovik(QWidget *parent)
    : QMainWindow(parent)
    , CommonDialog1(new CommonDialog(this))
{
    setObjectName(QStringLiteral("Tovik"));
    setWindowTitle(QStringLiteral("Tovik"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tovik.svg")));
    setFont(face(QStringLiteral("Arial")));
    CommonDialog1->setObjectName(QStringLiteral("CommonDialog1"));

    QMenu *fileSelect = menuBar()->addMenu(QStringLiteral("File"));
    fileSelect->setObjectName(QStringLiteral("FileSelect"));
    takeMenuColour(fileSelect->palette());
    fileSelect->installEventFilter(this);
    QAction *fileOpen = fileSelect->addAction(QStringLiteral("Open File for converting"));
    fileOpen->setObjectName(QStringLiteral("FileOpen"));
    fileSelect->addSeparator()->setObjectName(QStringLiteral("Line"));
    QAction *exit = fileSelect->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("Exit"));

    // The client area below the menu bar; the window keeps to its size.
    auto *client = new QWidget;
    client->setFixedSize(twipsSize(5280, 1515));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Where the layout puts it; a window manager may still place it itself.
    move(twipsPoint(6780, 4815));

    auto *copyright = new QLabel(QStringLiteral("Copyright \u00A9 2026 Plendor"), client);
    copyright->setObjectName(QStringLiteral("Copyright"));
    copyright->setGeometry(twipsRect(360, 1080, 4695, 255));
    copyright->setFont(face(QStringLiteral("MS Sans Serif")));
    copyright->setTextFormat(Qt::PlainText);
    copyright->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    copyright->setBackgroundRole(QPalette::Window);
    copyright->setForegroundRole(QPalette::WindowText);
    copyright->setAutoFillBackground(true);

    // In tab order: the focus starts on the first control that takes it.
    auto *end = new CommandButton(QStringLiteral("EXIT"), client);
    end->setObjectName(QStringLiteral("End"));
    end->setGeometry(twipsRect(3480, 120, 1335, 615));
    end->setFont(face(QStringLiteral("Arial"), QFont::Bold));

    auto *convert = new CommandButton(QStringLiteral("CONVERT"), client);
    convert->setObjectName(QStringLiteral("Convert"));
    convert->setGeometry(twipsRect(480, 120, 2655, 615));
    convert->setFont(face(QStringLiteral("Arial"), QFont::Bold));

    setTabOrder(end, convert);

    connect(fileOpen, &QAction::triggered, this, &Tovik::FileOpen_Click);
    connect(exit, &QAction::triggered, this, &Tovik::Exit_Click);
    connect(convert, &QPushButton::clicked, this, &Tovik::Convert_Click);
    connect(end, &QPushButton::clicked, this, &Tovik::End_Click);
}

void Tovik::FileOpen_Click()
{
    CommonDialog1->setFilter(QStringLiteral("Text file (*.txt)|*.txt|"));
    CommonDialog1->showOpen();
}

void Tovik::Convert_Click()
{
    const QString fileName = CommonDialog1->fileName();
    if (fileName.isEmpty()) {
        messageBox(this, QStringLiteral("Select File for converting"));
        return;
    }

    const std::string path = QFile::encodeName(fileName).toStdString();
    if (const auto failure = ConvertToChannels(path)) {
        messageBox(this, QString::fromLocal8Bit(failureMessage(*failure, path)));
        endProgram(EXIT_FAILURE);
        return;
    }

    messageBox(this, QStringLiteral("  Converted text saved in CH1.txt and CH2.txt   "));
    endProgram(EXIT_SUCCESS);
}

void Tovik::End_Click()
{
    endProgram(EXIT_SUCCESS);
}

void Tovik::Exit_Click()
{
    if (messageBox(this, QStringLiteral("        Do you want to finish?"),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes) {
        endProgram(EXIT_SUCCESS);
    }
}

bool Tovik::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        takeMenuColour(static_cast<QWidget *>(watched)->palette());
    return QMainWindow::eventFilter(watched, event);
}

// Qt has no role for the menu colour itself: the File menu is drawn in it
// where the desktop has one, and in the window colour otherwise. A desktop
// switching between light and dark sets the application's colours first and
// the menu's after them, so the window takes the colour from the menu itself,
// whenever the menu's colours change.
void Tovik::takeMenuColour(const QPalette &menu)
{
    QPalette background = palette();
    background.setColor(QPalette::Window, menu.color(QPalette::Window));
    setPalette(background);
}

void Tovik::endProgram(int status)
{
    // Closing the last window quits with status 0 of its own accord, which
    // would overwrite the status given here.
    setAttribute(Qt::WA_QuitOnClose, false);
    close();
    QCoreApplication::exit(status);
}

} // namespace tovik
