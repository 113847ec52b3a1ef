// Window zoom: the pixel zoom of the picture shown in the own window and the
// mapping of window pixels back to the unzoomed picture.
#pragma once

// Zooms the shown picture (frame ind) around window pixel x, y by a factor.
// 1 when the window was redrawn, else 0.
int gzoom(int ind, int x, int y, int factor, int flag);
// Back to the unzoomed picture. 0.
int gunzoom();
// Forgets the zoom of the window without redrawing. 0.
int greset_zoom();
// The zoom factor; 1 while the window is not zoomed.
int gget_zoom();
// A window pixel position mapped to the unzoomed picture.
float xZ_p(float x);
float yZ_p(float y);
