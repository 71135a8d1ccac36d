// The window around the inspection: its title, what assistive technology
// hears of the path field, reloading, and the note after a drop of several.
#include "theController.h"

#include "InspectionStatus.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>

void theController::itemDidChange(const QString &path)
{
    QString name = path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    if (name.isEmpty())
        name = path; // "/" has no last component
    theMainWnd->setWindowTitle(path.isEmpty() ? tr("Brindle") : tr("%1 — Brindle").arg(name));
    pathFile->setAccessibleName(path.isEmpty() ? tr("No item chosen") : path);
    pathFile->setToolTip(path);

    // A choice made for one item is never carried over to the next one
    // unseen: applying to the enclosed items of another folder, or locking
    // or hiding it, must be asked for again. The inspection that follows
    // sets the flags again from the new item.
    for (QCheckBox *box : {applyToEncloseItems, advNewLocked, advNewHidden})
        box->setChecked(false);
}

void theController::reload()
{
    const QString path = pathFile->text();
    if (!path.isEmpty())
        DoWork(path);
}

void theController::noteDroppedItems(int count)
{
    if (count < 2)
        return;
    const QString note = InspectionStatus::firstOfDroppedText(count);
    // A failed inspection keeps its reason in front.
    const QString status = itemChanged->text();
    itemChanged->setText(status.isEmpty() ? note : status + QLatin1Char(' ') + note);
}
