#include "common_dialog.h"

#include <QFileDialog>

namespace tovik {

namespace {

// "Pictures|*.bmp;*.png|" becomes "Pictures (*.bmp *.png)"; a description
// that already ends with its patterns in brackets is taken as it stands.
QStringList toNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns
                = parts.at(i + 1).split(u';', Qt::SkipEmptyParts).join(u' ').trimmed();
        if (patterns.isEmpty())
            continue;
        const QString bracketed = u'(' + patterns + u')';
        if (description.isEmpty())
            nameFilters << patterns;
        else if (description.endsWith(bracketed))
            nameFilters << description;
        else
            nameFilters << description + u' ' + bracketed;
    }
    return nameFilters;
}

} // namespace

CommonDialog::CommonDialog(QWidget *parent)
    : QObject(parent)
{
}

void CommonDialog::setFilter(const QString &filter)
{
    filter_ = filter;
    nameFilters_ = toNameFilters(filter);
}

void CommonDialog::showOpen()
{
    QFileDialog dialog(qobject_cast<QWidget *>(parent()));
    // An Open dialog: a mistyped name is caught here, not by a conversion
    // that would fail and end the program.
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        fileName_ = chosen.constFirst();
}

} // namespace tovik
