// bitsmith and the pre-authorization that it relies on, against the real
// polkitd, with the helper installed set-user-ID root. Runs as an ordinary user.
// The cases run in this order: the first ones need a process that polkit has
// not yet authorized.
#include "ExternalForm.h"
#include "MainBundle.h"
#include "ModifyPermissionRight.h"
#include "support/PrivilegedSupport.h"
#include "theController.h"

#include "AuthenticationAgent.h"
#include "AuthenticationDialog.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class HelperTest : public QObject
{
    Q_OBJECT

    theController controller;
    Administrator administrator;
    QString helper;
    const QString rootOwned = fixture(QStringLiteral("root-owned-1"));

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray ownForm() const
    {
        ProcessIdentity self{getpid(), getuid(), *processStartTime(getpid())};
        const AuthorizationExternalForm form = encodeExternalForm(self, kExternalFormModifyPermission);
        return QByteArray(reinterpret_cast<const char *>(form.bytes), 32);
    }

private slots:
    void initTestCase()
    {
        QString why;
        if (!requireTestEnvironment(&why))
            QFAIL(qPrintable(why));
        helper = pathForResource(QStringLiteral("bitsmith"));
        QVERIFY2(!helper.isEmpty(), "bitsmith is not beside the tests");
        QCOMPARE(inodeOf(helper), (Inode{04755, 0}));
        QVERIFY(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef)
                == errAuthorizationSuccess);
    }

    void cleanupTestCase()
    {
        AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights);
    }

    void withoutPreauthorizationTheHelperRefusesWithoutAsking()
    {
        const Inode before = inodeOf(rootOwned);
        const HelperRun run = runHelper(helper, {QFile::encodeName(rootOwned), "493"}, controller.authorizationAsData());
        QCOMPARE(run.exitStatus, 255);
        QVERIFY2(run.standardError.startsWith(QLatin1String("Tool authorizing command failed authorization: ")),
                 qPrintable(run.standardError));
        QCOMPARE(administrator.requests(), 0);
        QCOMPARE(inodeOf(rootOwned), before);
        // And the same through the controller.
        controller.newPermission = 0755;
        QVERIFY(!controller.chModFileAtPathAuthorized(rootOwned));
        QCOMPARE(inodeOf(rootOwned), before);
    }

    void cancelledAuthenticationGivesNo()
    {
        // While polkit waits for the password, the window takes no input
        // (the path field once changed under a waiting pre-authorization).
        QWidget window;
        auto *path = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QMetaObject::Connection typing = connect(AuthenticationAgent::instance(),
                                                 &AuthenticationAgent::passwordRequested, this, [path] {
                                                     QTest::keyClicks(path, QStringLiteral("/etc/shadow"));
                                                 });
        administrator.script({Administrator::kCancel});
        QVERIFY(!controller.preauthorizeForRight(kModifyPermissionRight));
        disconnect(typing);
        QCOMPARE(path->text(), QString());
        QCOMPARE(administrator.requests(), 1);
        QCOMPARE(administrator.lastDetails(),
                 QStringLiteral("Permissions of items that you don't own will be changed."));
        controller.newPermission = 0755;
        QVERIFY(!controller.chModFileAtPathAuthorized(rootOwned));
        QCOMPARE(inodeOf(rootOwned).mode, 0600u);
    }

    void wrongPasswordThenTheRightOne()
    {
        const int before = administrator.requests();
        administrator.script({QStringLiteral("not the password")});
        QVERIFY(controller.preauthorizeForRight(kModifyPermissionRight));
        QCOMPARE(administrator.requests() - before, 2);
    }

    // polkit keeps the right for the whole process; within Brindle it belongs
    // to the reference that obtained it. Another reference of this process
    // that never asked gets nothing from the helper.
    void rightsBelongToTheirReference()
    {
        AuthorizationRef other = nullptr;
        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &other), errAuthorizationSuccess);
        AuthorizationExternalForm form{};
        QCOMPARE(AuthorizationMakeExternalForm(other, &form), errAuthorizationSuccess);
        const Inode before = inodeOf(rootOwned);
        const HelperRun run = runHelper(helper, {QFile::encodeName(rootOwned), "511"},
                                        QByteArray(reinterpret_cast<const char *>(form.bytes), 32));
        QCOMPARE(run.exitStatus, 255);
        QCOMPARE(run.standardError,
                 QStringLiteral("Tool authorizing command failed authorization: %1.\n").arg(errAuthorizationDenied));
        QCOMPARE(inodeOf(rootOwned), before);
        AuthorizationFree(other, kAuthorizationFlagDestroyRights);
    }

    void helperSetsRootOwnedModesWithoutAskingAgain_data()
    {
        QTest::addColumn<int>("newPermission");
        QTest::addColumn<unsigned>("mode");
        QTest::newRow("493") << 0755 << 0755u;
        QTest::newRow("2541") << 04755 << 04755u;
        QTest::newRow("back to 0600") << 0600 << 0600u;
    }
    void helperSetsRootOwnedModesWithoutAskingAgain()
    {
        QFETCH(int, newPermission);
        QFETCH(unsigned, mode);
        const int asked = administrator.requests();
        controller.newPermission = newPermission;
        QVERIFY(controller.chModFileAtPathAuthorized(rootOwned));
        QCOMPARE(inodeOf(rootOwned), (Inode{mode, 0}));
        QCOMPARE(administrator.requests(), asked);
    }

    // An authorized user owns a folder on the path and swaps the item, or a
    // folder above it, for a link to a root-owned file: the helper refuses.
    void linksOnThePathAreNotFollowed_data()
    {
        QTest::addColumn<QString>("link");   // in a folder this user owns
        QTest::addColumn<QString>("target"); // what the link points at
        QTest::addColumn<QString>("path");   // given to the helper, below the folder
        const QString fixtures = fixturesDir();
        QTest::newRow("the item is a link") << "item" << fixture(QStringLiteral("root-owned-1")) << "item";
        QTest::newRow("a folder above is a link") << "folder" << fixtures << "folder/root-owned-1";
    }
    void linksOnThePathAreNotFollowed()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QString, path);
        QTemporaryDir mine;
        QVERIFY(QFile::link(target, mine.filePath(link)));
        const QString given = mine.filePath(path);
        const Inode before = inodeOf(rootOwned);
        const HelperRun run = runHelper(helper, {QFile::encodeName(given), "511"}, ownForm());
        QCOMPARE(run.exitStatus, 255);
        QCOMPARE(run.standardError, QStringLiteral("Path %1 Stato: -1. ChMod: 777 - 511\n").arg(given));
        QCOMPARE(inodeOf(rootOwned), before);
        // Brindle's own call reaches the same refusal.
        controller.newPermission = 0777;
        QVERIFY(!controller.chModFileAtPathAuthorized(given));
        QCOMPARE(inodeOf(rootOwned), before);
    }

    void specialFilesDoNotBlockTheHelper()
    {
        QTemporaryDir mine;
        const QByteArray fifo = QFile::encodeName(mine.filePath(QStringLiteral("fifo")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const HelperRun run = runHelper(helper, {fifo, "420"}, ownForm());
        QCOMPARE(run.exitStatus, 0);
        QCOMPARE(inodeOf(QFile::decodeName(fifo)).mode, 0644u);
    }

    void helperCommandLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QString>("message");
        QTest::addColumn<unsigned>("mode"); // of the fixture afterwards
        const QByteArray file = QFile::encodeName(fixture(QStringLiteral("root-owned-2")));
        const QByteArray none = QFile::encodeName(fixture(QStringLiteral("none")));
        QTest::newRow("decimal 493") << QList<QByteArray>{file, "493"} << 0 << QString() << 0755u;
        QTest::newRow("0755 is read as decimal") << QList<QByteArray>{file, "0755"} << 0 << QString() << 01363u;
        QTest::newRow("blanks and sign") << QList<QByteArray>{file, "  +420xyz"} << 0 << QString() << 0644u;
        QTest::newRow("no digits") << QList<QByteArray>{file, "abc"} << 0 << QString() << 0u;
        QTest::newRow("one argument") << QList<QByteArray>{file} << 255
                                      << "Usage: bitsmith <pathfile> permission\n" << 0u;
        QTest::newRow("three arguments") << QList<QByteArray>{file, "493", "x"} << 255
                                         << "Usage: bitsmith <pathfile> permission\n" << 0u;
        QTest::newRow("missing file") << QList<QByteArray>{none, "493"} << 255
                                      << "Path " + QString::fromLocal8Bit(none) + " Stato: -1. ChMod: 755 - 493\n" << 0u;
    }
    void helperCommandLine()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(int, exitStatus);
        QFETCH(QString, message);
        QFETCH(unsigned, mode);
        const HelperRun run = runHelper(helper, args, ownForm());
        QCOMPARE(run.exitStatus, exitStatus);
        QCOMPARE(run.standardError, message);
        QCOMPARE(inodeOf(fixture(QStringLiteral("root-owned-2"))), (Inode{mode, 0}));
    }

    void notRootComesBeforeTheArguments()
    {
        // A copy made by an ordinary user has lost the set-user-ID installation.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("bitsmith"));
        QVERIFY(QFile::copy(helper, copy));
        const HelperRun run = runHelper(copy, {}, {});
        QCOMPARE(run.exitStatus, 255);
        QCOMPARE(run.standardError, QStringLiteral("Non sono root...  UID=%1\n").arg(getuid()));
    }

    void forgedExternalFormsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("input");
        const ProcessIdentity self{getpid(), getuid(), *processStartTime(getpid())};
        auto bytes = [](const ProcessIdentity &who) {
            const AuthorizationExternalForm f = encodeExternalForm(who, kExternalFormModifyPermission);
            return QByteArray(reinterpret_cast<const char *>(f.bytes), 32);
        };
        ProcessIdentity other = self;
        other.pid = getppid(); // alive, same user, not the helper's parent
        other.startTime = *processStartTime(other.pid);
        ProcessIdentity otherStart = self;
        otherStart.startTime += 1;
        ProcessIdentity otherUid = self;
        otherUid.uid = 0;
        QByteArray random(32, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(random.data()), 8);
        QTest::newRow("another live process") << bytes(other);
        QTest::newRow("another start time") << bytes(otherStart);
        QTest::newRow("another uid") << bytes(otherUid);
        QTest::newRow("random bytes") << random;
        QByteArray unknownRight = bytes(self);
        unknownRight[26] = 1;
        QTest::newRow("a right the form cannot carry") << unknownRight;
        QTest::newRow("31 bytes") << bytes(self).left(31);
        QTest::newRow("nothing") << QByteArray();
    }
    void forgedExternalFormsAreRefused()
    {
        QFETCH(QByteArray, input);
        const QString file = fixture(QStringLiteral("root-owned-3"));
        const HelperRun run = runHelper(helper, {QFile::encodeName(file), "511"}, input);
        QCOMPARE(run.exitStatus, 255);
        QCOMPARE(run.standardError, QString());
        QCOMPARE(inodeOf(file), (Inode{0600, 0}));
    }

    // The test set-up hands out nothing: the administrator's password is
    // root's to read, the fixtures sit where only root can change anything,
    // and the rule names the test administrator for Brindle's actions only
    // (it once did for every pkexec: one published password gave uid 0).
    void theTestSetupHandsOutNothing()
    {
        QFile password(QStringLiteral("/run/brindle-tests/admin-password"));
        QVERIFY(!password.open(QIODevice::ReadOnly));
        for (QString folder = fixturesDir(); folder != QLatin1String("/"); folder = QFileInfo(folder).path()) {
            struct stat st {};
            QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
            QVERIFY2(S_ISDIR(st.st_mode) && st.st_uid == 0 && !(st.st_mode & 022), qPrintable(folder));
        }
        AuthorizationRef other = nullptr;
        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &other), errAuthorizationSuccess);
        AuthorizationItem item{"org.freedesktop.policykit.exec", 0, nullptr, 0};
        const AuthorizationRights rights{1, &item};
        administrator.script({Administrator::password(), Administrator::kCancel});
        const AuthorizationStatus status = AuthorizationCopyRights(
            other, &rights, nullptr, kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights, nullptr);
        QVERIFY2(status != errAuthorizationSuccess, "brindle-admin's password opened pkexec");
        AuthorizationFree(other, kAuthorizationFlagDestroyRights);
    }

    // With its parent gone (re-parented to pid 1) the helper still checks
    // root first and reports; it used to end silently before that check.
    void anOrphanStillReports()
    {
        QTemporaryDir dir;
        const QString errors = dir.filePath(QStringLiteral("stderr"));
        // The middle shell waits until its parent has ended, then becomes the helper.
        const QString script = QStringLiteral(
            "sh -c 'while kill -0 \"$1\" 2>/dev/null; do :; done; exec \"$2\" 2>\"$3\"' _ $$ \"$0\" \"$1\" &");
        QCOMPARE(QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, helper, errors}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(readAll(errors), QByteArray("Usage: bitsmith <pathfile> permission\n"), 10000);
    }

    void bytesAfterTheFirst32AreNeverRead()
    {
        const QByteArray tail("0123456789abcdef");
        const HelperRun run = runHelper(helper, {QFile::encodeName(fixture(QStringLiteral("root-owned-4"))), "384"}, ownForm() + tail);
        QCOMPARE(run.exitStatus, 0);
        QCOMPARE(run.leftOnInput, tail);
    }

    // polkit revokes kept authorizations only for the caller's own login
    // session. Last: it ends what the cases above rely on.
    void destroyingRightsRevokesThemInALoginSession()
    {
        if (qEnvironmentVariableIsEmpty("XDG_SESSION_ID"))
            QSKIP("not in a login session: polkit keeps the right until its five minutes end (README)");
        AuthorizationRef asked = nullptr;
        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &asked), errAuthorizationSuccess);
        std::swap(asked, controller.authorizationRef);
        QVERIFY(controller.preauthorizeForRight(kModifyPermissionRight));
        std::swap(asked, controller.authorizationRef);
        AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights);
        AuthorizationFree(asked, kAuthorizationFlagDestroyRights);
        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef),
                 errAuthorizationSuccess);
        AuthorizationItem item{kModifyPermissionRight, 0, nullptr, 0};
        const AuthorizationRights rights{1, &item};
        QCOMPARE(AuthorizationCopyRights(controller.authorizationRef, &rights, nullptr, kAuthorizationFlagExtendRights,
                                         nullptr),
                 errAuthorizationInteractionNotAllowed);
    }

    void missingHelperAnswersNo()
    {
        QTemporaryDir empty;
        setResourceDirectoryForTesting(empty.path());
        controller.newPermission = 0644;
        QVERIFY(!controller.chModFileAtPathAuthorized(fixture(QStringLiteral("root-owned-4"))));
        setResourceDirectoryForTesting(QString());
        QCOMPARE(inodeOf(fixture(QStringLiteral("root-owned-4"))).mode, 0600u);
    }
};

QTEST_MAIN(HelperTest)
#include "tst_helper.moc"
