#pragma once

#include <QString>

// One line on standard error, "name[pid]: line", and the same line to syslog;
// line breaks at the end of line are dropped.
// Safe to call before QCoreApplication exists.
void systemLog(const QString &line);
