// Writing the new permission: the chosen item, then on request every item
// inside it, each with the user's own rights first and through the helper
// only when that is refused.
#include "theController.h"

#include "ApplyFailures.h"
#include "ApplyProgress.h"
#include "DeepEnumerator.h"
#include "HeldItem.h"
#include "InputGuard.h"
#include "ModeChange.h"
#include "ModifyPermissionRight.h"
#include "PathCodec.h"
#include "SystemLog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// The box's state as the model keeps it: on 1, mixed -1, off 0.
char stateByte(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return -1;
    default:
        return 0;
    }
}

// The item resolved once. Paths handed to the helper (which follows no
// link) start from here, so a link swapped in later makes it refuse rather
// than change whatever the link names.
QByteArray resolvedOnce(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return path;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

QString reasonText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void theController::putAppliedTitleSet()
{
    infoSelectedFile->setTitle(QStringLiteral("Old permission"));
    advCurPermission->setTitle(QStringLiteral("Old permission"));
    infoNewPermission->setTitle(QStringLiteral("Current permission"));
    advNewPermission->setTitle(QStringLiteral("Current permission"));
}

theController::HelperOutcome theController::changeThroughHelper(const QString &path)
{
    nRetry = 1;
    for (;;) {
        if (chModFileAtPathAuthorized(path))
            return HelperOutcome::Changed;
        if (--nRetry == -1)
            return HelperOutcome::Failed;
        if (!preauthorizeForRight(kModifyPermissionRight))
            return HelperOutcome::Refused;
    }
}

void theController::endApply()
{
    AuthorizationFree(authorizationRef, kAuthorizationFlagDestroyRights);
    authorizationRef = nullptr;
    applyFailures->offer();
}

void theController::apply(QObject *)
{
    // One action at a time: nothing the user does reaches the window until
    // the apply has ended (the password dialog excepted).
    InputGuard busy(tr("Applying the new permission"));
    applyFailures->clear();

    authorizationRef = nullptr;
    const AuthorizationStatus created =
        AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorizationRef);
    if (created != errAuthorizationSuccess)
        systemLog(QString::asprintf("Failed to create the authref: %ld.\n", long(created)));

    if (!preauthorizeForRight(kModifyPermissionRight)) {
        systemLog(QStringLiteral("Unable to preauthorize change permission"));
        endApply();
        return;
    }
    repairTool();
    bApplyToEnclosedItems = stateByte(applyToEncloseItems);
    computeNewPermission(this);

    const QString path = pathFile->text();
    const QByteArray pathBytes = bytesFromPath(path);
    const QByteArray resolved = resolvedOnce(pathBytes);
    const mode_t mode = mode_t(newPermission & 0xFFFF);

    bool success = false;
    if (::chmod(pathBytes.constData(), mode) == 0) {
        success = true;
        itemChanged->setText(path);
        putAppliedTitleSet();
    } else {
        const int refused = errno;
        switch (changeThroughHelper(pathFromBytes(resolved))) {
        case HelperOutcome::Changed:
            success = true;
            putAppliedTitleSet();
            itemChanged->setText(path);
            break;
        case HelperOutcome::Failed:
            success = false;
            systemLog(QStringLiteral("chModFileAtPathAuthorized: Error!"));
            itemChanged->setText(QStringLiteral("Error!"));
            applyFailures->add(path, tr("%1; the helper could not change it either").arg(reasonText(refused)));
            break;
        case HelperOutcome::Refused:
            systemLog(QStringLiteral("Unable to preauthorize change permission"));
            endApply();
            return;
        }
    }

    if (bApplyToEnclosedItems == 0) {
        endApply();
        return;
    }

    ApplyProgress progress(itemChanged, path);
    const QByteArray helperRoot = resolved.endsWith('/') ? resolved : resolved + '/';
    DeepEnumerator walk(resolved);
    while (walk.next()) {
        const QByteArray relative = walk.relativePath();
        if (walk.kind() == DeepEnumerator::Unreadable) {
            // Its contents were never changed: a failure, not a quiet skip.
            success = false;
            progress.show(ApplyProgress::Error, relative);
            applyFailures->add(progress.fullPath(relative),
                               tr("can't open the folder to change what it holds: %1").arg(reasonText(walk.error())));
            continue;
        }
        if (success)
            progress.show(ApplyProgress::UnderWay, relative);
        const int refused = changeModeAt(walk.folderFd(), walk.name(), mode);
        if (refused == 0) {
            if (success)
                progress.show(ApplyProgress::Ok, relative);
            continue;
        }
        switch (changeThroughHelper(pathFromBytes(helperRoot + relative))) {
        case HelperOutcome::Changed:
            if (success)
                progress.show(ApplyProgress::Ok, relative);
            break;
        case HelperOutcome::Failed:
            success = false;
            systemLog(QStringLiteral("chModFileAtPathAuthorized: Error (RETRY_OPERATION_ROOT)!"));
            progress.show(ApplyProgress::Error, relative);
            applyFailures->add(progress.fullPath(relative),
                               tr("%1; the helper could not change it either").arg(reasonText(refused)));
            break;
        case HelperOutcome::Refused:
            systemLog(QStringLiteral("Unable to preauthorize change permission (RETRY_OPERATION_ROOT)"));
            progress.finish();
            endApply();
            return;
        }
    }
    progress.finish();
    if (success) {
        putAppliedTitleSet();
        itemChanged->setText(QStringLiteral("Done!"));
    }
    itemChanged->update();
    endApply();
}

void theController::setApplyControlsEnabled(bool enabled)
{
    const QString why = enabled ? QString() : tr("Choose an item that can be read first");
    for (QWidget *control : {static_cast<QWidget *>(applyButton), static_cast<QWidget *>(applyOwnersButton),
                             static_cast<QWidget *>(applyAdvancedButton), static_cast<QWidget *>(applyToEncloseItems)}) {
        if (!control)
            continue;
        control->setEnabled(enabled);
        control->setToolTip(why);
    }
}

namespace {

// What the status line says when chown did not do its work.
QString chownFailureText(const theController::CommandOutcome &outcome)
{
    switch (outcome.status) {
    case errAuthorizationSuccess:
        break;
    case errAuthorizationCanceled:
        return theController::tr("Owner and group not changed: the authentication was cancelled.");
    case errAuthorizationDenied:
    case errAuthorizationInteractionNotAllowed:
        return theController::tr("Owner and group not changed: not authorized.");
    default:
        return theController::tr("Owner and group not changed: /bin/chown could not be started (%1).")
            .arg(outcome.status);
    }
    for (const QByteArray &line : outcome.output.split('\n')) {
        if (!line.trimmed().isEmpty())
            return QString::fromLocal8Bit(line.trimmed());
    }
    return theController::tr("Owner and group not changed: /bin/chown ended with status %1.")
        .arg(outcome.exitStatus);
}

} // namespace

void theController::applynewowners(QObject *)
{
    InputGuard busy(tr("Changing the owner and group"));
    AuthorizationRef authorization = nullptr;
    const AuthorizationStatus created =
        AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization);
    if (created != errAuthorizationSuccess)
        systemLog(QString::asprintf("applynewowners: Failed to create the authref: %ld.\n", long(created)));

    const QString path = pathFile->text();
    bApplyToEnclosedItems = stateByte(applyToEncloseItems);
    const QString owner = advNewOwn->currentText();
    const QString group = advNewGrp->currentText();
    QString ownerAndGroup = QStringLiteral("%1:%2").arg(owner, group);

    // chown runs as root after the administrator has read the dialog: it
    // reaches the item through the descriptor held here, so that nothing
    // swapped for a link on the way meanwhile leads it elsewhere.
    const HeldItem item(bytesFromPath(path));
    if (!item.isOpen()) {
        if (authorization)
            AuthorizationFree(authorization, kAuthorizationFlagDefaults);
        DoWork(path);
        itemChanged->setText(tr("Owner and group not changed: %1: %2").arg(path, reasonText(item.error())));
        return;
    }
    const QByteArray held = item.itself();
    QStringList arguments;
    // Only a folder has enclosed items; chown -R given the descriptor's link
    // of a file would change the link, not the file.
    if (bApplyToEnclosedItems == 1 && item.isFolder())
        arguments << QStringLiteral("-R");
    // "--": a name or path that starts with '-' is never read as an option.
    arguments << QStringLiteral("--") << ownerAndGroup << pathFromBytes(held);

    CommandOutcome outcome;
    runCommandWithAutorization(QStringLiteral("/bin/chown"), arguments, &authorization, &outcome);
    ownerAndGroup.clear();
    arguments.clear();
    if (authorization)
        AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);

    DoWork(path);
    if (outcome.status != errAuthorizationSuccess || outcome.exitStatus != 0) {
        // chown names what it was given; the user knows the item by its path.
        outcome.output.replace(held, bytesFromPath(path));
        itemChanged->setText(chownFailureText(outcome));
    }
}
