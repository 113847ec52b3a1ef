// Records shared by the upper-air and thermodynamics modules and their users:
// sounding levels, radiosonde station reports as their files hold them, the
// header of an upper-air file, winds, and the upper-air file type codes.
#pragma once

#include "runtime/zeq.h"

// One sounding level; -9999 marks a missing value.
struct UPA_level {
    float p;   // pressure (mb)
    float h;   // height above sea level (m)
    float t;   // temperature (degrees Celsius)
    float td;  // dew point (degrees Celsius)
    float dir; // direction the wind blows from (degrees)
    float spd; // wind speed (knots)
};

// One significant temperature level (mb, degrees Celsius).
struct UPA_sig_level {
    float p;
    float t;
    float td;
};

// One wind level: height in feet above sea level (0 is the surface wind),
// direction in degrees, speed in knots.
struct UPA_wind_level {
    float h;
    float dir;
    float spd;
};

// Slots of UPA_report::man.
inline constexpr int UPA_SLOT_SFC = 0;    // surface; height = station height
inline constexpr int UPA_SLOT_1000 = 1;   // 1 to 16: 1000 ... 10 mb (UPA_mandatory)
inline constexpr int UPA_SLOT_ABOVE = 17; // 17 to 21: levels above 10 mb in file order
inline constexpr int UPA_SLOT_TROP = 22;  // tropopause: no height in any file
inline constexpr int UPA_SLOT_MAXW = 23;  // maximum wind: pressure and wind only
inline constexpr int UPA_SLOT_SPARE = 24;

inline constexpr int UPA_MAX_MAN = 25;
inline constexpr int UPA_MAX_SIG = 200;
inline constexpr int UPA_MAX_WND = 100;

// One radiosonde station report, as its file holds it. Every float is -9999
// when missing. Units: mb, metres in man, feet in wnd, degrees Celsius,
// degrees, knots.
struct UPA_report {
    char id[11];   // station identifier, at most 10 characters
    char area[11]; // region or area code
    int wmo;       // WMO station number
    float lat;     // degrees north
    float lon;     // degrees east
    float elev;    // station elevation (m)
    int time;      // observation time as the producer sets it (no reader fills it)
    int type;      // report kind as the producer sets it (no file stores it)
    UPA_level man[UPA_MAX_MAN];
    int numman; // mandatory count as the file type sets it; nonzero: mandatory data present
    UPA_sig_level sig[UPA_MAX_SIG];
    int numsig; // valid entries of sig, decreasing pressure
    UPA_wind_level wnd[UPA_MAX_WND];
    int numwnd; // valid entries of wnd, increasing height
};

// The header of an upper-air file.
struct UPA_info {
    char datim[40];      // date label (at most 39 characters)
    char file[20];       // date key, the global attribute "yymmddhh" of netCDF files
    const char *cmdline; // history text of new netCDF files; null: the default text
    Date date;           // the date decoded from datim
};

// Knots to metres per second.
inline constexpr float UPA_KNOT_TO_MS = 0.5144f;

// A wind: direction (degrees) and speed (knots).
struct WIND {
    float dir;
    float spd;
};

// Upper-air file types.
inline constexpr int UPA_TEXT_OLD4 = 1;    // older coded text: 4 mandatory levels, fixed wind heights
inline constexpr int UPA_TEXT_OLD8 = 2;    // older coded text: 8 mandatory levels, fixed wind heights
inline constexpr int UPA_TEXT = 3;         // "ZEQUPA" fixed-length coded text
inline constexpr int UPA_TEXT_VAR = 4;     // "ZEQUPA+" variable-length coded text, blocks end with "$"
inline constexpr int UPA_TEXT_POS = 5;     // "ZEQUPAx": as 4 with WMO number and position in the token
inline constexpr int UPA_CDF_STATION = 11; // netCDF, record dimension "station", knots and feet
inline constexpr int UPA_CDF_REPORT = 12;  // netCDF, record dimension "report", m/s and metres
inline constexpr int UPA_BINARY = 41;      // binary records of selected levels (written only)
inline constexpr int UPA_XML = 51;         // XML document (written only)

// Reading modes of UPA_read: 1 to 16 a mandatory slot, 22 the tropopause and
// 23 the maximum wind (each returned in slot 0) are the single-level modes.
inline constexpr int UPA_READ_SFC = 0;      // the surface level in slot 0
inline constexpr int UPA_READ_ALL = 30;     // the whole report
inline constexpr int UPA_READ_TOKEN = 31;   // station identification only
inline constexpr int UPA_READ_STATION = 32; // netCDF: the station part only

// ---- The current sounding's index record ------------------------------------------
// Every float is -9999 when missing.

// The theta-e index: the largest decrease of equivalent potential
// temperature (K) over a layer (base and top pressures, mb), and the extreme
// values met with their pressures.
struct THETAE_params {
    float index;
    float base;
    float top;
    float max;
    float maxp;
    float min;
    float minp;
};

// A parcel ascent: the equivalent potential temperature of the parcel's
// saturated adiabat (K), the lifting condensation level (mb) and its
// temperature, the cap (Celsius), the levels of free convection, equilibrium
// and maximum parcel ascent (mb; lfc -1 when the parcel never becomes free),
// buoyant energies (J/kg) and the maximum vertical velocity (m/s).
struct PARCEL_params {
    float Satad;
    float plcl;
    float tlcl;
    float cap;
    float lfc;
    float el;
    float mpl;
    float Bel;
    float Bmpl;
    float Bplus;
    float Bminus;
    float wmax;
};

// Storm-relative helicity: directional shear (degrees), positive, negative
// and total helicity (m^2/s^2), mean helicity (m/s^2), relative helicity,
// horizontal and streamwise vorticity (1/s).
struct HELICITY_params {
    float dir_shr;
    float pos_hel;
    float neg_hel;
    float tot_hel;
    float ave_hel;
    float rel_hel;
    float hor_vort;
    float stm_vort;
};

// Veering and backing shear (1/s).
struct SHEAR_params {
    float pos_shr;
    float neg_shr;
};

// The indices of the current sounding.
struct THERM_values {
    int wmo;   // WMO station number
    float lat; // station position and height
    float lon;
    float elev;
    float plcl;    // surface-parcel lifting condensation level, mb
    float tlcl;    // its temperature, K
    float frz;     // freezing level, mb (-1: the sounding starts below freezing)
    float wb0;     // wet-bulb zero level, mb (-1 below ground)
    float lapse57; // 700-500 mb lapse rate, Celsius per km
    float max_t;   // estimated maximum temperature, Celsius
    float precip;  // precipitable water, inches
    float mean_rh; // surface-500 mb mean relative humidity, %
    float thick;   // 1000-500 mb thickness, m
    THETAE_params thetae;
    float ccl;  // convective condensation level, mb (-1 none)
    float wbar; // mean mixing ratio used for it, g/kg
    float ct;   // convective temperature, K
    float li;   // lifted index, Celsius
    float cap;  // cap strength, Celsius
    float si;   // Showalter index, Celsius
    float tt;   // Total Totals index
    float k;    // K index
    float sweat;
    float ei;          // energy index
    UPA_level par_lev; // parcel level slot (not used)
    PARCEL_params parcel;
    HELICITY_params helicity; // 0-3000 m
    SHEAR_params shear;       // 0-3000 m
    float brn;                // bulk Richardson number
    float bshear;             // bulk shear, m/s
    float ehi;                // energy-helicity index
};

// Vertical coordinate codes of the sounding tools (level types of the
// variable language).
inline constexpr int UPA_COORD_SFC = 1;     // the surface of the current sounding
inline constexpr int UPA_COORD_PRES = 100;  // pressure, mb
inline constexpr int UPA_COORD_HGHT = 103;  // height above sea level, m
inline constexpr int UPA_COORD_THETA = 113; // potential temperature, K

// The three groups of coordinate codes: pressure (1, 100, 101, 102, 115,
// 116), height (103 to 106) and potential temperature (113, 114).
inline constexpr bool UPA_is_pres_coord(int coord) {
    return coord == 1 || coord == 100 || coord == 101 || coord == 102 || coord == 115 || coord == 116;
}
inline constexpr bool UPA_is_hght_coord(int coord) {
    return coord >= 103 && coord <= 106;
}
inline constexpr bool UPA_is_theta_coord(int coord) {
    return coord == 113 || coord == 114;
}
