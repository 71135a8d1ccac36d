// The controller's account lists: filled from the directory once, at start,
// on the fill thread (awakeFromNib()).
#include "theController.h"

#include "AccountLists.h"
#include "DirectoryService.h"

void theController::fillUsersInformations()
{
    accountFill.wait();
    saElencoUtentiFromDirectory.clear();
    saElencoUIDFromDirectory.clear();
    saElencoGIDFromDirectory.clear();
    fillAccountLists(kDSStdRecordTypeUsers, {{kDS1AttrRecordName, &saElencoUtentiFromDirectory},
                                             {kDS1AttrUniqueID, &saElencoUIDFromDirectory},
                                             {kDS1AttrPrimaryGroupID, &saElencoGIDFromDirectory}});
}

void theController::fillGroupsInformations()
{
    accountFill.wait();
    saElencoGruppiGIDFromDirectory.clear();
    saElencoGGIDFromDirectory.clear();
    fillAccountLists(kDSStdRecordTypeGroups, {{kDS1AttrRecordName, &saElencoGruppiGIDFromDirectory},
                                              {kDS1AttrPrimaryGroupID, &saElencoGGIDFromDirectory}});
}

bool theController::getUserInfo(const QString &userName, int *theUID, int *theGID)
{
    *theUID = 0;
    *theGID = 0;
    const qsizetype k = saElencoUtentiFromDirectory.rowOfName(userName);
    if (k < 0)
        return false;
    *theUID = intValueOfText(saElencoUIDFromDirectory.at(k));
    *theGID = intValueOfText(saElencoGIDFromDirectory.at(k));
    return true;
}

bool theController::getGroupInfo(const QString &groupName, int *theGID)
{
    *theGID = 0;
    const qsizetype k = saElencoGruppiGIDFromDirectory.rowOfName(groupName);
    if (k < 0)
        return false;
    *theGID = intValueOfText(saElencoGGIDFromDirectory.at(k));
    return true;
}
