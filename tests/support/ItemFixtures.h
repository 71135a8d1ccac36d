#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

class QTemporaryDir;

// An empty file named name (bytes, not necessarily UTF-8) in dir with exactly
// this mode; its path as Brindle carries it (see PathCodec), empty on failure.
QString makeItemFile(const QTemporaryDir &dir, const QByteArray &name, mode_t mode);
