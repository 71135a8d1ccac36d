#pragma once

class QObject;

// The application's delegate: one object that any view can reach without an
// outlet. Messages are sent to it by name (QMetaObject::invokeMethod), so the
// sender needs no header of the receiver.
void setApplicationDelegate(QObject *delegate);
QObject *applicationDelegate();
