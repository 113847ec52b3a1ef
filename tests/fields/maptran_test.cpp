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

namespace {

constexpr double R = 63.7122; // earth radius, plane units
constexpr double kDeg = 0.017453292519943334;

Domain make_domain(int proj, float clat, float clon, int nx = 25, int ny = 17, float dx = 1.2f,
                   float dy = 1.2f) {
    Domain d;
    d.proj = proj;
    d.plat = FMISSING;
    d.plon = FMISSING;
    for (float &p : d.param)
        p = FMISSING;
    d.clat = clat;
    d.clon = clon;
    d.dx = dx;
    d.dy = dy;
    d.nx = nx;
    d.ny = ny;
    d.ellipse = 0;
    return d;
}

[[maybe_unused]] Domain with(Domain d, float plat, float plon) {
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

} // namespace
