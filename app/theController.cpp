#include "theController.h"

#include "ApplicationDelegate.h"
#include "ApplyFailures.h"
#include "AuthenticationAgentStart.h"
#include "ColorWell.h"
#include "FileAttributes.h"
#include "InspectionStatus.h"
#include "OpenPanel.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>

#include <cerrno>

using namespace PermissionRules;

namespace {

int stateOf(const QCheckBox *box)
{
    // Two-state boxes: Qt's "checked" is 2, the model's is 1.
    return box->isChecked() ? 1 : 0;
}

} // namespace

theController::theController(QObject *parent)
    : QObject(parent)
{
    init();
}

void theController::init()
{
    aColorLabels = {Color::whiteColor(), Color::redColor(), Color::orangeColor(), Color::yellowColor(),
                    Color::greenColor(), Color::blueColor(), Color::purpleColor(), Color::grayColor()};
    // The five account lists start empty (AccountList).
    setApplicationDelegate(this);
    // Requests that may ask the user reach Brindle's own agent when no
    // desktop agent answers.
    AuthorizationSetAgentStarter(startAuthenticationAgent);
}

theController::~theController()
{
    aColorLabels.clear();
    saElencoUtentiFromDirectory.clear();
    saElencoUIDFromDirectory.clear();
    saElencoGIDFromDirectory.clear();
    saElencoGruppiGIDFromDirectory.clear();
    saElencoGGIDFromDirectory.clear();
}

void theController::putInspectedTitleSet()
{
    infoSelectedFile->setTitle(QStringLiteral("Current permission"));
    infoNewPermission->setTitle(QStringLiteral("New permission"));
    advCurPermission->setTitle(QStringLiteral("Current permission"));
    advNewPermission->setTitle(QStringLiteral("New permission"));
}

void theController::awakeFromNib()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const float screenHeight = float(screen->geometry().height());
        const float windowHeight = float(theMainWnd->frameGeometry().height());
        const float y = WindowPlacement::bottomLeftOriginY(screenHeight, windowHeight);
        theMainWnd->move(WindowPlacement::topLeftFromBottomLeft(screenHeight, y, windowHeight));
    }
    prepareColorPanel();

    putInspectedTitleSet();
    cmdInfoGroup->setText(QString());
    cmdInfoOther->setText(QString());
    cmdInfoOwner->setText(QString());
    cmdNewPermission->setText(QString());
    groupName->setText(QStringLiteral("Unknown"));
    ownerName->setText(QStringLiteral("Unknown"));
    pathFile->setText(QString());
    readeableInfoGroup->setText(QString());
    readeableInfoOther->setText(QString());
    readeableInfoOwner->setText(QString());
    unixInfoGroup->setText(QStringLiteral("---"));
    unixInfoOther->setText(QStringLiteral("---"));
    unixInfoOwner->setText(QStringLiteral("---"));
    itemChanged->setText(QString());
    newPermission = ownPermission = grpPermission = othPermission = 0;
    applyFailures = new ApplyFailures(itemChanged, showFailuresButton);
    setApplyControlsEnabled(false);

    // The fills run in this order on the fill thread, so the window is shown
    // and painted without waiting for the directory; anything that reads the
    // lists waits for them (AccountList).
    accountFill.start([this] {
        fillUsersInformations();
        fillGroupsInformations();
    });
    initAdvancedOptions();
}

void theController::applicationDidFinishLaunching()
{
    showLabelPicker();
}

void theController::applicationWillTerminate() {}

void theController::changeColor(QObject *) {}

void theController::computeNewPermission(QObject *)
{
    const BoxStates states = {stateOf(setOwnRead), stateOf(setOwnWrite), stateOf(setOwneXecute),
                              stateOf(setGrpRead), stateOf(setGrpWrite), stateOf(setGrpeXecute),
                              stateOf(setOthRead), stateOf(setOthWrite), stateOf(setOtheXecute),
                              stateOf(advNewSticky), stateOf(advNewSetUID), stateOf(advNewSetGID)};
    const NewPermission p = composeNewPermission(states);
    newStickyBit = p.newStickyBit;
    newSetUIDBit = p.newSetUIDBit;
    newSetGIDBit = p.newSetGIDBit;
    ownPermission = p.ownPermission;
    grpPermission = p.grpPermission;
    othPermission = p.othPermission;
    newPermission = p.newPermission;
    cmdNewPermission->setText(symbolicText(ownPermission | grpPermission | othPermission));
    cmdInfoOther->setText(octalLine(newPermission));
}

void theController::selectItem(QObject *)
{
    if (openPanel) {
        // One panel at a time: a second request brings the open one forward.
        openPanel->raise();
        openPanel->activateWindow();
        return;
    }
    openPanel = new OpenPanel(theMainWnd);
    openPanel->setModal(false);
    OpenPanel *panel = openPanel;
    // It opens where the last item lives, else in the home folder.
    QString last = pathFile->text();
    while (last.size() > 1 && last.endsWith(QLatin1Char('/')))
        last.chop(1);
    const qsizetype slash = last.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || !panel->setDirectory(slash == 0 ? QStringLiteral("/") : last.left(slash)))
        panel->setDirectory(QDir::homePath());
    connect(panel, &QDialog::finished, this, [this, panel](int result) {
        openPanelDidEnd(panel, result == QDialog::Accepted ? OpenPanel::OKButton : OpenPanel::CancelButton,
                        nullptr);
    });
    panel->show();
}

void theController::openPanelDidEnd(OpenPanel *panel, int returnCode, void *)
{
    if (returnCode == OpenPanel::OKButton)
        DoWork(panel->filename());
    panel->deleteLater();
    if (openPanel == panel)
        openPanel = nullptr;
}

void theController::setFileName(const QString &path)
{
    DoWork(path);
}

void theController::DoWork(const QString &path)
{
    putInspectedTitleSet();
    itemChanged->setText(QString());
    pathFile->setText(path);

    const std::optional<FileAttributes> attributes = fileAttributesAtPath(path, true);
    const int readError = attributes ? 0 : errno;
    // An item that can't be read shows mode 0 and no names.
    groupName->setText(attributes ? attributes->groupOwnerAccountName : QString());
    ownerName->setText(attributes ? attributes->ownerAccountName : QString());
    const PermissionLong mode = attributes ? attributes->posixPermissions : 0;
    cmdInfoOwner->setText(octalLine(mode));

    const BoxStates bits = boxStatesFromMode(mode);
    bCurrentSetUID = char(bits[SetUID]);
    bCurrentSetGID = char(bits[SetGID]);
    bCurrentSticky = char(bits[Sticky]);

    QCheckBox *const permissionBoxes[9] = {setOwnRead, setOwnWrite, setOwneXecute, setGrpRead, setGrpWrite,
                                           setGrpeXecute, setOthRead, setOthWrite, setOtheXecute};
    for (int i = 0; i < 9; ++i)
        permissionBoxes[i]->setChecked(bits[i] != 0);
    advNewSticky->setChecked(bCurrentSticky);
    advNewSetUID->setChecked(bCurrentSetUID);
    advNewSetGID->setChecked(bCurrentSetGID);
    advCurrentSticky->setChecked(bCurrentSticky);
    advCurrentSetUID->setChecked(bCurrentSetUID);
    advCurrentSetGID->setChecked(bCurrentSetGID);

    QLabel *const classFields[3] = {unixInfoOwner, unixInfoGroup, unixInfoOther};
    QLabel *const readableFields[3] = {readeableInfoOwner, readeableInfoGroup, readeableInfoOther};
    for (int c = 0; c < 3; ++c) {
        const ClassBits b = classBits(mode, c);
        classFields[c]->setText(classText(b.read, b.write, b.execute));
        readableFields[c]->setText(readableText(b.read, b.write, b.execute));
    }
    cmdInfoGroup->setText(QStringLiteral("%1%2%3").arg(unixInfoOwner->text(), unixInfoGroup->text(),
                                                       unixInfoOther->text()));

    computeNewPermission(this);
    getAdvInfo(this);
    // Never apply boxes that show mode 0 only because the item could not be read.
    setApplyControlsEnabled(attributes.has_value());
    if (applyFailures)
        applyFailures->clear();

    if (!attributes) {
        // Not silent: the fields alone would pass for an item of mode 0.
        itemChanged->setText(InspectionStatus::unreadableItemText(path, readError));
    }
}
