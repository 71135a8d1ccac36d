#include "InputGuard.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// A widget inside a modal window, or a popup that such a window opened.
bool belongsToModalWindow(const QWidget *widget)
{
    for (const QWidget *top = widget ? widget->window() : nullptr; top;
         top = top->parentWidget() ? top->parentWidget()->window() : nullptr) {
        if (top->isModal())
            return true;
    }
    return false;
}

// The widget an event is meant for: the receiver itself, or the widget a
// shortcut object (QShortcut, a QAction of a widget) belongs to.
const QWidget *widgetOf(const QObject *receiver)
{
    if (receiver->isWidgetType())
        return static_cast<const QWidget *>(receiver);
    return qobject_cast<const QWidget *>(receiver->parent());
}

class Filter : public QObject
{
public:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Close) {
            // Closing by code goes on; the window manager's close button does not.
            if (!event->spontaneous() || !receiver->isWidgetType() || belongsToModalWindow(widgetOf(receiver)))
                return false;
            event->ignore();
            return true;
        }
        if (!isUserInput(type))
            return false;
        // Windows of the platform (QWindow) hand their input on to widgets,
        // where it is judged.
        if (receiver->isWindowType())
            return false;
        if (belongsToModalWindow(widgetOf(receiver)))
            return false;
        event->ignore();
        return true;
    }
};

struct BlockedWindow
{
    QPointer<QWidget> window;
    std::optional<QCursor> cursor; // the window's own cursor, when it had one
    QString description;
};

struct State
{
    int depth = 0;
    Filter *filter = nullptr;
    std::vector<BlockedWindow> windows;
};

State &state()
{
    static State s;
    return s;
}

void begin(const QString &reason)
{
    State &s = state();
    if (s.depth++ > 0 || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    s.filter = new Filter;
    qApp->installEventFilter(s.filter);
    // An open menu would keep the mouse; it closes like on any busy start.
    for (QWidget *last = nullptr, *popup; (popup = QApplication::activePopupWidget()) && popup != last;
         last = popup)
        popup->close();
    // An inner guard leaves the outer one's description.
    const QString description = reason.isEmpty() ? QApplication::translate("InputGuard", "Busy") : reason;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || belongsToModalWindow(window))
            continue;
        BlockedWindow blocked{window, std::nullopt, window->accessibleDescription()};
        if (window->testAttribute(Qt::WA_SetCursor))
            blocked.cursor = window->cursor();
        window->setCursor(Qt::BusyCursor);
        window->setAccessibleDescription(description);
        s.windows.push_back(std::move(blocked));
    }
}

void end()
{
    State &s = state();
    if (--s.depth > 0 || !s.filter)
        return;
    delete s.filter; // removes itself from the application's filters
    s.filter = nullptr;
    for (BlockedWindow &blocked : s.windows) {
        if (!blocked.window)
            continue;
        if (blocked.cursor)
            blocked.window->setCursor(*blocked.cursor);
        else
            blocked.window->unsetCursor();
        blocked.window->setAccessibleDescription(blocked.description);
    }
    s.windows.clear();
}

} // namespace

InputGuard::InputGuard()
{
    begin(QString());
}

InputGuard::InputGuard(const QString &reason)
{
    begin(reason);
}

InputGuard::~InputGuard()
{
    end();
}

bool InputGuard::active()
{
    return state().depth > 0;
}
