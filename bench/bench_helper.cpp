// Helper runs per second over 1,000 root-owned files after one
// pre-authorization, against starting a do-nothing set-user-ID program as
// often, in one run. Run as an ordinary user (scripts/bench.sh does).
#include "MainBundle.h"
#include "ModifyPermissionRight.h"
#include "support/PrivilegedSupport.h"
#include "theController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir fixtures(fixture(QStringLiteral("bench")));
    const QStringList files = fixtures.entryList(QDir::Files, QDir::Name);
    const QString reference = QCoreApplication::applicationDirPath() + QStringLiteral("/setuid-true");
    if (files.size() != 1000 || geteuid() == 0) {
        std::fprintf(stderr, "bench_helper: needs scripts/test-env.sh's fixtures and an ordinary user\n");
        return 2;
    }

    theController controller;
    Administrator administrator;
    AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef);
    if (!controller.preauthorizeForRight(kModifyPermissionRight)) {
        std::fprintf(stderr, "bench_helper: pre-authorization failed\n");
        return 1;
    }

    // Interleaved, so that whatever else the machine does weighs on both alike.
    const QByteArray path = QFile::encodeName(reference);
    char *args[] = {const_cast<char *>(path.constData()), nullptr};
    QElapsedTimer timer;
    qint64 helperNs = 0, referenceNs = 0;
    int failures = 0;
    for (int i = 0; i < files.size(); ++i) {
        controller.newPermission = (i % 2) ? 0640 : 0604;
        timer.start();
        if (!controller.chModFileAtPathAuthorized(fixtures.filePath(files[i])))
            ++failures;
        helperNs += timer.nsecsElapsed();

        timer.start();
        pid_t pid;
        if (posix_spawn(&pid, args[0], nullptr, nullptr, args, environ) != 0)
            return 1;
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        referenceNs += timer.nsecsElapsed();
    }
    const double helperSeconds = helperNs / 1e9;
    const double referenceSeconds = referenceNs / 1e9;

    const double helperRate = files.size() / helperSeconds;
    const double referenceRate = files.size() / referenceSeconds;
    std::printf("helper runs:            %8.1f per second (%d of %lld failed)\n", helperRate, failures,
                static_cast<long long>(files.size()));
    std::printf("set-user-ID do-nothing: %8.1f per second\n", referenceRate);
    std::printf("ratio (time per helper run / time per reference run): %.2fx (goal: at most 3x)\n",
                helperSeconds / referenceSeconds);
    AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights);
    return failures ? 1 : 0;
}
