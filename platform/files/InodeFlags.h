#pragma once

// The immutable ("locked") inode flag, FS_IMMUTABLE_FL, as chattr +i sets it.
// Only regular files and folders have one here, as for chattr and lsattr;
// links are followed.
//
// Whether the item is locked: 1, 0, or -1 with errno when it can't be read.
int immutableFlag(const char *path);
// 0, or the errno of the refusal; EPERM when the process lacks
// CAP_LINUX_IMMUTABLE (any user but root) or does not own the item.
// Asking for the state the item already has changes nothing and succeeds.
int setImmutableFlag(const char *path, bool immutable);
