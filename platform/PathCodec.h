#pragma once

#include <QByteArray>
#include <QString>

// File names on Linux are bytes. Brindle keeps the selected path as a string
// (the path text field is the only place it lives), so bytes that are not
// UTF-8 are carried as lone surrogates U+DC80..U+DCFF, one per byte, and
// turned back into the very same bytes on the way to the kernel.
QString pathFromBytes(const QByteArray &bytes);
QByteArray bytesFromPath(const QString &path);
