// Brindle's own build of the authorization layer: polkit's libraries are
// loaded with the module on the first authorization call, not at start, and
// the module then answers with polkitd's real verdict. Runs as an ordinary
// user against the running polkitd (scripts/test-env.sh).
#include "ModifyPermissionRight.h"
#include "theController.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// Types the test administrator's password into the password dialog that the
// module's agent shows, as a person would, once it is on screen.
class Typist : public QObject
{
public:
    Typist() { qApp->installEventFilter(this); }
    int dialogs = 0;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(object);
        if (event->type() == QEvent::Show && dialog && dialog->findChild<QLineEdit *>(QStringLiteral("password"))) {
            ++dialogs;
            QTimer::singleShot(0, dialog, [dialog] {
                const QByteArray password = qgetenv("BRINDLE_TEST_ADMIN_PASSWORD");
                QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("password")),
                                 password.isEmpty() ? QStringLiteral("brindle-admin-secret") : QString::fromUtf8(password));
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            });
        }
        return false;
    }
};

} // namespace

class PolkitModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void loadedOnFirstUse()
    {
        QVERIFY2(geteuid() != 0, "run as an ordinary user (ctest runs it as brindle-tester)");
        theController controller; // hands over its agent starter, which loads nothing
        for (const char *library : {"libpolkit-gobject-1", "libpolkit-agent-1", "libgio-2.0", "brindle-polkit.so"})
            QVERIFY2(!mapped(library), library);

        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef),
                 errAuthorizationSuccess);
        for (const char *library : {"libpolkit-gobject-1", "libpolkit-agent-1", "libgio-2.0", "brindle-polkit.so"})
            QVERIFY2(mapped(library), library);

        // polkitd answers through the module: the right needs an
        // administrator, and asking was not allowed.
        AuthorizationItem item{kModifyPermissionRight, 0, nullptr, 0};
        AuthorizationRights rights{1, &item};
        QCOMPARE(AuthorizationCopyRights(controller.authorizationRef, &rights, nullptr,
                                         kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize, nullptr),
                 errAuthorizationInteractionNotAllowed);
        QCOMPARE(AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights),
                 errAuthorizationSuccess);
        controller.authorizationRef = nullptr;
    }

    // The agent and its dialog live in the module too: an authentication
    // asked through it succeeds.
    void authenticatesThroughTheModule()
    {
        theController controller;
        Typist typist;
        QCOMPARE(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef),
                 errAuthorizationSuccess);
        QVERIFY(controller.preauthorizeForRight(kModifyPermissionRight));
        QCOMPARE(typist.dialogs, 1);
        AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights);
        controller.authorizationRef = nullptr;
    }
};

QTEST_MAIN(PolkitModuleTest)
#include "tst_polkitmodule.moc"
