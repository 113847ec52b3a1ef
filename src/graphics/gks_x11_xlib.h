// The X side of the kernel: the handles of the window workstations, the
// graphics contexts of the primitive modules, the colormaps of the colour
// table and the small X drawing helpers. Kept apart from gks_x11.h because it
// brings in Xlib, whose macros (Bool, Status, None, ...) clash with other
// libraries' names; include it only where X calls are made.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <memory>

#include "graphics/gks.h"
#include "graphics/gks_tran.h"

// ---- The window workstation (gks_x11) ----------------------------------------------

// The X state of the own or foreign window; null or 0 while there is none.
// The display connection, once made, stays for the rest of the run.
Display *gget_display();
int gget_screen();
Visual *gget_visual();
// The visible window.
Window gget_root_window();
// The backing pixmap of the own window (the foreign window's drawable).
Pixmap gget_base_window();
// Where primitives draw: the backing pixmap or an animation frame.
Drawable gget_draw_window();
// The graphics context for clearing and copying.
GC gget_root_gc();
// The colour masks of the window's visual.
unsigned long gget_red_mask();
unsigned long gget_grn_mask();
unsigned long gget_blu_mask();
int gset_base_window(Pixmap win);
// The drawing drawable; 0 selects the backing pixmap. 0.
int gset_draw_window(Drawable win);

// True while an X workstation is open with its drawable: the only time the X
// branches of the primitives, setters and colours act.
bool gx_active();

// For its lifetime X errors are noted without a report (a request that may
// fail, such as a colour allocation); failed() tells whether one came back
// (synchronise before asking).
class GxQuietErrors {
public:
    GxQuietErrors();
    ~GxQuietErrors();
    GxQuietErrors(const GxQuietErrors &) = delete;
    GxQuietErrors &operator=(const GxQuietErrors &) = delete;
    bool failed() const;

private:
    int saved_print_;
};

// Creates a graphics context on the workstation's window for a primitive
// module and registers it with the kernel, which then clips it to the
// viewport, gives it the default line attributes at every initialisation,
// refreshes its foreground when the slot of the module's colour (`colour`)
// changes, and frees it at close, setting *owner to null. The context, or
// null when there is no window.
GC gx_create_gc(GC *owner, int (*colour)());
// The set-up of an initialisation (kinds 0 and 1): copy function, the current
// viewport as clip rectangle, the screen's white foreground and black
// background.
void gx_reset_gc(GC gc);
// Installs one clip rectangle on every registered context.
void gx_clip_gcs(const Gxrect &rect);
// Gives every registered context whose module draws in colour index ind the
// slot's pixel.
void gx_refresh_colour(int ind);

// World points of the current transformation converted to pixels (0.5 added
// and truncated). Up to 10 points use a fixed buffer, more a temporary one.
class GxPoints {
public:
    // False after "malloc error" under func when no buffer could be had.
    bool convert(const char *func, Gint num_pt, const Gpt *array_pt);
    XPoint *data() { return heap_ ? heap_.get() : fixed_.data(); }

private:
    std::array<XPoint, 10> fixed_{};
    std::unique_ptr<XPoint[]> heap_;
};

// ---- Events (gks_evnt) --------------------------------------------------------------

// Processes one event of the own window (nothing on other devices, with the
// event switch off or for another window's event). 0.
int gprocess_x11_event(XEvent *event);

// ---- Lines (gks_line) ---------------------------------------------------------------

GC gget_line_gc();
// The X drawing function of the line context (GXcopy 3, GXxor 6). 0.
int gset_line_gc_func(int func);
int gget_line_gc_func();
// Rubber-band feedback: a line between two pixels, and the outline of the
// rectangle two corners span (in either order), drawn on a drawable with
// the line context. 0.
int gxline(Drawable window, XPoint pt1, XPoint pt2);
int gxrect(Drawable window, XPoint pt1, XPoint pt2);

// ---- Fills (gks_fill) ---------------------------------------------------------------

GC gget_fill_gc();

// ---- Markers (gks_mark) and text (gks_text) -------------------------------------------

GC gget_marker_gc();
GC gget_text_gc();
// Gives back the loaded X core font (at the close of an X workstation: the
// next window, perhaps on another display, loads its own). 0.
int gfree_xfont();

// ---- Window images (gks_img) ------------------------------------------------------

struct IMG_report;
// Describes an image for drawing on the window: its own buffer when it has
// the window's depth (24-bit pixels turned to the visual's channel order in
// place), else a new buffer with 8-bit pixels converted to the 24- or 16-bit
// window's pixels. 1; 0 (nothing to draw) with a warning for other depths,
// or without memory. A buffer other than the image's is the caller's to
// free after the draw.
int gset_ximage_params(IMG_report *img, XImage *ximg);

// ---- Colours (gks_colr) -------------------------------------------------------------

// The screen's default colormap, handed over at X open. 0.
int gset_def_cmap(Colormap cmap);
Colormap gget_def_cmap();
// A private colormap (the own window's, or one handed over by another
// program's window); 0 for none. 0.
int gset_user_cmap(Colormap cmap);
Colormap gget_user_cmap();
// The colormap colours are allocated in: the private one when set.
Colormap gget_colormap();
