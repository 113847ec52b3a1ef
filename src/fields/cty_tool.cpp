// The station database: single look-ups in the station file, the station
// table loaded for a plot domain with the stations' user buffers, and the
// station selection expressions of the resource identifier.
// File-static state: the station table, its store mode, the last station file
// descriptor, the identifier kind, the user-buffer size and the enter callback.
#include "fields/cty_tool.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fields/calc.h"
#include "fields/cty_read.h"
#include "fields/maptran.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/tools.h"

namespace {

// Table records: the station and the pointer to its user buffer.
struct stat_FULL_data {
    CTY_data data;
    void *ptr;
};

struct stat_XY_data {
    CTY_locate locate;
    void *ptr;
};

TAB_table city_tbl{};
int store = 0;     // store mode of the table: 0 nothing stored, 1, 2, 3
int cty_fd = 0;    // descriptor of the station file last opened
int id_type = 0;   // identifier kind of placed stations
int data_size = 0; // bytes of each station's user buffer
CTY_enter_fn enter_func = nullptr;

// Table size estimate: one bucket per 59 bytes of station file, at most 4000.
constexpr long bytes_per_station = 59;
constexpr int max_buckets = 4000;

// Widest key text: "b" and a five-digit number, or a location key.
constexpr std::size_t key_size = 32;

// ---- Records in the table ------------------------------------------------------

// The user buffer pointer of a table record of the current store mode.
std::size_t ptr_offset() {
    return store == 1 ? offsetof(stat_FULL_data, ptr) : offsetof(stat_XY_data, ptr);
}

void *record_ptr(const char *rec) {
    void *p = nullptr;
    if (rec) std::memcpy(&p, rec + ptr_offset(), sizeof p);
    return p;
}

void set_record_ptr(char *rec, void *p) {
    if (rec) std::memcpy(rec + ptr_offset(), &p, sizeof p);
}

// Frees every user buffer still held and releases the table.
void release_table() {
    TAB_first(&city_tbl);
    for (char *rec; (rec = TAB_next(&city_tbl));) {
        std::free(record_ptr(rec));
        set_record_ptr(rec, nullptr);
    }
    TAB_clear(&city_tbl);
}

// ---- Keys ----------------------------------------------------------------------

// "b%05d" for a station of country "B_", "%05d" otherwise.
void wmo_key(const CTY_data &s, char *key) {
    if (std::strcmp(s.region, "B_") == 0) {
        std::snprintf(key, key_size, "b%05d", s.wmo);
    } else {
        std::snprintf(key, key_size, "%05d", s.wmo);
    }
}

// The key under which a station is entered for WMO look-ups: its WMO key, or
// for a station without a WMO number (99999) '-' and its identifier, a key
// that no search forms. Sharing the key 99999 would let a search by that
// number find an arbitrary station, and would put every such station into one
// bucket chain, which entering walks to its end.
void wmo_table_key(const CTY_data &s, const char *wmokey, char *key) {
    if (s.wmo == 99999) {
        std::snprintf(key, key_size, "-%s", s.id);
    } else {
        copy_text(key, key_size, wmokey);
    }
}

// Tenths of a degree of latitude and longitude, rounded to whole numbers
// (halves to even, as the format rounds them). A value that rounds to zero
// from below is written as 0, not -0, so that points on both sides of the
// equator or the prime meridian share their keys.
void location_key(float a, float b, char *key) {
    const double ra = std::nearbyint(static_cast<double>(a)) + 0.0;
    const double rb = std::nearbyint(static_cast<double>(b)) + 0.0;
    if (!(std::fabs(ra) < 1e9 && std::fabs(rb) < 1e9)) {
        std::snprintf(key, key_size, "%5.0f%6.0f", ra, rb);
        return;
    }
    // The same text as "%5.0f%6.0f", written directly: the ring search forms
    // up to ten thousand keys for one position.
    char *p = key;
    const auto field = [&p](long v, int width) {
        char digits[16];
        int n = 0;
        unsigned long u = v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0) digits[n++] = '-';
        for (int i = n; i < width; ++i)
            *p++ = ' ';
        while (n)
            *p++ = digits[--n];
    };
    field(static_cast<long>(ra), 5);
    field(static_cast<long>(rb), 6);
    *p = '\0';
}

bool has_letter_id(const CTY_data &s) {
    return s.id[0] == '\0' || s.id[1] != '-';
}

// The identifier of a placed station by the identifier kind.
void locate_id(const CTY_data &s, const char *wmokey, char *out, std::size_t size) {
    switch (id_type) {
    case 1:
        copy_text(out, size, s.wmo == 99999 ? s.id : wmokey);
        break;
    case 2:
        if (has_letter_id(s)) {
            copy_text(out, size, s.id);
        } else if (std::strcmp(s.region, "B_") == 0) {
            std::snprintf(out, size, "b%05d", s.wmo);
        } else {
            char made[6];
            wmo_to_id(made, s.wmo);
            copy_text(out, size, made);
        }
        break;
    default:
        copy_text(out, size, has_letter_id(s) ? s.id : wmokey);
        break;
    }
}

// A new user buffer (first byte 0) handed to the enter function; null when
// stations carry none.
void *new_buffer(CTY_data *station) {
    if (data_size <= 0) return nullptr;
    auto *buffer = static_cast<char *>(std::malloc(static_cast<std::size_t>(data_size)));
    if (!buffer) return nullptr;
    buffer[0] = '\0';
    if (enter_func) enter_func(station, buffer);
    return buffer;
}

// Enters one station in the current store mode.
void enter_station(CTY_data &s) {
    char wkey[key_size];
    char tkey[key_size];
    wmo_key(s, wkey);
    wmo_table_key(s, wkey, tkey);
    void *buffer = nullptr;
    int rc = -1;
    if (store == 1) {
        stat_FULL_data rec{};
        rec.data = s;
        rec.ptr = buffer = new_buffer(&s);
        rc = TAB_enter(&city_tbl, reinterpret_cast<const char *>(&rec), s.id, tkey);
    } else {
        float x = -9999.0f;
        float y = -9999.0f;
        if (MAP_tran(s.lat, s.lon, &x, &y) == 0 || !MAP_in_grid_domain(x, y)) return;
        stat_XY_data rec{};
        locate_id(s, wkey, rec.locate.id, sizeof rec.locate.id);
        rec.locate.wmo = s.wmo;
        rec.locate.x = x;
        rec.locate.y = y;
        rec.locate.el = s.el;
        rec.locate.pr = s.prior;
        rec.ptr = buffer = new_buffer(&s);
        if (store == 2) {
            rc = TAB_enter(&city_tbl, reinterpret_cast<const char *>(&rec), rec.locate.id, tkey);
        } else {
            char lkey[key_size];
            location_key(10.0f * s.lat, 10.0f * s.lon, lkey);
            rc = TAB_enter(&city_tbl, reinterpret_cast<const char *>(&rec), rec.locate.id, tkey, lkey);
        }
    }
    if (rc != 0) std::free(buffer);
}

// Copies a found record's station out to data.
void copy_out(const char *rec, void *data) {
    if (!data) return;
    if (store == 1) {
        std::memcpy(data, rec + offsetof(stat_FULL_data, data), sizeof(CTY_data));
    } else {
        std::memcpy(data, rec + offsetof(stat_XY_data, locate), sizeof(CTY_locate));
    }
}

bool all_digits(const char *s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// ---- Selection expressions ---------------------------------------------------

// What a station offers to the tests of an expression.
struct Station {
    const CTY_data *data;
    char place[16]; // "%2s_%2s" of state and country
    char wmo[16];   // "%5.5d" of the WMO number
};

bool starts(const char *part, const char *word) {
    return strnicmp(part, word, static_cast<int>(std::strlen(word))) == 0;
}

bool read_float(const char *text, float *v) {
    return std::sscanf(text, "%f", v) == 1;
}

bool read_int(const char *text, int *v) {
    return std::sscanf(text, "%d", v) == 1;
}

// "=", "<" or ">" of the character after a word, against a value.
template <typename T> bool compare(char op, T station, T value) {
    switch (op) {
    case '=':
        return station == value;
    case '<':
        return station <= value;
    case '>':
        return station >= value;
    default:
        return false;
    }
}

// "Lat=", "Lon<", "Elev>" ...: the word (without its operator) is `word`.
bool float_row(const char *part, const char *word, float station, bool *pass) {
    const auto n = static_cast<int>(std::strlen(word));
    if (strnicmp(part, word, n) != 0) return false;
    const char op = part[n];
    if (op != '=' && op != '<' && op != '>') return false;
    float v = 0.0f;
    if (read_float(part + n + 1, &v) && compare(op, station, v)) *pass = true;
    return true;
}

bool int_row(const char *part, const char *word, int station, bool *pass) {
    const auto n = static_cast<int>(std::strlen(word));
    if (strnicmp(part, word, n) != 0) return false;
    const char op = part[n];
    if (op != '=' && op != '<' && op != '>') return false;
    int v = 0;
    if (read_int(part + n + 1, &v) && compare(op, station, v)) *pass = true;
    return true;
}

// Tests part k of an entry against every row in order. Rows that take the
// next part (or two) as their value move k past them; the later rows then
// test the last part taken. True when any row passed.
bool test_part(char **parts, int np, int &k, const Station &st) {
    const CTY_data &d = *st.data;
    bool pass = false;
    const char *p = parts[k];

    if (starts(p, "Name=")) {
        const char *text = std::strlen(p) > 6 ? p + 6 : "";
        const auto n = static_cast<int>(std::strlen(text));
        if (n > 0 && strnicmp(d.name, text, n) == 0) pass = true;
    }
    if (starts(p, "ST=")) {
        const std::size_t n = std::strlen(p);
        if ((n == 5 && stricmp(p + 3, d.state) == 0) || (n == 8 && stricmp(p + 3, st.place) == 0))
            pass = true;
    }
    if (stricmp(p, "ST") == 0 && k + 1 < np) {
        p = parts[++k];
        const std::size_t n = std::strlen(p);
        if ((n == 2 && stricmp(p, d.state) == 0) || (n == 5 && stricmp(p, st.place) == 0)) pass = true;
    }
    if (starts(p, "CN=") && stricmp(p + 3, d.region) == 0) pass = true;
    if (stricmp(p, "CN") == 0 && k + 1 < np) {
        p = parts[++k];
        if (stricmp(p, d.region) == 0) pass = true;
    }
    if (starts(p, "ID=") && stricmp(p + 3, d.id) == 0) pass = true;
    if (starts(p, "RA<") && k + 2 < np) {
        float lat = 0.0f;
        float lon = 0.0f;
        float range = 0.0f;
        const bool ok =
            read_float(p + 3, &lat) && read_float(parts[k + 1], &lon) && read_float(parts[k + 2], &range);
        k += 2;
        p = parts[k];
        if (ok && calc_earth_dist(lat, lon, d.lat, d.lon) <= range) pass = true;
    }
    int_row(p, "P", d.prior, &pass);
    float_row(p, "Lat", d.lat, &pass);
    float_row(p, "Lon", d.lon, &pass);
    // A station without an elevation or a WMO number has no value to compare.
    if (!is_missing(d.el)) float_row(p, "Elev", d.el, &pass);
    if (starts(p, "WMO=") && stricmp(p + 4, st.wmo) == 0) pass = true;
    if ((starts(p, "WMO<") || starts(p, "WMO>")) && d.wmo != 99999) int_row(p, "WMO", d.wmo, &pass);
    return pass;
}

// The whole entry as a plain name: the WMO number, the identifier, or (more
// than four characters) the beginning of the name.
bool plain_name(const char *entry, const Station &st) {
    const CTY_data &d = *st.data;
    const std::size_t n = std::strlen(entry);
    if (n == 5 && d.wmo != 99999 && stricmp(entry, st.wmo) == 0) return true;
    if (stricmp(entry, d.id) == 0) return true;
    return n > 4 && strnicmp(d.name, entry, static_cast<int>(n)) == 0;
}

bool entry_passes(const char *entry, const Station &st) {
    if (!entry || !*entry) return false;
    bool expr = false;
    int np = 0;
    char **parts = nullptr;
    if (parse_string(entry, ':', &np, &parts) == 0 && np > 0) {
        expr = true;
        for (int k = 0; k < np; ++k) {
            if (!test_part(parts, np, k, st)) {
                expr = false;
                break;
            }
        }
    }
    free_parsed_array(np, parts);
    return expr || plain_name(entry, st);
}

// The operator prefixes that make an entry undecidable from an identifier.
constexpr const char *operator_prefixes[] = {
    "Name=", "ST=",  "ST:",  "CN=",  "CN:",  "ID=",   "RA<",   "P=",    "P<",   "P>",   "Lat=",
    "Lat<",  "Lat>", "Lon=", "Lon<", "Lon>", "Elev=", "Elev<", "Elev>", "WMO=", "WMO<", "WMO>",
};

bool has_operator(const char *entry) {
    for (const char *op : operator_prefixes) {
        if (starts(entry, op)) return true;
    }
    return false;
}

} // namespace

// ---- Settings --------------------------------------------------------------------

int CTY_data_init(CTY_data *data) {
    if (!data) return 0;
    data->name[0] = '\0';
    data->id[0] = '\0';
    data->wmo = -9999;
    data->lat = -9999.0f;
    data->lon = -9999.0f;
    data->el = -9999.0f;
    return 0;
}

int CTY_data_size(int size) {
    data_size = size;
    return 0;
}

int CTY_enter_func(CTY_enter_fn func) {
    enter_func = func;
    return 0;
}

int CTY_set_id_type(int type) {
    id_type = type;
    return 0;
}

int CTY_get_prior() {
    const char *value = RES_get("stat_prior");
    int prior = 10;
    if (value && *value && RES_getval("stat_prior", &prior, CV_int)) return prior;
    return 10;
}

// ---- The station file ------------------------------------------------------------

int CTY_open_file(const char *city_file, int *num_stats) {
    if (num_stats) *num_stats = 1;
    const char *res = RES_get("city_file");
    std::string name;
    if (res && *res) {
        if (stricmp(res, "none") == 0) return -1;
        name = res;
    } else if (city_file && *city_file) {
        name = city_file;
    } else {
        name = "sao.cty";
    }
    const std::string filename = FILE_table_path(name.c_str());
    const char *open_name = filename.c_str();

    // Buckets for the table: an estimate of the number of lines, at least one.
    const long size = FILE_size(open_name);
    long buckets = size > 0 ? size / bytes_per_station : 0;
    if (buckets > max_buckets) buckets = max_buckets;
    if (buckets < 1) buckets = 1;
    if (num_stats) *num_stats = static_cast<int>(buckets);

    cty_fd = CTY_open(open_name, 0, 0);
    if (cty_fd < 0) MESS_print(M_WARN, "CTY_open_file: Database file not found: %s\n", open_name);
    return cty_fd;
}

int CTY_get(const char *city_file, const char *id, CTY_data *data) {
    if (!id) return 0;
    int num = 0;
    const int fd = CTY_open_file(city_file, &num);
    if (fd < 0) return 0;
    MESS_print(M_MESS, "Searching the city database file for: %s ...\n", id);
    CTY_rewind(fd);
    CTY_data s{};
    int found = 0;
    while (!found && CTY_read(fd, &s) > 0) {
        char wmo[key_size];
        std::snprintf(wmo, sizeof wmo, "%05d", s.wmo);
        // 99999 is the number of stations that have none: no key to match.
        if (stricmp(s.id, id) == 0 || stricmp(s.name, id) == 0 || (s.wmo != 99999 && stricmp(wmo, id) == 0)) {
            if (data) *data = s;
            found = 1;
        }
    }
    CTY_close(fd);
    return found;
}

int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon) {
    CTY_data s{};
    if (!CTY_get(city_file, id, &s)) return 0;
    if (lat) *lat = s.lat;
    if (lon) *lon = s.lon;
    return 1;
}

// ---- The station table ---------------------------------------------------------

int CTY_store(const char *city_file, int type, const Domain *domain, int prior) {
    // A table still loaded from an earlier store would be lost: release it.
    if (city_tbl.tab_size > 0) release_table();
    store = type >= 1 && type <= 3 ? type : 0;

    int num_stats = 1;
    const int fd = CTY_open_file(city_file, &num_stats);
    if (fd < 0) return 0;
    if (store == 0) {
        CTY_close(fd);
        return 0;
    }

    MAP_domain(domain);
    MESS_print(M_MESS, "Reading the city database file...\n");

    int numid = 0;
    char **ids = nullptr;
    RES_getvals("identifier", &numid, &ids);
    const int numsel = numid == 1 && stricmp(ids[0], "all") == 0 ? 0 : numid;
    if (is_missing(prior)) prior = CTY_get_prior();

    CTY_rewind(fd);
    const int size =
        store == 1 ? static_cast<int>(sizeof(stat_FULL_data)) : static_cast<int>(sizeof(stat_XY_data));
    if (TAB_create(&city_tbl, num_stats, size, store == 3 ? 3 : 2) == 0) {
        CTY_data s{};
        while (CTY_read(fd, &s) > 0) {
            if (s.prior > prior) continue;
            if (CTY_data_cmp(numsel, ids, &s) == -1) continue;
            enter_station(s);
        }
    }
    free_parsed_array(numid, ids);
    CTY_close(fd);
    return fd;
}

int CTY_make_entry_simple(const char *id, const char *wmo) {
    if (store != 1 || !id || !wmo || city_tbl.tab_size < 1) return 0;
    stat_FULL_data rec{};
    CTY_data &s = rec.data;
    CTY_data_init(&s);
    copy_text(s.id, id);
    copy_text(s.name, id);
    if (std::sscanf(wmo, "%d", &s.wmo) != 1) s.wmo = 99999;
    s.prior = 9;
    s.mos = ' ';
    s.ua = ' ';
    s.num = 0;
    rec.ptr = new_buffer(&s);
    if (TAB_enter(&city_tbl, reinterpret_cast<const char *>(&rec), id, wmo) != 0) std::free(rec.ptr);
    return 0;
}

int CTY_search(const char *id, void *data) {
    if (!id || store == 0) return 0;
    const std::size_t n = std::strlen(id);
    const char *rec = nullptr;
    if ((n == 5 && all_digits(id, 5)) || (n == 6 && id[0] == 'b')) {
        rec = TAB_search(&city_tbl, 2, id);
    } else if (n == 5 && id[0] >= 'A' && id[0] <= 'Z' && all_digits(id + 2, 3)) {
        int wmo = 99999;
        id_to_wmo(id, &wmo);
        char key[key_size];
        std::snprintf(key, sizeof key, "%5.5d", wmo);
        rec = TAB_search(&city_tbl, 2, key);
    } else {
        rec = TAB_search(&city_tbl, 1, id);
    }
    if (!rec) return 0;
    copy_out(rec, data);
    return 1;
}

int CTY_search_loc(float lat, float lon, CTY_locate *data) {
    if (store != 3) return 0;
    const float a = 10.0f * lat;
    const float b = 10.0f * lon;
    char key[key_size];
    auto probe = [&](float pa, float pb) {
        location_key(pa, pb, key);
        const char *rec = TAB_search(&city_tbl, 3, key);
        if (rec) copy_out(rec, data);
        return rec != nullptr;
    };
    for (int i = 0; i < 50; ++i) {
        const auto fi = static_cast<float>(i);
        for (int j = i == 0 ? 0 : 1 - i; j <= i; ++j) {
            const auto fj = static_cast<float>(j);
            if (probe(a + fi, b + fj) || probe(a + fj, b + fi) || probe(a - fi, b + fj) ||
                probe(a + fj, b - fi))
                return 1;
        }
        // The south-west corner, which the sides above leave out.
        if (i > 0 && probe(a - fi, b - fi)) return 1;
    }
    return 0;
}

void *CTY_get_data(const char *id) {
    if (!id || store == 0) return nullptr;
    const bool wmo = std::strlen(id) == 5 && id[0] >= '0' && id[0] <= '9';
    return record_ptr(TAB_search(&city_tbl, wmo ? 2 : 1, id));
}

void *CTY_next_data(int next) {
    if (store == 0) return nullptr;
    if (next == 0) TAB_first(&city_tbl);
    return record_ptr(TAB_next(&city_tbl));
}

int CTY_clear_data(int flag) {
    if (store == 0) return 0;
    TAB_first(&city_tbl);
    for (char *rec; (rec = TAB_next(&city_tbl));) {
        auto *buffer = static_cast<char *>(record_ptr(rec));
        if (!buffer) continue;
        if (flag == 0) {
            std::free(buffer);
            set_record_ptr(rec, nullptr);
        } else {
            buffer[0] = '\0';
        }
    }
    return 0;
}

int CTY_clear() {
    if (store != 0) {
        release_table();
    } else {
        TAB_clear(&city_tbl);
    }
    return 0;
}

TAB_table *CTY_get_table() {
    return &city_tbl;
}

// ---- Selection expressions -------------------------------------------------------

int CTY_data_cmp(int numid, char **ids, const CTY_data *data) {
    if (numid <= 0) return 1;
    if (!ids || !data) return -1;
    Station st{data, {}, {}};
    std::snprintf(st.place, sizeof st.place, "%2s_%2s", data->state, data->region);
    std::snprintf(st.wmo, sizeof st.wmo, "%5.5d", data->wmo);
    for (int i = 0; i < numid; ++i) {
        if (entry_passes(ids[i], st)) return i;
    }
    return -1;
}

int CTY_ids_cmp(int numid, char **ids, const char *id) {
    if (numid <= 0) return 1;
    if (!ids) return 0;
    int found = 0;
    for (int i = 0; i < numid; ++i) {
        if (!ids[i]) continue;
        if (has_operator(ids[i])) return 1;
        if (id && stricmp(ids[i], id) == 0) found = 1;
    }
    return found;
}

int CTY_id_cmp(const char *ids, const char *id) {
    if (!ids) return 0;
    if (has_operator(ids)) return 1;
    return id && stricmp(ids, id) == 0 ? 1 : 0;
}
