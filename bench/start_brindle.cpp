// Brindle's own main (app/main.cpp, built in here under another name) with a
// look at the account lists after the first paint of the main window:
//   BRINDLE_BENCH_AFTER_PAINT=lists         end once the lists are complete;
//   BRINDLE_BENCH_AFTER_PAINT=inspect:PATH  then inspect PATH 21 times and
//                                           print the median on standard error.
#include "ApplicationDelegate.h"
#include "FirstPaint.h"
#include "theController.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

int brindleMain(int argc, char *argv[]);

namespace {

void afterFirstPaint(theController *controller)
{
    const QString what = qEnvironmentVariable("BRINDLE_BENCH_AFTER_PAINT");
    // Reading a list waits for the fills.
    if (controller->saElencoUtentiFromDirectory.isEmpty() || controller->saElencoGruppiGIDFromDirectory.isEmpty())
        _exit(1);
    if (what.startsWith(QLatin1String("inspect:"))) {
        const QString path = what.mid(8);
        std::vector<double> ms;
        QElapsedTimer timer;
        for (int i = 0; i < 21; ++i) {
            timer.start();
            controller->DoWork(path);
            ms.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::nth_element(ms.begin(), ms.begin() + 10, ms.end());
        std::fprintf(stderr, "inspection of %s: median %.3f ms of 21 (users %lld, groups %lld)\n", qPrintable(path),
                     ms[10], static_cast<long long>(controller->saElencoUtentiFromDirectory.size()),
                     static_cast<long long>(controller->saElencoGruppiGIDFromDirectory.size()));
    }
    _exit(0);
}

// Waits, from the application's start, for the main window's first paint.
class MainWindowPaint : public QObject
{
protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *controller = qobject_cast<theController *>(applicationDelegate());
        if (event->type() == QEvent::Paint && controller && object->isWidgetType()
            && static_cast<QWidget *>(object)->window() == controller->theMainWnd) {
            QCoreApplication::instance()->removeEventFilter(this);
            new FirstPaint(controller->theMainWnd, [controller] { afterFirstPaint(controller); },
                           FirstPaint::AlreadyPainting);
        }
        return false;
    }
};

void watchForFirstPaint()
{
    QCoreApplication::instance()->installEventFilter(new MainWindowPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForFirstPaint)

int main(int, char *argv[])
{
    char *args[] = {argv[0], nullptr};
    return brindleMain(1, args);
}
