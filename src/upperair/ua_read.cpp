// Upper-air file access: type detection, opening, headers, rewinding and
// closing of the one open upper-air file; the coded groups and the text
// blocks of types 1 to 5 and the records of the two netCDF conventions,
// written and read by station number; the written-only binary records and
// XML documents. File-static state: the open stream or
// netCDF id, its type, access and name, the text reading position with the
// block last read and the header line, the netCDF variable ids, record count
// and longitude convention, and the group encoders' buffer.
#include "upperair/ua_read.h"
#include "upperair/ua_read_int.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/tools.h"
#include "surface/cdf.h"

namespace {

FILE *cvt_file = nullptr;
int file_type = 0;
int file_access = 0;
std::string file_name;
bool write_failed = false; // a write to the open file failed (warned once)
bool seekable = true;      // the stream can go back (not a pipe or terminal)

// Reading a text file: the stream stands at the block of station stat_num
// (-1: before the header); last_block holds station last_num as read.
int stat_num = -1;
int last_num = -1;
std::string header_datim; // the date line last read from the header

char encd_str[10] = "";

bool known(float v) {
    return v != FMISSING;
}

bool is_text_type(int type) {
    return type >= UPA_TEXT_OLD4 && type <= UPA_TEXT_POS;
}
bool is_cdf_type(int type) {
    return type == UPA_CDF_STATION || type == UPA_CDF_REPORT;
}
bool is_old_type(int type) {
    return type == UPA_TEXT_OLD4 || type == UPA_TEXT_OLD8;
}

// Copies text into a caller's buffer of size bytes, cut to fit and terminated.
void copy_str(char *dst, std::size_t size, std::string_view text) {
    const std::size_t n = std::min(text.size(), size - 1);
    if (n > 0) std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}

void warn_write(const char *func) {
    if (!write_failed)
        MESS_print(M_WARN, "%s: Unable to write the upper-air file %s\n", func, file_name.c_str());
    write_failed = true;
}

// ---- Group coders -----------------------------------------------------------------

// A scanf-like integer of at most `width` characters at pos (a sign counts
// toward the width when allowed); false when no digit is there.
bool scan_int(std::string_view s, std::size_t &pos, int width, bool sign, int &v) {
    std::size_t j = pos;
    bool neg = false;
    if (sign && j < s.size() && (s[j] == '-' || s[j] == '+')) neg = s[j++] == '-';
    int value = 0, digits = 0;
    while (j < s.size() && static_cast<int>(j - pos) < width &&
           std::isdigit(static_cast<unsigned char>(s[j]))) {
        value = value * 10 + (s[j++] - '0');
        ++digits;
    }
    if (digits == 0) return false;
    v = neg ? -value : value;
    pos = j;
    return true;
}

std::string_view text_of(const char *str) {
    return str == nullptr ? std::string_view() : std::string_view(str);
}

// The height of a PPhhh group from its three digits and decoded pressure.
float group_height(float p, int h) {
    const int p_int = static_cast<int>(p);
    const bool high = h > 500;
    switch (p_int) {
    case 0:
        return static_cast<float>(h >= 500 ? 500 - h : h);
    case 850:
        return static_cast<float>(h + 1000);
    case 700:
        return static_cast<float>(h + (high ? 2000 : 3000));
    case 500:
    case 400:
        return static_cast<float>(10 * h);
    case 300:
    case 250:
        return static_cast<float>(10 * h + (high ? 0 : 10000));
    case 200:
    case 150:
    case 100:
    case 70:
        return static_cast<float>(10 * h + 10000);
    case 50:
        return static_cast<float>(10 * h + (high ? 10000 : 20000));
    case 30:
    case 20:
        return static_cast<float>(10 * h + 20000);
    case 10:
        return static_cast<float>(10 * h + (high ? 20000 : 30000));
    case 7:
    case 5:
        return static_cast<float>(10 * h + 30000);
    case 3:
    case 2:
        return static_cast<float>(10 * h + (high ? 30000 : 40000));
    case 1:
        return static_cast<float>(10 * h + (high ? 40000 : 50000));
    default:
        return static_cast<float>(h); // 925 mb, and 880 and 770 of 88PPP and 77PPP
    }
}

// The missing group of the open file's type.
const char *missing_group() {
    return is_old_type(file_type) ? "99999" : "X";
}

// Formats a group into the encoders' buffer (groups are at most 6 characters).
template <class... Args> void put_group(const char *format, Args... args) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, args...);
    copy_str(encd_str, sizeof encd_str, buf);
}

int put_missing_group() {
    put_group("%s", missing_group());
    return -1;
}

// Values too large for the group arithmetic are never representable.
bool usable(float v, float limit) {
    return std::isfinite(v) && std::fabs(v) < limit;
}

} // namespace

int ua_read_int::decd_ph(const char *str, float *pres, float *hght) {
    *pres = FMISSING;
    *hght = FMISSING;
    const std::string_view s = text_of(str);
    if (s.empty() || s[0] == 'X') return -1;
    std::size_t pos = 0;
    int pp = 0;
    if (!scan_int(s, pos, 2, true, pp) || pp == 99) return -1;
    const float p = pp > 0 ? 10.0f * pp : static_cast<float>(-pp);
    // The 1000 and 925 mb groups carry 00 and 92, also without a height.
    *pres = p == 0 ? 1000.0f : (p == 920 ? 925.0f : p);
    int h = 0;
    if (!scan_int(s, pos, 3, false, h)) return -1;
    *hght = group_height(p, h);
    return 0;
}

int ua_read_int::decd_td(const char *str, float *temp, float *dewpt) {
    *temp = FMISSING;
    *dewpt = FMISSING;
    const std::string_view s = text_of(str);
    if (s.empty() || s[0] == 'X') return -1;
    std::size_t pos = 0;
    int ttt = 0;
    if (!scan_int(s, pos, 3, false, ttt) || pos != 3 || ttt == 999) return -1;
    const float t = (ttt % 2 == 1 ? -ttt : ttt) / 10.0f;
    *temp = t;
    int dd = 0;
    if (scan_int(s, pos, 2, false, dd) && dd != 99) *dewpt = dd <= 50 ? t - dd / 10.0f : t - (dd - 50);
    return 0;
}

int ua_read_int::decd_wd(const char *str, float *dir, float *spd) {
    *dir = FMISSING;
    *spd = FMISSING;
    const std::string_view s = text_of(str);
    if (!s.empty() && s[0] == 'X') return -1;
    std::size_t pos = 0;
    int ddd = 0, ff = 0;
    if (!scan_int(s, pos, 3, false, ddd) || pos != 3 || !scan_int(s, pos, 2, false, ff) || ddd == 999)
        return 0;
    const int speed = (ddd % 5) * 100 + ff;
    const int direction = ddd - ddd % 5;
    if (speed > 250 || direction > 360) return 0;
    *dir = static_cast<float>(direction);
    *spd = static_cast<float>(speed);
    return 0;
}

int ua_read_int::encd_ph(float pres, float hght) {
    if (!known(pres) || !usable(pres, 1e5f) || pres < 1) return put_missing_group();
    const int p = static_cast<int>(pres);
    char pp[8];
    if (pres < 10)
        std::snprintf(pp, sizeof pp, "-%d", p);
    else
        std::snprintf(pp, sizeof pp, "%2.2d", (p % 1000) / 10);
    bool with_height = known(hght) && usable(hght, 1e6f);
    if (with_height) {
        int h = static_cast<int>(hght < 0 ? 500 - hght : hght);
        h = pres <= 500 ? (h % 10000) / 10 : h % 1000;
        put_group("%s%3.3d", pp, h);
    } else {
        put_group("%s/", pp);
    }
    // Keep only what reads back: a pressure the two digits cannot carry
    // gives the missing group, a height they cannot carry the missing height.
    float p_back = 0, h_back = 0;
    decd_ph(encd_str, &p_back, &h_back);
    if (!known(p_back) || std::fabs(p_back - pres) >= (pres < 10 ? 1.0f : 10.0f)) return put_missing_group();
    if (with_height && !(known(h_back) && std::fabs(h_back - hght) < (pres <= 500 ? 10.0f : 1.0f)))
        put_group("%s/", pp);
    return 0;
}

int ua_read_int::encd_td(float temp, float dewpt) {
    if (!known(temp) || !usable(temp, 100.0f)) return put_missing_group();
    const int t = static_cast<int>(std::floor(10.0f * (temp + 0.01f)));
    const int ttt = t >= 0 ? 2 * (t / 2) : 1 + 2 * (-t / 2);
    if (ttt > 998) return put_missing_group();
    int dd = 99;
    if (known(dewpt) && usable(dewpt, 1000.0f)) {
        const int d = static_cast<int>(10.0f * (temp - dewpt + 0.01f));
        if (d >= 0) dd = d >= 60 ? d / 10 + 50 : std::min(d, 50);
    }
    put_group("%3.3d%2.2d", ttt, std::min(dd, 99));
    float t_back = 0, td_back = 0;
    decd_td(encd_str, &t_back, &td_back);
    if (dd != 99 && !(known(td_back) && std::fabs(td_back - dewpt) < 1.25f)) put_group("%3.3d99", ttt);
    return 0;
}

int ua_read_int::encd_wd(float dir, float spd) {
    if (!known(dir) || !known(spd) || dir < 0 || spd < 0 || !usable(dir, 1000.0f) || !usable(spd, 500.0f))
        return put_missing_group();
    const int s = static_cast<int>(spd + 0.01f);
    const int d = 5 * static_cast<int>((dir + 2.5f) / 5);
    put_group("%3.3d%2.2d", d + s / 100, s % 100);
    float d_back = 0, s_back = 0;
    decd_wd(encd_str, &d_back, &s_back);
    if (!known(d_back) || std::fabs(d_back - dir) > 2.51f || std::fabs(s_back - spd) >= 1)
        return put_missing_group();
    return 0;
}

const char *ua_read_int::encd_group() {
    return encd_str;
}

namespace {

using ua_read_int::decd_ph;
using ua_read_int::decd_td;
using ua_read_int::decd_wd;

// ---- Text layouts -------------------------------------------------------------------

constexpr std::array<int, 4> old4_slots = {1, 3, 4, 5};
constexpr std::array<int, 8> old8_slots = {1, 3, 4, 5, 6, 7, 9, 11};

// Capacities of the text types: significant entries and wind slots.
int sig_capacity(int type) {
    switch (type) {
    case UPA_TEXT_OLD4:
        return 14;
    case UPA_TEXT_OLD8:
        return 21;
    case UPA_TEXT:
        return 28;
    default:
        return UPA_MAX_SIG;
    }
}
int wind_capacity(int type) {
    switch (type) {
    case UPA_TEXT_OLD4:
        return 16;
    case UPA_TEXT_OLD8:
        return 21;
    case UPA_TEXT:
        return 28;
    default:
        return UPA_MAX_WND;
    }
}

// The fixed wind heights (feet) of the older types, by slot.
float old_wind_height(int type, int slot) {
    static constexpr std::array<float, 16> old4 = {0,    1000, 2000,  3000,  4000,  5000,  6000,  7000,
                                                   8000, 9000, 10000, 12000, 14000, 15000, 16000, 18000};
    static constexpr std::array<float, 21> old8 = {0,     1000,  2000,  3000,  4000,  5000,  6000,
                                                   7000,  8000,  9000,  10000, 12000, 14000, 16000,
                                                   20000, 25000, 30000, 35000, 40000, 45000, 50000};
    return type == UPA_TEXT_OLD4 ? old4[static_cast<std::size_t>(slot)]
                                 : old8[static_cast<std::size_t>(slot)];
}

// The wind slot of an older type for a height (feet); -1 when none.
int old_wind_slot(int type, float h) {
    if (h >= 0 && h <= 10000) return static_cast<int>(h / 1000);
    for (int s = 11; s < wind_capacity(type); ++s)
        if (h == old_wind_height(type, s)) return s;
    return -1;
}

// The two-digit wind height code of types 3 to 5: thousands of feet.
int wind_height_code(float h) {
    if (!known(h) || !usable(h, 1e6f) || h + 1 < 0) return -1;
    return static_cast<int>((h + 1) / 1000);
}

// The pressure token of a significant level in types 3 to 5.
std::string sig_pressure_text(float p) {
    char buf[16];
    if (p >= 1000)
        std::snprintf(buf, sizeof buf, "%3.3d", static_cast<int>(p) % 1000);
    else if (p >= 10)
        std::snprintf(buf, sizeof buf, "%3d", static_cast<int>(p));
    else
        std::snprintf(buf, sizeof buf, "%3.1f", p);
    return buf;
}

// A significant pressure reads back from its three-character token from 1 mb
// up to 1100 mb (1000 mb and more lose their thousands digit).
bool sig_pressure_fits(float p) {
    return known(p) && std::isfinite(p) && p >= 1 && p < 1100;
}

// The value of a pressure token: its first three characters, 1000 added to a
// value below 100 written with a leading zero.
float sig_pressure_value(std::string_view tok) {
    tok = tok.substr(0, 3);
    double v = 0;
    if (scan_decimal(tok, &v) == 0) return FMISSING;
    if (v < 100 && tok[0] == '0') v += 1000;
    return static_cast<float>(v);
}

std::string group_ph(float p, float h) {
    ua_read_int::encd_ph(p, h);
    return encd_str;
}
std::string group_td(float t, float td) {
    ua_read_int::encd_td(t, td);
    return encd_str;
}
std::string group_wd(float dir, float spd) {
    ua_read_int::encd_wd(dir, spd);
    return encd_str;
}

std::string triple(const UPA_level &l) {
    return group_ph(l.p, l.h) + ' ' + group_td(l.t, l.td) + ' ' + group_wd(l.dir, l.spd);
}

// ---- Text writing ----------------------------------------------------------------------

// The identifier of a report, for messages.
std::string report_name(const UPA_report &r) {
    return std::string(r.id, strnlen(r.id, sizeof r.id));
}

// The lists of a report as a text type writes them.
struct TextLists {
    std::vector<UPA_sig_level> sig;
    std::vector<UPA_wind_level> wnd;
};

// Selects the significant and wind levels to write: significant levels that
// repeat a mandatory level with a height (but the first), and for the older
// types those above 100 mb (type 1: 500 mb) are not written; levels the
// format cannot carry are left out with a warning. The surface stands in for
// an empty list.
TextLists select_levels(const UPA_report &r, int type) {
    TextLists out;
    const std::string name = report_name(r);
    const UPA_level &sfc = r.man[UPA_SLOT_SFC];
    const int numsig = std::clamp(r.numsig, 0, UPA_MAX_SIG);
    for (int i = 0; i < numsig; ++i) {
        const UPA_sig_level &s = r.sig[i];
        if (!sig_pressure_fits(s.p)) {
            MESS_print(M_WARN, "UPA_write: %s: significant level at %.1f mb cannot be written, left out\n",
                       name.c_str(), static_cast<double>(s.p));
            continue;
        }
        if (const int slot = UPA_mandatory(s.p); i > 0 && slot > 0 && known(r.man[slot].h)) continue;
        if (is_old_type(type) && s.p < (type == UPA_TEXT_OLD4 ? 500 : 100)) continue;
        out.sig.push_back(s);
    }
    if (out.sig.empty() && sig_pressure_fits(sfc.p)) out.sig.push_back({sfc.p, sfc.t, sfc.td});

    const int numwnd = std::clamp(r.numwnd, 0, UPA_MAX_WND);
    for (int i = 0; i < numwnd; ++i) {
        const UPA_wind_level &w = r.wnd[i];
        const int code = wind_height_code(w.h);
        if (code < 0 || code > 99) {
            MESS_print(M_WARN, "UPA_write: %s: wind level at %.0f ft cannot be written, left out\n",
                       name.c_str(), static_cast<double>(w.h));
            continue;
        }
        out.wnd.push_back(w);
    }
    if (out.wnd.empty() && known(sfc.p)) out.wnd.push_back({0, sfc.dir, sfc.spd});
    return out;
}

// The station identifier as one token: blanks and control characters become
// '_' (in type 5 also ':'); an empty one is the WMO number.
std::string station_id(const UPA_report &r, int type) {
    std::string id = report_name(r);
    for (char &c : id)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f || (type == UPA_TEXT_POS && c == ':')) c = '_';
    if (id.empty() && type != UPA_TEXT_POS && r.wmo != MISSING) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%5.5d", r.wmo);
        id = buf;
    }
    return id;
}

// The levels above 10 mb, the tropopause and the maximum wind (types 3-5).
void write_upper(std::string &out, const UPA_report &r) {
    int written = 0;
    for (int slot = UPA_SLOT_ABOVE; slot < UPA_SLOT_TROP && known(r.man[slot].p); ++slot) {
        const float p = r.man[slot].p;
        if (!(p >= 1 && p < 10)) {
            MESS_print(M_WARN, "UPA_write: %s: level above 10 mb at %.1f mb cannot be written, left out\n",
                       report_name(r).c_str(), static_cast<double>(p));
            continue;
        }
        out += triple(r.man[slot]) + ' ';
        ++written;
    }
    if (written > 0) out += '\n';

    // 88PPP and 77PPP carry the pressure in the height digits.
    const UPA_level &trop = r.man[UPA_SLOT_TROP];
    const UPA_level &maxw = r.man[UPA_SLOT_MAXW];
    if (known(trop.p) && trop.p >= 1 && trop.p < 1000)
        out += group_ph(880, trop.p) + ' ' + group_td(trop.t, trop.td) + ' ' + group_wd(trop.dir, trop.spd) +
               ' ';
    else
        out += "X X X ";
    if (known(maxw.p) && maxw.p >= 1 && maxw.p < 1000)
        out += group_ph(770, maxw.p) + ' ' + group_wd(maxw.dir, maxw.spd) + '\n';
    else
        out += "X X\n";
}

void write_old_block(std::string &out, const UPA_report &r, int type, const TextLists &lists) {
    for (int slot : type == UPA_TEXT_OLD4 ? std::vector<int>(old4_slots.begin(), old4_slots.end())
                                          : std::vector<int>(old8_slots.begin(), old8_slots.end()))
        out += triple(r.man[slot]) + ((slot == 5 || slot == 11) ? '\n' : ' ');

    const int cap = sig_capacity(type);
    const int n = std::min(static_cast<int>(lists.sig.size()), cap);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%2d ", n);
    out += buf;
    for (int e = 0; e < cap; ++e) {
        if (e < n) {
            const UPA_sig_level &s = lists.sig[static_cast<std::size_t>(e)];
            std::snprintf(buf, sizeof buf, "%3.3d ", static_cast<int>(s.p) % 1000);
            out += buf + group_td(s.t, s.td);
        } else {
            out += "000 00000";
        }
        out += (e + 1) % 7 == 0 ? '\n' : ' ';
    }

    const int slots = wind_capacity(type);
    std::vector<const UPA_wind_level *> by_slot(static_cast<std::size_t>(slots), nullptr);
    for (const UPA_wind_level &w : lists.wnd)
        if (const int s = old_wind_slot(type, w.h); s >= 0) by_slot[static_cast<std::size_t>(s)] = &w;
    for (int s = 0; s < slots; ++s) {
        const UPA_wind_level *w = by_slot[static_cast<std::size_t>(s)];
        out += w != nullptr ? group_wd(w->dir, w->spd) : std::string("99999");
        out += (s == 10 || s == 20 || (type == UPA_TEXT_OLD4 && s == 15)) ? '\n' : ' ';
    }
}

std::string wind_entry(const UPA_wind_level &w) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%2.2d ", wind_height_code(w.h));
    return buf + group_wd(w.dir, w.spd);
}

void write_fixed_block(std::string &out, const UPA_report &r, const TextLists &lists) {
    for (int slot = 1; slot <= 16; ++slot) {
        if (slot == 2 && !known(r.man[slot].p)) continue; // no 925 mb level
        out += triple(r.man[slot]) + ((slot == 5 || slot == 9 || slot == 13) ? '\n' : ' ');
    }
    write_upper(out, r);
    const int n = std::min(static_cast<int>(lists.sig.size()), 28);
    for (int e = 0; e < 28; ++e) {
        if (e < n) {
            const UPA_sig_level &s = lists.sig[static_cast<std::size_t>(e)];
            out += sig_pressure_text(s.p) + ' ' + group_td(s.t, s.td);
        } else {
            out += 'X';
        }
        out += (e + 1) % 7 == 0 ? '\n' : ' ';
    }
    const int nw = std::min(static_cast<int>(lists.wnd.size()), 28);
    for (int e = 0; e < 28; ++e) {
        if (e < nw)
            out += wind_entry(lists.wnd[static_cast<std::size_t>(e)]) + ((e + 1) % 7 == 0 ? "\n " : " ");
        else
            out += (e + 1) % 7 == 0 ? "X\n" : "X ";
    }
}

void write_var_block(std::string &out, const UPA_report &r, const TextLists &lists) {
    for (int slot = 1; slot <= 16; ++slot)
        out += triple(r.man[slot]) + (slot % 4 == 0 ? '\n' : ' ');
    write_upper(out, r);
    const int n = static_cast<int>(lists.sig.size());
    for (int e = 0; e < n; ++e) {
        const UPA_sig_level &s = lists.sig[static_cast<std::size_t>(e)];
        out += sig_pressure_text(s.p) + ' ' + group_td(s.t, s.td) + ((e % 7 == 6 && e != n - 1) ? '\n' : ' ');
    }
    out += "X\n";
    const int nw = static_cast<int>(lists.wnd.size());
    for (int e = 0; e < nw; ++e)
        out +=
            wind_entry(lists.wnd[static_cast<std::size_t>(e)]) + ((e % 7 == 6 && e != nw - 1) ? '\n' : ' ');
    out += "$\n";
}

bool put_text(const std::string &text, const char *func) {
    if (std::fwrite(text.data(), 1, text.size(), cvt_file) != text.size() || std::ferror(cvt_file)) {
        warn_write(func);
        return false;
    }
    return true;
}

int write_text(const UPA_report &r, int *statnum) {
    const TextLists lists = select_levels(r, file_type);
    const std::string id = station_id(r, file_type);
    std::string out;
    if (file_type == UPA_TEXT_POS) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%5.5d:", r.wmo);
        out = buf + id;
        if (known(r.lat)) {
            std::snprintf(buf, sizeof buf, ":%.2f:%.2f", static_cast<double>(r.lat),
                          static_cast<double>(r.lon));
            out += buf;
        }
    } else if (id.empty()) {
        MESS_print(M_WARN, "UPA_write: Report without station identifier or WMO number left out of %s\n",
                   file_name.c_str());
        return -1;
    } else {
        out = id;
    }
    out += ' ';
    if (is_old_type(file_type))
        write_old_block(out, r, file_type, lists);
    else if (file_type == UPA_TEXT)
        write_fixed_block(out, r, lists);
    else
        write_var_block(out, r, lists);
    if (!put_text(out, "UPA_write")) return -1;
    ++*statnum;
    return 0;
}

// ---- Text reading -----------------------------------------------------------------------

// The groups of one station block, read from the open stream. In types 4 and
// 5 the group "$" ends the block: after it no further group is read.
class GroupReader {
public:
    GroupReader(FILE *f, bool dollar_ends) : f_(f), dollar_ends_(dollar_ends) {}

    // The next group, at most `keep` characters of it kept; empty at the end
    // of the block or of the stream.
    std::string next(std::size_t keep = 16) {
        std::string g;
        if (ended_) return g;
        int c;
        while ((c = std::getc(f_)) != EOF && std::isspace(c)) {
        }
        while (c != EOF && !std::isspace(c)) {
            if (g.size() < keep) g += static_cast<char>(c);
            c = std::getc(f_);
        }
        if (c != EOF) std::ungetc(c, f_);
        if (g.empty() || (dollar_ends_ && g == "$")) {
            ended_ = true;
            g.clear();
        }
        return g;
    }
    // Passes over the rest of the block.
    void finish() {
        while (!next().empty()) {
        }
    }

private:
    FILE *f_;
    bool dollar_ends_;
    bool ended_ = false;
};

// A station block as read: the whole report and the surface level as the
// surface mode gives it.
struct TextBlock {
    UPA_report rep;
    UPA_level sfc;
};

TextBlock last_block;

float scan_float(std::string_view text) {
    double v = 0;
    if (scan_decimal(text, &v) == 0 || !std::isfinite(v)) return FMISSING;
    return static_cast<float>(v);
}

// The station token: type 5 "wmo:id[:lat:lon]", else the identifier.
void read_token(const std::string &tok, int type, UPA_report &r) {
    if (type != UPA_TEXT_POS) {
        copy_str(r.id, sizeof r.id, tok);
        return;
    }
    std::string_view rest = tok;
    std::array<std::string_view, 4> parts;
    for (std::size_t k = 0; k < parts.size() && !rest.empty(); ++k) {
        const std::size_t colon = rest.find(':');
        parts[k] = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (colon == std::string_view::npos) break;
    }
    std::size_t pos = 0;
    int wmo = 0;
    if (scan_int(parts[0], pos, 9, true, wmo) && pos == parts[0].size()) r.wmo = wmo;
    copy_str(r.id, sizeof r.id, parts[1]);
    if (!parts[2].empty()) r.lat = scan_float(parts[2]);
    if (!parts[3].empty()) r.lon = scan_float(parts[3]);
}

void read_triple(GroupReader &g, UPA_level &l) {
    decd_ph(g.next().c_str(), &l.p, &l.h);
    decd_td(g.next().c_str(), &l.t, &l.td);
    decd_wd(g.next().c_str(), &l.dir, &l.spd);
}

// One significant entry after its pressure token.
void read_sig(GroupReader &g, const std::string &ptok, UPA_report &r, int i) {
    UPA_sig_level s{sig_pressure_value(ptok), FMISSING, FMISSING};
    decd_td(g.next().c_str(), &s.t, &s.td);
    if (i >= UPA_MAX_SIG) return;
    r.sig[i] = s;
}

void read_wind(GroupReader &g, float h, UPA_report &r, int i) {
    UPA_wind_level w{h, FMISSING, FMISSING};
    decd_wd(g.next().c_str(), &w.dir, &w.spd);
    if (i >= UPA_MAX_WND) return;
    r.wnd[i] = w;
}

// The height (feet) of a wind height token: its first two characters in
// thousands of feet.
float wind_token_height(const std::string &tok) {
    std::size_t pos = 0;
    int v = 0;
    if (!scan_int(tok, pos, 2, true, v)) return FMISSING;
    return 1000.0f * static_cast<float>(v);
}

// The 28 entries of a type 3 list: the entries (each beginning with the
// token given to `entry`, which reads the rest), then "X" for each one not
// used. Entries after the first "X" are passed over.
template <class Entry> void read_fixed_list(GroupReader &g, Entry entry) {
    bool ended = false;
    for (int e = 0; e < 28; ++e) {
        const std::string tok = g.next();
        if (tok.empty() || tok == "X")
            ended = true;
        else if (ended)
            g.next();
        else
            entry(tok);
    }
}

void read_mandatory(GroupReader &g, int type, UPA_report &r) {
    const bool old = is_old_type(type);
    r.numman = type == UPA_TEXT_OLD4 ? 6 : (type == UPA_TEXT_OLD8 ? 12 : 17);
    for (int slot = 1; slot < r.numman; ++slot) {
        if (old && (slot == 2 || slot == 8 || slot == 10)) continue;
        if (type != UPA_TEXT || slot != 2) {
            read_triple(g, r.man[slot]);
            continue;
        }
        // Type 3 leaves a missing 925 mb level out: the triple may be 850 mb.
        UPA_level l;
        UPA_level_init(&l);
        decd_ph(g.next().c_str(), &l.p, &l.h);
        if (l.p == 850 || !known(l.p)) {
            l.p = 850;
            slot = 3;
        }
        decd_td(g.next().c_str(), &l.t, &l.td);
        decd_wd(g.next().c_str(), &l.dir, &l.spd);
        r.man[slot] = l;
    }
}

// Levels above 10 mb (groups beginning with '-'), the tropopause and the
// maximum wind of types 3 to 5.
void read_upper(GroupReader &g, UPA_report &r) {
    r.numman = 19;
    std::string grp = g.next();
    int slot = UPA_SLOT_ABOVE;
    while (!grp.empty() && grp[0] == '-') {
        UPA_level l;
        decd_ph(grp.c_str(), &l.p, &l.h);
        decd_td(g.next().c_str(), &l.t, &l.td);
        decd_wd(g.next().c_str(), &l.dir, &l.spd);
        if (slot < UPA_SLOT_TROP) {
            r.man[slot++] = l;
            ++r.numman;
        }
        grp = g.next();
    }
    // 88PPP TTTDD dddff and 77PPP dddff: the pressure is in the height digits.
    float p = 0, h = 0;
    UPA_level &trop = r.man[UPA_SLOT_TROP];
    const bool trop_known = !grp.empty() && grp[0] != 'X';
    decd_ph(grp.c_str(), &p, &h);
    const std::string t_grp = g.next(), w_grp = g.next();
    if (trop_known) {
        trop.p = h;
        decd_td(t_grp.c_str(), &trop.t, &trop.td);
        decd_wd(w_grp.c_str(), &trop.dir, &trop.spd);
    }
    UPA_level &maxw = r.man[UPA_SLOT_MAXW];
    const std::string m_grp = g.next(), mw_grp = g.next();
    if (!m_grp.empty() && m_grp[0] != 'X') {
        decd_ph(m_grp.c_str(), &p, &h);
        maxw.p = h;
        decd_wd(mw_grp.c_str(), &maxw.dir, &maxw.spd);
    }
}

void read_sig_list(GroupReader &g, int type, TextBlock &b) {
    UPA_report &r = b.rep;
    int n = 0;
    if (is_old_type(type)) {
        // The count, then a fixed number of entries padded with "000 00000".
        const int cap = sig_capacity(type);
        std::size_t pos = 0;
        int count = 0;
        const std::string ctok = g.next();
        if (!scan_int(ctok, pos, 3, true, count)) count = 0;
        count = std::clamp(count, 0, cap);
        for (int e = 0; e < cap; ++e) {
            const std::string ptok = g.next();
            if (e < count)
                read_sig(g, ptok, r, n++);
            else
                g.next();
        }
    } else if (type == UPA_TEXT) {
        read_fixed_list(g, [&](const std::string &ptok) { read_sig(g, ptok, r, n++); });
    } else {
        // Entries up to the end marker "X"; those beyond the capacity are passed over.
        for (std::string ptok = g.next(); !ptok.empty() && ptok != "X"; ptok = g.next())
            read_sig(g, ptok, r, n++);
    }
    r.numsig = std::min(n, UPA_MAX_SIG);

    // The first level stands for the surface.
    if (r.numsig > 0) {
        const UPA_sig_level &s = r.sig[0];
        UPA_level &sfc = r.man[UPA_SLOT_SFC];
        if (known(s.p) && s.p > 500) {
            sfc.p = s.p;
            sfc.t = s.t;
            sfc.td = s.td;
        }
        if (known(s.p) && s.p >= 500) {
            b.sfc.p = s.p;
            b.sfc.t = s.t;
            b.sfc.td = s.td;
        }
    }
}

void read_wind_list(GroupReader &g, int type, TextBlock &b) {
    UPA_report &r = b.rep;
    int n = 0;
    if (is_old_type(type)) {
        const int slots = wind_capacity(type);
        for (int s = 0; s < slots; ++s)
            read_wind(g, old_wind_height(type, s), r, n++);
    } else if (type == UPA_TEXT) {
        read_fixed_list(g, [&](const std::string &htok) { read_wind(g, wind_token_height(htok), r, n++); });
    } else {
        for (std::string htok = g.next(); !htok.empty() && htok != "X"; htok = g.next())
            read_wind(g, wind_token_height(htok), r, n++);
        g.finish();
    }
    r.numwnd = std::min(n, UPA_MAX_WND);
    if (r.numwnd > 0 && r.wnd[0].h == 0) {
        r.man[UPA_SLOT_SFC].dir = b.sfc.dir = r.wnd[0].dir;
        r.man[UPA_SLOT_SFC].spd = b.sfc.spd = r.wnd[0].spd;
    }
}

// Reads the block at the stream position; false when no station token is
// left. The stream is left after the block.
bool parse_block(int type, TextBlock &b) {
    GroupReader g(cvt_file, type == UPA_TEXT_VAR || type == UPA_TEXT_POS);
    const std::string tok = g.next(39);
    if (tok.empty()) return false;
    UPA_report &r = b.rep;
    UPA_initialize(&r);
    r.type = 0;
    UPA_level_init(&b.sfc);
    read_token(tok, type, r);
    read_mandatory(g, type, r);
    if (!is_old_type(type)) read_upper(g, r);
    read_sig_list(g, type, b);
    read_wind_list(g, type, b);
    if (r.numsig == 0) {
        // Without significant levels the surface is the lowest level without data.
        if (!known(r.man[1].t))
            r.man[UPA_SLOT_SFC].p = r.man[1].p;
        else if (!known(r.man[2].t))
            r.man[UPA_SLOT_SFC].p = r.man[2].p;
    }
    return true;
}

// Passes over the header lines at the stream position, keeping the date line.
void pass_header() {
    std::string line;
    if (!is_old_type(file_type)) fget_anyline(cvt_file, line);
    line.clear();
    fget_anyline(cvt_file, line);
    header_datim = line;
    stat_num = 0;
}

// Goes back to the first station; false when the stream cannot go back.
bool rewind_text() {
    if (stat_num == 0) return true;
    if (stat_num > 0 && (!seekable || std::fseek(cvt_file, 0, SEEK_SET) != 0)) return false;
    std::clearerr(cvt_file);
    pass_header();
    return true;
}

// Copies a read block into the caller's report by mode; the report's type
// stays as it was.
void fill_report(const TextBlock &b, int rep_type, UPA_report *report) {
    const int type = report->type;
    if (rep_type == UPA_READ_ALL) {
        *report = b.rep;
        report->type = type;
        return;
    }
    UPA_initialize(report);
    std::memcpy(report->id, b.rep.id, sizeof report->id);
    report->wmo = b.rep.wmo;
    report->lat = b.rep.lat;
    report->lon = b.rep.lon;
    if (rep_type == UPA_READ_TOKEN) return;
    if (rep_type == UPA_READ_SFC) {
        report->man[UPA_SLOT_SFC] = b.sfc;
        return;
    }
    if ((rep_type >= 1 && rep_type <= 16) || rep_type == UPA_SLOT_TROP || rep_type == UPA_SLOT_MAXW)
        report->man[UPA_SLOT_SFC] = b.rep.man[rep_type];
    report->numman = 1;
}

int read_text(UPA_report *report, int rep_type, int wanted) {
    if (wanted != last_num) {
        if (wanted < stat_num || stat_num < 0) {
            if (!rewind_text()) return -1;
        }
        TextBlock scratch;
        while (stat_num < wanted) {
            if (!parse_block(file_type, scratch)) return -1;
            ++stat_num;
        }
        if (!parse_block(file_type, scratch)) return -1;
        last_block = scratch;
        last_num = wanted;
        ++stat_num;
    }
    fill_report(last_block, rep_type, report);
    return 0;
}

void reset_text_state() {
    stat_num = -1;
    last_num = -1;
    header_datim.clear();
    write_failed = false;
}

// ---- netCDF files ---------------------------------------------------------------------

enum class CdfKind { Text, Int, Float, Count, Man, Sig, Wnd };

// One variable of the two conventions, in the order of definition.
struct CdfVar {
    const char *name;   // type 11 name
    const char *name12; // type 12 name
    CdfKind kind;
    const char *long_name;
    const char *units;   // type 11 units (null: none)
    const char *units12; // type 12 units
    float lo, hi;        // valid range (lo > hi: none)
};

enum CdfVarIndex {
    V_ID,
    V_REGION,
    V_TYPE,
    V_IDN,
    V_LAT,
    V_LON,
    V_NUM_MANT,
    V_NUM_SIGT,
    V_NUM_SIGW,
    V_P_MAN,
    V_Z_MAN,
    V_T_MAN,
    V_TD_MAN,
    V_DIR_MAN,
    V_SPD_MAN,
    V_P_SIGT,
    V_T_SIGT,
    V_TD_SIGT,
    V_Z_SIGW,
    V_DIR_SIGW,
    V_SPD_SIGW,
    V_COUNT
};

constexpr float NO_RANGE = 1, NO_RANGE_HI = 0;
constexpr std::array<CdfVar, V_COUNT> cdf_vars = {{
    {"id", "id", CdfKind::Text, "Station ID", nullptr, nullptr, NO_RANGE, NO_RANGE_HI},
    {"region", "region", CdfKind::Text, "Region ID", nullptr, nullptr, NO_RANGE, NO_RANGE_HI},
    {"type", "type", CdfKind::Text, "Report Origination", nullptr, nullptr, NO_RANGE, NO_RANGE_HI},
    {"idn", "idn", CdfKind::Int, "WMO Numeric Station ID", nullptr, nullptr, NO_RANGE, NO_RANGE_HI},
    {"lat", "lat", CdfKind::Float, "Latitude", "degrees_N", "degrees_N", -90, 90},
    {"lon", "lon", CdfKind::Float, "Longitude", "degrees_E", "degrees_E", -180, 180},
    {"num_mant", "num_mant", CdfKind::Count, "Number of Mandatory Levels", nullptr, nullptr, 0, UPA_MAX_MAN},
    {"num_sigt", "num_sigt", CdfKind::Count, "Number of Significant Levels wrt T", nullptr, nullptr, 0,
     UPA_MAX_SIG},
    {"num_sigw", "num_sigw", CdfKind::Count, "Number of Significant Levels wrt W", nullptr, nullptr, 0,
     UPA_MAX_WND},
    {"p_man", "P_man", CdfKind::Man, "Pressure - Mandatory Levels", "hectopascals", "hectopascals", 0, 1500},
    {"z_man", "Z_man", CdfKind::Man, "Geopotential - Mandatory Levels", "meters", "meters", -150, 100000},
    {"t_man", "T_man", CdfKind::Man, "Temperature - Mandatory Levels", "celsius", "celsius", -100, 100},
    {"td_man", "TD_man", CdfKind::Man, "Dew Point - Mandatory Levels", "celsius", "celsius", -100, 100},
    {"dir_man", "DIR_man", CdfKind::Man, "Wind Direction - Mandatory Levels", "degrees", "degrees", 0, 360},
    {"spd_man", "SPD_man", CdfKind::Man, "Wind Speed - Mandatory Levels", "knots", "meters/second", 0, 300},
    {"p_sigt", "P_sigt", CdfKind::Sig, "Pressure - Significant Levels wrt T", "hectopascals", "hectopascals",
     0, 1500},
    {"t_sigt", "T_sigt", CdfKind::Sig, "Temperature - Significant Levels wrt T", "celsius", "celsius", -100,
     100},
    {"td_sigt", "TD_sigt", CdfKind::Sig, "Dew Point - Significant Levels wrt T", "celsius", "celsius", -100,
     100},
    {"z_sigw", "Z_sigw", CdfKind::Wnd, "Altitude - Significant Levels wrt W", "feet", "meters", -150, 100000},
    {"dir_sigw", "DIR_sigw", CdfKind::Wnd, "Wind Direction - Significant Levels wrt W", "degrees", "degrees",
     0, 360},
    {"spd_sigw", "SPD_sigw", CdfKind::Wnd, "Wind Speed - Significant Levels wrt W", "knots", "meters/second",
     0, 300},
}};

// Type 12 holds speeds in m/s and wind heights in metres.
constexpr float MS_TO_KNOTS = 1.944f;
constexpr float FEET_TO_M = 0.3048f, M_TO_FEET = 3.2808f;
constexpr const char *DEFAULT_HISTORY = "Upper air converted file from ZEQ decoders";

int cdf_fd = -1;
std::array<int, V_COUNT> var_ids;
int num_station = 0;
bool lon_west = false; // a file of the first convention: longitudes positive west
// The number of levels of the three level dimensions, at most the capacities.
long man_len = UPA_MAX_MAN, sig_len = UPA_MAX_SIG, wnd_len = UPA_MAX_WND;

bool report_convention() {
    return file_type == UPA_CDF_REPORT;
}

float convert(float v, float factor) {
    return known(v) ? v * factor : v;
}

// A value read from a file: anything not finite is missing.
float clean(float v) {
    return std::isfinite(v) ? v : FMISSING;
}

int cdf_chktype(const char *filename) {
    CDF_print_errors(0);
    int type = -1;
    if (CDF_open(filename, 0) != -1) {
        if (CDF_get_dim("station") >= 0)
            type = UPA_CDF_STATION;
        else if (CDF_get_dim("report") >= 0)
            type = UPA_CDF_REPORT;
        CDF_close();
    }
    CDF_print_errors(1);
    return type;
}

long level_len(const char *dim_name, long capacity) {
    const int dim = CDF_get_dim(dim_name);
    if (dim < 0) return capacity;
    return std::clamp(CDF_get_dim_size(dim), 0L, capacity);
}

// Finds the records and variables of the open file (messages off: a file
// may lack any of them).
void cdf_load_layout() {
    CDF_set_fd(cdf_fd);
    CDF_print_errors(0);
    long records = CDF_get_dim_size(CDF_RECORD_DIM);
    if (records < 0) {
        const int dim = CDF_get_dim(report_convention() ? "report" : "station");
        records = dim >= 0 ? CDF_get_dim_size(dim) : 0;
    }
    num_station = static_cast<int>(std::clamp<long>(records, 0, INT_MAX));
    for (std::size_t i = 0; i < cdf_vars.size(); ++i)
        var_ids[i] = CDF_get_var(report_convention() ? cdf_vars[i].name12 : cdf_vars[i].name);
    man_len = level_len("mant_level", UPA_MAX_MAN);
    sig_len = level_len("sigt_level", UPA_MAX_SIG);
    wnd_len = level_len("sigw_level", UPA_MAX_WND);
    char version[40];
    lon_west = CDF_get_glob_att("version", version, sizeof version) < 0;
    CDF_print_errors(1);
}

int cdf_open(const char *filename, int access) {
    CDF_print_errors(0);
    const int fd = CDF_open(filename, access);
    CDF_print_errors(1);
    if (fd == -1) return -1;
    cdf_fd = fd;
    var_ids.fill(-1);
    num_station = 0;
    lon_west = false;
    return fd;
}

int cdf_getinfo(UPA_info *info) {
    cdf_load_layout();
    CDF_print_errors(0);
    if (CDF_get_glob_att("filetime", info->datim, sizeof info->datim) != 1)
        CDF_get_glob_att("datetime", info->datim, sizeof info->datim);
    CDF_print_errors(1);
    DATE_decode_label(info->datim, &info->date);
    return 1;
}

int cdf_putinfo(const UPA_info *info) {
    CDF_set_fd(cdf_fd);
    const bool t12 = report_convention();
    const int rec = CDF_def_dim(t12 ? "report" : "station", 0);
    const int man = CDF_def_dim("mant_level", UPA_MAX_MAN);
    const int sig = CDF_def_dim("sigt_level", UPA_MAX_SIG);
    const int wnd = CDF_def_dim("sigw_level", UPA_MAX_WND);
    const int slen = CDF_def_dim("string_len", 11);
    bool ok = rec >= 0 && man >= 0 && sig >= 0 && wnd >= 0 && slen >= 0;
    for (std::size_t i = 0; ok && i < cdf_vars.size(); ++i) {
        const CdfVar &v = cdf_vars[i];
        const char *name = t12 ? v.name12 : v.name;
        switch (v.kind) {
        case CdfKind::Text:
            CDF_set_shape(2, rec, slen);
            var_ids[i] = CDF_def_char_var(name);
            break;
        case CdfKind::Int:
        case CdfKind::Count:
            CDF_set_shape(1, rec);
            var_ids[i] = CDF_def_long_var(name);
            break;
        case CdfKind::Float:
            CDF_set_shape(1, rec);
            var_ids[i] = CDF_def_float_var(name);
            break;
        case CdfKind::Man:
        case CdfKind::Sig:
        case CdfKind::Wnd:
            CDF_set_shape(2, rec, v.kind == CdfKind::Man ? man : (v.kind == CdfKind::Sig ? sig : wnd));
            var_ids[i] = CDF_def_float_var(name);
            break;
        }
        ok = var_ids[i] >= 0;
    }
    for (std::size_t i = 0; ok && i < cdf_vars.size(); ++i) {
        const CdfVar &v = cdf_vars[i];
        const int id = var_ids[i];
        CDF_put_base_att(id, v.long_name, t12 ? v.units12 : v.units);
        if (v.kind == CdfKind::Count) {
            ok = CDF_put_long_range_att(id, static_cast<int>(v.lo), static_cast<int>(v.hi)) != -1 &&
                 CDF_put_long_fill_att(id, 0) != -1;
        } else if (v.lo <= v.hi) {
            ok = CDF_put_float_range_att(id, v.lo, v.hi) != -1 && CDF_put_fill_att(id) != -1;
        }
    }
    if (ok) {
        const std::string datim(info->datim, strnlen(info->datim, sizeof info->datim));
        const std::string key(info->file, strnlen(info->file, sizeof info->file));
        ok = CDF_put_glob_att("title", "Upper Air Observations") != -1 &&
             CDF_put_glob_att("version", "2.0") != -1 &&
             CDF_put_glob_att("history", info->cmdline != nullptr ? info->cmdline : DEFAULT_HISTORY) != -1 &&
             CDF_put_glob_att("filetime", datim.c_str()) != -1 &&
             CDF_put_glob_att("yymmddhh", key.c_str()) != -1 && CDF_end_def() != -1;
    }
    if (!ok) {
        MESS_print(M_WARN, "UPA_putinfo: Unable to define the netCDF file %s\n", file_name.c_str());
        return -1;
    }
    return 0;
}

// Reads n values of a level variable of record rec (missing where the file
// has none).
std::vector<float> cdf_levels(int var, int rec, long n, float factor = 1) {
    std::vector<float> v(static_cast<std::size_t>(std::max(n, 0L)), FMISSING);
    if (n > 0) {
        CDF_set_range(2, static_cast<long>(rec), 1L, 0L, n);
        CDF_get_float_array(var_ids[static_cast<std::size_t>(var)], v.data());
    }
    for (float &x : v)
        x = convert(clean(x), factor);
    return v;
}

float cdf_value(int var, int rec, long level, float factor = 1) {
    CDF_set_pos(2, static_cast<long>(rec), level);
    return convert(clean(CDF_get_float(var_ids[static_cast<std::size_t>(var)])), factor);
}

int cdf_count(int var, int rec, int capacity) {
    CDF_set_pos(1, static_cast<long>(rec));
    return std::clamp(CDF_get_long(var_ids[static_cast<std::size_t>(var)]), 0, capacity);
}

void cdf_station_part(UPA_report &r, int rec) {
    CDF_set_pos(1, static_cast<long>(rec));
    CDF_get_str(var_ids[V_ID], sizeof r.id - 1, r.id);
    if (var_ids[V_REGION] == -1)
        copy_str(r.area, sizeof r.area, "UN");
    else
        CDF_get_str(var_ids[V_REGION], sizeof r.area - 1, r.area);
    CDF_set_pos(1, static_cast<long>(rec));
    r.wmo = CDF_get_long(var_ids[V_IDN]);
    r.lat = clean(CDF_get_float(var_ids[V_LAT]));
    r.lon = clean(CDF_get_float(var_ids[V_LON]));
    if (lon_west) r.lon = convert(r.lon, -1);
    r.elev = cdf_value(V_Z_MAN, rec, 0);
}

void cdf_level(UPA_level &l, int rec, long level) {
    const float spd = report_convention() ? MS_TO_KNOTS : 1;
    l = {cdf_value(V_P_MAN, rec, level),   cdf_value(V_Z_MAN, rec, level),
         cdf_value(V_T_MAN, rec, level),   cdf_value(V_TD_MAN, rec, level),
         cdf_value(V_DIR_MAN, rec, level), cdf_value(V_SPD_MAN, rec, level, spd)};
}

void cdf_whole(UPA_report &r, int rec) {
    const float spd = report_convention() ? MS_TO_KNOTS : 1;
    const float hgt = report_convention() ? M_TO_FEET : 1;
    r.numman = cdf_count(V_NUM_MANT, rec, UPA_MAX_MAN);
    r.numsig = static_cast<int>(std::min<long>(cdf_count(V_NUM_SIGT, rec, UPA_MAX_SIG), sig_len));
    r.numwnd = static_cast<int>(std::min<long>(cdf_count(V_NUM_SIGW, rec, UPA_MAX_WND), wnd_len));

    const long nm = std::min<long>(r.numman, man_len);
    const std::vector<float> p = cdf_levels(V_P_MAN, rec, nm), z = cdf_levels(V_Z_MAN, rec, nm),
                             t = cdf_levels(V_T_MAN, rec, nm), td = cdf_levels(V_TD_MAN, rec, nm),
                             dir = cdf_levels(V_DIR_MAN, rec, nm), sp = cdf_levels(V_SPD_MAN, rec, nm, spd);
    // A file without a 925 mb level holds 850 mb at index 2.
    const bool shift = nm > 2 && p[2] == 850;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const std::size_t slot = shift && i >= 2 ? i + 1 : i;
        if (slot < UPA_MAX_MAN) r.man[slot] = {p[i], z[i], t[i], td[i], dir[i], sp[i]};
    }
    if (shift) UPA_level_init(&r.man[2]);

    const std::vector<float> sp_ = cdf_levels(V_P_SIGT, rec, r.numsig),
                             st = cdf_levels(V_T_SIGT, rec, r.numsig),
                             std_ = cdf_levels(V_TD_SIGT, rec, r.numsig);
    for (int i = 0; i < r.numsig; ++i) {
        const auto k = static_cast<std::size_t>(i);
        r.sig[i] = {sp_[k], st[k], std_[k]};
    }
    const std::vector<float> wz = cdf_levels(V_Z_SIGW, rec, r.numwnd, hgt),
                             wd = cdf_levels(V_DIR_SIGW, rec, r.numwnd),
                             ws = cdf_levels(V_SPD_SIGW, rec, r.numwnd, spd);
    for (int i = 0; i < r.numwnd; ++i) {
        const auto k = static_cast<std::size_t>(i);
        r.wnd[i] = {wz[k], wd[k], ws[k]};
    }
}

int cdf_read(UPA_report *report, int rep_type, int rec) {
    if (rec >= num_station) return -1;
    CDF_set_fd(cdf_fd);
    UPA_initialize(report);
    UPA_report &r = *report;
    if (rep_type == UPA_READ_TOKEN) {
        CDF_set_pos(1, static_cast<long>(rec));
        CDF_get_str(var_ids[V_ID], sizeof r.id - 1, r.id);
        CDF_set_pos(1, static_cast<long>(rec));
        r.wmo = CDF_get_long(var_ids[V_IDN]);
        return 0;
    }
    const bool level_mode =
        (rep_type >= 0 && rep_type <= 16) || rep_type == UPA_SLOT_TROP || rep_type == UPA_SLOT_MAXW;
    if (!level_mode && rep_type != UPA_READ_ALL && rep_type != UPA_READ_STATION) return 0;
    cdf_station_part(r, rec);
    if (rep_type == UPA_READ_ALL) {
        cdf_whole(r, rec);
    } else if (level_mode) {
        long index = rep_type;
        if (rep_type > 1 && cdf_value(V_P_MAN, rec, 2) == 850) {
            if (rep_type == 2) return 0; // no 925 mb level
            index = rep_type - 1;
        }
        cdf_level(r.man[UPA_SLOT_SFC], rec, index);
    }
    return 0;
}

int cdf_write(const UPA_report &r, int rec) {
    // Records need the variables that the header defines.
    if (std::find(var_ids.begin(), var_ids.end(), -1) != var_ids.end()) {
        MESS_print(M_WARN, "UPA_write: No header written to the netCDF file %s\n", file_name.c_str());
        return -1;
    }
    CDF_set_fd(cdf_fd);
    const bool t12 = report_convention();
    const float spd = t12 ? UPA_KNOT_TO_MS : 1;
    const float hgt = t12 ? FEET_TO_M : 1;
    const long n_rec = rec;
    bool ok = true;
    auto check = [&ok](int rc) { ok = ok && rc != -1; };
    auto id_of = [](const char *text, std::size_t size) { return std::string(text, strnlen(text, size)); };

    CDF_set_pos(1, n_rec);
    check(CDF_put_str(var_ids[V_ID], id_of(r.id, sizeof r.id).c_str()));
    CDF_set_pos(1, n_rec);
    check(CDF_put_str(var_ids[V_REGION], id_of(r.area, sizeof r.area).c_str()));
    CDF_set_pos(1, n_rec);
    check(CDF_put_str(var_ids[V_TYPE], "LAND"));
    CDF_set_pos(1, n_rec);
    check(CDF_put_long(var_ids[V_IDN], r.wmo));
    check(CDF_put_float(var_ids[V_LAT], r.lat));
    check(CDF_put_float(var_ids[V_LON], r.lon));

    auto put_levels = [&](int var, long n, const std::vector<float> &values) {
        if (n <= 0) return;
        CDF_set_range(2, n_rec, 1L, 0L, n);
        check(CDF_put_float_array(var_ids[static_cast<std::size_t>(var)], values.data()));
    };
    auto put_count = [&](int var, int value) {
        CDF_set_pos(1, n_rec);
        check(CDF_put_long(var_ids[static_cast<std::size_t>(var)], value));
    };

    std::array<std::vector<float>, 6> man;
    for (const UPA_level &l : r.man) {
        man[0].push_back(l.p);
        man[1].push_back(l.h);
        man[2].push_back(l.t);
        man[3].push_back(l.td);
        man[4].push_back(l.dir);
        man[5].push_back(convert(l.spd, spd));
    }
    for (int k = 0; k < 6; ++k)
        put_levels(V_P_MAN + k, UPA_MAX_MAN, man[static_cast<std::size_t>(k)]);
    put_count(V_NUM_MANT, r.numman != 0 ? UPA_MAX_MAN : 0);

    const int ns = std::clamp(r.numsig, 0, UPA_MAX_SIG);
    std::array<std::vector<float>, 3> sig;
    for (int i = 0; i < ns; ++i) {
        sig[0].push_back(r.sig[i].p);
        sig[1].push_back(r.sig[i].t);
        sig[2].push_back(r.sig[i].td);
    }
    for (int k = 0; k < 3; ++k)
        put_levels(V_P_SIGT + k, ns, sig[static_cast<std::size_t>(k)]);
    put_count(V_NUM_SIGT, ns);

    const int nw = std::clamp(r.numwnd, 0, UPA_MAX_WND);
    std::array<std::vector<float>, 3> wnd;
    for (int i = 0; i < nw; ++i) {
        wnd[0].push_back(convert(r.wnd[i].h, hgt));
        wnd[1].push_back(r.wnd[i].dir);
        wnd[2].push_back(convert(r.wnd[i].spd, spd));
    }
    for (int k = 0; k < 3; ++k)
        put_levels(V_Z_SIGW + k, nw, wnd[static_cast<std::size_t>(k)]);
    put_count(V_NUM_SIGW, nw);

    if (!ok) {
        warn_write("UPA_write");
        return -1;
    }
    return 0;
}

int cdf_close() {
    CDF_set_fd(cdf_fd);
    const int rc = CDF_close();
    cdf_fd = -1;
    if (rc == -1) {
        MESS_print(M_WARN, "UPA_close: Unable to complete the upper-air file %s\n", file_name.c_str());
        return -1;
    }
    return 0;
}

// ---- Binary records (type 41) --------------------------------------------------------------

constexpr std::size_t BIN_RECORD = 78;
constexpr int BIN_MISSING = 9999;

// A 16-bit field from an already rounded or truncated value: 9999 for a
// missing value or one that a signed 16-bit field cannot hold.
int bin_field(double v) {
    if (!std::isfinite(v) || v < INT16_MIN || v > INT16_MAX) return BIN_MISSING;
    return static_cast<int>(v);
}
// Rounded half away from zero, or truncated toward zero.
int bin_round(float v, double scale = 1) {
    return known(v) ? bin_field(std::round(static_cast<double>(v) * scale)) : BIN_MISSING;
}
int bin_trunc(float v, double scale = 1) {
    return known(v) ? bin_field(std::trunc(static_cast<double>(v) * scale)) : BIN_MISSING;
}

// Stores a signed 16-bit value little-endian.
void put16(std::array<unsigned char, BIN_RECORD> &rec, std::size_t offset, int value) {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
    rec[offset] = static_cast<unsigned char>(bits & 0xff);
    rec[offset + 1] = static_cast<unsigned char>(bits >> 8);
}

// The header line (no line end): time, a fixed "XXX", month, day and year of
// the file's date; fields out of their range are written as 0 so that the
// line keeps its 22 characters.
std::string bin_header(const Date &d) {
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi ? v : 0; };
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2.2d:%2.2dZ XXX %3s %2d %4d", in(d.hour, 0, 23), in(d.min, 0, 59),
                  DATE_month(d.month), in(d.day, 1, 31), in(d.year, 0, 9999));
    return buf;
}

std::array<unsigned char, BIN_RECORD> bin_record(const UPA_report &r) {
    std::array<unsigned char, BIN_RECORD> rec{};
    // Identifier: its first 5 characters when it begins with a letter.
    if (std::isalpha(static_cast<unsigned char>(r.id[0])))
        for (std::size_t i = 0; i < 5 && r.id[i] != '\0'; ++i)
            rec[i] = static_cast<unsigned char>(r.id[i]);
    char wmo[8];
    std::snprintf(wmo, sizeof wmo, "%5.5d", r.wmo >= 0 && r.wmo <= 99999 ? r.wmo : 99999);
    std::memcpy(&rec[5], wmo, 5);
    put16(rec, 12, bin_round(r.lat, 100));
    put16(rec, 14, bin_round(r.lon, 100));

    const UPA_level &l850 = r.man[3], &l700 = r.man[4], &l500 = r.man[5], &l1000 = r.man[1];
    const UPA_level *levels[3] = {&l850, &l700, &l500};
    put16(rec, 16, bin_round(l850.t));
    put16(rec, 20, bin_round(l700.t));
    put16(rec, 22, bin_round(l500.t));
    for (std::size_t k = 0; k < 3; ++k) {
        const UPA_level &l = *levels[k];
        put16(rec, 26 + 2 * k, bin_trunc(l.h));
        put16(rec, 42 + 2 * k, bin_trunc(l.dir, 0.1));
        put16(rec, 50 + 2 * k, bin_trunc(l.spd));
        put16(rec, 58 + 2 * k, known(l.t) && known(l.td) ? bin_round(l.t - l.td) : BIN_MISSING);
    }
    put16(rec, 64, bin_trunc(r.man[UPA_SLOT_TROP].h));
    put16(rec, 66, known(l500.h) && known(l1000.h) ? bin_trunc(l500.h - l1000.h) : BIN_MISSING);
    put16(rec, 68, static_cast<std::int16_t>(static_cast<std::uint16_t>(r.time & 0xffff)));
    return rec;
}

int bin_write(const UPA_report &r, int *statnum) {
    const std::array<unsigned char, BIN_RECORD> rec = bin_record(r);
    if (!put_text(std::string(reinterpret_cast<const char *>(rec.data()), rec.size()), "UPA_write"))
        return -1;
    ++*statnum;
    return 0;
}

// ---- XML documents (type 51) ------------------------------------------------------------------

// One attribute with a number, written only when the value is known.
void xml_attr(std::string &out, const char *name, const char *format, float v) {
    if (!known(v)) return;
    char buf[96];
    std::snprintf(buf, sizeof buf, format, static_cast<double>(v));
    out += ' ';
    out += name;
    out += "=\"";
    out += buf;
    out += '"';
}

// The pressure of a level, with one decimal below 100 mb.
void xml_pressure(std::string &out, float p) {
    xml_attr(out, "pres.mb", p < 100 ? "%.1f" : "%.0f", p);
}

// The attributes of a mandatory-section level after its pressure.
void xml_man_values(std::string &out, const UPA_level &l, bool temps) {
    xml_attr(out, "hght.m", "%.0f", l.h);
    if (temps) {
        xml_attr(out, "temp.C", "%.1f", l.t);
        xml_attr(out, "dewp.C", "%.1f", l.td);
    }
    xml_attr(out, "wdir.deg", "%.0f", l.dir);
    xml_attr(out, "wspd.knt", "%.0f", l.spd);
}

void xml_typed_level(std::string &out, const char *type, const UPA_level &l, bool temps) {
    if (!known(l.p)) return;
    out += "    <level type=\"";
    out += type;
    out += '"';
    xml_pressure(out, l.p);
    xml_man_values(out, l, temps);
    out += "/>\n";
}

std::string xml_obs(const UPA_report &report) {
    // The surface stands in for empty significant and wind lists, as in the
    // text files; the caller's report is not changed.
    UPA_report r = report;
    r.numsig = std::clamp(r.numsig, 0, UPA_MAX_SIG);
    r.numwnd = std::clamp(r.numwnd, 0, UPA_MAX_WND);
    const UPA_level &sfc = r.man[UPA_SLOT_SFC];
    if (r.numsig == 0 && known(sfc.p)) {
        r.sig[0] = {sfc.p, sfc.t, sfc.td};
        r.numsig = 1;
    }
    if (r.numwnd == 0 && known(sfc.p)) {
        r.wnd[0] = {0, sfc.dir, sfc.spd};
        r.numwnd = 1;
    }

    std::string out;
    char buf[64];
    std::snprintf(buf, sizeof buf, "<obs wmo=\"%5.5d\"", r.wmo);
    out += buf;
    out += " id=\"" + xml_attr_text(report_name(r)) + '"';
    if (known(r.lat) && known(r.lon)) {
        xml_attr(out, "lat", "%.2f", r.lat);
        xml_attr(out, "lon", "%.2f", r.lon);
    }
    out += ">\n  <mand_level>\n";
    xml_typed_level(out, "sfc", sfc, true);
    for (int slot = UPA_SLOT_1000; slot < UPA_SLOT_TROP; ++slot) {
        const UPA_level &l = r.man[slot];
        if (!known(l.p)) continue;
        out += "    <level";
        xml_attr(out, "pres.mb", "%.0f", l.p);
        xml_man_values(out, l, true);
        out += "/>\n";
    }
    xml_typed_level(out, "trop", r.man[UPA_SLOT_TROP], true);
    xml_typed_level(out, "mwnd", r.man[UPA_SLOT_MAXW], false);
    out += "  </mand_level>\n  <sig_level>\n";
    for (int i = 0; i < r.numsig; ++i) {
        const UPA_sig_level &s = r.sig[i];
        out += "    <level";
        xml_pressure(out, s.p);
        xml_attr(out, "temp.C", "%.1f", s.t);
        xml_attr(out, "dewp.C", "%.1f", s.td);
        out += "/>\n";
    }
    out += "  </sig_level>\n  <wnd_level>\n";
    for (int i = 0; i < r.numwnd; ++i) {
        const UPA_wind_level &w = r.wnd[i];
        out += "    <level";
        xml_attr(out, "hght.m", "%.0f", known(w.h) ? w.h * FEET_TO_M : FMISSING);
        xml_attr(out, "wdir.deg", "%.0f", w.dir);
        xml_attr(out, "wspd.knt", "%.0f", w.spd);
        out += "/>\n";
    }
    out += "  </wnd_level>\n</obs>\n";
    return out;
}

int xml_write(const UPA_report &r, int *statnum) {
    if (!put_text(xml_obs(r), "UPA_write")) return -1;
    ++*statnum;
    return 0;
}

// The header of the written-only types: the binary header line, or the
// document's root element with the date label.
int out_putinfo(const UPA_info &info) {
    if (file_type == UPA_BINARY) return put_text(bin_header(info.date), "UPA_putinfo") ? 0 : -1;
    char datim[sizeof info.datim];
    copy_str(datim, sizeof datim, std::string_view(info.datim, strnlen(info.datim, sizeof info.datim)));
    wsstrip_string(datim);
    return put_text("<zequpa date=\"" + xml_attr_text(datim) + "\">\n", "UPA_putinfo") ? 0 : -1;
}

} // namespace

// ---- Records, levels and file access ----------------------------------------------------

int UPA_initialize(UPA_report *report) {
    if (report == nullptr) return -1;
    report->id[0] = '\0';
    report->area[0] = '\0';
    report->wmo = MISSING;
    report->time = MISSING;
    report->lat = report->lon = report->elev = FMISSING;
    for (UPA_level &l : report->man)
        UPA_level_init(&l);
    for (UPA_sig_level &s : report->sig)
        s = {FMISSING, FMISSING, FMISSING};
    for (UPA_wind_level &w : report->wnd)
        w = {FMISSING, FMISSING, FMISSING};
    report->numman = report->numsig = report->numwnd = 0;
    return 0;
}

int UPA_level_init(UPA_level *lev) {
    if (lev == nullptr) return -1;
    *lev = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
    return 0;
}

int UPA_mandatory(float p) {
    static constexpr std::array<float, 16> levels = {1000, 925, 850, 700, 500, 400, 300, 250,
                                                     200,  150, 100, 70,  50,  30,  20,  10};
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (p == levels[i]) return static_cast<int>(i) + 1;
    return 0;
}

int UPA_chktype(const char *filename) {
    if (filename == nullptr || FILE_is_stdio(filename) || filename[0] == '|') return -1;
    FILE *f = FILE_open(filename, "r");
    if (f == nullptr) return -1;
    GroupReader g(f, false);
    const std::string word = g.next(9);
    // The number at the start of the third line.
    std::string line;
    fget_anyline(f, line);
    line.clear();
    const bool third = fget_anyline(f, line) && fget_anyline(f, line);
    FILE_close(f);

    if (word.empty()) return -1;
    if (word[0] == 'Z') {
        if (word.size() == 7 && word[6] == '+') return UPA_TEXT_VAR;
        if (word.size() == 7 && word[6] == 'x') return UPA_TEXT_POS;
        return UPA_TEXT;
    }
    if (word[0] == '0' || word[0] == '1' || word[0] == '2') {
        // The third line begins with the count of significant levels (type
        // 1, at most 14) or the 400 mb group (type 2).
        std::size_t pos = line.find_first_not_of(" \t");
        int number = 0;
        if (!third || pos == std::string::npos || !scan_int(line, pos, 2, true, number)) return -1;
        return number < 22 ? UPA_TEXT_OLD4 : UPA_TEXT_OLD8;
    }
    if (word[0] == 'C') return cdf_chktype(filename);
    return -1;
}

int UPA_open(const char *filename, int f_access, int *f_type) {
    if (filename == nullptr || f_type == nullptr) return -1;
    // One file at a time: an open one is closed properly first.
    if (file_type != 0) UPA_close(-1);
    if (f_access != 0 && f_access != 1) return -1;
    if (*f_type == 0) {
        if (f_access != 0) return -1;
        *f_type = UPA_chktype(filename);
        if (*f_type == -1) return -1;
    }
    const int type = *f_type;
    if (is_cdf_type(type)) {
        const int fd = cdf_open(filename, f_access);
        if (fd == -1) return -1;
        file_type = type;
        file_access = f_access;
        file_name = filename;
        write_failed = false;
        if (f_access == 0) cdf_load_layout();
        return fd;
    }
    const char *mode = nullptr;
    if (is_text_type(type) || type == UPA_XML)
        mode = f_access == 0 ? "r" : "w";
    else if (type == UPA_BINARY)
        mode = f_access == 0 ? "rb" : "wb";
    if (mode == nullptr) return -1;
    cvt_file = FILE_open(filename, mode);
    if (cvt_file == nullptr) return -1;
    file_type = type;
    file_access = f_access;
    file_name = filename;
    seekable = std::ftell(cvt_file) >= 0;
    reset_text_state();
    return fileno(cvt_file);
}

int UPA_getinfo(int, UPA_info *info) {
    if (info == nullptr) return 1;
    if (is_cdf_type(file_type) && file_access == 0) return cdf_getinfo(info);
    if (!is_text_type(file_type) || file_access != 0) return 1;
    // A stream that cannot go back keeps the header it read first.
    if (seekable && std::fseek(cvt_file, 0, SEEK_SET) == 0) {
        std::clearerr(cvt_file);
        stat_num = -1;
    }
    if (stat_num < 0) pass_header();
    copy_str(info->datim, sizeof info->datim, header_datim);
    wsstrip_string(info->datim);
    DATE_decode_label(info->datim, &info->date);
    return 0;
}

int UPA_putinfo(int, const UPA_info *info) {
    if (info == nullptr || file_type == 0 || file_access != 1) return -1;
    if (is_cdf_type(file_type)) return cdf_putinfo(info);
    if (file_type == UPA_BINARY || file_type == UPA_XML) return out_putinfo(*info);
    if (!is_text_type(file_type)) return -1;
    char datim[sizeof info->datim];
    copy_str(datim, sizeof datim, std::string_view(info->datim, strnlen(info->datim, sizeof info->datim)));
    wsstrip_string(datim);
    std::string header;
    if (file_type == UPA_TEXT) header = "ZEQUPA\n";
    if (file_type == UPA_TEXT_VAR) header = "ZEQUPA+\n";
    if (file_type == UPA_TEXT_POS) header = "ZEQUPAx\n";
    header += datim;
    header += '\n';
    return put_text(header, "UPA_putinfo") ? 0 : -1;
}

int UPA_rewind(int) {
    if (file_access != 0) return -1;
    if (is_cdf_type(file_type)) return 0;
    if (!is_text_type(file_type)) return -1;
    return rewind_text() ? 0 : -1;
}

int UPA_read(int, UPA_report *report, int rep_type, const int *statnum) {
    if (report == nullptr || statnum == nullptr || *statnum < 0 || file_access != 0) return -1;
    if (is_text_type(file_type)) return read_text(report, rep_type, *statnum);
    if (is_cdf_type(file_type)) return cdf_read(report, rep_type, *statnum);
    return -1;
}

int UPA_write(int, const UPA_report *report, int, int *statnum) {
    if (report == nullptr || statnum == nullptr || file_access != 1) return -1;
    if (is_text_type(file_type)) return write_text(*report, statnum);
    if (is_cdf_type(file_type)) return cdf_write(*report, *statnum);
    if (file_type == UPA_BINARY) return bin_write(*report, statnum);
    if (file_type == UPA_XML) return xml_write(*report, statnum);
    return -1;
}

int UPA_close(int) {
    if (file_type == 0) return -1;
    int rc = 0;
    if (is_cdf_type(file_type)) {
        rc = cdf_close();
    } else if (file_access == 0) {
        FILE_close(cvt_file);
    } else {
        if (file_type == UPA_XML) std::fputs("</zequpa>\n", cvt_file);
        if (FILE_close_output(cvt_file) != 0) {
            rc = -1;
            MESS_print(M_WARN, "UPA_close: Unable to complete the upper-air file %s\n", file_name.c_str());
        }
    }
    cvt_file = nullptr;
    file_type = 0;
    reset_text_state();
    last_num = -1;
    return rc;
}
