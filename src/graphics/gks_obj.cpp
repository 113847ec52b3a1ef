// The display list: objects appended in call order while recording is on,
// deleted by segment, and replayed through the kernel calls that made them
// onto the own window, into a PostScript file or into a metafile. Object
// requests are counted whether stored or not; every 500th polls the events.
// File-static state: the list (head, last and the one before it), the request
// count, the recording and event switches and the replay-finished flag.
#include "graphics/gks_obj.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

// Requests between two polls of the window events, and objects between two
// polls of a replay.
constexpr int POLL_EVERY = 500;
constexpr int REPLAY_POLL_EVERY = 200;
constexpr int CURSOR_WAIT = 8;
// The device size of a PostScript print of the list.
constexpr int PRINT_WIDTH = 757;
constexpr int PRINT_HEIGHT = 577;
constexpr float PAGE_WIDTH = 11;
constexpr float PAGE_HEIGHT = 8.5f;

constexpr int OBJ_SEG_START = 81;
constexpr int OBJ_SEG_END = 82;
constexpr int OBJ_CALLBACK = 999;

drawobj root{0, nullptr, 0, nullptr};
drawobj *last = &root;
drawobj *prev = nullptr;
int num_objects = 0;
int redraw = 0; // recording switch
int action = 1; // event switch
int redrawn = 0;
// True while a replay walks the list; a list cleared meanwhile (by a replayed
// callback) is kept here until the walk has ended.
bool replaying = false;
drawobj *cleared_during_replay = nullptr;

// The X default "redraw" of the program, when a display is open.
const char *x_redraw_default() {
    Display *d = gget_display();
    return d != nullptr ? XGetDefault(d, gget_prog_name(), "redraw") : nullptr;
}

void release(drawobj *obj) {
    if (obj->type == OBJ_CALLBACK && obj->data != nullptr)
        std::free(reinterpret_cast<redraw_func *>(obj->data)->data);
    std::free(obj->data);
    delete obj;
}

void release_chain(drawobj *obj) {
    while (obj != nullptr) {
        drawobj *next = obj->next;
        release(obj);
        obj = next;
    }
}

float float_of(const unsigned char *data) {
    float v = 0;
    std::memcpy(&v, data, sizeof v);
    return v;
}

template <typename T> T block_of(const unsigned char *data) {
    T v{};
    std::memcpy(&v, data, sizeof v);
    return v;
}

// Replays every object in order with recording off (the replayed calls are
// not recorded again) until a replay is marked finished. A window replay
// (`window`) holds the event switch off too and polls every 200th object, so
// that events wait for its end.
void replay_all(bool window) {
    replaying = true;
    int n = 0;
    for (const drawobj *p = root.next; p != nullptr && !redrawn; p = p->next) {
        if (window) action = 0;
        redraw = 0;
        gobj_redraw_funcs(p);
        if (window && ++n % REPLAY_POLL_EVERY == 0) gcheck_event();
    }
    replaying = false;
    release_chain(cleared_during_replay);
    cleared_during_replay = nullptr;
}

// What a print changes and gives back afterwards.
struct PrintState {
    int type = gget_win_type();
    int recording = redraw;
    int width = 0;
    int height = 0;
    int cursor = gget_cursor_type();
    PrintState() {
        gget_win_size(&width, &height);
        gsave_tran();
    }
};

// Gives back the workstation type and the cursor of a print that ended.
void restore_type(const PrintState &s) {
    gset_win_type(s.type);
    gset_cursor_type(s.cursor);
}

// Events that came during a print stay queued for the caller's event loop:
// a print runs from a key, and handling them here would deliver later
// events before that key's own callback.
void finish_print(const PrintState &s) {
    restore_type(s);
    redraw = s.recording;
    gset_win_size(s.width, s.height);
    // The window's transformations, also those set before recording began.
    grestore_tran();
    gbell(50);
    redrawn = 1;
}

// The transformations and primitive attributes at their defaults, as on a
// newly opened metafile, so that the print records every transformation and
// attribute the drawing set.
void reset_for_metafile() {
    ginit_tran(4);
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
}

} // namespace

int ginit_objs() {
    num_objects = 0;
    last = &root;
    prev = nullptr;
    const char *val = std::getenv("zeqredraw");
    if (val == nullptr) val = x_redraw_default();
    if (val != nullptr && stricmp(val, "no") == 0) redraw = 0;
    return 0;
}

int gset_cache(int val) {
    action = val;
    return 0;
}

int gget_cache() {
    return action;
}

int gset_redraw(int val) {
    const int was = redraw;
    redraw = val;
    return was;
}

int gget_redraw() {
    return redraw;
}

int gset_redraw_func(void (*func)(void *), void *data) {
    const redraw_func block{func, data};
    if (!redraw || gnew_obj(OBJ_CALLBACK, 1, sizeof block, &block) == nullptr) std::free(data);
    return 0;
}

void *gnew_obj(int type, int values, int size, const void *data) {
    if (++num_objects % POLL_EVERY == 0) gcheck_event();
    if (!redraw || last == nullptr) return nullptr;
    prev = last;
    drawobj *obj = new (std::nothrow) drawobj{type, nullptr, values, nullptr};
    prev->next = obj;
    last = obj;
    if (obj == nullptr) {
        gerr_printf("newobj", "malloc error\n");
        return nullptr;
    }
    if (size > 0) {
        obj->data = static_cast<unsigned char *>(std::malloc(static_cast<std::size_t>(size)));
        if (obj->data == nullptr)
            gerr_printf("newobj", "data malloc error\n");
        else if (data != nullptr)
            std::memcpy(obj->data, data, static_cast<std::size_t>(size));
    }
    return obj->data;
}

int gclear_objs() {
    if (replaying) {
        // A replayed callback cleared the window: the walk stops here and the
        // objects go once it has ended.
        drawobj *tail = cleared_during_replay;
        cleared_during_replay = root.next;
        if (cleared_during_replay == nullptr)
            cleared_during_replay = tail;
        else if (tail != nullptr) {
            drawobj *end = cleared_during_replay;
            while (end->next != nullptr)
                end = end->next;
            end->next = tail;
        }
        redrawn = 1;
    } else {
        release_chain(root.next);
    }
    root.next = nullptr;
    last = &root;
    prev = nullptr;
    return 0;
}

int gdel_seg_objs(int seg_name) {
    if (!redraw) return -1;
    action = 0;
    redraw = 0;
    drawobj *before = &root;
    drawobj *p = root.next;
    while (p != nullptr) {
        if (p->type != OBJ_SEG_START || p->values != seg_name) {
            before = p;
            p = p->next;
            continue;
        }
        // Release the run up to and with the segment's end object.
        drawobj *q = p;
        bool ended = false;
        while (q != nullptr && !ended) {
            drawobj *next = q->next;
            ended = q != p && q->type == OBJ_SEG_END && q->values == seg_name;
            release(q);
            q = next;
        }
        before->next = q;
        p = q;
    }
    // The last object is the one the walk ended on.
    if (last != nullptr) {
        last = &root;
        prev = nullptr;
        while (last->next != nullptr) {
            prev = last;
            last = last->next;
        }
    }
    action = 1;
    redraw = 1;
    return 0;
}

int gobj_redraw_funcs(const drawobj *ptr) {
    if (ptr == nullptr) return 0;
    const unsigned char *d = ptr->data;
    const int v = ptr->values;
    switch (ptr->type) {
    case 5:
        if (d != nullptr) gmessage(1, reinterpret_cast<const char *>(d));
        break;
    case 10:
        if (d != nullptr) {
            const Glim lim = block_of<Glim>(d);
            gset_ws_vp(1, &lim);
        }
        break;
    case 11:
        if (d != nullptr) {
            const Glim lim = block_of<Glim>(d);
            gset_ws_win(1, &lim);
        }
        break;
    case 15:
        gsel_norm_tran(v);
        break;
    case 16:
        if (d != nullptr) {
            const Glim lim = block_of<Glim>(d);
            gset_vp(v, &lim);
        }
        break;
    case 17:
        if (d != nullptr) {
            const Glim lim = block_of<Glim>(d);
            gset_win(v, &lim);
        }
        break;
    case 20:
        if (d != nullptr) {
            const Gcolr_rep rep = block_of<Gcolr_rep>(d);
            gset_colr_rep(1, v, &rep);
        }
        break;
    case 25:
        if (d != nullptr) {
            const Glim lim = block_of<Glim>(d);
            gclear_region(&lim);
        }
        break;
    case 30:
        if (d != nullptr) gpolyline(v, reinterpret_cast<const Gpt *>(d));
        break;
    case 33:
        gset_linetype(v);
        break;
    case 34:
        if (d != nullptr) gset_linewidth(float_of(d));
        break;
    case 35:
        gset_line_colr_ind(v);
        break;
    case 36:
        gset_line_print_bold(v);
        break;
    case 40:
        if (d != nullptr) gpolymarker(v, reinterpret_cast<const Gpt *>(d));
        break;
    case 43:
        gset_marker_type(v);
        break;
    case 44:
        if (d != nullptr) gset_marker_size(float_of(d));
        break;
    case 45:
        gset_marker_colr_ind(v);
        break;
    case 46:
        if (d != nullptr) gset_marker_width(float_of(d));
        break;
    case 50:
        if (d != nullptr) {
            const Gpt at = block_of<Gpt>(d);
            gtext(&at, reinterpret_cast<const char *>(d + sizeof(Gpt)));
        }
        break;
    case 53:
        if (d != nullptr) gset_space(float_of(d));
        break;
    case 54:
        if (d != nullptr) gset_char_space(float_of(d));
        break;
    case 55:
        if (d != nullptr) gset_expan(float_of(d));
        break;
    case 56:
        gset_text_colr_ind(v);
        break;
    case 57:
        if (d != nullptr) gset_char_ht(float_of(d));
        break;
    case 58:
        if (d != nullptr) {
            const Gpt up = block_of<Gpt>(d);
            gset_char_up_vec(&up);
        }
        break;
    case 59:
        if (d != nullptr) {
            const Gfontprec fp = block_of<Gfontprec>(d);
            gset_fontprec(&fp);
        }
        break;
    case 60:
        if (d != nullptr) {
            const Gtext_align align = block_of<Gtext_align>(d);
            gset_text_align(&align);
        }
        break;
    case 61:
        if (d != nullptr) gset_text_width(float_of(d));
        break;
    case 70:
        if (d != nullptr) gfill_area(v, reinterpret_cast<const Gpt *>(d));
        break;
    case 73:
        gset_fill_int_style(v);
        break;
    case 74:
        gset_fill_style_ind(v);
        break;
    case 75:
        gset_fill_colr_ind(v);
        break;
    case 76:
        gset_fill_print_solid(v);
        break;
    case OBJ_CALLBACK:
        if (d != nullptr) {
            const redraw_func cb = block_of<redraw_func>(d);
            if (cb.func != nullptr) cb.func(cb.data);
        }
        break;
    default: // segment markers and unknown codes
        break;
    }
    return 0;
}

int gobj_redraw_plot() {
    if (!redraw) return -1;
    gresize_window(0, 0);
    const int cursor = gset_cursor_type(CURSOR_WAIT);
    ginit_plot(1);
    // The list starts at a cleared window: so does its replay.
    gclear_frame(-3);
    redrawn = 0;
    replay_all(true);
    action = 1;
    redraw = 1;
    gupdate_window();
    gset_cursor_type(cursor);
    gcheck_event();
    redrawn = 1;
    return 0;
}

int gobj_print_plot() {
    const PrintState saved;
    gset_cursor_type(CURSOR_WAIT);
    gset_win_type(GWS_PS);
    const char *name = std::getenv("zeqps_print");
    if (name == nullptr) name = std::getenv("PSPRINT");
    if (name == nullptr) name = "zeq.ps";
    if (gps_open_file(name) == nullptr) {
        gerr_printf("gprint_plot", "unable to open postscript file\n");
        restore_type(saved);
        return -1;
    }
    gps_init();
    // The letter page in landscape that the device size fills.
    gps_set_size(PAGE_WIDTH, PAGE_HEIGHT);
    gps_init_file();
    gset_win_size(PRINT_WIDTH, PRINT_HEIGHT);
    ginit_plot(2);
    redraw = 0;
    if (root.next == nullptr)
        MESS_print(M_WARN, "gobj_print_plot: No redraw data to make Postscript file from\n");
    redrawn = 0;
    replay_all(false);
    gps_close_file();
    finish_print(saved);
    return 0;
}

int gobj_print_meta() {
    const PrintState saved;
    gset_cursor_type(CURSOR_WAIT);
    gset_win_type(GWS_META);
    const char *name = std::getenv("METAOUT");
    if (name == nullptr) name = "zeq.meta";
    if (gmeta_open_file(name) == nullptr) {
        gerr_printf("gprint_meta", "unable to open metafile\n");
        restore_type(saved);
        return -1;
    }
    gmeta_init_file();
    redraw = 0;
    if (root.next == nullptr) MESS_print(M_WARN, "gobj_print_meta: No redraw data to make metafile from\n");
    reset_for_metafile();
    redrawn = 0;
    replay_all(false);
    gmeta_close_file();
    finish_print(saved);
    return 0;
}
