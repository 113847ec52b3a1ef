// Vector tools: conversions between winds as direction and speed and as
// eastward and northward components, plain polar vectors, and the scalar and
// vector products. No file-static state.
#include "plot/vecttool.h"

#include <cmath>

#include "runtime/zeq.h"

namespace {

// Degrees and radians convert with this value of pi, as every wind and
// symbol routine of the system does.
constexpr double PI = 3.1415926535898;
constexpr double kDegToRad = PI / 180.0;
constexpr double kRadToDeg = 180.0 / PI;

// Below this length a vector has no direction.
constexpr float kCalm = 0.01f;

int set_missing(float *a, float *b) {
    *a = FMISSING;
    *b = FMISSING;
    return -1;
}

// (spd sin dir, spd cos dir) into u and v, or -1 for a missing input.
int to_components(float dir, float spd, double sign, float *u, float *v) {
    if (dir == FMISSING || spd == FMISSING) return set_missing(u, v);
    const double a = double(dir) * kDegToRad;
    const double s = sign * double(spd);
    *u = float(s * std::sin(a));
    *v = float(s * std::cos(a));
    return 0;
}

// The direction of (sign u, sign v) in -180..180 degrees (0 for a calm) and
// the length, or -1 for a missing input.
int to_polar(float u, float v, double sign, float *dir, float *spd) {
    if (u == FMISSING || v == FMISSING) return set_missing(dir, spd);
    const float s = std::sqrt(u * u + v * v);
    float d = 0.0f;
    if (s >= kCalm) d = float(std::atan2(sign * double(u), sign * double(v)) * kRadToDeg);
    *dir = d;
    *spd = s;
    return 0;
}

} // namespace

int wind2vect(float dir, float spd, float *u, float *v) {
    return to_components(dir, spd, -1.0, u, v);
}

int vect2wind(float u, float v, float *dir, float *spd) {
    if (to_polar(u, v, -1.0, dir, spd) != 0) return -1;
    if (*dir < 0.0f) *dir += 360.0f;
    return 0;
}

int polar2vect(float dir, float spd, float *u, float *v) {
    return to_components(dir, spd, 1.0, u, v);
}

int vect2polar(float u, float v, float *dir, float *spd) {
    return to_polar(u, v, 1.0, dir, spd);
}

float dot_product(VECT u, VECT v) {
    if (u.x == FMISSING || v.x == FMISSING) return FMISSING;
    return u.x * v.x + u.y * v.y + u.z * v.z;
}

int cross_product(VECT u, VECT v, VECT *w) {
    if (u.x == FMISSING || v.x == FMISSING) {
        *w = VECT{FMISSING, FMISSING, FMISSING};
        return -1;
    }
    *w = VECT{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    return 0;
}
