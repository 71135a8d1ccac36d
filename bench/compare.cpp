// Runs two sides, each one or more whole processes started one after the
// other, in interleaved rounds whose order alternates (A B, B A, ...), and
// prints each side's median and spread, the ratio, and each side's peak
// memory as /usr/bin/time -v reports it for a fresh run of every process.
// Both sides are started the same way (posix_spawn from this small
// program), with standard input, output and error on /dev/null.
//
// Usage: bench_compare ROUNDS -- NAME CMD ARGS... [\; CMD ARGS...] -- NAME CMD ...
// A command may begin with VAR=VALUE words, set in its environment only.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Command = std::vector<std::string>;
struct Side
{
    std::string name;
    std::vector<Command> commands;
    std::vector<double> ms;
};

int devNull = -1;

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool isAssignment(const std::string &word)
{
    const std::size_t eq = word.find('=');
    if (eq == 0 || eq == std::string::npos)
        return false;
    for (std::size_t i = 0; i < eq; ++i) {
        const char c = word[i];
        if (!(c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (i > 0 && c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Standard error of the last run, shown when it fails.
int errors = -1;

bool runOnce(const Command &command)
{
    std::vector<char *> argv, envp;
    std::size_t first = 0;
    for (; first < command.size() && isAssignment(command[first]); ++first)
        envp.push_back(const_cast<char *>(command[first].c_str()));
    for (char **e = environ; *e; ++e)
        envp.push_back(*e);
    envp.push_back(nullptr);
    for (std::size_t i = first; i < command.size(); ++i)
        argv.push_back(const_cast<char *>(command[i].c_str()));
    argv.push_back(nullptr);
    if (!argv[0])
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devNull, 0);
    posix_spawn_file_actions_adddup2(&actions, devNull, 1);
    if (ftruncate(errors, 0) == 0)
        lseek(errors, 0, SEEK_SET);
    posix_spawn_file_actions_adddup2(&actions, errors, 2);
    pid_t pid;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool runSide(Side &side, bool record)
{
    const double start = now();
    for (const Command &command : side.commands) {
        if (!runOnce(command)) {
            std::string line;
            for (const std::string &word : command)
                line += (line.empty() ? "" : " ") + word;
            std::fprintf(stderr, "bench_compare: `%s` failed; its standard error:\n", line.c_str());
            char text[4096];
            const ssize_t n = pread(errors, text, sizeof text, 0);
            if (n > 0)
                std::fwrite(text, 1, std::size_t(n), stderr);
            return false;
        }
    }
    if (record)
        side.ms.push_back(now() - start);
    return true;
}

double quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    const double at = q * double(v.size() - 1);
    const std::size_t lo = std::size_t(std::floor(at));
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - double(lo));
}

// Peak resident memory of a fresh run of each of the side's processes, from
// /usr/bin/time -v (a process of its own for each, so nothing is inherited
// from this one); the largest of them, in KiB.
long peakKiB(const Side &side)
{
    long peak = 0;
    for (const Command &command : side.commands) {
        char report[] = "/tmp/bench-compare-XXXXXX";
        const int fd = mkstemp(report);
        if (fd < 0)
            return -1;
        close(fd);
        Command timed;
        std::size_t program = 0;
        for (; program < command.size() && isAssignment(command[program]); ++program)
            timed.push_back(command[program]);
        timed.insert(timed.end(), {"/usr/bin/time", "-v", "-o", report});
        timed.insert(timed.end(), command.begin() + std::ptrdiff_t(program), command.end());
        const bool ok = runOnce(timed);
        long kib = -1;
        if (FILE *f = std::fopen(report, "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, f)) {
                if (const char *p = std::strstr(line, "Maximum resident set size (kbytes):"))
                    kib = std::atol(p + std::strlen("Maximum resident set size (kbytes):"));
            }
            std::fclose(f);
        }
        unlink(report);
        if (!ok || kib < 0)
            return -1;
        peak = std::max(peak, kib);
    }
    return peak;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 6 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: bench_compare ROUNDS -- NAME CMD ARGS... [\\; CMD...] -- NAME CMD ...\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    std::vector<Side> sides;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            if (i + 2 >= argc)
                return 2;
            sides.push_back({argv[++i], {{}}, {}});
        } else if (arg == ";") {
            sides.back().commands.emplace_back();
        } else {
            sides.back().commands.back().push_back(arg);
        }
    }
    if (sides.size() != 2 || rounds < 1)
        return 2;
    devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    errors = open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (errors < 0)
        errors = devNull;

    // Two rounds to warm the caches, not counted.
    for (int round = -2; round < rounds; ++round) {
        const bool record = round >= 0;
        const int first = (round & 1) ? 1 : 0;
        if (!runSide(sides[first], record) || !runSide(sides[1 - first], record))
            return 1;
    }
    std::vector<double> pairRatios;
    for (int r = 0; r < rounds; ++r)
        pairRatios.push_back(sides[0].ms[r] / sides[1].ms[r]);
    for (const Side &side : sides) {
        std::printf("%-12s median %7.1f ms  (quartiles %.1f–%.1f, range %.1f–%.1f; %d rounds)  peak memory %.1f MiB\n",
                    side.name.c_str(), quantile(side.ms, 0.5), quantile(side.ms, 0.25), quantile(side.ms, 0.75),
                    quantile(side.ms, 0), quantile(side.ms, 1), rounds, peakKiB(side) / 1024.0);
    }
    std::printf("ratio %s / %s: %.2fx (of the medians; pairwise ratios: median %.2f, quartiles %.2f–%.2f)\n",
                sides[0].name.c_str(), sides[1].name.c_str(), quantile(sides[0].ms, 0.5) / quantile(sides[1].ms, 0.5),
                quantile(pairRatios, 0.5), quantile(pairRatios, 0.25), quantile(pairRatios, 0.75));
    return 0;
}
