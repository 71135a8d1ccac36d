#pragma once

#include <QString>

// Brindle's resources beside its executable: bin/../libexec/brindle/NAME, the
// same in the build tree and in the installed tree. Empty when it isn't there.
QString pathForResource(const QString &name);

// Tests point the lookup at a folder of their own.
void setResourceDirectoryForTesting(const QString &directory);
