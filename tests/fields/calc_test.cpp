#include "fields/calc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

// ---- Meteorological formulas -------------------------------------------------
//
// The formulas are checked against independent physics: published tables,
// other published formulas (IAPWS saturation pressure, Bolton's condensation
// level and equivalent potential temperature, the psychrometric equation, a
// numerical integration of the pseudo-adiabat, the NWS heat-index regression,
// the Environment Canada wind-chill table, the ICAO standard atmosphere) and
// the geodesics of PROJ's geod.

namespace {

constexpr float M = -9999.0f;

double kelvin(double c) {
    return c + 273.15;
}

// Saturation vapour pressure over water (mb), Wagner and Pruss (IAPWS).
double iapws_es(double t) {
    const double tc = 647.096, pc = 220640.0;
    const double a[] = {-7.85951783, 1.84408259, -11.7866497, 22.6807411, -15.9618719, 1.80122502};
    const double u = 1.0 - t / tc;
    return pc * std::exp(tc / t *
                         (a[0] * u + a[1] * std::pow(u, 1.5) + a[2] * std::pow(u, 3) +
                          a[3] * std::pow(u, 3.5) + a[4] * std::pow(u, 4) + a[5] * std::pow(u, 7.5)));
}

// Bolton's (1980) saturation vapour pressure (mb) and mixing ratio (kg/kg).
double bolton_es(double t) {
    const double c = t - 273.15;
    return 6.112 * std::exp(17.67 * c / (c + 243.5));
}

double bolton_ws(double t, double p) {
    const double e = bolton_es(t);
    return 0.622 * e / (p - e);
}

// Bolton's temperature (K) and pressure of the lifting condensation level.
double bolton_lcl_temp(double t, double td) {
    return 1.0 / (1.0 / (td - 56.0) + std::log(t / td) / 800.0) + 56.0;
}

double bolton_lcl_pres(double t, double td, double p) {
    return p * std::pow(bolton_lcl_temp(t, td) / t, 1.0 / 0.2857);
}

// Bolton's equivalent potential temperature.
double bolton_thetae(double t, double td, double p) {
    const double e = bolton_es(td);
    const double r = 622.0 * e / (p - e);
    const double tl = bolton_lcl_temp(t, td);
    return t * std::pow(1000.0 / p, 0.2854 * (1.0 - 0.28e-3 * r)) *
           std::exp((3.376 / tl - 0.00254) * r * (1.0 + 0.81e-3 * r));
}

// Isobaric wet-bulb temperature from the psychrometric heat balance
// cp (T - Tw) = L (ws(Tw) - w), by bisection.
double psychrometric_wet_bulb(double t, double td, double p) {
    const double w = bolton_ws(td, p);
    double lo = td, hi = t;
    for (int i = 0; i < 60; ++i) {
        const double tw = (lo + hi) / 2.0;
        const double l = 2.501e6 - 2370.0 * (tw - 273.15);
        if (1005.7 * (t - tw) - l * (bolton_ws(tw, p) - w) > 0.0)
            lo = tw;
        else
            hi = tw;
    }
    return (lo + hi) / 2.0;
}

// Temperature at p1 on the pseudo-adiabat through (t0, p0): fourth-order
// Runge-Kutta integration of dT/dp.
double pseudo_adiabat(double t0, double p0, double p1) {
    auto slope = [](double t, double p) {
        const double rd = 287.04, cp = 1005.7, eps = 0.622;
        const double l = 2.501e6 - 2370.0 * (t - 273.15);
        const double r = bolton_ws(t, p);
        return (rd * t + l * r) / (p * (cp + l * l * r * eps / (rd * t * t)));
    };
    const int n = 2000;
    const double h = (p1 - p0) / n;
    double t = t0, p = p0;
    for (int i = 0; i < n; ++i) {
        const double k1 = slope(t, p);
        const double k2 = slope(t + h / 2 * k1, p + h / 2);
        const double k3 = slope(t + h / 2 * k2, p + h / 2);
        const double k4 = slope(t + h * k3, p + h);
        t += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
        p += h;
    }
    return t;
}

// Dew point (K) of air at t with relative humidity rh (%), on the formula's
// own saturation curve.
float dew_of(double t, double rh) {
    return temp_vapor_pr(float(vapor_pr(float(t)) * rh / 100.0));
}

TEST(CalcVapour, SaturationPressureMatchesIapws) {
    // Within 0.3 % of the IAPWS formula from 0 to 50 C: 6.11 mb at 0 C,
    // 42.4 mb at 30 C.
    for (int c = 0; c <= 50; c += 5) {
        const double t = kelvin(c);
        EXPECT_NEAR(vapor_pr(float(t)), iapws_es(t), 0.003 * iapws_es(t)) << c << " C";
    }
    EXPECT_NEAR(vapor_pr(273.15f), 6.11, 0.02);
    EXPECT_NEAR(vapor_pr(303.15f), 42.4, 0.1);
    // Over supercooled water (the table values -10 C 2.865, -20 C 1.254).
    EXPECT_NEAR(vapor_pr(263.15f), 2.865, 0.01);
    EXPECT_NEAR(vapor_pr(253.15f), 1.254, 0.005);
}

TEST(CalcVapour, RangesAndInverse) {
    EXPECT_EQ(vapor_pr(50.0f), 0.0f);
    EXPECT_EQ(vapor_pr(0.0f), 0.0f);
    EXPECT_EQ(vapor_pr(-1.0f), M);
    EXPECT_EQ(vapor_pr(M), M);
    EXPECT_EQ(temp_vapor_pr(0.0f), 0.0f);
    EXPECT_EQ(temp_vapor_pr(-3.0f), 0.0f);
    // The inverse agrees within its stated 0.06 K from 233 to 313 K, and so
    // does a dew point at saturation.
    for (float t = 233.0f; t <= 313.0f; t += 2.0f) {
        EXPECT_NEAR(temp_vapor_pr(vapor_pr(t)), t, 0.06) << t;
        EXPECT_NEAR(dew_temp(t, 100.0f), t, 0.06) << t;
    }
    // The inverse also against IAPWS: 10 mb is saturated at 6.97 C.
    EXPECT_NEAR(temp_vapor_pr(10.0f), kelvin(6.97), 0.1);
}

TEST(CalcHumidity, MixingRatioMatchesTables) {
    // Saturation mixing ratio at 1000 mb (Smithsonian tables).
    const struct { double c, w; } rows[] = {{0, 3.84}, {10, 7.76}, {20, 14.95}, {30, 27.69}};
    for (const auto &r : rows)
        EXPECT_NEAR(mix_ratio(float(kelvin(r.c)), 1000.0f), r.w, 0.01 * r.w) << r.c << " C";
    // 100 or less is a vapour pressure.
    EXPECT_NEAR(mix_ratio(10.0f, 1000.0f), 622.0 * 10.0 / 990.0, 1e-4);
    EXPECT_NEAR(mix_ratio(283.15f, 1000.0f), 622.0 * vapor_pr(283.15f) / (1000.0 - vapor_pr(283.15f)), 1e-4);
}

TEST(CalcHumidity, MixingRatioGuards) {
    const struct {
        float temp, pr, want;
    } rows[] = {
        {M, 1000, M},
        {280, M, M},
        {0, 1000, 0},
        {280, 0, 0},
        {-5, 1000, 0},
        {280, -5, 0},
        // Vapour at or above the total pressure: boiling water at 1000 mb,
        // a vapour pressure equal to the pressure.
        {373.65f, 1000, M},
        {50, 50, M},
        {60, 50, M},
    };
    for (const auto &r : rows)
        EXPECT_EQ(mix_ratio(r.temp, r.pr), r.want) << r.temp << " " << r.pr;
}

TEST(CalcHumidity, SpecificHumidity) {
    EXPECT_NEAR(spec_hum(10.0f, 1000.0f), 6.22, 1e-5);
    // Specific humidity is below the mixing ratio of the same air.
    EXPECT_LT(spec_hum(293.15f, 1000.0f), mix_ratio(293.15f, 1000.0f));
    EXPECT_NEAR(spec_hum(293.15f, 1000.0f), 622.0 * vapor_pr(293.15f) / 1000.0, 1e-4);
    EXPECT_EQ(spec_hum(M, 1000.0f), M);
    EXPECT_EQ(spec_hum(290.0f, M), M);
    EXPECT_EQ(spec_hum(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(spec_hum(290.0f, 0.0f), 0.0f);
}

TEST(CalcHumidity, RelativeHumidity) {
    const struct {
        float t, td, want;
    } rows[] = {
        {10, 5, 50}, // both vapour pressures
        {300, 300, 100}, {0, 5, M}, {300, -2, M}, {M, 280, M},
    };
    for (const auto &r : rows)
        EXPECT_FLOAT_EQ(rel_hum(r.t, r.td), r.want) << r.t << " " << r.td;
    // A dew point above the temperature gives more than 100 %.
    EXPECT_GT(rel_hum(290.0f, 295.0f), 100.0f);
    // 20 C with a dew point of 9.26 C is 50 % (psychrometric tables).
    EXPECT_NEAR(rel_hum(293.15f, 282.41f), 50.0, 0.5);
    // Each argument of 100 or less is a vapour pressure, also when the other
    // is a temperature: 21.2 mb is half of the saturation pressure at 30 C.
    EXPECT_NEAR(rel_hum(303.15f, vapor_pr(303.15f) / 2.0f), 50.0, 1e-3);
    EXPECT_NEAR(rel_hum(vapor_pr(293.15f) * 2.0f, 293.15f), 50.0, 1e-3);
}

TEST(CalcHumidity, DewPoint) {
    // 20 C at 50 % has its dew point at 9.26 C.
    EXPECT_NEAR(dew_temp(293.15f, 50.0f), kelvin(9.26), 0.1);
    // Its vapour pressure is half the saturation pressure.
    EXPECT_NEAR(vapor_pr(dew_temp(300.0f, 50.0f)), vapor_pr(300.0f) / 2.0f, 0.005 * vapor_pr(300.0f));
    // The humidity is limited to 2..100 %.
    EXPECT_EQ(dew_temp(290.0f, 1.0f), dew_temp(290.0f, 2.0f));
    EXPECT_EQ(dew_temp(290.0f, 150.0f), dew_temp(290.0f, 100.0f));
    EXPECT_EQ(dew_temp(290.0f, M), M);
    EXPECT_EQ(dew_temp(0.0f, 50.0f), M);
    EXPECT_EQ(dew_temp(M, 50.0f), M);
}

TEST(CalcAdiabats, PotentialTemperature) {
    // At 1000 mb the potential temperature is the temperature.
    for (float t : {200.0f, 253.15f, 273.15f, 300.0f, 320.5f}) {
        EXPECT_FLOAT_EQ(pot_temp(t, 1000.0f), t);
        EXPECT_FLOAT_EQ(temp_on_dryad(t, 1000.0f), t);
    }
    // The dry adiabat of 30 C reaches 500 mb at -24.5 C and 700 mb at 0.6 C
    // (R/cp = 0.2857 of dry air).
    EXPECT_NEAR(temp_on_dryad(303.15f, 500.0f), kelvin(-24.5), 0.3);
    EXPECT_NEAR(temp_on_dryad(303.15f, 700.0f), kelvin(0.6), 0.3);
    EXPECT_NEAR(pot_temp(kelvin(-24.5), 500.0f), 303.15, 0.3);
    EXPECT_NEAR(temp_on_dryad(pot_temp(250.0f, 300.0f), 300.0f), 250.0f, 1e-3);
    EXPECT_EQ(pot_temp(0.0f, 1000.0f), M);
    EXPECT_EQ(pot_temp(300.0f, 0.0f), M);
    EXPECT_EQ(pot_temp(M, 1000.0f), M);
    EXPECT_EQ(temp_on_dryad(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(temp_on_dryad(300.0f, -1.0f), 0.0f);
}

TEST(CalcAdiabats, VirtualTemperature) {
    EXPECT_FLOAT_EQ(virt_temp(300.0f, 0.0f, 1000.0f), 300.0f);
    EXPECT_FLOAT_EQ(virt_temp(300.0f, 10.0f, 1000.0f), 300.0f * 1.00609f);
    // From a dew point: through the mixing ratio.
    const float w = mix_ratio(295.0f, 1000.0f);
    EXPECT_NEAR(virt_temp(303.15f, 295.0f, 1000.0f), 303.15 * (1.0 + 0.609 * w / 1000.0), 1e-3);
    // Moist air at 30 C with 20 g/kg is about 3.7 K warmer virtually.
    EXPECT_NEAR(virt_temp(303.15f, 20.0f, 1000.0f) - 303.15f, 3.7, 0.1);
    EXPECT_EQ(virt_temp(0.0f, 10.0f, 1000.0f), M);
    EXPECT_EQ(virt_temp(300.0f, -1.0f, 1000.0f), M);
    EXPECT_EQ(virt_temp(300.0f, 10.0f, -1.0f), M);

    EXPECT_FLOAT_EQ(virt_pot_temp(300.0f, 0.0f, 800.0f), pot_temp(300.0f, 800.0f));
    EXPECT_NEAR(virt_pot_temp(290.0f, 12.0f, 1000.0f), virt_temp(290.0f, 12.0f, 1000.0f), 1e-3);
    EXPECT_NEAR(virt_pot_temp(290.0f, 12.0f, 500.0f), pot_temp(virt_temp(290.0f, 12.0f, 500.0f), 500.0f),
                1e-3);
    // A zero pressure has no potential temperature (not an infinite one).
    EXPECT_EQ(virt_pot_temp(290.0f, 12.0f, 0.0f), M);
}

TEST(CalcAdiabats, SaturatedAdiabatFollowsPseudoAdiabat) {
    // The saturated adiabat through a surface temperature at 1000 mb, against
    // a numerical integration of the pseudo-adiabatic lapse rate.
    for (double c : {0.0, 10.0, 20.0, 25.0, 30.0}) {
        const float thetae = thetae_on_satad(float(kelvin(c)), 1000.0f);
        EXPECT_NEAR(temp_on_satad(thetae, 1000.0f), kelvin(c), 0.05) << c;
        for (double p : {850.0, 700.0, 500.0, 300.0})
            EXPECT_NEAR(temp_on_satad(thetae, float(p)), pseudo_adiabat(kelvin(c), 1000.0, p), 0.4)
                << c << " C to " << p << " mb";
    }
}

TEST(CalcAdiabats, SaturatedAdiabatSearchLimits) {
    EXPECT_EQ(temp_on_satad(330.0f, 2001.0f), M);
    EXPECT_EQ(temp_on_satad(330.0f, 0.0f), M);
    EXPECT_EQ(temp_on_satad(0.0f, 500.0f), M);
    EXPECT_NE(temp_on_satad(330.0f, 2000.0f), M);
    // The search makes 12 halvings of its 120 K step at most: an
    // unreachable equivalent potential temperature ends at the top of the
    // search range.
    EXPECT_NEAR(temp_on_satad(1e8f, 1500.0f), 253.16 + 120.0 - 120.0 / 4096.0, 1e-3);
    // Where the search passes temperatures too warm to be saturated at the
    // pressure, it turns back instead of running away.
    const float t = temp_on_satad(600.0f, 50.0f);
    EXPECT_NEAR(thetae_on_satad(t, 50.0f), 600.0f, 1.0f);
    EXPECT_EQ(thetae_on_satad(kelvin(100.5), 1000.0f), M);
    EXPECT_EQ(thetae_on_satad(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(thetae_on_satad(300.0f, 0.0f), 0.0f);
}

TEST(CalcAdiabats, MixingRatioLine) {
    // The temperature at which the saturation mixing ratio is reached, with
    // IAPWS vapour pressures: 10 g/kg at 1000 mb is saturated near 14 C.
    for (double w : {1.0, 5.0, 10.0, 20.0}) {
        for (double p : {1000.0, 700.0, 500.0}) {
            const double t = temp_on_mixrat(float(w), float(p));
            const double e = iapws_es(t);
            EXPECT_NEAR(622.0 * e / (p - e), w, 0.01 * w) << w << " g/kg at " << p;
        }
    }
    EXPECT_EQ(temp_on_mixrat(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(temp_on_mixrat(5.0f, 0.0f), 0.0f);
    // The convective temperature: saturated at 10 g/kg at 850 mb, brought dry
    // adiabatically to 1000 mb.
    const float tc = temp_on_mixrat(10.0f, 850.0f);
    EXPECT_FLOAT_EQ(conv_temp(10.0f, 850.0f, 850.0f), tc);
    EXPECT_NEAR(conv_temp(10.0f, 850.0f, 1000.0f), tc * std::pow(1000.0 / 850.0, 0.286), 1e-3);
}

TEST(CalcCondensation, LclMatchesBolton) {
    const struct {
        double t, td, p;
    } rows[] = {{303.15, 293.15, 1000}, {293.15, 283.15, 1000}, {283.15, 273.15, 900}, {273.15, 263.15, 850},
                {300, 299, 1000},       {310, 280, 950},        {263.15, 253.15, 700}};
    for (const auto &r : rows) {
        const float pl = lcl_pres(float(r.t), float(r.td), float(r.p));
        EXPECT_NEAR(pl, bolton_lcl_pres(r.t, r.td, r.p), 2.0) << r.t << " " << r.td << " " << r.p;
        EXPECT_NEAR(lcl_temp(float(r.t), float(r.p), pl), bolton_lcl_temp(r.t, r.td), 0.3);
        EXPECT_NEAR(eq_pot_temp(float(r.t), float(r.td), float(r.p)), bolton_thetae(r.t, r.td, r.p), 1.0);
    }
    // Saturated air condenses where it is.
    EXPECT_NEAR(lcl_pres(290.0f, 290.0f, 950.0f), 950.0f, 1.0f);
}

TEST(CalcCondensation, Guards) {
    const struct {
        float ts, tds, ps;
    } rows[] = {{100, 280, 1000}, {290, 100, 1000}, {290, 280, 0}, {290, 280, 1101}, {M, 280, 1000}};
    for (const auto &r : rows)
        EXPECT_EQ(lcl_pres(r.ts, r.tds, r.ps), M) << r.ts << " " << r.tds << " " << r.ps;
    EXPECT_NE(lcl_pres(290.0f, 280.0f, 1100.0f), M);

    EXPECT_FLOAT_EQ(eq_pot_temp(290.0f, 0.0f, 850.0f), pot_temp(290.0f, 850.0f));
    EXPECT_EQ(eq_pot_temp(0.0f, 280.0f, 850.0f), M);
    EXPECT_EQ(eq_pot_temp(290.0f, -1.0f, 850.0f), M);
    EXPECT_EQ(eq_pot_temp(290.0f, 280.0f, -1.0f), M);
    // A humidity with no condensation level gives no value rather than 0.
    EXPECT_EQ(eq_pot_temp(290.0f, 50.0f, 850.0f), M);
    EXPECT_EQ(eq_pot_temp(290.0f, 280.0f, 1200.0f), M);
}

TEST(CalcCondensation, WetBulbMatchesPsychrometer) {
    const struct {
        double c, rh;
    } rows[] = {{20, 50}, {30, 40}, {10, 80}, {25, 90}, {35, 20}, {0, 60}, {40, 30}, {-10, 70}};
    for (const auto &r : rows) {
        const double t = kelvin(r.c);
        const float td = dew_of(t, r.rh);
        EXPECT_NEAR(wet_bulb(float(t), td, 1000.0f), psychrometric_wet_bulb(t, td, 1000.0), 0.4)
            << r.c << " C " << r.rh << " %";
    }
    // Saturated air is at its wet-bulb temperature.
    EXPECT_NEAR(wet_bulb(288.15f, 288.15f, 1000.0f), 288.15f, 0.1f);
    // The wet-bulb potential temperature is the wet-bulb temperature brought
    // to 1000 mb along the saturated adiabat.
    const float thetae = eq_pot_temp(285.0f, 275.0f, 800.0f);
    EXPECT_FLOAT_EQ(wet_bulb_pot_temp(285.0f, 275.0f, 800.0f), temp_on_satad(thetae, 1000.0f));
    EXPECT_FLOAT_EQ(wet_bulb_pot_temp(295.0f, 285.0f, 1000.0f), wet_bulb(295.0f, 285.0f, 1000.0f));

    EXPECT_EQ(wet_bulb(290.0f, 0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(wet_bulb_pot_temp(290.0f, 0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(wet_bulb(0.0f, 280.0f, 1000.0f), M);
    EXPECT_EQ(wet_bulb_pot_temp(290.0f, -2.0f, 1000.0f), M);
    EXPECT_EQ(wet_bulb(290.0f, 50.0f, 1000.0f), M);
}

TEST(CalcLevels, InterpolationInLogPressure) {
    const struct {
        float t1, t2, p1, p2, pr, want;
    } rows[] = {
        {280, M, 1000, 900, 950, 280},
        {M, 270, 1000, 900, 950, 270},
        {M, M, 1000, 900, 950, M},
        {280, 270, 0, 900, 950, M},
        {280, 270, 1000, -1, 950, M},
        {280, 270, 1000, 900, 1000, 280},
        {280, 270, 1000, 900, 900, 270},
        // Halfway in ln p is the geometric mean of the pressures.
        {280, 270, 1000, 810, 900, 275},
        // Beyond the layer the line goes on.
        {280, 270, 1000, 900, 810, 260},
        // No logarithm of a pressure of 0, no slope in a layer without depth.
        {280, 270, 1000, 900, 0, M},
        {280, 270, 900, 900, 900, M},
    };
    for (const auto &r : rows)
        EXPECT_NEAR(interp_temp(r.t1, r.t2, r.p1, r.p2, r.pr), r.want, 1e-3)
            << r.t1 << " " << r.t2 << " " << r.p1 << " " << r.p2 << " " << r.pr;
}

TEST(CalcLevels, StandardAtmosphere) {
    // ICAO standard atmosphere: pressure (mb) and its altitude (m).
    const struct {
        float p, z;
    } rows[] = {{1013.25, 0}, {850, 1457},     {700, 3012},  {500, 5574},  {300, 9164},
                {250, 10363}, {226.32, 11000}, {200, 11784}, {100, 16180}, {50, 20576}};
    for (const auto &r : rows)
        EXPECT_NEAR(pres_alt(r.p), r.z, 2.0) << r.p;
    // Station pressure from a standard altimeter setting is the standard
    // pressure at the station's height.
    const struct { float z, p; } heights[] = {{0, 1013.25}, {1000, 898.76}, {2000, 795.01}, {3000, 701.21}};
    for (const auto &h : heights) {
        EXPECT_NEAR(sfc_pr_alt(1013.25f, h.z), h.p, 0.2) << h.z;
        EXPECT_NEAR(pres_alt(sfc_pr_alt(1013.25f, h.z)), h.z, 2.0) << h.z;
    }
    // An altimeter setting scales the station pressure.
    EXPECT_NEAR(sfc_pr_alt(1030.0f, 500.0f) / sfc_pr_alt(1000.0f, 500.0f), 1.03, 1e-5);
    EXPECT_EQ(sfc_pr_alt(0.0f, 100.0f), M);
    EXPECT_EQ(sfc_pr_alt(1013.0f, M), M);
    EXPECT_EQ(sfc_pr_alt(1013.0f, 50000.0f), M);
    EXPECT_EQ(pres_alt(0.0f), M);
    EXPECT_EQ(pres_alt(M), M);
}

TEST(CalcComfort, WindChillTemperatureMatchesTable) {
    // Environment Canada wind-chill table (C, km/h): the power-law index.
    const struct {
        double c, kmh, want;
    } rows[] = {{-10, 20, -18}, {0, 10, -3}, {-20, 30, -33}, {-30, 50, -49}, {5, 40, -1}};
    for (const auto &r : rows)
        EXPECT_NEAR(wind_chill_temp2(float(kelvin(r.c)), float(r.kmh / 3.6)), kelvin(r.want), 0.6)
            << r.c << " C " << r.kmh << " km/h";
    // Never above the temperature, even in light wind.
    for (float ws : {0.0f, 0.5f, 1.0f, 3.0f, 20.0f})
        for (float t : {240.0f, 273.15f, 290.0f, 310.0f})
            EXPECT_LE(wind_chill_temp2(t, ws), t) << t << " " << ws;
    EXPECT_EQ(wind_chill_temp2(-1.0f, 5.0f), M);
    EXPECT_EQ(wind_chill_temp2(270.0f, -1.0f), M);
}

TEST(CalcComfort, WindChillOfTheHeatLossIndex) {
    // Equivalent temperature of the heat-loss index: calm and hot air keep
    // the temperature; the speed is limited to 26 m/s.
    EXPECT_EQ(wind_chill_temp(270.0f, 1.0f), 270.0f);
    EXPECT_EQ(wind_chill_temp(310.0f, 10.0f), 310.0f);
    EXPECT_EQ(wind_chill_temp(270.0f, 30.0f), wind_chill_temp(270.0f, 26.0f));
    EXPECT_NEAR(wind_chill_temp(263.15f, 10.0f),
                306.15 - (0.474266 + 0.453843 * std::sqrt(10.0) - 0.0453843 * 10.0) * 43.0, 1e-3);
    EXPECT_EQ(wind_chill_temp(-1.0f, 5.0f), M);
    EXPECT_EQ(wind_chill_temp(270.0f, -1.0f), M);

    // The index itself (W/m^2): -10 C in 10 m/s loses 1379 kcal/m^2/h.
    EXPECT_NEAR(wind_chill(263.15f, 10.0f), 1379.1 * 1.1627, 1.0);
    EXPECT_EQ(wind_chill(263.15f, 30.0f), wind_chill(263.15f, 26.0f));
    EXPECT_GT(wind_chill(253.15f, 10.0f), wind_chill(263.15f, 10.0f));
    // Where the index is not defined there is no value, not the temperature.
    const struct {
        float t, ws;
    } undefined[] = {{263.15f, 1.9f}, {263.15f, 0.0f}, {307.0f, 10.0f}, {-1.0f, 5.0f}, {270.0f, -1.0f}};
    for (const auto &u : undefined)
        EXPECT_EQ(wind_chill(u.t, u.ws), M) << u.t << " " << u.ws;
    EXPECT_NE(wind_chill(306.15f, 2.0f), M);
}

TEST(CalcComfort, HeatIndexMatchesNwsRegression) {
    // The NWS (Rothfusz) regression in degrees F and % is an independent fit
    // of the same apparent-temperature tables.
    auto rothfusz = [](double t, double r) {
        return -42.379 + 2.04901523 * t + 10.14333127 * r - 0.22475541 * t * r - 0.00683783 * t * t -
               0.05481717 * r * r + 0.00122874 * t * t * r + 0.00085282 * t * r * r -
               0.00000199 * t * t * r * r;
    };
    for (double f : {80.0, 85.0, 90.0, 95.0, 100.0}) {
        for (double rh : {40.0, 50.0, 60.0}) {
            const double t = kelvin((f - 32.0) * 5.0 / 9.0);
            const double hi = heat_index(float(t), dew_of(t, rh));
            EXPECT_NEAR(32.0 + 9.0 * (hi - 273.15) / 5.0, rothfusz(f, rh), 2.5) << f << " F " << rh << " %";
        }
    }
    // A cool humid case below the 77 F estimate returns the estimate.
    const float t = 293.15f, td = 288.15f;
    const double rh = 100.0 * vapor_pr(td) / vapor_pr(t);
    const double a = 60.8 + 1.2 * (68.0 - 68.0) + 0.0936 * rh;
    EXPECT_NEAR(heat_index(t, td), 273.15 + 5.0 * (a - 32.0) / 9.0, 1e-3);
    EXPECT_EQ(heat_index(300.0f, 305.0f), M);
    EXPECT_EQ(heat_index(-1.0f, 280.0f), M);
    EXPECT_EQ(heat_index(300.0f, -1.0f), M);
    EXPECT_EQ(heat_index(90.0f, 80.0f), M);
}

TEST(CalcComfort, HumitureAndThi) {
    const float t = 303.15f; // 86 F
    EXPECT_NEAR(humiture(t, temp_vapor_pr(20.0f)), 86.0, 1e-3);
    EXPECT_NEAR(humiture(t, temp_vapor_pr(25.0f)), 90.0, 0.06);
    EXPECT_EQ(humiture(-1.0f, 280.0f), M);
    EXPECT_EQ(humiture(300.0f, -1.0f), M);
    EXPECT_FLOAT_EQ(temp_hum_index(300.0f, 290.0f), 240.5f);
    EXPECT_EQ(temp_hum_index(-1.0f, 290.0f), M);
    EXPECT_EQ(temp_hum_index(300.0f, -1.0f), M);
}

// Geodesic distances (km) from PROJ's geod on the WGS84 ellipsoid, one line
// per "lat1 lon1 lat2 lon2" row.
std::vector<double> geod_distances(const std::vector<std::vector<float>> &rows) {
    std::vector<double> out;
    if (std::system("command -v geod >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "geod not found: install the Debian package proj-bin";
        return out;
    }
    char name[] = "/tmp/zeqgeod.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        ADD_FAILURE() << "no temporary file";
        return out;
    }
    FILE *f = fdopen(fd, "w");
    for (const auto &r : rows)
        std::fprintf(f, "%.6f %.6f %.6f %.6f\n", r[0], r[1], r[2], r[3]);
    std::fclose(f);
    const std::string cmd = std::string("geod +ellps=WGS84 -I +units=km -f %.6f ") + name;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, p) != nullptr) {
            std::istringstream in(line);
            double az1, az2, dist;
            if (in >> az1 >> az2 >> dist) out.push_back(dist);
        }
        EXPECT_EQ(pclose(p), 0) << cmd;
    }
    std::remove(name);
    EXPECT_EQ(out.size(), rows.size()) << "geod gave a short answer";
    return out;
}

TEST(CalcEarth, DistanceMatchesGeod) {
    const std::vector<std::vector<float>> rows = {
        {51.47f, -0.45f, 40.64f, -73.78f},                                    // London - New York
        {-33.95f, 151.18f, 35.55f, 139.78f},                                  // Sydney - Tokyo
        {39.86f, -104.67f, 32.90f, -97.04f},                                  // Denver - Dallas
        {64.82f, -147.86f, 61.17f, -150.0f},                                  // Fairbanks - Anchorage
        {0.0f, 0.0f, 0.0f, 90.0f},           {10.0f, 170.0f, -5.0f, -175.0f}, // across the date line
        {45.0f, 10.0f, 45.1f, 10.1f},                                         // short
        {-60.0f, -70.0f, 70.0f, 100.0f},
    };
    const std::vector<double> want = geod_distances(rows);
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(calc_earth_dist(rows[i][0], rows[i][1], rows[i][2], rows[i][3]), want[i], 0.005 * want[i])
            << i;
}

TEST(CalcEarth, QuarterCircleAndSamePoint) {
    EXPECT_NEAR(calc_earth_dist(0, 0, 0, 90), 10008.0, 1.0);
    EXPECT_EQ(calc_earth_dist(45, 10, 45, 10), 0.0f);
    EXPECT_EQ(calc_earth_dist(-33.3f, 151.1f, -33.3f, 151.1f), 0.0f);
    EXPECT_NEAR(calc_earth_dist(90, 0, -90, 0), 100.0 * 63.713 * 3.14159265, 1.0);
    // Symmetric.
    EXPECT_FLOAT_EQ(calc_earth_dist(12, 34, -56, 78), calc_earth_dist(-56, 78, 12, 34));
}

} // namespace

// ---- Calculator function names ------------------------------------------------

namespace {

TEST(CalcNames, MathFunctionsGiveTheirPlotType) {
    EXPECT_EQ(GRD_is_math_func("thetae-thte"), 10);
    EXPECT_EQ(GRD_is_math_func("thetae"), 10);
    EXPECT_EQ(GRD_is_math_func("sqrt-"), 10);
    EXPECT_EQ(GRD_is_math_func("adv"), 10);
    EXPECT_EQ(GRD_is_math_func("wind"), 20);
    EXPECT_EQ(GRD_is_math_func("vect-uv"), 21);
    EXPECT_EQ(GRD_is_math_func("strm"), 23);
    EXPECT_EQ(GRD_is_math_func("stream"), 23);
    // Evaluated by the calculator but not listed, other case, other names.
    EXPECT_EQ(GRD_is_math_func("grad"), 0);
    EXPECT_EQ(GRD_is_math_func("smooth"), 0);
    EXPECT_EQ(GRD_is_math_func("Thetae"), 0);
    EXPECT_EQ(GRD_is_math_func("the"), 0);
    EXPECT_EQ(GRD_is_math_func("-thetae"), 0);
    EXPECT_EQ(GRD_is_math_func(""), 0);
    EXPECT_EQ(GRD_is_math_func(nullptr), 0);
}

TEST(CalcNames, VectorValuedAndPlotOnlyFunctions) {
    EXPECT_EQ(GRD_is_vect_func("vdiff"), 1);
    EXPECT_EQ(GRD_is_vect_func("grad-hgrd"), 1);
    EXPECT_EQ(GRD_is_vect_func("gradx"), 0);
    EXPECT_EQ(GRD_is_vect_func("mag"), 0);
    EXPECT_EQ(GRD_is_vect_func(nullptr), 0);
    for (const char *f : {"wind", "vect", "stream", "strm", "wind-spd"})
        EXPECT_EQ(GRD_is_plot_func(f), 1) << f;
    for (const char *f : {"windx", "barb", "WIND", "", "grad"})
        EXPECT_EQ(GRD_is_plot_func(f), 0) << f;
}

} // namespace
