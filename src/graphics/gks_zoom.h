// Window zoom.
#pragma once

// Forgets the zoom of the window. 0.
int greset_zoom();
