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

    void repairTool_data()
    {
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<unsigned>("modeAfter");
        QTest::addColumn<bool>("rootAfter");
        QTest::newRow("lost its bit: repaired") << 0755u << 04755u << true;
        QTest::newRow("04711, a user's: left alone") << 04711u << 04711u << false;
        QTest::newRow("4755, a user's: left alone") << 04755u << 04755u << false;
    }
    void repairTool()
    {
        QFETCH(unsigned, mode);
        QFETCH(unsigned, modeAfter);
        QFETCH(bool, rootAfter);
        QTemporaryDir resources;
        const QString tool = resources.filePath(QStringLiteral("bitsmith"));
        QVERIFY(QFile::copy(pathForResource(QStringLiteral("bitsmith")), tool));
        QVERIFY(::chmod(QFile::encodeName(tool).constData(), mode) == 0);
        setResourceDirectoryForTesting(resources.path());
        StderrCapture capture;
        controller.repairTool();
        const QString log = capture.stop();
        setResourceDirectoryForTesting(QString());
        QCOMPARE(log, QString());
        QCOMPARE(inodeOf(tool), (Inode{modeAfter, rootAfter ? 0u : unsigned(getuid())}));
        if (rootAfter) {
            // The repaired copy really runs as root.
            const HelperRun run = runHelper(tool, {}, {});
            QCOMPARE(run.standardError, QStringLiteral("Usage: bitsmith <pathfile> permission\n"));
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
