#pragma once

#include <QByteArray>
#include <QString>

// File names on Linux are bytes. Brindle keeps the selected path as a string
// (the path text field is the only place it lives), so bytes that are not
// UTF-8 are carried as lone surrogates U+DC80..U+DCFF, one per byte, and
// turned back into the very same bytes on the way to the kernel.
QString pathFromBytes(const QByteArray &bytes);
// The same decoding into out, which has room for length units (never more
// are needed); returns how many were written. Account names from the
// directory take this path too, so that they go back byte for byte.
qsizetype decodeBytesInto(char16_t *out, const char *bytes, qsizetype length);
QByteArray bytesFromPath(const QString &path);
