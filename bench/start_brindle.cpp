// Brindle's start, as app/main.cpp makes it, ending at the first paint of
// its main window (the account fills may still be running then). With
// --lists it ends once the lists are also complete; with --inspect PATH it
// then inspects PATH 21 times and prints the median time of one inspection.
#include "FirstPaint.h"
#include "MainWindowLoader.h"
#include "theController.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    qunsetenv("QT_NO_GLIB");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brindle"));
    QApplication::setDesktopFileName(QStringLiteral("brindle"));

    const MainWindowLoader loaded = MainWindowLoader::load();
    loaded.window->show();
    theController *controller = loaded.controller;
    QTimer::singleShot(0, controller, [controller] { controller->applicationDidFinishLaunching(); });

    const bool lists = argc > 1 && std::strcmp(argv[1], "--lists") == 0;
    const char *inspect = argc > 2 && std::strcmp(argv[1], "--inspect") == 0 ? argv[2] : nullptr;
    FirstPaint painted(loaded.window, [controller, lists, inspect] {
        if (lists || inspect) {
            // Reading a list waits for the fills.
            if (controller->saElencoUtentiFromDirectory.isEmpty() || controller->saElencoGruppiGIDFromDirectory.isEmpty())
                _exit(1);
        }
        if (inspect) {
            std::vector<double> ms;
            QElapsedTimer timer;
            for (int i = 0; i < 21; ++i) {
                timer.start();
                controller->DoWork(QString::fromLocal8Bit(inspect));
                ms.push_back(timer.nsecsElapsed() / 1e6);
            }
            std::nth_element(ms.begin(), ms.begin() + 10, ms.end());
            std::fprintf(stderr, "inspection of %s: median %.3f ms of 21 (users %lld, groups %lld)\n", inspect, ms[10],
                         static_cast<long long>(controller->saElencoUtentiFromDirectory.size()),
                         static_cast<long long>(controller->saElencoGruppiGIDFromDirectory.size()));
        }
        _exit(0);
    });
    return QApplication::exec();
}
