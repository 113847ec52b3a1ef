// Surface file access: type detection, opening, header, rewinding and closing
// of the one open surface file, and the reading of text reports (compact and
// "ZEQSFC" records) by report number. File-static state: the open file (stream
// or netCDF id, type, access, name, record counter, file date), the report
// line last read and the netCDF layout of the open file.
#include "surface/sfc_read.h"
#include "surface/sfc_read_int.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/tools.h"
#include "surface/cdf.h"
#include "surface/sfc_tool.h"

namespace {

sfc_read_int::OpenFile st;      // the open file
sfc_read_int::CdfLayout layout; // netCDF header of the open file

bool seekable = true;       // the stream can go back (not a pipe or terminal)
bool header_passed = false; // a stream that cannot go back has had its header read
std::string stream_datim;   // the date line of such a stream
std::string last_line;      // the report line last read, for reading it again
bool have_last = false;

bool is_text_type(int type) {
    return type >= SFC_COMPACT_SHORT && type <= SFC_TEXT_EXT;
}
bool is_cdf_type(int type) {
    return type == SFC_CDF_STATION || type == SFC_CDF_REPORT;
}
bool has_magic(int type) {
    return type == SFC_TEXT || type == SFC_TEXT_EXT;
}

void reset_reading() {
    st.stat_num = 0;
    have_last = false;
    last_line.clear();
}

// The next line of the stream (any length) without its line feed and
// trailing carriage return; false at the end.
bool read_line(std::string &line) {
    if (!fget_anyline(st.stream, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Passes over white space, line ends included; false at the end of the file.
bool skip_space() {
    int c;
    while ((c = std::getc(st.stream)) != EOF) {
        if (!std::isspace(c)) {
            std::ungetc(c, st.stream);
            return true;
        }
    }
    return false;
}

// The next report line: blank lines are passed over. False at the end.
bool next_report_line(std::string &line) {
    return skip_space() && read_line(line);
}

// Reads or passes the header lines at the current position.
void read_header(std::string *datim) {
    std::string line;
    if (has_magic(st.type)) read_line(line);
    line.clear();
    read_line(line);
    if (datim != nullptr) *datim = line;
}

// ---- Record scanning ----------------------------------------------------------

// A cursor over one record line.
class Scanner {
public:
    explicit Scanner(std::string_view text) : s_(text) {}

    bool at_end() const { return i_ >= s_.size(); }
    char peek() const { return at_end() ? '\0' : s_[i_]; }
    void next() { ++i_; }
    void skip_blanks() {
        while (!at_end() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }
    bool expect(char c) {
        if (peek() != c || at_end()) return false;
        ++i_;
        return true;
    }
    // One character, whatever it is.
    bool take(char &c) {
        if (at_end()) return false;
        c = s_[i_++];
        return true;
    }
    // An integer after blanks: an optional sign and digits, at most `width`
    // characters; out-of-range values are clamped.
    bool integer(int &v, std::size_t width = std::string_view::npos) {
        skip_blanks();
        std::size_t j = i_;
        bool neg = false;
        if (j < s_.size() && (s_[j] == '-' || s_[j] == '+')) neg = s_[j++] == '-';
        long long value = 0;
        std::size_t digits = 0;
        while (j < s_.size() && j - i_ < width && std::isdigit(static_cast<unsigned char>(s_[j]))) {
            value = std::min<long long>(value * 10 + (s_[j] - '0'), INT_MAX);
            ++j;
            ++digits;
        }
        if (digits == 0) return false;
        v = static_cast<int>(neg ? -value : value);
        i_ = j;
        return true;
    }
    // A decimal number after blanks.
    bool number(double &v) {
        skip_blanks();
        const std::size_t n = scan_decimal(s_.substr(i_), &v);
        i_ += n;
        return n > 0;
    }
    // The next white-space separated word.
    std::string_view word() {
        skip_blanks();
        const std::size_t b = i_;
        while (!at_end() && !std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
        return s_.substr(b, i_ - b);
    }
    // The characters up to (not including) c or the end of the text.
    std::string_view until(char c) {
        const std::size_t b = i_;
        while (!at_end() && s_[i_] != c)
            ++i_;
        return s_.substr(b, i_ - b);
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

// The leading integer of an identifier (0 when it begins with a letter).
int leading_int(std::string_view id) {
    Scanner sc(id);
    int v = 0;
    return sc.integer(v) ? v : 0;
}

// The identifier at the start of a record line; sets the WMO number too when
// asked and the identifier is longer than 4 characters.
void read_id(Scanner &sc, SFC_report *r, bool with_wmo) {
    const std::string_view id = sc.word();
    copy_text(r->id, sizeof r->id, id);
    if (with_wmo && id.size() > 4) r->wmo = leading_int(id);
}

// The day's extreme temperature: the minimum in files of 10 to 21 UTC, else
// the maximum.
void set_extreme(SFC_report *r, float value) {
    if (st.date.hour >= 10 && st.date.hour <= 21)
        r->min_t = value;
    else
        r->max_t = value;
}

void set_ship_position(SFC_report *r, double lat10, double lon10) {
    r->lat = static_cast<float>(lat10 / 10);
    r->lon = static_cast<float>(lon10 / 10);
    copy_text(r->area, sizeof r->area, "SHIP");
    r->elev = 0;
}

// ---- Compact records (types 1 and 2) ---------------------------------------------

// An integer group ended by '.' (or by the end of the line).
bool dot_int(Scanner &sc, int &v) {
    return sc.integer(v) && (sc.expect('.') || sc.at_end());
}

float alt_code(int code) {
    if (code < 0) return FMISSING;
    if (code > 999) return code / 100.0f;
    return (code > 500 ? 20.0f : 30.0f) + code / 100.0f;
}

float pressure_code(int code) {
    if (code < 0) return FMISSING;
    // Pressures above 1050 mb are written as 1000 plus their three-digit
    // code; larger codes are whole tenths of a mb.
    if (code > 999) return code < 2000 ? 1000 + (code - 1000) / 10.0f : code / 10.0f;
    return (code > 500 ? 900.0f : 1000.0f) + code / 10.0f;
}

void ddff_wind(SFC_report *r, int v) {
    if (v < 0) return;
    r->w_dir = static_cast<float>(v / 100 * 10);
    r->w_spd = static_cast<float>(v % 100);
}

// A precipitation group: hundredths of an inch, or inches '.' decimals.
bool rain_group(Scanner &sc, float &amount) {
    int whole = 0;
    if (!sc.integer(whole)) return false;
    if (!sc.expect('.')) {
        amount = whole / 100.0f;
        return sc.at_end();
    }
    if (!std::isdigit(static_cast<unsigned char>(sc.peek()))) {
        amount = whole / 100.0f;
        return true;
    }
    int frac = 0;
    float scale = 1;
    for (int k = 0; k < 2 && std::isdigit(static_cast<unsigned char>(sc.peek())); ++k) {
        frac = frac * 10 + (sc.peek() - '0');
        scale *= 10;
        sc.next();
    }
    const float magnitude = static_cast<float>(std::abs(whole)) + frac / scale;
    amount = whole < 0 ? -magnitude : magnitude;
    return sc.expect('.') || sc.at_end();
}

void parse_compact(Scanner &sc, SFC_report *r) {
    int v = 0;
    if (!dot_int(sc, v)) return;
    if (v != -99) r->t = static_cast<float>(v);
    if (!dot_int(sc, v)) return;
    if (v != -99) r->td = static_cast<float>(v);
    if (!dot_int(sc, v)) return;
    ddff_wind(r, v);
    if (!dot_int(sc, v)) return;
    r->alt = alt_code(v);
    // A short record ends with the altimeter group.
    if (!dot_int(sc, v)) return;
    r->pmb = pressure_code(v);
    if (!dot_int(sc, v)) return;
    if (v >= 0) r->vis = v / 10.0f;
    char cover = ' ';
    if (!sc.integer(v, 3) || !sc.take(cover)) return;
    if (v >= 0) r->cld_height[0] = v * 100.0f;
    r->cld_cover[0] = cover;
    if (cover != ' ') r->num_cld = 1;
    if (!sc.expect('.')) return;
    const std::string_view wx = sc.until('.');
    if (!wx.empty()) copy_text(r->weather, 10, wx);
    if (!sc.expect('.')) return;

    // Optional groups, recognised only in this order; anything else ends the
    // record.
    static constexpr char order[] = "LPrRTSCG";
    std::size_t next = 0;
    while (true) {
        sc.skip_blanks();
        if (sc.at_end()) return;
        const char *found = std::strchr(order + next, sc.peek());
        if (found == nullptr || *found == '\0') return;
        next = static_cast<std::size_t>(found - order) + 1;
        sc.next();
        switch (*found) {
        case 'L': {
            int lat = 0, lon = 0;
            if (!sc.integer(lat) || !sc.expect('.') || !dot_int(sc, lon)) return;
            set_ship_position(r, lat, lon);
            break;
        }
        case 'P':
            if (!dot_int(sc, v)) return;
            if (v >= 0) r->ptend = (v % 100) / 10.0f * (v >= 500 ? -1 : 1);
            break;
        case 'r':
            if (!rain_group(sc, r->rain6)) return;
            break;
        case 'R':
            if (!rain_group(sc, r->rain24)) return;
            break;
        case 'T':
            if (!dot_int(sc, v)) return;
            // The group may have lost its hundreds digit.
            if (v >= 0 && v <= 29 && r->t != FMISSING && r->t > 70)
                v += 100;
            else if (v >= 61 && v <= 99 && (r->t == FMISSING || r->t < 30))
                v -= 100;
            set_extreme(r, static_cast<float>(v));
            break;
        case 'S':
            if (!dot_int(sc, v)) return;
            r->scover = static_cast<float>(v);
            break;
        case 'C':
            for (char &c : r->cld_type)
                if (!sc.take(c)) return;
            if (!sc.expect('.') && !sc.at_end()) return;
            break;
        case 'G':
            if (!dot_int(sc, v)) return;
            r->w_gust = static_cast<float>(v);
            break;
        }
    }
}

// ---- "ZEQSFC" records (types 3 and 4) -------------------------------------------

// A number word of the fixed part; false at the end of the record.
bool number_word(Scanner &sc, double &v) {
    const std::string_view w = sc.word();
    return !w.empty() && w != "$" && scan_decimal(w, &v) > 0;
}

bool int_value(double v, int &out) {
    if (!(v >= INT_MIN && v <= INT_MAX)) return false;
    out = static_cast<int>(v);
    return true;
}

void text_clouds(std::string_view field, SFC_report *r) {
    int layer = 0;
    while (!field.empty() && layer < 5) {
        const std::size_t comma = field.find(',');
        Scanner sc(field.substr(0, comma));
        field = comma == std::string_view::npos ? std::string_view() : field.substr(comma + 1);
        int height = MISSING;
        const bool has_height = sc.integer(height);
        sc.expect(':');
        char cover = ' ';
        sc.take(cover);
        if (!has_height && cover == ' ') continue;
        if (layer == 0 && cover == 'M') return; // no clouds
        if (has_height && height >= 0) r->cld_height[layer] = height * 100.0f;
        r->cld_cover[layer] = cover == 'M' ? ' ' : cover;
        r->num_cld = ++layer;
    }
}

void parse_text(Scanner &sc, SFC_report *r) {
    double v = 0;
    int iv = 0;
    r->type = 1;
    if (!number_word(sc, v)) return;
    if (v != -99) r->t = static_cast<float>(v / 10);
    if (!number_word(sc, v)) return;
    if (v != -99) r->td = static_cast<float>(v / 10);
    if (!number_word(sc, v)) return;
    if (int_value(v, iv) && iv >= 0) {
        if (iv > 4999) {
            r->w_dir = static_cast<float>(iv / 1000);
            r->w_spd = static_cast<float>(iv % 1000);
        } else {
            ddff_wind(r, iv);
        }
    }
    if (!number_word(sc, v)) return;
    if (v >= 0) r->alt = static_cast<float>(v >= 1000 ? v / 100 : (v > 500 ? 20 : 30) + v / 100);
    if (!number_word(sc, v)) return;
    if (v >= 1000) {
        r->pmb = static_cast<float>(v / 10);
    } else if (v > 500) {
        // 9xx codes of very high pressures and of cold stations
        const bool high = r->alt != FMISSING ? r->alt > 30.7f : (r->t != FMISSING && r->t < -10);
        r->pmb = static_cast<float>(900 + v / 10 + (high ? 100 : 0));
    } else if (v >= 0) {
        const bool low = r->alt != FMISSING && r->alt < 28.4f;
        r->pmb = static_cast<float>(1000 + v / 10 - (low ? 100 : 0));
    }
    if (!number_word(sc, v)) return;
    if (v >= 0) r->vis = static_cast<float>(v);
    std::string_view w = sc.word();
    if (w.empty() || w == "$") return;
    text_clouds(w, r);
    w = sc.word();
    if (w.empty() || w == "$") return;
    copy_text(r->weather, 20, w);
    if (r->weather[0] == '-') r->weather[0] = ' ';

    // Optional groups in this order; the first 'p' is the 1-hour amount, the
    // one after 't' the wave period. An unknown group ends the record.
    static constexpr char order[] = "@LPpQrqRXxNnTSCGstph#";
    float SFC_report::*const fields[] = {
        nullptr,
        nullptr,
        nullptr,
        &SFC_report::rain1,
        &SFC_report::rain3,
        &SFC_report::rain6,
        &SFC_report::rain12,
        &SFC_report::rain24,
        &SFC_report::max_t,
        &SFC_report::max6_t,
        &SFC_report::min_t,
        &SFC_report::min6_t,
        nullptr,
        &SFC_report::scover,
        nullptr,
        &SFC_report::w_gust,
        &SFC_report::solar,
        &SFC_report::sst,
        &SFC_report::wav_per,
        &SFC_report::wav_hgt,
        nullptr,
    };
    static_assert(sizeof fields / sizeof fields[0] == sizeof order - 1);
    std::size_t next = 0;
    while (true) {
        sc.skip_blanks();
        if (sc.at_end() || sc.peek() == '$') return;
        const char *found = std::strchr(order + next, sc.peek());
        if (found == nullptr || *found == '\0') return;
        const std::size_t k = static_cast<std::size_t>(found - order);
        next = k + 1;
        sc.next();
        switch (*found) {
        case '@':
            if (!sc.number(v) || !int_value(v, iv)) return;
            r->time = iv;
            break;
        case 'L': {
            double lon = 0;
            if (!sc.number(v) || !sc.expect(',') || !sc.number(lon)) return;
            set_ship_position(r, v, lon);
            break;
        }
        case 'P': {
            char c = sc.peek();
            if (!std::isdigit(static_cast<unsigned char>(c))) return;
            sc.next();
            if (!sc.number(v)) return;
            r->ptend_t = c - '0';
            r->ptend = static_cast<float>(v / 10);
            break;
        }
        case 'T':
            if (!sc.number(v)) return;
            set_extreme(r, static_cast<float>(v));
            break;
        case 'C':
            for (char &c : r->cld_type)
                if (!sc.take(c)) return;
            break;
        case '#': {
            std::string_view text = sc.until('$');
            while (!text.empty() && text.back() == ' ')
                text.remove_suffix(1);
            copy_text(r->comment, 70, text);
            return;
        }
        default: {
            if (!sc.number(v)) return;
            const bool hundredths = (*found == 'p' && k == 3) || std::strchr("QrqR", *found) != nullptr;
            r->*fields[k] = static_cast<float>(hundredths ? v / 100 : v);
            break;
        }
        }
    }
}

// Reads one record line into the report.
int parse_record(const std::string &line, SFC_report *r, int rep_type) {
    Scanner sc(line);
    const bool text = has_magic(st.type);
    read_id(sc, r, text || rep_type != 1);
    if (r->id[0] == '\0') return -1;
    if (rep_type == 1) return 0;
    if (text)
        parse_text(sc, r);
    else
        parse_compact(sc, r);
    return 0;
}

int read_text_report(SFC_report *report, int rep_type, int wanted) {
    if (wanted <= 0 || wanted < st.stat_num) {
        if (SFC_rewind(0) != 0) return -1;
    } else if (wanted == st.stat_num && have_last) {
        return parse_record(last_line, report, rep_type);
    } else if (have_last) {
        // The file stands after the report last read; after a rewind it
        // stands at report 0 itself.
        ++st.stat_num;
    }
    std::string line;
    while (st.stat_num < wanted && next_report_line(line))
        ++st.stat_num;
    have_last = false;
    if (!next_report_line(line)) return -1;
    last_line = line;
    have_last = true;
    return parse_record(line, report, rep_type);
}

void reset_cdf_layout() {
    layout = sfc_read_int::CdfLayout{};
    layout.station_vars.fill(-1);
    layout.report_vars.fill(-1);
}

} // namespace

sfc_read_int::OpenFile &sfc_read_int::open_file() {
    return st;
}

sfc_read_int::CdfLayout &sfc_read_int::cdf_layout() {
    return layout;
}

int SFC_chktype(const char *filename) {
    if (filename == nullptr) return -1;
    FILE *f = FILE_open(filename, "r");
    if (f == nullptr) return -1;
    const int c = std::getc(f);
    // Standard input is read once: the character goes back for the reader.
    if (c != EOF && FILE_is_stdio(filename)) std::ungetc(c, f);
    FILE_close(f);
    if (c == ' ' || c == '0' || c == '1' || c == '2') return SFC_COMPACT;
    if (c == 'Z') return SFC_TEXT;
    if (c != 'C') return -1;

    CDF_print_errors(0);
    int type = -1;
    if (CDF_open(filename, 0) != -1) {
        type = CDF_get_dim("station") >= 0 ? SFC_CDF_STATION : SFC_CDF_REPORT;
        CDF_close();
    }
    CDF_print_errors(1);
    return type;
}

int SFC_open(const char *filename, int f_access, int *f_type) {
    if (filename == nullptr || f_type == nullptr) return -1;
    // Only one file is open at a time: an earlier one is closed properly.
    if (st.type != 0) SFC_close(-1);

    if (*f_type == 0) {
        if (f_access != 0 && f_access != 2) return -1;
        *f_type = SFC_chktype(filename);
        if (*f_type == -1) return -1;
    }
    const int type = *f_type;
    const char *mode = nullptr;
    if (is_text_type(type) || type == SFC_PLAIN || type == SFC_XML) {
        if (f_access == 0) {
            mode = "r";
        } else if (f_access == 1) {
            mode = "w";
        } else if (f_access == 2) {
            const int found = SFC_chktype(filename);
            if (!is_text_type(found)) return -1;
            *f_type = found;
            mode = "a";
        }
    } else if (type == SFC_BINARY) {
        if (f_access == 0) mode = "rb";
        if (f_access == 1) mode = "wb";
    } else if (is_cdf_type(type)) {
        if (f_access < 0 || f_access > 2) return -1;
        if (f_access == 2) {
            const int found = SFC_chktype(filename);
            if (!is_cdf_type(found)) return -1;
            *f_type = found;
        }
        CDF_print_errors(0);
        const int fd = CDF_open(filename, f_access);
        CDF_print_errors(1);
        if (fd == -1) return -1;
        st.cdf_fd = fd;
        st.type = *f_type;
        st.access = f_access;
        st.name = filename;
        st.write_failed = false;
        reset_reading();
        reset_cdf_layout();
        return fd;
    }
    if (mode == nullptr) return -1;
    st.stream = FILE_open(filename, mode);
    if (st.stream == nullptr) return -1;
    st.type = *f_type;
    st.access = f_access;
    st.name = filename;
    st.write_failed = false;
    seekable = std::ftell(st.stream) >= 0;
    header_passed = false;
    stream_datim.clear();
    reset_reading();
    return fileno(st.stream);
}

int SFC_getinfo(int, SFC_info *info) {
    if (info == nullptr) return -1;
    if (is_text_type(st.type)) {
        if (st.access != 0) return 1;
        std::string datim;
        if (seekable) {
            const long pos = std::ftell(st.stream);
            std::rewind(st.stream);
            read_header(&datim);
            std::fseek(st.stream, pos, SEEK_SET);
        } else {
            // A pipe or terminal is read once: the header is taken where it
            // stands and kept.
            if (!header_passed && st.stat_num == 0 && !have_last) {
                read_header(&stream_datim);
                header_passed = true;
            }
            datim = stream_datim;
        }
        copy_text(info->datim, sizeof info->datim, datim);
        info->num_stat = MISSING;
    } else if (is_cdf_type(st.type)) {
        sfc_read_int::cdf_read_header(info);
    } else {
        return -1;
    }
    DATE_decode_label(info->datim, &info->date);
    st.date = info->date;
    return 0;
}

int SFC_rewind(int) {
    if (is_text_type(st.type)) {
        if (st.access != 0) {
            // A file being written keeps its position: nothing is overwritten.
        } else if (seekable) {
            std::rewind(st.stream);
            read_header(nullptr);
        } else if (!header_passed) {
            read_header(&stream_datim);
            header_passed = true;
        } else if (st.stat_num != 0 || have_last) {
            return -1; // a stream cannot go back to reports already read
        }
    } else if (!is_cdf_type(st.type)) {
        return -1;
    }
    reset_reading();
    return 0;
}

int SFC_close(int) {
    if (st.type == 0) return -1;
    int rc = 0;
    if (is_cdf_type(st.type)) {
        CDF_set_fd(st.cdf_fd);
        if (CDF_close() != 0 && st.access != 0) rc = -1;
        st.cdf_fd = -1;
    } else if (st.stream != nullptr) {
        if (st.access == 0) {
            FILE_close(st.stream);
        } else {
            // Whatever the stream still holds is written now: a failure here
            // is the first sign of a full disk for buffered writes.
            if (st.type == SFC_XML && std::fputs("</zeqsfc>\n", st.stream) == EOF) rc = -1;
            if (FILE_close_output(st.stream) != 0) rc = -1;
        }
        st.stream = nullptr;
    }
    // A failed write has been warned about already; the close still fails.
    if (rc != 0 && !st.write_failed)
        MESS_print(M_WARN, "SFC_close: Unable to complete the surface file %s\n", st.name.c_str());
    if (st.write_failed) rc = -1;
    st.type = 0;
    reset_reading();
    return rc;
}

int SFC_read(int, SFC_report *report, int rep_type, const int *statnum) {
    if (report == nullptr) return -1;
    SFC_initialize(report);
    if (statnum == nullptr) return -1;
    if (is_text_type(st.type)) return read_text_report(report, rep_type, *statnum);
    if (is_cdf_type(st.type)) return sfc_read_int::cdf_read_report(report, rep_type, *statnum);
    return -1;
}
