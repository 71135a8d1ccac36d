#pragma once

// Opens the folder at path with flags (O_DIRECTORY and O_CLOEXEC added),
// refusing any symbolic link on the way: openat2 with RESOLVE_NO_SYMLINKS,
// or, on kernels before it, O_NOFOLLOW for the last component. For paths
// that were resolved already: a link in one now was swapped in since.
int openFolderWithoutLinks(const char *path, int flags);
