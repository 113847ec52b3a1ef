// Window zoom. The pixel zoom is not built yet: the window always shows its
// picture at factor 1, so zoom requests redraw nothing, there is nothing to
// undo or forget, and window pixels are pixels of the picture.
// File-static state: none yet.
#include "graphics/gks_zoom.h"

int gzoom(int, int, int, int, int) {
    return 0;
}

int gunzoom() {
    return 0;
}

int greset_zoom() {
    return 0;
}

int gget_zoom() {
    return 1;
}

float xZ_p(float x) {
    return x;
}

float yZ_p(float y) {
    return y;
}
