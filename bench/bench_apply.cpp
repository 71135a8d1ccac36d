// One whole apply by Brindle, the way a user makes it: the window shown (on
// the offscreen platform), the item inspected, the boxes set, the enclosed
// items box ticked, Apply. The administrator answers when polkit asks.
// Usage: bench_apply TREE OCTAL-MODE [--rate]
//   exit status 0 when the status line ends with "Done!";
//   --rate prints the items changed per second by the apply itself.
#include "MainWindowLoader.h"
#include "support/PrivilegedSupport.h"
#include "support/WindowDriver.h"
#include "theController.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>
#include <cstring>
#include <ftw.h>

namespace {
long entries = 0;
int countEntry(const char *, const struct stat *, int, struct FTW *)
{
    ++entries;
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_apply TREE OCTAL-MODE [--rate]\n");
        return 2;
    }
    const QString tree = QString::fromLocal8Bit(argv[1]);
    const unsigned mode = QByteArray(argv[2]).toUInt(nullptr, 8);
    const bool rate = argc > 3 && std::strcmp(argv[3], "--rate") == 0;

    MainWindowLoader w = MainWindowLoader::load();
    theController *c = w.controller;
    Administrator administrator;
    w.window->show();
    QCoreApplication::processEvents();

    c->DoWork(tree);
    setNewPermissionBoxes(c, mode);
    c->applyToEncloseItems->setChecked(true);

    QElapsedTimer timer;
    timer.start();
    c->apply();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const bool done = c->itemChanged->text() == QLatin1String("Done!");
    if (rate) {
        nftw(argv[1], countEntry, 64, FTW_PHYS);
        std::printf("%ld items in %.2f s: %.1f items per second%s\n", entries, seconds, entries / seconds,
                    done ? "" : " (not Done!)");
    }
    if (!done)
        std::fprintf(stderr, "bench_apply: the status line says \"%s\"\n", qPrintable(c->itemChanged->text()));
    return done ? 0 : 1;
}
