#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace tovik {

// Stands in for the desktop's common-dialog control: the window sets its
// Filter, shows the Open dialog, and reads the chosen path from FileName,
// which keeps it for as long as the window lives.
//
// Filter is written the control's way, description and patterns separated by
// bars, "Text file (*.txt)|*.txt|"; the dialog gets it as Qt name filters.
// The dialog is Qt's QFileDialog, the desktop's own where there is one,
// choosing one existing file through the filter. It never moves the working
// directory.
class CommonDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Filter READ filter WRITE setFilter)
    Q_PROPERTY(QString FileName READ fileName)

public:
    explicit CommonDialog(QWidget *parent);

    QString filter() const { return filter_; }
    void setFilter(const QString &filter);
    QStringList nameFilters() const { return nameFilters_; }

    QString fileName() const { return fileName_; }

    // Returns when the user closes the dialog. A chosen file becomes
    // FileName; Cancel leaves FileName as it was.
    void showOpen();

private:
    QString filter_;
    QStringList nameFilters_;
    QString fileName_;
};

} // namespace tovik
