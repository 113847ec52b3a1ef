// X event processing.
#pragma once

#include "graphics/gks.h"

// Prepares event processing for an initialisation kind (0 at open, 1 after
// a resize). 0.
int ginit_event(int type);
// Processes the pending window events; 1 when one was processed, else 0.
int gcheck_event();
// Holds the own window for interaction until the user ends input. 0.
Gint ghold(Gint ws_id);
