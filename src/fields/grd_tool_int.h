// Services shared by the source files of the grid module (not a public
// interface of the module).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <limits>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/zeqgrd.h"

namespace grd_int {

// Number of values of a domain's grid; 0 when its size is not positive or
// too large to allocate.
inline std::size_t grid_size(const Domain &d) {
    if (d.nx <= 0 || d.ny <= 0) return 0;
    const std::size_t nx = std::size_t(d.nx);
    const std::size_t ny = std::size_t(d.ny);
    if (nx > std::numeric_limits<std::size_t>::max() / sizeof(float) / ny) return 0;
    return nx * ny;
}

// True when the record holds an array for a grid of positive size.
inline bool has_values(const GRD_report *g) {
    return g != nullptr && g->grid != nullptr && grid_size(g->domain) > 0;
}

inline bool same_size(const GRD_report *a, const GRD_report *b) {
    return a->domain.nx == b->domain.nx && a->domain.ny == b->domain.ny;
}

// A record for grids read one by one from a file; its array, when a read gave
// it one, is released when the record goes.
struct Scratch {
    GRD_report r{};
    Scratch() {
        GRD_init(&r);
        DOM_init(&r.domain);
    }
    ~Scratch() { std::free(r.grid); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
};

// A slot of the grid table that a grid-file read filled owns the array the
// reader allocated into it; nothing for a record outside the table.
void take_array(const GRD_report *g);

// The model mosaic chosen by GRD_in_file: nspec pieces (0: no mosaic) laid
// out nx per row in ny rows, listed row by row from the north-west.
inline constexpr int MAX_PIECES = 12;
struct GRD_spec {
    int x;         // column of the piece, 0 the westernmost
    int y;         // row, 0 the northernmost
    int type;      // grid type a grid of the piece must have; -9999 any
    char name[20]; // name convention of the piece's files
};
struct GRD_mosaic {
    int nspec = 0;
    int nx = 1;
    int ny = 1;
    GRD_spec grid_spec[MAX_PIECES]{};
};
const GRD_mosaic &GRD_get_mosaic();

} // namespace grd_int
