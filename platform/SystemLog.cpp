#include "SystemLog.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <syslog.h>
#include <unistd.h>

void systemLog(const QString &line)
{
    const QByteArray text = line.toUtf8();
    // program_invocation_short_name is what openlog() would pick too, so the
    // stderr line and the journal line carry the same name.
    std::fprintf(stderr, "%s[%ld]: %s\n", program_invocation_short_name,
                 static_cast<long>(getpid()), text.constData());
    std::fflush(stderr);
    syslog(LOG_USER | LOG_NOTICE, "%s", text.constData());
}
