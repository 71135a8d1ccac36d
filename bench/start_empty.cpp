// The reference for Brindle's start: an empty Qt 6 main window, shown, that
// ends as soon as its first paint has reached the display.
#include "FirstPaint.h"

#include <QMainWindow>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    FirstPaint painted(&window, [] { _exit(0); });
    return QApplication::exec();
}
