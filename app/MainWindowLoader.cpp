#include "MainWindowLoader.h"

#include "theController.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QFontDatabase>

namespace {

void connectOutlets(theController *c, const Ui::MainWindow &ui, QMainWindow *window)
{
    c->cmdInfoGroup = ui.cmdInfoGroup;
    c->cmdInfoOther = ui.cmdInfoOther;
    c->cmdInfoOwner = ui.cmdInfoOwner;
    c->groupName = ui.groupName;
    c->ownerName = ui.ownerName;
    c->pathFile = ui.pathFile;
    c->readeableInfoGroup = ui.readeableInfoGroup;
    c->readeableInfoOther = ui.readeableInfoOther;
    c->readeableInfoOwner = ui.readeableInfoOwner;
    c->setGrpeXecute = ui.setGrpeXecute;
    c->setGrpRead = ui.setGrpRead;
    c->setGrpWrite = ui.setGrpWrite;
    c->setOtheXecute = ui.setOtheXecute;
    c->setOthRead = ui.setOthRead;
    c->setOthWrite = ui.setOthWrite;
    c->setOwneXecute = ui.setOwneXecute;
    c->setOwnRead = ui.setOwnRead;
    c->setOwnWrite = ui.setOwnWrite;
    c->applyToEncloseItems = ui.applyToEncloseItems;
    c->unixInfoGroup = ui.unixInfoGroup;
    c->unixInfoOther = ui.unixInfoOther;
    c->unixInfoOwner = ui.unixInfoOwner;
    c->cmdNewPermission = ui.cmdNewPermission;
    c->itemChanged = ui.itemChanged;
    c->infoSelectedFile = ui.infoSelectedFile;
    c->infoNewPermission = ui.infoNewPermission;
    c->advCurrentOwn = ui.advCurrentOwn;
    c->advCurrentGrp = ui.advCurrentGrp;
    c->advCurrentSticky = ui.advCurrentSticky;
    c->advCurrentSetUID = ui.advCurrentSetUID;
    c->advCurrentSetGID = ui.advCurrentSetGID;
    c->advCurrentLocked = ui.advCurrentLocked;
    c->advCurrentHidden = ui.advCurrentHidden;
    c->advCurrentLabelColor = ui.advCurrentLabelColor;
    c->advNewOwn = ui.advNewOwn;
    c->advNewGrp = ui.advNewGrp;
    c->advNewSticky = ui.advNewSticky;
    c->advNewSetUID = ui.advNewSetUID;
    c->advNewSetGID = ui.advNewSetGID;
    c->advNewLocked = ui.advNewLocked;
    c->advNewHidden = ui.advNewHidden;
    c->advNewLabelColor = ui.advNewLabelColor;
    c->advCurPermission = ui.advCurPermission;
    c->advNewPermission = ui.advNewPermission;
    c->theMainWnd = window;
    c->applyButton = ui.applyButton;
    c->applyOwnersButton = ui.applyOwnersButton;
}

void connectActions(theController *c, const Ui::MainWindow &ui)
{
    QObject::connect(ui.chooseButton, &QPushButton::clicked, c, [c] { c->selectItem(); });
    QObject::connect(ui.actionOpen, &QAction::triggered, c, [c] { c->selectItem(); });
    QObject::connect(ui.applyButton, &QPushButton::clicked, c, [c] { c->apply(); });
    QObject::connect(ui.applyOwnersButton, &QPushButton::clicked, c, [c] { c->applynewowners(); });
    QObject::connect(ui.actionQuit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    for (QCheckBox *box : {ui.setOwnRead, ui.setOwnWrite, ui.setOwneXecute, ui.setGrpRead, ui.setGrpWrite,
                           ui.setGrpeXecute, ui.setOthRead, ui.setOthWrite, ui.setOtheXecute,
                           ui.advNewSticky, ui.advNewSetUID, ui.advNewSetGID}) {
        QObject::connect(box, &QCheckBox::toggled, c, [c, box] { c->computeNewPermission(box); });
    }
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, c, &theController::applicationWillTerminate);
}

void applyTypography(const Ui::MainWindow &ui)
{
    // Letters and octal digits line up in a fixed-width font.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QLabel *label : {ui.unixInfoOwner, ui.unixInfoGroup, ui.unixInfoOther, ui.cmdInfoGroup, ui.cmdInfoOwner,
                          ui.cmdNewPermission, ui.cmdInfoOther})
        label->setFont(fixed);
    QFont hint = ui.dropHint->font();
    hint.setPointSizeF(hint.pointSizeF() * 1.1);
    ui.dropHint->setFont(hint);
}

} // namespace

MainWindowLoader MainWindowLoader::load()
{
    MainWindowLoader loaded;
    loaded.window = new QMainWindow;
    loaded.window->setAttribute(Qt::WA_DeleteOnClose);
    Ui::MainWindow ui;
    ui.setupUi(loaded.window);
    applyTypography(ui);
    loaded.window->adjustSize();

    loaded.controller = new theController(loaded.window);
    loaded.dropView = ui.dropView;
    connectOutlets(loaded.controller, ui, loaded.window);
    connectActions(loaded.controller, ui);
    loaded.controller->awakeFromNib();
    return loaded;
}
