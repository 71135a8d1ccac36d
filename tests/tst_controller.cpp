#include "ColorWell.h"
#include "FileAttributes.h"
#include "support/ItemFixtures.h"
#include "MainWindowLoader.h"
#include "OpenPanel.h"
#include "PathCodec.h"
#include "theController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Everything the window shows of an item, in one comparable record.
struct Shown
{
    QString owner, group, octal, letters, uOwn, uGrp, uOth, rOwn, rGrp, rOth, newLetters, newOctal;
    bool operator==(const Shown &) const = default;
};
QT_BEGIN_NAMESPACE
namespace QTest {
template <> char *toString(const Shown &s)
{
    return qstrdup(QStringList{s.owner, s.group, s.octal, s.letters, s.uOwn, s.uGrp, s.uOth, s.rOwn, s.rGrp,
                               s.rOth, s.newLetters, s.newOctal}
                       .join(QLatin1Char('|'))
                       .toUtf8()
                       .constData());
}
} // namespace QTest
QT_END_NAMESPACE

class ControllerTest : public QObject
{
    Q_OBJECT

    MainWindowLoader w;
    theController *c = nullptr;
    QTemporaryDir dir;

    Shown shown() const
    {
        return {c->ownerName->text(), c->groupName->text(), c->cmdInfoOwner->text(), c->cmdInfoGroup->text(),
                c->unixInfoOwner->text(), c->unixInfoGroup->text(), c->unixInfoOther->text(),
                c->readeableInfoOwner->text(), c->readeableInfoGroup->text(), c->readeableInfoOther->text(),
                c->cmdNewPermission->text(), c->cmdInfoOther->text()};
    }

    // A file in the temporary folder with exactly this mode.
    QString makeFile(const QByteArray &name, mode_t mode) { return makeItemFile(dir, name, mode); }

    QList<QCheckBox *> twelveBoxes() const
    {
        return {c->setOwnRead, c->setOwnWrite, c->setOwneXecute, c->setGrpRead, c->setGrpWrite, c->setGrpeXecute,
                c->setOthRead, c->setOthWrite, c->setOtheXecute, c->advNewSticky, c->advNewSetUID, c->advNewSetGID};
    }

private slots:
    void init()
    {
        w = MainWindowLoader::load();
        c = w.controller;
    }
    void cleanup() { delete w.window; }

    void startState()
    {
        const Shown start{"Unknown", "Unknown", "", "", "---", "---", "---", "", "", "", "", ""};
        QCOMPARE(shown(), start);
        QCOMPARE(c->pathFile->text(), QString());
        QCOMPARE(c->itemChanged->text(), QString());
        QCOMPARE(c->infoSelectedFile->title(), "Current permission");
        QCOMPARE(c->infoNewPermission->title(), "New permission");
        QCOMPARE(c->advCurPermission->title(), "Current permission");
        QCOMPARE(c->advNewPermission->title(), "New permission");
        QCOMPARE(c->newPermission, 0);
        QCOMPARE(c->aColorLabels.size(), 8);
        QCOMPARE(c->aColorLabels.first(), Color::whiteColor());
        QCOMPARE(c->aColorLabels.last(), Color::grayColor());
        QCOMPARE(c->advNewLabelColor->color(), Color::whiteColor());
        QCOMPARE(c->advNewOwn->count(), 0);
        QCOMPARE(c->bCurrentSticky + c->bCurrentSetUID + c->bCurrentSetGID, 0);
        // Placed at the top-left corner of the screen.
        QCOMPARE(w.window->frameGeometry().topLeft(), QPoint(0, 0));
    }

    void inspectsRealItems_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<Shown>("expected");
        const QString me = QString::fromLocal8Bit(qgetenv("USER"));
        QTest::newRow("01777") << 01777
                               << Shown{{}, {}, "chmod = 1777", "rwxrwxrwx", "rwx", "rwx", "rwx",
                                        "read write execute ", "read write execute ", "read write execute ",
                                        "rwxrwxrwx", "chmod = 1777"};
        QTest::newRow("0") << 0
                           << Shown{{}, {}, "chmod = 0", "---------", "---", "---", "---", "", "", "",
                                    "---------", "chmod = 0"};
        QTest::newRow("04755") << 04755
                               << Shown{{}, {}, "chmod = 4755", "rwxr-xr-x", "rwx", "r-x", "r-x",
                                        "read write execute ", "read execute ", "read execute ", "rwxr-xr-x",
                                        "chmod = 4755"};
    }
    void inspectsRealItems()
    {
        QFETCH(int, mode);
        QFETCH(Shown, expected);
        const QString path = makeFile("item " + QByteArray::number(mode), mode_t(mode));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        expected.owner = userNameForUid(st.st_uid);
        expected.group = groupNameForGid(st.st_gid);
        c->DoWork(path);
        QCOMPARE(shown(), expected);
        QCOMPARE(c->pathFile->text(), path);
        QCOMPARE(c->newPermission, mode);
        QCOMPARE(c->bCurrentSetUID, char(mode & 04000 ? 1 : 0));
        QCOMPARE(c->bCurrentSticky, char(mode & 01000 ? 1 : 0));
        QCOMPARE(c->advCurrentSetUID->isChecked(), bool(mode & 04000));
        QCOMPARE(c->advNewSetUID->isChecked(), bool(mode & 04000));
        QCOMPARE(c->advCurrentSticky->isChecked(), bool(mode & 01000));
        QCOMPARE(c->itemChanged->text(), QString());
    }

    void rootOwnedSetUidItem()
    {
        if (getuid() != 0)
            QSKIP("needs a root-owned file; the CI runs this as root");
        const QString path = makeFile("setuid", 04755);
        c->DoWork(path);
        QCOMPARE(c->ownerName->text(), "root");
        QCOMPARE(c->groupName->text(), "root");
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 4755");
    }

    void idWithoutNameShowsNumber()
    {
        if (getuid() != 0)
            QSKIP("chown to an unnamed id needs root");
        const QString path = makeFile("orphan", 0644);
        QVERIFY(::chown(QFile::encodeName(path).constData(), 4000321, 4000322) == 0);
        c->DoWork(path);
        QCOMPARE(c->ownerName->text(), "4000321");
        QCOMPARE(c->groupName->text(), "4000322");
    }

    void symbolicLinkShowsTarget()
    {
        const QString target = makeFile("target", 0750);
        const QString link = dir.filePath("link");
        QVERIFY(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0);
        c->DoWork(link);
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 750");
        QCOMPARE(c->pathFile->text(), link);
    }

    void unreadableItemShowsModeZeroAndSaysWhy_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/brindle-missing")
                                 << QStringLiteral(": No such file or directory");
        QTest::newRow("dangling link") << QStringLiteral("dangling")
                                       << QStringLiteral("”: the link's target “/nonexistent/target” is missing");
        QTest::newRow("empty path") << QString() << QStringLiteral(": No such file or directory");
    }
    void unreadableItemShowsModeZeroAndSaysWhy()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (path == QLatin1String("dangling")) {
            path = dir.filePath("dangling");
            QVERIFY(::symlink("/nonexistent/target", QFile::encodeName(path).constData()) == 0);
        }
        c->DoWork(makeFile("before", 0777)); // something to overwrite
        c->DoWork(path);
        const Shown expected{"", "", "chmod = 0", "---------", "---", "---", "---", "", "", "", "---------",
                             "chmod = 0"};
        QCOMPARE(shown(), expected);
        for (QCheckBox *box : twelveBoxes())
            QVERIFY(!box->isChecked());
        QVERIFY2(c->itemChanged->text().endsWith(reason), qPrintable(c->itemChanged->text()));
    }

    // The apply controls follow the inspection: never live for an item whose
    // mode could not be read (it shows 0, which the user never chose).
    void applyControlsFollowTheInspection()
    {
        const QList<QWidget *> controls{c->applyButton, c->applyOwnersButton, c->applyAdvancedButton,
                                        c->applyToEncloseItems};
        for (QWidget *control : controls)
            QVERIFY(!control->isEnabled());
        c->DoWork(makeFile("readable", 0644));
        for (QWidget *control : controls)
            QVERIFY(control->isEnabled());
        c->DoWork(QStringLiteral("/nonexistent/brindle-missing"));
        for (QWidget *control : controls)
            QVERIFY(!control->isEnabled());
        QVERIFY(c->itemChanged->text().startsWith(QLatin1String("Can't read")));
        for (QWidget *control : controls)
            QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
    }

    void oddNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("spaces") << QByteArray("a b  c");
        QTest::newRow("newline") << QByteArray("two\nlines");
        QTest::newRow("leading dash") << QByteArray("-rf");
        QTest::newRow("not utf-8") << QByteArray("caf\xe9");
        QTest::newRow("long") << QByteArray(250, 'x');
    }
    void oddNames()
    {
        QFETCH(QByteArray, name);
        const QString path = makeFile(name, 0604);
        QVERIFY(!path.isEmpty());
        c->DoWork(path);
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 604");
        QCOMPARE(bytesFromPath(c->pathFile->text()), QFile::encodeName(dir.path()) + '/' + name);
        ::unlink(bytesFromPath(path).constData()); // QDir can't remove a name that isn't UTF-8
    }

    void veryLongPath()
    {
        // Deeper than PATH_MAX allows to name in one go: a clear failure, no crash.
        QString path = dir.path();
        while (path.size() < 5000)
            path += QStringLiteral("/") + QString(200, QLatin1Char('d'));
        c->DoWork(path);
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 0");
        QVERIFY(!c->itemChanged->text().isEmpty());
    }

    void boxesRecomputeNewPermission()
    {
        c->DoWork(makeFile("edit", 0644));
        c->setOwneXecute->click();
        QCOMPARE(c->cmdNewPermission->text(), "rwxr--r--");
        QCOMPARE(c->cmdInfoOther->text(), "chmod = 744");
        c->advNewSetUID->click();
        QCOMPARE(c->cmdNewPermission->text(), "rwxr--r--");
        QCOMPARE(c->cmdInfoOther->text(), "chmod = 4744");
        QCOMPARE(c->newPermission, 04744);
        QCOMPARE(c->newSetUIDBit, 1);
        c->setOthRead->click();
        QCOMPARE(c->cmdInfoOther->text(), "chmod = 4740");
        // The current half is not touched by editing.
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 644");
        // Whoever sends it, the result is the same.
        c->computeNewPermission(nullptr);
        QCOMPARE(c->newPermission, 04740);
        QCOMPARE(c->ownPermission, 0700);
        QCOMPARE(c->grpPermission, 040);
        QCOMPARE(c->othPermission, 0);
    }

    void inspectionRestoresTitlesAndStatus()
    {
        c->infoSelectedFile->setTitle(QStringLiteral("Old permission"));
        c->infoNewPermission->setTitle(QStringLiteral("Current permission"));
        c->advCurPermission->setTitle(QStringLiteral("Old permission"));
        c->advNewPermission->setTitle(QStringLiteral("Current permission"));
        c->itemChanged->setText(QStringLiteral("done"));
        c->setFileName(makeFile("again", 0600));
        QCOMPARE(c->infoSelectedFile->title(), "Current permission");
        QCOMPARE(c->infoNewPermission->title(), "New permission");
        QCOMPARE(c->advCurPermission->title(), "Current permission");
        QCOMPARE(c->advNewPermission->title(), "New permission");
        QCOMPARE(c->itemChanged->text(), QString());
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 600");
    }

    void cancelledPanelChangesNothing()
    {
        c->DoWork(makeFile("shown", 0640));
        c->itemChanged->setText(QStringLiteral("status"));
        const Shown before = shown();
        c->selectItem();
        auto *panel = w.window->findChild<OpenPanel *>();
        QVERIFY(panel);
        QVERIFY(!panel->isModal());
        QTRY_VERIFY(panel->isVisible());
        QSignalSpy finished(panel, &QDialog::finished);
        panel->reject();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(shown(), before);
        QCOMPARE(c->itemChanged->text(), "status");
        QTRY_VERIFY(!w.window->findChild<OpenPanel *>());
    }

    void panelStartsBesideTheLastItemAndChoosesIt()
    {
        c->selectItem();
        auto *panel = w.window->findChild<OpenPanel *>();
        QVERIFY(panel);
        QCOMPARE(panel->directory(), QDir::homePath()); // no item yet
        panel->reject();
        QTRY_VERIFY(!w.window->findChild<OpenPanel *>());

        const QString first = makeFile("first", 0640);
        const QString second = makeFile("second", 0751);
        c->DoWork(first);
        c->selectItem();
        panel = w.window->findChild<OpenPanel *>();
        QCOMPARE(panel->directory(), dir.path());
        panel->selectFile(QStringLiteral("second"));
        panel->choose();
        QCOMPARE(c->pathFile->text(), second);
        QCOMPARE(c->cmdInfoOwner->text(), "chmod = 751");
        QTRY_VERIFY(!w.window->findChild<OpenPanel *>());
    }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
