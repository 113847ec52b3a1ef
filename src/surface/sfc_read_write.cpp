// Surface file writing: the header and the reports of compact text (types 1,
// 2), "ZEQSFC" text (3, 4), binary records (41), XML (51) and the netCDF
// report layout (12). Every field is written so that its reader gives it
// back; what a code cannot carry is written missing or its group left out.
// No file-static state of its own: the open file, its date and the netCDF
// variable ids belong to the module (sfc_read_int.h).
#include "surface/sfc_read.h"
#include "surface/sfc_read_int.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "surface/cdf.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

using namespace sfc_read_int;

// ---- Values -----------------------------------------------------------------------------

bool given(float v) {
    return v != FMISSING && std::isfinite(v);
}

// A value as a whole number: rounded half away from zero or truncated, and
// only when the result lies in [lo, hi].
std::optional<int> whole(double v, bool round, double lo, double hi) {
    if (!std::isfinite(v)) return std::nullopt;
    const double x = round ? std::round(v) : std::trunc(v);
    if (x < lo || x > hi) return std::nullopt;
    return static_cast<int>(x);
}
std::optional<int> rounded(float v, double lo = -1e6, double hi = 1e6) {
    return given(v) ? whole(v, true, lo, hi) : std::nullopt;
}

// A character that a record may carry as it is: printable, not blank.
bool printable(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7f;
}

// A text for a line of a text file: cut to `max` characters, control
// characters made blanks, `drop` characters left out.
std::string line_text(std::string_view text, std::size_t max, const char *drop = "") {
    std::string out;
    for (char c : text) {
        if (c == '\0' || out.size() >= max) break;
        if (std::strchr(drop, c) != nullptr) continue;
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    }
    return out;
}

// The first white-space separated word of a text, at most `max` characters:
// what a text record's reader takes as one field.
std::string first_word(std::string_view text, std::size_t max) {
    std::string out;
    for (char c : text) {
        if (!printable(c) || out.size() >= max) break;
        out += c;
    }
    return out;
}

// Appends printf output of any length.
[[gnu::format(printf, 2, 3)]] void add(std::string &out, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char buf[256];
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
        out.append(buf, static_cast<std::size_t>(n));
    } else if (n > 0) {
        std::string big(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(big.data(), big.size(), format, again);
        out.append(big.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
}

// A text field of a report, up to its terminator or the end of its array.
template <std::size_t N> std::string_view field(const char (&text)[N]) {
    return std::string_view(text, strnlen(text, N));
}

float celsius(float f) {
    return (f - 32.0f) * 5.0f / 9.0f;
}

// ---- Output -----------------------------------------------------------------------------

void warn_write(const char *func) {
    OpenFile &f = open_file();
    if (!f.write_failed)
        MESS_print(M_WARN, "%s: Unable to write the surface file %s\n", func, f.name.c_str());
    f.write_failed = true;
}

// Writes bytes to the open stream; false (warned) when the stream refuses them.
bool put_bytes(std::string_view bytes, const char *func) {
    FILE *stream = open_file().stream;
    if (stream == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
        std::ferror(stream)) {
        warn_write(func);
        return false;
    }
    return true;
}

// ---- Compact text records (types 1 and 2) ---------------------------------------------

constexpr int TEXT_MISSING = -99;

// Altimeter setting as its three-digit code: only 25.01 to 35.00 inches read
// back as themselves.
int altimeter_code(float alt) {
    if (!given(alt) || alt < 0 || alt > 100) return TEXT_MISSING;
    const int code = static_cast<int>(alt * 100.0f + 0.01f);
    return code >= 2501 && code <= 3500 ? code % 1000 : TEXT_MISSING;
}

// Pressure in tenths of a mb (plus 0.1, truncated); -1 when missing or out of
// any code's reach.
int pressure_tenths(float p) {
    if (!given(p) || p < 0 || p > 100000) return -1;
    return static_cast<int>(p * 10.0f + 0.1f);
}

// Compact pressure code: three digits for 950.1 to 1050.0 mb only.
int compact_pressure_code(float p) {
    const int code = pressure_tenths(p);
    return code >= 9501 && code <= 10500 ? code % 1000 : TEXT_MISSING;
}

int compact_visibility(float vis) {
    if (!given(vis) || vis < 0) return TEXT_MISSING;
    if (vis >= 99) return 990;
    return static_cast<int>(vis * 10.0f);
}

// Wind as DDFF from the direction's whole tens; -999 when the direction or
// speed is missing or out of the code's reach.
int compact_wind(const SFC_report &r) {
    if (!given(r.w_dir) || !given(r.w_spd) || r.w_dir < 0 || r.w_dir > 360 || r.w_spd < 0 || r.w_spd >= 100)
        return -999;
    return static_cast<int>(r.w_dir / 10.0f) * 100 + static_cast<int>(r.w_spd);
}

// A temperature in whole degrees, rounded; -99 when missing.
int compact_temperature(float t) {
    return rounded(t, -9999, 9999).value_or(TEXT_MISSING);
}

// The value the compact reader gives for the extreme-temperature group v,
// with t the temperature it read.
int compact_extreme_read(int v, int t) {
    if (v >= 0 && v <= 29 && t != TEXT_MISSING && t > 70) return v + 100;
    if (v >= 61 && v <= 99 && (t == TEXT_MISSING || t < 30)) return v - 100;
    return v;
}

// The amount of a precipitation, snow or gust group, when it is 0 or more
// and fits the reader's integers.
bool group_amount(float v, float scale) {
    return given(v) && v >= 0 && v * scale < 1e9f;
}

// Three cloud-type characters, each printable or a blank.
std::string cloud_types(const SFC_report &r) {
    std::string out(3, ' ');
    for (std::size_t i = 0; i < 3; ++i)
        if (printable(r.cld_type[i])) out[i] = r.cld_type[i];
    return out;
}

void compact_groups(std::string &out, const SFC_report &r, int t_written) {
    if (given(r.lat) && given(r.lon) && std::fabs(r.lat) < 1e5f && std::fabs(r.lon) < 1e5f)
        add(out, "L%4d.%5d.", *whole(r.lat * 10.0, true, -1e6, 1e6), *whole(r.lon * 10.0, true, -1e6, 1e6));
    if (given(r.ptend) && std::fabs(r.ptend) < 10) {
        // The reader keeps only the change, its sign from the characteristic:
        // 0 to 4 rising or steady, 5 to 8 falling. A characteristic that is
        // missing or disagrees with the change is written as 2 or 7.
        const int pp = static_cast<int>(std::fabs(r.ptend) * 10.0f + 0.01f);
        int a = r.ptend >= 0 ? 2 : 7;
        if (r.ptend_t >= 0 && r.ptend_t <= 8 && (pp == 0 || (r.ptend_t < 5) == (r.ptend >= 0))) a = r.ptend_t;
        if (pp <= 99) add(out, "P%3d.", a * 100 + pp);
    }
    if (group_amount(r.rain6, 100)) add(out, "r%2.0f.", static_cast<double>(r.rain6 * 100.0f));
    if (group_amount(r.rain24, 100)) add(out, "R%2.0f.", static_cast<double>(r.rain24 * 100.0f));
    const Date &date = open_file().date;
    const float extreme = date.hour >= 10 && date.hour <= 21 ? r.min_t : r.max_t;
    // A value the reader would correct for a lost hundreds digit is left out.
    if (const auto v = rounded(extreme, -9999, 9999); v && compact_extreme_read(*v, t_written) == *v)
        add(out, "T%2d.", *v);
    if (group_amount(r.scover, 1)) add(out, "S%2.0f.", static_cast<double>(r.scover));
    if (r.cld_type[0] != ' ') add(out, "C%3.3s.", cloud_types(r).c_str());
    if (group_amount(r.w_gust, 1)) add(out, "G%3.0f.", static_cast<double>(r.w_gust));
}

// The cloud summary's height in hundreds of feet for a three-digit group.
int compact_cloud_height(float h) {
    if (!given(h) || h < 0) return TEXT_MISSING;
    return whole(h / 100.0, true, 0, 999).value_or(TEXT_MISSING);
}

std::string compact_record(const SFC_report &r, int type) {
    std::string out;
    const int t = compact_temperature(r.t);
    add(out, "%s %3d.%3d.%04d.%3d.", first_word(field(r.id), 10).c_str(), t, compact_temperature(r.td),
        compact_wind(r), altimeter_code(r.alt));
    if (type == SFC_COMPACT) {
        char cover = ' ';
        float height = FMISSING;
        WX_set_cloud(&r, &cover, &height);
        if (!printable(cover)) cover = ' ';
        add(out, "%3d.%3d.%3d%c.", compact_pressure_code(r.pmb), compact_visibility(r.vis),
            compact_cloud_height(height), cover);
        if (r.weather[0] == ' ')
            out += " .";
        else
            out += line_text(field(r.weather), 9, ".") + ".";
        compact_groups(out, r, t);
    }
    out += '\n';
    return out;
}

// ---- "ZEQSFC" text records (types 3 and 4) --------------------------------------------

// Tenths of a degree, or -99.
void text_tenths(std::string &out, float v) {
    if (given(v) && std::fabs(v) < 1e6f)
        add(out, "%3.0f ", static_cast<double>(v * 10.0f));
    else
        out += "-99 ";
}

void text_wind(std::string &out, const SFC_report &r) {
    if (!given(r.w_dir) || !given(r.w_spd) || r.w_dir < 0 || r.w_dir > 360 || r.w_spd < 0 ||
        r.w_spd >= 1000) {
        out += "-999 ";
    } else if (r.w_spd >= 100) {
        // DDDFFF: a direction under 5 degrees would read as DDFF.
        int dir = static_cast<int>(r.w_dir) / 5 * 5;
        if (dir < 5) dir = 360;
        add(out, "%03d%03d ", dir, static_cast<int>(r.w_spd));
    } else {
        add(out, "%04d ", static_cast<int>(r.w_dir / 10.0f) * 100 + static_cast<int>(r.w_spd));
    }
}

// The altimeter setting the reader gets back from a written code.
float text_altimeter_read(int code) {
    if (code < 0) return FMISSING;
    return (code > 500 ? 20.0f : 30.0f) + code / 100.0f;
}

// The pressure: its three-digit code where the reader's correction by the
// altimeter setting or the temperature gives it back, else the whole code.
void text_pressure(std::string &out, const SFC_report &r, int alt_code, float t_read) {
    const int code = pressure_tenths(r.pmb);
    if (code < 1000) {
        out += "-99 ";
        return;
    }
    const int c = code % 1000;
    const float alt = text_altimeter_read(alt_code);
    bool three_digits = false;
    if (code >= 9501 && code <= 10500) {
        const bool high = alt != FMISSING ? alt > 30.7f : (t_read != FMISSING && t_read < -10);
        const bool low = alt != FMISSING && alt < 28.4f;
        three_digits = c > 500 ? !high : !low;
    }
    add(out, "%3d ", three_digits ? c : code);
}

// A cover that a "ZEQSFC" cloud field carries as it is.
bool text_cover(char c) {
    return printable(c) && std::strchr(",:$M", c) == nullptr;
}

void text_clouds(std::string &out, const SFC_report &r) {
    const int n = std::clamp(r.num_cld, 0, 5);
    for (int i = 0; i < std::max(n, 1); ++i) {
        if (i > 0) out += ',';
        const float h = r.cld_height[i];
        if (given(h) && h >= 0 && h < 1e9f)
            add(out, "%1.0f", static_cast<double>(h / 100.0f));
        else
            out += "-99";
        const char c = r.cld_cover[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            out += ':';
            out += c;
        } else if (text_cover(c)) {
            out += c;
        } else if (i > 0 || n == 0) {
            out += 'M';
        }
        // A first layer without a cover is its height alone: "M" there would
        // read as no clouds at all.
    }
    out += ' ';
}

std::string text_record(const SFC_report &r, int type) {
    std::string out = first_word(field(r.id), 10) + " ";
    text_tenths(out, r.t);
    text_tenths(out, r.td);
    text_wind(out, r);
    const int alt_code = altimeter_code(r.alt);
    add(out, "%3d ", alt_code);
    // The temperature the reader gets back decides the pressure correction.
    const float t_read = given(r.t) && std::fabs(r.t) < 1e6f ? std::nearbyint(r.t * 10.0f) / 10.0f : FMISSING;
    text_pressure(out, r, alt_code, t_read == -9.9f ? FMISSING : t_read);
    if (given(r.vis) && r.vis >= 0)
        add(out, r.vis < 5 ? "%.2f " : "%.1f ", static_cast<double>(r.vis));
    else
        out += "-99 ";
    text_clouds(out, r);
    const std::string wx = first_word(field(r.weather), 19);
    out += r.weather[0] == ' ' || wx.empty() ? "-" : wx;

    if (r.time != MISSING) add(out, " @%4.4d", r.time);
    if (given(r.lat) && given(r.lon))
        add(out, " L%1.0f,%1.0f", static_cast<double>(r.lat * 10.0f), static_cast<double>(r.lon * 10.0f));
    // A change without a one-digit characteristic has no group.
    if (given(r.ptend) && r.ptend_t >= 0 && r.ptend_t <= 9)
        add(out, " P%d%3.0f", r.ptend_t, static_cast<double>(r.ptend * 10.0f));
    // Groups after the 1-hour amount: a wave period without one of them
    // would read as that amount.
    bool past_rain1 = false;
    auto amount = [&](char letter, float v) {
        if (!group_amount(v, 100)) return;
        add(out, " %c%2.0f", letter, static_cast<double>(v * 100.0f));
        past_rain1 = true;
    };
    auto value = [&](char letter, float v, const char *format) {
        if (!given(v)) return;
        add(out, " %c", letter);
        add(out, format, static_cast<double>(v));
        past_rain1 = true;
    };
    const bool ext = type == SFC_TEXT_EXT;
    amount('p', r.rain1);
    amount('Q', r.rain3);
    amount('r', r.rain6);
    if (ext) amount('q', r.rain12);
    amount('R', r.rain24);
    value('X', r.max_t, "%2.1f");
    if (ext) value('x', r.max6_t, "%2.1f");
    value('N', r.min_t, "%2.1f");
    if (ext) value('n', r.min6_t, "%2.1f");
    if (group_amount(r.scover, 1)) value('S', r.scover, "%2.1f");
    if (r.cld_type[0] != ' ') {
        add(out, " C%3.3s", cloud_types(r).c_str());
        past_rain1 = true;
    }
    if (group_amount(r.w_gust, 1)) value('G', r.w_gust, "%3.0f");
    if (group_amount(r.solar, 1)) value('s', r.solar, "%3.0f");
    value('t', r.sst, "%2.1f");
    if (past_rain1) value('p', r.wav_per, "%2.0f");
    value('h', r.wav_hgt, "%2.1f");
    // The comment runs to the "$" and loses its trailing blanks.
    std::string comment = line_text(field(r.comment), 69, "$");
    while (!comment.empty() && comment.back() == ' ')
        comment.pop_back();
    if (!comment.empty()) out += " #" + comment;
    out += " $\n";
    return out;
}

// ---- Binary records (type 41) --------------------------------------------------------

constexpr std::size_t BIN_RECORD = 64;
constexpr int BIN_MISSING = 9999;

// A value for a 16-bit field: 9999 when missing or beyond the field.
int bin_field(std::optional<int> v) {
    return v && *v >= INT16_MIN && *v <= INT16_MAX ? *v : BIN_MISSING;
}
int bin_trunc(float v, float scale = 1, float add_before = 0) {
    return given(v) ? bin_field(whole(v * scale + add_before, false, -1e6, 1e6)) : BIN_MISSING;
}
int bin_round(float v, double scale = 1) {
    return given(v) ? bin_field(whole(v * scale, true, -1e6, 1e6)) : BIN_MISSING;
}

void put16(std::array<unsigned char, BIN_RECORD> &rec, std::size_t offset, int value) {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
    rec[offset] = static_cast<unsigned char>(bits & 0xff);
    rec[offset + 1] = static_cast<unsigned char>(bits >> 8);
}

// A cloud layer: the base in hundreds of feet with the cover's bits in the
// high byte; a base that reaches into the high byte cannot carry a cover.
int bin_cloud(const SFC_report &r, int i) {
    const char cover = r.cld_cover[i];
    if (cover == 'C') return 0;
    const float h = r.cld_height[i];
    const int height = given(h) ? bin_field(whole(h / 100.0, false, -1e6, 1e6)) : BIN_MISSING;
    if (height == BIN_MISSING) return BIN_MISSING;
    int bits = 0;
    switch (cover) {
    case 'F':
        bits = 16;
        break;
    case 'S':
        bits = 64;
        break;
    case 'B':
        bits = 32;
        break;
    case 'O':
        bits = 96;
        break;
    case 'X':
        bits = 112;
        break;
    default:
        return height;
    }
    if (height < 0 || height > 255) return BIN_MISSING;
    return height | bits << 8;
}

std::string bin_header(const Date &d) {
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi ? v : 0; };
    char buf[64];
    std::snprintf(buf, sizeof buf, "DATE:%2.2d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d", in(d.month, 1, 12),
                  in(d.day, 1, 31), d.year >= 0 ? d.year % 100 : 0, in(d.hour, 0, 23), in(d.min, 0, 59),
                  in(d.sec, 0, 59));
    return buf;
}

std::array<unsigned char, BIN_RECORD> bin_record(const SFC_report &r) {
    std::array<unsigned char, BIN_RECORD> rec{};
    for (std::size_t i = 0; i < 7 && r.id[i] != '\0'; ++i)
        rec[i] = static_cast<unsigned char>(r.id[i]);
    char wmo[8];
    std::snprintf(wmo, sizeof wmo, "%5.5d", r.wmo >= 0 && r.wmo <= 99999 ? r.wmo : 99999);
    std::memcpy(&rec[7], wmo, 5);
    // The weather without a METAR '!'; a field that begins with a blank has none.
    const char *wx = r.weather;
    if (wx[0] == '!') ++wx;
    if (r.weather[0] != ' ')
        for (std::size_t i = 0; i < 10 && wx[i] != '\0'; ++i)
            rec[14 + i] = static_cast<unsigned char>(wx[i]);

    const int shorts[20] = {
        r.time != MISSING ? bin_field(r.time) : BIN_MISSING,
        BIN_MISSING,
        bin_round(r.t),
        bin_round(r.td),
        bin_trunc(r.w_dir),
        bin_trunc(r.w_spd),
        bin_trunc(r.w_gust),
        bin_trunc(r.alt, 100, 0.1f),
        bin_trunc(r.pmb, 10, 0.1f),
        BIN_MISSING,
        BIN_MISSING,
        BIN_MISSING,
        bin_round(r.lat, 100),
        bin_round(r.lon, 100),
        0,
        bin_trunc(r.vis, 100, 0.1f),
        bin_cloud(r, 0),
        bin_cloud(r, 1),
        bin_cloud(r, 2),
        bin_trunc(r.elev),
    };
    for (std::size_t i = 0; i < 20; ++i)
        put16(rec, 24 + 2 * i, shorts[i]);
    return rec;
}

// ---- XML documents (type 51) ------------------------------------------------------------

std::string xml_char(char c) {
    return xml_attr_text(std::string_view(&c, 1));
}

void xml_number(std::string &out, const char *name, const char *format, float v) {
    if (!given(v)) return;
    out += name;
    out += "=\"";
    add(out, format, static_cast<double>(v));
    out += "\" ";
}

std::string xml_record(const SFC_report &r) {
    std::string out = "<obs id=\"" + xml_attr_text(field(r.id)) + "\" ";
    if (r.time != MISSING) add(out, "time.hhmm=\"%4.4d\" ", r.time);
    if (given(r.lat))
        add(out, "lat=\"%.2f\" lon=\"%.2f\" ", static_cast<double>(r.lat), static_cast<double>(r.lon));
    auto c = [](float f) { return given(f) ? celsius(f) : FMISSING; };
    xml_number(out, "temp.C", "%.1f", c(r.t));
    xml_number(out, "dewp.C", "%.1f", c(r.td));
    xml_number(out, "wdir.deg", "%.0f", r.w_dir);
    xml_number(out, "wspd.knt", "%.0f", r.w_spd);
    if (given(r.w_gust) && r.w_gust >= 0) xml_number(out, "wgust.knt", "%.0f", r.w_gust);
    xml_number(out, "alt.in", "%.2f", r.alt);
    xml_number(out, "slpr.mb", "%.1f", r.pmb);
    if (given(r.vis)) xml_number(out, "vis.mi", r.vis < 5 ? "%.2f" : "%.1f", r.vis);
    const int n = std::clamp(r.num_cld, 0, 5);
    if (n > 0) add(out, "ncld=\"%d\" ", n);
    for (int i = 0; i < n; ++i) {
        if (given(r.cld_height[i]))
            add(out, "cld_hgt_%d.ft=\"%.0f\" ", i + 1, static_cast<double>(r.cld_height[i]));
        const char cover = r.cld_cover[i];
        add(out, "cld_cov_%d=\"%s\" ", i + 1, cover == ' ' ? "M" : xml_char(cover).c_str());
    }
    if (r.weather[0] != ' ') out += "wx=\"" + xml_attr_text(field(r.weather)) + "\" ";
    if (given(r.ptend)) add(out, "ptype=\"%d\" ptend.mb=\"%.1f\" ", r.ptend_t, static_cast<double>(r.ptend));
    const std::pair<const char *, float> amounts[] = {
        {"prec1.in", r.rain1},   {"prec3.in", r.rain3},   {"prec6.in", r.rain6},
        {"prec12.in", r.rain12}, {"prec24.in", r.rain24},
    };
    for (const auto &[name, v] : amounts)
        if (given(v) && v >= 0) xml_number(out, name, "%.2f", v);
    xml_number(out, "maxt.C", "%.1f", c(r.max_t));
    xml_number(out, "maxt6.C", "%.1f", c(r.max6_t));
    xml_number(out, "mint.C", "%.1f", c(r.min_t));
    xml_number(out, "mint6.C", "%.1f", c(r.min6_t));
    if (given(r.scover) && r.scover >= 0) xml_number(out, "scover.in", "%.1f", r.scover);
    if (r.cld_type[0] != ' ')
        out += "lcld=\"" + xml_char(r.cld_type[0]) + "\" mcld=\"" + xml_char(r.cld_type[1]) + "\" hcld=\"" +
               xml_char(r.cld_type[2]) + "\" ";
    if (given(r.solar) && r.solar >= 0) xml_number(out, "solar.min", "%.0f", r.solar);
    xml_number(out, "sst.C", "%.1f", r.sst);
    xml_number(out, "wave_per.sec", "%.0f", r.wav_per);
    xml_number(out, "wave_hgt.m", "%.1f", r.wav_hgt);
    if (r.comment[0] != '\0') out += "comment=\"" + xml_attr_text(field(r.comment)) + "\" ";
    out += "/>\n";
    return out;
}

// ---- netCDF report layout (type 12) ------------------------------------------------------

constexpr const char *default_history = "Surface converted file from ZEQ decoders";

// One variable of the layout as the writer defines it.
struct CdfVar {
    ReportVar var;
    int type;
    int shape; // dimensions after the record: 0 none, else 1 + an index of cdf_dims
    const char *long_name;
    const char *units;
    bool fill;
    bool (*defined_at)(int hour); // null: every hour
};

bool every3(int h) {
    return h % 3 == 0;
}
bool every6(int h) {
    return h % 6 == 0;
}
bool every12(int h) {
    return h % 12 == 0;
}
bool extremes(int h) {
    return h == 0 || (h >= 5 && h <= 8) || h == 12;
}
bool sunshine_hour(int h) {
    return h == 8;
}

constexpr CdfVar cdf_vars[] = {
    {RV_ID, CDF_CHAR, 1, "station id", nullptr, false, nullptr},
    {RV_REGION, CDF_CHAR, 1, "region id", nullptr, false, nullptr},
    {RV_TIME, CDF_CHAR, 2, "time", "text_time", false, nullptr},
    {RV_LAT, CDF_FLOAT, 0, "latitude", "degrees_N", true, nullptr},
    {RV_LON, CDF_FLOAT, 0, "longitude", "degrees_E", true, nullptr},
    {RV_ELEV, CDF_FLOAT, 0, "elevation", "meters", true, nullptr},
    {RV_T, CDF_FLOAT, 0, "temperature", "celsius", true, nullptr},
    {RV_TD, CDF_FLOAT, 0, "dew point", "celsius", true, nullptr},
    {RV_PSL, CDF_FLOAT, 0, "sealevel pressure", "hectopascals", true, nullptr},
    {RV_ALTIM, CDF_FLOAT, 0, "altimeter setting", "hectopascals", true, nullptr},
    {RV_SPD, CDF_FLOAT, 0, "wind speed", "meters/second", true, nullptr},
    {RV_DIR, CDF_FLOAT, 0, "wind direction", "degrees", true, nullptr},
    {RV_GUST, CDF_FLOAT, 0, "wind gusts", "meters/second", true, nullptr},
    {RV_WX, CDF_BYTE, 3, "weather", "WMO table 4677", false, nullptr},
    {RV_ZCL, CDF_FLOAT, 3, "cloudbase", "meters", true, nullptr},
    {RV_CC, CDF_CHAR, 3, "cloudcover", "WMO table 2700", false, nullptr},
    {RV_CLOUDTYPE, CDF_CHAR, 3, "cloudtypes", "WMO tables 0509, 0513, 0515", false, nullptr},
    {RV_VIS, CDF_FLOAT, 0, "visibility", "kilometers", true, nullptr},
    {RV_PTEND, CDF_CHAR, 0, "Pressure tendency", "WMO table 0200", false, every3},
    {RV_DELP, CDF_FLOAT, 0, "Pressure change", "hectopascals", true, every3},
    {RV_PRECIP, CDF_FLOAT, 0, "precipitation amount", "millimeters", true, every3},
    {RV_REFTIME_PRECIP, CDF_FLOAT, 0, "precipitation reference time", "hours", false, every3},
    {RV_SNOW, CDF_FLOAT, 0, "snowcover", "millimeters", true, every12},
    {RV_SST, CDF_FLOAT, 0, "sea surface temperature", "celsius", true, every6},
    {RV_WAVE_PER, CDF_FLOAT, 0, "wave period", "seconds", true, every6},
    {RV_WAVE_HGT, CDF_FLOAT, 0, "wave height", "meters", true, every6},
    {RV_TMAX, CDF_FLOAT, 0, "maximum temperature", "celsius", true, extremes},
    {RV_TMIN, CDF_FLOAT, 0, "minimum temperature", "celsius", true, extremes},
    {RV_TMAX6, CDF_FLOAT, 0, "6 hour maximum temperature", "celsius", true, every6},
    {RV_TMIN6, CDF_FLOAT, 0, "6 hour minimum temperature", "celsius", true, every6},
    {RV_SUNSHINE, CDF_FLOAT, 0, "equivalent solar radiation", "minutes", true, sunshine_hour},
    {RV_REMARKS, CDF_CHAR, 4, nullptr, nullptr, false, nullptr},
};

// Defines the report layout for a file of the given header; false when the
// library refuses a definition.
bool cdf_define(SFC_info *info) {
    CdfLayout &l = cdf_layout();
    CDF_set_fd(open_file().cdf_fd);
    const int report = CDF_def_dim("report", 0);
    const int time_len = CDF_def_dim("time_len", 20), id_len = CDF_def_dim("id_len", 12);
    const int dims[] = {id_len, time_len, CDF_def_dim("layers", CDF_LAYERS), CDF_def_dim("remarks_len", 100)};
    bool ok = report != -1 && std::find(std::begin(dims), std::end(dims), -1) == std::end(dims);
    // Variables that only some hours carry: a file of no known hour has none.
    const int hour = info->date.hour;
    const bool hour_known = hour >= 0 && hour <= 23;
    for (const CdfVar &v : cdf_vars) {
        if (!ok) break;
        if (v.defined_at != nullptr && !(hour_known && v.defined_at(hour))) {
            l.report_vars[v.var] = -1;
            continue;
        }
        if (v.shape == 0)
            CDF_set_shape(1, report);
        else
            CDF_set_shape(2, report, dims[v.shape - 1]);
        int id = -1;
        switch (v.type) {
        case CDF_FLOAT:
            id = CDF_def_float_var(report_names[v.var]);
            break;
        case CDF_BYTE:
            id = CDF_def_byte_var(report_names[v.var]);
            break;
        default:
            id = CDF_def_char_var(report_names[v.var]);
            break;
        }
        l.report_vars[v.var] = id;
        ok = id != -1;
        if (!ok) break;
        if (v.long_name != nullptr) CDF_put_base_att(id, v.long_name, v.units);
        if (v.fill) ok = CDF_put_fill_att(id) != -1;
    }
    if (info->cmdline == nullptr) info->cmdline = default_history;
    ok = ok && CDF_put_glob_att("title", "Surface converted data") != -1 &&
         CDF_put_glob_att("version", "2.0") != -1 && CDF_put_glob_att("history", info->cmdline) != -1;
    char datim[sizeof info->datim];
    copy_text(datim, field(info->datim));
    ok = ok && CDF_put_glob_att("filetime", datim) != -1 && CDF_end_def() != -1;
    l.remarks_len = 100;
    l.defined = ok;
    return ok;
}

// The report's time of day on the day that brings it nearest the file time,
// as a UTC date label "hhmmZ dd MON yy"; the file date itself when the report
// has no time.
std::string cdf_time_label(int hhmm, const Date &file) {
    const bool time_known = hhmm != MISSING && hhmm >= 0 && hhmm <= 2400 && hhmm % 100 < 60;
    const bool day_known =
        file.year != MISSING && file.month >= 1 && file.month <= 12 && file.day >= 1 && file.day <= 31;
    char buf[32] = "";
    if (!day_known) {
        if (time_known) std::snprintf(buf, sizeof buf, "%4.4dZ", hhmm);
        return buf;
    }
    Date midnight = file;
    midnight.hour = midnight.min = midnight.sec = 0;
    const time_t day = DATE_num_sec(&midnight);
    const int file_hour = file.hour >= 0 && file.hour <= 23 ? file.hour : 0;
    const int file_min = file.min >= 0 && file.min <= 59 ? file.min : 0;
    const time_t file_time = day + 3600 * file_hour + 60 * file_min;
    time_t when = file_time;
    if (time_known) {
        const time_t of_day = 3600 * (hhmm / 100) + 60 * (hhmm % 100);
        when = day + of_day;
        for (const time_t shift : {-86400, 86400})
            if (std::llabs(static_cast<long long>(day + shift + of_day - file_time)) <
                std::llabs(static_cast<long long>(when - file_time)))
                when = day + shift + of_day;
    }
    Date d;
    DATE_get_gmdate(&when, &d);
    std::snprintf(buf, sizeof buf, "%2.2d%2.2dZ %2d %3s %2.2d", d.hour, d.min, d.day, DATE_month(d.month),
                  d.year % 100);
    return buf;
}

// WMO cloud amounts of the cover letters; a blank cover of a layer the
// report has stays blank, a layer it does not have is '/'.
char cdf_cover(char c, bool layer) {
    switch (c) {
    case 'C':
        return '0';
    case 'F':
        return '1';
    case 'S':
        return '2';
    case 'B':
        return '6';
    case 'O':
        return '8';
    case 'X':
        return '9';
    case ' ':
    case '\0':
        return layer ? ' ' : '/';
    default:
        return c;
    }
}

float cdf_value(float v, float factor = 1) {
    return given(v) ? v * factor : CDF_MISSING;
}
float cdf_celsius(float f) {
    return given(f) ? celsius(f) : CDF_MISSING;
}

bool cdf_write(const SFC_report &r, long rec) {
    const CdfLayout &l = cdf_layout();
    const auto &v = l.report_vars;
    CDF_set_fd(open_file().cdf_fd);
    bool ok = true;
    auto check = [&ok](int rc) { ok = ok && rc != -1; };
    auto put = [&](ReportVar var, float x) { check(CDF_put_float(v[var], x)); };

    CDF_set_pos(1, rec);
    check(CDF_put_str(v[RV_ID], std::string(field(r.id)).c_str()));
    CDF_set_pos(1, rec);
    check(CDF_put_str(v[RV_REGION], std::string(field(r.area)).c_str()));
    CDF_set_pos(1, rec);
    check(CDF_put_str(v[RV_TIME], cdf_time_label(r.time, open_file().date).c_str()));
    CDF_set_pos(1, rec);
    put(RV_LAT, cdf_value(r.lat));
    put(RV_LON, cdf_value(r.lon));
    put(RV_ELEV, cdf_value(r.elev));
    put(RV_T, cdf_celsius(r.t));
    put(RV_TD, cdf_celsius(r.td));
    put(RV_PSL, cdf_value(r.pmb));
    put(RV_ALTIM, cdf_value(r.alt, 33.85399f));
    put(RV_SPD, cdf_value(r.w_spd, 0.5144f));
    put(RV_DIR, cdf_value(r.w_dir));
    put(RV_GUST, cdf_value(r.w_gust, 0.5144f));
    put(RV_VIS, cdf_value(r.vis, 1.60934f));
    put(RV_DELP, cdf_value(r.ptend));
    put(RV_SUNSHINE, cdf_value(r.solar));
    put(RV_SST, cdf_value(r.sst));
    put(RV_WAVE_PER, cdf_value(r.wav_per));
    put(RV_WAVE_HGT, cdf_value(r.wav_hgt));
    put(RV_TMAX, cdf_celsius(r.max_t));
    put(RV_TMIN, cdf_celsius(r.min_t));
    put(RV_TMAX6, cdf_celsius(r.max6_t));
    put(RV_TMIN6, cdf_celsius(r.min6_t));
    put(RV_SNOW, cdf_value(r.scover, 25.4f));
    // '/' for a missing characteristic, which the reader takes as missing.
    check(CDF_put_char(v[RV_PTEND], r.ptend_t >= 0 && r.ptend_t <= 9 ? static_cast<char>(r.ptend_t) : '/'));
    const bool day = given(r.rain24);
    put(RV_REFTIME_PRECIP, day ? 24.0f : 6.0f);
    put(RV_PRECIP, cdf_value(day ? r.rain24 : r.rain6, 25.4f));

    CDF_set_pos(2, rec, 0L);
    const std::string weather(field(r.weather)); // terminated whatever the caller's array holds
    check(CDF_put_byte(v[RV_WX], static_cast<unsigned char>(WX_weather_wmo(weather.c_str()))));
    const int layers = std::clamp(r.num_cld, 0, 5);
    for (int i = 0; i < CDF_LAYERS; ++i) {
        CDF_set_pos(2, rec, static_cast<long>(i));
        put(RV_ZCL, cdf_value(r.cld_height[i], 0.3048f));
        check(CDF_put_char(v[RV_CC], cdf_cover(r.cld_cover[i], i < layers)));
    }
    for (int i = 0; i < 3; ++i) {
        CDF_set_pos(2, rec, static_cast<long>(i));
        const char type = r.cld_type[i];
        check(CDF_put_char(v[RV_CLOUDTYPE], type == ' ' || type == '\0' ? '/' : type));
    }
    CDF_set_pos(1, rec);
    check(CDF_put_str(v[RV_REMARKS], std::string(field(r.comment)).c_str()));
    return ok;
}

bool is_text(int type) {
    return type >= SFC_COMPACT_SHORT && type <= SFC_TEXT_EXT;
}

} // namespace

int SFC_putinfo(int, SFC_info *info) {
    OpenFile &f = open_file();
    if (info == nullptr || f.type == 0 || f.access == 0) return -1;
    f.date = info->date;
    char datim[sizeof info->datim];
    copy_text(datim, field(info->datim));
    // An appended file has its header: only the date is taken.
    const bool append = f.access == 2;
    switch (f.type) {
    case SFC_COMPACT_SHORT:
    case SFC_COMPACT:
        return append || put_bytes(line_text(datim, sizeof datim) + "\n", "SFC_putinfo") ? 0 : -1;
    case SFC_TEXT:
    case SFC_TEXT_EXT:
        return append || put_bytes("ZEQSFC\n" + line_text(datim, sizeof datim) + "\n", "SFC_putinfo") ? 0
                                                                                                      : -1;
    case SFC_XML:
        return put_bytes("<zeqsfc date=\"" + xml_attr_text(datim) + "\">\n", "SFC_putinfo") ? 0 : -1;
    case SFC_BINARY:
        return put_bytes(bin_header(info->date), "SFC_putinfo") ? 0 : -1;
    case SFC_CDF_REPORT:
        if (append) {
            cdf_read_header(nullptr);
            return 0;
        }
        if (cdf_define(info)) return 0;
        MESS_print(M_WARN, "SFC_putinfo: Unable to define the surface file %s\n", f.name.c_str());
        f.write_failed = true;
        return -1;
    default:
        return -1;
    }
}

int SFC_write(int, SFC_report *report, int, int *statnum) {
    OpenFile &f = open_file();
    if (report == nullptr || f.type == 0 || f.access == 0) return -1;
    if (is_text(f.type)) {
        // The text records' readers need an identifier to find the report.
        if (first_word(field(report->id), 10).empty()) {
            MESS_print(M_WARN, "SFC_write: Report without station identifier left out of %s\n",
                       f.name.c_str());
            return -1;
        }
        const std::string line =
            f.type <= SFC_COMPACT ? compact_record(*report, f.type) : text_record(*report, f.type);
        return put_bytes(line, "SFC_write") ? 0 : -1;
    }
    switch (f.type) {
    case SFC_BINARY: {
        const std::array<unsigned char, BIN_RECORD> rec = bin_record(*report);
        return put_bytes(std::string_view(reinterpret_cast<const char *>(rec.data()), rec.size()),
                         "SFC_write")
                   ? 0
                   : -1;
    }
    case SFC_XML:
        return put_bytes(xml_record(*report), "SFC_write") ? 0 : -1;
    case SFC_CDF_REPORT:
        // An appended file's variables are those of its header.
        if (!cdf_layout().defined && f.access == 2) cdf_read_header(nullptr);
        if (statnum == nullptr || *statnum < 0 || !cdf_layout().defined) return -1;
        if (cdf_write(*report, *statnum)) return 0;
        warn_write("SFC_write");
        return -1;
    default:
        return -1;
    }
}
