#include "tovik.h"

#include "command_button.h"
#include "twips.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace tovik {

namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QRect pixels(const layout::Rect &rect)
{
    return QRect(pixelsAt(rect.left), pixelsAt(rect.top), pixelsAt(rect.width),
                 pixelsAt(rect.height));
}

// Where a face is missing, as Arial and MS Sans Serif usually are on Linux,
// Liberation Sans: Arial's metric twin, so the captions keep the widths they
// were laid out for, and of the faces the package depends on the nearest to
// MS Sans Serif. Left to the font matcher, the notice would get whatever sans
// the desktop prefers.
QFont fontOf(const layout::Font &face)
{
    QFont font;
    font.setFamilies({text(face.face), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(face.points);
    font.setWeight(QFont::Weight(face.weight));
    return font;
}

} // namespace

Tovik::Tovik(QWidget *parent)
    : QMainWindow(parent)
    , form_(*this)
{
    setObjectName(text(layout::kWindowName));
    setWindowTitle(text(layout::kWindowCaption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tovik.svg")));
    setFont(fontOf(layout::kWindowFont));

    QMenu *fileSelect = menuBar()->addMenu(text(layout::kFileMenu.caption));
    fileSelect->setObjectName(text(layout::kFileMenu.name));
    // The menu gets its colours, and each change of them, as palette changes.
    fileSelect->installEventFilter(this);
    for (const layout::MenuItem &item : layout::kFileMenuItems) {
        QAction *action = item.caption == "-" ? fileSelect->addSeparator()
                                              : fileSelect->addAction(text(item.caption));
        action->setObjectName(text(item.name));
        connect(action, &QAction::triggered, this, [this, item] { form_.click(item.id); });
    }

    // The client area below the menu bar; the window keeps to its size.
    const QRect client = pixels(layout::kClientArea);
    auto *area = new QWidget;
    area->setFixedSize(client.size());
    setCentralWidget(area);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Where the layout puts it; a window manager may still place it itself.
    move(client.topLeft());

    // Created in tab order, so the focus starts on the first that takes it.
    for (const layout::Control &control : layout::kControls) {
        QWidget *widget;
        if (control.kind == layout::Kind::Label) {
            auto *label = new QLabel(text(control.caption), area);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            label->setAutoFillBackground(true); // opaque, in the window's colour
            widget = label;
        } else {
            auto *button = new CommandButton(text(control.caption), area);
            connect(button, &QPushButton::clicked, this,
                    [this, control] { form_.click(control.id); });
            widget = button;
        }
        widget->setObjectName(text(control.name));
        widget->setGeometry(pixels(control.rect));
        widget->setFont(fontOf(control.font));
    }
}

std::optional<std::string> Tovik::showOpenDialog(const layout::FileFilter &filter)
{
    // Qt lists the files matching the patterns in the description's brackets.
    static_assert(layout::kOpenFilter.description.ends_with("(*.txt)"));
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    // Existing files only: a mistyped name is caught here, not by a
    // conversion that would fail and end the program.
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(text(filter.description));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

FrontEnd::Answer Tovik::showMessage(const std::string &message, Buttons buttons)
{
    const bool yesNo = buttons == Buttons::YesNo;
    QMessageBox box(QMessageBox::NoIcon, text(layout::kMessageCaption), text(message),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    if (yesNo)
        box.setDefaultButton(QMessageBox::Yes);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

void Tovik::endProgram(int status)
{
    close();
    QCoreApplication::exit(status);
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

} // namespace tovik
