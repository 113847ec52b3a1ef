// The GPH drawing layer over the graphics kernel: opening and closing from
// the resources, the display and panel layout, attribute bundles, simple
// shapes and formatted text. File-static state: whether this layer's
// workstation is open, the workstation type in use and the one it was given,
// the display extent, the plot area and the default font name.
#include "graphics/gks_tool.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/zeq.h"

namespace {

constexpr std::size_t FONT_NAME_MAX = 19;
constexpr std::size_t DEVICE_WORD_MAX = 9;
constexpr double PI = 3.1415926535898;
constexpr int DEVICE_FLAG = 2; // flag slot of the chosen workstation type

int ws_open = 0;
int wk_type = 0;
int wk_itype = 0;
float xvp = 1;
float yvp = 1;
float sizex = 1;
float sizey = 1;
float offx = 0;
float offy = 0;
std::string font_name;

bool set(Gint v) {
    return v != MISSING;
}

bool set(Gfloat v) {
    return v != FMISSING;
}

void polygon(int n, const Gpt *pts, bool fill) {
    if (fill)
        gfill_area(n, pts);
    else
        gpolyline(n, pts);
}

void rectangle(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2, bool fill) {
    const Gpt pts[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
    polygon(5, pts, fill);
}

void circle(float x, float y, float rad, bool fill) {
    Gpt pts[37];
    for (int i = 0; i <= 36; ++i) {
        const double a = 10.0 * i * PI / 180.0;
        pts[i] = {static_cast<Gfloat>(x + rad * std::cos(a)), static_cast<Gfloat>(y + rad * std::sin(a))};
    }
    polygon(37, pts, fill);
}

} // namespace

// ---- Opening and closing ------------------------------------------------------------

int GPH_setup(Gint *ws_id, Gws_type *ws_type, float asp_ratio, Glim *offset) {
    const char *conn = nullptr;
    RES_getval("device", &conn, CV_device);
    const int device = FLAG_get(DEVICE_FLAG);
    *ws_type = device >= 1 ? device : (FLAG_batch() ? GWS_WIN : GWS_NONE);
    GPH_set_win_title();
    CLR_read_table(nullptr);
    int draw = 0;
    RES_getval("draw", &draw, CV_draw);
    GPH_begin(ws_id, conn, ws_type);
    GPH_reset(ws_id, ws_type, asp_ratio, offset);
    return 0;
}

int GPH_begin(Gint *ws_id, Gconn_id conn_id, Gws_type *ws_type) {
    FILE_delete("zeqgks.err");
    *ws_id = 1;
    wk_itype = *ws_type;
    if (*ws_type == GWS_NONE) {
        char answer[10] = "";
        ZEQ_prompts("Display (D) or Postscript (P): ", answer, sizeof answer);
        *ws_type = RES_set_device(answer);
        FLAG_set(DEVICE_FLAG, *ws_type);
    }
    wk_type = *ws_type;
    if (!ws_open && gopen_gks(nullptr, 0) != 0) {
        MESS_print(M_ERROR, "GPH_begin: Error opening Kernel System\n");
        gemergency_close_gks();
        ZEQ_exit(4);
    }
    if (!ws_open && gopen_ws(*ws_id, conn_id, *ws_type) != 0) {
        MESS_print(M_ERROR, "GPH_begin: Error opening workstation\n");
        ZEQ_exit(4);
    }
    ws_open = 1;
    gactivate_ws(*ws_id);
    return 0;
}

int GPH_end(Gint ws_id) {
    gdeactivate_ws(ws_id);
    const Gint rc = gclose_ws(ws_id);
    gclose_gks();
    ws_open = 0;
    FLAG_set(DEVICE_FLAG, wk_itype);
    return rc == 0 ? 0 : -1;
}

// ---- Layout -----------------------------------------------------------------------

int GPH_reset(Gint *ws_id, Gws_type *ws_type, float asp_ratio, Glim *offset) {
    gclear_ws(*ws_id, GALWAYS);
    ginq_maxview(*ws_type, &xvp, &yvp);
    const Glim all{0, xvp, 0, yvp};
    gset_ws_win(*ws_id, &all);
    gset_vp(1, &all);
    gset_win(1, &all);
    GPH_panel(ws_id, ws_type, asp_ratio, offset);
    for (int i = 0; i < CLR_get_num(); ++i) {
        Gcolr_rep rep{};
        CLR_get_rgb(i, &rep.red, &rep.green, &rep.blue);
        gset_colr_rep(*ws_id, i, &rep);
    }
    GPH_text_font(nullptr);
    return 0;
}

int GPH_panel(Gint *, Gws_type *, float asp_ratio, Glim *offset) {
    const Glim m = offset != nullptr ? *offset : Glim{0, 0, 0, 0};
    const Glim box{xvp * (m.x_min * sizex + offx), xvp * (offx + sizex - m.x_max * sizex),
                   yvp * (m.y_min * sizey + offy), yvp * (offy + sizey - m.y_max * sizey)};
    const Gaspect asp = asp_ratio != 0 ? Gaspect{asp_ratio, 1} : Gaspect{sizex * xvp, sizey * yvp};
    Glim panel{};
    gset_aspect(&box, &panel, asp, {2, 2});
    gset_vp(2, &panel);
    gset_win(2, &panel);
    gset_vp(3, &panel);
    gset_win(3, &panel);
    GPH_line_attr(nullptr);
    GPH_fill_attr(nullptr);
    GPH_mark_attr(nullptr, 1.0f);
    GPH_text_attr(nullptr, 1.0f);
    if (offset != nullptr) *offset = panel;
    return 0;
}

int GPH_set_view_size(float sx, float sy, float ox, float oy) {
    sizex = sx;
    sizey = sy;
    offx = ox;
    offy = oy;
    return 0;
}

int GPH_get_view_size(Glim *limit) {
    *limit = {offx * xvp, xvp * (offx + sizex), offy * yvp, yvp * (offy + sizey)};
    return 0;
}

float GPH_get_vert_win_size() {
    return yvp;
}

int GPH_device_prompt(int *ws_type) {
    if (*ws_type != GWS_NONE) return 0;
    std::fputs("Display (D) or Postscript (P): ", stdout);
    std::fflush(stdout);
    char word[80] = "";
    if (std::scanf("%79s", word) != 1) word[0] = '\0';
    *ws_type = word[0] == 'P' || word[0] == 'p' ? GWS_PS : GWS_WIN;
    return 0;
}

int gdevice_setup(const char *str, char *conn_id, std::size_t size) {
    if (str == nullptr) str = "";
    const char *comma = std::strchr(str, ',');
    const std::string word(str, comma != nullptr ? std::min<std::size_t>(comma - str, DEVICE_WORD_MAX)
                                                 : std::min(std::strlen(str), DEVICE_WORD_MAX));
    if (conn_id != nullptr && size > 0) {
        std::string conn;
        if (comma != nullptr)
            for (const char *p = comma + 1; *p != '\0' && !std::isspace(static_cast<unsigned char>(*p)); ++p)
                conn += *p;
        strntcpy(conn_id, conn.c_str(), static_cast<int>(size - 1));
    }
    return RES_set_device(word.c_str());
}

int ginq_maxview(Gws_type ws_type, Gfloat *x, Gfloat *y) {
    Gint err = 0;
    Gdsp_size size{};
    ginq_disp_space_size(ws_type, &err, &size);
    const float cx = size.coord_size.x, cy = size.coord_size.y;
    if (cx > cy) {
        *x = 1;
        *y = cy / cx;
    } else {
        *x = cy > 0 ? cx / cy : 1;
        *y = 1;
    }
    return 0;
}

int gset_aspect(const Glim *vin, Glim *vout, Gaspect asp, Gcenter center) {
    const float xdiff = vin->x_max - vin->x_min;
    const float ydiff = vin->y_max - vin->y_min;
    float xview, yview;
    if (asp.y / ydiff > asp.x / xdiff) {
        xview = asp.x * ydiff / asp.y;
        yview = ydiff;
    } else {
        xview = xdiff;
        yview = asp.y * xdiff / asp.x;
    }
    auto place = [](int code, float lo, float hi, float diff, float view, float *out_lo, float *out_hi) {
        if (code == 2) {
            *out_lo = lo + diff / 2 - view / 2;
            *out_hi = lo + diff / 2 + view / 2;
        } else if (code == 3) {
            *out_lo = hi - view;
            *out_hi = hi;
        } else {
            *out_lo = 0;
            *out_hi = view;
        }
    };
    place(center.x, vin->x_min, vin->x_max, xdiff, xview, &vout->x_min, &vout->x_max);
    place(center.y, vin->y_min, vin->y_max, ydiff, yview, &vout->y_min, &vout->y_max);
    return 0;
}

int GPH_hold(Gint ws_id) {
    gupdate_window();
    if (wk_type == GWS_WIN) ghold(ws_id);
    return 0;
}

// ---- Transformations ------------------------------------------------------------------

void GPH_trans(int trans) {
    gsel_norm_tran(trans);
}

int GPH_view(int tran, const Glim *view) {
    return gset_vp(tran, view);
}

int GPH_win(int tran, const Glim *win) {
    return gset_win(tran, win);
}

int GPH_get_view(int tran, Glim *view) {
    Gint err = 0;
    Gtran t{};
    if (ginq_norm_tran(tran, &err, &t) != 0) return -1;
    *view = t.vp;
    return 0;
}

int GPH_get_win(int tran, Glim *win) {
    Gint err = 0;
    Gtran t{};
    if (ginq_norm_tran(tran, &err, &t) != 0) return -1;
    *win = t.win;
    return 0;
}

int GPH_print_view(const Glim *v) {
    MESS_print(M_PRINT, "%5.2f %5.2f %5.2f %5.2f\n", static_cast<double>(v->x_min),
               static_cast<double>(v->x_max), static_cast<double>(v->y_min), static_cast<double>(v->y_max));
    return 0;
}

// ---- Attribute bundles -------------------------------------------------------------------

int GPH_line_attr(const Gattribs *a) {
    if (a == nullptr) {
        gset_linetype(1);
        gset_linewidth(0);
        return 0;
    }
    if (set(a->color) && a->color >= 0) gset_line_colr_ind(a->color);
    if (set(a->style)) gset_linetype(a->style);
    if (set(a->width)) gset_linewidth(a->width);
    return 0;
}

int GPH_fill_attr(const Gattribs *a) {
    if (a == nullptr) {
        gset_fill_int_style(GSOLID);
        return 0;
    }
    if (set(a->color) && a->color >= 0) gset_fill_colr_ind(a->color);
    if (set(a->fill_pat)) {
        if (a->fill_pat == 0) {
            gset_fill_int_style(GSOLID);
        } else {
            gset_fill_int_style(GPAT);
            gset_fill_style_ind(a->fill_pat);
        }
    }
    return 0;
}

int GPH_mark_attr(const Gattribs *a, float scale) {
    if (a == nullptr) {
        gset_marker_width(0);
        return 0;
    }
    if (set(a->color) && a->color >= 0) gset_marker_colr_ind(a->color);
    if (set(a->style)) gset_marker_type(a->style);
    if (set(a->width)) gset_marker_width(a->width);
    if (set(a->height))
        gset_marker_size(a->height * scale);
    else if (scale > 0)
        gset_marker_size(scale);
    return 0;
}

int GPH_text_attr(const Gattribs *a, float scale) {
    if (a == nullptr) {
        gset_text_width(0);
        gset_expan(1);
        return -1;
    }
    if (set(a->color) && a->color >= 0) gset_text_colr_ind(a->color);
    if (set(a->width)) gset_text_width(a->width);
    gset_char_ht(set(a->height) ? a->height * scale : scale);
    if (set(a->expan)) gset_expan(a->expan);
    if (set(a->font)) {
        const Gfontprec fp{a->font, GSTROKE_PREC};
        gset_fontprec(&fp);
    }
    gset_space(0.25f);
    return 0;
}

int GPH_set_color(int ind, float red, float grn, float blu) {
    const Gcolr_rep rep{red, grn, blu};
    return gset_colr_rep(1, ind, &rep);
}

int GPH_text_font(const char *str) {
    const Gfontprec fp{gget_font_index(str != nullptr ? str : font_name.c_str()), GSTROKE_PREC};
    return gset_fontprec(&fp);
}

int GPH_set_def_font(const char *str) {
    font_name = std::string(str != nullptr ? str : "").substr(0, FONT_NAME_MAX);
    return 0;
}

int GPH_text_align(int x, int y) {
    const Gtext_align align{static_cast<Gtext_hor>(x), static_cast<Gtext_ver>(y)};
    return gset_text_align(&align);
}

int GPH_get_text_align(int *x, int *y) {
    Gint err = 0;
    Gtext_align align{};
    ginq_text_align(&err, &align);
    *x = align.hor;
    *y = align.vert;
    return 0;
}

int GPH_text_rotate(float rot) {
    const double a = rot * PI / 180.0;
    const Gpt up{static_cast<Gfloat>(std::sin(a)), static_cast<Gfloat>(std::cos(a))};
    return gset_char_up_vec(&up);
}

// ---- Shapes and text -------------------------------------------------------------------

int GPH_line(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2) {
    const Gpt pts[2] = {{x1, y1}, {x2, y2}};
    gpolyline(2, pts);
    return 0;
}

int GPH_mark(Gfloat x1, Gfloat y1) {
    const Gpt pt{x1, y1};
    gpolymarker(1, &pt);
    return 0;
}

int GPH_border(const Glim *l) {
    rectangle(l->x_min, l->y_min, l->x_max, l->y_max, false);
    return 0;
}

int GPH_rect(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2) {
    rectangle(x1, y1, x2, y2, false);
    return 0;
}

int GPH_frect(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2) {
    rectangle(x1, y1, x2, y2, true);
    return 0;
}

int GPH_circle(float x, float y, float rad) {
    circle(x, y, rad, false);
    return 0;
}

int GPH_fcircle(float x, float y, float rad) {
    circle(x, y, rad, true);
    return 0;
}

int GPH_pprint(const Gpt *pt, const char *str) {
    gtext(pt, str);
    return 0;
}

int GPH_pprintf(const Gpt *pt, const char *format, ...) {
    char buf[60];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    gtext(pt, buf);
    return 0;
}

int GPH_printf(Gfloat x1, Gfloat y1, const char *format, ...) {
    char buf[100];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    const Gpt pt{x1, y1};
    gtext(&pt, buf);
    return 0;
}

int GPH_set_win_title() {
    char base[80] = "";
    RES_get_progname(base, sizeof base);
    const char *name = RES_get("name");
    const bool have_name = name != nullptr && *name != '\0';
    gset_prog_name(have_name ? name : base);
    const char *title = RES_get("title");
    if (title != nullptr && *title != '\0')
        gset_win_title(title);
    else if (have_name)
        gset_win_title(name[0] == '+' ? name + 1 : name);
    else
        gset_win_title(base);
    return 0;
}
