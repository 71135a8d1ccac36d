// Why the deep enumerator walks with openat/getdents64 and changes each entry
// relative to its folder: the same recursive mode change done with fts
// (FTS_PHYSICAL, as chmod -R walks) and with DeepEnumerator + changeModeAt,
// alternately on one tree, in one process. Usage: bench_walk TREE [RUNS]
#include "DeepEnumerator.h"
#include "ModeChange.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <vector>

namespace {

// With chdir, fts hands short relative names, as chmod -R's fts does; it
// moves the whole process's working folder, which a window's process can't
// afford. Without, every change looks the full path up again.
long withFts(char *root, mode_t mode, bool chdirs)
{
    char *roots[] = {root, nullptr};
    FTS *fts = fts_open(roots, FTS_PHYSICAL | (chdirs ? 0 : FTS_NOCHDIR), nullptr);
    long changed = 0;
    while (FTSENT *e = fts_read(fts)) {
        if (e->fts_info == FTS_DP || e->fts_info == FTS_SL || e->fts_info == FTS_SLNONE || e->fts_level == 0)
            continue;
        if (fchmodat(AT_FDCWD, e->fts_accpath, mode, 0) == 0)
            ++changed;
    }
    fts_close(fts);
    return changed;
}

long withEnumerator(const char *root, mode_t mode)
{
    DeepEnumerator walk{QByteArray(root)};
    long changed = 0;
    while (walk.next()) {
        if (walk.kind() != DeepEnumerator::Unreadable && changeModeAt(walk.folderFd(), walk.name(), mode) == 0)
            ++changed;
    }
    return changed;
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_walk TREE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    std::vector<double> times[3];
    long counts[3] = {};
    int n = 0;
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 3; ++k) {
            const int side = i % 2 ? 2 - k : k; // alternating order
            const mode_t mode = n++ % 2 ? 0750 : 0755;
            const auto start = std::chrono::steady_clock::now();
            counts[side] = side == 0 ? withFts(argv[1], mode, false)
                         : side == 1 ? withFts(argv[1], mode, true)
                                     : withEnumerator(argv[1], mode);
            times[side].push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::printf("fts FTS_PHYSICAL|FTS_NOCHDIR + fchmodat:  median %7.1f ms, %ld entries\n", medianMs(times[0]),
                counts[0]);
    std::printf("fts FTS_PHYSICAL (chdir) + fchmodat:      median %7.1f ms, %ld entries\n", medianMs(times[1]),
                counts[1]);
    std::printf("openat/getdents64 + fchmodat2 at the fd:  median %7.1f ms, %ld entries\n", medianMs(times[2]),
                counts[2]);
    return 0;
}
