// The advanced panel over real items: label, invisibility and lock read into
// both halves and applied back; the colour panel and its label picker
// handing the well the very colour objects of the label table.
#include "BXColorPicker.h"
#include "ColorPanel.h"
#include "ColorWell.h"
#include "FileAttributes.h"
#include "FinderFlags.h"
#include "InodeFlags.h"
#include "InputGuard.h"
#include "MainWindowLoader.h"
#include "support/Capture.h"
#include "theController.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ColorRef)

// Counts the colour panel's action messages.
class ActionTarget : public QObject
{
    Q_OBJECT
public:
    int received = 0;
public slots:
    void changeColor(QObject *) { ++received; }
};

class AdvancedPanelTest : public QObject
{
    Q_OBJECT

    MainWindowLoader w;
    theController *c = nullptr;
    QTemporaryDir *dir = nullptr;

    QString makeFile(const QString &name, short label = 0)
    {
        const QString path = dir->filePath(name);
        const QByteArray bytes = QFile::encodeName(path);
        ::close(::open(bytes.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644));
        if (label != 0)
            SetLabelColor(bytes.constData(), &label);
        return path;
    }

    static short labelOf(const QString &path)
    {
        short index = -1;
        fileIsInvisible(QFile::encodeName(path).constData(), &index);
        return index;
    }

    static bool hiddenBitOf(const QString &path)
    {
        // The flags word itself, not the dot-name rule.
        char record[402] = {};
        const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), "user.org.netatalk.Metadata", record,
                                     sizeof record);
        return n == 402 && (quint8(record[130]) & 0x40);
    }

    QAbstractButton *applyOptions() const
    {
        return w.window->findChild<QPushButton *>(QStringLiteral("applyAdvancedButton"));
    }

    // The label picker's control with this tag, its view made by the panel.
    QAbstractButton *pickerControl(int tag) const
    {
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        panel->setMode(BXColorPicker::kMode);
        for (QAbstractButton *b : panel->findChildren<QAbstractButton *>()) {
            if (b->property("tag").toInt() == tag)
                return b;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        dir = new QTemporaryDir(QCoreApplication::applicationDirPath() + QStringLiteral("/advanced-XXXXXX"));
        QVERIFY(dir->isValid());
        const QByteArray probe = QFile::encodeName(makeFile(QStringLiteral("probe")));
        if (::setxattr(probe.constData(), "user.brindle.probe", "1", 1, 0) != 0)
            QSKIP("the build folder's file system refuses user extended attributes");
    }
    void cleanupTestCase()
    {
        // A failed lock test must not leave a folder nobody can remove.
        for (const QString &name : QDir(dir->path()).entryList(QDir::Files | QDir::Hidden))
            setImmutableFlag(QFile::encodeName(dir->filePath(name)).constData(), false);
        delete dir;
    }

    void init()
    {
        w = MainWindowLoader::load();
        c = w.controller;
        c->applicationDidFinishLaunching();
    }
    void cleanup()
    {
        ColorPanel::sharedColorPanel()->close();
        delete w.window;
    }

    void orangeLabelReadIntoBothWells()
    {
        const QString file = makeFile(QStringLiteral("orange"), 2);
        c->DoWork(file);
        QCOMPARE(c->bCurrentLabelIndexColor, short(2));
        QCOMPARE(c->currentLabelColor, Color::orangeColor());
        QCOMPARE(c->advCurrentLabelColor->color(), Color::orangeColor());
        QCOMPARE(c->advNewLabelColor->color(), Color::orangeColor());
        QCOMPARE(c->advNewLabelColor->accessibleName(), QStringLiteral("orange"));
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(c->advNewLabelColor);
        QVERIFY(spoken);
        QCOMPARE(spoken->role(), QAccessible::Button);
        QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("orange"));
        QCOMPARE(spoken->text(QAccessible::Description), QStringLiteral("New label colour"));
        for (QCheckBox *box : {c->advCurrentHidden, c->advNewHidden, c->advCurrentLocked, c->advNewLocked})
            QVERIFY(!box->isChecked());
        QVERIFY(applyOptions()->isEnabled());
    }

    void dotNameShownHidden()
    {
        const QString file = makeFile(QStringLiteral(".dotted"));
        c->DoWork(file);
        QVERIFY(c->advCurrentHidden->isChecked());
        QVERIFY(c->advNewHidden->isChecked());
        QCOMPARE(c->bCurrentHidden, char(1));
        QCOMPARE(c->currentLabelColor, ColorRef());
        QCOMPARE(c->advCurrentLabelColor->color(), Color::whiteColor());
        QCOMPARE(c->advCurrentLabelColor->accessibleName(), QStringLiteral("no label"));
        // Pressed through the screen reader, the new well opens the panel.
        QAccessibleInterface *well = QAccessible::queryAccessibleInterface(c->advNewLabelColor);
        well->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(ColorPanel::sharedColorPanel()->isVisible());
        QCOMPARE(ColorPanel::sharedColorPanel()->activeWell(), c->advNewLabelColor);
    }

    void unreadableItemKeepsTheEarlierLabel()
    {
        c->DoWork(makeFile(QStringLiteral("purple"), 6));
        c->DoWork(dir->filePath(QStringLiteral("missing")));
        QVERIFY(c->advCurrentHidden->isChecked());
        QVERIFY(!c->advCurrentLocked->isChecked());
        QCOMPARE(c->bCurrentLabelIndexColor, short(6));
        QCOMPARE(c->advNewLabelColor->color(), Color::purpleColor());
    }

    void invisibilityAndLabelAppliedAndReadBack()
    {
        const QString file = makeFile(QStringLiteral("apply me"));
        c->DoWork(file);
        c->advNewHidden->setChecked(true);
        c->advNewLabelColor->setColor(Color::blueColor());
        // Busy like every other apply: the window takes no input until the
        // item has been inspected again.
        bool busyWhileReinspected = false;
        connect(c->advCurrentHidden, &QCheckBox::toggled, this,
                [&busyWhileReinspected] { busyWhileReinspected = InputGuard::active(); });
        applyOptions()->click();
        QVERIFY(busyWhileReinspected);
        QVERIFY(!InputGuard::active());
        QCOMPARE(labelOf(file), short(5));
        QVERIFY(hiddenBitOf(file));
        QVERIFY(c->advCurrentHidden->isChecked());
        QVERIFY(c->advNewHidden->isChecked());
        QCOMPARE(c->advCurrentLabelColor->color(), Color::blueColor());

        c->advNewHidden->setChecked(false);
        applyOptions()->click();
        QVERIFY(!hiddenBitOf(file));
        QCOMPARE(labelOf(file), short(5)); // untouched well: the label again
        QVERIFY(!c->advCurrentHidden->isChecked());
    }

    // What the well holds when applied, on an item labelled orange.
    void wellColourDecidesTheLabel_data()
    {
        QTest::addColumn<ColorRef>("well");
        QTest::addColumn<int>("label");
        QTest::newRow("table entry") << Color::greenColor() << 4;
        QTest::newRow("white removes") << Color::whiteColor() << 0;
        QTest::newRow("black is gray") << Color::blackColor() << 7;
        QTest::newRow("made black is gray") << Color::calibratedRGB(0, 0, 0, 0.5f) << 7;
        QTest::newRow("no RGB is gray") << std::make_shared<const Color>(QColor(), QString()) << 7;
        QTest::newRow("red's look-alike keeps orange") << Color::calibratedRGB(1, 0, 0, 1) << 2;
        QTest::newRow("no colour object is gray") << ColorRef() << 7;
    }
    void wellColourDecidesTheLabel()
    {
        QFETCH(ColorRef, well);
        QFETCH(int, label);
        const QString file = makeFile(QStringLiteral("well %1").arg(QTest::currentDataTag()), 2);
        c->DoWork(file);
        c->advNewLabelColor->setColor(well);
        c->applyadvperm();
        QCOMPARE(labelOf(file), short(label));
        QCOMPARE(c->bNewLabelIndexColor, short(label));
    }

    void stickyIsNotAppliedHere()
    {
        const QString file = makeFile(QStringLiteral("sticky"));
        c->DoWork(file);
        c->advNewSticky->setChecked(true);
        applyOptions()->click();
        QCOMPARE(fileAttributesAtPath(file, true)->posixPermissions, 0644);
    }

    void ownerAndGroupSelectedInTheNewPopUps()
    {
        const QString file = makeFile(QStringLiteral("owned"));
        c->DoWork(file);
        const QString owner = c->ownerName->text();
        QCOMPARE(c->advCurrentOwn->count(), 1);
        QCOMPARE(c->advCurrentOwn->currentText(), owner);
        QCOMPARE(c->advCurrentGrp->currentText(), c->groupName->text());
        QCOMPARE(c->advNewOwn->count(), c->saElencoUtentiFromDirectory.size());
        QCOMPARE(c->advNewOwn->currentText(), owner);
        QCOMPARE(c->advNewGrp->currentText(), c->groupName->text());
        QCOMPARE(c->advNewOwn->itemText(c->advNewOwn->count() - 1), c->saElencoUtentiFromDirectory.last());

        // A name the directory doesn't list: shown as current, not offered.
        c->ownerName->setText(QStringLiteral("nobody-listed"));
        c->getAdvInfo();
        QCOMPARE(c->advCurrentOwn->currentText(), QStringLiteral("nobody-listed"));
        QCOMPARE(c->advNewOwn->currentIndex(), -1);
        QCOMPARE(c->advNewOwn->count(), c->saElencoUtentiFromDirectory.size());

        // A refilled list reaches the pop-up.
        c->saElencoUtentiFromDirectory = c->saElencoUtentiFromDirectory.list() + QStringList{QStringLiteral("nobody-listed")};
        c->getAdvInfo();
        QCOMPARE(c->advNewOwn->currentText(), QStringLiteral("nobody-listed"));
    }

    void typingANameFindsIt()
    {
        c->saElencoUtentiFromDirectory = {QStringLiteral("zed"), QStringLiteral("Alice"), QStringLiteral("bob"),
                                          QStringLiteral("Émile"), QStringLiteral("ärger"), QStringLiteral("alf")};
        c->ownerName->setText(QStringLiteral("zed"));
        c->getAdvInfo();
        QCompleter *completer = c->advNewOwn->completer();
        QVERIFY(completer);
        QCOMPARE(completer->modelSorting(), QCompleter::CaseInsensitivelySortedModel);
        QLineEdit *edit = c->advNewOwn->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("AL"));
        QCOMPARE(completer->completionPrefix(), QStringLiteral("AL"));
        QCOMPARE(completer->completionCount(), 2);
        QCOMPARE(completer->currentCompletion(), QStringLiteral("alf"));
        for (const auto &[typed, found] : {std::pair{"ÉMI", "Émile"}, std::pair{"Är", "ärger"}, std::pair{"ALI", "Alice"}}) {
            edit->clear();
            QTest::keyClicks(edit, QString::fromUtf8(typed));
            QCOMPARE(completer->completionCount(), 1);
            QCOMPARE(completer->currentCompletion(), QString::fromUtf8(found));
        }

        edit->setText(QStringLiteral("BOB"));
        emit edit->editingFinished();
        QCOMPARE(c->advNewOwn->currentIndex(), 2);
        QCOMPARE(c->advNewOwn->currentText(), QStringLiteral("bob"));
        edit->setText(QStringLiteral("nobody"));
        emit edit->editingFinished();
        QCOMPARE(c->advNewOwn->currentText(), QStringLiteral("bob"));
    }

    void lockedAsRoot()
    {
        if (geteuid() != 0)
            QSKIP("changing the immutable flag directly needs root; tst_lock covers an ordinary user");
        const QString file = makeFile(QStringLiteral("locked"));
        const QByteArray bytes = QFile::encodeName(file);
        c->DoWork(file);
        c->advNewLocked->setChecked(true);
        c->advNewLabelColor->setColor(Color::redColor());
        applyOptions()->click();
        QCOMPARE(immutableFlag(bytes.constData()), 1);
        QVERIFY(c->advCurrentLocked->isChecked());
        QVERIFY(c->advNewLocked->isChecked());
        QCOMPARE(labelOf(file), short(1)); // written before the lock

        c->advNewLocked->setChecked(false);
        applyOptions()->click();
        QCOMPARE(immutableFlag(bytes.constData()), 0);
        QVERIFY(!c->advCurrentLocked->isChecked());
    }

    void colourPanelPreparedForThePicker()
    {
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        QCOMPARE(ColorPanel::pickerMask(), 0x10);
        QCOMPARE(panel->target(), c);
        QCOMPARE(panel->action(), QByteArray("changeColor"));
        QVERIFY(panel->isContinuous());
        QCOMPARE(panel->mode(), 99);
        QVERIFY(!panel->isVisible());
    }

    void pickerClickReachesTheWellAndTheItem()
    {
        const QString file = makeFile(QStringLiteral("picked"));
        c->DoWork(file);
        QTest::mouseClick(c->advNewLabelColor, Qt::LeftButton);
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->activeWell(), c->advNewLabelColor);

        QAbstractButton *yellow = pickerControl(3);
        QVERIFY(yellow);
        QCOMPARE(yellow->accessibleName(), QStringLiteral("yellow"));
        DescriptorCapture capture(2);
        QTest::mouseClick(yellow, Qt::LeftButton);
        QVERIFY(capture.stop().endsWith(QStringLiteral("]: Index= 3\n")));
        QCOMPARE(c->advNewLabelColor->color(), Color::yellowColor());
        QCOMPARE(c->advNewLabelColor->color(), c->aColorLabels.at(3));
        QCOMPARE(c->advNewLabelColor->accessibleName(), QStringLiteral("yellow"));
        QCOMPARE(c->advCurrentLabelColor->color(), Color::whiteColor());

        applyOptions()->click();
        QCOMPARE(labelOf(file), short(3));
        QCOMPARE(c->advCurrentLabelColor->color(), Color::yellowColor());
    }

    void generalChooserGivesBlack()
    {
        const QString file = makeFile(QStringLiteral("chosen"), 1);
        c->DoWork(file);
        c->advNewLabelColor->setFocus();
        QTest::keyClick(c->advNewLabelColor, Qt::Key_Space);
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->activeWell(), c->advNewLabelColor);
        panel->setMode(ColorPanel::CustomPaletteMode);
        auto *chooser = panel->findChild<QColorDialog *>();
        QVERIFY(chooser);
        QCOMPARE(chooser->currentColor(), QColor(Qt::red)); // follows the well
        chooser->setCurrentColor(Qt::black);
        const ColorRef black = c->advNewLabelColor->color();
        QVERIFY(black != Color::blackColor()); // a new object...
        QCOMPARE(black->rgba(), QColor(Qt::black));
        applyOptions()->click();
        QCOMPARE(labelOf(file), short(7)); // ...that the black rule makes gray

        // Escape closes the panel and ends the well's editing.
        QTest::keyClick(panel, Qt::Key_Escape);
        QTRY_VERIFY(!panel->isVisible());
        QCOMPARE(panel->activeWell(), nullptr);
    }

    // Continuous: the target hears each colour while the user moves through
    // them; otherwise once the choice has settled.
    void targetHearsTheChooser()
    {
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        panel->setMode(ColorPanel::CustomPaletteMode);
        auto *chooser = panel->findChild<QColorDialog *>();
        QVERIFY(chooser);
        ActionTarget target;
        panel->setTarget(&target);
        chooser->setCurrentColor(Qt::blue);
        chooser->setCurrentColor(Qt::cyan);
        QCOMPARE(target.received, 2);
        panel->setContinuous(false);
        chooser->setCurrentColor(Qt::green);
        chooser->setCurrentColor(Qt::darkGreen);
        QCOMPARE(target.received, 2);
        QTRY_COMPARE(target.received, 3);
        QCOMPARE(panel->color()->rgba(), QColor(Qt::darkGreen));
        panel->setContinuous(true);
        panel->setTarget(c);
    }

    void pickerAnswers()
    {
        QVERIFY(pickerControl(3));
        BXColorPicker *picker = nullptr;
        for (ColorPicker *p : ColorPanel::sharedColorPanel()->pickers())
            picker = picker ? picker : qobject_cast<BXColorPicker *>(p);
        QVERIFY(picker);
        for (int mode : {98, 100, 0})
            QVERIFY(!picker->supportsMode(mode));
        QVERIFY(picker->supportsMode(99));
        QCOMPARE(picker->currentMode(), 99);
        QWidget *view = picker->containerView;
        QVERIFY(view);
        QCOMPARE(picker->provideNewView(false), view);
        QCOMPARE(view->findChildren<QAbstractButton *>().size(), 7);
        QVERIFY(!picker->provideNewButtonImage().isNull());

        // Tags outside 1-7 are logged and change nothing.
        ColorPanel *panel = ColorPanel::sharedColorPanel();
        panel->setColor(Color::blueColor());
        for (int tag : {0, 8}) {
            QObject control;
            control.setProperty("tag", tag);
            DescriptorCapture capture(2);
            picker->updateColor(&control);
            QVERIFY(capture.stop().endsWith(QStringLiteral("]: Index= %1\n").arg(tag)));
            QCOMPARE(panel->color(), Color::blueColor());
        }

        DescriptorCapture capture(2);
        panel->setShowsAlpha(true);
        panel->setShowsAlpha(false);
        const QString log = capture.stop();
        QVERIFY(log.contains(QStringLiteral("]:     // insert our alpha control into the view\n")));
        QVERIFY(log.contains(QStringLiteral("]:     // remove our alpha control into the view\n")));

        // Mask 0: the picker is its own, bound to no panel.
        BXColorPicker loose;
        QCOMPARE(loose.initWithPickerMask(0, panel), &loose);
        QCOMPARE(loose.colorPanel(), nullptr);
    }
};

QTEST_MAIN(AdvancedPanelTest)
#include "tst_advanced.moc"
