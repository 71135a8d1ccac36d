// The locked flag for an ordinary user: the kernel refuses it without
// CAP_LINUX_IMMUTABLE, so the panel has chattr do it as root, after one
// administrator authentication, against the real polkitd.
#include "ColorWell.h"
#include "FinderFlags.h"
#include "InodeFlags.h"
#include "MainWindowLoader.h"
#include "support/PrivilegedSupport.h"
#include "theController.h"

#include <QCheckBox>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class LockTest : public QObject
{
    Q_OBJECT

    MainWindowLoader w;
    theController *c = nullptr;
    Administrator administrator;
    QTemporaryDir *scratch = nullptr;

    QString makeFile(const QString &name)
    {
        const QString path = scratch->filePath(name);
        ::close(::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644));
        return path;
    }

    static int locked(const QString &path) { return immutableFlag(QFile::encodeName(path).constData()); }

    void applyLocked(const QString &path, bool lock)
    {
        c->DoWork(path);
        c->advNewLocked->setChecked(lock);
        c->applyadvperm();
    }

private slots:
    void initTestCase()
    {
        QString why;
        if (!requireTestEnvironment(&why))
            QFAIL(qPrintable(why));
        // Under /var/tmp: the build folder is root's, and the flag needs a
        // file system that keeps it.
        scratch = new QTemporaryDir(QStringLiteral("/var/tmp/brindle-lock-XXXXXX"));
        QVERIFY(scratch->isValid());
        w = MainWindowLoader::load();
        c = w.controller;
        const QString probe = makeFile(QStringLiteral("probe"));
        QCOMPARE(setImmutableFlag(QFile::encodeName(probe).constData(), true), EPERM);
    }

    void cleanupTestCase()
    {
        // A failed test must not leave a locked file behind (polkit still
        // keeps the authentication for the unlock).
        if (locked(scratch->filePath(QStringLiteral("-locked by the panel"))) == 1)
            applyLocked(scratch->filePath(QStringLiteral("-locked by the panel")), false);
        delete w.window;
        delete scratch;
    }

    void unchangedBoxAsksNothing()
    {
        // Before any authentication is kept. A root file the tester can't
        // even open: the label fails quietly, and the lock as shown is left
        // alone without a password.
        const int asked = administrator.requests();
        const QString file = fixture(QStringLiteral("root-owned-2"));
        StderrCapture capture;
        applyLocked(file, false);
        capture.stop();
        QCOMPARE(administrator.requests(), asked);
    }

    // While polkit keeps nothing for this process.
    void cancelledLeavesItUnlocked()
    {
        const QString file = makeFile(QStringLiteral("cancelled"));
        administrator.script({Administrator::kCancel});
        StderrCapture capture;
        applyLocked(file, true);
        const QString log = capture.stop();
        QCOMPARE(administrator.requests(), 1);
        QVERIFY2(log.contains(QStringLiteral("durante l'esecuzione /usr/bin/chattr")), qPrintable(log));
        QCOMPARE(locked(file), 0);
        QVERIFY(!c->advCurrentLocked->isChecked());
    }

    void lockedAndUnlockedAfterOneAuthentication()
    {
        const int asked = administrator.requests();
        const QString file = makeFile(QStringLiteral("-locked by the panel"));
        c->DoWork(file);
        c->advNewLabelColor->setColor(Color::greenColor());
        c->advNewHidden->setChecked(true);
        c->advNewLocked->setChecked(true);
        c->applyadvperm();
        QCOMPARE(administrator.requests(), asked + 1);
        QCOMPARE(locked(file), 1);
        QVERIFY(c->advCurrentLocked->isChecked());
        QVERIFY(c->advNewLocked->isChecked());
        // Label before the lock; the invisibility after it is refused.
        short index = 0;
        QCOMPARE(fileIsInvisible(QFile::encodeName(file).constData(), &index), 0);
        QCOMPARE(index, short(4));

        applyLocked(file, false);
        QCOMPARE(locked(file), 0);
        QVERIFY(!c->advCurrentLocked->isChecked());
        QCOMPARE(administrator.requests(), asked + 1);
    }

    // chattr follows every link on the way to its argument: whoever owns a
    // folder there swaps it, or the file, for a link while Brindle waits for
    // polkit. The lock never lands on what the link leads to; a file swapped
    // away itself is refused rather than followed.
    void lockFollowsNoSwappedLink_data()
    {
        QTest::addColumn<QString>("swapped");
        QTest::addColumn<int>("itemLocked");
        QTest::newRow("the file swapped for a link") << "sub/item" << 0;
        QTest::newRow("the folder above it swapped") << "sub" << 1;
    }
    void lockFollowsNoSwappedLink()
    {
        QFETCH(QString, swapped);
        QFETCH(int, itemLocked);
        const QString root = scratch->filePath(QStringLiteral("swapped-") + QTest::currentDataTag());
        const QString targets = root + QStringLiteral(" targets");
        for (const QString &top : {root, targets}) {
            QVERIFY(::mkdir(QFile::encodeName(top).constData(), 0755) == 0);
            QVERIFY(::mkdir(QFile::encodeName(top + "/sub").constData(), 0755) == 0);
            ::close(::open(QFile::encodeName(top + "/sub/item").constData(), O_CREAT | O_WRONLY, 0644));
        }
        c->DoWork(root + "/sub/item");
        c->advNewLocked->setChecked(true);
        bool swappedIn = false;
        QTimer::singleShot(0, this, [&] {
            const QByteArray entry = QFile::encodeName(root + '/' + swapped);
            swappedIn = ::rename(entry.constData(), (entry + ".old").constData()) == 0
                        && ::symlink(QFile::encodeName(targets + '/' + swapped).constData(), entry.constData()) == 0;
        });
        StderrCapture capture;
        c->applyadvperm();
        capture.stop();
        const QString moved = root + (swapped == "sub" ? "/sub.old/item" : "/sub/item.old");
        const int victim = locked(targets + "/sub/item");
        const int item = locked(moved);
        // Nothing stays locked in the scratch folder, whatever happened.
        AuthorizationRef authorization = nullptr;
        QVERIFY(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization) == errAuthorizationSuccess);
        for (const QString &path : {targets + "/sub/item", moved}) {
            if (locked(path) == 1)
                c->runCommandWithAutorization(QStringLiteral("/usr/bin/chattr"), {QStringLiteral("-i"), path},
                                              &authorization);
        }
        AuthorizationFree(authorization, kAuthorizationFlagDefaults);
        QVERIFY(swappedIn);
        QCOMPARE(victim, 0);
        QCOMPARE(item, itemLocked);
    }
};

QTEST_MAIN(LockTest)
#include "tst_lock.moc"
