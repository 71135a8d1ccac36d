#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* The polkit action that lets bitsmith set a file's mode for its parent. */
extern const char kModifyPermissionRight[];

#ifdef __cplusplus
}
#endif
