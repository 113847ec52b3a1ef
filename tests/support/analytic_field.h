// Test support of the contour tests: an analytic field with two highs and a
// low over North America, sampled at the points of a grid domain.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"

namespace zeqtest {

// 1000 with highs of 12 at 47 N 110 W and of 10 at 36 N 86 W and a low of
// -14 at 40 N 98 W (Gaussian bumps a few degrees wide).
struct FieldBump {
    double lat, lon, amp, width;
};
inline constexpr FieldBump FIELD_BUMPS[] = {{47, -110, 12, 5}, {36, -86, 10, 5}, {40, -98, -14, 4}};

inline double analytic_field(double lat, double lon) {
    double v = 1000;
    for (const FieldBump &b : FIELD_BUMPS) {
        const double dlat = lat - b.lat, dlon = (lon - b.lon) * std::cos(b.lat * M_PI / 180);
        v += b.amp * std::exp(-(dlat * dlat + dlon * dlon) / (b.width * b.width));
    }
    return v;
}

// The field at every point of domain d, in the grid records' row order
// (row 0 northernmost); the domain's projection is current meanwhile.
inline std::vector<float> analytic_values(const Domain &d) {
    Domain dom = d;
    MapScope scope(&dom);
    float xc = 0, yc = 0;
    MAP_tran(dom.clat, dom.clon, &xc, &yc);
    std::vector<float> v(std::size_t(dom.nx) * std::size_t(dom.ny));
    for (int r = 0; r < dom.ny; ++r)
        for (int i = 0; i < dom.nx; ++i) {
            const float x = xc + (float(i) - float(dom.nx - 1) / 2) * dom.dx;
            const float y = yc + (float(dom.ny - 1 - r) - float(dom.ny - 1) / 2) * dom.dy;
            float lat = 0, lon = 0;
            MAP_untran(x, y, &lat, &lon);
            v[std::size_t(r) * std::size_t(dom.nx) + std::size_t(i)] = float(analytic_field(lat, lon));
        }
    return v;
}

} // namespace zeqtest
