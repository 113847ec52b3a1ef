// The current projection, the map projection formulas, the diagram axes,
// bearings, the map factor and the declutter grid. File-static state: the one
// current Domain, its limits and cached constants, the view and the declutter table.
// On purpose: a projection without formulas (gnomonic, 50, 51, unknown) answers
// "cannot be shown" (0, -9999) rather than passing the point through as if placed;
// MAP_factor uses the domain's own true latitude (polar stereographic) and takes
// an unset Lambert factor as 1, so that it matches the projection drawn;
// MAP_domain_tran reports a point with no place in the second domain (-1, -9999)
// instead of returning success with -9999 outputs.
//
// Inside the module the trigonometry runs in double precision on the float
// inputs and only the results are stored as floats.
#include "fields/maptran.h"

#include "fields/calc.h"
#include "fields/region.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <vector>

namespace {

constexpr double kKmPerDegree = 111.195;

// Earth figures in units of 100 km.
constexpr double earth_rad = 63.7122;
constexpr double earth_maj = 63.78137;
constexpr double earth_min = 63.56752;

// Satellite distance from the earth's centre at load and for a satellite
// domain that gives none.
constexpr double kSatRadLoad = 421.64;
constexpr double kSatRadDefault = 421.61;

// The current projection.
Domain domain = {MISSING,  FMISSING, FMISSING, {FMISSING, 0.0f, 0.0f, 0.0f, 0.0f},
                 FMISSING, FMISSING, FMISSING, FMISSING,
                 MISSING,  MISSING,  0};
// The plane rectangle that the current domain covers.
MAP_limits limits = {FMISSING, FMISSING, FMISSING, FMISSING};
// A diagram's page rectangle; only MAP_set_view changes it.
MAP_limits view = {FMISSING, FMISSING, FMISSING, FMISSING};

// True latitudes: polar stereographic uses tlat1, Lambert both.
float tlat1 = 30.0f;
float tlat2 = 60.0f;

// Cache of derived constants; xfactor -9999 (sat_ratio -9999 for the
// satellite) means not yet computed. Polar stereographic: scale = hemisphere
// sign, xfactor = K. Lambert: scale = hemisphere sign, xfactor = cone
// constant, mult = radius factor. Orthographic: xfactor, yfactor = cos, sin of
// plat. The diagram axes keep their axis scales and skew origin here too.
double xfactor = double(FMISSING);
double yfactor = double(FMISSING);
double scale = 0.0;
double mult = 0.0;

double sat_rad = kSatRadLoad;
double sat_rad2 = kSatRadLoad * kSatRadLoad;
double sat2_earth2 = sat_rad2 - earth_maj * earth_maj;
double sat_ratio = double(FMISSING);
double earth_ratio = double(FMISSING);
double earth_ratio2 = double(FMISSING);

void set_missing(float *x, float *y) {
    *x = FMISSING;
    *y = FMISSING;
}

bool is_map_projection(int proj) {
    return proj >= 1 && proj <= 9 && proj != 6;
}

bool is_diagram(int proj) {
    return proj == 20 || (proj >= 22 && proj <= 25) || (proj >= 40 && proj <= 44) || proj == 99;
}

// Brings a longitude into [-180, 180] (any finite value, however large).
double fold180(double lon) {
    if (lon > 180.0 || lon < -180.0) {
        lon = std::fmod(lon, 360.0);
        if (lon > 180.0)
            lon -= 360.0;
        else if (lon < -180.0)
            lon += 360.0;
    }
    return lon;
}

// Brings a longitude difference into [-180, 180] by one turn each way.
double fold_once(double dlon) {
    if (dlon > 180.0) dlon -= 360.0;
    if (dlon < -180.0) dlon += 360.0;
    return dlon;
}

// Plane points are floats, so a point on the rim of the projected earth (a
// limb, a pole) may land a rounding step outside it; the inverses accept that
// much.
constexpr double kRimSlack = 1e-6;

double clamp1(double v) {
    return std::clamp(v, -1.0, 1.0);
}

void clear_cache() {
    xfactor = double(FMISSING);
    sat_ratio = double(FMISSING);
}

// True latitudes of a Lambert domain from its parameters: 30 and 60 by
// default; a first one without a second makes the tangent cone.
void set_lambert_tlats() {
    if (domain.param[0] != FMISSING) {
        tlat1 = domain.param[0];
        tlat2 = domain.param[1] != FMISSING ? domain.param[1] : domain.param[0];
    } else {
        tlat1 = 30.0f;
        tlat2 = 60.0f;
    }
}

void fill_cache() {
    switch (domain.proj) {
    case 1:
        scale = domain.plat >= 0.0f ? -1.0 : 1.0;
        xfactor = earth_rad * (1.0 - scale * std::sin(tlat1 * DEG_TO_RAD));
        break;
    case 4: {
        // A southern cone is the mirror of the northern one, so the true
        // latitudes count by their distance from the equator whichever sign
        // they are given with.
        scale = domain.plat >= 0.0f ? 1.0 : -1.0;
        const double t1 = std::fabs(tlat1) * DEG_TO_RAD;
        const double t2 = std::fabs(tlat2) * DEG_TO_RAD;
        const double q = 45.0 * DEG_TO_RAD;
        double n;
        if (t1 == t2)
            n = std::sin(t1);
        else
            n = (std::log(std::cos(t1)) - std::log(std::cos(t2))) /
                (std::log(std::tan(q - t1 / 2.0)) - std::log(std::tan(q - t2 / 2.0)));
        xfactor = n;
        mult = std::cos(t1) / (n * std::pow(std::tan(q - t1 / 2.0), n));
        break;
    }
    case 5:
        if (domain.plat == FMISSING) domain.plat = 0.0f;
        xfactor = std::cos(domain.plat * DEG_TO_RAD);
        yfactor = std::sin(domain.plat * DEG_TO_RAD);
        break;
    case 9:
        sat_ratio = sat_rad / earth_rad;
        earth_ratio = earth_rad / sat_rad;
        earth_ratio2 = (earth_min * earth_min) / (earth_maj * earth_maj);
        break;
    default:
        break;
    }
}

void ensure_cache() {
    if (domain.proj == 9 ? is_missing(sat_ratio) : is_missing(xfactor)) fill_cache();
}

// --- Forward formulas of the map projections ---

bool ps_forward(double lat, double lon, double &x, double &y) {
    const double s = scale;
    const double k = xfactor;
    if (s * lat > 75.0) lat = 75.0 * s;
    const double t = std::tan((90.0 + s * lat) / 2.0 * DEG_TO_RAD);
    const double l = (lon - domain.plon) * DEG_TO_RAD;
    x = k * t * std::sin(l);
    y = s * k * t * std::cos(l);
    return true;
}

bool ll_forward(double lat, double lon, double &x, double &y) {
    x = fold_once(lon - domain.plon);
    y = lat;
    return true;
}

bool merc_forward(double lat, double lon, double &x, double &y) {
    const double half = std::numbers::pi * earth_rad;
    x = earth_rad * (lon - domain.plon) * DEG_TO_RAD;
    if (x > half)
        x -= 2.0 * half;
    else if (x < -half)
        x += 2.0 * half;
    lat = std::clamp(lat, -89.9, 89.9);
    y = -earth_rad * std::log(std::tan((45.0 - lat / 2.0) * DEG_TO_RAD));
    return true;
}

bool lambert_forward(double lat, double lon, double &x, double &y) {
    const double s = scale;
    const double n = xfactor;
    if (domain.plat >= 0.0f && lat < -89.0) lat = -89.0;
    if (domain.plat < 0.0f && lat > 89.0) lat = 89.0;
    const double rho = earth_rad * mult * std::pow(std::tan((45.0 - s * lat / 2.0) * DEG_TO_RAD), n);
    const double theta = n * fold_once(lon - domain.plon) * DEG_TO_RAD;
    x = rho * std::sin(theta);
    y = -s * rho * std::cos(theta);
    return true;
}

bool ortho_forward(double lat, double lon, double &x, double &y) {
    const double l = (lon - domain.plon) * DEG_TO_RAD;
    const double p = lat * DEG_TO_RAD;
    if (std::sin(p) * yfactor + std::cos(l) * std::cos(p) * xfactor < 0.0) return false;
    x = earth_rad * std::cos(p) * std::sin(l);
    y = earth_rad * (std::sin(p) * xfactor - std::cos(p) * std::cos(l) * yfactor);
    return true;
}

bool moll_forward(double lat, double lon, double &x, double &y) {
    constexpr double pi = 3.1415926535898;
    const double k = pi * std::sin(lat * DEG_TO_RAD);
    // Newton steps on theta + sin theta = pi sin lat; near the poles the root
    // is double and the steps only halve, so allow enough of them.
    double theta = lat * DEG_TO_RAD;
    for (int i = 0; i < 60; ++i) {
        const double step = (std::sin(theta) + theta - k) / (std::cos(theta) + 1.0);
        theta -= step;
        if (std::fabs(step) < 1e-10) break;
    }
    const double dlon = fold_once(lon - domain.plon);
    x = (lat > 89.99 || lat < -89.99) ? 0.0 : dlon * earth_rad / 90.0 * std::cos(theta / 2.0);
    y = earth_rad * std::sin(theta / 2.0);
    return true;
}

bool laea_forward(double lat, double lon, double &x, double &y) {
    const double l = (lon - domain.plon) * DEG_TO_RAD;
    const double p = lat * DEG_TO_RAD;
    const double p0 = domain.plat * DEG_TO_RAD;
    const double c = std::cos(l) * std::cos(p) * std::cos(p0) + std::sin(p) * std::sin(p0);
    // The antipode of the centre spreads over the whole rim; rounding keeps
    // c from reaching -1 exactly there.
    if (c + 1.0 <= 1e-10) return false;
    const double k = std::sqrt(2.0 / (c + 1.0));
    x = k * earth_rad * std::cos(p) * std::sin(l);
    y = k * earth_rad * (std::sin(p) * std::cos(p0) - std::cos(p) * std::sin(p0) * std::cos(l));
    return true;
}

// Satellite view: the earth as seen from a satellite on the equator above
// plon, sweeping first in x (east-west) and then in y. The plane is the one
// through the earth's centre facing the satellite, or the scan angles times
// the satellite distance when param[1] is 1.
bool sat_forward(double lat, double lon, double &x, double &y) {
    const bool ellipsoid = domain.ellipse != 0;
    double phi = lat * DEG_TO_RAD;
    if (ellipsoid) phi = std::atan(std::tan(phi) * earth_ratio2);
    const double c = std::cos(phi);
    const double s = std::sin(phi);
    const double l = (lon - domain.plon) * DEG_TO_RAD;
    const double r = ellipsoid ? earth_min / std::sqrt(1.0 - (1.0 - earth_ratio2) * c * c) : earth_rad;
    // Beyond the limb: the surface normal faces away from the satellite. For
    // the sphere this is c cos l < R / sat_rad.
    if (ellipsoid ? r * c * std::cos(l) * sat_rad < earth_maj * earth_maj : c * std::cos(l) < earth_ratio)
        return false;
    const double f = sat_rad - r * c * std::cos(l);
    const double d = std::sqrt(r * r * std::sin(l) * std::sin(l) * c * c + f * f);
    x = r * std::sin(l) * c / f;
    y = r * s / d;
    if (domain.param[1] == 1.0f) {
        x = std::atan(x);
        y = std::atan(y);
    }
    x *= sat_rad;
    y *= sat_rad;
    return true;
}

// --- Inverse formulas ---

bool ps_inverse(double x, double y, double &lat, double &lon) {
    const double s = scale;
    const double rho = std::hypot(x, y);
    const double a = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(x, s * y) * RAD_TO_DEG;
    lat = s * (2.0 * std::atan(rho / xfactor) * RAD_TO_DEG - 90.0);
    lon = domain.plon + a;
    return true;
}

bool ll_inverse(double x, double y, double &lat, double &lon) {
    lon = domain.plon + x;
    if (lon > 180.0)
        lon -= 360.0;
    else if (lon < -180.0)
        lon += 360.0;
    lat = y;
    return true;
}

bool merc_inverse(double x, double y, double &lat, double &lon) {
    lon = domain.plon + x / (earth_rad * DEG_TO_RAD);
    if (lon > 180.0)
        lon -= 360.0;
    else if (lon < -180.0)
        lon += 360.0;
    lat = 90.0 - 114.59155902616439 * std::atan(1.0 / std::exp(y / earth_rad));
    return true;
}

bool lambert_inverse(double x, double y, double &lat, double &lon) {
    const double s = scale;
    const double n = xfactor;
    const double rho = std::hypot(x, y);
    const double a = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(x, -s * y) * RAD_TO_DEG;
    lat = 90.0 * s - 2.0 * s * std::atan(std::pow(rho / (mult * earth_rad), 1.0 / n)) * RAD_TO_DEG;
    lon = domain.plon + a / n;
    return true;
}

bool ortho_inverse(double x, double y, double &lat, double &lon) {
    const double c = earth_rad * earth_rad - x * x - y * y;
    if (c < -kRimSlack * earth_rad * earth_rad) return false;
    const double d = std::sqrt(std::max(c, 0.0));
    lat = std::asin(clamp1((xfactor * y + yfactor * d) / earth_rad)) * RAD_TO_DEG;
    lon = domain.plon + std::atan2(x, xfactor * d - yfactor * y) * RAD_TO_DEG;
    return true;
}

bool moll_inverse(double x, double y, double &lat, double &lon) {
    constexpr double pi = 3.1415926535898;
    const double v = y / earth_rad;
    if (std::fabs(v) > 1.0 + kRimSlack) return false;
    const double h = std::asin(clamp1(v));
    const double ch = std::cos(h);
    // At a pole every longitude meets; take the central one.
    lon = std::fabs(ch) < 1e-12 ? domain.plon : domain.plon + 90.0 * x / (earth_rad * ch);
    const double w = (std::sin(2.0 * h) + 2.0 * h) / pi;
    if (std::fabs(w) > 1.0 + kRimSlack) return false;
    lat = std::asin(clamp1(w)) * RAD_TO_DEG;
    return true;
}

bool laea_inverse(double x, double y, double &lat, double &lon) {
    const double rho = std::hypot(x, y);
    const double m = rho / (2.0 * earth_rad);
    if (m > 1.0 + kRimSlack) return false;
    const double c = 2.0 * std::asin(std::min(m, 1.0));
    const double p0 = domain.plat * DEG_TO_RAD;
    lon = domain.plon;
    if (std::fabs(rho) < 1e-10) {
        lat = domain.plat;
        return true;
    }
    const double p = std::asin(clamp1(y * std::cos(p0) * std::sin(c) / rho + std::cos(c) * std::sin(p0)));
    lat = p * RAD_TO_DEG;
    if (std::fabs(std::fabs(domain.plat) - 90.0) < 1e-10) {
        if (domain.plat >= 0.0f)
            lon = domain.plon + std::atan2(x, -y) * RAD_TO_DEG;
        else
            lon = domain.plon - std::atan2(-x, y) * RAD_TO_DEG;
    } else {
        const double q = std::cos(c) - std::sin(p) * std::sin(p0);
        lon = domain.plon + std::atan2(std::cos(p0) * std::sin(c) * x, q * rho) * RAD_TO_DEG;
    }
    return true;
}

// The line of sight of the plane point meets the earth's figure (the sphere,
// or the ellipsoid when the domain's ellipse flag is set); the nearer meeting
// point is the one seen.
bool sat_inverse(double x, double y, double &lat, double &lon) {
    const bool ellipsoid = domain.ellipse != 0;
    double a, b;
    if (domain.param[1] == 1.0f) {
        a = x / sat_rad;
        b = y / sat_rad;
    } else {
        a = std::atan(x / sat_rad);
        b = std::atan(y / sat_rad);
    }
    const double ratio2 = ellipsoid ? earth_ratio2 : 1.0;
    const double outside = ellipsoid ? sat2_earth2 : sat_rad2 - earth_rad * earth_rad;
    const double g = sat_rad * std::cos(a) * std::cos(b);
    const double k = std::cos(b) * std::cos(b) + std::sin(b) * std::sin(b) / ratio2;
    const double e = g * g - outside * k;
    if (e < -kRimSlack * g * g) return false;
    const double t = (g - std::sqrt(std::max(e, 0.0))) / k;
    const double px = sat_rad - t * std::cos(a) * std::cos(b);
    const double py = t * std::sin(a) * std::cos(b);
    const double pz = t * std::sin(b);
    lat = std::atan(pz / (ratio2 * std::hypot(px, py))) * RAD_TO_DEG;
    lon = domain.plon + std::atan2(py, px) * RAD_TO_DEG;
    return true;
}

// Plane point of (lat, lon) on map projections 1 to 9; false when it cannot
// be shown.
bool map_forward(double lat, double lon, double &x, double &y) {
    if (!std::isfinite(lat) || !std::isfinite(lon)) return false;
    lon = fold180(lon);
    ensure_cache();
    switch (domain.proj) {
    case 1:
        return ps_forward(lat, lon, x, y);
    case 2:
        return ll_forward(lat, lon, x, y);
    case 3:
        return merc_forward(lat, lon, x, y);
    case 4:
        return lambert_forward(lat, lon, x, y);
    case 5:
        return ortho_forward(lat, lon, x, y);
    case 7:
        return moll_forward(lat, lon, x, y);
    case 8:
        return laea_forward(lat, lon, x, y);
    case 9:
        return sat_forward(lat, lon, x, y);
    default:
        return false;
    }
}

// Latitude and longitude of a plane point of map projections 1 to 9; false
// when the point lies off the projected earth.
bool map_inverse(double x, double y, double &lat, double &lon) {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    ensure_cache();
    switch (domain.proj) {
    case 1:
        return ps_inverse(x, y, lat, lon);
    case 2:
        return ll_inverse(x, y, lat, lon);
    case 3:
        return merc_inverse(x, y, lat, lon);
    case 4:
        return lambert_inverse(x, y, lat, lon);
    case 5:
        return ortho_inverse(x, y, lat, lon);
    case 7:
        return moll_inverse(x, y, lat, lon);
    case 8:
        return laea_inverse(x, y, lat, lon);
    case 9:
        return sat_inverse(x, y, lat, lon);
    default:
        return false;
    }
}

// --- Diagram axes (20, 22-25, 40-44, 99) ---
//
// For a diagram the two values of a point take the place of latitude and
// longitude: for the thermodynamic diagrams temperature in C and pressure in
// mb. xfactor and yfactor hold the axis scales, scale the origin of the skew.

// Pressure from potential temperature: the inverse of pot_temp's exponent.
constexpr double kInvKappa = 1.0 / 0.286;
// The Stuve axis: pressure to the power R/cp.
constexpr double kStuveExp = 0.285714;

bool finite_page(const MAP_limits &v) {
    return std::isfinite(v.x_min) && std::isfinite(v.x_max) && std::isfinite(v.y_min) &&
           std::isfinite(v.y_max) && v.x_min != FMISSING && v.x_max != FMISSING && v.y_min != FMISSING &&
           v.y_max != FMISSING && v.x_max != v.x_min && v.y_max != v.y_min;
}

// The page rectangle of a diagram: the view, or a unit square while no
// usable view has been set, so that the slanted axes keep 45 degrees on a
// square page.
MAP_limits page_view() {
    if (finite_page(view)) return view;
    return MAP_limits{0.0f, 1.0f, 0.0f, 1.0f};
}

// Plane extents of the current limits; false when the domain covers no
// rectangle.
bool plane_extent(double &w, double &h) {
    if (limits.x_min == FMISSING || limits.y_min == FMISSING) return false;
    w = double(limits.x_max) - limits.x_min;
    h = double(limits.y_max) - limits.y_min;
    return w != 0.0 && h != 0.0 && std::isfinite(w) && std::isfinite(h);
}

// Axis scales of the linear diagrams: the data ranges dx, dy spread over nx
// by ny plane units.
bool linear_scales() {
    if (is_missing(xfactor)) {
        if (domain.dx == 0.0f || domain.dy == 0.0f) return false;
        xfactor = double(domain.nx) / domain.dx;
        yfactor = double(domain.ny) / domain.dy;
    }
    return std::isfinite(xfactor) && std::isfinite(yfactor);
}

// The skew of the skew-T: an isotherm rises at 45 degrees on the page, moving
// right by the page's full height over the diagram's full height.
bool skewt_factor() {
    if (xfactor != double(FMISSING)) return true;
    double w, h;
    if (!plane_extent(w, h)) return false;
    const MAP_limits v = page_view();
    scale = limits.y_min;
    xfactor = w * ((double(v.y_max) - v.y_min) / (double(v.x_max) - v.x_min)) / h;
    return true;
}

// Page units per plane unit of the tephigram.
bool tephigram_scales() {
    if (xfactor != double(FMISSING)) return true;
    double w, h;
    if (!plane_extent(w, h)) return false;
    const MAP_limits v = page_view();
    xfactor = (double(v.x_max) - v.x_min) / w;
    yfactor = (double(v.y_max) - v.y_min) / h;
    return true;
}

// ln of the potential temperature of (t C, p mb); false when there is none.
bool log_theta(double t, double p, double &y) {
    const float theta = pot_temp(is_missing(t) ? FMISSING : float(t + 273.15), float(p));
    if (theta == FMISSING || !(theta > 0.0f)) return false;
    y = std::log(double(theta));
    return true;
}

// Pressure (mb) at which air of t C has the potential temperature theta.
bool pres_of_theta(double t, double theta, double &p) {
    const double tk = t + 273.15;
    if (!(tk > 0.0) || !(theta > 0.0)) return false;
    p = 1000.0 * std::pow(tk / theta, kInvKappa);
    return true;
}

// Forward transform of the diagrams; 1 with the plane point, 0 with -9999
// outputs when the point has no place on the axes (a logarithm or power of a
// pressure that has none, a temperature below absolute zero, a domain that
// covers no rectangle), and 0 for the tephigram's limit pass.
int diagram_tran(float lat, float lon, float *x, float *y) {
    const double a = lat;
    const double b = lon;
    double px = 0.0, py = 0.0;
    int result = 1;
    bool placed = true;
    switch (domain.proj) {
    case 99:
        px = a;
        py = -b;
        break;
    case 20:
    case 24:
    case 25:
        placed = linear_scales();
        px = limits.x_min + (a - limits.x_min) * xfactor;
        py = domain.proj == 25 ? limits.y_min + (limits.y_min - b) * yfactor
                               : limits.y_min + (b - limits.y_min) * yfactor;
        break;
    case 22:
    case 42:
        placed = b > 0.0;
        px = a;
        py = placed ? -std::log(b) : 0.0;
        break;
    case 23: {
        const double r = a * DEG_TO_RAD;
        px = b * std::sin(r);
        py = b * std::cos(r);
        break;
    }
    case 40:
        placed = b > 0.0 && skewt_factor();
        if (placed) {
            py = -std::log(b);
            px = a + xfactor * (py - scale);
        }
        break;
    case 41:
        placed = b >= 0.0;
        px = a;
        py = placed ? -std::pow(b, kStuveExp) : 0.0;
        break;
    case 43: {
        if (xfactor == 0.0) {
            // The limit pass: the unrotated axes of temperature and ln p.
            placed = b > 0.0;
            px = a;
            py = placed ? std::log(b) : 0.0;
            result = 0;
            break;
        }
        double lt;
        placed = tephigram_scales() && log_theta(a, b, lt);
        if (!placed) break;
        const MAP_limits v = page_view();
        const double u = xfactor * (a - limits.x_min) + v.x_min;
        const double w = yfactor * (lt - limits.y_min) + v.y_min;
        // Turn the page point clockwise by 45 degrees about the view
        // origin, shrinking it by 1/sqrt(2).
        const double u2 = 0.5 * (w - v.y_min) + 0.5 * (v.x_min + u);
        const double w2 = w - (u2 - v.x_min);
        px = limits.x_min + (u2 - v.x_min) / xfactor;
        py = limits.y_min + (w2 - v.y_min) / yfactor;
        break;
    }
    case 44: {
        double lt = 0.0;
        placed = log_theta(a, b, lt);
        px = a;
        py = lt;
        break;
    }
    default:
        placed = false;
        break;
    }
    if (!placed || !std::isfinite(px) || !std::isfinite(py)) {
        set_missing(x, y);
        return 0;
    }
    *x = float(px);
    *y = float(py);
    return result;
}

// Inverse transform of the diagrams; 1 with the two values, 0 with -9999
// outputs when the plane point has none.
int diagram_untran(float x, float y, float *lat, float *lon) {
    const double px = x;
    const double py = y;
    double a = 0.0, b = 0.0;
    bool placed = true;
    switch (domain.proj) {
    case 99:
        a = px;
        b = -py;
        break;
    case 20:
    case 24:
    case 25:
        placed = linear_scales() && xfactor != 0.0 && yfactor != 0.0;
        if (!placed) break;
        a = limits.x_min + (px - limits.x_min) / xfactor;
        b = domain.proj == 25 ? limits.y_min + (limits.y_min - py) / yfactor
                              : limits.y_min + (py - limits.y_min) / yfactor;
        break;
    case 22:
    case 42:
        a = px;
        b = std::exp(-py);
        break;
    case 23:
        a = (px == 0.0 && py == 0.0) ? 0.0 : std::atan2(px, py) * RAD_TO_DEG;
        if (a < 0.0) a += 360.0;
        // A tiny negative angle rounds up to 360 in single precision.
        if (float(a) >= 360.0f) a = 0.0;
        b = std::hypot(px, py);
        break;
    case 40:
        placed = skewt_factor();
        a = px - xfactor * (py - scale);
        b = std::exp(-py);
        break;
    case 41:
        placed = py <= 0.0;
        a = px;
        b = placed ? std::pow(-py, 1.0 / kStuveExp) : 0.0;
        break;
    case 43: {
        placed = tephigram_scales() && xfactor != 0.0;
        if (!placed) break;
        const MAP_limits v = page_view();
        const double u = xfactor * (px - limits.x_min) + v.x_min;
        const double w = (u - v.x_min) + yfactor * (py - limits.y_min) + v.y_min;
        a = limits.x_min + (2.0 * u - (w - v.y_min) - 2.0 * v.x_min) / xfactor;
        placed = pres_of_theta(a, std::exp(limits.y_min + (w - v.y_min) / yfactor), b);
        break;
    }
    case 44:
        a = px;
        placed = pres_of_theta(a, std::exp(py), b);
        break;
    default:
        placed = false;
        break;
    }
    if (!placed || !std::isfinite(a) || !std::isfinite(b)) {
        set_missing(lat, lon);
        return 0;
    }
    *lat = float(a);
    *lon = float(b);
    return 1;
}

} // namespace

// --- Current projection, limits and grid coordinates ---

int MAP_domain(const Domain *dom) {
    if (dom == nullptr) {
        domain.proj = MISSING;
        return -1;
    }
    domain = *dom;
    if (domain.plat == FMISSING) domain.plat = domain.clat;
    if (domain.plon == FMISSING) domain.plon = domain.clon;
    switch (domain.proj) {
    case 1:
        tlat1 = domain.plat < 0.0f ? -60.0f : 60.0f;
        if (domain.param[0] != FMISSING) tlat1 = domain.param[0];
        break;
    case 4:
        set_lambert_tlats();
        break;
    case 9:
        sat_rad = domain.param[0] != FMISSING ? domain.param[0] : kSatRadDefault;
        sat_rad2 = sat_rad * sat_rad;
        sat2_earth2 = sat_rad2 - earth_maj * earth_maj;
        break;
    default:
        break;
    }
    clear_cache();
    earth_ratio2 = (earth_min * earth_min) / (earth_maj * earth_maj);
    MAP_set_limits();
    return 0;
}

Domain *MAP_get_domain(Domain *dom) {
    if (dom == nullptr) return &domain;
    *dom = domain;
    return dom;
}

int MAP_print_domain() {
    DOM_print(M_PRINT, &domain);
    return 0;
}

int MAP_proj_str(const char *proj) {
    return DOM_proj_str(proj);
}

int MAP_proj(int proj) {
    domain.proj = proj;
    clear_cache();
    return 0;
}

int MAP_get_proj() {
    return domain.proj;
}

float MAP_get_clat() {
    return domain.clat;
}

float MAP_get_clon() {
    return domain.clon;
}

int MAP_proj_coord(const float *value) {
    if (value == nullptr) return -1;
    if (domain.proj == 4) {
        domain.param[0] = value[0];
        domain.param[1] = value[1];
        set_lambert_tlats();
    }
    return 0;
}

int MAP_coord(float rlat, float rlon) {
    domain.plat = rlat;
    domain.plon = rlon;
    clear_cache();
    return 0;
}

int MAP_tran_center(float *x, float *y) {
    return MAP_tran(domain.clat, domain.clon, x, y);
}

int MAP_set_limits() {
    const Domain &d = domain;
    float x0 = FMISSING, y0 = FMISSING, x1 = FMISSING, y1 = FMISSING;
    float unused;
    switch (d.proj) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9: {
        // The grid points lie on the rectangle's edges, its centre at the
        // projected domain centre.
        float xc, yc;
        if (MAP_tran_center(&xc, &yc) != 1) break;
        const double hx = double(d.dx) * (d.nx - 1) / 2.0;
        const double hy = double(d.dy) * (d.ny - 1) / 2.0;
        x0 = float(xc - hx);
        x1 = float(xc + hx);
        y0 = float(yc - hy);
        y1 = float(yc + hy);
        break;
    }
    case 40:
    case 43:
    case 44:
        // The thermodynamic diagrams take their limits from the unskewed,
        // unrotated axes.
        xfactor = 0.0;
        yfactor = 0.0;
        MAP_tran(d.clat, d.clon, &x0, &y0);
        MAP_tran(d.clat + d.dx, d.clon, &x1, &unused);
        MAP_tran(d.clat, d.clon + d.dy, &unused, &y1);
        xfactor = double(FMISSING);
        break;
    case 23:
        x0 = d.clat;
        y0 = d.clon;
        x1 = d.clat + d.dx;
        y1 = d.clon + d.dy;
        break;
    case 20:
    case 24:
    case 25:
        x0 = d.clat;
        x1 = d.clat + float(d.nx);
        xfactor = double(d.nx) / d.dx;
        y0 = d.proj == 25 ? -d.clon : d.clon;
        y1 = y0 + float(d.ny);
        yfactor = double(d.ny) / d.dy;
        break;
    default:
        MAP_tran(d.clat, d.clon, &x0, &y0);
        MAP_tran(d.clat + d.dx, d.clon + d.dy, &x1, &y1);
        break;
    }
    // A domain whose corners cannot be placed (no formulas, a centre that
    // cannot be shown) covers no rectangle.
    if (x0 == FMISSING || y0 == FMISSING || x1 == FMISSING || y1 == FMISSING) {
        limits = {FMISSING, FMISSING, FMISSING, FMISSING};
        return 0;
    }
    limits.x_min = std::min(x0, x1);
    limits.x_max = std::max(x0, x1);
    limits.y_min = std::min(y0, y1);
    limits.y_max = std::max(y0, y1);
    return 0;
}

int MAP_get_limits(MAP_limits *lim) {
    if (lim == nullptr) return -1;
    *lim = limits;
    return 0;
}

int MAP_set_view(const MAP_limits *vp) {
    if (vp == nullptr) return -1;
    view = *vp;
    return 0;
}

int MAP_get_up_left(float *x, float *y) {
    if (x != nullptr) *x = limits.x_min;
    if (y != nullptr) *y = limits.y_max;
    return 0;
}

int MAP_in_domain(float x, float y) {
    if (domain.proj == MISSING) return 1;
    return (x >= limits.x_min && x <= limits.x_max && y >= limits.y_min && y <= limits.y_max) ? 1 : 0;
}

int MAP_in_grid_domain(float x, float y) {
    if (domain.proj == MISSING) return 1;
    const double wx = 3.0 * domain.dx;
    const double wy = 3.0 * domain.dy;
    return (x >= limits.x_min - wx && x <= limits.x_max + wx && y >= limits.y_min - wy &&
            y <= limits.y_max + wy)
               ? 1
               : 0;
}

int MAP_grid_tran(float gx, float gy, float *x, float *y) {
    if (x == nullptr || y == nullptr) return -1;
    if (gx == FMISSING) {
        set_missing(x, y);
        return -1;
    }
    *x = float(limits.x_min + double(domain.dx) * gx);
    *y = float(limits.y_max - double(domain.dy) * gy);
    return 0;
}

int MAP_grid_untran(float x, float y, float *gx, float *gy) {
    if (gx == nullptr || gy == nullptr) return -1;
    if (x == FMISSING) {
        set_missing(gx, gy);
        return -1;
    }
    *gx = float((double(x) - limits.x_min) / domain.dx);
    *gy = float((double(limits.y_max) - y) / domain.dy);
    return 0;
}

int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1, float y1, float *x2, float *y2) {
    if (x2 == nullptr || y2 == nullptr) return -1;
    if (domain1 == nullptr || domain2 == nullptr) {
        set_missing(x2, y2);
        return -1;
    }
    if (DOM_comp(domain1, domain2)) {
        *x2 = x1;
        *y2 = y1;
        return 0;
    }
    bool placed = false;
    {
        MapScope scope(domain1);
        // With no projection the plane point is the latitude and longitude.
        float lat = x1, lon = y1;
        placed = MAP_untran(x1, y1, &lat, &lon) == 1;
        MAP_domain(domain2);
        placed = placed && MAP_tran(lat, lon, x2, y2) == 1;
    }
    if (!placed) {
        set_missing(x2, y2);
        return -1;
    }
    return 0;
}

// --- Projection formulas ---

int MAP_tran(float lat, float lon, float *x, float *y) {
    if (x == nullptr || y == nullptr) return 0;
    const int proj = domain.proj;
    if (proj == MISSING) {
        *x = lat;
        *y = lon;
        return 1;
    }
    if (is_map_projection(proj)) {
        double px, py;
        if (map_forward(lat, lon, px, py)) {
            *x = float(px);
            *y = float(py);
            return 1;
        }
    } else if (is_diagram(proj)) {
        return diagram_tran(lat, lon, x, y);
    }
    // Hidden, or a projection without formulas (gnomonic, zoom, size, unknown).
    set_missing(x, y);
    return 0;
}

int MAP_untran(float x, float y, float *lat, float *lon) {
    if (lat == nullptr || lon == nullptr) return 0;
    const int proj = domain.proj;
    if (proj == MISSING) return 1;
    if (is_map_projection(proj)) {
        double plat, plon;
        if (map_inverse(x, y, plat, plon)) {
            *lat = float(plat);
            *lon = float(plon);
            return 1;
        }
    } else if (is_diagram(proj)) {
        return diagram_untran(x, y, lat, lon);
    }
    set_missing(lat, lon);
    return 0;
}

int MAP_tran_ep(EarthPoint ept, Point *pt) {
    if (pt == nullptr) return 0;
    return MAP_tran(ept.lat, ept.lon, &pt->x, &pt->y);
}

int MAP_tran_pe(Point pt, EarthPoint *ept) {
    if (ept == nullptr) return 0;
    return MAP_untran(pt.x, pt.y, &ept->lat, &ept->lon);
}

// --- Bearings and map factor ---

float MAP_dir_adj(float dir, float x, float y) {
    const bool north = domain.plat >= 0.0f;
    switch (domain.proj) {
    case 1:
        if (x == 0.0f && y == 0.0f) return north ? dir - domain.plon : dir + domain.plon;
        return float(north ? dir - std::atan2(x, -y) * RAD_TO_DEG : dir + std::atan2(x, y) * RAD_TO_DEG);
    case 4: {
        // The meridians converge on the apex: north turns by the cone angle,
        // clockwise of +y east of plon on a northern map, and the mirror
        // way on a southern one.
        ensure_cache();
        const double s = scale;
        return float(dir - s * std::atan2(x, -s * y) * RAD_TO_DEG);
    }
    case 9: {
        // A step of 1 km along the bearing, seen in the plane.
        double lat, lon;
        if (!map_inverse(x, y, lat, lon)) return FMISSING;
        const double d = dir * DEG_TO_RAD;
        lon += std::sin(d) / (kKmPerDegree * std::cos(lat * DEG_TO_RAD));
        lat += std::cos(d) / kKmPerDegree;
        double x2, y2;
        if (!map_forward(lat, lon, x2, y2)) return FMISSING;
        return float(std::atan2(x2 - x, y2 - y) * RAD_TO_DEG);
    }
    default:
        return dir;
    }
}

float MAP_undir_adj(float dir, float x, float y) {
    const bool north = domain.plat >= 0.0f;
    switch (domain.proj) {
    case 1:
        if (x == 0.0f && y == 0.0f) return north ? dir + domain.plon : dir - domain.plon;
        return float(north ? dir + std::atan2(x, -y) * RAD_TO_DEG : dir - std::atan2(x, y) * RAD_TO_DEG);
    case 4: {
        ensure_cache();
        const double s = scale;
        return float(dir + s * std::atan2(x, -s * y) * RAD_TO_DEG);
    }
    default:
        return dir;
    }
}

float MAP_uvdir_adj(float, float, float x, float y) {
    if (domain.proj != 1) return 0.0f;
    return MAP_dir_adj(0.0f, x, y);
}

float MAP_dir(float x1, float y1, float x2, float y2) {
    const double c = std::atan2(double(x2) - x1, double(y2) - y1) * RAD_TO_DEG;
    if (domain.proj != 1) return float(c);
    if (domain.plat >= 0.0f) return float(c + std::atan2(x1, -y1) * RAD_TO_DEG);
    return float(c - std::atan2(x1, y1) * RAD_TO_DEG);
}

int MAP_offset(float xi, float yi, float dir, float rad, float *xf, float *yf) {
    if (xf == nullptr || yf == nullptr) return 0;
    // With no projection the plane point is the latitude and longitude.
    float lat = xi, lon = yi;
    if (MAP_untran(xi, yi, &lat, &lon) != 1) {
        set_missing(xf, yf);
        return 0;
    }
    const double d = dir * DEG_TO_RAD;
    const double lon2 = lon + rad * std::sin(d) / (kKmPerDegree * std::cos(lat * DEG_TO_RAD));
    const double lat2 = lat + rad * std::cos(d) / kKmPerDegree;
    return MAP_tran(float(lat2), float(lon2), xf, yf);
}

float MAP_factor(float lat, float) {
    switch (domain.proj) {
    case 1: {
        // (1 + sin tlat1) / (1 + sin lat) in the north, mirrored in the south,
        // with the latitude limited as the forward transform limits it.
        const double s = domain.plat >= 0.0f ? -1.0 : 1.0;
        double la = lat;
        if (s * la > 75.0) la = 75.0 * s;
        return float((1.0 - s * std::sin(tlat1 * DEG_TO_RAD)) / (1.0 - s * std::sin(la * DEG_TO_RAD)));
    }
    case 4:
        // A Lambert grid without a scale factor is taken at scale.
        return domain.param[2] == FMISSING ? 1.0f : domain.param[2];
    default:
        return 1.0f;
    }
}

// --- Declutter grid ---

namespace {

int grid_limit = 0;    // the declutter factor
std::vector<int> grid; // one counter per cell; empty when there is no table
long long plot_grid_len = 0;
// The grid that the table was made for.
int grid_nx = 0;
int grid_ny = 0;

} // namespace

int MAP_set_plot_limit(int val) {
    grid_limit = val;
    return 0;
}

int MAP_plot_grid_init() {
    std::vector<int>().swap(grid);
    plot_grid_len = 0;
    grid_nx = domain.nx;
    grid_ny = domain.ny;
    if (grid_nx <= 0 || grid_ny <= 0) return 0;
    long long len = static_cast<long long>(grid_nx) * grid_ny;
    if (grid_limit > 1) {
        const long long n = grid_limit;
        // Cell indexes are ints.
        if (n * n > std::numeric_limits<int>::max() / len) return 0;
        len *= n * n;
    }
    if (len > std::numeric_limits<int>::max()) return 0;
    try {
        grid.assign(static_cast<std::size_t>(len), 0);
    } catch (const std::bad_alloc &) {
        std::vector<int>().swap(grid);
        return 0;
    }
    plot_grid_len = len;
    return 0;
}

int MAP_plot_grid(float x, float y) {
    if (grid_limit == 0 || grid.empty()) return 1;
    float fx, fy;
    if (MAP_grid_untran(x, y, &fx, &fy) != 0) return 0;
    double gx = fx, gy = fy;
    if (!std::isfinite(gx) || !std::isfinite(gy)) return 0;
    // The table's own grid, which is the current one unless the domain was
    // changed without a new table.
    if (gx < 0.0 || gx > grid_nx - 1 || gy < 0.0 || gy > grid_ny - 1) return 0;
    long long cell;
    if (grid_limit > 0) {
        gx *= grid_limit;
        gy *= grid_limit;
        cell = static_cast<long long>(gx) + static_cast<long long>(gy) * grid_nx * grid_limit;
    } else if (grid_limit == -1) {
        return 1;
    } else {
        gx /= -grid_limit;
        gy /= -grid_limit;
        cell = static_cast<long long>(gx) + static_cast<long long>(gy) * grid_nx;
    }
    // A factor raised after the table was made points past its end: such an
    // item has no cell.
    if (cell < 0 || cell >= plot_grid_len) return 0;
    if (grid[static_cast<std::size_t>(cell)] > 0) return 0;
    ++grid[static_cast<std::size_t>(cell)];
    return 1;
}
