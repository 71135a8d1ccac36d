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
    // Value labels are as wide as their widest value from the start, so the
    // window's arrangement does not change when an item is chosen.
    const auto fitWidest = [](QLabel *label, const QString &widest) {
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 2 * label->margin());
    };
    for (QLabel *label : {ui.readeableInfoOwner, ui.readeableInfoGroup, ui.readeableInfoOther})
        fitWidest(label, QStringLiteral("read write execute "));
    for (QLabel *label : {ui.unixInfoOwner, ui.unixInfoGroup, ui.unixInfoOther})
        fitWidest(label, QStringLiteral("rwx"));
    for (QLabel *label : {ui.cmdInfoGroup, ui.cmdNewPermission})
        fitWidest(label, QStringLiteral("rwxrwxrwx"));
    for (QLabel *label : {ui.cmdInfoOwner, ui.cmdInfoOther})
        fitWidest(label, QStringLiteral("chmod = 7777"));
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
        , m_area(ui.scrollArea)
    {
        m_body->setAlignment(ui.permissionColumn, Qt::AlignTop); // uic can't align a layout
        m_area->installEventFilter(this);
    }

    // The contents with the advanced options beside the permission halves.
    QSize besideSize() const
    {
        const QMargins m = m_contents->contentsMargins();
        const int width = m.left() + m_first->sizeHint().width() + m_body->spacing()
                          + m_second->sizeHint().width() + m.right();
        const int body = std::max(m_first->sizeHint().height(), m_second->sizeHint().height());
        return QSize(width, m_contents->sizeHint().height() - m_body->sizeHint().height() + body);
    }

    // Whether the contents fit across an area of that size side by side: its
    // whole width, less a vertical scroll bar only where they would scroll.
    // Judged on the area, not on the viewport, so that a scroll bar shown
    // for the moment never decides the arrangement.
    bool fitsBeside(QSize area) const
    {
        const QSize beside = besideSize();
        const int bar = beside.height() > area.height() ? m_area->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
        return area.width() - bar >= beside.width();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            reflow();
        return false;
    }

    void setDirection(QBoxLayout::Direction direction)
    {
        if (m_body->direction() == direction)
            return;
        m_body->setDirection(direction);
        // Scroll bars that the other arrangement needed are weighed again
        // once the contents have taken the new one.
        QCoreApplication::postEvent(m_area, new QEvent(QEvent::LayoutRequest));
    }

private:
    void reflow()
    {
        setDirection(fitsBeside(m_area->size()) ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    }

    QBoxLayout *m_body;
    QLayout *m_contents;
    QLayout *m_first;
    QWidget *m_second;
    QAbstractScrollArea *m_area;
};

// As large as the contents want, but never larger than the screen's free
// area. When they are too high for it, a wide screen (a scaled one, say)
// gets the advanced options beside the permission halves if that way they
// fit; otherwise what does not fit scrolls.
void sizeToScreen(QMainWindow *window, const Ui::MainWindow &ui, SideBySide &sideBySide)
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
        if (wanted.height() > available.height()) {
            const QSize beside = sideBySide.besideSize() + chrome;
            if (beside.width() <= available.width() && beside.height() <= available.height()) {
                wanted = beside;
                sideBySide.setDirection(QBoxLayout::LeftToRight);
            } else {
                wanted.rwidth() += window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            }
        }
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
    SideBySide *sideBySide = new SideBySide(ui, loaded.window);
    sizeToScreen(loaded.window, ui, *sideBySide);

    loaded.controller = new theController(loaded.window);
    loaded.dropView = ui.dropView;
    connectOutlets(loaded.controller, ui, loaded.window);
    connectActions(loaded.controller, ui);
    BXColorPicker::registerWithColorPanel();
    loaded.controller->prepareAdvancedPanel();
    loaded.controller->awakeFromNib();
    return loaded;
}
