#include "PolkitWait.h"

PolkitAuthority *polkitAuthority()
{
    static PolkitAuthority *authority = [] {
        PolkitWait wait;
        polkit_authority_get_async(nullptr, PolkitWait::ready, &wait);
        wait.run();
        GError *error = nullptr;
        PolkitAuthority *a = polkit_authority_get_finish(wait.result, &error);
        g_clear_error(&error);
        return a;
    }();
    return authority;
}
