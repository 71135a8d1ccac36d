// The account fills over 100,000 users and 50,000 groups served by NSS
// (nss_wrapper), against `getent passwd; getent group` on the same files, in
// one run: seven rounds, alternating, each side in fresh processes, medians
// compared. Prints both times, the ratio and the peak memory of each side.
#include "theController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

bool writeDatabases(const QString &dir)
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
    return passwd.flush() && group.flush();
}

// One fill, as Brindle makes it at start: in a fresh process, NSS cold. The
// batch lines go to /dev/null, like getent's output. Prints "ms kib".
int fillOnce(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    theController controller;
    std::fflush(stdout);
    const int out = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    QElapsedTimer timer;
    timer.start();
    controller.fillUsersInformations();
    controller.fillGroupsInformations();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::fflush(stdout);
    dup2(out, STDOUT_FILENO);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const bool complete = controller.saElencoUtentiFromDirectory.size() == 100000
                          && controller.saElencoGruppiGIDFromDirectory.size() == 50000;
    std::printf("%f %ld\n", ms, self.ru_maxrss);
    return complete ? 0 : 1;
}

struct Run
{
    double ms = 0;
    long peakKiB = 0;
    bool ok = false;
    std::string output;
};

// Runs argv with the environment env, its standard output captured.
Run run(std::vector<std::string> args, const std::vector<std::string> &env)
{
    int pipeFds[2];
    Run result;
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char *> argv, envp;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment(env);
    for (std::string &e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return result;
    }
    char buffer[65536];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, std::size_t(n));
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.ms = timer.nsecsElapsed() / 1e6;
    result.peakKiB = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--fill") == 0)
        return fillOnce(argc, argv);

    QTemporaryDir dir; // removed, with the databases, when this ends
    if (!dir.isValid() || !writeDatabases(dir.path())) {
        std::fprintf(stderr, "bench_accounts: can't write the databases\n");
        return 1;
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back(std::string("LD_PRELOAD=") + BRINDLE_NSS_WRAPPER);
    env.push_back("NSS_WRAPPER_PASSWD=" + dir.filePath(QStringLiteral("passwd")).toStdString());
    env.push_back("NSS_WRAPPER_GROUP=" + dir.filePath(QStringLiteral("group")).toStdString());
    env.push_back("QT_QPA_PLATFORM=offscreen");

    std::vector<double> fills, getents;
    long fillPeak = 0, getentPeak = 0;
    for (int round = 0; round < 7; ++round) {
        const Run fill = run({self, "--fill"}, env);
        double ms = 0;
        long kib = 0;
        if (!fill.ok || std::sscanf(fill.output.c_str(), "%lf %ld", &ms, &kib) != 2) {
            std::fprintf(stderr, "bench_accounts: the fill failed\n");
            return 1;
        }
        fills.push_back(ms);
        fillPeak = std::max(fillPeak, kib);
        const Run passwd = run({"getent", "passwd"}, env);
        const Run group = run({"getent", "group"}, env);
        if (!passwd.ok || !group.ok)
            return 1;
        getents.push_back(passwd.ms + group.ms);
        getentPeak = std::max({getentPeak, passwd.peakKiB, group.peakKiB});
    }
    const double fillMs = median(fills), getentMs = median(getents);
    std::printf("fills of 100000 users and 50000 groups: %.1f ms (median of 7)\n", fillMs);
    std::printf("getent passwd; getent group:            %.1f ms (median of 7, process starts included)\n",
                getentMs);
    std::printf("ratio (fills / getent): %.2fx (goal: at most 1.3x)\n", fillMs / getentMs);
    std::printf("peak memory: the filling process %ld MiB, getent %ld MiB\n", fillPeak / 1024, getentPeak / 1024);
    return 0;
}
