#include "ModifyPermissionRight.h"

const char kModifyPermissionRight[] = "it.vantelo.modifyPermission";
