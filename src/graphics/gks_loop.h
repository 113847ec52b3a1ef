// Animation frames and looping.
#pragma once

// Empties the frame store. 0.
int ginit_loop();
