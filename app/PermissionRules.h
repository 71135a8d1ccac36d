#pragma once

#include <QString>

#include <array>
#include <cstdint>

// A permission mode: the twelve POSIX mode bits, held as a signed 32-bit value.
using PermissionLong = std::int32_t;

namespace PermissionRules {

// "r"/"w"/"x" where the bit is set, "-" where it is not, in that order.
QString classText(bool read, bool write, bool execute);

// Rights in words, each with its trailing blank: "read write execute ", "".
QString readableText(bool read, bool write, bool execute);

// Nine letters from the permission bits of mode, owner then group then others.
// The special bits never show up here.
QString symbolicText(PermissionLong mode);

// "chmod = %o": octal digits, no leading zero, special bits included.
QString octalLine(PermissionLong mode);

// "%ld": the mode in decimal, the form in which it travels to the helper.
QString decimalModeText(PermissionLong mode);

// The class bits of mode (0 owner, 1 group, 2 others) as read/write/execute.
struct ClassBits
{
    bool read, write, execute;
};
ClassBits classBits(PermissionLong mode, int classIndex);

// The twelve check boxes, in the order owner r/w/x, group r/w/x, others r/w/x,
// then sticky, set-user-ID, set-group-ID.
using BoxStates = std::array<int, 12>;
enum BoxIndex { OwnRead, OwnWrite, OwnExecute, GrpRead, GrpWrite, GrpExecute,
                OthRead, OthWrite, OthExecute, Sticky, SetUID, SetGID };

// The composed new permission and its parts.
struct NewPermission
{
    PermissionLong ownPermission = 0;
    PermissionLong grpPermission = 0;
    PermissionLong othPermission = 0;
    PermissionLong newPermission = 0;
    PermissionLong newStickyBit = 0;
    PermissionLong newSetUIDBit = 0;
    PermissionLong newSetGIDBit = 0;
};

// A permission box counts as ticked when its state is not 0; the special-bit
// states (0 or 1) are taken as they are.
NewPermission composeNewPermission(const BoxStates &states);

// The box states that mirror mode: 1 for each set bit, 0 for each clear one.
BoxStates boxStatesFromMode(PermissionLong mode);

} // namespace PermissionRules
