#include "WindowDriver.h"

#include "theController.h"

#include <QCheckBox>

void setNewPermissionBoxes(theController *c, unsigned mode)
{
    QCheckBox *const boxes[12] = {c->setOwnRead, c->setOwnWrite, c->setOwneXecute, c->setGrpRead,
                                  c->setGrpWrite, c->setGrpeXecute, c->setOthRead, c->setOthWrite,
                                  c->setOtheXecute, c->advNewSticky, c->advNewSetUID, c->advNewSetGID};
    const unsigned bits[12] = {0400, 0200, 0100, 040, 020, 010, 04, 02, 01, 01000, 04000, 02000};
    for (int i = 0; i < 12; ++i)
        boxes[i]->setChecked(mode & bits[i]);
}
