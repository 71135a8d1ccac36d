// Writing permissions, owner and group through the real window, as an
// ordinary user against the real polkitd, with the helper set-user-ID root.
// A wrapper placed where Brindle looks for its helper counts the helper runs
// and, where a test needs it, meddles with the tree at the worst moment
// before handing over to the real helper. The cancel comes first, while
// polkit holds nothing for this process.
#include "ApplyFailures.h"
#include "AuthenticationAgent.h"
#include "AuthenticationDialog.h"
#include "ApplyProgress.h"
#include "MainBundle.h"
#include "MainWindowLoader.h"
#include "support/PrivilegedSupport.h"
#include "support/WindowDriver.h"
#include "theController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray bytes(const QString &path)
{
    return QFile::encodeName(path);
}

bool makeFile(const QString &path, mode_t mode = 0644)
{
    const int fd = ::open(bytes(path).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    return fd >= 0 && ::close(fd) == 0 && ::chmod(bytes(path).constData(), mode) == 0;
}

bool makeFolder(const QString &path, mode_t mode = 0755)
{
    return ::mkdir(bytes(path).constData(), 0700) == 0 && ::chmod(bytes(path).constData(), mode) == 0;
}

// Records what the status line really drew.
class PaintedTexts : public QObject
{
public:
    QStringList texts;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const QString text = static_cast<QLabel *>(watched)->text();
            // The empty line the inspection left is no text of the apply.
            if (!text.isEmpty() && (texts.isEmpty() || texts.last() != text))
                texts << text;
        }
        return false;
    }
};

} // namespace

class ApplyTest : public QObject
{
    Q_OBJECT

    MainWindowLoader w;
    theController *c = nullptr;
    Administrator administrator;
    AuthorizationRef rootAuthorization = nullptr;
    QTemporaryDir scratch;
    QString runs; // one line per helper run, written by the wrapper
    QString resources;
    int caseNumber = 0;

    QString fresh(const QString &name)
    {
        const QString path = scratch.filePath(QStringLiteral("%1-%2").arg(++caseNumber).arg(name));
        return path;
    }

    // Root's, through the runner's authenticated chown.
    void makeRootOwned(const QStringList &paths)
    {
        c->runCommandWithAutorization(QStringLiteral("/bin/chown"), QStringList{QStringLiteral("root")} + paths,
                                      &rootAuthorization);
        for (const QString &path : paths)
            QCOMPARE(inodeOf(path).uid, 0u);
    }

    // The helper as Brindle finds it: a script that notes the run, does what
    // the test asks, then becomes the real helper (same process, so the
    // helper still sees Brindle as its parent). It has the set-user-ID bit,
    // which the kernel ignores for scripts, so repairTool leaves it alone.
    void wrapHelper(const QString &action)
    {
        setResourceDirectoryForTesting(QString());
        const QString realHelper = pathForResource(QStringLiteral("bitsmith"));
        QFile::remove(runs);
        QFile script(resources + QStringLiteral("/bitsmith"));
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QStringLiteral("#!/bin/sh\necho run >> '%1'\n%2\nexec '%3' \"$@\"\n")
                         .arg(runs, action, realHelper)
                         .toUtf8());
        script.close();
        QVERIFY(::chmod(bytes(script.fileName()).constData(), 04755) == 0);
        setResourceDirectoryForTesting(resources);
    }

    int helperRuns() const
    {
        QFile file(runs);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    // Inspects path, then ticks the boxes for mode and the enclosed-items box.
    void choose(const QString &path, unsigned mode, bool enclosed)
    {
        c->DoWork(path);
        QVERIFY2(c->applyButton->isEnabled(), qPrintable(c->itemChanged->text()));
        setNewPermissionBoxes(c, mode);
        c->applyToEncloseItems->setChecked(enclosed);
    }

    // Applies with every status text drawn, and records what was drawn,
    // to the last text.
    void applyWatchingTheStatusLine(PaintedTexts *painted)
    {
        c->itemChanged->installEventFilter(painted);
        ApplyProgress::setIntervalForTesting(0);
        c->apply();
        ApplyProgress::setIntervalForTesting(33);
        QTRY_VERIFY(!painted->texts.isEmpty() && painted->texts.last() == c->itemChanged->text());
        c->itemChanged->removeEventFilter(painted);
    }

    QStringList titles() const
    {
        return {c->infoSelectedFile->title(), c->infoNewPermission->title(), c->advCurPermission->title(),
                c->advNewPermission->title()};
    }
    const QStringList retitled{"Old permission", "Current permission", "Old permission", "Current permission"};
    const QStringList inspected{"Current permission", "New permission", "Current permission", "New permission"};

private slots:
    void initTestCase()
    {
        QString why;
        if (!requireTestEnvironment(&why))
            QFAIL(qPrintable(why));
        QVERIFY(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &rootAuthorization)
                == errAuthorizationSuccess);
        w = MainWindowLoader::load();
        c = w.controller;
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window));
        resources = scratch.filePath(QStringLiteral("resources"));
        runs = scratch.filePath(QStringLiteral("helper-runs"));
        QVERIFY(QDir().mkdir(resources));
        wrapHelper(QString());
    }

    void cleanupTestCase()
    {
        setResourceDirectoryForTesting(QString());
        c->runCommandWithAutorization(QStringLiteral("/bin/chown"),
                                      {QStringLiteral("-R"), QString::number(getuid()), scratch.path()},
                                      &rootAuthorization);
        AuthorizationFree(rootAuthorization, kAuthorizationFlagDestroyRights);
        delete w.window;
    }

    void cancelledAuthenticationChangesNothing()
    {
        const QString file = fresh(QStringLiteral("mine"));
        QVERIFY(makeFile(file, 0644));
        choose(file, 0600, false);
        administrator.script({Administrator::kCancel});
        // While the password is asked, the window is busy and starts nothing:
        // neither a second apply nor an open panel.
        bool busyWhileAsked = false;
        QMetaObject::Connection meddle =
            connect(AuthenticationAgent::instance(), &AuthenticationAgent::passwordRequested, this, [this, &busyWhileAsked] {
                busyWhileAsked = w.window->cursor().shape() == Qt::BusyCursor;
                QTest::mouseClick(c->applyButton, Qt::LeftButton);
                QTest::mouseClick(w.window->findChild<QPushButton *>(QStringLiteral("chooseButton")), Qt::LeftButton);
                QTest::keyClick(w.window, Qt::Key_O, Qt::ControlModifier);
            });
        StderrCapture capture;
        c->apply();
        const QString log = capture.stop();
        disconnect(meddle);
        QVERIFY(busyWhileAsked);
        QVERIFY(!w.window->findChild<QFileDialog *>());
        QCOMPARE(administrator.requests(), 1);
        QCOMPARE(log.count(QLatin1Char('\n')), 1);
        QVERIFY2(log.endsWith(QLatin1String(": Unable to preauthorize change permission\n")), qPrintable(log));
        QCOMPARE(inodeOf(file).mode, 0644u);
        QCOMPARE(c->itemChanged->text(), QString());
        QCOMPARE(titles(), inspected);
        QCOMPARE(helperRuns(), 0);
        QVERIFY(c->authorizationRef == nullptr);
    }

    void cancelledChownIsSaid()
    {
        const QString file = fresh(QStringLiteral("mine"));
        QVERIFY(makeFile(file, 0644));
        c->DoWork(file);
        c->advNewOwn->clear();
        c->advNewOwn->addItem(QStringLiteral("root"));
        c->advNewGrp->clear();
        c->advNewGrp->addItem(QStringLiteral("root"));
        administrator.script({Administrator::kCancel});
        const int asked = administrator.requests();
        c->applynewowners();
        QCOMPARE(administrator.requests(), asked + 1);
        // chown is handed the item through a descriptor; the administrator
        // reads the path that descriptor holds.
        QCOMPARE(administrator.lastDetails(), QStringLiteral("This will run as the administrator: /bin/chown -- root:root ")
                                                  + QFileInfo(file).canonicalFilePath());
        QCOMPARE(inodeOf(file).uid, unsigned(getuid()));
        QCOMPARE(c->itemChanged->text(),
                 QStringLiteral("Owner and group not changed: the authentication was cancelled."));
    }

    void chosenItem_data()
    {
        QTest::addColumn<bool>("rootOwned");
        QTest::addColumn<QString>("helperDoes");
        QTest::addColumn<int>("runsExpected");
        QTest::addColumn<bool>("changed");
        QTest::newRow("the user's own file: no helper run") << false << QString() << 0 << true;
        QTest::newRow("root's file: one helper run") << true << QString() << 1 << true;
        QTest::newRow("the helper fails twice: Error!") << true << QStringLiteral("exit 255") << 2 << false;
    }
    void chosenItem()
    {
        QFETCH(bool, rootOwned);
        QFETCH(QString, helperDoes);
        QFETCH(int, runsExpected);
        QFETCH(bool, changed);
        const QString file = fresh(QStringLiteral("item with a blank"));
        QVERIFY(makeFile(file, 0644));
        if (rootOwned)
            makeRootOwned({file});
        wrapHelper(helperDoes);
        choose(file, 0604, false);
        StderrCapture capture;
        c->apply();
        const QString log = capture.stop();
        QCOMPARE(helperRuns(), runsExpected);
        QCOMPARE(inodeOf(file).mode, changed ? 0604u : 0644u);
        QCOMPARE(c->itemChanged->text(), changed ? file : QStringLiteral("Error!"));
        QCOMPARE(titles(), changed ? retitled : inspected);
        QCOMPARE(log.contains(QLatin1String("chModFileAtPathAuthorized: Error!\n")), !changed);
        QCOMPARE(c->applyFailures->button()->isVisible(), !changed);
    }

    void folderShowsEveryItemThenDone()
    {
        const QString root = fresh(QStringLiteral("tree"));
        const QString outside = fresh(QStringLiteral("outside"));
        QVERIFY(makeFile(outside, 0644));
        QVERIFY(makeFolder(root, 0755) && makeFolder(root + "/a", 0755));
        const QStringList files{"a/x", "a/odd\nname", "a/-lead", "b"};
        for (const QString &f : files)
            QVERIFY(makeFile(root + '/' + f, 0644));
        QVERIFY(::mkfifo(bytes(root + "/pipe").constData(), 0644) == 0);
        QVERIFY(::symlink(bytes(outside).constData(), bytes(root + "/link").constData()) == 0);
        wrapHelper(QString());
        choose(root, 0750, true);

        PaintedTexts painted;
        applyWatchingTheStatusLine(&painted);

        QCOMPARE(c->itemChanged->text(), QStringLiteral("Done!"));
        QCOMPARE(titles(), retitled);
        QCOMPARE(helperRuns(), 0);
        // Each enclosed item: its full path, then "%@ - OK"; a folder before its contents.
        QStringList shown = painted.texts;
        QVERIFY(!shown.isEmpty() && shown.takeLast() == QLatin1String("Done!"));
        QStringList expected{"a", "pipe"};
        expected += files;
        QVERIFY2(shown.size() == 2 * expected.size(), qPrintable(shown.join(QLatin1Char('|'))));
        QStringList items;
        for (int i = 0; i < shown.size(); i += 2) {
            QCOMPARE(shown[i + 1], shown[i] + QStringLiteral(" - OK"));
            QVERIFY(shown[i].startsWith(root + '/'));
            items << shown[i].mid(root.size() + 1);
        }
        QVERIFY(items.indexOf("a") < items.indexOf("a/x"));
        items.sort();
        expected.sort();
        QCOMPARE(items, expected);
        for (const QString &f : expected + QStringList{QString()})
            QCOMPARE(inodeOf(root + '/' + f).mode, 0750u);
        QCOMPARE(inodeOf(outside).mode, 0644u); // the link was left alone
    }

    void fileWithTheBoxTickedEndsDone()
    {
        const QString file = fresh(QStringLiteral("plain"));
        QVERIFY(makeFile(file, 0644));
        choose(file, 0640, true);
        c->apply();
        QCOMPARE(c->itemChanged->text(), QStringLiteral("Done!"));
        QCOMPARE(inodeOf(file).mode, 0640u);
    }

    void aChosenLinkIsFollowed()
    {
        // The link the user chose leads the change, as it leads the inspection,
        // for the helper too; the status line keeps the path as chosen.
        const QString folder = fresh(QStringLiteral("real folder"));
        const QString link = fresh(QStringLiteral("link to it"));
        QVERIFY(makeFolder(folder) && makeFile(folder + "/inside", 0644) && makeFile(folder + "/root's", 0644));
        QVERIFY(::symlink(bytes(folder).constData(), bytes(link).constData()) == 0);
        // The helper follows no link: it must be handed the resolved path.
        makeRootOwned({folder + "/root's"});
        wrapHelper(QString());
        choose(link, 0700, true);
        PaintedTexts painted;
        applyWatchingTheStatusLine(&painted);
        QVERIFY2(painted.texts.contains(link + QStringLiteral("/inside - OK")), qPrintable(painted.texts.join('|')));
        QCOMPARE(c->itemChanged->text(), QStringLiteral("Done!"));
        QCOMPARE(inodeOf(folder).mode, 0700u);
        QCOMPARE(inodeOf(folder + "/inside").mode, 0700u);
        QCOMPARE(inodeOf(folder + "/root's"), (Inode{0700u, 0u}));
        QCOMPARE(helperRuns(), 1);
    }

    void enclosedFailureStaysAndTheRestIsChanged()
    {
        const QString root = fresh(QStringLiteral("tree"));
        QVERIFY(makeFolder(root) && makeFolder(root + "/sub"));
        for (const char *f : {"f1", "sub/f2", "sub/r", "f3"})
            QVERIFY(makeFile(root + '/' + QLatin1String(f), 0644));
        makeRootOwned({root + "/sub/r"});
        wrapHelper(QStringLiteral("exit 255"));
        choose(root, 0700, true);
        StderrCapture capture;
        c->apply();
        const QString log = capture.stop();
        QCOMPARE(c->itemChanged->text(), root + QStringLiteral("/sub/r - ERROR!"));
        QCOMPARE(titles(), retitled); // as the chosen item's change left them
        QCOMPARE(helperRuns(), 2);
        QCOMPARE(log.count(QLatin1String("chModFileAtPathAuthorized: Error (RETRY_OPERATION_ROOT)!\n")), 1);
        for (const char *f : {"f1", "sub/f2", "f3", "sub"})
            QCOMPARE(inodeOf(root + '/' + QLatin1String(f)).mode, 0700u);
        QCOMPARE(inodeOf(root + "/sub/r").mode, 0644u);

        // The list of failures, with the reason, one click away.
        QPushButton *show = c->applyFailures->button();
        QVERIFY(show->isVisible());
        show->click();
        QTRY_VERIFY(c->applyFailures->dialog() && c->applyFailures->dialog()->isVisible());
        const QString list = c->applyFailures->dialog()->findChild<QPlainTextEdit *>()->toPlainText();
        QCOMPARE(list, root + QStringLiteral("/sub/r: Operation not permitted; the helper could not change it either"));
        QVERIFY(log.contains(list));
        c->applyFailures->dialog()->close();
        c->DoWork(root);
        QVERIFY(!show->isVisible());
    }

    void chosenFolderFailsButItsContentsAreTried()
    {
        const QString root = fresh(QStringLiteral("root's folder"));
        QVERIFY(makeFolder(root) && makeFile(root + "/mine", 0644));
        makeRootOwned({root});
        wrapHelper(QStringLiteral("exit 255"));
        choose(root, 0755, true);
        QVERIFY(::chmod(bytes(root + "/mine").constData(), 0600) == 0);
        c->apply();
        QCOMPARE(c->itemChanged->text(), QStringLiteral("Error!"));
        QCOMPARE(titles(), inspected);
        QCOMPARE(inodeOf(root + "/mine").mode, 0755u);
    }

    void unenterableFolderIsAFailure()
    {
        // A folder of root's that the new mode leaves closed to the user: its
        // contents can't be reached, so there is no "Done!".
        const QString root = fresh(QStringLiteral("tree"));
        QVERIFY(makeFolder(root) && makeFolder(root + "/closed") && makeFile(root + "/closed/inside", 0644));
        makeRootOwned({root + "/closed"});
        wrapHelper(QString());
        choose(root, 0700, true);
        StderrCapture capture;
        c->apply();
        const QString log = capture.stop();
        QCOMPARE(c->itemChanged->text(), root + QStringLiteral("/closed - ERROR!"));
        QCOMPARE(inodeOf(root + "/closed").mode, 0700u);
        QCOMPARE(c->applyFailures->lines(),
                 QStringList{root + QStringLiteral("/closed: can't open the folder to change what it holds: "
                                                   "Permission denied")});
        QVERIFY(log.contains(c->applyFailures->lines().first()));
    }

    // A link in the tree, or one swapped in by whoever owns a folder inside it
    // just before the helper runs as root, never leads the change elsewhere.
    void linksLeadNowhere_data()
    {
        QTest::addColumn<QString>("meddle");
        QTest::newRow("a link met by the walk") << QString();
        QTest::newRow("the entry swapped for a link")
            << QStringLiteral("[ -L '%1/sub/victim' ] || { rm -f '%1/sub/victim'; ln -s '%2/victim' '%1/sub/victim'; }");
        QTest::newRow("a folder on the way swapped for a link")
            << QStringLiteral("[ -L '%1/sub' ] || { mv '%1/sub' '%1/sub.old'; ln -s '%2' '%1/sub'; }");
    }
    void linksLeadNowhere()
    {
        QFETCH(QString, meddle);
        const QString root = fresh(QStringLiteral("tree"));
        const QString targets = fresh(QStringLiteral("targets"));
        QVERIFY(makeFolder(targets) && makeFile(targets + "/victim", 0600));
        QVERIFY(makeFolder(root) && makeFolder(root + "/sub") && makeFile(root + "/sub/victim", 0600));
        QVERIFY(::symlink(bytes(targets + "/victim").constData(), bytes(root + "/link").constData()) == 0);
        makeRootOwned({targets + "/victim", root + "/sub/victim"});
        wrapHelper(meddle.isEmpty() ? meddle : meddle.arg(root, targets));
        choose(root, 0755, true);
        c->apply();
        QCOMPARE(inodeOf(targets + "/victim"), (Inode{0600u, 0u}));
        if (meddle.isEmpty()) {
            QCOMPARE(c->itemChanged->text(), QStringLiteral("Done!"));
            QCOMPARE(inodeOf(root + "/sub/victim").mode, 0755u);
        } else {
            QCOMPARE(c->itemChanged->text(), root + QStringLiteral("/sub/victim - ERROR!"));
        }
    }

    void ownerAndGroup_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("enclosed");
        QTest::addColumn<QString>("error"); // empty: chown succeeds
        QTest::newRow("with -R") << "root" << true << QString();
        QTest::newRow("without -R") << "root" << false << QString();
        QTest::newRow("a name with a space") << "no such user" << true << "no such user:root";
        QTest::newRow("a name that starts with '-'") << "-R" << false << "-R:root";
    }
    void ownerAndGroup()
    {
        QFETCH(QString, owner);
        QFETCH(bool, enclosed);
        QFETCH(QString, error);
        const QString root = fresh(QStringLiteral("owned tree"));
        QVERIFY(makeFolder(root) && makeFile(root + "/inside", 0644));
        c->DoWork(root);
        c->applyToEncloseItems->setChecked(enclosed);
        c->advNewOwn->clear();
        c->advNewOwn->addItem(owner);
        c->advNewGrp->clear();
        c->advNewGrp->addItem(QStringLiteral("root"));
        c->applynewowners();

        const bool changed = error.isEmpty();
        QCOMPARE(c->pathFile->text(), root); // inspected again
        QCOMPARE(c->ownerName->text(), changed ? QStringLiteral("root") : QString::fromLocal8Bit(qgetenv("USER")));
        QCOMPARE(inodeOf(root).uid, changed ? 0u : unsigned(getuid()));
        QCOMPARE(inodeOf(root + "/inside").uid, changed && enclosed ? 0u : unsigned(getuid()));
        if (changed) {
            QCOMPARE(c->itemChanged->text(), QString());
        } else {
            QVERIFY2(c->itemChanged->text().startsWith(QLatin1String("/bin/chown: invalid user: "))
                         && c->itemChanged->text().contains(error),
                     qPrintable(c->itemChanged->text()));
        }
    }

    // While the administrator reads the dialog (here: the moment Brindle
    // first waits for polkit), whoever owns a folder on the way swaps the
    // item, or the folder above it, for a link: chown as root still changes
    // the item that was shown, and never what the link leads to.
    void chownFollowsNoSwappedLink_data()
    {
        QTest::addColumn<bool>("folder"); // the item is a folder, changed with -R
        QTest::addColumn<QString>("swapped");
        QTest::newRow("the file swapped for a link") << false << "sub/item";
        QTest::newRow("the folder above a file swapped") << false << "sub";
        QTest::newRow("the folder above a folder swapped, -R") << true << "sub";
    }
    void chownFollowsNoSwappedLink()
    {
        QFETCH(bool, folder);
        QFETCH(QString, swapped);
        const QString root = fresh(QStringLiteral("swapped tree"));
        const QString targets = fresh(QStringLiteral("targets"));
        // The targets mirror the tree: whichever link is swapped in leads to a victim.
        for (const QString &top : {root, targets}) {
            QVERIFY(makeFolder(top) && makeFolder(top + "/sub"));
            QVERIFY(folder ? makeFolder(top + "/sub/item") && makeFile(top + "/sub/item/inside")
                           : makeFile(top + "/sub/item"));
        }
        c->DoWork(root + "/sub/item");
        c->applyToEncloseItems->setChecked(folder);
        c->advNewOwn->clear();
        c->advNewOwn->addItem(QStringLiteral("root"));
        c->advNewGrp->clear();
        c->advNewGrp->addItem(QStringLiteral("root"));
        bool swappedIn = false;
        QTimer::singleShot(0, this, [&] {
            const QByteArray entry = bytes(root + '/' + swapped);
            swappedIn = ::rename(entry.constData(), (entry + ".old").constData()) == 0
                        && ::symlink(bytes(targets + '/' + swapped).constData(), entry.constData()) == 0;
        });
        c->applynewowners();
        QVERIFY(swappedIn);

        QCOMPARE(inodeOf(targets + "/sub/item").uid, unsigned(getuid()));
        const QString moved = root + (swapped == "sub" ? "/sub.old/item" : "/sub/item.old");
        QCOMPARE(inodeOf(moved).uid, 0u);
        if (folder) {
            QCOMPARE(inodeOf(targets + "/sub/item/inside").uid, unsigned(getuid()));
            QCOMPARE(inodeOf(moved + "/inside").uid, 0u);
        }
    }

    void chownOnAGonePathIsSaid()
    {
        const QString gone = fresh(QStringLiteral("gone"));
        QVERIFY(makeFile(gone));
        c->DoWork(gone);
        QVERIFY(QFile::remove(gone));
        c->advNewOwn->clear();
        c->advNewOwn->addItem(QStringLiteral("root"));
        c->advNewGrp->clear();
        c->advNewGrp->addItem(QStringLiteral("root"));
        c->applynewowners();
        QVERIFY2(c->itemChanged->text().contains(QLatin1String("No such file or directory")),
                 qPrintable(c->itemChanged->text()));
        QVERIFY(!c->applyButton->isEnabled());
    }
};

QTEST_MAIN(ApplyTest)
#include "tst_apply.moc"
