// X event processing.
#pragma once

// Prepares event processing for an initialisation kind (0 at open, 1 after
// a resize). 0.
int ginit_event(int type);
// Processes the pending window events; 1 when one was processed, else 0.
int gcheck_event();
