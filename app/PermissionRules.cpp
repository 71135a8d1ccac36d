#include "PermissionRules.h"

namespace PermissionRules {

QString classText(bool read, bool write, bool execute)
{
    return QStringLiteral("%1%2%3")
        .arg(read ? QStringLiteral("r") : QStringLiteral("-"),
             write ? QStringLiteral("w") : QStringLiteral("-"),
             execute ? QStringLiteral("x") : QStringLiteral("-"));
}

QString readableText(bool read, bool write, bool execute)
{
    return QStringLiteral("%1%2%3")
        .arg(read ? QStringLiteral("read ") : QString(),
             write ? QStringLiteral("write ") : QString(),
             execute ? QStringLiteral("execute ") : QString());
}

ClassBits classBits(PermissionLong mode, int classIndex)
{
    const int shift = 3 * (2 - classIndex);
    return {(mode >> shift & 04) != 0, (mode >> shift & 02) != 0, (mode >> shift & 01) != 0};
}

QString symbolicText(PermissionLong mode)
{
    QString text;
    for (int c = 0; c < 3; ++c) {
        const ClassBits b = classBits(mode, c);
        text += classText(b.read, b.write, b.execute);
    }
    return text;
}

QString octalLine(PermissionLong mode)
{
    return QString::asprintf("chmod = %o", static_cast<unsigned>(mode));
}

QString decimalModeText(PermissionLong mode)
{
    return QString::asprintf("%ld", static_cast<long>(mode));
}

NewPermission composeNewPermission(const BoxStates &s)
{
    auto ticked = [&](BoxIndex i, PermissionLong bit) { return s[i] != 0 ? bit : 0; };
    NewPermission p;
    p.newStickyBit = s[Sticky];
    p.newSetUIDBit = s[SetUID];
    p.newSetGIDBit = s[SetGID];
    p.ownPermission = ticked(OwnRead, 0400) | ticked(OwnWrite, 0200) | ticked(OwnExecute, 0100);
    p.grpPermission = ticked(GrpRead, 040) | ticked(GrpWrite, 020) | ticked(GrpExecute, 010);
    p.othPermission = ticked(OthRead, 04) | ticked(OthWrite, 02) | ticked(OthExecute, 01);
    p.newPermission = p.ownPermission | p.grpPermission | p.othPermission
                      | (p.newStickyBit << 9) | (p.newSetGIDBit << 10) | (p.newSetUIDBit << 11);
    return p;
}

BoxStates boxStatesFromMode(PermissionLong mode)
{
    static constexpr PermissionLong bits[12] = {0400, 0200, 0100, 040, 020, 010, 04, 02, 01,
                                                01000, 04000, 02000};
    BoxStates states{};
    for (int i = 0; i < 12; ++i)
        states[i] = (mode & bits[i]) ? 1 : 0;
    return states;
}

} // namespace PermissionRules
