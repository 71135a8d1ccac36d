// A helper run (bitsmith started by Brindle's chModFileAtPathAuthorized on a
// root-owned file, after one pre-authorization) against the start of a
// do-nothing set-user-ID program, both whole processes started with
// posix_spawn from this one, in pairs whose order alternates:
//  - isolated: each run after a pause that leaves the system bus and
//    polkitd idle;
//  - back to back: runs one right after the other, as an apply makes them.
// Prints medians, quartiles and the ratios. Run as an ordinary user, on a
// folder of root-owned files (scripts/bench.sh makes one).
// Usage: bench_helper FOLDER [PAIRS]
#include "ModifyPermissionRight.h"
#include "support/PrivilegedSupport.h"
#include "theController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

struct Figures
{
    std::vector<double> helper, reference;
};

double quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    const double at = q * double(v.size() - 1);
    const std::size_t lo = std::size_t(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - double(lo));
}

void print(const char *what, const Figures &f)
{
    std::printf("%s: helper median %.2f ms (quartiles %.2f–%.2f), set-user-ID do-nothing median %.2f ms "
                "(quartiles %.2f–%.2f); ratio %.2fx (goal: at most 3x)\n",
                what, quantile(f.helper, 0.5), quantile(f.helper, 0.25), quantile(f.helper, 0.75),
                quantile(f.reference, 0.5), quantile(f.reference, 0.25), quantile(f.reference, 0.75),
                quantile(f.helper, 0.5) / quantile(f.reference, 0.5));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || geteuid() == 0) {
        std::fprintf(stderr, "usage, as an ordinary user: bench_helper FOLDER-OF-ROOT-OWNED-FILES [PAIRS]\n");
        return 2;
    }
    const QDir fixtures(QString::fromLocal8Bit(argv[1]));
    const QStringList files = fixtures.entryList(QDir::Files, QDir::Name);
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const QByteArray reference = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/setuid-true"));
    if (files.isEmpty()) {
        std::fprintf(stderr, "bench_helper: no files in %s\n", argv[1]);
        return 2;
    }

    theController controller;
    Administrator administrator;
    AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &controller.authorizationRef);
    if (!controller.preauthorizeForRight(kModifyPermissionRight)) {
        std::fprintf(stderr, "bench_helper: pre-authorization failed\n");
        return 1;
    }

    int failures = 0, next = 0;
    QElapsedTimer timer;
    auto helperRun = [&] {
        controller.newPermission = (next % 2) ? 0640 : 0604;
        const QString file = fixtures.filePath(files[next++ % files.size()]);
        timer.start();
        if (!controller.chModFileAtPathAuthorized(file))
            ++failures;
        return timer.nsecsElapsed() / 1e6;
    };
    auto referenceRun = [&] {
        char *args[] = {const_cast<char *>(reference.constData()), nullptr};
        timer.start();
        pid_t pid;
        if (posix_spawn(&pid, args[0], nullptr, nullptr, args, environ) != 0)
            return -1.0;
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return timer.nsecsElapsed() / 1e6;
    };
    auto measure = [&](bool isolated) {
        Figures f;
        for (int i = -2; i < pairs; ++i) { // two pairs to warm up
            double h = 0, r = 0;
            for (int k = 0; k < 2; ++k) {
                if (isolated)
                    std::this_thread::sleep_for(std::chrono::milliseconds(60));
                const bool helperNow = (k == 0) == (i % 2 == 0);
                if (helperNow)
                    h = helperRun();
                else
                    r = referenceRun();
            }
            if (i >= 0) {
                f.helper.push_back(h);
                f.reference.push_back(r);
            }
        }
        return f;
    };
    print("isolated    ", measure(true));
    print("back to back", measure(false));
    std::printf("(%d pairs each; %d helper runs failed)\n", pairs, failures);
    AuthorizationFree(controller.authorizationRef, kAuthorizationFlagDestroyRights);
    return failures || next == 0 ? 1 : 0;
}
