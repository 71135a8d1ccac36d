#pragma once

// Opening a path as root without following a symbolic link anywhere in it.
// Someone who owns a folder on the way could swap a component for a link
// between any check and the change; resolving and changing through one
// descriptor leaves no such gap.

// An O_PATH descriptor of path (relative paths from the working directory);
// -1 with errno ELOOP when any component is a symbolic link, or the open's
// own errno. Uses openat2(RESOLVE_NO_SYMLINKS), or walkWithoutLinks where the
// kernel lacks it.
int openWithoutLinks(const char *path);

// The same, one component at a time with O_NOFOLLOW.
int walkWithoutLinks(const char *path);

// chmod of what descriptor (from the calls above) refers to; 0 or -1.
int changeModeOfDescriptor(int descriptor, unsigned mode);
