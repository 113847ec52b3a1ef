// Window zoom: the pixel zoom of the picture shown in the own window and the
// mapping of window pixels back to the unzoomed picture. Another program's
// window is never zoomed.
#pragma once

// Zooms the shown picture (frame ind while frames exist) around window pixel
// x, y (-1: the current centre). factor -1 keeps the zoom, -n multiplies it by
// n, n >= 1 sets it; 0 and a total above 1024 are refused with a warning.
// flag 1 does nothing while not zoomed. 1 when the window was redrawn, else 0.
int gzoom(int ind, int x, int y, int factor, int flag);
// Back to the unzoomed picture (the saved single picture, or the current
// frame). 0.
int gunzoom();
// Forgets the zoom without redrawing. 0.
int greset_zoom();
// The total zoom factor; 1 while the window is not zoomed.
int gget_zoom();
// A window pixel position mapped to the unzoomed picture: the left (top)
// edge of the region shown plus x / zoom (y / zoom); the identity at zoom 1.
float xZ_p(float x);
float yZ_p(float y);
