#pragma once

#include "AccountFill.h"
#include "AccountList.h"
#include "AuthorizationServices.h"
#include "Color.h"
#include "PermissionRules.h"
#include "StatusLine.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class AccountPopUpModel;
class ApplyFailures;
class ColorWell;
class OpenPanel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QProcess;
class QPushButton;


// The one controller of Brindle's window: every outlet, every action and all
// of the editor's state. Outlets are set by MainWindowLoader before
// awakeFromNib(); the selected item lives only as the text of pathFile.
class theController : public QObject
{
    Q_OBJECT

public:
    explicit theController(QObject *parent = nullptr);
    ~theController() override;

    // --- outlets and state, in declaration order ---
    QLabel *cmdInfoGroup = nullptr;   // the item's nine letters
    QLabel *cmdInfoOther = nullptr;   // the new permission's octal line
    QLabel *cmdInfoOwner = nullptr;   // the item's octal line
    QLabel *groupName = nullptr;
    QLabel *ownerName = nullptr;
    QLineEdit *pathFile = nullptr;    // the only place the selection lives
    QLabel *readeableInfoGroup = nullptr;
    QLabel *readeableInfoOther = nullptr;
    QLabel *readeableInfoOwner = nullptr;
    QCheckBox *setGrpeXecute = nullptr;
    QCheckBox *setGrpRead = nullptr;
    QCheckBox *setGrpWrite = nullptr;
    QCheckBox *setOtheXecute = nullptr;
    QCheckBox *setOthRead = nullptr;
    QCheckBox *setOthWrite = nullptr;
    QCheckBox *setOwneXecute = nullptr;
    QCheckBox *setOwnRead = nullptr;
    QCheckBox *setOwnWrite = nullptr;
    QCheckBox *applyToEncloseItems = nullptr;
    QLabel *unixInfoGroup = nullptr;
    QLabel *unixInfoOther = nullptr;
    QLabel *unixInfoOwner = nullptr;
    QLabel *cmdNewPermission = nullptr;
    StatusLine *itemChanged = nullptr; // announces its changes
    QGroupBox *infoSelectedFile = nullptr;
    QGroupBox *infoNewPermission = nullptr;
    PermissionLong ownPermission = 0;
    PermissionLong grpPermission = 0;
    PermissionLong othPermission = 0;
    PermissionLong newPermission = 0;
    char bApplyToEnclosedItems = 0;
    AuthorizationRef authorizationRef = nullptr;
    QComboBox *advCurrentOwn = nullptr;
    QComboBox *advCurrentGrp = nullptr;
    QCheckBox *advCurrentSticky = nullptr;
    QCheckBox *advCurrentSetUID = nullptr;
    QCheckBox *advCurrentSetGID = nullptr;
    QCheckBox *advCurrentLocked = nullptr;
    QCheckBox *advCurrentHidden = nullptr;
    ColorWell *advCurrentLabelColor = nullptr;
    QComboBox *advNewOwn = nullptr;
    QComboBox *advNewGrp = nullptr;
    QCheckBox *advNewSticky = nullptr;
    QCheckBox *advNewSetUID = nullptr;
    QCheckBox *advNewSetGID = nullptr;
    QCheckBox *advNewLocked = nullptr;
    QCheckBox *advNewHidden = nullptr;
    ColorWell *advNewLabelColor = nullptr;
    QGroupBox *advCurPermission = nullptr;
    QGroupBox *advNewPermission = nullptr;
    char bCurrentSticky = 0;
    char bCurrentSetUID = 0;
    char bCurrentSetGID = 0;
    char bCurrentHidden = 0;
    char bCurrentLocked = 0;
    short bCurrentLabelIndexColor = 0;
    ColorRef currentLabelColor;        // an entry of aColorLabels, not owned
    ColorRef newLabelColor;            // declared beside currentLabelColor; unused
    QList<ColorRef> aColorLabels;
    short bNewLabelIndexColor = 0;
    PermissionLong newStickyBit = 0;
    PermissionLong newSetUIDBit = 0;
    PermissionLong newSetGIDBit = 0;
    char bNewLocked = 0;
    char bNewHidden = 0;
    // Filled on a thread of their own from awakeFromNib(); every read waits
    // for that fill (AccountList), so a reader always sees whole lists.
    AccountList saElencoUtentiFromDirectory{&accountFill, AccountList::Names};
    AccountList saElencoUIDFromDirectory{&accountFill, AccountList::Ids};
    AccountList saElencoGIDFromDirectory{&accountFill, AccountList::Ids};
    AccountList saElencoGruppiGIDFromDirectory{&accountFill, AccountList::Names};
    AccountList saElencoGGIDFromDirectory{&accountFill, AccountList::Ids};
    QMainWindow *theMainWnd = nullptr;
    int nRetry = 0;

    // --- operations ---

    // Obtains the right for authorizationRef, asking the user if need be.
    bool preauthorizeForRight(const char *right);
    // authorizationRef's 32-byte external form; null when it can't be made.
    QByteArray authorizationAsData();
    // A prepared, not started, helper task; the caller owns it.
    QProcess *taskForExecutable(const QString &executable, const QString &argument, const QString &permission);
    void awakeFromNib();
    void openPanelDidEnd(OpenPanel *panel, int returnCode, void *contextInfo);
    // Runs bitsmith on path with newPermission and authorizationRef's external
    // form; true when the helper ended with status 0. Waits for the helper.
    bool chModFileAtPathAuthorized(const QString &path);
    // Runs command as root with the arguments unchanged and drains its output.
    // A failure to start is logged with a beep; the caller is told nothing.
    void runCommandWithAutorization(const QString &command, const QStringList &arguments,
                                    AuthorizationRef *authorization);
    void DoWork(const QString &path);
    void initAdvancedOptions();
    // Refill the user lists (names, uids, primary gids) and the group lists
    // (names, gids) from the directory, in its order, duplicates kept. A
    // fill still running on the fill thread is waited for first.
    void fillUsersInformations();
    void fillGroupsInformations();
    // IDs of a listed name, case ignored; false (ids 0) when it isn't listed.
    // The names' index answers (AccountList::rowOfName).
    bool getUserInfo(const QString &userName, int *theUID, int *theGID);
    bool getGroupInfo(const QString &groupName, int *theGID);
    void applicationWillTerminate();
    void applicationDidFinishLaunching();
    // Makes bitsmith root-owned with mode 4755 again when it lost its set-user-ID bit.
    void repairTool();

    // Configures the advanced panel's controls once, before awakeFromNib():
    // list-style, searchable account pop-ups, wells that name label colours.
    void prepareAdvancedPanel();
    // What a label well calls its colour: "no label" for white, the colour's
    // name, else its components.
    static QString labelColorName(const ColorRef &color);
    // The controls that start an apply; live only while an item is inspected.
    QPushButton *applyButton = nullptr;
    QPushButton *applyOwnersButton = nullptr;
    QPushButton *applyAdvancedButton = nullptr;
    QPushButton *showFailuresButton = nullptr;
    // Items the last apply could not change, offered beside the status line.
    ApplyFailures *applyFailures = nullptr;

    // What became of a command run as root: the authorization layer's status
    // (non-zero: it never ran), its exit status, and its output and errors.
    struct CommandOutcome
    {
        AuthorizationStatus status = errAuthorizationSuccess;
        int exitStatus = -1;
        QByteArray output;
    };
    // As the runner above, and also tells the caller what happened; the
    // command's output and errors still reach Brindle's standard error.
    void runCommandWithAutorization(const QString &command, const QStringList &arguments,
                                    AuthorizationRef *authorization, CommandOutcome *outcome);

    // Sent by the drop view through the application delegate, by name.
    Q_INVOKABLE void setFileName(const QString &path);
    // Sent by the drop view after setFileName() when more than one item was
    // dropped: the status line says that only the first is shown.
    Q_INVOKABLE void noteDroppedItems(int count);

    // View ▸ Reload (F5): inspects the item on show again, as it now is.
    void reload();
    // The window follows the item on show: title, the path field's
    // accessible name; choices made for the previous item are let go.
    void itemDidChange(const QString &path);

public slots:
    void selectItem(QObject *sender = nullptr);
    void computeNewPermission(QObject *sender = nullptr);
    void getAdvInfo(QObject *sender = nullptr);
    void changeColor(QObject *sender = nullptr);
    void applyadvperm(QObject *sender = nullptr);
    // Writes newPermission to the item, and to every item inside it when
    // applyToEncloseItems is ticked.
    void apply(QObject *sender = nullptr);
    // chown through the runner with the owner and group chosen in the
    // advanced panel, then inspects the item again.
    void applynewowners(QObject *sender = nullptr);

private:
    void init();
    // The colour panel's mask, target, action and continuity (before the
    // panel is first asked for), and its label picker once launched.
    void prepareColorPanel();
    void showLabelPicker();
    // Sets or clears the item's immutable flag; when the kernel refuses
    // (only CAP_LINUX_IMMUTABLE may change it), chattr does it as root.
    void changeImmutableFlag(const QString &path, bool immutable);
    void putInspectedTitleSet();

    enum class HelperOutcome { Changed, Failed, Refused };
    // Up to two helper runs for path, with a renewed pre-authorization between.
    HelperOutcome changeThroughHelper(const QString &path);
    void putAppliedTitleSet();
    void endApply();
    // Apply controls follow the inspection: enabled once an item was read.
    void setApplyControlsEnabled(bool enabled);


    QPointer<OpenPanel> openPanel; // held from selectItem() until its end callback
    AccountPopUpModel *m_userPopUp = nullptr;  // owned as a child
    AccountPopUpModel *m_groupPopUp = nullptr; // owned as a child
    // Declared after the lists: it is destroyed, and its thread joined,
    // before they are.
    AccountFill accountFill;
};
