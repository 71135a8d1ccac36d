#pragma once

class DropView;
class QMainWindow;
class theController;

// Loads the main window description: builds the window, creates the one
// controller and connects its outlets and the controls' actions, then sends
// awakeFromNib(). The controller is a child of the window.
struct MainWindowLoader
{
    QMainWindow *window = nullptr;
    theController *controller = nullptr;
    DropView *dropView = nullptr;

    static MainWindowLoader load();
};
