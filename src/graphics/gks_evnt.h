// X event processing.
#pragma once

// Processes the pending window events; 1 when one was processed, else 0.
int gcheck_event();
