// One inspection with 100,000 users and 50,000 groups: DoWork() until the
// window shows the item, both halves of the advanced panel filled and the
// item's owner and group selected in the new pop-ups. Accounts come from
// glibc's files backend (the databases bind-mounted over /etc/passwd and
// /etc/group in a private mount namespace: run as root) and from
// nss_wrapper. The reference, in the same processes: refilling the two
// pop-ups item by item (clear(), addItems(), findText()) as a plain
// QComboBox would. Each side runs in fresh processes, rounds alternate,
// medians and spreads are printed with the peak memory of each process.
#include "MainWindowLoader.h"
#include "theController.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kUsers = 100000;
constexpr int kGroups = 50000;
constexpr int kInspections = 21;

bool writeDatabases(const QString &dir)
{
    QFile passwd(dir + QStringLiteral("/passwd")), group(dir + QStringLiteral("/group"));
    if (!passwd.open(QIODevice::WriteOnly) || !group.open(QIODevice::WriteOnly))
        return false;
    // root first, as on any system; the bench's users after.
    QByteArray text = "root:x:0:0:root:/root:/bin/bash\n";
    for (int i = 0; i < kUsers; ++i)
        text += "user" + QByteArray::number(i) + ":x:" + QByteArray::number(100000 + i) + ":"
                + QByteArray::number(100000 + i % kGroups) + "::/home/user" + QByteArray::number(i) + ":/bin/bash\n";
    passwd.write(text);
    text = "root:x:0:\n";
    for (int i = 0; i < kGroups; ++i)
        text += "group" + QByteArray::number(i) + ":x:" + QByteArray::number(100000 + i) + ":\n";
    group.write(text);
    return passwd.flush() && group.flush();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// In a fresh process: the window as Brindle starts, then inspections of two
// items in turn. Prints "first median min max popupOpen completerUs".
int inspect(int argc, char *argv[], bool naive, const char *first, const char *second)
{
    QApplication app(argc, argv);
    std::fflush(stdout);
    const int out = dup(STDOUT_FILENO);
    dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO); // the fills' batch lines
    MainWindowLoader w = MainWindowLoader::load();
    w.window->show();
    w.controller->applicationDidFinishLaunching();
    QCoreApplication::processEvents();
    theController *c = w.controller;
    QComboBox plainOwners, plainGroups;

    std::vector<double> times;
    double firstMs = 0;
    bool selected = true;
    for (int i = 0; i <= kInspections; ++i) {
        const QString path = QFile::decodeName(i % 2 ? second : first);
        QElapsedTimer timer;
        timer.start();
        if (naive) {
            // The reference: what refilling two pop-ups item by item costs.
            plainOwners.clear();
            plainGroups.clear();
            plainOwners.addItems(c->saElencoUtentiFromDirectory);
            plainGroups.addItems(c->saElencoGruppiGIDFromDirectory);
            plainOwners.setCurrentIndex(plainOwners.findText(c->ownerName->text()));
            plainGroups.setCurrentIndex(plainGroups.findText(c->groupName->text()));
        } else {
            c->DoWork(path);
            QCoreApplication::processEvents(); // the window shows the item
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!naive)
            selected = selected && c->advNewOwn->currentText() == c->ownerName->text()
                       && c->advNewGrp->currentText() == c->groupName->text()
                       && c->ownerName->text().startsWith(QLatin1String("user"));
        if (i == 0 && !naive) {
            firstMs = ms;
            continue;
        }
        times.push_back(ms);
        if (naive && i == 0)
            c->DoWork(path);
    }

    double popupMs = 0, completerUs = 0, sortMs = 0;
    if (!naive) {
        QElapsedTimer timer;
        timer.start();
        c->advNewOwn->showPopup();
        QCoreApplication::processEvents();
        popupMs = timer.nsecsElapsed() / 1e6;
        c->advNewOwn->hidePopup();
        QCompleter *completer = c->advNewOwn->completer();
        timer.restart();
        emit c->advNewOwn->lineEdit()->textEdited(QStringLiteral("u")); // sorts, once
        sortMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        completer->setCompletionPrefix(QStringLiteral("user8765"));
        const QString found = completer->currentCompletion();
        completerUs = timer.nsecsElapsed() / 1e3;
        selected = selected && found == QLatin1String("user8765");
    }
    std::fflush(stdout);
    dup2(out, STDOUT_FILENO);
    std::sort(times.begin(), times.end());
    std::printf("%f %f %f %f %f %f %f\n", firstMs, median(times), times.front(), times.back(), popupMs, completerUs,
                sortMs);
    return selected ? 0 : 2;
}

// Re-runs this program with --inspect in a private mount namespace where
// /etc/passwd and /etc/group are the bench's databases.
int inNamespace(char *argv[], const char *dir)
{
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        std::perror("bench_inspection: private mount namespace (run as root)");
        return 1;
    }
    const std::string passwd = std::string(dir) + "/passwd", group = std::string(dir) + "/group";
    if (mount(passwd.c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) != 0
        || mount(group.c_str(), "/etc/group", nullptr, MS_BIND, nullptr) != 0) {
        std::perror("bench_inspection: bind mount");
        return 1;
    }
    execv("/proc/self/exe", argv + 3); // argv[3] is this program again, then --inspect
    return 1;
}

struct Run
{
    bool ok = false;
    long peakKiB = 0;
    double first = 0, median = 0, min = 0, max = 0, popup = 0, completer = 0, sort = 0;
};

Run run(std::vector<std::string> args, const std::vector<std::string> &env)
{
    Run result;
    int pipeFds[2];
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
    pid_t pid;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return result;
    }
    std::string output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, std::size_t(n));
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.peakKiB = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0
                && std::sscanf(output.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &result.first, &result.median, &result.min,
                               &result.max, &result.popup, &result.completer, &result.sort)
                       == 7;
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 2 && std::strcmp(argv[1], "--namespace") == 0)
        return inNamespace(argv, argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "--inspect") == 0)
        return inspect(argc, argv, std::strcmp(argv[2], "naive") == 0, argv[3], argv[4]);
    if (argc > 1) {
        std::fprintf(stderr, "usage: bench_inspection (as root, no arguments)\n");
        return 1;
    }

    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_inspection: run as root (a private mount namespace serves glibc's files)\n");
        return 1;
    }
    QTemporaryDir dir(QStringLiteral("/var/tmp/brindle-bench-XXXXXX"));
    if (!dir.isValid() || !writeDatabases(dir.path())) {
        std::fprintf(stderr, "bench_inspection: can't write the databases\n");
        return 1;
    }
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    // Two items owned by accounts deep in the lists.
    const std::string first = dir.filePath(QStringLiteral("first")).toStdString();
    const std::string second = dir.filePath(QStringLiteral("second")).toStdString();
    for (const auto &[path, uid, gid] : {std::tuple{first, 177777, 104321}, std::tuple{second, 112345, 149999}}) {
        close(open(path.c_str(), O_CREAT | O_WRONLY, 0644));
        if (chown(path.c_str(), uid_t(uid), gid_t(gid)) != 0)
            return 1;
    }
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<std::string> wrapped = env;
    wrapped.push_back(std::string("LD_PRELOAD=") + BRINDLE_NSS_WRAPPER);
    wrapped.push_back("NSS_WRAPPER_PASSWD=" + dir.filePath(QStringLiteral("passwd")).toStdString());
    wrapped.push_back("NSS_WRAPPER_GROUP=" + dir.filePath(QStringLiteral("group")).toStdString());

    const std::string self = "/proc/self/exe";
    char exe[4096] = {};
    if (readlink(self.c_str(), exe, sizeof exe - 1) <= 0)
        return 1;
    const std::string dirPath = dir.path().toStdString();

    for (const bool files : {true, false}) {
        std::vector<double> brindle, naive, firsts, popups, completers, sorts;
        double lo = 1e9, hi = 0, naiveLo = 1e9, naiveHi = 0;
        long peak = 0, naivePeak = 0;
        for (int round = 0; round < 5; ++round) {
            for (const bool isNaive : {round % 2 == 1, round % 2 == 0}) {
                std::vector<std::string> args{exe};
                if (files)
                    args.insert(args.end(), {"--namespace", dirPath, exe});
                args.insert(args.end(), {"--inspect", isNaive ? "naive" : "brindle", first, second});
                const Run r = run(args, files ? env : wrapped);
                if (!r.ok) {
                    std::fprintf(stderr, "bench_inspection: an inspection run failed (%s)\n",
                                 files ? "files" : "nss_wrapper");
                    return 1;
                }
                if (isNaive) {
                    naive.push_back(r.median);
                    naiveLo = std::min(naiveLo, r.min);
                    naiveHi = std::max(naiveHi, r.max);
                    naivePeak = std::max(naivePeak, r.peakKiB);
                } else {
                    brindle.push_back(r.median);
                    firsts.push_back(r.first);
                    popups.push_back(r.popup);
                    completers.push_back(r.completer);
                    sorts.push_back(r.sort);
                    lo = std::min(lo, r.min);
                    hi = std::max(hi, r.max);
                    peak = std::max(peak, r.peakKiB);
                }
            }
        }
        std::printf("== %s: %d users, %d groups, 5 processes a side, %d inspections each\n",
                    files ? "glibc files (bind-mounted)" : "nss_wrapper", kUsers, kGroups, kInspections);
        std::printf("inspection:            %.2f ms median (%.2f-%.2f), first after start %.1f ms; goal <= 50 ms\n",
                    median(brindle), lo, hi, median(firsts));
        std::printf("pop-ups item by item:  %.2f ms median (%.2f-%.2f) for the two new pop-ups alone\n",
                    median(naive), naiveLo, naiveHi);
        std::printf("ratio (inspection / item-by-item pop-ups): %.3fx\n", median(brindle) / median(naive));
        std::printf("owner pop-up opens in %.1f ms; the first key typed sorts the names in %.1f ms, then the "
                    "completer finds a name in %.0f us\n",
                    median(popups), median(sorts), median(completers));
        std::printf("peak memory: %ld MiB with models, %ld MiB item by item\n", peak / 1024, naivePeak / 1024);
    }
    return 0;
}
