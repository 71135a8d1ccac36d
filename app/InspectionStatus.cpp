#include "InspectionStatus.h"

#include "FileAttributes.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace InspectionStatus {

QString unreadableItemText(const QString &path, int error)
{
    if (error == ENOENT) {
        if (const std::optional<QString> target = symbolicLinkTarget(path)) {
            return QCoreApplication::translate("theController", "Can't read “%1”: the link's target “%2” is missing")
                .arg(path, *target);
        }
    }
    return QCoreApplication::translate("theController", "Can't read “%1”: %2")
        .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

QString firstOfDroppedText(int count)
{
    return QCoreApplication::translate("theController", "%1 items were dropped; the first one is shown.")
        .arg(count);
}

} // namespace InspectionStatus
