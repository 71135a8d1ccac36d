#include "MainWindowLoader.h"

#include "BXColorPicker.h"
#include "theController.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

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
    c->applyAdvancedButton = ui.applyAdvancedButton;
    c->showFailuresButton = ui.showFailuresButton;
}

void connectActions(theController *c, const Ui::MainWindow &ui)
{
    QObject::connect(ui.chooseButton, &QPushButton::clicked, c, [c] { c->selectItem(); });
    QObject::connect(ui.actionOpen, &QAction::triggered, c, [c] { c->selectItem(); });
    QObject::connect(ui.applyButton, &QPushButton::clicked, c, [c] { c->apply(); });
    QObject::connect(ui.applyOwnersButton, &QPushButton::clicked, c, [c] { c->applynewowners(); });
    QObject::connect(ui.actionQuit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    QObject::connect(ui.actionReload, &QAction::triggered, c, &theController::reload);
    QObject::connect(ui.pathFile, &QLineEdit::textChanged, c, &theController::itemDidChange);

    for (QCheckBox *box : {ui.setOwnRead, ui.setOwnWrite, ui.setOwneXecute, ui.setGrpRead, ui.setGrpWrite,
                           ui.setGrpeXecute, ui.setOthRead, ui.setOthWrite, ui.setOtheXecute,
                           ui.advNewSticky, ui.advNewSetUID, ui.advNewSetGID}) {
        QObject::connect(box, &QCheckBox::toggled, c, [c, box] { c->computeNewPermission(box); });
    }
    QObject::connect(ui.applyAdvancedButton, &QPushButton::clicked, c, [c] { c->applyadvperm(); });
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

// The whole window is the drop area: no control inside it takes a drop for
// itself (a line edit would take a dragged path as text), and the tint of an
// accepted drag shows through the scrolled contents.
void makeWindowTheDropArea(const Ui::MainWindow &ui)
{
    for (QWidget *child : ui.dropView->findChildren<QWidget *>())
        child->setAcceptDrops(false);
    ui.scrollArea->viewport()->setAutoFillBackground(false);
    ui.scrollContents->setAutoFillBackground(false);
}

// Extra width is not wasted: once the window is wide enough for both, the
// advanced options stand beside the permission halves instead of below them.
// Extra height goes below everything.
class SideBySide : public QObject
{
public:
    SideBySide(const Ui::MainWindow &ui, QObject *parent)
        : QObject(parent)
        , m_body(ui.bodyLayout)
        , m_contents(ui.mainLayout)
        , m_first(ui.permissionColumn)
        , m_second(ui.advancedOptions)
        , m_viewport(ui.scrollArea->viewport())
    {
        m_body->setAlignment(ui.permissionColumn, Qt::AlignTop); // uic can't align a layout
        m_viewport->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            reflow();
        return false;
    }

private:
    void reflow()
    {
        // Hints that do not depend on the direction, so the choice is stable.
        const QMargins m = m_contents->contentsMargins();
        const int needed = m.left() + m_first->sizeHint().width() + m_body->spacing()
                           + m_second->sizeHint().width() + m.right();
        const auto direction = m_viewport->width() >= needed ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
        if (m_body->direction() != direction)
            m_body->setDirection(direction);
    }

    QBoxLayout *m_body;
    QLayout *m_contents;
    QLayout *m_first;
    QWidget *m_second;
    QWidget *m_viewport;
};

// As large as the contents want, but never larger than the screen's free
// area: what does not fit scrolls.
void sizeToScreen(QMainWindow *window, const Ui::MainWindow &ui)
{
    // Size hints in the style's fonts and metrics, and layouts that have
    // taken in every child: the scrolled contents were built unparented,
    // and their layouts kept hints from when their children were hidden.
    window->ensurePolished();
    for (QLayout *layout : window->findChildren<QLayout *>())
        layout->invalidate();
    const QSize chrome = window->sizeHint() - ui.scrollArea->sizeHint();
    QSize wanted = ui.scrollContents->sizeHint() + chrome;
    if (const QScreen *screen = window->screen()) {
        // Leave room for the window manager's title bar and borders.
        const QSize available = screen->availableGeometry().size() - QSize(16, 48);
        if (wanted.height() > available.height())
            wanted.rwidth() += window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        wanted = wanted.boundedTo(available);
    }
    window->resize(wanted);
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
    // The status row is as high with the failures button as without it, so
    // the button showing up never takes room from the scrolled contents.
    ui.itemChanged->setMinimumHeight(
        std::max(ui.itemChanged->sizeHint().height(), ui.showFailuresButton->sizeHint().height()));
    makeWindowTheDropArea(ui);
    sizeToScreen(loaded.window, ui);
    new SideBySide(ui, loaded.window);

    loaded.controller = new theController(loaded.window);
    loaded.dropView = ui.dropView;
    connectOutlets(loaded.controller, ui, loaded.window);
    connectActions(loaded.controller, ui);
    BXColorPicker::registerWithColorPanel();
    loaded.controller->prepareAdvancedPanel();
    loaded.controller->awakeFromNib();
    return loaded;
}
