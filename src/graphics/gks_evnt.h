// X event processing.
#pragma once

#include "graphics/gks.h"

// Processes the pending window events; 1 when one was processed, else 0.
int gcheck_event();
// Holds the own window for interaction until the user ends input. 0.
Gint ghold(Gint ws_id);
