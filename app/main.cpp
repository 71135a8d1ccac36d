#include "MainWindowLoader.h"
#include "theController.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brindle"));
    QApplication::setDesktopFileName(QStringLiteral("brindle"));

    const MainWindowLoader loaded = MainWindowLoader::load();
    loaded.window->show();
    theController *controller = loaded.controller;
    QTimer::singleShot(0, controller, [controller] { controller->applicationDidFinishLaunching(); });
    return QApplication::exec();
}
