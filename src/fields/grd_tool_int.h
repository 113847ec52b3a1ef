// Services shared by the source files of the grid module (not a public
// interface of the module).
#pragma once

#include <cstddef>
#include <limits>

#include "fields/maptran.h"
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

// Keeps the current projection for the life of the object (making another
// domain current meanwhile when one is given) and makes it current again.
class ProjectionScope {
public:
    ProjectionScope() { MAP_get_domain(&saved_); }
    explicit ProjectionScope(const Domain *dom) : ProjectionScope() { MAP_domain(dom); }
    ~ProjectionScope() { MAP_domain(&saved_); }
    ProjectionScope(const ProjectionScope &) = delete;
    ProjectionScope &operator=(const ProjectionScope &) = delete;

private:
    Domain saved_;
};

} // namespace grd_int
