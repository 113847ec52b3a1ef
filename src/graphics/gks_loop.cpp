// Animation frames and looping. The frame store is not built yet, so it
// holds no frames: there is nothing to empty or release, and only the
// window's backing image (-3) can be cleared.
// File-static state: none yet.
#include "graphics/gks_loop.h"

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_x11_xlib.h"

int ginit_loop() {
    return 0;
}

int gdelete_all_frames() {
    return 0;
}

int gclear_frame(int ind) {
    if (ind != -3 || !gx_active()) return 0;
    Display *d = gget_display();
    const Pixmap pix = gget_base_window();
    const GC gc = gget_root_gc();
    if (pix == 0 || gc == nullptr) return 0;
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    if (w <= 0 || h <= 0) return 0;
    XSetForeground(d, gc, static_cast<unsigned long>(gget_back_color()));
    XFillRectangle(d, pix, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    return 0;
}
