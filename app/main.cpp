#include "CommandLine.h"
#include "MainWindowLoader.h"
#include "theController.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    // polkit's replies and Brindle's authentication agent are served by
    // GLib's main context, which Qt's event loop runs only with its GLib
    // dispatcher.
    qunsetenv("QT_NO_GLIB");
    CommandLine::answerInformationRequests(argc, argv, QStringLiteral(BRINDLE_VERSION));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brindle"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("it.vantelo.brindle"));
    const QString item = CommandLine::itemToInspect(app, argc, argv);

    const MainWindowLoader loaded = MainWindowLoader::load();
    loaded.window->show();
    theController *controller = loaded.controller;
    QTimer::singleShot(0, controller, [controller, item] {
        controller->applicationDidFinishLaunching();
        if (!item.isEmpty())
            controller->setFileName(item);
    });
    return QApplication::exec();
}
