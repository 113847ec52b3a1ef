#include "fields/maptran.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/grids.h"

namespace {

constexpr double R = 63.7122; // earth radius, plane units
constexpr double kDeg = 0.017453292519943334;
constexpr double kKm = 111.195; // km per degree of latitude

using zeqtest::make_domain;

Domain with(Domain d, float plat, float plon) {
    d.plat = plat;
    d.plon = plon;
    return d;
}

Domain with_params(Domain d, float p0, float p1 = FMISSING, float p2 = FMISSING) {
    d.param[0] = p0;
    d.param[1] = p1;
    d.param[2] = p2;
    return d;
}

Domain ellipsoid(Domain d) {
    d.ellipse = 1;
    return d;
}

struct XY {
    int r;
    float x, y;
};

XY tran(float lat, float lon) {
    XY p{0, 0.0f, 0.0f};
    p.r = MAP_tran(lat, lon, &p.x, &p.y);
    return p;
}

XY untran(float x, float y) {
    XY p{0, 0.0f, 0.0f};
    p.r = MAP_untran(x, y, &p.x, &p.y);
    return p;
}

// Longitude difference folded into (-180, 180].
double dlon(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

// Spacing of floats at a value: results are stored as floats, so no
// comparison can be finer than this.
double ulp(double v) {
    const float f = static_cast<float>(std::fabs(v));
    return std::nextafter(f, INFINITY) - f;
}

// ---------------------------------------------------------------------------
// PROJ as the reference. Our plane is in units of 100 km (degrees for
// latitude-longitude); our Mollweide uses the radius whose ellipse has the
// semi-axes 2R and R (PROJ's sphere of radius R / sqrt 2); our satellite plane
// is either the plane through the earth's centre facing the satellite, or the
// scan angles times the satellite's distance from the centre, where PROJ's
// geos gives the scan angles times the height above the surface (sweeping first in y).
// ---------------------------------------------------------------------------

struct ProjRef {
    std::string geo;   // geographic system on the same figure
    std::string proj;  // the projection
    double unit = 1e5; // PROJ metres per plane unit
    bool sat = false;
    bool scan = false;     // our satellite plane holds scan angles
    double sat_rad = 0.0;  // satellite distance from the centre, plane units
    double height = 0.0;   // satellite height above the surface, metres
    double lat_far = 90.0; // latitudes beyond this (in the far hemisphere) are clamped by us
};

std::string fmt(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

ProjRef proj_ref(const Domain &d) {
    ProjRef ref;
    const double plat = d.plat != FMISSING ? d.plat : d.clat;
    const double plon = d.plon != FMISSING ? d.plon : d.clon;
    const bool north = plat >= 0.0;
    std::string figure = "+R=6371220";
    const std::string lon0 = " +lon_0=" + fmt(plon);
    switch (d.proj) {
    case 1: {
        const double ts = d.param[0] != FMISSING ? d.param[0] : (north ? 60.0 : -60.0);
        ref.proj = "+proj=stere +lat_0=" + std::string(north ? "90" : "-90") + " +lat_ts=" + fmt(ts) + lon0;
        ref.lat_far = 75.0;
        break;
    }
    case 2:
        figure = "+R=" + fmt(180.0 / M_PI); // one metre per degree
        ref.unit = 1.0;
        ref.proj = "+proj=eqc" + lon0;
        break;
    case 3:
        ref.proj = "+proj=merc" + lon0;
        ref.lat_far = 89.9;
        break;
    case 4: {
        // The cone's apex is the plane origin; a southern cone opens north.
        double t1 = 30.0, t2 = 60.0;
        if (d.param[0] != FMISSING) {
            t1 = std::fabs(d.param[0]);
            t2 = d.param[1] != FMISSING ? std::fabs(d.param[1]) : t1;
        }
        const double s = north ? 1.0 : -1.0;
        ref.proj =
            "+proj=lcc +lat_0=" + fmt(90.0 * s) + " +lat_1=" + fmt(s * t1) + " +lat_2=" + fmt(s * t2) + lon0;
        ref.lat_far = 89.0;
        break;
    }
    case 5:
        ref.proj = "+proj=ortho +lat_0=" + fmt(plat) + lon0;
        break;
    case 7:
        figure = "+R=" + fmt(6371220.0 / std::sqrt(2.0));
        ref.proj = "+proj=moll" + lon0;
        break;
    case 8:
        ref.proj = "+proj=laea +lat_0=" + fmt(plat) + lon0;
        break;
    case 9: {
        ref.sat = true;
        ref.scan = d.param[1] == 1.0f;
        ref.sat_rad = d.param[0] != FMISSING ? d.param[0] : 421.61;
        const double a = d.ellipse ? 6378137.0 : 6371220.0;
        if (d.ellipse) figure = "+a=6378137 +b=6356752";
        ref.height = ref.sat_rad * 1e5 - a;
        ref.proj = "+proj=geos +sweep=y +h=" + fmt(ref.height) + lon0;
        break;
    }
    default:
        break;
    }
    ref.geo = "+proj=longlat " + figure;
    ref.proj += " " + figure;
    return ref;
}

std::pair<double, double> to_plane(const ProjRef &ref, double xm, double ym) {
    if (!ref.sat) return {xm / ref.unit, ym / ref.unit};
    const double a = xm / ref.height, b = ym / ref.height;
    if (ref.scan) return {ref.sat_rad * a, ref.sat_rad * b};
    return {ref.sat_rad * std::tan(a), ref.sat_rad * std::tan(b)};
}

std::pair<double, double> to_proj(const ProjRef &ref, double x, double y) {
    if (!ref.sat) return {x * ref.unit, y * ref.unit};
    if (ref.scan) return {x / ref.sat_rad * ref.height, y / ref.sat_rad * ref.height};
    return {std::atan(x / ref.sat_rad) * ref.height, std::atan(y / ref.sat_rad) * ref.height};
}

using Pts = std::vector<std::pair<double, double>>;
using Results = std::vector<std::optional<std::pair<double, double>>>;

// Runs cs2cs from one system to another over the points (x y, or lon lat).
Results cs2cs(const std::string &from, const std::string &to, const Pts &pts) {
    if (std::system("command -v cs2cs >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "cs2cs not found: install the Debian package proj-bin";
        return {};
    }
    char name[] = "/tmp/maptran_projXXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        ADD_FAILURE() << "cannot make a temporary file";
        return {};
    }
    std::string text;
    for (const auto &[a, b] : pts)
        text += fmt(a) + " " + fmt(b) + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    Results out;
    if (written) {
        const std::string cmd = "cs2cs -f %.12f " + from + " +to " + to + " " + name;
        if (FILE *p = popen(cmd.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, p)) {
                std::istringstream in(line);
                std::string sa, sb;
                in >> sa >> sb;
                if (sa == "*" || sb == "*")
                    out.emplace_back(std::nullopt);
                else
                    out.emplace_back(std::make_pair(std::stod(sa), std::stod(sb)));
            }
            pclose(p);
        }
    }
    unlink(name);
    EXPECT_EQ(out.size(), pts.size()) << "cs2cs gave a short answer";
    return out;
}

struct ProjCase {
    const char *name;
    Domain dom;
};

void PrintTo(const ProjCase &c, std::ostream *os) {
    *os << c.name;
}

class ProjCompare : public testing::TestWithParam<ProjCase> {
protected:
    void SetUp() override {
        dom = GetParam().dom;
        ASSERT_EQ(MAP_domain(&dom), 0);
        ref = proj_ref(dom);
        const double plon = dom.plon != FMISSING ? dom.plon : dom.clon;
        const double plat = dom.plat != FMISSING ? dom.plat : dom.clat;
        const bool north = plat >= 0.0;
        for (int la = -85; la <= 85; la += 5) {
            const float lat = static_cast<float>(la) + 0.25f;
            // Skip what we place elsewhere on purpose: the far-hemisphere clamps.
            if (north ? lat < -ref.lat_far : lat > ref.lat_far) continue;
            for (int k = -7; k <= 7; ++k) {
                const float lon = static_cast<float>(plon + 24.5 * k);
                earth.emplace_back(lat, lon);
            }
        }
    }

    Domain dom{};
    ProjRef ref;
    std::vector<std::pair<float, float>> earth; // lat, lon
};

// Forward transforms agree with PROJ, hidden points included. A point counts
// as shown by PROJ when its own inverse leads back to it (its spherical
// satellite view places the far side too).
TEST_P(ProjCompare, ForwardMatchesProj) {
    Pts in;
    for (const auto &[lat, lon] : earth)
        in.emplace_back(lon, lat);
    const Results want = cs2cs(ref.geo, ref.proj, in);
    ASSERT_EQ(want.size(), earth.size());
    Pts back_in;
    for (const auto &w : want)
        back_in.push_back(w ? *w : std::make_pair(0.0, 0.0));
    const Results back = cs2cs(ref.proj, ref.geo, back_in);
    ASSERT_EQ(back.size(), earth.size());
    int shown = 0;
    for (size_t i = 0; i < earth.size(); ++i) {
        const auto [lat, lon] = earth[i];
        const XY got = tran(lat, lon);
        const bool proj_shows = want[i] && back[i] && std::fabs(back[i]->second - lat) < 1e-6 &&
                                std::fabs(dlon(back[i]->first, lon)) < 1e-6;
        if (!proj_shows) {
            EXPECT_EQ(got.r, 0) << "PROJ hides " << lat << "," << lon;
            EXPECT_EQ(got.x, FMISSING);
            EXPECT_EQ(got.y, FMISSING);
            continue;
        }
        ++shown;
        const auto [x, y] = to_plane(ref, want[i]->first, want[i]->second);
        EXPECT_EQ(got.r, 1) << "hidden " << lat << "," << lon;
        EXPECT_NEAR(got.x, x, 1e-6 + ulp(x)) << lat << "," << lon;
        EXPECT_NEAR(got.y, y, 1e-6 + ulp(y)) << lat << "," << lon;
    }
    EXPECT_GT(shown, 100);
}

// Inverse transforms agree with PROJ over the projected points and over a
// plane grid that reaches off the earth.
TEST_P(ProjCompare, InverseMatchesProj) {
    std::vector<std::pair<float, float>> plane;
    for (const auto &[lat, lon] : earth) {
        const XY p = tran(lat, lon);
        if (p.r == 1) plane.emplace_back(p.x, p.y);
    }
    if (dom.proj == 5 || dom.proj == 8 || dom.proj == 9) {
        const double reach = dom.proj == 9 ? 70.0 : dom.proj == 8 ? 2.2 * R : 1.2 * R;
        for (int i = -10; i <= 10; ++i)
            for (int j = -10; j <= 10; ++j)
                plane.emplace_back(static_cast<float>(reach * i / 10.3),
                                   static_cast<float>(reach * j / 10.3));
    }
    Pts in;
    for (const auto &[x, y] : plane)
        in.push_back(to_proj(ref, x, y));
    const Results want = cs2cs(ref.proj, ref.geo, in);
    ASSERT_EQ(want.size(), plane.size());
    for (size_t i = 0; i < plane.size(); ++i) {
        const auto [x, y] = plane[i];
        const XY got = untran(x, y);
        if (!want[i]) {
            EXPECT_EQ(got.r, 0) << "PROJ finds no point at " << x << "," << y;
            EXPECT_EQ(got.x, FMISSING);
            continue;
        }
        const auto [lon, lat] = *want[i];
        ASSERT_EQ(got.r, 1) << "off the earth " << x << "," << y;
        EXPECT_NEAR(got.x, lat, 1e-6 + ulp(lat)) << x << "," << y;
        if (std::fabs(lat) < 89.9) {
            EXPECT_NEAR(dlon(got.y, lon), 0.0, 1e-6 + ulp(got.y)) << x << "," << y;
        }
    }
}

// MAP_untran(MAP_tran(p)) gives p back wherever the point is shown, to 1e-6
// degrees beyond what the float rounding of the plane point and of the result
// allows: near a limb one float step of the plane point moves the latitude
// far more than 1e-6 degrees, and the slack measures that step.
TEST_P(ProjCompare, RoundTrip) {
    int checked = 0;
    for (const auto &[lat, lon] : earth) {
        const XY p = tran(lat, lon);
        if (p.r != 1) continue;
        const XY q = untran(p.x, p.y);
        ASSERT_EQ(q.r, 1) << lat << "," << lon;
        const double c = std::cos(lat * kDeg);
        double slack_lat = 0.0, slack_lon = 0.0;
        const float nx[] = {std::nextafter(p.x, INFINITY), std::nextafter(p.x, -INFINITY), p.x, p.x};
        const float ny[] = {p.y, p.y, std::nextafter(p.y, INFINITY), std::nextafter(p.y, -INFINITY)};
        for (int k = 0; k < 4; ++k) {
            const XY n = untran(nx[k], ny[k]);
            if (n.r != 1) continue;
            slack_lat = std::max(slack_lat, double(std::fabs(n.x - q.x)));
            slack_lon = std::max(slack_lon, std::fabs(dlon(n.y, q.y)) * c);
        }
        EXPECT_NEAR(q.x, lat, 1e-6 + ulp(lat) + slack_lat) << lat << "," << lon;
        EXPECT_NEAR(dlon(q.y, lon) * c, 0.0, 1e-6 + ulp(q.y) * c + slack_lon) << lat << "," << lon;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

const ProjCase kProjCases[] = {
    {"PolarNorth", make_domain(1, 45, -100)},
    {"PolarSouth", make_domain(1, -60, 140)},
    {"PolarTrue45", with_params(make_domain(1, 50, 10), 45)},
    {"PolarSouthTrueNeg45", with_params(make_domain(1, -70, 0), -45)},
    {"LatLonPlon170", make_domain(2, 0, 170)},
    {"Mercator", make_domain(3, 20, -100)},
    {"LambertNorth", make_domain(4, 40, -95)},
    {"LambertTangent", with_params(make_domain(4, 40, -95), 25)},
    {"LambertSouthNegative", with_params(make_domain(4, -35, 135), -30, -60)},
    {"LambertSouthDefault", make_domain(4, -35, 135)},
    {"LambertSouthTangent", with_params(make_domain(4, -35, 135), -45)},
    {"Orthographic", make_domain(5, 40, -100)},
    {"OrthographicPole", make_domain(5, 90, 0)},
    {"Mollweide", make_domain(7, 0, 0)},
    {"MollweidePlon", make_domain(7, 10, -160)},
    {"LambertAzimuthal", make_domain(8, 40, -100)},
    {"LambertAzimuthalEquator", make_domain(8, 0, 20)},
    {"LambertAzimuthalPole", make_domain(8, 90, 0)},
    {"LambertAzimuthalSouthPole", make_domain(8, -90, 30)},
    {"SatelliteSphere", make_domain(9, 0, -75)},
    {"SatelliteSphereScan", with_params(make_domain(9, 0, -75), 421.64f, 1)},
    {"SatelliteEllipsoid", ellipsoid(make_domain(9, 0, -75))},
    {"SatelliteEllipsoidScan", ellipsoid(with_params(make_domain(9, 0, 140), FMISSING, 1))},
};

INSTANTIATE_TEST_SUITE_P(Projections, ProjCompare, testing::ValuesIn(kProjCases),
                         [](const testing::TestParamInfo<ProjCase> &info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Current projection, limits and grid coordinates
// ---------------------------------------------------------------------------

void make_current(const Domain &d) {
    ASSERT_EQ(MAP_domain(&d), 0);
}

MAP_limits current_limits() {
    MAP_limits lim{};
    MAP_get_limits(&lim);
    return lim;
}

TEST(MapDomain, MissingReferencePointIsTheCentre) {
    make_current(make_domain(1, 42, -80));
    Domain d{};
    MAP_get_domain(&d);
    EXPECT_EQ(d.plat, 42.0f);
    EXPECT_EQ(d.plon, -80.0f);
    EXPECT_EQ(MAP_get_clat(), 42.0f);
    EXPECT_EQ(MAP_get_clon(), -80.0f);

    // A given reference point is kept.
    make_current(with(make_domain(1, 42, -80), 90, -105));
    MAP_get_domain(&d);
    EXPECT_EQ(d.plat, 90.0f);
    EXPECT_EQ(d.plon, -105.0f);
}

// Without a current projection every point is inside, the forward transform
// passes latitude and longitude through and the inverse leaves its outputs.
TEST(MapDomain, NullLeavesNoProjection) {
    make_current(make_domain(1, 42, -80));
    EXPECT_EQ(MAP_domain(nullptr), -1);
    EXPECT_EQ(MAP_get_proj(), MISSING);
    EXPECT_EQ(MAP_in_domain(1e6f, -1e6f), 1);
    EXPECT_EQ(MAP_in_grid_domain(1e6f, -1e6f), 1);
    const XY p = tran(45, -100);
    EXPECT_EQ(p.r, 1);
    EXPECT_EQ(p.x, 45.0f);
    EXPECT_EQ(p.y, -100.0f);
    float lat = 7, lon = 8;
    EXPECT_EQ(MAP_untran(1, 2, &lat, &lon), 1);
    EXPECT_EQ(lat, 7.0f);
    EXPECT_EQ(lon, 8.0f);
}

TEST(MapDomain, NullPointerAliasesTheLiveRecord) {
    make_current(make_domain(2, 10, 20));
    Domain *live = MAP_get_domain(nullptr);
    live->clat = 33;
    EXPECT_EQ(MAP_get_clat(), 33.0f);
}

// The scale is true on the true latitude: a polar stereographic point there
// lies R cos(true latitude) from the pole, and the map factor is 1.
TEST(MapDomain, PolarTrueLatitude) {
    struct Row {
        float clat, param0, tlat;
    } rows[] = {
        {45, FMISSING, 60},   // northern default
        {-45, FMISSING, -60}, // southern default
        {45, 45, 45},         // given
        {-45, 45, 45},        // given, whatever the hemisphere
        {-45, -30, -30},
    };
    for (const Row &r : rows) {
        make_current(with_params(make_domain(1, r.clat, 0), r.param0));
        const XY p = tran(r.tlat, 30);
        EXPECT_NEAR(std::hypot(p.x, p.y), R * std::cos(r.tlat * kDeg), 1e-4) << r.clat << " " << r.param0;
        EXPECT_NEAR(MAP_factor(r.tlat, 0), 1.0, 1e-6) << r.clat << " " << r.param0;
        const XY pole = tran(r.clat < 0 ? -90 : 90, 0);
        EXPECT_FLOAT_EQ(pole.x, 0.0f);
        EXPECT_NEAR(pole.y, 0.0, 1e-6);
    }
}

// The cone constant n shows in the rotation of north: at 10 degrees east of
// plon the meridian leans by 10 n degrees.
float lambert_turn() {
    const XY p = tran(40, MAP_get_domain(nullptr)->plon + 10);
    return MAP_dir_adj(0, p.x, p.y);
}

TEST(MapDomain, LambertTrueLatitudes) {
    struct Row {
        Domain dom;
        double n;
    } rows[] = {
        {make_domain(4, 40, -95), 0.7155668},                          // 30 and 60
        {with_params(make_domain(4, 40, -95), 45, 45), 0.7071068},     // tangent
        {with_params(make_domain(4, 40, -95), 25), 0.4226183},         // no second: tangent at 25
        {with_params(make_domain(4, 40, -95), 33, 45), 0.6304777},     // secant
        {make_domain(4, -40, 135), -0.7155668},                        // southern mirror
        {with_params(make_domain(4, -40, 135), -30, -60), -0.7155668}, // southern, signed
    };
    for (const Row &r : rows) {
        make_current(r.dom);
        EXPECT_NEAR(lambert_turn(), -10 * r.n, 1e-5) << r.dom.param[0] << " " << r.dom.param[1];
    }
}

TEST(MapDomain, ProjCoordSetsOnlyLambert) {
    make_current(make_domain(4, 40, -95));
    const float tangent[2] = {45, FMISSING};
    EXPECT_EQ(MAP_proj_coord(tangent), 0);
    EXPECT_EQ(MAP_get_domain(nullptr)->param[0], 45.0f);
    // The cache is kept until it is cleared.
    EXPECT_NEAR(lambert_turn(), -7.155668, 1e-5);
    MAP_coord(40, -95);
    EXPECT_NEAR(lambert_turn(), -7.071068, 1e-5);

    make_current(make_domain(1, 40, -95));
    EXPECT_EQ(MAP_proj_coord(tangent), 0);
    EXPECT_EQ(MAP_get_domain(nullptr)->param[0], FMISSING);
    EXPECT_EQ(MAP_proj_coord(nullptr), -1);
}

// Satellite distance: param[0], else 421.61.
TEST(MapDomain, SatelliteDistance) {
    const auto x_at_30 = [](double sat) {
        return sat * R * std::sin(30 * kDeg) / (sat - R * std::cos(30 * kDeg));
    };
    make_current(make_domain(9, 0, -75));
    EXPECT_NEAR(tran(0, -45).x, x_at_30(421.61), 1e-4);
    make_current(with_params(make_domain(9, 0, -75), 500));
    EXPECT_NEAR(tran(0, -45).x, x_at_30(500), 1e-4);
}

TEST(MapLimits, MapDomainCentredOnProjectedCentre) {
    make_current(make_domain(1, 45, -100));
    float xc, yc;
    ASSERT_EQ(MAP_tran_center(&xc, &yc), 1);
    const MAP_limits lim = current_limits();
    EXPECT_FLOAT_EQ(lim.x_min, xc - 14.4f);
    EXPECT_FLOAT_EQ(lim.x_max, xc + 14.4f);
    EXPECT_FLOAT_EQ(lim.y_min, yc - 9.6f);
    EXPECT_FLOAT_EQ(lim.y_max, yc + 9.6f);
    float x, y;
    MAP_get_up_left(&x, &y);
    EXPECT_EQ(x, lim.x_min);
    EXPECT_EQ(y, lim.y_max);

    // Grid corners lie on the edges; the inverse gives them back.
    struct Corner {
        float gx, gy, x, y;
    } corners[] = {
        {0, 0, lim.x_min, lim.y_max}, {24, 16, lim.x_max, lim.y_min}, {24, 0, lim.x_max, lim.y_max}};
    for (const Corner &c : corners) {
        ASSERT_EQ(MAP_grid_tran(c.gx, c.gy, &x, &y), 0);
        EXPECT_FLOAT_EQ(x, c.x);
        EXPECT_FLOAT_EQ(y, c.y);
        float gx, gy;
        ASSERT_EQ(MAP_grid_untran(x, y, &gx, &gy), 0);
        EXPECT_NEAR(gx, c.gx, 1e-4);
        EXPECT_NEAR(gy, c.gy, 1e-4);
    }

    // The centre of an even grid lies half a grid length from a column.
    make_current(make_domain(3, 10, 20, 24, 16, 0.5f, 0.5f));
    ASSERT_EQ(MAP_tran_center(&xc, &yc), 1);
    float gx, gy;
    MAP_grid_untran(xc, yc, &gx, &gy);
    EXPECT_NEAR(gx, 11.5, 1e-4);
    EXPECT_NEAR(gy, 7.5, 1e-4);
}

TEST(MapLimits, MissingGridCoordinate) {
    make_current(make_domain(1, 45, -100));
    float x = 1, y = 1;
    EXPECT_EQ(MAP_grid_tran(FMISSING, 3, &x, &y), -1);
    EXPECT_EQ(x, FMISSING);
    EXPECT_EQ(y, FMISSING);
    EXPECT_EQ(MAP_grid_tran(3, FMISSING, &x, &y), 0); // only the first is tested
    EXPECT_EQ(MAP_grid_untran(FMISSING, 3, &x, &y), -1);
    EXPECT_EQ(x, FMISSING);
    EXPECT_EQ(y, FMISSING);
}

TEST(MapLimits, DiagramAndOtherDomains) {
    struct Row {
        const char *what;
        Domain dom;
        MAP_limits want;
    } rows[] = {
        {"linear", make_domain(20, 0, 1000, 100, 50, 50, -900), {0, 100, 1000, 1050}},
        {"linear second", make_domain(24, -5, 3, 10, 20, 1, 1), {-5, 5, 3, 23}},
        {"y reversed", make_domain(25, 0, 1000, 100, 50, 50, -900), {0, 100, -1000, -950}},
        {"hodograph", make_domain(23, -30, -20, 0, 0, 60, 40), {-30, 30, -20, 20}},
        {"no projection", make_domain(MISSING, 10, 20, 0, 0, -4, 6), {6, 10, 20, 26}},
        // Without formulas no corner can be placed: the domain covers nothing.
        {"gnomonic", make_domain(6, 45, -100), {FMISSING, FMISSING, FMISSING, FMISSING}},
        {"size", make_domain(51, 45, -100), {FMISSING, FMISSING, FMISSING, FMISSING}},
        {"unknown", make_domain(77, 45, -100), {FMISSING, FMISSING, FMISSING, FMISSING}},
    };
    for (const Row &r : rows) {
        make_current(r.dom);
        const MAP_limits lim = current_limits();
        EXPECT_FLOAT_EQ(lim.x_min, r.want.x_min) << r.what;
        EXPECT_FLOAT_EQ(lim.x_max, r.want.x_max) << r.what;
        EXPECT_FLOAT_EQ(lim.y_min, r.want.y_min) << r.what;
        EXPECT_FLOAT_EQ(lim.y_max, r.want.y_max) << r.what;
    }
}

TEST(MapLimits, InDomainAndInGridDomain) {
    make_current(make_domain(2, 0, 0, 11, 11, 1, 1)); // -5..5 both ways
    struct Row {
        float x, y;
        int in, in_grid;
    } rows[] = {
        {0, 0, 1, 1}, {5, 5, 1, 1},  {-5, -5, 1, 1},   {5.01f, 0, 0, 1}, {0, -5.01f, 0, 1},
        {8, 0, 0, 1}, {0, -8, 0, 1}, {8.01f, 0, 0, 0}, {0, 8.01f, 0, 0}, {-8.01f, 0, 0, 0},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(MAP_in_domain(r.x, r.y), r.in) << r.x << "," << r.y;
        EXPECT_EQ(MAP_in_grid_domain(r.x, r.y), r.in_grid) << r.x << "," << r.y;
    }
}

// Saving, switching and restoring gives the same transforms as before.
TEST(MapDomain, SaveSwitchRestore) {
    make_current(with_params(make_domain(4, 40, -95), 33, 45));
    const XY before = tran(35, -80);
    const MAP_limits lim_before = current_limits();
    Domain saved{};
    MAP_get_domain(&saved);
    make_current(make_domain(1, -70, 10));
    tran(-60, 0);
    make_current(saved);
    const XY after = tran(35, -80);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
    EXPECT_EQ(current_limits().x_min, lim_before.x_min);
    EXPECT_EQ(current_limits().y_max, lim_before.y_max);
}

TEST(MapDomainTran, ConvertsBetweenDomainsAndRestores) {
    const Domain polar = make_domain(1, 50, -100);
    const Domain latlon = make_domain(2, 40, -90, 61, 41, 1, 1);
    const Domain ortho = make_domain(5, 0, 0);
    make_current(ortho);

    make_current(polar);
    const XY p = tran(47, -93);
    make_current(ortho);
    float x, y;
    ASSERT_EQ(MAP_domain_tran(&polar, &latlon, p.x, p.y, &x, &y), 0);
    EXPECT_NEAR(x, -93 - -90, 1e-4);
    EXPECT_NEAR(y, 47, 1e-4);
    EXPECT_EQ(MAP_get_proj(), 5); // the current projection is back

    // A domain with itself gives the point back.
    ASSERT_EQ(MAP_domain_tran(&polar, &polar, p.x, p.y, &x, &y), 0);
    EXPECT_NEAR(x, p.x, 1e-4);
    EXPECT_NEAR(y, p.y, 1e-4);

    // A plane point off the globe has no place anywhere; a point hidden in
    // the second domain neither.
    EXPECT_EQ(MAP_domain_tran(&ortho, &latlon, 70, 0, &x, &y), -1);
    EXPECT_EQ(x, FMISSING);
    EXPECT_EQ(y, FMISSING);
    EXPECT_EQ(MAP_domain_tran(&latlon, &ortho, -90, 40, &x, &y), -1); // lat 40, lon 180
    EXPECT_EQ(x, FMISSING);
    EXPECT_EQ(MAP_get_proj(), 5);
}

// ---------------------------------------------------------------------------
// Projection formulas: the particular cases
// ---------------------------------------------------------------------------

// Projections without formulas place nothing and read nothing back.
TEST(MapTran, NoFormulasMeansNoPoint) {
    for (int proj : {6, 21, 50, 51, 10, 77, -1}) {
        make_current(make_domain(proj, 45, -100));
        float x = 1, y = 2;
        EXPECT_EQ(MAP_tran(45, -100, &x, &y), 0) << proj;
        EXPECT_EQ(x, FMISSING) << proj;
        EXPECT_EQ(y, FMISSING) << proj;
        EXPECT_EQ(MAP_untran(1, 2, &x, &y), 0) << proj;
        EXPECT_EQ(x, FMISSING) << proj;
        EXPECT_EQ(y, FMISSING) << proj;
    }
}

TEST(MapTran, LatLonFolding) {
    struct Row {
        float plon, lon, x;
    } rows[] = {{170, -175, 15}, {-170, 175, -15}, {0, 540, 180}, {0, -190, 170}, {-100, 90, -170}};
    for (const Row &r : rows) {
        make_current(make_domain(2, 0, r.plon));
        const XY p = tran(33, r.lon);
        EXPECT_FLOAT_EQ(p.x, r.x) << r.plon << " " << r.lon;
        EXPECT_FLOAT_EQ(p.y, 33);
        const XY q = untran(p.x, p.y);
        EXPECT_NEAR(dlon(q.y, r.lon), 0, 1e-4);
        EXPECT_GE(q.y, -180.0f);
        EXPECT_LE(q.y, 180.0f);
    }
}

TEST(MapTran, MercatorClampAndSeam) {
    make_current(make_domain(3, 0, -100));
    EXPECT_EQ(tran(90, 0).y, tran(89.9f, 0).y);
    EXPECT_EQ(tran(-90, 0).y, tran(-89.9f, 0).y);
    const XY p = tran(0, 90);
    EXPECT_NEAR(p.x, -170 * R * kDeg, 1e-4);
    EXPECT_NEAR(p.x, tran(0, -270).x, 1e-4);
}

TEST(MapTran, PolarStereographic) {
    make_current(make_domain(1, 60, -100));
    const XY pole = tran(90, 0);
    EXPECT_EQ(pole.x, 0.0f);
    EXPECT_NEAR(pole.y, 0.0, 1e-6);
    // K = R (1 + sin 60) = 1.8660 R: at the equator the distance is K.
    const XY eq = tran(0, -100);
    EXPECT_NEAR(eq.x, 0.0, 1e-5);
    EXPECT_NEAR(eq.y, -1.8660254 * R, 1e-4);
    EXPECT_LT(tran(60, -100).y, 0.0f);
    // The far hemisphere ends at 75 S.
    EXPECT_EQ(tran(-80, -60).x, tran(-75, -60).x);
    EXPECT_EQ(tran(-80, -60).y, tran(-75, -60).y);
    EXPECT_NE(tran(-70, -60).y, tran(-75, -60).y);
}

// Southern polar stereographic and Lambert maps mirror the northern ones.
TEST(MapTran, SouthernMirror) {
    const Domain pairs[][2] = {
        {make_domain(1, 50, 20), make_domain(1, -50, 20)},
        {make_domain(4, 50, 20), make_domain(4, -50, 20)},
        {with_params(make_domain(4, 50, 20), 35), with_params(make_domain(4, -50, 20), -35)},
        {with_params(make_domain(4, 50, 20), 35, 55), with_params(make_domain(4, -50, 20), -35, -55)},
    };
    const float pts[][2] = {{50, 20}, {30, 60}, {70, -40}, {10, 150}, {-20, -100}};
    for (const auto &pair : pairs) {
        for (const auto &pt : pts) {
            make_current(pair[0]);
            const XY n = tran(pt[0], pt[1]);
            make_current(pair[1]);
            const XY s = tran(-pt[0], pt[1]);
            EXPECT_NEAR(s.x, n.x, 1e-4) << pair[0].proj << " " << pt[0] << "," << pt[1];
            EXPECT_NEAR(s.y, -n.y, 1e-4) << pair[0].proj << " " << pt[0] << "," << pt[1];
        }
    }
}

TEST(MapTran, OrthographicLimb) {
    make_current(make_domain(5, 0, 0));
    const XY limb = tran(0, 90);
    EXPECT_EQ(limb.r, 1);
    EXPECT_NEAR(limb.x, R, 1e-5);
    const XY hidden = tran(0, 91);
    EXPECT_EQ(hidden.r, 0);
    EXPECT_EQ(hidden.x, FMISSING);
    EXPECT_EQ(hidden.y, FMISSING);
    const XY off = untran(50, 40);
    EXPECT_EQ(off.r, 0);
    EXPECT_EQ(off.x, FMISSING);
    // The limb point comes back although its float x lies a rounding step
    // beyond R.
    const XY back = untran(limb.x, limb.y);
    EXPECT_EQ(back.r, 1);
    EXPECT_NEAR(back.y, 90, 1e-2);
}

TEST(MapTran, LambertAzimuthalAntipodeAndCentre) {
    make_current(make_domain(8, 40, -100));
    const XY anti = tran(-40, 80);
    EXPECT_EQ(anti.r, 0);
    EXPECT_EQ(anti.x, FMISSING);
    EXPECT_EQ(anti.y, FMISSING);
    // The plane origin is the centre, a point like any other.
    const XY centre = untran(0, 0);
    EXPECT_EQ(centre.r, 1);
    EXPECT_EQ(centre.x, 40.0f);
    EXPECT_EQ(centre.y, -100.0f);
    const XY beyond = untran(2.01f * R, 0);
    EXPECT_EQ(beyond.r, 0);
    EXPECT_EQ(beyond.x, FMISSING);

    // A quarter of the way round on the equator comes back at 90 degrees.
    make_current(make_domain(8, 0, 0));
    const XY p = tran(0, 90);
    const XY q = untran(p.x, p.y);
    EXPECT_NEAR(q.x, 0, 1e-4);
    EXPECT_NEAR(q.y, 90, 1e-4);
    EXPECT_NEAR(untran(std::sqrt(2.0f) * R, 0).y, 90, 1e-4);
}

TEST(MapTran, SatelliteSubPointAndLimb) {
    for (int ellipse : {0, 1}) {
        Domain d = make_domain(9, 0, -75);
        d.ellipse = ellipse;
        make_current(d);
        const XY sub = tran(0, -75);
        EXPECT_EQ(sub.r, 1);
        EXPECT_NEAR(sub.x, 0, 1e-6);
        EXPECT_NEAR(sub.y, 0, 1e-6);
        const XY back = untran(0, 0);
        EXPECT_NEAR(back.x, 0, 1e-6);
        EXPECT_NEAR(back.y, -75, 1e-6);
        const XY hidden = tran(0, 15);
        EXPECT_EQ(hidden.r, 0);
        EXPECT_EQ(hidden.x, FMISSING);
        const XY off = untran(0, 70);
        EXPECT_EQ(off.r, 0);
        EXPECT_EQ(off.y, FMISSING);
    }
}

TEST(MapTran, MollweidePolesAndEdge) {
    make_current(make_domain(7, 0, 30));
    for (float lon : {-150.0f, 0.0f, 30.0f, 100.0f}) {
        EXPECT_EQ(tran(90, lon).x, 0.0f);
        EXPECT_NEAR(tran(90, lon).y, R, 1e-5);
        EXPECT_NEAR(tran(-90, lon).y, -R, 1e-5);
    }
    const XY pole = untran(0, tran(90, 0).y);
    EXPECT_EQ(pole.r, 1);
    EXPECT_NEAR(pole.x, 90, 1e-3);
    EXPECT_EQ(pole.y, 30.0f);
    const XY off = untran(0, 1.01f * R);
    EXPECT_EQ(off.r, 0);
    EXPECT_EQ(off.x, FMISSING);
}

// Longitudes of any size fold without looping; points that are no numbers
// cannot be shown.
TEST(MapTran, WildInputs) {
    make_current(make_domain(1, 60, -100));
    EXPECT_EQ(tran(50, 1e30f).r, 1);
    EXPECT_FLOAT_EQ(tran(50, 3600 + 20).x, tran(50, 20).x);
    EXPECT_EQ(tran(50, INFINITY).r, 0);
    EXPECT_EQ(tran(NAN, 0).r, 0);
    EXPECT_EQ(untran(NAN, 0).r, 0);
    EXPECT_EQ(untran(NAN, 0).x, FMISSING);
}

TEST(MapTran, PointRecords) {
    make_current(make_domain(3, 0, 0));
    Point pt{};
    ASSERT_EQ(MAP_tran_ep(EarthPoint{30, 45}, &pt), 1);
    EXPECT_EQ(pt.x, tran(30, 45).x);
    EarthPoint ept{};
    ASSERT_EQ(MAP_tran_pe(pt, &ept), 1);
    EXPECT_NEAR(ept.lat, 30, 1e-4);
    EXPECT_NEAR(ept.lon, 45, 1e-4);
}

// ---------------------------------------------------------------------------
// Bearings, map factor and offsets
// ---------------------------------------------------------------------------

TEST(MapDirAdj, Cases) {
    make_current(make_domain(1, 60, -105));
    const XY p = tran(50, -90); // 15 degrees east of plon
    ASSERT_GT(p.x, 0);
    ASSERT_LT(p.y, 0);
    EXPECT_NEAR(MAP_dir_adj(270, p.x, p.y), 255, 1e-3);
    EXPECT_NEAR(MAP_undir_adj(255, p.x, p.y), 270, 1e-3);
    EXPECT_NEAR(MAP_uvdir_adj(3, 4, p.x, p.y), -15, 1e-3);
    EXPECT_FLOAT_EQ(MAP_dir_adj(0, 0, 0), 105);
    EXPECT_FLOAT_EQ(MAP_undir_adj(105, 0, 0), 0);

    make_current(make_domain(4, 40, -95));
    EXPECT_FLOAT_EQ(MAP_dir_adj(123, 0, -30), 123);
    EXPECT_EQ(MAP_uvdir_adj(3, 4, 10, -30), 0.0f);

    for (int proj : {2, 3, 5, 7, 8}) {
        make_current(make_domain(proj, 40, -95));
        const XY q = tran(50, -60);
        EXPECT_EQ(MAP_dir_adj(77, q.x, q.y), 77.0f) << proj;
        EXPECT_EQ(MAP_undir_adj(77, q.x, q.y), 77.0f) << proj;
        EXPECT_EQ(MAP_uvdir_adj(3, 4, q.x, q.y), 0.0f) << proj;
    }

    // A satellite point that cannot be shown has no direction.
    make_current(make_domain(9, 0, -75));
    EXPECT_EQ(MAP_dir_adj(90, 0, 70), FMISSING);
}

// The plane direction of a true bearing is the direction of a short step
// along it: checked for the projections that turn north.
TEST(MapDirAdj, MatchesShortSteps) {
    const Domain doms[] = {
        make_domain(1, 60, -105),
        make_domain(1, -60, 40),
        make_domain(4, 40, -95),
        make_domain(4, -40, 135),
        with_params(make_domain(4, -40, 135), -25, -45),
        make_domain(9, 0, -75),
        ellipsoid(make_domain(9, 0, -75)),
    };
    const float pts[][2] = {{0, 0}, {15, 20}, {-20, -25}, {25, -10}, {-10, 35}}; // offsets from the centre
    for (const Domain &d : doms) {
        make_current(d);
        for (const auto &off : pts) {
            const float lat = d.clat + off[0], lon = d.clon + off[1];
            const XY p = tran(lat, lon);
            ASSERT_EQ(p.r, 1);
            for (float dir : {0.0f, 45.0f, 100.0f, 200.0f, 300.0f}) {
                const double h = 5.0 / kKm; // half of a 10 km step, degrees
                const double dl = h * std::cos(dir * kDeg),
                             dn = h * std::sin(dir * kDeg) / std::cos(lat * kDeg);
                const XY a = tran(static_cast<float>(lat - dl), static_cast<float>(lon - dn));
                const XY b = tran(static_cast<float>(lat + dl), static_cast<float>(lon + dn));
                const double want = std::atan2(b.x - a.x, b.y - a.y) / kDeg;
                const float got = MAP_dir_adj(dir, p.x, p.y);
                EXPECT_NEAR(dlon(got, want), 0, 0.05)
                    << d.proj << " " << d.clat << " " << lat << "," << lon << " " << dir;
                // Only the conformal maps turn back; the satellite view keeps
                // plane directions as they are.
                if (d.proj != 9) {
                    EXPECT_NEAR(dlon(MAP_undir_adj(got, p.x, p.y), dir), 0, 1e-3) << d.proj;
                }
            }
        }
    }
}

TEST(MapDir, SegmentBearing) {
    make_current(make_domain(2, 0, 0));
    EXPECT_FLOAT_EQ(MAP_dir(0, 0, 1, 1), 45);
    // On a polar stereographic map a segment along +y points at the plane
    // direction 0, whose bearing is what MAP_undir_adj gives.
    make_current(make_domain(1, 60, -105));
    const XY p = tran(50, -80);
    EXPECT_NEAR(MAP_dir(p.x, p.y, p.x, p.y + 1), MAP_undir_adj(0, p.x, p.y), 1e-4);
    make_current(make_domain(1, -60, -105));
    const XY q = tran(-50, -80);
    EXPECT_NEAR(MAP_dir(q.x, q.y, q.x + 1, q.y), MAP_undir_adj(90, q.x, q.y), 1e-4);
}

TEST(MapOffset, MovesAlongBearings) {
    for (int proj : {1, 2, 3, 4, 8}) {
        make_current(make_domain(proj, 40, -100));
        const XY start = tran(40, -100);
        float x, y;
        ASSERT_EQ(MAP_offset(start.x, start.y, 0, 111.195f, &x, &y), 1) << proj;
        const XY end = untran(x, y);
        EXPECT_NEAR(end.x, 41, 1e-4) << proj;
        EXPECT_NEAR(end.y, -100, 1e-4) << proj;
        ASSERT_EQ(MAP_offset(start.x, start.y, 90, 111.195f, &x, &y), 1) << proj;
        const XY east = untran(x, y);
        EXPECT_NEAR(east.x, 40, 1e-4) << proj;
        EXPECT_NEAR(east.y, -100 + 1 / std::cos(40 * kDeg), 1e-4) << proj;
    }
    // From a plane point off the globe there is nowhere to go.
    make_current(make_domain(5, 0, 0));
    float x = 1, y = 1;
    EXPECT_EQ(MAP_offset(70, 0, 0, 100, &x, &y), 0);
    EXPECT_EQ(x, FMISSING);
    EXPECT_EQ(y, FMISSING);
}

TEST(MapFactor, Cases) {
    struct Row {
        Domain dom;
        float lat, want;
    } rows[] = {
        {make_domain(1, 60, 0), 60, 1.0f},
        {make_domain(1, 60, 0), 90, 0.9330127f},
        {make_domain(1, 60, 0), 0, 1.8660254f},
        {with_params(make_domain(1, 60, 0), 45), 45, 1.0f}, // the domain's own true latitude
        {with_params(make_domain(1, 60, 0), 45), 90, 0.8535534f},
        {make_domain(1, -60, 0), -60, 1.0f}, // southern maps mirror the northern
        {make_domain(1, -60, 0), -90, 0.9330127f},
        {with_params(make_domain(4, 40, 0), 30, 60, 1.25f), 10, 1.25f},
        {make_domain(4, 40, 0), 10, 1.0f}, // no scale factor given
        {make_domain(2, 40, 0), 80, 1.0f},
        {make_domain(9, 0, 0), 80, 1.0f},
    };
    for (const Row &r : rows) {
        make_current(r.dom);
        EXPECT_NEAR(MAP_factor(r.lat, 123), r.want, 1e-6) << r.dom.proj << " " << r.dom.clat << " " << r.lat;
    }
}

// ---------------------------------------------------------------------------
// Diagram axes
// ---------------------------------------------------------------------------

// A thermodynamic diagram from -40 to 40 C and 1050 to 100 mb.
Domain thermo(int proj) {
    return make_domain(proj, -40, 1050, 0, 0, 80, -950);
}

// Page position of a plane point of the current diagram on the page `v`.
std::pair<double, double> on_page(const MAP_limits &v, float x, float y) {
    const MAP_limits lim = current_limits();
    return {v.x_min + (double(x) - lim.x_min) / (double(lim.x_max) - lim.x_min) * (double(v.x_max) - v.x_min),
            v.y_min +
                (double(y) - lim.y_min) / (double(lim.y_max) - lim.y_min) * (double(v.y_max) - v.y_min)};
}

// Every point of the table goes forward and comes back.
void expect_round_trips(const std::vector<std::pair<float, float>> &points, double tol_a, double rel_b,
                        const char *what) {
    for (const auto &[a, b] : points) {
        const XY p = tran(a, b);
        ASSERT_EQ(p.r, 1) << what << " " << a << " " << b;
        const XY back = untran(p.x, p.y);
        EXPECT_EQ(back.r, 1) << what;
        EXPECT_NEAR(back.x, a, tol_a) << what << " " << a << " " << b;
        EXPECT_NEAR(back.y, b, rel_b * std::max(1.0f, std::fabs(b))) << what << " " << a << " " << b;
    }
}

TEST(MapDiagram, PixelAndLogarithmicAxes) {
    const struct Row {
        Domain dom;
        float a, b, x, y;
    } rows[] = {
        {make_domain(99, 0, 0, 0, 0, 640, 480), 10, 20, 10, -20},
        {make_domain(22, 0, 1000, 0, 0, 100, -900), 5, 1000, 5, float(-std::log(1000.0))},
        {make_domain(42, -40, 1050, 0, 0, 80, -950), -20, 500, -20, float(-std::log(500.0))},
        {make_domain(41, -40, 1050, 0, 0, 80, -950), -20, 1000, -20, float(-std::pow(1000.0, 0.285714))},
    };
    for (const Row &r : rows) {
        make_current(r.dom);
        const XY p = tran(r.a, r.b);
        EXPECT_EQ(p.r, 1) << r.dom.proj;
        EXPECT_FLOAT_EQ(p.x, r.x) << r.dom.proj;
        EXPECT_FLOAT_EQ(p.y, r.y) << r.dom.proj;
        const XY back = untran(r.x, r.y);
        EXPECT_EQ(back.r, 1) << r.dom.proj;
        EXPECT_FLOAT_EQ(back.x, r.a) << r.dom.proj;
        EXPECT_NEAR(back.y, r.b, 1e-5 * r.b) << r.dom.proj;
        expect_round_trips({{-40, 1050}, {0, 700}, {25, 300}, {40, 100}}, 1e-4, 1e-5, "log axes");
    }
    // The Stuve axis: 1000 mb back to 1000 within rounding.
    make_current(thermo(41));
    const XY stuve = tran(0, 1000);
    EXPECT_NEAR(untran(stuve.x, stuve.y).y, 1000.0f, 0.02f);
}

TEST(MapDiagram, PressuresWithoutLogarithmHaveNoPlace) {
    const struct Row {
        int proj;
        float a, b;
    } rows[] = {{22, 0, 0},
                {22, 0, -5},
                {42, 0, 0},
                {40, 0, -1},
                {41, 0, -1},
                {43, 0, -1},
                {44, 0, 0},
                // Below absolute zero there is no potential temperature.
                {43, -300, 500},
                {44, -300, 500}};
    for (const Row &r : rows) {
        make_current(thermo(r.proj));
        const XY p = tran(r.a, r.b);
        EXPECT_EQ(p.r, 0) << r.proj << " " << r.a << " " << r.b;
        EXPECT_EQ(p.x, FMISSING) << r.proj;
        EXPECT_EQ(p.y, FMISSING) << r.proj;
    }
    // A Stuve plane point above the axis origin has no pressure; a
    // tephigram point left of absolute zero has none either.
    make_current(thermo(41));
    EXPECT_EQ(untran(0, 1).r, 0);
    make_current(thermo(44));
    const XY none = untran(-300, 5.7f);
    EXPECT_EQ(none.r, 0);
    EXPECT_EQ(none.x, FMISSING);
}

TEST(MapDiagram, LinearAxes) {
    // The first value clat .. clat + dx spreads over nx plane units.
    make_current(make_domain(20, 0, 1000, 100, 50, 50, -900));
    EXPECT_FLOAT_EQ(tran(25, 1000).x, 50);
    EXPECT_FLOAT_EQ(tran(50, 1000).x, 100);
    EXPECT_FLOAT_EQ(tran(0, 1000).y, 1000);
    EXPECT_FLOAT_EQ(tran(0, 100).y, 1050);
    const std::vector<std::pair<float, float>> points = {{0, 1000}, {25, 550}, {50, 100}, {-10, 1200}};
    for (int proj : {20, 24, 25}) {
        make_current(make_domain(proj, 0, 1000, 100, 50, 50, -900));
        expect_round_trips(points, 1e-4, 1e-5, "linear");
        // Clearing the cache keeps the axis scales.
        const XY before = tran(25, 550);
        MAP_coord(0, 0);
        const XY after = tran(25, 550);
        EXPECT_EQ(after.r, 1) << proj;
        EXPECT_FLOAT_EQ(after.x, before.x) << proj;
        EXPECT_FLOAT_EQ(after.y, before.y) << proj;
    }
    // y reversed: the second value is measured downward from y_min.
    make_current(make_domain(25, 0, 0, 100, 50, 50, 50));
    EXPECT_FLOAT_EQ(tran(10, 25).y, -25);
    // An axis without a range places nothing.
    make_current(make_domain(20, 0, 1000, 100, 50, 0, -900));
    EXPECT_EQ(tran(0, 1000).r, 0);
    EXPECT_EQ(untran(0, 1000).r, 0);
}

TEST(MapDiagram, Hodograph) {
    make_current(make_domain(23, -30, -30, 0, 0, 60, 60));
    const struct Row {
        float angle, radius, x, y;
    } rows[] = {{0, 2, 0, 2}, {90, 2, 2, 0}, {180, 1, 0, -1}, {270, 1, -1, 0}, {45, std::sqrt(2.0f), 1, 1}};
    for (const Row &r : rows) {
        const XY p = tran(r.angle, r.radius);
        EXPECT_EQ(p.r, 1);
        EXPECT_NEAR(p.x, r.x, 1e-6) << r.angle;
        EXPECT_NEAR(p.y, r.y, 1e-6) << r.angle;
    }
    const XY west = untran(-1, 0);
    EXPECT_FLOAT_EQ(west.x, 270);
    EXPECT_FLOAT_EQ(west.y, 1);
    const XY origin = untran(0, 0);
    EXPECT_EQ(origin.r, 1);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    // Just west of north stays below 360.
    const XY nearly = untran(-1e-7f, 1);
    EXPECT_GE(nearly.x, 0.0f);
    EXPECT_LT(nearly.x, 360.0f);
    std::vector<std::pair<float, float>> points;
    for (int a = 0; a < 360; a += 15)
        points.emplace_back(float(a), 5.0f + a / 30.0f);
    expect_round_trips(points, 1e-3, 1e-5, "hodograph");
}

TEST(MapDiagram, SkewTIsothermsRiseAtFortyFiveDegrees) {
    const MAP_limits view{0.1f, 0.9f, 0.1f, 0.7f};
    MAP_set_view(&view);
    make_current(thermo(40));
    // The limits are the unskewed temperature and -ln p ranges.
    const MAP_limits lim = current_limits();
    EXPECT_FLOAT_EQ(lim.x_min, -40);
    EXPECT_FLOAT_EQ(lim.x_max, 40);
    EXPECT_FLOAT_EQ(lim.y_min, float(-std::log(1050.0)));
    EXPECT_FLOAT_EQ(lim.y_max, float(-std::log(100.0)));
    // No skew at the bottom of the diagram.
    EXPECT_FLOAT_EQ(tran(-40, 1050).x, -40);
    for (float t : {-30.0f, 0.0f, 20.0f}) {
        const XY bottom = tran(t, 1050), top = tran(t, 100);
        const auto [x0, y0] = on_page(view, bottom.x, bottom.y);
        const auto [x1, y1] = on_page(view, top.x, top.y);
        EXPECT_NEAR(y1 - y0, 0.6, 1e-5) << t;     // the full page height
        EXPECT_NEAR(x1 - x0, y1 - y0, 1e-5) << t; // and as far to the right
    }
    // Isobars stay level.
    EXPECT_FLOAT_EQ(tran(-30, 500).y, tran(30, 500).y);
    expect_round_trips({{-40, 1050}, {-20, 850}, {0, 500}, {20, 200}, {40, 100}}, 1e-4, 1e-5, "skew-T");
}

TEST(MapDiagram, SkewTWithoutViewUsesASquarePage) {
    // No view was ever set: a square page, not zero divided by zero.
    make_current(thermo(40));
    const MAP_limits square{0, 1, 0, 1};
    const XY bottom = tran(0, 1050), top = tran(0, 100);
    EXPECT_EQ(bottom.r, 1);
    EXPECT_TRUE(std::isfinite(top.x) && std::isfinite(top.y));
    const auto [x0, y0] = on_page(square, bottom.x, bottom.y);
    const auto [x1, y1] = on_page(square, top.x, top.y);
    EXPECT_NEAR(x1 - x0, y1 - y0, 1e-5);
    expect_round_trips({{-40, 1050}, {0, 500}, {40, 100}}, 1e-4, 1e-5, "skew-T without view");
}

TEST(MapDiagram, NewViewActsAfterTheCacheIsCleared) {
    const MAP_limits a{0, 1, 0, 1}, b{0, 1, 0, 2};
    MAP_set_view(&a);
    make_current(thermo(40));
    const XY first = tran(0, 500);
    MAP_set_view(&b);
    EXPECT_FLOAT_EQ(tran(0, 500).x, first.x);
    MAP_proj(40);
    EXPECT_GT(tran(0, 500).x, first.x); // twice the page height: twice the skew
}

TEST(MapDiagram, TephigramAxesAreRotated) {
    const MAP_limits view{0, 1, 0, 1};
    MAP_set_view(&view);
    make_current(thermo(43));
    // Limits from the unrotated temperature and ln p.
    const MAP_limits lim = current_limits();
    EXPECT_FLOAT_EQ(lim.x_min, -40);
    EXPECT_FLOAT_EQ(lim.x_max, 40);
    EXPECT_FLOAT_EQ(lim.y_min, float(std::log(100.0)));
    EXPECT_FLOAT_EQ(lim.y_max, float(std::log(1050.0)));
    // An isotherm runs up and right at 45 degrees on the page, a dry adiabat
    // (constant potential temperature) at right angles to it.
    const XY t1 = tran(0, 1000), t2 = tran(0, 500);
    ASSERT_EQ(t1.r, 1);
    const auto [ix0, iy0] = on_page(view, t1.x, t1.y);
    const auto [ix1, iy1] = on_page(view, t2.x, t2.y);
    EXPECT_GT(iy1 - iy0, 0.01);
    EXPECT_NEAR(ix1 - ix0, iy1 - iy0, 1e-5);
    const float warm = 26.85f;                                       // 300 K at 1000 mb
    const float cold = float(300.0 * std::pow(0.5, 0.286) - 273.15); // 300 K at 500 mb
    const XY d1 = tran(warm, 1000), d2 = tran(cold, 500);
    const auto [ax0, ay0] = on_page(view, d1.x, d1.y);
    const auto [ax1, ay1] = on_page(view, d2.x, d2.y);
    EXPECT_LT(ax1 - ax0, -0.01);
    EXPECT_NEAR(ax1 - ax0, -(ay1 - ay0), 1e-5);
    // The inverse gives the pressure back, not one off by the rounding of
    // the exponent.
    expect_round_trips({{-40, 1050}, {-10, 850}, {0, 500}, {20, 300}, {40, 100}}, 1e-3, 1e-5, "tephigram");
}

TEST(MapDiagram, TephigramWithoutView) {
    make_current(thermo(43));
    const XY p = tran(10, 700);
    EXPECT_EQ(p.r, 1);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    expect_round_trips({{-40, 1050}, {0, 500}, {40, 100}}, 1e-3, 1e-5, "tephigram without view");
}

TEST(MapDiagram, TephigramAxesUnrotated) {
    make_current(thermo(44));
    const XY p = tran(20, 850);
    EXPECT_EQ(p.r, 1);
    EXPECT_FLOAT_EQ(p.x, 20);
    EXPECT_NEAR(p.y, std::log(293.15 * std::pow(1000.0 / 850.0, 0.286)), 1e-6);
    expect_round_trips({{-40, 1050}, {-10, 850}, {0, 500}, {20, 300}, {40, 100}}, 1e-4, 1e-5, "rteph");
}

// ---------------------------------------------------------------------------
// Declutter grid
// ---------------------------------------------------------------------------

// A 10 x 10 latitude-longitude grid of 1 degree.
void make_ten_by_ten() {
    make_current(make_domain(2, 0, 0, 10, 10, 1, 1));
}

// The declutter answer for a point given in grid coordinates.
int at_grid(float gx, float gy) {
    float x, y;
    MAP_grid_tran(gx, gy, &x, &y);
    return MAP_plot_grid(x, y);
}

TEST(MapDeclutter, FactorZeroPlotsEverything) {
    make_ten_by_ten();
    EXPECT_EQ(MAP_plot_grid(1000, 1000), 1); // before any table
    MAP_plot_grid_init();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(at_grid(2.5f, 2.5f), 1);
        EXPECT_EQ(MAP_plot_grid(1000, -1000), 1);
    }
}

TEST(MapDeclutter, OneItemPerCell) {
    make_ten_by_ten();
    MAP_set_plot_limit(1);
    MAP_plot_grid_init();
    EXPECT_EQ(at_grid(2.2f, 3.1f), 1);
    EXPECT_EQ(at_grid(2.8f, 3.9f), 0); // same cell
    EXPECT_EQ(at_grid(3.1f, 3.1f), 1);
    EXPECT_EQ(at_grid(2.2f, 4.1f), 1);
    MAP_plot_grid_init();
    EXPECT_EQ(at_grid(2.8f, 3.9f), 1); // a new table forgets
}

TEST(MapDeclutter, GridEdges) {
    make_ten_by_ten();
    MAP_set_plot_limit(1);
    MAP_plot_grid_init();
    const struct {
        float gx, gy;
        int want;
    } rows[] = {{0, 0, 1},     {9, 9, 1},     {9, 0, 1},      {0, 9, 1},
                {9.01f, 5, 0}, {5, 9.01f, 0}, {-0.01f, 5, 0}, {5, -0.01f, 0}};
    for (const auto &r : rows)
        EXPECT_EQ(at_grid(r.gx, r.gy), r.want) << r.gx << " " << r.gy;
    EXPECT_EQ(MAP_plot_grid(FMISSING, 0), 0);
}

TEST(MapDeclutter, FinerGrid) {
    // Factor 2 on 10 x 10: cells half a grid length wide, 400 of them. Every
    // cell that the grid reaches is distinct, and each takes one item.
    make_ten_by_ten();
    MAP_set_plot_limit(2);
    MAP_plot_grid_init();
    EXPECT_EQ(at_grid(2.1f, 3.1f), 1);
    EXPECT_EQ(at_grid(2.6f, 3.1f), 1); // half a grid length apart
    EXPECT_EQ(at_grid(2.9f, 3.2f), 0);
    MAP_plot_grid_init();
    int accepted = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int j = 0; j <= 18; ++j)
            for (int i = 0; i <= 18; ++i)
                accepted += at_grid(std::min(9.0f, (i + 0.5f) / 2), std::min(9.0f, (j + 0.5f) / 2));
    EXPECT_EQ(accepted, 19 * 19);
}

TEST(MapDeclutter, Blocks) {
    make_ten_by_ten();
    MAP_set_plot_limit(-3);
    MAP_plot_grid_init();
    EXPECT_EQ(at_grid(0.5f, 0.5f), 1);
    EXPECT_EQ(at_grid(2.9f, 2.9f), 0); // same 3 x 3 block
    EXPECT_EQ(at_grid(3.0f, 0.5f), 1); // the next block east
    EXPECT_EQ(at_grid(0.5f, 3.1f), 1); // the next block south
    EXPECT_EQ(at_grid(9.0f, 9.0f), 1);
    EXPECT_EQ(at_grid(9.0f, 9.0f), 0);
}

TEST(MapDeclutter, InsideOnly) {
    make_ten_by_ten();
    MAP_set_plot_limit(-1);
    MAP_plot_grid_init();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(at_grid(4.5f, 4.5f), 1);
    EXPECT_EQ(at_grid(10.0f, 4.5f), 0);
    EXPECT_EQ(MAP_plot_grid(1000, 1000), 0);
}

TEST(MapDeclutter, TableStaysWithinItsGrid) {
    make_ten_by_ten();
    MAP_set_plot_limit(1);
    MAP_plot_grid_init();
    // A factor raised after the table was made: cells past its end are not
    // reached.
    MAP_set_plot_limit(4);
    EXPECT_EQ(at_grid(9.0f, 9.0f), 0);
    EXPECT_EQ(at_grid(0.1f, 0.1f), 1);
    // A larger domain made current without a new table: points beyond the
    // table's grid are skipped.
    MAP_set_plot_limit(1);
    make_current(make_domain(2, 0, 0, 40, 40, 1, 1));
    EXPECT_EQ(at_grid(39.0f, 39.0f), 0);
    EXPECT_EQ(at_grid(5.0f, 5.0f), 1);
    // A domain without a grid gets no table: nothing is held back.
    make_current(make_domain(2, 0, 0, MISSING, MISSING, 1, 1));
    MAP_plot_grid_init();
    EXPECT_EQ(MAP_plot_grid(0, 0), 1);
    EXPECT_EQ(MAP_plot_grid(0, 0), 1);
}

} // namespace
