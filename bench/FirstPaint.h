#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <functional>

// Calls then() once the first paint of a window has been done and flushed:
// the first paint event of the window or of one of its widgets starts a
// zero timer, which fires after the backing store has been flushed to the
// display at the end of that paint.
class FirstPaint : public QObject
{
public:
    enum When { NextPaint, AlreadyPainting };
    FirstPaint(QWidget *window, std::function<void()> then, When when = NextPaint)
        : m_window(window)
        , m_then(std::move(then))
    {
        if (when == AlreadyPainting)
            QTimer::singleShot(0, this, m_then);
        else
            qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType()
            && static_cast<QWidget *>(object)->window() == m_window) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, m_then);
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_then;
};
