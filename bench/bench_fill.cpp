// One account fill in a process of its own, as Brindle makes it at start:
// the user lists, then the group lists, through the directory layer, batch
// lines on standard output. Compared by scripts/bench.sh with
// `getent passwd; getent group` run the same way.
#include "AccountLists.h"
#include "DirectoryService.h"

int main()
{
    AccountList users(nullptr, AccountList::Names), uids(nullptr, AccountList::Ids), gids(nullptr, AccountList::Ids);
    AccountList groups(nullptr, AccountList::Names), groupIds(nullptr, AccountList::Ids);
    fillAccountLists(kDSStdRecordTypeUsers,
                     {{kDS1AttrRecordName, &users}, {kDS1AttrUniqueID, &uids}, {kDS1AttrPrimaryGroupID, &gids}});
    fillAccountLists(kDSStdRecordTypeGroups, {{kDS1AttrRecordName, &groups}, {kDS1AttrPrimaryGroupID, &groupIds}});
    return users.isEmpty() || groups.isEmpty() ? 1 : 0;
}
