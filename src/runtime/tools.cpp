// Line readers, the byte-order layer, linear interpolation and the float code
// shared by the readers and writers of the system's files.
// File-static state: the byte-swap setting.
#include "runtime/tools.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/mess.h"

namespace {

// ---- Byte-order state --------------------------------------------------------

// 1 while the swapping functions reverse bytes; on until swap_setup says otherwise.
unsigned swap = 1;
// Its first byte in memory is 1 on a little-endian host, 0 on a big-endian one.
const int swaptest = 1;

bool host_is_little_endian() {
    unsigned char first = 0;
    std::memcpy(&first, &swaptest, 1);
    return first == 1;
}

void reverse_bytes(unsigned char *ptr, int size) {
    std::reverse(ptr, ptr + size);
}

int swap_values(unsigned char *ptr, int size, int num) {
    if (!swap) return -1;
    for (int i = 0; i < num; ++i)
        reverse_bytes(ptr + static_cast<long>(i) * size, size);
    return 0;
}

int fread_swap(unsigned char *data, int size, FILE *ifile) {
    const auto n = static_cast<int>(std::fread(data, static_cast<std::size_t>(size), 1, ifile));
    if (n == 1 && swap) reverse_bytes(data, size);
    return n;
}

int fwrite_swap(unsigned char *data, int size, FILE *ofile) {
    if (swap) reverse_bytes(data, size);
    return static_cast<int>(std::fwrite(data, static_cast<std::size_t>(size), 1, ofile));
}

// ---- Line reading ------------------------------------------------------------

// Reads up to width characters of the current line into string. When the
// stream stands at a line feed, that line feed is passed over first; when the
// next line is empty too, string becomes empty and the result is 0. The line
// feed that ends the text read stays in the stream. Returns the number of
// characters read, 0 for an empty line, EOF at the end of input (string
// unchanged).
int read_line(FILE *ifile, char *string, int width) {
    if (!ifile || !string || width < 1) return EOF;
    int c = std::getc(ifile);
    if (c == EOF) return EOF;
    if (c == '\n') {
        c = std::getc(ifile);
        if (c == EOF) return EOF;
        if (c == '\n') {
            std::ungetc(c, ifile);
            string[0] = '\0';
            return 0;
        }
    }
    int n = 0;
    for (;;) {
        string[n++] = static_cast<char>(c);
        if (n >= width) break;
        c = std::getc(ifile);
        if (c == EOF) break;
        if (c == '\n') {
            std::ungetc(c, ifile);
            break;
        }
    }
    string[n] = '\0';
    return n;
}

} // namespace

// ---- Line readers ------------------------------------------------------------

int fgetline(FILE *ifile, char *string) {
    return read_line(ifile, string, 160);
}

int fgetnline(FILE *ifile, char *string, int len) {
    return read_line(ifile, string, len);
}

int fgetstring(FILE *ifile, char *string, int len) {
    const int n = read_line(ifile, string, len);
    return n > 0 ? 1 : n;
}

int fget_rawstring(FILE *ifile, char *string, int len) {
    const int result = fgetstring(ifile, string, len);
    if (result != 1) return result;
    for (std::size_t i = std::strlen(string); i > 0; --i) {
        auto c = static_cast<unsigned char>(string[i - 1]);
        if (c == '\r') {
            string[i - 1] = '\0';
        } else if (c <= 0x20 || c > 0x7F) {
            string[i - 1] = ' ';
        }
    }
    return result;
}

int fskipline(FILE *ifile) {
    if (!ifile) return EOF;
    int c = std::getc(ifile);
    if (c == EOF) return EOF;
    if (c == '\n') {
        std::ungetc(c, ifile);
        return 0;
    }
    while ((c = std::getc(ifile)) != EOF) {
        if (c == '\n') return 0;
    }
    return EOF;
}

bool fget_anyline(FILE *ifile, std::string &line) {
    line.clear();
    if (!ifile) return false;
    int c;
    bool any = false;
    bool cut = false;
    while ((c = std::getc(ifile)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < LINE_LIMIT)
            line.push_back(static_cast<char>(c));
        else
            cut = true;
    }
    if (cut) MESS_print(M_WARN, "fget_anyline: Line longer than %zu characters cut\n", LINE_LIMIT);
    return any;
}

// ---- Numbers -----------------------------------------------------------------

float linear_interp(float x, float x1, float x2, float y1, float y2) {
    return (x - x1) * (y2 - y1) / (x2 - x1) + y1;
}

int fswap(float *x, float *y) {
    std::swap(*x, *y);
    return 0;
}

int float2int(float x) {
    if (x == 0.0f || !std::isfinite(x)) return 0;
    const bool negative = x < 0.0f;
    float value = std::fabs(x);

    // Truncating log10 + 5 gives the floor for values from 1e-5 up.
    int e = static_cast<int>(std::log10(static_cast<double>(value)) + 5.0) - 5;
    int m = 0;
    if (e < 0) {
        for (int i = e; i <= 1; ++i)
            value *= 10.0f;
        m = static_cast<int>(value) % 100;
        e += 10;
    } else if (e == 0) {
        m = static_cast<int>(10.0f * value) % 100;
    } else {
        for (int i = 1; i < e; ++i)
            value /= 10.0f;
        m = static_cast<int>(value) % 100;
    }
    const int code = 100 * e + m;
    return negative ? -code : code;
}

// ---- Byte order --------------------------------------------------------------

int swap_setup(int flag) {
    const bool little = host_is_little_endian();
    swap = 1;
    if (flag == -1 || (flag == 1 && !little) || (flag == 2 && little)) swap = 0;
    return 0;
}

int swap_short(unsigned char *ptr) {
    return swap_values(ptr, 2, 1);
}
int swap_long(unsigned char *ptr) {
    return swap_values(ptr, 4, 1);
}
int swap_double(unsigned char *ptr) {
    return swap_values(ptr, 8, 1);
}
int swap_shorts(unsigned char *ptr, int num) {
    return swap_values(ptr, 2, num);
}
int swap_longs(unsigned char *ptr, int num) {
    return swap_values(ptr, 4, num);
}

int fread_short_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 2, ifile);
}
int fread_long_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 4, ifile);
}
int fread_double_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 8, ifile);
}

int fwrite_short_swap(unsigned char *data, FILE *ofile) {
    return fwrite_swap(data, 2, ofile);
}
int fwrite_long_swap(unsigned char *data, FILE *ofile) {
    return fwrite_swap(data, 4, ofile);
}

// ---- WMO numbers and ICAO prefixes -------------------------------------------

namespace {

// A WMO number range (inclusive) and the ICAO prefix of its identifiers.
struct WmoRange {
    int lo;
    int hi;
    const char *prefix;
};

constexpr WmoRange wmo_ranges[] = {
    {1000, 1499, "EN"},   {2000, 2699, "ES"},   {2800, 2999, "EF"},   {3000, 3949, "EG"},
    {3950, 3999, "EI"},   {4000, 4099, "BI"},   {4100, 4399, "BG"},   {6000, 6199, "EK"},
    {6200, 6399, "EH"},   {6400, 6499, "EB"},   {6500, 6599, "EL"},   {6600, 6799, "LS"},
    {7000, 7999, "LF"},   {8000, 8499, "LE"},   {8500, 8579, "LP"},

    {10000, 10999, "ED"}, {11000, 11399, "LO"}, {11400, 11999, "LK"}, {12100, 12699, "EP"},
    {12700, 12999, "LH"}, {13000, 13599, "LY"}, {13600, 13699, "LA"}, {14000, 14299, "LJ"},
    {15000, 15499, "LR"}, {15500, 15999, "LB"}, {16000, 16599, "LI"}, {16600, 16999, "LG"},
    {17000, 17599, "LT"}, {17600, 17699, "LC"},

    {20000, 29999, "U"},  {30000, 39999, "X"},

    {40000, 40099, "OS"}, {40100, 40149, "OL"}, {40150, 40199, "LL"}, {40250, 40349, "OJ"},
    {40350, 40499, "OE"}, {40500, 40599, "OK"}, {40600, 40699, "OR"}, {40700, 40899, "OI"},
    {40900, 40999, "OA"}, {41000, 41149, "OE"}, {41150, 41159, "OB"}, {41160, 41179, "OE"},
    {41180, 41239, "OT"}, {41240, 41319, "OM"}, {41320, 41409, "OY"}, {41410, 41499, "OD"},
    {41500, 41799, "OP"}, {41800, 41999, "VG"}, {42000, 42999, "VI"}, {43000, 43999, "VO"},
    {44000, 44399, "ZM"}, {44400, 44499, "VN"}, {45000, 45099, "VH"}, {46000, 46999, "RC"},
    {47000, 47079, "ZK"}, {47080, 47199, "RK"}, {47400, 47999, "RJ"}, {48000, 48199, "VB"},
    {48300, 48599, "VT"}, {48600, 48689, "WM"}, {48690, 48699, "WS"}, {48800, 48929, "VV"},
    {48930, 48959, "VL"}, {48960, 48999, "VD"},

    {50000, 59999, "Z"},

    {60000, 60049, "GC"}, {60050, 60319, "GM"}, {60320, 60339, "GE"}, {60350, 60699, "DA"},
    {60700, 60799, "DT"}, {61000, 61099, "DR"}, {61100, 61299, "GA"}, {61400, 61499, "GQ"},
    {61600, 61699, "GO"}, {61700, 61749, "GB"}, {61750, 61799, "GG"}, {61800, 61849, "GU"},
    {61850, 61899, "GF"}, {62000, 62299, "HL"}, {62300, 62499, "HE"}, {62600, 62999, "HS"},
    {63000, 63099, "HA"}, {63100, 63149, "HF"}, {63150, 63299, "HC"}, {63300, 63499, "HA"},
    {63600, 63979, "HK"}, {63980, 63999, "FS"}, {64000, 64360, "FZ"}, {64380, 64389, "HR"},
    {64390, 64399, "HB"}, {64400, 64499, "FC"}, {64500, 64599, "FO"}, {64600, 64699, "FE"},
    {64700, 64799, "FT"}, {64800, 64849, "FG"}, {64850, 64999, "FK"}, {65000, 65299, "DN"},
    {65300, 65349, "DB"}, {65350, 65399, "DX"}, {65400, 65499, "DG"}, {65500, 65524, "DF"},
    {65525, 65599, "DI"}, {65600, 65699, "GL"}, {66000, 66999, "FN"}, {67000, 67199, "FM"},
    {67200, 67399, "FQ"}, {67400, 67753, "FL"}, {67755, 67789, "FV"}, {67790, 67799, "FW"},
    {67800, 67999, "FV"}, {68000, 68999, "FA"}, {69000, 69999, "KQ"},

    {70000, 70999, "PA"}, {71000, 71999, "CY"}, {72000, 72999, "K2"}, {74000, 74999, "K4"},
    {76000, 76999, "MM"}, {78000, 78199, "MY"}, {78200, 78379, "MU"}, {78380, 78384, "MW"},
    {78385, 78399, "MK"}, {78400, 78449, "MT"}, {78450, 78499, "MD"}, {78500, 78519, "MH"},
    {78520, 78534, "TJ"}, {78535, 78550, "TI"}, {78580, 78599, "MZ"}, {78600, 78649, "MG"},
    {78650, 78699, "MS"}, {78700, 78729, "MH"}, {78730, 78759, "MN"}, {78760, 78789, "MR"},
    {78790, 78819, "MP"}, {78840, 78864, "TK"}, {78865, 78889, "TN"}, {78890, 78899, "TF"},
    {78900, 78919, "TD"}, {78920, 78939, "TF"}, {78940, 78959, "TL"}, {78960, 78979, "TT"},
    {78980, 78999, "TN"},

    {80000, 80399, "SK"}, {80400, 80999, "SV"}, {81000, 81199, "SY"}, {81200, 81399, "SM"},
    {81400, 81599, "SO"}, {82000, 82999, "SB"}, {83000, 83999, "SZ"}, {84000, 84299, "SE"},
    {84300, 84999, "SP"}, {85000, 85399, "SL"}, {85400, 85999, "SC"}, {86000, 86299, "SG"},
    {86300, 86599, "SU"}, {87000, 87999, "SA"}, {88000, 88999, "SF"},

    {91000, 91199, "PH"}, {91250, 91259, "PK"}, {91260, 91299, "PH"}, {91300, 91359, "PT"},
    {91360, 91379, "PK"}, {91380, 91399, "PL"}, {91400, 91449, "PT"}, {91450, 91499, "PL"},
    {91500, 91549, "AG"}, {91550, 91569, "NV"}, {91570, 91599, "NW"}, {91600, 91649, "NG"},
    {91650, 91699, "NF"}, {91700, 91749, "N1"}, {91750, 91759, "NL"}, {91760, 91769, "NS"},
    {91770, 91799, "NF"}, {91800, 91849, "NC"}, {91900, 91959, "NT"}, {92000, 92999, "AY"},
    {93000, 93999, "NZ"}, {94100, 95999, "Y"},  {96000, 96999, "WI"}, {97000, 97999, "WA"},
    {98000, 98999, "RP"},
};

// The thousands base that a two-character prefix adds to its three digits:
// the prefixes with first letter `first` and a second character in `second`.
struct PrefixBase {
    char first;
    const char *second;
    int base;
};

constexpr PrefixBase prefix_bases[] = {
    {'E', "N", 1000},          {'E', "SF", 2000},
    {'E', "GI", 3000},         {'E', "KHBL", 6000},
    {'E', "D", 10000},         {'E', "P", 12000},

    {'B', "IG", 4000},

    {'L', "S", 6000},          {'L', "F", 7000},
    {'L', "EP", 8000},         {'L', "OK", 11000},
    {'L', "H", 12000},         {'L', "YA", 13000},
    {'L', "J", 14000},         {'L', "RB", 15000},
    {'L', "IG", 16000},        {'L', "TC", 17000},
    {'L', "L", 40000},

    {'O', "SLJKRIA", 40000},   {'O', "EBTMYDP", 41000},

    {'V', "G", 41000},         {'V', "I", 42000},
    {'V', "O", 43000},         {'V', "N", 44000},
    {'V', "H", 45000},         {'V', "BTVLD", 48000},

    {'Z', "M", 44000},         {'Z', "K", 47000},

    {'R', "C", 46000},         {'R', "KJ", 47000},
    {'R', "P", 98000},

    {'W', "MS", 48000},        {'W', "I", 96000},
    {'W', "A", 97000},

    {'G', "CME", 60000},       {'G', "AQOBGUF", 61000},
    {'G', "L", 65000},

    {'D', "AT", 60000},        {'D', "R", 61000},
    {'D', "NBXGFI", 65000},

    {'H', "LES", 62000},       {'H', "AFCK", 63000},
    {'H', "RB", 64000},

    {'F', "S", 63000},         {'F', "ZCOETGK", 64000},
    {'F', "N", 66000},         {'F', "MQLWV", 67000},
    {'F', "A", 68000},

    {'K', "Q", 69000},         {'K', "2", 72000},
    {'K', "4", 74000},

    {'P', "A", 70000},         {'P', "HKTL", 91000},

    {'C', "Y", 71000},

    {'M', "M", 76000},         {'M', "YUWKTDHZGSNRP", 78000},

    {'T', "JIKNFDLT", 78000},

    {'S', "KV", 80000},        {'S', "YMO", 81000},
    {'S', "B", 82000},         {'S', "Z", 83000},
    {'S', "EP", 84000},        {'S', "LC", 85000},
    {'S', "GU", 86000},        {'S', "A", 87000},
    {'S', "F", 88000},

    {'A', "G", 91000},         {'A', "Y", 92000},

    {'N', "VWGF1LSCT", 91000}, {'N', "Z", 93000},
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int digits_value(const char *s, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

int wmo_to_id(char *id, int wmo) {
    if (!id) return 0;
    for (const WmoRange &r : wmo_ranges) {
        if (wmo < r.lo || wmo > r.hi) continue;
        // Within a range the number is positive.
        const auto w = static_cast<unsigned>(wmo);
        if (r.prefix[1] == '\0') {
            std::snprintf(id, 6, "%c%4.4u", r.prefix[0], w % 10000u);
        } else {
            std::snprintf(id, 6, "%.2s%3.3u", r.prefix, w % 1000u);
        }
        return 0;
    }
    std::snprintf(id, 6, "%5.5d", wmo);
    return 0;
}

int id_to_wmo(const char *id, int *wmo) {
    int dummy = 0;
    if (!wmo) wmo = &dummy;
    *wmo = 99999;
    if (!id) return -1;
    if (std::strlen(id) != 5) return -1;
    if (is_digit(id[0]) && is_digit(id[1]) && is_digit(id[2]) && is_digit(id[3]) && is_digit(id[4])) {
        *wmo = digits_value(id, 5);
        return -1;
    }
    if (!is_letter(id[0]) || !is_digit(id[2]) || !is_digit(id[3]) || !is_digit(id[4])) return -1;

    const char first = id[0];
    if (is_digit(id[1]) && (first == 'U' || first == 'X' || first == 'Y' || first == 'Z')) {
        const int base = first == 'U' ? 20000 : first == 'X' ? 30000 : first == 'Y' ? 90000 : 50000;
        *wmo = base + digits_value(id + 1, 4);
        return 0;
    }
    int base = 0;
    for (const PrefixBase &p : prefix_bases) {
        if (p.first == first && std::strchr(p.second, id[1])) {
            base = p.base;
            break;
        }
    }
    *wmo = base + digits_value(id + 2, 3);
    return 0;
}
