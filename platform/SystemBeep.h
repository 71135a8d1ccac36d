#pragma once

// The system alert sound. The count lets tests see that it sounded.
void systemBeep();
int systemBeepCount();
