// The generic data driver: from the reports of a data source to analysed grids.
// File-static state: the station arrays of the fit in progress (capacity,
// dimension, positions, the two values of every gathered field, the counts),
// the variable list they belong to, the fitted mark of the grids and which
// slots were read from an existing grid file (those are not saved again).
#include "surface/data.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fields/calc.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "surface/object.h"

namespace {

constexpr int DEF_LIMIT = 800;
constexpr int GROW_STEP = 400;

int limit = DEF_LIMIT;
int dimension = 0;
float *xs = nullptr;
float *ys = nullptr;
float *zs = nullptr;
float *u[VAR_MAX];
float *v[VAR_MAX];
int num_field = 0;
int num_stats = 0;
VAR_data *var = nullptr;
int grid_fitted = 0;
bool reused[VAR_MAX] = {};

float *new_floats(int n) {
    return static_cast<float *>(std::malloc(sizeof(float) * static_cast<std::size_t>(n)));
}

// Grows one array to n floats; false (array kept) when memory runs out.
bool grow(float **arr, int n) {
    if (*arr == nullptr) return true;
    void *p = std::realloc(*arr, sizeof(float) * static_cast<std::size_t>(n));
    if (p == nullptr) return false;
    *arr = static_cast<float *>(p);
    return true;
}

// The file-name keys of a grid file from variable-list entry ind.
void set_keys(int ind) {
    FILE_set_key('v', VAR_get_name(ind));
    FILE_set_key('l', VAR_get_level_key(ind));
    FILE_set_key('f', VAR_get_time_key(ind));
}

} // namespace

int DATA_init(int lim, int dim) {
    limit = lim > 0 ? lim : DEF_LIMIT;
    var = VAR_get_vars();
    OBJ_initialize();
    xs = new_floats(limit);
    ys = dim > 1 ? new_floats(limit) : nullptr;
    zs = dim > 2 ? new_floats(limit) : nullptr;
    for (int k = 0; k < VAR_MAX; ++k)
        u[k] = v[k] = nullptr;
    dimension = dim;
    num_field = num_stats = 0;
    if (xs == nullptr || (dim > 1 && ys == nullptr) || (dim > 2 && zs == nullptr)) {
        MESS_print(M_WARN, "DATA_init: No memory for %d stations\n", limit);
        DATA_free();
        return -1;
    }
    return 0;
}

int DATA_add_field(int fld, const VAR_data *vardata) {
    if (fld < 0 || fld >= VAR_MAX || var == nullptr) return -1;
    if (vardata != nullptr && vardata != &var[fld]) var[fld] = *vardata;
    std::free(u[fld]);
    std::free(v[fld]);
    u[fld] = new_floats(limit);
    v[fld] = new_floats(limit);
    if (u[fld] == nullptr || v[fld] == nullptr) {
        std::free(u[fld]);
        std::free(v[fld]);
        u[fld] = v[fld] = nullptr;
        MESS_print(M_WARN, "DATA_add_field: No memory for field %d\n", fld);
        return -1;
    }
    for (int s = 0; s < limit; ++s)
        u[fld][s] = v[fld][s] = FMISSING;
    if (fld >= num_field) num_field = fld + 1;
    return 0;
}

int DATA_chk_field(int fld) {
    return fld >= 0 && fld < VAR_MAX && u[fld] != nullptr ? 1 : 0;
}

int DATA_add_loc(int sta, ...) {
    if (xs == nullptr || sta < 0 || sta > limit) return -1;
    if (sta == limit) {
        const int n = limit + GROW_STEP;
        bool ok = grow(&xs, n) && grow(&ys, n) && grow(&zs, n);
        for (int k = 0; ok && k < num_field; ++k)
            ok = grow(&u[k], n) && grow(&v[k], n);
        if (!ok) {
            MESS_print(M_WARN, "DATA_add_loc: No memory for %d stations\n", n);
            return -1;
        }
        for (int k = 0; k < num_field; ++k)
            for (int s = limit; s < n; ++s) {
                if (u[k]) u[k][s] = FMISSING;
                if (v[k]) v[k][s] = FMISSING;
            }
        limit = n;
        MESS_print(M_MESS, "Increasing arrays to %d\n", limit);
    }
    va_list ap;
    va_start(ap, sta);
    xs[sta] = static_cast<float>(va_arg(ap, double));
    if (dimension > 1) ys[sta] = static_cast<float>(va_arg(ap, double));
    if (dimension > 2) zs[sta] = static_cast<float>(va_arg(ap, double));
    va_end(ap);
    return 0;
}

int DATA_add_raw(int sta, int fld, const RAW_data *data) {
    if (sta < 0 || sta >= limit || fld < 0 || fld >= VAR_MAX || data == nullptr) return -1;
    if (u[fld]) u[fld][sta] = data->value[0];
    if (v[fld]) v[fld][sta] = data->value[1];
    if (sta >= num_stats) num_stats = sta + 1;
    return 0;
}

int DATA_get_raw(int sta, int fld, RAW_data *data) {
    if (data == nullptr || sta < 0 || sta >= num_stats || fld < 0 || fld >= num_field) return 0;
    if (xs == nullptr || ys == nullptr || var == nullptr) return 0;
    data->x = xs[sta];
    data->y = ys[sta];
    data->type = var[fld].type;
    copy_text(data->format, sizeof data->format, var[fld].format);
    if (u[fld]) data->value[0] = u[fld][sta];
    if (v[fld]) data->value[1] = v[fld][sta];
    return 1;
}

int DATA_get_num_stats() {
    return num_stats;
}

int DATA_inc_num_stats(int inc) {
    num_stats += inc;
    return 0;
}

int DATA_object_analyze() {
    if (xs == nullptr || ys == nullptr) return 0;
    OBJ_analyze(xs, ys, u, num_stats, num_field, GRD_get_grids());
    return 0;
}

int DATA_free() {
    std::free(xs);
    std::free(ys);
    std::free(zs);
    xs = ys = zs = nullptr;
    for (int k = 0; k < VAR_MAX; ++k) {
        std::free(u[k]);
        std::free(v[k]);
        u[k] = v[k] = nullptr;
    }
    return 0;
}

int DATA_print() {
    for (int s = 0; s < num_stats && xs != nullptr; ++s)
        std::printf("%f %f = %f %f\n", xs[s], ys ? ys[s] : 0.0f, u[0] ? u[0][s] : FMISSING,
                    v[0] ? v[0][s] : FMISSING);
    return 0;
}

// ---- The driver ------------------------------------------------------------------------

int DATA_new_grid() {
    grid_fitted = 0;
    GRD_report *grids = GRD_get_grids();
    for (int k = 0; k < VAR_MAX; ++k) {
        grids[k].source = 0;
        reused[k] = false;
    }
    return 0;
}

int DATA_setup_grid(DATA_info *data) {
    FILE_save_name_conv();
    DATA_init(DEF_LIMIT, 2);

    if (DOM_get_grid_domain(&data->grd_domain) < 1) data->grd_domain = data->domain;
    GRD_set_grid_domain(0, &data->grd_domain);
    if (data->out_grid) data->out_grid();
    const int model = data->model == MISSING ? 1 : data->model;

    int fit = 0;
    for (int pos = 0; pos < VAR_get_num(); ++pos) {
        if (!VAR_is_type_GRID(pos)) continue;
        set_keys(pos);
        OBJ_decode_format(VAR_get_format(pos));
        char name[FILE_NAME_SIZE];
        FILE_set_date(&data->date, name, sizeof name);

        GRD_report *slot = GRD_get_grid(pos);
        GRD_release_grid(pos);
        GRD_info info{};
        int type = 0;
        if (GRD_read_check(name, slot, &info, &type, &data->grd_domain) == 1) {
            reused[pos] = true;
            continue;
        }

        if ((VAR_is_REG(pos) || VAR_is_SUBREG(pos)) && data->get_var) data->get_var(&VAR_get_vars()[pos]);
        char label[100];
        VAR_make_var_datatype(pos, label, sizeof label);
        GRD_set_grid_info(pos, label);
        GRD_set_var(pos);
        DATE_make_label_for_time(VAR_get_time(pos), model, &data->date, label, sizeof label);
        GRD_set_grid_date(pos, &data->date, label);

        if (VAR_is_fit_GRID(pos)) {
            GRD_set_grid_domain(pos, &data->grd_domain);
            // A slot without an array would be analysed through a null
            // pointer: the field is left out instead.
            if (!GRD_alloc(slot)) {
                MESS_print(M_WARN, "DATA_setup_grid: %s is not analysed\n", VAR_get_name(pos));
                continue;
            }
            if (DATA_add_field(pos, &VAR_get_vars()[pos]) == 0) fit = 1;
        }
    }
    FILE_restore_name_conv();
    return fit;
}

int DATA_get_data(DATA_info *data) {
    if (data->rewind) data->rewind();
    MESS_print(M_MESS, "Reading in data from converted file...\n");
    if (data->read_report == nullptr) return 0;
    int sta = 0;
    for (;;) {
        CTY_locate loc{};
        const int r = data->read_report(data->report, &loc);
        if (r < 0) break;
        if (r == 0) continue;
        RAW_data item{};
        MAP_domain_tran(&data->domain, &data->grd_domain, loc.x, loc.y, &item.x, &item.y);
        // A failed growth stops the gathering; the stations stored are analysed.
        if (DATA_add_loc(sta, static_cast<double>(item.x), static_cast<double>(item.y)) != 0) break;
        for (int k = 0; k < VAR_get_num(); ++k) {
            if (!DATA_chk_field(k)) continue;
            if (data->get_data) data->get_data(data->report, VAR_get_var(k), &item);
            DATA_add_raw(sta, k, &item);
        }
        ++sta;
    }
    return 0;
}

int DATA_fit_grid(DATA_info *data) {
    if (grid_fitted) return 0;
    for (int i = 0; i < VAR_get_num(); ++i) {
        if (!VAR_is_fit_GRID(i)) continue;
        if (data->grid_data) data->grid_data(data);
        grid_fitted = 1;
        break;
    }
    return 0;
}

int DATA_save_grid(DATA_info *data) {
    FILE_save_name_conv();
    const int type = data->out_grid ? data->out_grid() : 0;
    for (int i = VAR_get_num() - 1; i >= 0; --i) {
        // A grid read from its file is that file already.
        if (!VAR_is_type_GRID(i) || reused[i]) continue;
        GRD_report *slot = GRD_get_grid(i);
        set_keys(i);
        GRD_info header{};
        GRD_set_info(&header, &data->date, &data->grd_domain);
        char name[FILE_NAME_SIZE];
        FILE_set_date(&data->date, name, sizeof name);
        if (type != 0 && slot->grid != nullptr) GRD_save_file(name, slot, &header, type);
    }
    FILE_restore_name_conv();
    return 0;
}
