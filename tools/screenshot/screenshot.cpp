// brindle-screenshot ITEM OUT.png: shows Brindle's window with ITEM inspected
// (labelled orange through the advanced options, so both halves of the panel
// show it) and the group's write box ticked, then saves what the screen shows.
#include "MainWindowLoader.h"
#include "ColorWell.h"
#include "theController.h"

#include <QApplication>
#include <QCheckBox>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: brindle-screenshot ITEM OUT.png\n");
        return 2;
    }
    const QString item = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);

    const MainWindowLoader loaded = MainWindowLoader::load();
    loaded.window->show();
    loaded.controller->applicationDidFinishLaunching();
    theController *c = loaded.controller;
    c->DoWork(item);
    c->advNewLabelColor->setColor(c->aColorLabels.at(2));
    c->applyadvperm();
    c->setGrpWrite->setChecked(true);

    int status = 1;
    // Give the window manager-less X server a moment to map and paint.
    QTimer::singleShot(800, [&] {
        const QRect frame = loaded.window->frameGeometry();
        const QPixmap shot = loaded.window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                                 frame.height());
        status = shot.save(out) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
