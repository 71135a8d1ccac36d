// The account fills over 100,000 users and 50,000 groups served by NSS
// (nss_wrapper), against `getent passwd; getent group` on the same files, in
// one run. Prints both times, the ratio and the peak memory.
#include "theController.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

bool writeFiles(const QString &dir)
{
    QFile passwd(dir + QStringLiteral("/passwd")), group(dir + QStringLiteral("/group"));
    if (!passwd.open(QIODevice::WriteOnly) || !group.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    for (int i = 0; i < 100000; ++i)
        text += "user" + QByteArray::number(i) + ":x:" + QByteArray::number(100000 + i) + ":"
                + QByteArray::number(100000 + i % 50000) + ":User " + QByteArray::number(i) + ":/home/user"
                + QByteArray::number(i) + ":/bin/bash\n";
    passwd.write(text);
    text.clear();
    for (int i = 0; i < 50000; ++i)
        text += "group" + QByteArray::number(i) + ":x:" + QByteArray::number(100000 + i) + ":user"
                + QByteArray::number(i) + ",user" + QByteArray::number(i + 50000) + "\n";
    group.write(text);
    return true;
}

double runGetent(const char *database)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char *args[] = {const_cast<char *>("getent"), const_cast<char *>(database), nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid;
    if (posix_spawnp(&pid, "getent", &actions, nullptr, args, environ) != 0)
        std::exit(1);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    posix_spawn_file_actions_destroy(&actions);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("NSS_WRAPPER_PASSWD")) {
        // Write the databases, then start again with nss_wrapper serving them.
        static QTemporaryDir dir;
        if (!writeFiles(dir.path()))
            return 1;
        dir.setAutoRemove(false);
        setenv("LD_PRELOAD", BRINDLE_NSS_WRAPPER, 1);
        setenv("NSS_WRAPPER_PASSWD", qPrintable(dir.path() + QStringLiteral("/passwd")), 1);
        setenv("NSS_WRAPPER_GROUP", qPrintable(dir.path() + QStringLiteral("/group")), 1);
        setenv("BRINDLE_BENCH_DIR", qPrintable(dir.path()), 1);
        execv("/proc/self/exe", argv);
        return 1;
    }
    QCoreApplication app(argc, argv);
    theController controller;

    // Batch lines go where getent's output goes.
    std::fflush(stdout);
    const int out = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    QElapsedTimer timer;
    timer.start();
    controller.fillUsersInformations();
    controller.fillGroupsInformations();
    const double fillMs = timer.nsecsElapsed() / 1e6;
    std::fflush(stdout);
    dup2(out, STDOUT_FILENO);

    const double getentMs = runGetent("passwd") + runGetent("group");
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);

    std::printf("fills: %lld users, %lld groups in %.1f ms\n",
                static_cast<long long>(controller.saElencoUtentiFromDirectory.size()),
                static_cast<long long>(controller.saElencoGruppiGIDFromDirectory.size()), fillMs);
    std::printf("getent passwd; getent group: %.1f ms\n", getentMs);
    std::printf("ratio (fills / getent): %.2fx (goal: at most 1.3x)\n", fillMs / getentMs);
    std::printf("peak memory: Brindle's process %ld MiB, getent %ld MiB\n", self.ru_maxrss / 1024,
                children.ru_maxrss / 1024);
    QDir(qEnvironmentVariable("BRINDLE_BENCH_DIR")).removeRecursively();
    return 0;
}
