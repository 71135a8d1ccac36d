// Preloaded (LD_PRELOAD) into a Qt program, unchanged: ends the process as
// soon as the first paint of its main window (a QMainWindow) has reached the
// display. The start benchmark runs Brindle's real executable and the empty
// reference program this same way.
#include "FirstPaint.h"

#include <QCoreApplication>
#include <QMainWindow>

#include <unistd.h>

namespace {

class MainWindowPaint : public QObject
{
protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType()
            && qobject_cast<QMainWindow *>(static_cast<QWidget *>(object)->window())) {
            QCoreApplication::instance()->removeEventFilter(this);
            new FirstPaint(static_cast<QWidget *>(object)->window(), [] { _exit(0); }, FirstPaint::AlreadyPainting);
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
