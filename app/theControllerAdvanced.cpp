// The advanced options panel: lock, invisibility and label colour of the
// item, and the account pop-ups of its new half.
#include "theController.h"

#include "AccountPopUpModel.h"
#include "BXColorPicker.h"
#include "ColorPanel.h"
#include "ColorWell.h"
#include "FinderFlags.h"
#include "HeldItem.h"
#include "InodeFlags.h"
#include "InputGuard.h"
#include "PathCodec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

#include <cerrno>

namespace {

int stateOf(const QCheckBox *box)
{
    return box->isChecked() ? 1 : 0;
}

} // namespace

QString theController::labelColorName(const ColorRef &color)
{
    if (!color)
        return QString();
    if (color == Color::whiteColor())
        return tr("no label");
    if (!color->name().isEmpty())
        return color->name();
    float red = 0, green = 0, blue = 0, alpha = 0;
    if (color->getCalibratedRGB(&red, &green, &blue, &alpha) && red == 0 && green == 0 && blue == 0)
        return tr("black (gray label)");
    return color->rgba().isValid() ? color->rgba().name(QColor::HexRgb) : tr("no colour");
}

void theController::prepareAdvancedPanel()
{
    m_userPopUp = new AccountPopUpModel(this);
    m_groupPopUp = new AccountPopUpModel(this);
    for (QComboBox *popUp : {advNewOwn, advNewGrp}) {
        // A list, not a menu: a menu measures every one of its items before
        // it opens. Editable, so that typing a name finds it.
        popUp->setView(new QListView(popUp));
        popUp->setEditable(true);
        popUp->setInsertPolicy(QComboBox::NoInsert);
        popUp->setMaxVisibleItems(20);
        QLineEdit *edit = popUp->lineEdit();
        edit->setObjectName(popUp->objectName() + QStringLiteral("Field"));
        edit->setAccessibleName(popUp->accessibleName());
        // A dropped item goes to the window, which inspects it, not into
        // the name field.
        edit->setAcceptDrops(false);
        AccountPopUpModel *kind = popUp == advNewOwn ? m_userPopUp : m_groupPopUp;
        connect(edit, &QLineEdit::textEdited, this, [kind](const QString &typed) {
            if (kind->ensureSorted()) {
                // The completer looked at the names before they were there.
                kind->completer()->setCompletionPrefix(typed);
                kind->completer()->complete();
            }
        });
        static_cast<QListView *>(popUp->view())->setUniformItemSizes(true);
        // What the field shows is always a name of the list: a finished edit
        // selects the name typed, or returns to the selection.
        connect(edit, &QLineEdit::editingFinished, this, [popUp, kind] {
            const int row = kind->rowOfTyped(popUp->lineEdit()->text());
            if (row >= 0)
                popUp->setCurrentIndex(row);
            else
                popUp->lineEdit()->setText(popUp->itemText(popUp->currentIndex()));
        });
    }
    advCurrentLabelColor->setEnabled(false);
    for (ColorWell *well : {advCurrentLabelColor, advNewLabelColor})
        well->setColorNamer(&theController::labelColorName);
}

void theController::initAdvancedOptions()
{
    for (QComboBox *popUp : {advCurrentOwn, advCurrentGrp})
        popUp->clear();
    for (QComboBox *popUp : {advNewOwn, advNewGrp}) {
        // Emptied, without giving up the models the next fill reuses.
        popUp->setModel(new QStringListModel(popUp));
    }
    for (QCheckBox *box : {advCurrentSticky, advCurrentSetUID, advCurrentSetGID, advCurrentLocked,
                           advCurrentHidden, advNewSticky, advNewSetUID, advNewSetGID, advNewLocked,
                           advNewHidden})
        box->setChecked(false);
    advCurrentLabelColor->setColor(Color::whiteColor());
    advNewLabelColor->setColor(Color::whiteColor());
    newSetGIDBit = 0;
    bCurrentLocked = 0;
    bCurrentLabelIndexColor = 0;
    bCurrentSticky = 0;
    bCurrentSetUID = 0;
    bCurrentSetGID = 0;
    bCurrentHidden = 0;
    newStickyBit = 0;
    newSetUIDBit = 0;
    currentLabelColor = nullptr;
}

void theController::getAdvInfo(QObject *)
{
    const QString path = pathFile->text();
    const QByteArray cPath = bytesFromPath(path);

    bCurrentLocked = immutableFlag(cPath.constData()) == 1 ? 1 : 0;
    advCurrentLocked->setChecked(bCurrentLocked);
    advNewLocked->setChecked(bCurrentLocked);

    bCurrentHidden = char(fileIsInvisible(cPath.constData(), &bCurrentLabelIndexColor));
    advCurrentHidden->setChecked(bCurrentHidden);
    advNewHidden->setChecked(bCurrentHidden);

    if (bCurrentLabelIndexColor != 0) {
        currentLabelColor = aColorLabels.at(bCurrentLabelIndexColor);
        advCurrentLabelColor->setColor(currentLabelColor);
        advNewLabelColor->setColor(currentLabelColor);
    } else {
        currentLabelColor = nullptr;
        advCurrentLabelColor->setColor(Color::whiteColor());
        advNewLabelColor->setColor(Color::whiteColor());
    }

    advCurrentOwn->clear();
    advCurrentGrp->clear();
    advCurrentOwn->addItem(ownerName->text());
    advCurrentGrp->addItem(groupName->text());
    m_userPopUp->fill(advNewOwn, saElencoUtentiFromDirectory);
    m_groupPopUp->fill(advNewGrp, saElencoGruppiGIDFromDirectory);
    m_userPopUp->select(advNewOwn, ownerName->text());
    m_groupPopUp->select(advNewGrp, groupName->text());
}

void theController::applyadvperm(QObject *)
{
    // One action at a time, as for the other applies.
    InputGuard busy(tr("Applying the label, lock and invisibility"));
    const QString path = pathFile->text();
    const QByteArray cPath = bytesFromPath(path);
    const ColorRef color = advNewLabelColor->color();

    bNewLabelIndexColor = bCurrentLabelIndexColor;
    for (int i = 0; i < aColorLabels.size(); ++i) {
        if (aColorLabels.at(i) == color)
            bNewLabelIndexColor = short(i);
    }
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    if (color)
        color->getCalibratedRGB(&red, &green, &blue, &alpha);
    if (red == 0.0f && green == 0.0f && blue == 0.0f)
        bNewLabelIndexColor = 7;

    SetLabelColor(cPath.constData(), &bNewLabelIndexColor);

    bNewLocked = char(stateOf(advNewLocked));
    changeImmutableFlag(path, bNewLocked != 0);

    bNewHidden = char(stateOf(advNewHidden));
    setFileInvisible(cPath.constData(), bNewHidden);

    DoWork(path);
}

void theController::changeImmutableFlag(const QString &path, bool immutable)
{
    const QByteArray cPath = bytesFromPath(path);
    const int refused = setImmutableFlag(cPath.constData(), immutable);
    // Asked as root only for a change from what the panel shows: leaving
    // the box as it was must not end in a password dialog, also where the
    // item can't even be opened to look.
    if ((refused != EPERM && refused != EACCES) || immutable == (bCurrentLocked != 0))
        return;
    // Only a process with CAP_LINUX_IMMUTABLE may change the flag, so any
    // user but root is refused: chattr does it as root, under Brindle's
    // right, on the item that the path leads to now. chattr follows every
    // link on the way but the last: it is handed the item's folder through a
    // descriptor held here, which no link swapped in meanwhile can redirect.
    HeldItem item(cPath);
    const QByteArray target = item.withoutLinks();
    if (target.isEmpty())
        return;
    AuthorizationRef authorization = nullptr;
    if (AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization) != errAuthorizationSuccess)
        return;
    runCommandWithAutorization(QStringLiteral("/usr/bin/chattr"),
                               {immutable ? QStringLiteral("+i") : QStringLiteral("-i"), QStringLiteral("--"),
                                pathFromBytes(target)},
                               &authorization);
    AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);
}

void theController::prepareColorPanel()
{
    // The mask counts only before the shared panel is first asked for.
    ColorPanel::setPickerMask(ColorPanel::CustomPaletteModeMask);
    ColorPanel *panel = ColorPanel::sharedColorPanel();
    panel->setTarget(this);
    panel->setAction(QByteArrayLiteral("changeColor"));
    panel->setContinuous(true);
}

void theController::showLabelPicker()
{
    ColorPanel::sharedColorPanel()->setMode(BXColorPicker::kMode);
}
