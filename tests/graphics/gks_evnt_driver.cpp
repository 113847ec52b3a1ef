// Test driver of the held window: gks_evnt_driver MODE LOG
//   frames  draws three frames (a red, a green and a blue square), starts
//           looping and holds the window; a Shift + button 1 press arms a
//           rectangle rubber band with limits, a resize sets the pixel
//           coordinates of the new size.
//   feed    draws one red square and holds the window without frames, for
//           a program that feeds frames into it.
//   record  records the drawing in the display list (a red square, a line
//           and a callback that logs "redraw") and holds the window, for
//           Alt-m to print.
// The window is 360 x 300 pixels at 0, 660, titled "Frames" or "Feed", with
// world coordinates in pixels counted up from the bottom row. Once it is up
// the driver writes "window ROOT BASE" (the window's and its backing image's
// ids) on standard output; every callback is one line "kind text x y" in
// LOG. It ends with status 0 when the hold ends and the window closes.
#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"

namespace {

FILE *log_file = nullptr;
int height = 300;

// World units are the pixels of a w x h window, y counted up from the
// bottom row.
void pixel_world(int w, int h) {
    const Glim ws{0, 1, 0, static_cast<float>(h - 1) / static_cast<float>(w - 1)};
    const Glim win{0, static_cast<float>(w - 1), 0, static_cast<float>(h - 1)};
    gset_ws_win(1, &ws);
    gset_win(1, &win);
    gset_vp(1, &ws);
    gsel_norm_tran(1);
    height = h;
}

Gpt px(float x, float row) {
    return {x, static_cast<float>(height - 1) - row};
}

void square(int colour) {
    gset_fill_colr_ind(colour);
    const Gpt box[5] = {px(20, 20), px(339, 20), px(339, 279), px(20, 279), px(20, 20)};
    gfill_area(5, box);
}

void on_event(int kind, const char *text, float x, float y) {
    std::fprintf(log_file, "%d %s %.1f %.1f\n", kind, text, static_cast<double>(x), static_cast<double>(y));
    std::fflush(log_file);
    if (std::strcmp(text, "B1-P-Shft") == 0) {
        // The band's moving corner stays within pixels (40, 30) to (300, 250).
        gset_rubber_band(2);
        const Gpt limits[2] = {px(40, 30), px(300, 250)};
        gset_rubber_band_limits(limits);
    }
    if (std::strcmp(text, "size") == 0) pixel_world(static_cast<int>(x), static_cast<int>(y));
}

void log_redraw(void *) {
    std::fprintf(log_file, "redraw\n");
    std::fflush(log_file);
}

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "frames" && mode != "feed" && mode != "record") {
        std::fprintf(stderr, "usage: %s frames|feed|record LOG\n", argv[0]);
        return 2;
    }
    const bool frames = std::strcmp(argv[1], "frames") == 0;
    log_file = std::fopen(argv[2], "w");
    if (log_file == nullptr) return 3;

    gset_geometry("360x300+0+660");
    gset_win_title(frames ? "Frames" : mode == "feed" ? "Feed" : "Record");
    Gint ws_id = 0;
    Gws_type type = GWS_WIN;
    GPH_begin(&ws_id, nullptr, &type);
    if (mode == "record") gset_redraw(1);
    pixel_world(360, 300);
    const Gcolr_rep colours[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i)
        gset_colr_rep(ws_id, 2 + i, &colours[i]);
    gset_fill_int_style(GSOLID);
    gset_line_colr_ind(5);
    gset_mouse_callback(on_event);

    if (frames) {
        for (int i = 0; i < 3; ++i) {
            gselect_frame(gcreate_frame(i));
            square(2 + i);
            gdisplay_frame(i);
        }
        gset_looping(1);
    } else {
        square(2);
    }
    if (mode == "record") {
        const Gpt line[2] = {px(30, 30), px(300, 250)};
        gpolyline(2, line);
        gset_redraw_func(log_redraw, nullptr);
    }
    std::printf("window %lu %lu\n", static_cast<unsigned long>(gget_root_window()),
                static_cast<unsigned long>(gget_base_window()));
    std::fflush(stdout);

    GPH_hold(ws_id);
    const int rc = GPH_end(ws_id);
    std::fclose(log_file);
    return rc == 0 ? 0 : 1;
}
