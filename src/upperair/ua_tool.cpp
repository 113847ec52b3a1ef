// Upper-air input tools and listings: the input file with its header and
// date, station choice, the vertical level menu, and the listings of reports
// and rows of the sounding tables. File-static state: the input descriptor,
// header and date, the station count and the two prompt switches, the level
// menu with its row texts, and the dash switch of the table rows.
#include "upperair/ua_tool.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "fields/calc.h"
#include "plot/vecttool.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

UPA_info info{}; // header of the input file; its datim is the current date label

bool miss_dash = false; // table rows print missing values as "-"

bool known(float v) {
    return !is_missing(v);
}

// A value of a row in its format, or the missing text of its column.
void column(M_type mess, float v, const char *format, const char *blank, const char *dash) {
    if (known(v))
        MESS_print(mess, format, static_cast<double>(v));
    else
        MESS_print(mess, "%s", miss_dash ? dash : blank);
}

// Wind rows always leave missing values blank.
void wind_column(M_type mess, float v, const char *format, const char *blank) {
    if (known(v))
        MESS_print(mess, format, static_cast<double>(v));
    else
        MESS_print(mess, "%s", blank);
}

float to_kelvin(float c) {
    return known(c) ? c + 273.15f : FMISSING;
}

// A formula's result in degrees Celsius.
float to_celsius(float k) {
    return known(k) ? k - 273.15f : FMISSING;
}

int clamp_count(int n, int max) {
    return n < 0 ? 0 : (n > max ? max : n);
}

void station_line(M_type mess, const UPA_report &r) {
    MESS_print(mess, "STA: %5s WMO: %05ld LAT: %7.2f LON: %7.2f\n", r.id, static_cast<long>(r.wmo),
               static_cast<double>(r.lat), static_cast<double>(r.lon));
}

// Two columns over n entries: the first half (one more for odd n) on the
// left, the rest on the right; print(i, last) prints entry i, last ending
// the line.
template <class Print> void two_columns(int n, Print print) {
    const int k = (n + 1) / 2;
    for (int j = 0; j < n / 2; ++j) {
        print(j, false);
        print(j + k, true);
    }
    if (n % 2 == 1) print(k - 1, true);
}

void man_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "     Press    Height   Temp    Dewpt     Dir    Spd\n");
    for (int slot = 0; slot < UPA_MAX_MAN; ++slot) {
        const UPA_level &l = r.man[slot];
        if (!known(l.p)) continue;
        const char *label = slot == UPA_SLOT_SFC    ? "SFC  "
                            : slot == UPA_SLOT_TROP ? "TROP "
                            : slot == UPA_SLOT_MAXW ? "MWND "
                                                    : "     ";
        MESS_print(mess, "%s%6.1f  %7.0f  %7.1f %7.1f  %6.0f %6.0f\n", label, static_cast<double>(l.p),
                   static_cast<double>(l.h), static_cast<double>(l.t), static_cast<double>(l.td),
                   static_cast<double>(l.dir), static_cast<double>(l.spd));
    }
}

void sig_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "Press    Temp    Dewpt     Press    Temp    Dewpt\n");
    two_columns(clamp_count(r.numsig, UPA_MAX_SIG), [&](int i, bool last) {
        const UPA_sig_level &s = r.sig[i];
        MESS_print(mess, last ? "%6.1f  %7.1f %7.1f\n" : "%6.1f  %7.1f %7.1f    ", static_cast<double>(s.p),
                   static_cast<double>(s.t), static_cast<double>(s.td));
    });
}

void wnd_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "Height    Dir    Spd     Height    Dir    Spd\n");
    two_columns(clamp_count(r.numwnd, UPA_MAX_WND), [&](int i, bool last) {
        const UPA_wind_level &w = r.wnd[i];
        MESS_print(mess, last ? "%6.0f  %6.0f %6.0f\n" : "%6.0f  %6.0f %6.0f    ", static_cast<double>(w.h),
                   static_cast<double>(w.dir), static_cast<double>(w.spd));
    });
}

constexpr const char *RULE39 = "---------------------------------------";
constexpr const char *RULE40 = "----------------------------------------";
constexpr const char *RULE36 = "------------------------------------";

void level_rules(M_type mess1, M_type mess2) {
    MESS_print(mess1, "%s", RULE39);
    MESS_print(mess2, "%s", RULE40);
    MESS_print(mess1, "\n");
}

void level_header(M_type mess1, M_type mess2) {
    level_rules(mess1, mess2);
    MESS_print(mess1, "LEV PRES  HGHT  TEMP  DEWP  RH ");
    MESS_print(mess2, " DD   WETB ");
    MESS_print(mess1, "DIR SPD");
    MESS_print(mess2, " THETA THE-V THE-W THE-E   W");
    MESS_print(mess1, "\n");
    MESS_print(mess1, "     mb     m     C     C    %% ");
    MESS_print(mess2, "  C     C  ");
    MESS_print(mess1, "deg knt");
    MESS_print(mess2, "   K     K     K     K    g/kg");
    MESS_print(mess1, "\n");
    level_rules(mess1, mess2);
}

// The label of a table row.
void level_label(M_type mess, int ind, float p) {
    switch (ind) {
    case -1:
        if (known(p) && p > 500) {
            MESS_print(mess, "SFC ");
            return;
        }
        break;
    case -2:
        MESS_print(mess, "TRP ");
        return;
    case -3:
        MESS_print(mess, "WND ");
        return;
    case -4:
        MESS_print(mess, "PAR ");
        return;
    case -5:
        MESS_print(mess, "LCL ");
        return;
    case -6:
        MESS_print(mess, "LFC ");
        return;
    case -7:
        MESS_print(mess, " EL ");
        return;
    case -8:
        MESS_print(mess, "MPL ");
        return;
    case -9:
        MESS_print(mess, "WBZ ");
        return;
    case -10:
        MESS_print(mess, "FRZ ");
        return;
    default:
        break;
    }
    MESS_print(mess, "%3d ", ind);
}

void wind_header(M_type mess1, M_type mess2, const WIND *storm) {
    const bool rel = storm != nullptr && known(storm->dir);
    // The storm-relative half continues each line on mess2.
    auto end = [&](const char *rel_text) {
        if (rel)
            MESS_print(mess2, "%s", rel_text);
        else
            MESS_print(mess1, "\n");
    };
    MESS_print(mess1, "\nWind level data\n");
    if (rel)
        MESS_print(mess2, "   Storm motion: %3.0f at %3.0f knt\n", static_cast<double>(storm->dir),
                   static_cast<double>(storm->spd));
    MESS_print(mess1, "%s", RULE36);
    end("----------------------\n");
    MESS_print(mess1, "                   TRUE/GROUND REL   ");
    end("|     STORM REL\n");
    MESS_print(mess1, " LEV   P    H    DIR SPD   U     V   ");
    end("| DIR SPD   U     V\n");
    MESS_print(mess1, "       mb   m        knt     m/s     ");
    end("|     knt     m/s\n");
    MESS_print(mess1, "%s", RULE36);
    end("----------------------\n");
}

float in_ms(float knots) {
    return known(knots) ? knots * UPA_KNOT_TO_MS : FMISSING;
}

} // namespace

// ---- Date label -----------------------------------------------------------------------

int UPA_set_datim(const char *str) {
    copy_text(info.datim, str);
    return 0;
}

const char *UPA_get_datim() {
    return info.datim;
}

// ---- Listings -----------------------------------------------------------------------

int UPA_print_locate(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    const UPA_report &r = *report;
    MESS_print(mess, "Date:%s\n", info.datim);
    MESS_print(mess, "Station: %s\n", r.id);
    if (!is_missing(r.wmo)) MESS_print(mess, "WMO ident: %6ld\n", static_cast<long>(r.wmo));
    if (known(r.lat)) MESS_print(mess, "Latitude:  %6.2f\n", static_cast<double>(r.lat));
    if (known(r.lon)) MESS_print(mess, "Longitude: %6.2f\n", static_cast<double>(r.lon));
    if (known(r.elev)) MESS_print(mess, "Elevation: %6.2f\n", static_cast<double>(r.elev));
    return 0;
}

int UPA_print_report(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    man_listing(mess, *report);
    sig_listing(mess, *report);
    wnd_listing(mess, *report);
    MESS_print(mess, "\n");
    return 0;
}

int UPA_print_man(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    man_listing(mess, *report);
    return 0;
}

int UPA_print_sig(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    sig_listing(mess, *report);
    return 0;
}

int UPA_print_wnd(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    wnd_listing(mess, *report);
    MESS_print(mess, "\n");
    return 0;
}

// ---- Table rows ------------------------------------------------------------------------

int UPA_set_miss_dash() {
    miss_dash = true;
    return 0;
}

int UPA_print_level(M_type mess1, M_type mess2, int ind, const UPA_level *level) {
    if (level == nullptr) {
        level_header(mess1, mess2);
        return 0;
    }
    const UPA_level &l = *level;
    const float t = to_kelvin(l.t), td = to_kelvin(l.td), p = l.p;
    constexpr const char *B6 = "      ", *D6 = "    - ";
    constexpr const char *B4 = "    ", *D4 = "  - ";

    level_label(mess1, ind, p);
    column(mess1, p, known(p) && p < 10 ? "%4.1f " : "%4.0f ", "     ", "   - ");
    column(mess1, l.h, "%5.0f ", B6, D6);
    column(mess1, l.t, "%5.1f ", B6, D6);
    column(mess1, l.td, "%5.1f ", B6, D6);
    column(mess1, rel_hum(t, td), "%3.0f ", B4, D4);
    column(mess2, known(l.t) && known(l.td) ? l.t - l.td : FMISSING, "%4.1f ", "     ", "   - ");
    column(mess2, to_celsius(wet_bulb(t, td, p)), "%5.1f ", B6, D6);
    column(mess1, l.dir, "%3.0f ", B4, D4);
    column(mess1, l.spd, "%3.0f ", B4, D4);
    column(mess2, pot_temp(t, p), "%5.1f ", B6, D6);
    column(mess2, virt_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, wet_bulb_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, eq_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, mix_ratio(td, p), "%5.2f", "     ", "    -");
    MESS_print(mess1, "\n");
    return 0;
}

int UPA_print_wind(M_type mess1, M_type mess2, int ind, const UPA_level *level, const WIND *storm) {
    if (level == nullptr) {
        wind_header(mess1, mess2, storm);
        return 0;
    }
    const UPA_level &l = *level;
    float u, v, us = FMISSING, vs = FMISSING;
    wind2vect(l.dir, l.spd, &u, &v); // knots, missing with the wind
    if (storm != nullptr) wind2vect(storm->dir, storm->spd, &us, &vs);

    MESS_print(mess1, "%3d  ", ind);
    wind_column(mess1, l.p, "%4.0f ", "     ");
    wind_column(mess1, l.h, "%5.0f  ", "       ");
    wind_column(mess1, l.dir, "%3.0f ", "    ");
    wind_column(mess1, l.spd, "%3.0f ", "    ");
    // The components are shown in m/s, as the header says.
    wind_column(mess1, in_ms(u), "%5.1f ", "      ");
    wind_column(mess1, in_ms(v), "%5.1f", "     ");
    if (!known(u) || !known(us)) {
        MESS_print(mess1, "\n");
        return 0;
    }
    const float du = u - us, dv = v - vs;
    float rdir, rspd;
    vect2wind(du, dv, &rdir, &rspd);
    if (known(rdir))
        MESS_print(mess2, " | %3.0f ", static_cast<double>(rdir));
    else
        MESS_print(mess2, " |     ");
    wind_column(mess2, rspd, "%3.0f ", "    ");
    if (known(rdir)) {
        MESS_print(mess2, "%5.1f ", static_cast<double>(in_ms(du)));
        MESS_print(mess2, "%5.1f ", static_cast<double>(in_ms(dv)));
    } else {
        MESS_print(mess2, "%s", "            ");
    }
    MESS_print(mess2, "\n");
    return 0;
}
