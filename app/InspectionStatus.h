#pragma once

#include <QString>

// The status line's texts about the inspection itself.
namespace InspectionStatus {

// Why the item at path could not be read, errno being error. A symbolic link
// whose target is missing says so and names the target.
QString unreadableItemText(const QString &path, int error);

// After a drop of several items: only the first of count is on show.
QString firstOfDroppedText(int count);

} // namespace InspectionStatus
