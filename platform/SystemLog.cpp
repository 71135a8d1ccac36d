#include "SystemLog.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <syslog.h>
#include <unistd.h>

void systemLog(const QString &line)
{
    // A format that ends in a line break still makes one line: the system
    // log ends every message itself.
    QByteArray text = line.toUtf8();
    while (text.endsWith('\n'))
        text.chop(1);
    // program_invocation_short_name is what openlog() would pick too, so the
    // stderr line and the journal line carry the same name.
    std::fprintf(stderr, "%s[%ld]: %s\n", program_invocation_short_name,
                 static_cast<long>(getpid()), text.constData());
    std::fflush(stderr);
    syslog(LOG_USER | LOG_NOTICE, "%s", text.constData());
}
