// The reference for Brindle's start: an empty Qt 6 main window, shown. The
// start benchmark preloads first_paint_exit into it, as into Brindle.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    return QApplication::exec();
}
