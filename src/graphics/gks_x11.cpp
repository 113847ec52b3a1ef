// The graphics kernel and its one workstation: opening, closing and clearing (connection strings, print
// options, page sizes, device geometry), messages, segments, error reports, the per-device initialisation
// of the primitive modules, the system's own X window (creation, X errors, resizing, cursors, titles, and
// the hold loop that keeps it interactive at the end of a plot), and another program's window found by its
// window spec, with the new-frame and end-of-input requests to its owner.
// File-static state: the kernel state with the presets for the next open, the X handles of the window,
// the registered graphics contexts of the primitives and the count of X errors.
#include "graphics/gks_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_loop_int.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/gks_zoom.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

// The kernel's pixel rectangle is handed to Xlib as it is.
static_assert(sizeof(Gxrect) == sizeof(XRectangle) && offsetof(Gxrect, y) == offsetof(XRectangle, y) &&
              offsetof(Gxrect, width) == offsetof(XRectangle, width) &&
              offsetof(Gxrect, height) == offsetof(XRectangle, height));

namespace {

// Lengths of the fixed texts of the kernel.
constexpr std::size_t PROG_NAME_MAX = 19;
constexpr std::size_t WIN_TITLE_MAX = 59;
constexpr std::size_t GEOMETRY_MAX = 39;

int open_graphics = 0;
int win_type = GWS_NONE;
// The error stream: null before gopen_gks, else standard error or a named file.
FILE *err_file = nullptr;
std::string prog_name = "R11_Ezedi";
std::string win_title = "R11_Ezedi";
std::string geometry;
int win_width = 640;
int win_height = 512;
int root_width = 640;
int root_height = 512;
int win_x = 0;
int win_y = 0;
int depth = 0;
int pix_mode = 0;

int icon = 0;
int fixed_size = 0;
int refresh = 0;
Grefresh_func refresh_CB = nullptr;

// ---- X state of the own or foreign window ----

// The icon: isobars around a centre inside a frame, 48 x 48 pixels, 6 bytes
// a row, bit 0 the leftmost pixel.
constexpr int ICON_SIZE = 48;
constexpr std::size_t ICON_BYTES = 288;
constexpr std::array<unsigned char, ICON_BYTES> make_icon() {
    std::array<unsigned char, ICON_BYTES> bits{};
    for (int y = 0; y < ICON_SIZE; ++y)
        for (int x = 0; x < ICON_SIZE; ++x) {
            const int dx = 2 * x - 47, dy = 2 * y - 47; // twice the offset from the centre
            const int r2 = dx * dx + dy * dy;
            bool on = x == 0 || y == 0 || x == 47 || y == 47;
            for (int r = 12; r <= 44; r += 16)
                if (r2 >= r * r && r2 < (r + 4) * (r + 4)) on = true;
            if (on) bits[static_cast<std::size_t>(y * 6 + x / 8)] |= static_cast<unsigned char>(1 << (x % 8));
        }
    return bits;
}
std::array<unsigned char, ICON_BYTES> zeq_bits = make_icon();

constexpr int BORDER_WIDTH = 5;
constexpr int DEFAULT_WIDTH = 640;
constexpr int DEFAULT_HEIGHT = 512;
constexpr std::size_t TITLE_EXTRA_MAX = 79;
// X errors reported before the program gives up.
constexpr int MAX_X_ERRORS = 25;
// Cursor shapes of the hold loop: frames looping, several frames stopped,
// waiting for input on one picture.
constexpr int CURSOR_LOOP = 3;
constexpr int CURSOR_STOP = 4;
constexpr int CURSOR_RECT = 6;
// Idle polls of the hold loop at 0.1 s before it polls at 0.5 s.
constexpr int QUIET_POLLS = 50;

// The nine cursor shapes by code: default, pointer, move, loop, stop, draw,
// rectangle, text, wait.
constexpr std::array<unsigned int, 9> cursor_glyphs{XC_X_cursor, XC_left_ptr, XC_fleur, XC_exchange, XC_dot,
                                                    XC_pencil,   XC_tcross,   XC_xterm, XC_watch};

Display *display = nullptr; // opened once, kept for the rest of the run
int screen = 0;
Visual *visual = nullptr;
Window root_window = 0;
Pixmap base_window = 0;
Drawable draw_window = 0;
GC root_gc = nullptr;
Pixmap icon_pixmap = 0;
unsigned long fore_colr = 0;
unsigned long back_colr = 0;
unsigned long red_mask = 0;
unsigned long grn_mask = 0;
unsigned long blu_mask = 0;
std::array<Cursor, 9> cursors{};
int cursor = 0;
int Xerror = 0;
int Xerror_print = 1;
int num_error = 0;

// The graphics contexts of the primitive modules, with the owner's variable
// and its current colour index.
struct GcEntry {
    GC *owner;
    int (*colour)();
};
std::vector<GcEntry> gcs;

int Xerror_handler(Display *d, XErrorEvent *error) {
    Xerror = 1;
    if (!Xerror_print) return 0;
    char text[81] = "";
    XGetErrorText(d, error->error_code, text, sizeof text);
    char code[16];
    std::snprintf(code, sizeof code, "%d", error->request_code);
    char request[61] = "";
    XGetErrorDatabaseText(d, "XRequest", code, "", request, sizeof request);
    MESS_print(M_WARN, "X11 error: %s in %s\n", text, request);
    if (++num_error >= MAX_X_ERRORS) {
        MESS_print(M_ERROR, "X11 error: too many errors\n");
        if (open_graphics && win_type == GWS_WIN) gdelete_all_frames();
        ZEQ_exit(4);
    }
    return 0;
}

// The connection is gone: nothing can be asked of the server any more (the
// frames' pixmaps went with it), so the program only reports and ends.
int XerrorIO_handler(Display *) {
    MESS_print(M_ERROR, "Fatal X11 Error\n");
    ZEQ_exit(4);
}

// The text cut to max characters; empty for null.
std::string cut(const char *text, std::size_t max) {
    return std::string(text != nullptr ? text : "").substr(0, max);
}

// Opens the display, or keeps the one connection of the process when it is
// to the same display; a connection to another display replaces it.
int x_open_display(const char *name) {
    XSetErrorHandler(Xerror_handler);
    XSetIOErrorHandler(XerrorIO_handler);
    const char *want = (name != nullptr && *name != '\0') ? name : nullptr;
    if (display != nullptr && std::strcmp(DisplayString(display), XDisplayName(want)) != 0) {
        XCloseDisplay(display);
        display = nullptr;
    }
    if (display == nullptr) display = XOpenDisplay(want);
    if (display == nullptr) return -1;
    screen = DefaultScreen(display);
    depth = DefaultDepth(display, screen);
    visual = DefaultVisual(display, screen);
    gset_def_cmap(DefaultColormap(display, screen));
    return 0;
}

// Position and size of the own window: 100, 100 and the device size (640 x
// 512 after a close), then the geometry text.
XSizeHints window_hints() {
    XSizeHints hints{};
    hints.flags = PPosition | PSize;
    hints.x = 100;
    hints.y = 100;
    hints.width = win_width > 0 ? win_width : DEFAULT_WIDTH;
    hints.height = win_height > 0 ? win_height : DEFAULT_HEIGHT;
    const char *res = RES_get("geometry");
    std::string geom = res != nullptr ? res : "";
    if (!geometry.empty()) {
        geom = geometry;
    } else if (res == nullptr) {
        const char *def = XGetDefault(display, prog_name.c_str(), "geometry");
        if (def != nullptr) geom = def;
    }
    if (!geom.empty()) {
        int x = 0, y = 0;
        unsigned int w = 0, h = 0;
        const int mask = XParseGeometry(geom.c_str(), &x, &y, &w, &h);
        // A size of zero would give no window; it is ignored.
        if ((mask & WidthValue) && (mask & HeightValue) && w > 0 && h > 0 && w <= 32767 && h <= 32767) {
            hints.width = static_cast<int>(w);
            hints.height = static_cast<int>(h);
            hints.flags |= USSize;
        }
        if ((mask & XValue) && (mask & YValue)) {
            if (mask & XNegative) x += DisplayWidth(display, screen) - hints.width;
            if (mask & YNegative) y += DisplayHeight(display, screen) - hints.height;
            hints.x = x;
            hints.y = y;
            hints.flags |= USPosition;
        }
    }
    if (fixed_size) {
        hints.min_width = hints.max_width = hints.width;
        hints.min_height = hints.max_height = hints.height;
        hints.flags |= PMinSize | PMaxSize;
    }
    return hints;
}

// Waits for the window's first Expose or structure event, which stays
// queued for the event processing (its MapNotify marks the window mapped);
// a window manager that keeps an iconic window unmapped sends neither, so
// the wait is bounded.
void wait_for_map() {
    XEvent event;
    for (int i = 0; i < 200; ++i) {
        if (XCheckWindowEvent(display, root_window, ExposureMask | StructureNotifyMask, &event)) {
            XPutBackEvent(display, &event);
            return;
        }
        usleep(10000);
    }
}

void set_wm_hints() {
    int iconic = icon;
    const char *def = XGetDefault(display, prog_name.c_str(), "iconic");
    if (def != nullptr && stricmp(def, "on") == 0) iconic = 1;
    if (RES_getval("icon", &iconic, CV_bool)) iconic = iconic ? 1 : 0;
    icon = iconic;
    icon_pixmap = XCreatePixmapFromBitmapData(display, root_window, reinterpret_cast<char *>(zeq_bits.data()),
                                              ICON_SIZE, ICON_SIZE, BlackPixel(display, screen),
                                              WhitePixel(display, screen), 1);
    XWMHints wm{};
    wm.flags = InputHint | StateHint | IconPixmapHint;
    wm.input = True;
    wm.initial_state = icon ? IconicState : NormalState;
    wm.icon_pixmap = icon_pixmap;
    XSetWMHints(display, root_window, &wm);
    std::string name = prog_name;
    std::string cls = "Zeq";
    XClassHint class_hint{name.data(), cls.data()};
    XSetClassHint(display, root_window, &class_hint);
}

// Creates, names and maps the own window with its backing pixmap.
int open_own_window() {
    win_type = GWS_WIN;
    gset_cache(1);
    XSizeHints hints = window_hints();
    if (std::getenv("zeqinverse") != nullptr) gset_inverse(1);
    back_colr = BlackPixel(display, screen);
    fore_colr = WhitePixel(display, screen);
    if (gget_inverse()) std::swap(back_colr, fore_colr);

    XSetWindowAttributes attr{};
    attr.background_pixel = back_colr;
    attr.border_pixel = fore_colr;
    attr.backing_store = Always;
    attr.colormap = DefaultColormap(display, screen);
    attr.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask |
                      LeaveWindowMask | ButtonMotionMask | ExposureMask | StructureNotifyMask |
                      FocusChangeMask;
    bool failed = false;
    {
        GxQuietErrors quiet;
        root_window = XCreateWindow(
            display, RootWindow(display, screen), hints.x, hints.y, static_cast<unsigned>(hints.width),
            static_cast<unsigned>(hints.height), BORDER_WIDTH, depth, InputOutput, visual,
            CWBackPixel | CWBorderPixel | CWBackingStore | CWColormap | CWEventMask, &attr);
        XSync(display, False);
        failed = quiet.failed();
    }
    if (failed || root_window == 0) {
        if (root_window != 0) XDestroyWindow(display, root_window);
        root_window = 0;
        MESS_print(M_WARN, "gopen_ws: unable to open window\n");
        return -1;
    }

    std::replace(win_title.begin(), win_title.end(), '_', ' ');
    XStoreName(display, root_window, win_title.c_str());
    XSetIconName(display, root_window, win_title.c_str());
    XSetWMNormalHints(display, root_window, &hints);
    set_wm_hints();
    root_gc = XCreateGC(display, root_window, 0, nullptr);
    base_window = XCreatePixmap(display, root_window, static_cast<unsigned>(hints.width),
                                static_cast<unsigned>(hints.height), static_cast<unsigned>(depth));
    draw_window = base_window;
    XMapWindow(display, root_window);
    XSync(display, False);
    wait_for_map();
    ginit_xcolr();

    XWindowAttributes wa{};
    XGetWindowAttributes(display, root_window, &wa);
    win_width = root_width = wa.width;
    win_height = root_height = wa.height;
    red_mask = wa.visual->red_mask;
    grn_mask = wa.visual->green_mask;
    blu_mask = wa.visual->blue_mask;

    XClearWindow(display, root_window);
    XSetForeground(display, root_gc, back_colr);
    XFillRectangle(display, base_window, root_gc, 0, 0, static_cast<unsigned>(win_width),
                   static_cast<unsigned>(win_height));
    XSetForeground(display, root_gc, fore_colr);
    for (std::size_t i = 0; i < cursors.size(); ++i)
        cursors[i] = XCreateFontCursor(display, cursor_glyphs[i]);
    XSync(display, False);
    return 0;
}

void x_finish_open() {
    gsync();
    gcheck_event();
}

void free_gcs() {
    for (const GcEntry &e : gcs)
        if (*e.owner != nullptr) {
            XFreeGC(display, *e.owner);
            *e.owner = nullptr;
        }
    gcs.clear();
}

// The client message of a drawing program to the window's owner: type and
// format, and the requests in its first data byte.
constexpr Atom FEED_MESSAGE_TYPE = 62;
constexpr int FEED_MESSAGE_FORMAT = 8;
constexpr char REQUEST_NEW_FRAME = 2;
constexpr char REQUEST_END_INPUT = 9;
// The owner's answer to a new-frame request is polled every 0.2 s for at
// most 20 s.
constexpr float ANSWER_POLL = 0.2f;
constexpr float ANSWER_LIMIT = 20.0f;
constexpr std::size_t WINDOW_SPEC_MAX = 127;

void send_request(char request) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = root_window;
    ev.xclient.message_type = FEED_MESSAGE_TYPE;
    ev.xclient.format = FEED_MESSAGE_FORMAT;
    ev.xclient.data.b[0] = request;
    XSendEvent(display, root_window, True, 0, &ev);
    XSync(display, False);
}

void x_close_ws() {
    if (display == nullptr) return;
    if (win_type == GWS_WIN) {
        greset_zoom();
        gdelete_all_frames();
        if (root_window != 0) {
            XUnmapWindow(display, root_window);
            XDestroyWindow(display, root_window);
        }
        if (base_window != 0) XFreePixmap(display, base_window);
        if (icon_pixmap != 0) XFreePixmap(display, icon_pixmap);
        for (Cursor &c : cursors)
            if (c != 0) XFreeCursor(display, c);
        cursors.fill(0);
        root_window = base_window = draw_window = icon_pixmap = 0;
    }
    if (root_gc != nullptr) XFreeGC(display, root_gc);
    root_gc = nullptr;
    free_gcs();
    gfree_xfont();
    gdel_fill_pat();
    gfree_xcolr();
    XSync(display, False);
    if (win_type == GWS_PIX) {
        // The other program's window, drawable and colormap stay its own.
        if (pix_mode == 9 && root_window != 0) send_request(REQUEST_END_INPUT);
        root_window = base_window = draw_window = 0;
    }
}

void fill_drawable(Drawable d, unsigned long pixel, int x, int y, int w, int h) {
    XSetForeground(display, root_gc, pixel);
    XFillRectangle(display, d, root_gc, x, y, static_cast<unsigned>(std::max(w, 0)),
                   static_cast<unsigned>(std::max(h, 0)));
    XSetForeground(display, root_gc, fore_colr);
}

void x_clear_ws() {
    if (!gx_active() || base_window == 0) return;
    fill_drawable(base_window, static_cast<unsigned long>(gget_back_color()), 0, 0, win_width, win_height);
}

void x_init_plot(int type) {
    if (display == nullptr || !gtype_is_WIN_PIX()) return;
    if (type == 0) {
        Xerror = 0;
        Xerror_print = 1;
        if (gtype_is_PIX()) gset_rw_colors(0);
    }
    ginit_event(type);
    // Width 0, solid and bevel joins; each context keeps its own cap style
    // (text draws with projecting caps).
    XGCValues v{};
    v.line_width = 0;
    v.line_style = LineSolid;
    v.join_style = JoinBevel;
    for (const GcEntry &e : gcs)
        if (*e.owner != nullptr) XChangeGC(display, *e.owner, GCLineWidth | GCLineStyle | GCJoinStyle, &v);
    XSync(display, False);
}

int x_set_cursor(int type) {
    const int prev = gset_cursor_type(type);
    gsync();
    return prev;
}

bool x_have_window() {
    return display != nullptr && root_window != 0;
}

// A new backing pixmap of the given size, cleared to the background, with
// the old picture copied into it over copy_w x copy_h.
void replace_pixmap(int width, int height, int copy_w, int copy_h) {
    const Pixmap pix = XCreatePixmap(display, root_window, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), static_cast<unsigned>(depth));
    fill_drawable(pix, static_cast<unsigned long>(gget_back_color()), 0, 0, width, height);
    if (base_window != 0) {
        XCopyArea(display, base_window, pix, root_gc, 0, 0, static_cast<unsigned>(copy_w),
                  static_cast<unsigned>(copy_h), 0, 0);
        XFreePixmap(display, base_window);
    }
    base_window = draw_window = pix;
}

// A comma list split into owned items (parse_string).
class Items {
public:
    explicit Items(const char *text) { parse_string(text, ',', &argc_, &argv_); }
    ~Items() { free_parsed_array(argc_, argv_); }
    Items(const Items &) = delete;
    Items &operator=(const Items &) = delete;
    int size() const { return argc_; }
    const char *operator[](int i) const { return argv_[i]; }
    // Item 0, the output name or display; "" when there is none.
    const char *first() const { return argc_ > 0 ? argv_[0] : ""; }

private:
    int argc_ = 0;
    char **argv_ = nullptr;
};

const char *env(const char *name) {
    return std::getenv(name);
}

// The first of the texts that is set and not empty, else the fallback.
const char *first_set(std::initializer_list<const char *> texts, const char *fallback) {
    for (const char *t : texts)
        if (t != nullptr && *t != '\0') return t;
    return fallback;
}

// Page size in inches.
struct Page {
    double w;
    double h;
};

struct PageName {
    const char *name;
    Page size;
};
constexpr PageName page_names[] = {
    {"letter", {11, 8.5}},  {"legal", {14, 8.5}},   {"11x17", {17, 11}},    {"a4", {11.69, 8.26}},
    {"a3", {16.54, 11.69}}, {"a2", {23.39, 16.54}}, {"a1", {33.11, 23.39}}, {"b4", {14.33, 10.12}},
    {"b3", {20.27, 14.33}}, {"b2", {28.66, 20.27}}, {"b1", {40.55, 28.66}}, {"ansid", {34, 22}},
};

// The number after a keyword prefix of an item ("scale=0.8" read from its
// 7th character); false when the item holds none there.
bool option_value(const char *item, std::size_t from, double *value) {
    const std::string_view text(item);
    if (text.size() <= from) return false;
    return scan_decimal(text.substr(from), value) > 0;
}

// "WxH" of the "sz" option; the page must leave a drawing area of a few
// points inside its half-inch margin.
bool page_size(const char *text, Page *page) {
    float w = 0, h = 0;
    const auto usable = [](float inches) { return 72 * (inches - 0.5f) >= 2; };
    if (std::sscanf(text, "%fx%f", &w, &h) != 2 || !usable(w) || !usable(h)) return false;
    *page = {w, h};
    return true;
}

// The page items of both print devices: "sz=WxH" and the page names.
void page_option(const char *item, Page *page) {
    if (strnicmp(item, "sz", 2) == 0) {
        if (std::strlen(item) > 3) page_size(item + 3, page);
        return;
    }
    for (const PageName &p : page_names)
        if (stricmp(item, p.name) == 0) *page = p.size;
}

// One PostScript print option; later items override earlier ones and items
// that match nothing are ignored.
void ps_option(const char *item, Page *page) {
    double value = 0;
    if (stricmp(item, "port") == 0) {
        gps_set_orient(1);
    } else if (stricmp(item, "land") == 0) {
        gps_set_orient(0);
    } else if (stricmp(item, "eps") == 0) {
        gps_set_EPS(1);
    } else if (stricmp(item, "noeps") == 0) {
        gps_set_EPS(0);
    } else if (stricmp(item, "color") == 0) {
        gps_set_colorPS(1);
        gset_inverse(1);
    } else if (stricmp(item, "gray") == 0) {
        gps_set_colorPS(0);
    } else if (strnicmp(item, "scale", 5) == 0) {
        if (option_value(item, 6, &value)) gps_set_scale(static_cast<float>(value));
    } else if (strnicmp(item, "lwidth", 6) == 0) {
        if (option_value(item, 7, &value)) gps_set_base_width(static_cast<int>(value));
    } else {
        page_option(item, page);
    }
}

// One HP-GL print option, read like those of PostScript; a roll page
// ("roll=36": 36 x 23.5 inches) only from the environment's list.
void hpgl_option(const char *item, Page *page, bool from_env) {
    double value = 0;
    if (stricmp(item, "port") == 0) {
        ghpgl_set_rotate(90);
    } else if (stricmp(item, "land") == 0) {
        ghpgl_set_rotate(0);
    } else if (stricmp(item, "pcl") == 0) {
        ghpgl_set_pcl(1);
    } else if (stricmp(item, "nopcl") == 0) {
        ghpgl_set_pcl(0);
    } else if (stricmp(item, "lj") == 0) {
        ghpgl_set_pcl(2);
    } else if (strnicmp(item, "scale", 5) == 0) {
        if (option_value(item, 6, &value)) ghpgl_set_scale(static_cast<float>(value));
    } else if (strnicmp(item, "lwidth", 6) == 0) {
        if (option_value(item, 7, &value)) ghpgl_set_base_width(static_cast<float>(value));
    } else if (strnicmp(item, "rot", 3) == 0) {
        if (option_value(item, 4, &value) && value > -1e6 && value < 1e6)
            ghpgl_set_rotate(static_cast<int>(value));
    } else if (strnicmp(item, "roll", 4) == 0) {
        // A roll narrower than its margin, or one whose plotter units no int
        // holds, is ignored.
        if (from_env && option_value(item, 5, &value) && value >= 0.51 && value < 2e6) *page = {value, 23.5};
    } else {
        page_option(item, page);
    }
}

// Device geometry of the print devices and metafiles: a panel "PnxxNy+ix+iy"
// or sizes and offsets in hundredths of an inch, in device units of the type.
void set_geometry(int type, const char *geom) {
    if (geom == nullptr || *geom == '\0') return;
    if (geom[0] == 'P' || geom[0] == 'p') {
        float nx = 1, ny = 1, ix = 0, iy = 0;
        std::sscanf(geom + 1, "%fx%f+%f+%f", &nx, &ny, &ix, &iy);
        if (!(nx > 1) && !(ny > 1)) return;
        auto clamp = [](float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); };
        nx = clamp(nx, 1, 8);
        ny = clamp(ny, 1, 8);
        // A panel off the page is moved onto its last column or row.
        ix = clamp(ix, 0, nx - 1);
        iy = clamp(iy, 0, ny - 1);
        win_x = static_cast<int>(ix / nx * static_cast<float>(win_width));
        win_y = static_cast<int>((1 - (iy + 1) / ny) * static_cast<float>(win_height));
        win_width = static_cast<int>(static_cast<float>(win_width) / nx);
        win_height = static_cast<int>(static_cast<float>(win_height) / ny);
        return;
    }
    // Sizes and offsets scale by num / den into device units: hundredths of
    // an inch into points or plotter units (with the plotter's offset of 10),
    // whole numbers into the metafile's hundredths.
    long num = 72;
    long den = 100;
    long base = 0;
    const char *full = "%dx%d%d%d";
    const char *offsets = "%d%d";
    if (type == GWS_HPGL) {
        num = 1015;
        base = 10;
        full = "%dx%d+%d+%d";
        offsets = "+%d+%d";
    } else if (type == GWS_META) {
        num = 100;
        den = 1;
    }
    auto units = [num, den](int v) { return static_cast<int>(static_cast<long>(v) * num / den); };
    int w = 0, h = 0, x = 0, y = 0;
    const int n = std::sscanf(geom, full, &w, &h, &x, &y);
    if (n >= 2) {
        if (units(w) < 2 || units(h) < 2) return; // no drawing area
        win_width = units(w);
        win_height = units(h);
        if (n == 4) {
            win_x = static_cast<int>(base) + units(x);
            win_y = static_cast<int>(base) + units(y);
        }
    } else if (std::sscanf(geom, offsets, &x, &y) == 2) {
        win_x = static_cast<int>(base) + units(x);
        win_y = static_cast<int>(base) + units(y);
    }
}

// ---- Another program's window ----

// The window spec: item 1 of the connection string, else zeqwindow, else
// WINDOW; a spec that starts with neither a digit nor "+" names a window-id
// file whose first word is the window description. False with a warning when none is given.
bool window_spec(const Items &items, std::string *spec) {
    const char *given = items.size() >= 2 ? items[1] : env("zeqwindow");
    if (given == nullptr) given = env("WINDOW");
    if (given == nullptr) {
        MESS_print(M_WARN, "gopen_ws: window parameters not specified\n");
        return false;
    }
    if (*given == '\0') {
        MESS_print(M_WARN, "gopen_ws: window id not specified\n");
        return false;
    }
    *spec = given;
    if (std::isdigit(static_cast<unsigned char>(given[0])) || given[0] == '+') return true;
    std::string file = given;
    if (given[0] == 'w' || given[0] == 'W') {
        if (std::isdigit(static_cast<unsigned char>(given[1])))
            file = "zeqloop." + std::to_string(std::atoi(given + 1));
        else
            file = "zeqloop.win";
    }
    char path[FILE_NAME_SIZE] = "";
    FILE_add_path(RES_get("file_path"), file.c_str(), path, sizeof path);
    FILE *f = FILE_open(path, "r");
    if (f == nullptr) {
        MESS_print(M_WARN, "gopen_ws: unable to open window id file\n");
        return false;
    }
    char word[WINDOW_SPEC_MAX + 1] = "";
    const int n = std::fscanf(f, "%127s", word);
    FILE_close(f);
    *spec = n == 1 ? word : "";
    return true;
}

// The drawing area inside the window from the geometry: a panel
// "Pnx x ny + ix + iy" of a grid of nx x ny panels (row 0 at the top), or a
// size and offset capped to the window.
void other_window_geometry() {
    const char *res = RES_get("geometry");
    const std::string geom = !geometry.empty() ? geometry : (res != nullptr ? res : "");
    if (geom.empty()) return;
    if (geom[0] == 'P' || geom[0] == 'p') {
        float nx = 1, ny = 1, ix = 0, iy = 0;
        std::sscanf(geom.c_str() + 1, "%fx%f+%f+%f", &nx, &ny, &ix, &iy);
        // One column or fewer: the whole window stays the drawing area.
        if (!(nx > 1)) return;
        nx = std::clamp(nx, 1.0f, 8.0f);
        ny = std::clamp(ny, 1.0f, 8.0f);
        ix = std::clamp(ix, 0.0f, nx - 1);
        iy = std::clamp(iy, 0.0f, ny - 1);
        win_x = static_cast<int>(ix / nx * static_cast<float>(win_width));
        win_y = static_cast<int>(iy / ny * static_cast<float>(win_height));
        win_width = static_cast<int>(static_cast<float>(win_width) / nx);
        win_height = static_cast<int>(static_cast<float>(win_height) / ny);
        return;
    }
    int w = 0, h = 0, x = 0, y = 0;
    const int n = std::sscanf(geom.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y);
    if (n < 2 || w <= 0 || h <= 0) return;
    win_width = std::min(w, win_width);
    win_height = std::min(h, win_height);
    if (n == 4) {
        win_x = x;
        win_y = y;
    }
}

// Sends the new-frame request and waits, at most 20 s, until the owner has
// answered: its title changed twice and no longer shows the "+" extra. False when
// it did not answer in time.
bool await_new_frame() {
    const gks_clock::Clock &clock = gks_clock::get();
    XSelectInput(display, root_window, PropertyChangeMask);
    send_request(REQUEST_NEW_FRAME);
    // The answer changes the title twice ("+" and back), however quickly.
    int changes = 0;
    bool answered = false;
    for (float waited = 0; !answered && waited < ANSWER_LIMIT; waited += ANSWER_POLL) {
        clock.sleep(ANSWER_POLL);
        XEvent ev;
        while (XCheckTypedWindowEvent(display, root_window, PropertyNotify, &ev))
            if (ev.xproperty.atom == XA_WM_NAME) ++changes;
        char extra[TITLE_EXTRA_MAX + 1] = "";
        gget_win_title_extra(extra, sizeof extra);
        answered = changes >= 2 && extra[0] != '+';
    }
    XSelectInput(display, root_window, NoEventMask);
    XSync(display, False);
    XEvent ev;
    while (XCheckTypedWindowEvent(display, root_window, PropertyNotify, &ev)) {
    }
    return answered;
}

// Attaches the workstation to another program's window named by the window description.
int open_other_window(const Items &items) {
    win_type = GWS_PIX;
    gset_cache(0);
    gset_redraw(0);
    std::string spec;
    if (!window_spec(items, &spec)) return -1;
    win_width = DEFAULT_WIDTH;
    win_height = DEFAULT_HEIGHT;
    win_x = win_y = 0;

    // The description's fields: root only in the "+" form, then base, width,
    // height and colormap; nb counts those read from base on.
    unsigned long root = 0, base = 0;
    int w = 0, h = 0, cmap = 0, n = 0, nb = 0;
    if (spec[0] == '+') {
        long r = 0, b = 0;
        n = std::sscanf(spec.c_str() + 1, "%ld:%ld:%dx%d:%d", &r, &b, &w, &h, &cmap);
        root = n >= 1 && r > 0 ? static_cast<unsigned long>(r) : 0;
        base = n >= 2 && b > 0 ? static_cast<unsigned long>(b) : 0;
        nb = n - 1;
    } else if (spec[0] == '0' && (spec[1] == 'x' || spec[1] == 'X')) {
        unsigned int b = 0;
        n = std::sscanf(spec.c_str() + 2, "%x:%dx%d:%d", &b, &w, &h, &cmap);
        base = n >= 1 ? b : 0;
        nb = n;
    } else {
        long b = 0;
        n = std::sscanf(spec.c_str(), "%ld:%dx%d:%d", &b, &w, &h, &cmap);
        base = n >= 1 && b > 0 ? static_cast<unsigned long>(b) : 0;
        nb = n;
    }
    if (nb >= 3 && w > 0 && h > 0) {
        win_width = w;
        win_height = h;
    }
    root_width = win_width;
    root_height = win_height;
    if (n <= 0 || base == 0) {
        MESS_print(M_WARN, "gopen_ws: window id not specified\n");
        return -1;
    }
    root_window = root != 0 ? root : base;
    // Ids that name no window (or drawable) fail now rather than on every
    // drawing request.
    {
        GxQuietErrors quiet;
        Window r = 0;
        int gx = 0, gy = 0;
        unsigned int gw = 0, gh = 0, gb = 0, gd = 0;
        XGetGeometry(display, base, &r, &gx, &gy, &gw, &gh, &gb, &gd);
        if (root != 0) {
            XWindowAttributes wa{};
            XGetWindowAttributes(display, root, &wa);
        }
        XSync(display, False);
        if (quiet.failed()) {
            MESS_print(M_WARN, "gopen_ws: no window 0x%lx to draw into\n", root != 0 ? root : base);
            root_window = 0;
            return -1;
        }
    }
    base_window = draw_window = base;
    if (nb >= 4) gset_user_cmap(static_cast<Colormap>(cmap));

    {
        GxQuietErrors quiet;
        char *name = nullptr;
        if (XFetchName(display, root_window, &name) && name != nullptr) {
            std::string title = name;
            const std::size_t cut_at = title.find(" [");
            if (cut_at != std::string::npos) title.erase(cut_at);
            win_title = cut(title.c_str(), WIN_TITLE_MAX);
            XFree(name);
        }
    }
    root_gc = XCreateGC(display, root_window, 0, nullptr);
    back_colr = BlackPixel(display, screen);
    fore_colr = WhitePixel(display, screen);
    if (gget_inverse()) std::swap(back_colr, fore_colr);

    if (pix_mode == 2 && !await_new_frame()) {
        MESS_print(M_WARN, "gopen_ws: window 0x%lx did not answer the request for a new frame\n",
                   root_window);
        XFreeGC(display, root_gc);
        root_gc = nullptr;
        root_window = base_window = draw_window = 0;
        return -1;
    }
    ginit_xcolr();
    other_window_geometry();
    return 0;
}

int x_open_window(Gws_type type, const Items &items) {
    return type == GWS_PIX ? open_other_window(items) : open_own_window();
}

int open_x(Gws_type type, const Items &items) {
    if (x_open_display(items.first()) != 0) {
        MESS_print(M_WARN, "gopen_ws: unable to connect to display\n");
        return -1;
    }
    return x_open_window(type, items);
}

int open_ps(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    win_type = GWS_PS;
    const char *name = first_set({items.first(), env("zeqps_print"), env("PSPRINT")}, "zeq.ps");
    depth = 10;
    if (gps_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open postscript file\n");
        return -1;
    }
    Page page{11, 8.5};
    gps_init();
    const Items env_items(env("zeqps_param"));
    for (int i = 0; i < env_items.size(); ++i)
        ps_option(env_items[i], &page);
    for (int i = 1; i < items.size(); ++i)
        ps_option(items[i], &page);
    win_width = static_cast<int>(72 * (page.w - 0.5));
    win_height = static_cast<int>(72 * (page.h - 0.5));
    win_x = win_y = 0;
    gps_set_size(static_cast<float>(page.w), static_cast<float>(page.h));
    // The geometry comes before the prologue: an EPS bounding box is the
    // drawing area it gives.
    const char *res = RES_get("geometry");
    set_geometry(GWS_PS, first_set({res, env("zeqps_geometry"), env("PSGEOMETRY")}, nullptr));
    gps_init_file();
    return 0;
}

int open_hpgl(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    win_type = GWS_HPGL;
    const char *name = first_set({items.first(), env("zeqhp_out")}, "zeq.hpgl");
    depth = 10;
    if (ghpgl_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open HPGL file\n");
        return -1;
    }
    Page page{10.5, 8};
    ghpgl_init();
    const Items env_items(env("zeqhp_param"));
    for (int i = 0; i < env_items.size(); ++i)
        hpgl_option(env_items[i], &page, true);
    for (int i = 1; i < items.size(); ++i)
        hpgl_option(items[i], &page, false);
    win_width = static_cast<int>(1015 * (page.w - 0.5));
    win_height = static_cast<int>(1015 * (page.h - 0.5));
    win_x = win_y = 10;
    set_geometry(GWS_HPGL, first_set({RES_get("geometry"), env("zeqhp_geometry")}, nullptr));
    ghpgl_init_file();
    return 0;
}

int open_meta(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    for (int i = 1; i < items.size(); ++i) {
        if (stricmp(items[i], "cgm") == 0) gmeta_set_type(META_CGM);
        if (stricmp(items[i], "zeq") == 0) gmeta_set_type(META_TEXT);
    }
    win_width = 1000;
    win_height = 800;
    win_x = win_y = 0;
    win_type = GWS_META;
    set_geometry(GWS_META, RES_get("geometry"));
    const char *name =
        first_set({items.first(), env("zeqmeta_out")}, gmeta_get_type() == META_CGM ? "zeq.cgm" : "zeq.meta");
    depth = 10;
    if (gmeta_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open metafile\n");
        return -1;
    }
    gmeta_init_file();
    return 0;
}

// The initialisation kind of ginit_plot for a workstation type.
int plot_kind(Gws_type type) {
    switch (type) {
    case GWS_PS:
        return 2;
    case GWS_HPGL:
        return 3;
    case GWS_META:
        return 4;
    default:
        return 0;
    }
}

} // namespace

// ---- Kernel -------------------------------------------------------------------

Gint gopen_gks(const Gchar *err_f, Gint) {
    if (err_f == nullptr) {
        err_file = stderr;
        return 0;
    }
    FILE *f = FILE_open(err_f, "w");
    if (f == nullptr) return 1;
    if (err_file != nullptr && err_file != stderr) FILE_close(err_file);
    err_file = f;
    return 0;
}

Gint gclose_gks() {
    if (err_file != nullptr && err_file != stderr) {
        FILE_close(err_file);
        err_file = nullptr;
    }
    return 0;
}

Gint gemergency_close_gks() {
    return 0;
}

Gint gopen_ws(Gint, Gconn_id conn_id, Gws_type ws_type) {
    if (open_graphics) {
        gerr_printf("gopen_ws", "workstation already open\n");
        return -1;
    }
    const Items items(conn_id);
    const char *print = env("zeqprint");
    if (ws_type == GWS_PS && print != nullptr && stricmp(print, "hpgl") == 0) ws_type = GWS_HPGL;

    int rc = -1;
    switch (ws_type) {
    case GWS_WIN:
    case GWS_PIX:
        rc = open_x(ws_type, items);
        break;
    case GWS_PS:
        rc = open_ps(items);
        break;
    case GWS_HPGL:
        rc = open_hpgl(items);
        break;
    case GWS_META:
        rc = open_meta(items);
        break;
    default:
        gerr_printf("gopen_ws", "invalid workstation type: %d\n", ws_type);
        break;
    }
    if (rc != 0) return -1;

    open_graphics = 1;
    ginit_objs();
    ginit_plot(plot_kind(ws_type));
    gsetup_fonts();
    ginit_background();
    if (gtype_is_PIX() && pix_mode == 1) gclear_frame(-3);
    if (gtype_is_WIN_PIX()) x_finish_open();
    gset_cursor(8);
    return 0;
}

Gint gclose_ws(Gint) {
    if (!open_graphics) return -1;
    if (gtype_is_WIN_PIX()) x_close_ws();
    win_width = win_height = 0;
    int rc = 0;
    switch (win_type) {
    case GWS_WIN:
        gclear_objs();
        break;
    case GWS_PS:
        rc = gps_close_file();
        break;
    case GWS_HPGL:
        rc = ghpgl_close_file();
        break;
    case GWS_META:
        rc = gmeta_close_file();
        break;
    default:
        break;
    }
    open_graphics = 0;
    return rc == 0 ? 0 : -1;
}

Gint gactivate_ws(Gint) {
    return 0;
}

Gint gdeactivate_ws(Gint) {
    return 0;
}

Gint gclear_ws(Gint, Gclear_flag) {
    if (gtype_is_WIN()) {
        x_clear_ws();
        gclear_objs();
    }
    return 0;
}

Gint gmessage(Gint ws_id, const Gchar *message) {
    const char *text = message != nullptr ? message : "";
    gnew_obj(5, ws_id, static_cast<int>(std::strlen(text) + 1), text);
    if (gtype_is_META()) gmeta_printf("ME %s\n", text);
    if (gtype_is_PS()) gps_printf("%%%%Message: %s\n", text);
    return 0;
}

Gint gcreate_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_CR %d\n", seg_name);
        return -1;
    }
    gnew_obj(81, seg_name, 0, nullptr);
    return 0;
}

Gint gclose_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_CL %d\n", seg_name);
        return -1;
    }
    gnew_obj(82, seg_name, 0, nullptr);
    return 0;
}

Gint gdel_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_DE %d\n", seg_name);
        return -1;
    }
    gdel_seg_objs(seg_name);
    return 0;
}

Gint gchk_graphics() {
    return open_graphics;
}

Gint gcheck_open(const char *func) {
    if (open_graphics) return 1;
    gerr_printf(func, "GKS not opened\n");
    return 0;
}

Gint gerr_printf(const char *func, const char *mess, ...) {
    if (err_file == nullptr) return 0;
    va_list args;
    va_start(args, mess);
    va_list copy;
    va_copy(copy, args);
    const int len = std::vsnprintf(nullptr, 0, mess, copy);
    va_end(copy);
    std::string text(len > 0 ? static_cast<std::size_t>(len) : 0, '\0');
    if (len > 0) std::vsnprintf(text.data(), text.size() + 1, mess, args);
    va_end(args);
    MESS_print(M_WARN, "%s: ", func != nullptr ? func : "");
    MESS_print(M_WARN, "%s\n", text.c_str());
    return 0;
}

Gint gtype_is_WIN() {
    return win_type == GWS_WIN;
}

Gint gtype_is_PIX() {
    return win_type == GWS_PIX;
}

Gint gtype_is_WIN_PIX() {
    return win_type == GWS_WIN || win_type == GWS_PIX;
}

Gint gtype_is_PS() {
    return win_type == GWS_PS;
}

Gint gtype_is_HPGL() {
    return win_type == GWS_HPGL;
}

Gint gtype_is_META() {
    return win_type == GWS_META;
}

Gint gget_ws_id() {
    return 1;
}

Gint gset_win_type(Gint val) {
    win_type = val;
    return 0;
}

Gint gget_win_type() {
    return win_type;
}

Gint gset_pix_mode(Gint mode) {
    pix_mode = mode;
    return 0;
}

Gint gset_geometry(const Gchar *geom) {
    geometry = cut(geom, GEOMETRY_MAX);
    return 1;
}

Gint gset_win_size(Gint width, Gint height) {
    win_width = width;
    win_height = height;
    ginit_tran(10);
    return 0;
}

Gint gget_win_size(Gint *width, Gint *height) {
    *width = win_width;
    *height = win_height;
    return 0;
}

Gint gget_root_size(Gint *width, Gint *height) {
    *width = root_width;
    *height = root_height;
    return 0;
}

Gint gget_win_offset(Gint *x, Gint *y) {
    *x = win_x;
    *y = win_y;
    return 0;
}

Gint gset_xoff(Gint x, Gint y) {
    win_x = x;
    win_y = y;
    return 0;
}

Gint gget_window_width() {
    return win_width;
}

Gint gget_window_height() {
    return win_height;
}

Gint gget_win_depth() {
    return depth;
}

// ---- Device initialisation, names and titles -------------------------------------

int ginit_plot(int type) {
    if (type == -1) return -1;
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
    ginit_loop();
    ginit_tran(type);
    ginit_text(type);
    ginit_line(type);
    ginit_marker(type);
    ginit_fill(type);
    if (type == 0 || type == 1) x_init_plot(type);
    return 0;
}

int gset_prog_name(const char *str) {
    prog_name = cut(str, PROG_NAME_MAX);
    return 0;
}

const char *gget_prog_name() {
    return prog_name.c_str();
}

int gset_win_title(const char *str) {
    win_title = cut(str, WIN_TITLE_MAX);
    if (!x_have_window()) return -1;
    XStoreName(display, root_window, win_title.c_str());
    XSetIconName(display, root_window, win_title.c_str());
    XSync(display, False);
    return 0;
}

const char *gget_win_title() {
    return win_title.c_str();
}

int gset_win_title_extra(const char *str) {
    if (!x_have_window()) return -1;
    std::string name = win_title;
    if (str != nullptr && *str != '\0') name += std::string(" ") + str;
    name = name.substr(0, TITLE_EXTRA_MAX);
    XStoreName(display, root_window, name.c_str());
    XSync(display, False);
    return 0;
}

int gget_win_title_extra(char *str, std::size_t size) {
    if (str != nullptr && size > 0) *str = '\0';
    if (!x_have_window()) return -1;
    char *name = nullptr;
    if (!XFetchName(display, root_window, &name) || name == nullptr) return -1;
    const std::string_view whole(name);
    const std::size_t skip = win_title.size() + 1;
    if (whole.size() > skip && str != nullptr && size > 0) {
        const std::string_view extra = whole.substr(skip);
        std::snprintf(str, size, "%.*s", static_cast<int>(extra.size()), extra.data());
    }
    XFree(name);
    return 0;
}

int gset_cursor(int type) {
    if (!gtype_is_WIN_PIX()) return 0;
    return x_set_cursor(type);
}

int gset_cursor_type(int type) {
    const int prev = cursor;
    if (x_have_window() && type >= 0 && type < static_cast<int>(cursors.size()) &&
        cursors[static_cast<std::size_t>(type)] != 0)
        XDefineCursor(display, root_window, cursors[static_cast<std::size_t>(type)]);
    cursor = type;
    return prev;
}

int gget_cursor_type() {
    return cursor;
}

int gsync() {
    if (gtype_is_WIN_PIX() && display != nullptr) XSync(display, False);
    return 0;
}

int gbell(int len) {
    if (!gtype_is_WIN_PIX() || display == nullptr) return 0;
    XBell(display, len == 0 ? 50 : std::clamp(len, -100, 100));
    XSync(display, False);
    return 0;
}

int gresize_window(int width, int height) {
    if (!gtype_is_WIN() || !x_have_window()) return 0;
    if (width > 0 && height > 0) {
        XClearWindow(display, root_window);
        const int copy_w = std::min(width, win_width), copy_h = std::min(height, win_height);
        win_width = root_width = width;
        win_height = root_height = height;
        XResizeWindow(display, root_window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        replace_pixmap(width, height, copy_w, copy_h);
    } else {
        XWindowAttributes wa{};
        XGetWindowAttributes(display, root_window, &wa);
        if (wa.width == win_width && wa.height == win_height) return 0;
        XClearWindow(display, root_window);
        if (width == -1)
            replace_pixmap(wa.width, wa.height, std::min(wa.width, win_width),
                           std::min(wa.height, win_height));
        win_width = root_width = wa.width;
        win_height = root_height = wa.height;
    }
    greset_zoom();
    gdelete_all_frames();
    return 1;
}

int gset_xsize(int x, int y) {
    // The device size of an open window stays that of its backing pixmap
    // until the resize event makes both follow the window.
    if (!(gtype_is_WIN() && x_have_window())) {
        win_width = x;
        win_height = y;
    } else if (x > 0 && y > 0) {
        XResizeWindow(display, root_window, static_cast<unsigned>(x), static_cast<unsigned>(y));
        XSync(display, False);
    }
    return 0;
}

int gupdate_window() {
    if (!x_have_window() || base_window == 0 || root_gc == nullptr) return -1;
    XCopyArea(display, base_window, root_window, root_gc, 0, 0,
              static_cast<unsigned>(std::max(root_width, 0)), static_cast<unsigned>(std::max(root_height, 0)),
              0, 0);
    XSync(display, False);
    return 0;
}

int gclear_region(const Glim *lim) {
    if (!open_graphics || lim == nullptr) return 0;
    if (gtype_is_META()) {
        gmeta_printf("CLR_REG %f %f %f %f\n", lim->x_min, lim->y_min, lim->x_max, lim->y_max);
        return 0;
    }
    gnew_obj(25, 1, sizeof(Glim), lim);
    if (gx_active() && root_gc != nullptr) {
        const int x0 = static_cast<int>(0.5f + xW_p(lim->x_min));
        const int y0 = static_cast<int>(0.5f + yW_p(lim->y_max));
        const int w = static_cast<int>(xW_p(lim->x_max) - static_cast<float>(x0) + 0.5f);
        const int h = static_cast<int>(yW_p(lim->y_min) - static_cast<float>(y0) + 0.5f);
        fill_drawable(draw_window, static_cast<unsigned long>(gget_back_color()), x0, y0, w, h);
    } else if (gtype_is_PS()) {
        gps_printf("%%%%CLR\n");
        gps_printf("np\n");
        gps_move(lim->x_min, lim->y_min);
        gps_line(lim->x_min, lim->y_max);
        gps_line(lim->x_max, lim->y_max);
        gps_line(lim->x_max, lim->y_min);
        gps_line(lim->x_min, lim->y_min);
        gps_printf("cp\n");
        gps_set_fill_color(-1);
        gps_printf("fill\n");
    }
    return 0;
}

int gset_iconic(int iconic) {
    icon = iconic;
    return 1;
}

int gset_fixed_size() {
    fixed_size = 1;
    return 1;
}

int gset_icon_bitmap(const unsigned char *bits) {
    if (bits != nullptr) std::memcpy(zeq_bits.data(), bits, zeq_bits.size());
    return 0;
}

int gset_refresh_callback(int val, Grefresh_func func) {
    refresh = val;
    refresh_CB = func;
    return 0;
}

Gint ghold(Gint) {
    if (!gtype_is_WIN() || !x_have_window()) return 0;
    const gks_clock::Clock &clock = gks_clock::get();
    gcheck_event();
    gsync();
    if (gget_looping()) clock.init_time();
    gset_input_mode(1);
    double next = clock.now() + refresh;
    int quiet = 0;
    // A callback that closes the window ends the hold as well.
    while (gget_input_mode() && x_have_window()) {
        if (gget_num_images() >= 2 && gget_looping()) {
            gset_cursor(CURSOR_LOOP);
            gloop_sleep();
            // Events during the wait may have stopped looping or deleted
            // frames: the next frame is shown only while frames still loop.
            if (gis_mapped() && gget_looping() && gget_num_images() >= 2) gdisplay_frame(ginc_frame(0));
            clock.init_time();
            gcheck_event();
            quiet = 0;
        } else {
            gset_cursor(gget_num_images() >= 2 ? CURSOR_STOP : CURSOR_RECT);
            if (refresh > 0) {
                // Ten polls a second for a while after the last user event,
                // then two.
                if (quiet < QUIET_POLLS) {
                    clock.sleep(0.1f);
                    ++quiet;
                } else {
                    clock.sleep(0.5f);
                }
                if (gcheck_event() > 0) quiet = 0;
            } else {
                gwait_event();
            }
        }
        if (refresh > 0 && refresh_CB != nullptr && clock.now() > next) {
            refresh_CB();
            next += refresh;
        }
    }
    gset_input_mode(0);
    gbell(50);
    gset_cursor(0);
    gsync();
    return 0;
}

// ---- X handles and helpers ---------------------------------------------------------

Display *gget_display() {
    return display;
}

int gget_screen() {
    return screen;
}

Visual *gget_visual() {
    return visual;
}

Window gget_root_window() {
    return root_window;
}

Pixmap gget_base_window() {
    return base_window;
}

Drawable gget_draw_window() {
    return draw_window;
}

GC gget_root_gc() {
    return root_gc;
}

unsigned long gget_red_mask() {
    return red_mask;
}

unsigned long gget_grn_mask() {
    return grn_mask;
}

unsigned long gget_blu_mask() {
    return blu_mask;
}

int gset_base_window(Pixmap win) {
    base_window = win;
    return 0;
}

int gset_draw_window(Drawable win) {
    draw_window = win != 0 ? win : base_window;
    return 0;
}

bool gx_active() {
    return open_graphics && gtype_is_WIN_PIX() && display != nullptr && draw_window != 0;
}

GxQuietErrors::GxQuietErrors() : saved_print_(Xerror_print) {
    Xerror_print = 0;
    Xerror = 0;
}

GxQuietErrors::~GxQuietErrors() {
    Xerror_print = saved_print_;
}

bool GxQuietErrors::failed() const {
    return Xerror != 0;
}

GC gx_create_gc(GC *owner, int (*colour)()) {
    if (display == nullptr || root_window == 0 || owner == nullptr) return nullptr;
    std::erase_if(gcs, [&](const GcEntry &e) {
        if (e.owner != owner) return false;
        if (*owner != nullptr) XFreeGC(display, *owner);
        return true;
    });
    *owner = XCreateGC(display, root_window, 0, nullptr);
    gcs.push_back({owner, colour});
    return *owner;
}

void gx_reset_gc(GC gc) {
    if (display == nullptr || gc == nullptr) return;
    XSetFunction(display, gc, GXcopy);
    Gxrect clip{};
    gget_xviewport(&clip);
    XSetClipRectangles(display, gc, 0, 0, reinterpret_cast<XRectangle *>(&clip), 1, Unsorted);
    XSetForeground(display, gc, WhitePixel(display, screen));
    XSetBackground(display, gc, BlackPixel(display, screen));
}

void gx_clip_gcs(const Gxrect &rect) {
    if (display == nullptr) return;
    XRectangle r{rect.x, rect.y, rect.width, rect.height};
    for (const GcEntry &e : gcs)
        if (*e.owner != nullptr) XSetClipRectangles(display, *e.owner, 0, 0, &r, 1, Unsorted);
}

void gx_refresh_colour(int ind) {
    if (!gx_active()) return;
    for (const GcEntry &e : gcs)
        if (*e.owner != nullptr && e.colour != nullptr && e.colour() == ind)
            XSetForeground(display, *e.owner, static_cast<unsigned long>(gget_color_ind(ind)));
}

bool GxPoints::convert(const char *func, Gint num_pt, const Gpt *array_pt) {
    XPoint *pts = fixed_.data();
    if (num_pt > static_cast<Gint>(fixed_.size())) {
        heap_.reset(new (std::nothrow) XPoint[static_cast<std::size_t>(num_pt)]);
        if (!heap_) {
            gerr_printf(func, "malloc error\n");
            return false;
        }
        pts = heap_.get();
    }
    for (Gint i = 0; i < num_pt; ++i) {
        pts[i].x = static_cast<short>(static_cast<int>(0.5f + xW_p(array_pt[i].x)));
        pts[i].y = static_cast<short>(static_cast<int>(0.5f + yW_p(array_pt[i].y)));
    }
    return true;
}
