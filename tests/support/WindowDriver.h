#pragma once

class theController;

// Ticks the nine permission boxes and the three special-bit boxes of the
// window so that they compose mode, as a user would.
void setNewPermissionBoxes(theController *controller, unsigned mode);
