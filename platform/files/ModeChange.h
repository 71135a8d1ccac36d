#pragma once

#include <sys/types.h>

// Sets the mode of the entry called name in the folder open as folderFd,
// without following it when it is a symbolic link: 0, or the errno of the
// refusal (EOPNOTSUPP for a link). Entries found by a walk are changed this
// way, so that a name swapped for a link between the walk and the change
// cannot redirect it.
int changeModeAt(int folderFd, const char *name, mode_t mode);
