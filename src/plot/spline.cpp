// Natural cubic splines: second derivatives by the tridiagonal elimination of
// the natural end conditions, values from the interval's cubic, and the
// parametric form over the cumulative chord length that the fronts are bent
// with. No file-static state.
#include "plot/spline.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "runtime/zeq.h"

float *SPLINE_create(int n, const float *x, const float *y) {
    if (n < 2 || x == nullptr || y == nullptr) return nullptr;
    // Equal or falling abscissae would divide by zero (NaN fails too).
    for (int k = 1; k < n; ++k)
        if (!(x[k] > x[k - 1])) return nullptr;
    auto *c = static_cast<float *>(std::malloc(sizeof(float) * std::size_t(n)));
    if (c == nullptr) return nullptr;
    std::vector<float> u(std::size_t(n), 0.0f);
    c[0] = 0.0f;
    for (int k = 1; k < n - 1; ++k) {
        const float sig = (x[k] - x[k - 1]) / (x[k + 1] - x[k - 1]);
        const float p = sig * c[k - 1] + 2.0f;
        c[k] = (sig - 1.0f) / p;
        const float jump = (y[k + 1] - y[k]) / (x[k + 1] - x[k]) - (y[k] - y[k - 1]) / (x[k] - x[k - 1]);
        u[k] = (6.0f * jump / (x[k + 1] - x[k - 1]) - sig * u[k - 1]) / p;
    }
    c[n - 1] = 0.0f;
    for (int k = n - 2; k >= 0; --k)
        c[k] = c[k] * c[k + 1] + u[k];
    return c;
}

float SPLINE_interp(float x0, int n, const float *c, const float *x, const float *y) {
    if (n < 2 || c == nullptr || x == nullptr || y == nullptr) return FMISSING;
    int k = n - 2;
    while (k > 0 && x0 < x[k])
        --k;
    const float h = x[k + 1] - x[k];
    const float t = x0 - x[k];
    return y[k] + t * ((y[k + 1] - y[k]) / h + t * ((c[k + 1] - c[k]) * t / (6.0f * h) + c[k] / 2.0f) -
                       (2.0f * c[k] + c[k + 1]) * h / 6.0f);
}

int SPLINE_create2(int n, const float *x, const float *y, float *d, float **coeffx, float **coeffy) {
    *coeffx = nullptr;
    *coeffy = nullptr;
    if (n < 2 || x == nullptr || y == nullptr || d == nullptr) return 0;
    d[0] = 0.0f;
    for (int k = 1; k < n; ++k)
        d[k] = d[k - 1] +
               std::sqrt((x[k] - x[k - 1]) * (x[k] - x[k - 1]) + (y[k] - y[k - 1]) * (y[k] - y[k - 1]));
    // A repeated point gives two equal parameters: SPLINE_create refuses them.
    float *cx = SPLINE_create(n, d, x);
    float *cy = SPLINE_create(n, d, y);
    if (cx == nullptr || cy == nullptr) {
        std::free(cx);
        std::free(cy);
        return 0;
    }
    *coeffx = cx;
    *coeffy = cy;
    return 1;
}

int SPLINE_interp2(float d0, int n, const float *coeffx, const float *coeffy, const float *x, const float *y,
                   const float *d, float *x0, float *y0) {
    if (n < 2 || coeffx == nullptr || coeffy == nullptr || x == nullptr || y == nullptr || d == nullptr) {
        *x0 = FMISSING;
        *y0 = FMISSING;
        return 0;
    }
    *x0 = SPLINE_interp(d0, n, coeffx, d, x);
    *y0 = SPLINE_interp(d0, n, coeffy, d, y);
    return 1;
}
