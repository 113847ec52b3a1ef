// X event processing of the own window: exposures, mapping, resizes, the
// keys and buttons of the held window (end of input, frame stepping and
// speed, deleting frames, zoom, metafile and image dumps), rubber bands
// drawn while a button is held, and the two requests of a program feeding
// frames. Every key and button reaches the user callback.
// File-static state: the callback, the input mode, the mapped and exposure
// flags, and the rubber band with its points and limits.
#include "graphics/gks_evnt.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "graphics/gif.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/gks_zoom.h"
#include "graphics/xdump.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

// Input modes.
constexpr int KEYS_IGNORED = 0;
constexpr int WAITING = 1;
constexpr int KEYS_RECEIVED = 2;
constexpr int INPUT_ENDED = 3;

// An unset point of the rubber band.
constexpr short UNSET = -9999;
constexpr int MAX_BAND_POINTS = 5;
// Characters of a key's text.
constexpr int KEY_TEXT_SIZE = 80;
// An image file name without a frame number.
constexpr int NO_FRAME_NUMBER = -9999;

// The messages of a program feeding frames: only this type and format act.
constexpr Atom FEED_MESSAGE_TYPE = 62;
constexpr int FEED_MESSAGE_FORMAT = 8;
constexpr char REQUEST_NEW_FRAME = 2;
constexpr char REQUEST_END_INPUT = 9;

// Cursor shapes used here: pointer during callbacks, wait during dumps.
constexpr int CURSOR_POINTER = 1;
constexpr int CURSOR_WAIT = 8;

Gmouse_func mouse_CB = nullptr;
int input_mode = KEYS_IGNORED;
int user_event = 0;
int mapped = 0;
int Expose_cnt = 0;
int rubber_band = 0;
int rubber_band_con = 0;
int rubber_band_num = 0;
std::array<XPoint, 2> rubber_band_lim{{{UNSET, UNSET}, {UNSET, UNSET}}};
std::array<XPoint, MAX_BAND_POINTS> pts{};
int pt_ind = 0;
// True while a band drawn by exclusive-or is on the window (it is erased
// by drawing it again).
bool band_shown = false;

bool own_window_events() {
    return gtype_is_WIN() && gget_cache() != 0 && gget_display() != nullptr && gget_root_window() != 0;
}

XPoint pixel_of(const Gpt &p) {
    return {static_cast<short>(static_cast<int>(0.5f + xW_p(p.x))),
            static_cast<short>(static_cast<int>(0.5f + yW_p(p.y)))};
}

void unset_limits() {
    rubber_band_lim[0] = {UNSET, UNSET};
    rubber_band_lim[1] = {UNSET, UNSET};
}

// "-Alt", "-Shft" and "-Cntrl" for the modifiers held, in that order.
std::string suffixes(unsigned int state) {
    std::string s;
    if (state & Mod1Mask) s += "-Alt";
    if (state & ShiftMask) s += "-Shft";
    if (state & ControlMask) s += "-Cntrl";
    return s;
}

// Calls the user back with the pointer cursor shown, x and y in window
// pixels (through the zoom into world coordinates) unless world is false.
void call_back(int kind, const std::string &text, float x, float y, bool world = true) {
    if (mouse_CB == nullptr) return;
    if (world) {
        x = xp_W(xZ_p(x));
        y = yp_W(yZ_p(y));
    }
    const int prev = gset_cursor(CURSOR_POINTER);
    mouse_CB(kind, text.c_str(), x, y);
    gset_cursor(prev);
}

// Alt-] and button 3: faster while looping, else the next frame.
void faster_or_next() {
    if (gget_looping())
        ginc_loop_delay(gget_loop_delay() <= 0.11f ? -0.05f : -0.1f);
    else
        gdisplay_frame(ginc_frame(1));
}

// Alt-[ and button 1: slower while looping, else the previous frame.
void slower_or_previous() {
    if (gget_looping())
        ginc_loop_delay(gget_loop_delay() < 0.09f ? 0.05f : 0.1f);
    else
        gdisplay_frame(ginc_frame(-1));
}

// One image file name: the first five characters of the window title, the
// frame number when there is one and the extension, blanks made "_", in
// the image directory.
std::string dump_name(int frame, const char *ext) {
    std::string name = std::string(gget_win_title()).substr(0, 5);
    if (frame != NO_FRAME_NUMBER) {
        char num[16];
        std::snprintf(num, sizeof num, "-%2.2d", frame);
        name += num;
    }
    name += std::string(".") + ext;
    std::replace(name.begin(), name.end(), ' ', '_');
    char path[FILE_NAME_SIZE] = "";
    FILE_add_path(RES_get("image_path"), name.c_str(), path, sizeof path);
    return path;
}

// Alt-g and Alt-x: the window, or every frame while looping, or the current
// frame, as GIF or XWD files.
void image_dump(bool gif) {
    const char *kind = gif ? "GIF" : "XWD";
    const char *ext = gif ? "gif" : "xwd";
    int (*const dump)(const char *) = gif ? GIF_dump : XWD_dump;
    const int prev = gset_cursor(CURSOR_WAIT);
    const int frames = gget_num_images();
    std::string single;
    if (frames < 2) {
        single = dump_name(NO_FRAME_NUMBER, ext);
    } else if (gget_looping()) {
        MESS_print(M_MESS, "Creating %s files:\n", kind);
        for (int i = 0; i < frames; ++i) {
            gselect_frame(i);
            const std::string path = dump_name(i, ext);
            if (dump(path.c_str()))
                MESS_print(M_MESS, "%s\n", path.c_str());
            else
                MESS_print(M_WARN, "gprocess_x11_event: Unable to write %s file: %s\n", kind, path.c_str());
        }
    } else {
        gselect_frame(-2);
        single = dump_name(gget_cur_frame(), ext);
    }
    if (!single.empty()) {
        if (dump(single.c_str()))
            MESS_print(M_MESS, "Created %s file: %s\n", kind, single.c_str());
        else
            MESS_print(M_WARN, "gprocess_x11_event: Unable to write %s file: %s\n", kind, single.c_str());
    }
    gset_cursor(prev);
}

void key_press(XKeyEvent *ev) {
    user_event = 1;
    if (input_mode != WAITING && input_mode != KEYS_RECEIVED) return;
    if (input_mode == WAITING) input_mode = KEYS_RECEIVED;
    std::array<char, KEY_TEXT_SIZE + 1> buf{};
    KeySym keysym = NoSymbol;
    const int len = XLookupString(ev, buf.data(), KEY_TEXT_SIZE, &keysym, nullptr);
    std::string text(buf.data(), static_cast<std::size_t>(std::clamp(len, 0, KEY_TEXT_SIZE)));
    const bool alt = (ev->state & Mod1Mask) != 0;
    bool pass = true;
    if (keysym == XK_Return) {
        input_mode = INPUT_ENDED;
        text = "Ret";
    } else if (alt) {
        switch (keysym) {
        case XK_q:
            input_mode = INPUT_ENDED;
            break;
        case XK_d:
            gdelete_frame(-2);
            break;
        case XK_z:
            gzoom(-2, ev->x, ev->y, -2, 0);
            break;
        case XK_u:
            if (gget_zoom() > 1) pass = false;
            gunzoom();
            break;
        case XK_m: {
            const int prev = gset_cursor(CURSOR_WAIT);
            gobj_print_meta();
            gset_cursor(prev);
            break;
        }
        case XK_g:
            image_dump(true);
            break;
        case XK_x:
            image_dump(false);
            break;
        case XK_l:
            gtoggle_loop(-1);
            break;
        case XK_bracketright:
            faster_or_next();
            break;
        case XK_bracketleft:
            slower_or_previous();
            break;
        default:
            break;
        }
    }
    // The pointer where it is now, in the window.
    Window root = 0, child = 0;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(gget_display(), gget_root_window(), &root, &child, &root_x, &root_y, &x, &y, &mask);
    text += suffixes(ev->state);
    if (pass) call_back(2, text, static_cast<float>(x), static_cast<float>(y));
}

// The pointer position clamped into the band's limits (when set).
XPoint clamped(int x, int y) {
    XPoint p{static_cast<short>(x), static_cast<short>(y)};
    if (rubber_band_lim[0].x == UNSET) return p;
    p.x = std::max(p.x, rubber_band_lim[0].x);
    p.x = std::min(p.x, rubber_band_lim[1].x);
    p.y = std::max(p.y, rubber_band_lim[0].y);
    p.y = std::min(p.y, rubber_band_lim[1].y);
    return p;
}

void draw_band() {
    const Window w = gget_root_window();
    switch (rubber_band) {
    case 1:
        gxline(w, pts[0], pts[1]);
        break;
    case 2:
        gxrect(w, pts[0], pts[1]);
        break;
    case 3:
        gxline(w, pts[0], pts[1]);
        if (rubber_band_num > 2) gxline(w, pts[0], pts[2]);
        break;
    default:
        break;
    }
}

// Erases the band drawn last by drawing it again with exclusive-or.
void erase_band() {
    if (gget_line_gc_func() == GXcopy) gset_line_gc_func(GXxor);
    if (band_shown && pts[1].x != UNSET) draw_band();
    band_shown = false;
}

// The band's moving point follows the pointer.
void move_band(int x, int y) {
    const XPoint p = clamped(x, y);
    if (rubber_band == 1 || rubber_band == 2) {
        pts[1] = p;
    } else {
        if (rubber_band_con != 1) pts[0].x = p.x;
        if (rubber_band_con != 2) pts[0].y = p.y;
    }
}

std::string button_text(unsigned int button, const char *what, unsigned int state) {
    std::string text;
    if (button >= 1 && button <= 3) text = "B" + std::to_string(button) + what;
    return text + suffixes(state);
}

void button_press(XButtonEvent *ev) {
    if (!(ev->state & Mod1Mask)) {
        if (ev->button == Button1)
            slower_or_previous();
        else if (ev->button == Button2)
            gtoggle_loop(-1);
        else if (ev->button == Button3)
            faster_or_next();
    }
    pts[0] = {static_cast<short>(ev->x), static_cast<short>(ev->y)};
    pts[1] = {UNSET, UNSET};
    band_shown = false;
    pt_ind = 1;
    call_back(3, button_text(ev->button, "-P", ev->state), static_cast<float>(ev->x),
              static_cast<float>(ev->y));
}

void pointer_motion(XMotionEvent *ev) {
    if (rubber_band == 0 || pt_ind == 0) return;
    XEvent last;
    last.xmotion = *ev;
    while (XCheckTypedWindowEvent(gget_display(), gget_root_window(), MotionNotify, &last)) {
    }
    erase_band();
    move_band(last.xmotion.x, last.xmotion.y);
    draw_band();
    band_shown = true;
}

void button_release(XButtonEvent *ev) {
    user_event = 1;
    pt_ind = 1;
    float x = static_cast<float>(ev->x), y = static_cast<float>(ev->y);
    if (rubber_band != 0) {
        erase_band();
        if (gget_line_gc_func() == GXxor) gset_line_gc_func(GXcopy);
        move_band(ev->x, ev->y);
        draw_band();
        if (rubber_band == 3) {
            x = pts[0].x;
            y = pts[0].y;
        }
        rubber_band = 0;
        unset_limits();
    }
    call_back(3, button_text(ev->button, "-R", ev->state), x, y);
}

void resize(XConfigureEvent *ev) {
    if (gresize_window(-1, -1) == 0) return;
    ginit_plot(1);
    call_back(2, "size", static_cast<float>(ev->width), static_cast<float>(ev->height), false);
}

// A request of a program feeding frames: 2 a new frame to draw into (the
// picture it drew stays as the frame before), 9 the end of input.
void client_message(XClientMessageEvent *ev) {
    if (ev->message_type != FEED_MESSAGE_TYPE || ev->format != FEED_MESSAGE_FORMAT) return;
    if (ev->data.b[0] == REQUEST_END_INPUT) input_mode = INPUT_ENDED;
    if (ev->data.b[0] == REQUEST_NEW_FRAME) {
        gset_win_title_extra("+");
        const int n = gget_num_images();
        if (n > 0) {
            gcreate_frame(-1);
            gcopy_frame(n, n - 1);
            gswitch_frame(n, n - 1);
            gclear_frame(n);
            gsync();
        } else {
            gcreate_frame(0);
            gset_looping(1);
            gswitch_frame(0, -3);
        }
    }
    gset_win_title_extra("");
}

} // namespace

int gset_mouse_callback(Gmouse_func func) {
    mouse_CB = func;
    return 1;
}

int ginit_event(int type) {
    rubber_band = rubber_band_con = rubber_band_num = 0;
    unset_limits();
    band_shown = false;
    if (type == 0) {
        input_mode = KEYS_IGNORED;
        // A new window is unmapped until its MapNotify.
        mapped = 0;
    }
    return 1;
}

int gis_mapped() {
    return mapped;
}

int gset_input_mode(int val) {
    input_mode = val == 1 ? WAITING : KEYS_IGNORED;
    return 0;
}

int gget_input_mode() {
    return input_mode != INPUT_ENDED ? 1 : 0;
}

int gset_rubber_band(int val) {
    rubber_band = val;
    return 1;
}

int gset_rubber_band_points(const Gpt *array_pt, int num_pt, int constraint) {
    const int n = array_pt != nullptr ? std::clamp(num_pt, 0, MAX_BAND_POINTS) : 0;
    for (int i = 0; i < n; ++i)
        pts[static_cast<std::size_t>(i)] = pixel_of(array_pt[i]);
    rubber_band_con = constraint;
    rubber_band_num = n;
    return 1;
}

int gset_rubber_band_limits(const Gpt *array_pt) {
    if (array_pt == nullptr) return 1;
    rubber_band_lim[0] = pixel_of(array_pt[0]);
    rubber_band_lim[1] = pixel_of(array_pt[1]);
    return 1;
}

int gprocess_x11_event(XEvent *event) {
    user_event = 0;
    if (!own_window_events() || event == nullptr) return 0;
    // Left-overs of a window that was closed are passed over.
    if (event->xany.window != gget_root_window()) return 0;
    if (event->type != Expose && event->type != ConfigureNotify) Expose_cnt = 0;
    switch (event->type) {
    case Expose:
        if (Expose_cnt == 0) {
            Expose_cnt = 1;
            gupdate_window();
        }
        break;
    case UnmapNotify:
        mapped = 0;
        break;
    case MapNotify:
        mapped = 1;
        break;
    case ConfigureNotify:
        resize(&event->xconfigure);
        break;
    case ClientMessage:
        client_message(&event->xclient);
        break;
    case KeyPress:
        key_press(&event->xkey);
        break;
    case ButtonPress:
        button_press(&event->xbutton);
        break;
    case ButtonRelease:
        button_release(&event->xbutton);
        break;
    case MotionNotify:
        pointer_motion(&event->xmotion);
        break;
    default:
        break;
    }
    return 0;
}

int gcheck_event() {
    int count = 0;
    while (own_window_events() && XPending(gget_display()) > 0) {
        XEvent event;
        XNextEvent(gget_display(), &event);
        gprocess_x11_event(&event);
        count += user_event;
    }
    return count;
}

int gwait_event() {
    if (!own_window_events()) return 0;
    XEvent event;
    XNextEvent(gget_display(), &event);
    gprocess_x11_event(&event);
    return user_event + gcheck_event();
}

int gprint_event() {
    Display *d = gget_display();
    if (d == nullptr) return 0;
    int count = 0;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        ++count;
    }
    return count;
}
