// Surface file reading of the two netCDF layouts: the header (record count,
// variable ids, missing markers, version) and the reports of the station
// layout (type 11) and the report layout (type 12), converted into the units
// of SFC_report. No file-static state of its own: the open file and its
// layout belong to the module (sfc_read_int.h).
#include "surface/sfc_read_int.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>

#include "runtime/string.h"
#include "surface/cdf.h"
#include "surface/wx_tool.h"

namespace sfc_read_int {

namespace {

// Values that are in the report layout's file units.
constexpr float MB_TO_IN = 0.0295386f;   // hectopascals to inches of mercury
constexpr float MS_TO_KNOTS = 1.944f;    // metres per second to knots
constexpr float KM_TO_MILES = 0.62137f;  // kilometres to statute miles
constexpr float M_TO_FEET = 3.2808f;     // metres to feet
constexpr float MM_TO_INCHES = 0.03937f; // millimetres to inches

bool present(float v) {
    return v != FMISSING && std::isfinite(v);
}

// A value of the file: -9999 (and a value that is not a number) is missing
// and never converted.
float scaled(float v, float factor) {
    return present(v) ? v * factor : FMISSING;
}
float fahrenheit(float celsius) {
    return present(celsius) ? celsius * 9.0f / 5.0f + 32.0f : FMISSING;
}

// The hour of the file date decides which extreme the day's value is.
void set_extreme(SFC_report *r, float value, const Date &date) {
    if (date.hour >= 10 && date.hour <= 21)
        r->min_t = value;
    else
        r->max_t = value;
}

// Up to `length` characters of a text variable at the current position.
std::string text_at(int var, int length) {
    std::array<char, 128> buf{};
    length = std::clamp(length, 0, static_cast<int>(buf.size()) - 1);
    if (CDF_get_str(var, length, buf.data()) != 1) return {};
    return buf.data();
}

// The leading integer of a text (after blanks, an optional sign and at most
// nine digits: "1150Z 08 DEC 26" gives 1150); -9999 when there is none.
int leading_int(std::string_view text) {
    std::size_t k = text.find_first_not_of(' ');
    if (k == std::string_view::npos) return MISSING;
    const bool negative = text[k] == '-';
    if (text[k] == '-' || text[k] == '+') ++k;
    int v = 0;
    int digits = 0;
    for (; k < text.size() && digits < 9 && text[k] >= '0' && text[k] <= '9'; ++k, ++digits)
        v = v * 10 + (text[k] - '0');
    if (digits == 0) return MISSING;
    return negative ? -v : v;
}

// A character of a per-layer variable, a NUL counting as blank.
char layer_char(int var) {
    const char c = CDF_get_char(var);
    return c == '\0' ? ' ' : c;
}

// ---- Station layout (type 11) ---------------------------------------------------

constexpr int INT_COUNT = 13;
constexpr int FLT_COUNT = 15;
constexpr int STATION_TEXT = 11;

void read_station_ids(SFC_report *r, const CdfLayout &l) {
    const std::string id = text_at(l.station_vars[SV_ID], STATION_TEXT);
    const std::size_t first = id.find_first_not_of(' ');
    copy_text(r->id, first == std::string::npos ? std::string_view() : std::string_view(id).substr(first));
}

// The integers of a record, the file's missing marker replaced by -9999.
std::array<int, INT_COUNT> station_ints(long rec, const CdfLayout &l) {
    std::array<double, INT_COUNT> v;
    CDF_set_range(2, rec, 1L, 0L, static_cast<long>(INT_COUNT));
    CDF_get_double_array(l.station_vars[SV_INTDATA], v.data());
    std::array<int, INT_COUNT> out;
    for (int i = 0; i < INT_COUNT; ++i) {
        const double x = v[static_cast<std::size_t>(i)];
        const bool fits = x >= INT_MIN && x <= INT_MAX;
        out[static_cast<std::size_t>(i)] =
            (!fits || static_cast<int>(x) == l.miss_i) ? MISSING : static_cast<int>(x);
    }
    return out;
}

// The floats of a record, the file's missing marker replaced by -9999; in a
// file of the first version the longitude's sign is reversed.
std::array<float, FLT_COUNT> station_floats(long rec, const CdfLayout &l) {
    std::array<float, FLT_COUNT> v;
    CDF_set_range(2, rec, 1L, 0L, static_cast<long>(FLT_COUNT));
    CDF_get_float_array(l.station_vars[SV_FLTDATA], v.data());
    for (float &x : v)
        if (x == l.miss_f || !std::isfinite(x)) x = FMISSING;
    if (l.version == 1 && v[1] != FMISSING) v[1] = -v[1];
    return v;
}

int read_station(SFC_report *r, long rec, int rep_type, const CdfLayout &l, const Date &date) {
    CDF_set_pos(1, rec);
    read_station_ids(r, l);
    if (rep_type == 1) return 0;
    const std::array<int, INT_COUNT> iv = station_ints(rec, l);
    const std::array<float, FLT_COUNT> fv = station_floats(rec, l);
    CDF_set_pos(1, rec);
    copy_text(r->area, text_at(l.station_vars[SV_REGION], STATION_TEXT));
    r->lat = fv[0];
    r->lon = fv[1];
    r->prior = iv[1];
    r->elev = iv[2] == MISSING ? FMISSING : static_cast<float>(iv[2]);
    r->wmo = iv[3];
    r->type = iv[4] == MISSING ? 0 : iv[4]; // 0: no type known
    if (rep_type == 2) return 0;

    const std::string wx = text_at(l.station_vars[SV_WX], STATION_TEXT);
    if (!wx.empty()) copy_text(r->weather, wx);
    const std::string types = text_at(l.station_vars[SV_CLD], 3);
    for (std::size_t i = 0; i < types.size() && i < 3; ++i)
        r->cld_type[i] = types[i];
    r->time = iv[0];

    // Layers with a cover, in order; a cover equal to the missing marker (or
    // without a character) is no layer.
    int n = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int code = iv[9 + i];
        const char cover = code == MISSING ? ' ' : static_cast<char>(code & 0xff);
        if (cover == ' ' || cover == '\0') continue;
        r->cld_height[n] = iv[5 + i] == MISSING ? FMISSING : static_cast<float>(iv[5 + i]);
        r->cld_cover[n] = cover;
        ++n;
    }
    r->num_cld = n;

    r->vis = fv[2];
    r->pmb = fv[3];
    r->t = fv[4];
    r->td = fv[5];
    r->w_dir = fv[6];
    r->w_spd = fv[7];
    r->w_gust = fv[8];
    r->alt = fv[9];
    r->rain6 = fv[10];
    r->rain24 = fv[11];
    if (fv[12] != FMISSING) set_extreme(r, fv[12], date);
    r->scover = fv[13];
    r->ptend = fv[14];
    return 0;
}

// ---- Report layout (type 12) ----------------------------------------------------

float value(const CdfLayout &l, ReportVar v) {
    const float x = CDF_get_float(l.report_vars[v]);
    return present(x) ? x : FMISSING;
}

void read_report_location(SFC_report *r, const CdfLayout &l) {
    const int region = l.report_vars[RV_REGION];
    copy_text(r->area, region == -1 ? std::string("UN") : text_at(region, 10));
    r->wmo = MISSING;
    r->lat = value(l, RV_LAT);
    r->lon = value(l, RV_LON);
    r->elev = value(l, RV_ELEV);
}

int read_report(SFC_report *r, long rec, int rep_type, const CdfLayout &l) {
    CDF_set_pos(1, rec);
    copy_text(r->id, text_at(l.report_vars[RV_ID], 10));
    if (rep_type == 1) return 0;
    read_report_location(r, l);
    if (rep_type == 2) return 0;

    CDF_set_pos(1, rec);
    if (l.report_vars[RV_TIME] != -1) r->time = leading_int(text_at(l.report_vars[RV_TIME], 10));
    r->t = fahrenheit(value(l, RV_T));
    r->td = fahrenheit(value(l, RV_TD));
    r->pmb = value(l, RV_PSL);
    r->alt = scaled(value(l, RV_ALTIM), MB_TO_IN);
    r->w_spd = scaled(value(l, RV_SPD), MS_TO_KNOTS);
    r->w_dir = value(l, RV_DIR);
    r->w_gust = scaled(value(l, RV_GUST), MS_TO_KNOTS);

    // The weather number is the first of the record's row.
    CDF_set_pos(2, rec, 0L);
    char code[WX_CODE_SIZE];
    WX_wmo_weather(CDF_get_byte(l.report_vars[RV_WX]), code);
    copy_text(r->weather, code);

    // Cloud layers up to the first '/' (a NUL, the fill of a character
    // variable, ends them too); a layer with neither a cover nor a base (as
    // in blank-padded covers or a file without covers) is passed over.
    int n = 0;
    for (int i = 0; i < CDF_LAYERS; ++i) {
        CDF_set_pos(2, rec, static_cast<long>(i));
        const float height = scaled(value(l, RV_ZCL), M_TO_FEET);
        const char cover = CDF_get_char(l.report_vars[RV_CC]);
        if (cover == '/' || cover == '\0') break;
        if (cover == ' ' && !present(height)) continue;
        r->cld_height[n] = height;
        r->cld_cover[n] = cover;
        ++n;
    }
    r->num_cld = n;
    for (int i = 0; i < 3; ++i) {
        CDF_set_pos(2, rec, static_cast<long>(i));
        const char type = layer_char(l.report_vars[RV_CLOUDTYPE]);
        r->cld_type[i] = type == '/' ? ' ' : type;
    }

    CDF_set_pos(1, rec);
    r->vis = scaled(value(l, RV_VIS), KM_TO_MILES);
    // A blank (also an absent variable) and '/' are both missing.
    const char ptend = CDF_get_char(l.report_vars[RV_PTEND]);
    if (ptend != ' ' && ptend != '/') r->ptend_t = static_cast<unsigned char>(ptend);
    r->ptend = value(l, RV_DELP);
    const float precip = scaled(value(l, RV_PRECIP), MM_TO_INCHES);
    if (value(l, RV_REFTIME_PRECIP) == 24)
        r->rain24 = precip;
    else
        r->rain6 = precip;
    r->scover = scaled(value(l, RV_SNOW), MM_TO_INCHES);
    r->max_t = fahrenheit(value(l, RV_TMAX));
    r->min_t = fahrenheit(value(l, RV_TMIN));
    r->max6_t = fahrenheit(value(l, RV_TMAX6));
    r->min6_t = fahrenheit(value(l, RV_TMIN6));
    r->solar = value(l, RV_SUNSHINE);
    r->sst = value(l, RV_SST);
    r->wav_per = value(l, RV_WAVE_PER);
    r->wav_hgt = value(l, RV_WAVE_HGT);
    const int remarks = static_cast<int>(std::min<long>(l.remarks_len > 0 ? l.remarks_len : 99, 99));
    copy_text(r->comment, text_at(l.report_vars[RV_REMARKS], remarks));
    return 0;
}

} // namespace

void cdf_read_header(SFC_info *info) {
    OpenFile &f = open_file();
    CdfLayout &layout = cdf_layout();
    CDF_set_fd(f.cdf_fd);
    // Probing for variables, dimensions and attributes a file may lack.
    CDF_print_errors(0);
    long records = CDF_get_dim_size(CDF_RECORD_DIM);
    if (records < 0) {
        // A file without an unlimited dimension: its report dimension by name.
        for (const char *name : {"station", "report", "ob"})
            if (const int dim = CDF_get_dim(name); records < 0 && dim >= 0) records = CDF_get_dim_size(dim);
    }
    layout.num_rec = static_cast<int>(std::clamp<long>(records, 0, INT_MAX));
    char datim[sizeof info->datim] = "";
    if (f.type == SFC_CDF_STATION) {
        for (std::size_t i = 0; i < station_names.size(); ++i)
            layout.station_vars[i] = CDF_get_var(station_names[i]);
        CDF_get_glob_att("missing_val_f", &layout.miss_f, 1);
        CDF_get_glob_att("missing_val_i", &layout.miss_i, 1);
        char c[2] = " ";
        if (CDF_get_glob_att("missing_val_c", c, sizeof c) == 1 && c[0] != '\0') layout.miss_c = c[0];
        CDF_get_glob_att("datetime", datim, sizeof datim);
        // Files of the first version have no "version" attribute, of whatever type.
        char version[40];
        layout.version = CDF_get_glob_att("version", version, sizeof version) >= 0 ? 2 : 1;
    } else {
        const int dim = CDF_get_dim("remarks_len");
        layout.remarks_len = dim >= 0 ? std::max(0L, CDF_get_dim_size(dim)) : 0;
        for (std::size_t i = 0; i < report_names.size(); ++i)
            layout.report_vars[i] = CDF_get_var(report_names[i]);
        CDF_get_glob_att("filetime", datim, sizeof datim);
    }
    layout.defined = true;
    CDF_print_errors(1);
    if (info != nullptr) {
        info->num_stat = layout.num_rec;
        copy_text(info->datim, datim);
    }
}

int cdf_read_report(SFC_report *report, int rep_type, int statnum) {
    OpenFile &f = open_file();
    const CdfLayout &l = cdf_layout();
    // -1 reads the record the counter names again; any other number becomes
    // the counter.
    if (statnum != -1) f.stat_num = statnum;
    if (f.stat_num < 0 || f.stat_num >= l.num_rec) return -1;
    CDF_set_fd(f.cdf_fd);
    const long rec = f.stat_num;
    if (f.type == SFC_CDF_STATION) return read_station(report, rec, rep_type, l, f.date);
    return read_report(report, rec, rep_type, l);
}

} // namespace sfc_read_int
