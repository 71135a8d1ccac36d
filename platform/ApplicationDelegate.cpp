#include "ApplicationDelegate.h"

#include <QPointer>

namespace {
QPointer<QObject> &delegateSlot()
{
    static QPointer<QObject> d;
    return d;
}
} // namespace

void setApplicationDelegate(QObject *delegate) { delegateSlot() = delegate; }

QObject *applicationDelegate() { return delegateSlot().data(); }
