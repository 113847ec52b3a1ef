// Normalisation transformations and clipping: the six windows and viewports,
// the workstation window and viewport and the device rectangle they give,
// the coordinate conversions, and the clip that follows the current viewport
// on every device (X clip rectangle, PostScript clip path, HP-GL input
// window, CGM clip rectangle). File-static state: the transformations, the
// current one, the device mapping and the X clip rectangle.
#include "graphics/gks_tran.h"

#include <algorithm>
#include <array>

#include "graphics/gks.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/mess.h"

namespace {

constexpr int NUM_TRAN = 6;
constexpr float PIXEL_LIMIT = 30000.0f;
constexpr float PRINT_LIMIT = 100000.0f;

constexpr Gcoords coords(float x_min, float y_min, float x_max, float y_max) {
    return {x_min, y_min, x_max, y_max, x_max - x_min, y_max - y_min};
}

constexpr Gcoords coords(const Glim &l) {
    return coords(l.x_min, l.y_min, l.x_max, l.y_max);
}

constexpr Gcoords unit = coords(0, 0, 1, 1);
constexpr std::array<Gcoords, NUM_TRAN> all_unit{unit, unit, unit, unit, unit, unit};

std::array<Gcoords, NUM_TRAN> wn = all_unit; // windows (world)
std::array<Gcoords, NUM_TRAN> vp = all_unit; // viewports (NDC)
int cur_trans = 0;
Gcoords cur_wn = unit;
Gcoords cur_vp = unit;
Gcoords wkwn = unit;               // workstation window (NDC)
Gcoords wkvp = coords(0, 0, 1, 1); // workstation viewport (device units)
Gcoords plt = unit;                // device rectangle, device offset included
Gtransform wn_vp{1, 1};
Gtransform wkwn_plt{1, 1};
Gxrect clip_rect{};

// The transformations kept aside by gsave_tran.
struct Saved {
    std::array<Gcoords, NUM_TRAN> wn, vp;
    int cur_trans;
    Gcoords wkwn, wkvp;
};
Saved saved{all_unit, all_unit, 0, unit, unit};

float clamp(float v, float limit) {
    return std::clamp(v, -limit, limit);
}

bool valid_tran(int n) {
    return n >= 0 && n < NUM_TRAN;
}

// A window or viewport of zero extent has no scale; it is refused.
bool zero_extent(const char *func, const char *what, const Glim *lim) {
    if (lim == nullptr) {
        gerr_printf(func, "no %s given\n", what);
        return true;
    }
    if (lim->x_max - lim->x_min != 0 && lim->y_max - lim->y_min != 0) return false;
    gerr_printf(func, "invalid %s: %f %f %f %f\n", what, lim->x_min, lim->y_min, lim->x_max, lim->y_max);
    return true;
}

void set_scale() {
    wn_vp.x = cur_vp.x_ext / cur_wn.x_ext;
    wn_vp.y = cur_vp.y_ext / cur_wn.y_ext;
}

// Maps the workstation window onto the workstation viewport with one scale
// for both axes, anchored at the viewport's low corner and shifted by the
// device offset.
void device_mapping() {
    Gint off_x = 0, off_y = 0;
    gget_win_offset(&off_x, &off_y);
    float x_ext, y_ext;
    if (wkvp.x_ext / wkwn.x_ext > wkvp.y_ext / wkwn.y_ext) {
        x_ext = wkwn.x_ext * wkvp.y_ext / wkwn.y_ext;
        y_ext = wkvp.y_ext;
    } else {
        x_ext = wkvp.x_ext;
        y_ext = wkwn.y_ext * wkvp.x_ext / wkwn.x_ext;
    }
    const float x_min = static_cast<float>(off_x) + wkvp.x_min;
    const float y_min = static_cast<float>(off_y) + wkvp.y_min;
    plt = coords(x_min, y_min, x_min + x_ext, y_min + y_ext);
    wkwn_plt.x = plt.x_ext / wkwn.x_ext;
    wkwn_plt.y = plt.y_ext / wkwn.y_ext;
    set_scale();
}

// The X clip rectangle of the current viewport (1.5 in the extents, so that
// the last row and column are inside).
void make_clip_rect() {
    const int x = static_cast<int>(0.5f + xNDC_p(cur_vp.x_min));
    const int width = static_cast<int>(xNDC_p(cur_vp.x_max) - static_cast<float>(x) + 1.5f);
    const int y = static_cast<int>(0.5f + yNDC_p(cur_vp.y_max));
    const int height = static_cast<int>(yNDC_p(cur_vp.y_min) - static_cast<float>(y) + 1.5f);
    clip_rect.x = static_cast<std::int16_t>(x);
    clip_rect.y = static_cast<std::int16_t>(y);
    clip_rect.width = static_cast<std::uint16_t>(std::clamp(width, 0, 65535));
    clip_rect.height = static_cast<std::uint16_t>(std::clamp(height, 0, 65535));
}

// The current viewport in print units: left, right, bottom, top.
struct PrintBox {
    float left, right, bottom, top;
};

PrintBox print_box() {
    return {xNDC_ps(cur_vp.x_min), xNDC_ps(cur_vp.x_max), yNDC_ps(cur_vp.y_min), yNDC_ps(cur_vp.y_max)};
}

void write_ps_clip() {
    const PrintBox b = print_box();
    gps_printf("initclip\n");
    gps_printf("np\n");
    gps_printf("%3.2f %3.2f mv\n", b.left - 0.1f, b.bottom - 0.1f);
    gps_printf("%3.2f %3.2f ln\n", b.left - 0.1f, b.top + 0.1f);
    gps_printf("%3.2f %3.2f ln\n", b.right + 0.1f, b.top + 0.1f);
    gps_printf("%3.2f %3.2f ln\n", b.right + 0.1f, b.bottom - 0.1f);
    gps_printf("cp\n");
    gps_printf("clip\n");
}

void write_hpgl_clip() {
    const PrintBox b = print_box();
    ghpgl_printf("IW %.0f,%.0f,%.0f,%.0f;\n", b.left - 0.1f, b.bottom - 0.1f, b.right + 0.1f, b.top + 0.1f);
}

void write_cgm_clip() {
    const PrintBox b = print_box();
    gcgm_control(3, 5, 8, 0);
    gcgm_ps_point(b.left, b.bottom);
    gcgm_ps_point(b.right, b.top);
}

// Puts the clip of the current viewport on the open device.
void install_clip() {
    switch (gget_win_type()) {
    case GWS_WIN:
    case GWS_PIX:
        if (gx_active()) gx_clip_gcs(clip_rect);
        break;
    case GWS_PS:
        write_ps_clip();
        break;
    case GWS_HPGL:
        write_hpgl_clip();
        break;
    case GWS_META:
        // The text metafile's records let a reader rebuild the clip.
        if (gmeta_get_type() == META_CGM) write_cgm_clip();
        break;
    default:
        break;
    }
}

// Writes a transformation record on a text metafile.
void meta_record(const char *key, int n, const Glim *lim) {
    if (gtype_is_META())
        gmeta_printf("%s %d %f %f %f %f\n", key, n, lim->x_min, lim->y_min, lim->x_max, lim->y_max);
}

} // namespace

int gsave_tran() {
    saved = {wn, vp, cur_trans, wkwn, wkvp};
    return 0;
}

int grestore_tran() {
    wn = saved.wn;
    vp = saved.vp;
    cur_trans = saved.cur_trans;
    cur_wn = wn[static_cast<std::size_t>(cur_trans)];
    cur_vp = vp[static_cast<std::size_t>(cur_trans)];
    wkwn = saved.wkwn;
    wkvp = saved.wkvp;
    set_scale();
    device_mapping();
    make_clip_rect();
    return 0;
}

int ginit_tran(int type) {
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    if (type != 10) wkwn = unit;
    wkvp = coords(0, 0, static_cast<float>(w - 1), static_cast<float>(h - 1));
    if (type != 10) {
        wn.fill(unit);
        vp.fill(unit);
        cur_trans = 0;
        cur_wn = wn[0];
        cur_vp = vp[0];
    }
    device_mapping();
    switch (type) {
    case 0:
    case 1:
    case 10:
        make_clip_rect();
        break;
    case 2:
        write_ps_clip();
        break;
    case 3:
        write_hpgl_clip();
        break;
    case 4:
        if (gmeta_get_type() == META_CGM) write_cgm_clip();
        break;
    default:
        break;
    }
    return 0;
}

Gint gset_ws_win(Gint ws_id, const Glim *ws_win_lim) {
    if (zero_extent("gset_ws_win", "workstation window", ws_win_lim)) return -1;
    meta_record("WS_WIN", ws_id, ws_win_lim);
    gnew_obj(11, ws_id, sizeof(Glim), ws_win_lim);
    wkwn = coords(*ws_win_lim);
    device_mapping();
    make_clip_rect();
    install_clip();
    return 0;
}

Gint gset_ws_vp(Gint ws_id, const Glim *ws_vp_lim) {
    if (zero_extent("gset_ws_vp", "workstation viewport", ws_vp_lim)) return -1;
    meta_record("WS_VP", ws_id, ws_vp_lim);
    gnew_obj(10, ws_id, sizeof(Glim), ws_vp_lim);
    wkvp = coords(*ws_vp_lim);
    device_mapping();
    make_clip_rect();
    install_clip();
    return 0;
}

Gint gsel_norm_tran(Gint tran_num) {
    if (!valid_tran(tran_num)) {
        gerr_printf("gsel_norm_tran", "invalid transformation number: %d\n", tran_num);
        return -1;
    }
    if (tran_num == cur_trans) return 0;
    if (gtype_is_META()) gmeta_printf("TR %d\n", tran_num);
    gnew_obj(15, tran_num, 0, nullptr);
    cur_trans = tran_num;
    cur_wn = wn[static_cast<std::size_t>(tran_num)];
    cur_vp = vp[static_cast<std::size_t>(tran_num)];
    set_scale();
    make_clip_rect();
    install_clip();
    return 0;
}

Gint gset_win(Gint tran_num, const Glim *win_lim) {
    if (!valid_tran(tran_num)) {
        gerr_printf("gset_win", "invalid transformation number: %d\n", tran_num);
        return -1;
    }
    if (zero_extent("gset_win", "window", win_lim)) return -1;
    meta_record("WIN", tran_num, win_lim);
    gnew_obj(17, tran_num, sizeof(Glim), win_lim);
    wn[static_cast<std::size_t>(tran_num)] = coords(*win_lim);
    if (tran_num == cur_trans) {
        cur_wn = wn[static_cast<std::size_t>(tran_num)];
        set_scale();
    }
    return 0;
}

Gint gset_vp(Gint tran_num, const Glim *vp_lim) {
    if (!valid_tran(tran_num)) {
        gerr_printf("gset_vp", "invalid transformation number: %d\n", tran_num);
        return -1;
    }
    if (zero_extent("gset_vp", "viewport", vp_lim)) return -1;
    meta_record("VP", tran_num, vp_lim);
    gnew_obj(16, tran_num, sizeof(Glim), vp_lim);
    vp[static_cast<std::size_t>(tran_num)] = coords(*vp_lim);
    if (tran_num == cur_trans) {
        cur_vp = vp[static_cast<std::size_t>(tran_num)];
        set_scale();
        make_clip_rect();
        install_clip();
    }
    return 0;
}

Gint ginq_norm_tran(Gint norm_tran, Gint *err_ind, Gtran *tran) {
    if (!valid_tran(norm_tran)) return -1;
    const Gcoords &w = wn[static_cast<std::size_t>(norm_tran)];
    const Gcoords &v = vp[static_cast<std::size_t>(norm_tran)];
    tran->win = {w.x_min, w.x_max, w.y_min, w.y_max};
    tran->vp = {v.x_min, v.x_max, v.y_min, v.y_max};
    *err_ind = 0;
    return 0;
}

Gint ginq_cur_norm_tran_num(Gint *err_ind, Gint *norm_tran) {
    *norm_tran = cur_trans;
    *err_ind = 0;
    return 0;
}

Gint ginq_disp_space_size(Gws_type, Gint *err_ind, Gdsp_size *dsp_size) {
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    dsp_size->coord_units = GOTHER_UNIT;
    dsp_size->coord_size = {static_cast<float>(w - 1), static_cast<float>(h - 1)};
    dsp_size->ras_size = {w, h};
    *err_ind = 0;
    return 0;
}

Gint gpts_in_win(Gint num_pt, const Gpt *array_pt) {
    if (num_pt < 1 || array_pt == nullptr) return 0;
    float x_min = array_pt[0].x, x_max = array_pt[0].x;
    float y_min = array_pt[0].y, y_max = array_pt[0].y;
    for (Gint i = 1; i < num_pt; ++i) {
        x_min = std::min(x_min, array_pt[i].x);
        x_max = std::max(x_max, array_pt[i].x);
        y_min = std::min(y_min, array_pt[i].y);
        y_max = std::max(y_max, array_pt[i].y);
    }
    if (x_max < cur_wn.x_min || x_min > cur_wn.x_max || y_max < cur_wn.y_min || y_min > cur_wn.y_max)
        return 0;
    return 1;
}

float xW_NDC(float x) {
    return cur_vp.x_min + (x - cur_wn.x_min) * wn_vp.x;
}

float yW_NDC(float y) {
    return cur_vp.y_min + (y - cur_wn.y_min) * wn_vp.y;
}

float xNDC_p(float x) {
    return clamp(plt.x_min + (x - wkwn.x_min) * wkwn_plt.x, PIXEL_LIMIT);
}

float yNDC_p(float y) {
    return clamp(plt.y_min + (wkwn.y_max - y) * wkwn_plt.y, PIXEL_LIMIT);
}

float xNDC_ps(float x) {
    return clamp(plt.x_min + (x - wkwn.x_min) * wkwn_plt.x, PRINT_LIMIT);
}

float yNDC_ps(float y) {
    return clamp(plt.y_min + (y - wkwn.y_min) * wkwn_plt.y, PRINT_LIMIT);
}

float xW_p(float x) {
    return xNDC_p(xW_NDC(x));
}

float yW_p(float y) {
    return yNDC_p(yW_NDC(y));
}

float xW_ps(float x) {
    return xNDC_ps(xW_NDC(x));
}

float yW_ps(float y) {
    return yNDC_ps(yW_NDC(y));
}

float xp_W(float x) {
    return cur_wn.x_min + (wkwn.x_min + (x - plt.x_min) / wkwn_plt.x - cur_vp.x_min) / wn_vp.x;
}

float yp_W(float y) {
    return cur_wn.y_min + (wkwn.y_max - (y - plt.y_min) / wkwn_plt.y - cur_vp.y_min) / wn_vp.y;
}

float xW_trans(float x, int t1, int t2) {
    if (!valid_tran(t1) || !valid_tran(t2)) return x;
    const Gcoords &w1 = wn[static_cast<std::size_t>(t1)], &v1 = vp[static_cast<std::size_t>(t1)];
    const Gcoords &w2 = wn[static_cast<std::size_t>(t2)], &v2 = vp[static_cast<std::size_t>(t2)];
    return w2.x_min + (v1.x_min + v1.x_ext * (x - w1.x_min) / w1.x_ext - v2.x_min) / v2.x_ext * w2.x_ext;
}

float yW_trans(float y, int t1, int t2) {
    if (!valid_tran(t1) || !valid_tran(t2)) return y;
    const Gcoords &w1 = wn[static_cast<std::size_t>(t1)], &v1 = vp[static_cast<std::size_t>(t1)];
    const Gcoords &w2 = wn[static_cast<std::size_t>(t2)], &v2 = vp[static_cast<std::size_t>(t2)];
    return w2.y_min + (v1.y_min + v1.y_ext * (y - w1.y_min) / w1.y_ext - v2.y_min) / v2.y_ext * w2.y_ext;
}

int gget_xviewport(Gxrect *rect) {
    *rect = clip_rect;
    return 0;
}

int gget_gviewport(Grectangle *rect) {
    if (gtype_is_WIN_PIX()) {
        *rect = {clip_rect.x, clip_rect.y, clip_rect.width, clip_rect.height};
    } else if (gtype_is_PS() || gtype_is_HPGL()) {
        const PrintBox b = print_box();
        const int x = static_cast<int>(b.left);
        const int y = static_cast<int>(b.bottom);
        rect->x = x;
        rect->width = static_cast<int>(b.right - static_cast<float>(x) + 1.5f);
        rect->y = y;
        rect->height = static_cast<int>(b.top - static_cast<float>(y) + 1.5f);
    }
    return 0;
}

int gprint_win() {
    MESS_print(M_PRINT, "C-%d: %7.3f %7.3f %7.3f %7.3f\n", cur_trans, cur_wn.x_min, cur_wn.x_max,
               cur_wn.y_min, cur_wn.y_max);
    for (int i = 0; i < 4; ++i) {
        const Gcoords &w = wn[static_cast<std::size_t>(i)];
        MESS_print(M_PRINT, "W-%d: %7.3f %7.3f %7.3f %7.3f\n", i, w.x_min, w.x_max, w.y_min, w.y_max);
    }
    return 0;
}

int greset_clip() {
    return 0;
}
