// Programs run as root through pkexec, and the helper's repair, against the
// real polkitd. Runs as an ordinary user; the cancel comes first, while polkit
// holds nothing for this process.
#include "MainBundle.h"
#include "SystemBeep.h"
#include "support/PrivilegedSupport.h"
#include "theController.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Inode)

#include <sys/stat.h>
#include <unistd.h>

class RunnerTest : public QObject
{
    Q_OBJECT

    theController controller;
    Administrator administrator;
    AuthorizationRef authorization = nullptr;
    QTemporaryDir scratch;

    QString makeFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) ? path : QString();
    }

    // The scratch folder's content back to this user, so it can be removed.
    void giveBack(const QString &path)
    {
        controller.runCommandWithAutorization(QStringLiteral("/bin/chown"),
                                              {QStringLiteral("-R"), QString::number(getuid()), path},
                                              &authorization);
    }

private slots:
    void initTestCase()
    {
        QString why;
        if (!requireTestEnvironment(&why))
            QFAIL(qPrintable(why));
        QVERIFY(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization)
                == errAuthorizationSuccess);
    }

    void cleanupTestCase()
    {
        giveBack(scratch.path());
        AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);
    }

    void cancelledLogsBeepsAndGoesOn()
    {
        const QString file = makeFile(scratch.filePath(QStringLiteral("cancelled")));
        administrator.script({Administrator::kCancel});
        const int beeps = systemBeepCount();
        StderrCapture capture;
        controller.runCommandWithAutorization(QStringLiteral("/bin/chown"), {QStringLiteral("root"), file},
                                              &authorization);
        const QString log = capture.stop();
        QCOMPARE(administrator.requests(), 1);
        // The administrator is told what will run, each argument whole.
        QCOMPARE(administrator.lastDetails(),
                 QStringLiteral("This will run as the administrator: /bin/chown root %1").arg(file));
        QCOMPARE(log.count(QLatin1Char('\n')), 1);
        QVERIFY2(log.contains(QStringLiteral("AuthorizationExecuteWithPrivileges - Errore %1 durante l'esecuzione "
                                             "/bin/chown\n")
                                  .arg(errAuthorizationCanceled)),
                 qPrintable(log));
        QCOMPARE(systemBeepCount(), beeps + 1);
        QCOMPARE(inodeOf(file).uid, unsigned(getuid()));
    }

    void argumentsStayWholeAndLongOutputIsDrained()
    {
        // One argument with blanks; far more output than a pipe holds.
        const QString folder = scratch.filePath(QStringLiteral("a folder with  spaces"));
        QVERIFY(QDir().mkdir(folder));
        for (int i = 0; i < 1000; ++i)
            QVERIFY(!makeFile(folder + QStringLiteral("/file number %1 with a long name to make output").arg(i))
                         .isEmpty());
        const int beeps = systemBeepCount();
        controller.runCommandWithAutorization(QStringLiteral("/bin/chown"),
                                              {QStringLiteral("-v"), QStringLiteral("-R"), QStringLiteral("root"),
                                               folder},
                                              &authorization);
        QCOMPARE(systemBeepCount(), beeps);
        QCOMPARE(inodeOf(folder).uid, 0u);
        QCOMPARE(inodeOf(folder + QStringLiteral("/file number 999 with a long name to make output")).uid, 0u);
        giveBack(folder);
        QCOMPARE(inodeOf(folder).uid, unsigned(getuid()));
    }

    // The repair makes a file set-user-ID root: only a regular file that no
    // one but root could have put there or could swap. (The attack: the
    // helper's path a link to a copy of id, made set-user-ID by one password.)
    void repairTool_data()
    {
        QTest::addColumn<QString>("resources"); // empty: a copy of this user's
        QTest::addColumn<unsigned>("mode");     // of this user's copy
        QTest::addColumn<QString>("changed");   // what the repair would change
        QTest::addColumn<Inode>("after");
        QTest::addColumn<QString>("log");
        const unsigned me = getuid();
        QTest::newRow("lost its bit where only root writes: repaired")
            << fixture(QStringLiteral("repair")) << 0u << fixture(QStringLiteral("repair/bitsmith"))
            << Inode{04755, 0} << QString();
        QTest::newRow("a link to a copy of id: refused")
            << fixture(QStringLiteral("repair-link")) << 0u << fixture(QStringLiteral("id-copy")) << Inode{0755, 0}
            << QStringLiteral("repairTool: %1 is not a regular file; nothing repaired")
                   .arg(fixture(QStringLiteral("repair-link/bitsmith")));
        QTest::newRow("in a folder others may write: refused")
            << fixture(QStringLiteral("repair-open")) << 0u << fixture(QStringLiteral("repair-open/bitsmith"))
            << Inode{0755, 0}
            << QStringLiteral("repairTool: the folder %1 is not owned by root or can be written by others; "
                              "nothing repaired")
                   .arg(fixture(QStringLiteral("repair-open")));
        QTest::newRow("this user's copy: refused") << QString() << 0755u << QString() << Inode{0755, me}
                                                   << QStringLiteral("repairTool: %1 is not owned by root or can be "
                                                                     "written by others; nothing repaired");
        QTest::newRow("04711, this user's: left alone") << QString() << 04711u << QString() << Inode{04711, me}
                                                        << QString();
        QTest::newRow("4755, this user's: left alone") << QString() << 04755u << QString() << Inode{04755, me}
                                                       << QString();
    }
    void repairTool()
    {
        QFETCH(QString, resources);
        QFETCH(unsigned, mode);
        QFETCH(QString, changed);
        QFETCH(Inode, after);
        QFETCH(QString, log);
        QTemporaryDir mine;
        if (resources.isEmpty()) {
            resources = mine.path();
            changed = mine.filePath(QStringLiteral("bitsmith"));
            QVERIFY(QFile::copy(pathForResource(QStringLiteral("bitsmith")), changed));
            QVERIFY(::chmod(QFile::encodeName(changed).constData(), mode) == 0);
            if (!log.isEmpty())
                log = log.arg(changed);
        }
        const int asked = administrator.requests();
        setResourceDirectoryForTesting(resources);
        StderrCapture capture;
        controller.repairTool();
        const QString logged = capture.stop();
        setResourceDirectoryForTesting(QString());
        if (log.isEmpty()) {
            QCOMPARE(logged, QString());
        } else {
            QCOMPARE(logged.count(QLatin1Char('\n')), 1);
            QVERIFY2(logged.endsWith(QStringLiteral("]: ") + log + QLatin1Char('\n')), qPrintable(logged));
            QCOMPARE(administrator.requests(), asked);
        }
        QCOMPARE(inodeOf(changed), after);
        if (after == Inode{04755, 0}) {
            // The repaired helper really runs as root; then it loses its bit
            // again for the next run.
            const HelperRun run = runHelper(changed, {}, {});
            QCOMPARE(run.standardError, QStringLiteral("Usage: bitsmith <pathfile> permission\n"));
            controller.runCommandWithAutorization(QStringLiteral("/bin/chmod"), {QStringLiteral("0755"), changed},
                                                  &authorization);
            QCOMPARE(inodeOf(changed), (Inode{0755, 0}));
        }
    }

    void repairWithoutHelperLogsOneLineAndRunsNothing()
    {
        QTemporaryDir empty;
        setResourceDirectoryForTesting(empty.path());
        const int asked = administrator.requests();
        const int beeps = systemBeepCount();
        StderrCapture capture;
        controller.repairTool();
        const QString log = capture.stop();
        setResourceDirectoryForTesting(QString());
        QCOMPARE(log.count(QLatin1Char('\n')), 1);
        QVERIFY2(log.contains(QLatin1String("repairTool:")), qPrintable(log));
        QCOMPARE(administrator.requests(), asked);
        QCOMPARE(systemBeepCount(), beeps);
    }
};

QTEST_MAIN(RunnerTest)
#include "tst_runner.moc"
