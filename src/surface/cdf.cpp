// The netCDF access layer over the library's version-2 interface: one current
// file, a shape, position or range, typed put and get calls with the system's
// missing results, and the attribute conventions of the system's files.
// File-static state: the current file id, the start and extent lists and the
// number of dimensions they use.
#include "surface/cdf.h"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <string>
#include <vector>

#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

// One entry more than the positioned dimensions, for the string calls.
constexpr int LIST_SIZE = CDF_MAX_POS + 1;

int cur_fd = 0;
std::array<int, NC_MAX_VAR_DIMS> var_dims;
long start[LIST_SIZE] = {};
long count[LIST_SIZE] = {};
int ndim = 0;

// The library's default error mode ends the program on the first failing
// call; the layer starts in a mode that prints and goes on.
const int error_mode_set = (ncopts = NC_VERBOSE, 0);

bool no_data(int var) {
    return cur_fd == -1 || var == -1;
}

// The type, rank and dimension lengths of a variable of the current file.
struct VarInfo {
    nc_type type = NC_NAT;
    int rank = 0;
    long len[LIST_SIZE] = {};
    bool unlimited[LIST_SIZE] = {};
};

bool var_info(int var, VarInfo &info) {
    int *dims = var_dims.data();
    if (ncvarinq(cur_fd, var, nullptr, &info.type, &info.rank, dims, nullptr) == -1) return false;
    if (info.rank < 0 || info.rank > LIST_SIZE) return false;
    int unlim = -1;
    if (ncinquire(cur_fd, nullptr, nullptr, nullptr, &unlim) == -1) return false;
    for (int i = 0; i < info.rank; ++i) {
        if (ncdiminq(cur_fd, dims[i], nullptr, &info.len[i]) == -1) return false;
        info.unlimited[i] = dims[i] == unlim;
    }
    return true;
}

std::size_t type_size(nc_type type) {
    switch (type) {
    case NC_BYTE:
    case NC_CHAR:
    case NC_UBYTE:
        return 1;
    case NC_SHORT:
    case NC_USHORT:
        return 2;
    case NC_INT:
    case NC_UINT:
    case NC_FLOAT:
        return 4;
    case NC_DOUBLE:
    case NC_INT64:
    case NC_UINT64:
        return 8;
    default:
        return 0;
    }
}

template <class T> T load(const unsigned char *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T> void store(unsigned char *p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// A number of a numeric netCDF type as a double.
double to_double(nc_type type, const unsigned char *p) {
    switch (type) {
    case NC_BYTE:
        return load<signed char>(p);
    case NC_UBYTE:
        return load<unsigned char>(p);
    case NC_SHORT:
        return load<short>(p);
    case NC_USHORT:
        return load<unsigned short>(p);
    case NC_INT:
        return load<int>(p);
    case NC_UINT:
        return load<unsigned int>(p);
    case NC_FLOAT:
        return load<float>(p);
    case NC_DOUBLE:
        return load<double>(p);
    case NC_INT64:
        return static_cast<double>(load<long long>(p));
    case NC_UINT64:
        return static_cast<double>(load<unsigned long long>(p));
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

template <class T> bool fits(double v) {
    return v >= static_cast<double>(std::numeric_limits<T>::lowest()) &&
           v <= static_cast<double>(std::numeric_limits<T>::max());
}

// A double as a float; values beyond the float range become infinite.
float to_float(double v) {
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (v < std::numeric_limits<float>::lowest()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

template <class T> bool store_int(unsigned char *p, double v) {
    if (!fits<T>(v)) return false;
    store<T>(p, static_cast<T>(v));
    return true;
}

// Stores a double as a number of a numeric netCDF type; false when the type
// is not numeric or cannot hold the value.
bool from_double(nc_type type, double v, unsigned char *p) {
    switch (type) {
    case NC_BYTE:
        return store_int<signed char>(p, v);
    case NC_UBYTE:
        return store_int<unsigned char>(p, v);
    case NC_SHORT:
        return store_int<short>(p, v);
    case NC_USHORT:
        return store_int<unsigned short>(p, v);
    case NC_INT:
        return store_int<int>(p, v);
    case NC_UINT:
        return store_int<unsigned int>(p, v);
    case NC_INT64:
        return store_int<long long>(p, v);
    case NC_UINT64:
        return store_int<unsigned long long>(p, v);
    case NC_FLOAT:
        store<float>(p, to_float(v));
        return true;
    case NC_DOUBLE:
        store<double>(p, v);
        return true;
    default:
        return false;
    }
}

bool is_text(nc_type type) {
    return type == NC_CHAR;
}
bool is_one_byte(nc_type type) {
    return type == NC_CHAR || type == NC_BYTE || type == NC_UBYTE;
}

// The block a call addresses in a variable: the positioned start of each
// dimension, the extents of the range (or 1), and the number of values.
struct Block {
    long start[LIST_SIZE] = {};
    long count[LIST_SIZE] = {};
    std::size_t total = 1;
};

// Builds the block of a single-value or array call and checks it against the
// variable's dimensions (writes may extend the record dimension).
bool make_block(const VarInfo &info, bool array, bool writing, Block &b) {
    for (int i = 0; i < info.rank; ++i) {
        b.start[i] = start[i];
        b.count[i] = (array && i < ndim) ? count[i] : 1;
        if (b.start[i] < 0 || b.count[i] < 0) return false;
        const bool growable = writing && info.unlimited[i];
        if (!growable && b.start[i] + b.count[i] > info.len[i]) return false;
        if (b.count[i] != 0 && b.total > std::numeric_limits<std::size_t>::max() / b.count[i]) return false;
        b.total *= static_cast<std::size_t>(b.count[i]);
    }
    return true;
}

// The number of values the caller's range asks for (product of the extents).
std::size_t range_total() {
    std::size_t total = 1;
    for (int i = 0; i < ndim; ++i) {
        if (count[i] < 0) return 0;
        if (count[i] != 0 && total > std::numeric_limits<std::size_t>::max() / count[i]) return 0;
        total *= static_cast<std::size_t>(count[i]);
    }
    return total;
}

// Reads the block of a variable as raw values of its own type.
bool read_raw(int var, bool array, VarInfo &info, Block &b, std::vector<unsigned char> &raw) {
    if (!var_info(var, info) || !make_block(info, array, false, b)) return false;
    const std::size_t size = type_size(info.type);
    if (size == 0) return false;
    try {
        raw.assign(std::max<std::size_t>(b.total, 1) * size, 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (b.total == 0) return true;
    const int rc = array ? ncvarget(cur_fd, var, b.start, b.count, raw.data())
                         : ncvarget1(cur_fd, var, b.start, raw.data());
    return rc != -1;
}

// Reads the values of a call converted to doubles; false when there are none.
bool read_numbers(int var, bool array, std::vector<double> &out) {
    VarInfo info;
    Block b;
    std::vector<unsigned char> raw;
    if (!read_raw(var, array, info, b, raw) || is_text(info.type)) return false;
    const std::size_t size = type_size(info.type);
    out.resize(b.total);
    for (std::size_t i = 0; i < b.total; ++i)
        out[i] = to_double(info.type, raw.data() + i * size);
    return true;
}

// Writes values given as doubles at the position or over the range,
// converted to the variable's type.
int write_numbers(int var, bool array, const double *values, std::size_t n_given) {
    VarInfo info;
    Block b;
    if (!var_info(var, info) || !make_block(info, array, true, b) || is_text(info.type)) return -1;
    if (n_given < b.total) return -1;
    const std::size_t size = type_size(info.type);
    std::vector<unsigned char> raw;
    try {
        raw.assign(std::max<std::size_t>(b.total, 1) * size, 0);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    for (std::size_t i = 0; i < b.total; ++i)
        if (!from_double(info.type, values[i], raw.data() + i * size)) return -1;
    if (b.total == 0) return 0;
    return array ? ncvarput(cur_fd, var, b.start, b.count, raw.data())
                 : ncvarput1(cur_fd, var, b.start, raw.data());
}

// Writes one byte-sized value: raw into a one-byte variable, else as a number.
int write_byte(int var, unsigned char value, double number) {
    VarInfo info;
    Block b;
    if (!var_info(var, info) || !make_block(info, false, true, b)) return -1;
    if (is_one_byte(info.type)) return ncvarput1(cur_fd, var, b.start, &value);
    return write_numbers(var, false, &number, 1);
}

// Reads one byte-sized value: raw from a one-byte variable, else the number
// when it fits in a byte.
bool read_byte(int var, unsigned char &value) {
    VarInfo info;
    Block b;
    std::vector<unsigned char> raw;
    if (!read_raw(var, false, info, b, raw)) return false;
    if (is_one_byte(info.type)) {
        value = raw[0];
        return true;
    }
    const double v = to_double(info.type, raw.data());
    if (!(v >= -128 && v <= 255)) return false;
    value = static_cast<unsigned char>(static_cast<int>(v));
    return true;
}

// Sets up the block of a string call: the positioned dimensions, then start 0
// and up to `length` characters along the next one (kept in the position
// lists); entries after it keep their start with extent 1.
bool string_block(int var, long length, VarInfo &info, Block &b, bool writing) {
    if (ndim >= LIST_SIZE || !var_info(var, info) || info.rank <= ndim || !is_one_byte(info.type))
        return false;
    start[ndim] = 0;
    count[ndim] = length;
    for (int i = 0; i < info.rank; ++i) {
        b.start[i] = start[i];
        b.count[i] = i < ndim ? 1 : (i == ndim ? length : 1);
        if (b.start[i] < 0) return false;
    }
    if (!info.unlimited[ndim] || !writing) b.count[ndim] = std::min(b.count[ndim], info.len[ndim]);
    for (int i = 0; i < info.rank; ++i)
        if (!(writing && info.unlimited[i]) && b.start[i] + b.count[i] > info.len[i]) return false;
    return true;
}

template <class T> void fill(T *values, std::size_t n, T missing) {
    if (values != nullptr) std::fill(values, values + n, missing);
}

int put_att(int var, const char *name, nc_type type, int len, const void *value) {
    if (cur_fd == -1) return -1;
    return ncattput(cur_fd, var, name, type, len, value);
}

// The type and length of a global attribute; false when absent.
bool glob_att_info(const char *name, nc_type &type, int &len) {
    if (cur_fd == -1 || name == nullptr) return false;
    return ncattinq(cur_fd, NC_GLOBAL, name, &type, &len) != -1;
}

// Reads count numbers of a global attribute; 1, 0 refused, -1 absent.
template <class T> int get_glob_numbers(const char *name, T *values, int count_wanted) {
    if (values == nullptr || count_wanted < 1) return -1;
    fill(values, static_cast<std::size_t>(count_wanted), static_cast<T>(-9999));
    nc_type type = NC_NAT;
    int len = 0;
    if (!glob_att_info(name, type, len)) return -1;
    const std::size_t size = type_size(type);
    if (is_text(type) || size == 0 || len != count_wanted) return 0;
    std::vector<unsigned char> raw(static_cast<std::size_t>(len) * size);
    if (ncattget(cur_fd, NC_GLOBAL, name, raw.data()) == -1) return 0;
    std::vector<T> converted(static_cast<std::size_t>(len));
    for (int i = 0; i < len; ++i) {
        const double v = to_double(type, raw.data() + static_cast<std::size_t>(i) * size);
        if (!fits<T>(v)) return 0;
        converted[i] = static_cast<T>(v);
    }
    std::copy(converted.begin(), converted.end(), values);
    return 1;
}

} // namespace

int CDF_set_fd(int fd) {
    (void)error_mode_set;
    cur_fd = fd;
    return 0;
}

int CDF_print_errors(int flag) {
    ncopts = flag == 1 ? NC_VERBOSE : 0;
    return 0;
}

int CDF_open(const char *filename, int access) {
    if (filename == nullptr) {
        cur_fd = -1;
    } else if (access == 0) {
        cur_fd = ncopen(filename, NC_NOWRITE);
    } else if (access == 1) {
        cur_fd = nccreate(filename, NC_CLOBBER);
    } else if (access == 2) {
        cur_fd = ncopen(filename, NC_WRITE);
    } else {
        cur_fd = -1;
    }
    if (cur_fd < 0) cur_fd = -1;
    return cur_fd;
}

int CDF_def_dim(const char *name, long length) {
    if (cur_fd == -1 || name == nullptr || length < 0) return -1;
    return ncdimdef(cur_fd, name, length);
}

int CDF_end_def() {
    return cur_fd == -1 ? -1 : ncendef(cur_fd);
}

int CDF_close() {
    return cur_fd == -1 ? -1 : ncclose(cur_fd);
}

int CDF_get_dim(const char *name) {
    if (cur_fd == -1 || name == nullptr) return -1;
    const int dim = ncdimid(cur_fd, name);
    return dim < 0 ? -1 : dim;
}

long CDF_get_dim_size(int dim) {
    if (cur_fd == -1) return -1;
    if (dim == CDF_RECORD_DIM && ncinquire(cur_fd, nullptr, nullptr, nullptr, &dim) == -1) return -1;
    if (dim < 0) return -1;
    long len = 0;
    return ncdiminq(cur_fd, dim, nullptr, &len) == -1 ? -1 : len;
}

int CDF_set_shape_list(int n, const int *dims) {
    if (n < 0 || n > CDF_MAX_POS || (n > 0 && dims == nullptr)) return -1;
    for (int i = 0; i < n; ++i)
        start[i] = dims[i];
    ndim = n;
    return 0;
}

int CDF_def_var_list(const char *name, int type, int n, const int *dims) {
    if (cur_fd == -1 || name == nullptr || n < 0 || n > CDF_MAX_VAR_DIMS || (n > 0 && dims == nullptr))
        return -1;
    const int var = ncvardef(cur_fd, name, static_cast<nc_type>(type), n, dims);
    return var < 0 ? -1 : var;
}

namespace {

int def_shaped_var(const char *name, nc_type type) {
    int dims[CDF_MAX_POS];
    for (int i = 0; i < ndim; ++i)
        dims[i] = static_cast<int>(start[i]);
    return CDF_def_var_list(name, type, ndim, dims);
}

} // namespace

int CDF_def_float_var(const char *name) {
    return def_shaped_var(name, NC_FLOAT);
}
int CDF_def_long_var(const char *name) {
    return def_shaped_var(name, NC_INT);
}
int CDF_def_short_var(const char *name) {
    return def_shaped_var(name, NC_SHORT);
}
int CDF_def_byte_var(const char *name) {
    return def_shaped_var(name, NC_BYTE);
}
int CDF_def_char_var(const char *name) {
    return def_shaped_var(name, NC_CHAR);
}

int CDF_get_var(const char *name) {
    if (cur_fd == -1 || name == nullptr) return -1;
    const int var = ncvarid(cur_fd, name);
    return var < 0 ? -1 : var;
}

int CDF_put_glob_att(const char *name, const char *text) {
    if (text == nullptr) text = "";
    return put_att(NC_GLOBAL, name, NC_CHAR, static_cast<int>(std::strlen(text)), text);
}

int CDF_get_glob_att(const char *name, char *text, std::size_t size) {
    if (text == nullptr || size == 0) return -1;
    text[0] = '\0';
    nc_type type = NC_NAT;
    int len = 0;
    if (!glob_att_info(name, type, len)) return -1;
    if (type != NC_CHAR || len < 0) return 0;
    std::string value(static_cast<std::size_t>(len), '\0');
    if (len > 0 && ncattget(cur_fd, NC_GLOBAL, name, value.data()) == -1) return 0;
    copy_text(text, size, value.c_str());
    return 1;
}

int CDF_get_glob_att(const char *name, float *values, int count_wanted) {
    return get_glob_numbers(name, values, count_wanted);
}

int CDF_get_glob_att(const char *name, int *values, int count_wanted) {
    return get_glob_numbers(name, values, count_wanted);
}

int CDF_put_base_att(int var, const char *long_name, const char *units) {
    if (long_name != nullptr)
        put_att(var, "long_name", NC_CHAR, static_cast<int>(std::strlen(long_name)), long_name);
    if (units != nullptr) put_att(var, "units", NC_CHAR, static_cast<int>(std::strlen(units)), units);
    return 0;
}

int CDF_put_float_range_att(int var, float min, float max) {
    const float range[2] = {min, max};
    return put_att(var, "valid_range", NC_FLOAT, 2, range);
}

int CDF_put_long_range_att(int var, int min, int max) {
    const int range[2] = {min, max};
    return put_att(var, "valid_range", NC_INT, 2, range);
}

int CDF_put_fill_att(int var) {
    const float fill_value = CDF_MISSING;
    return put_att(var, "_FillValue", NC_FLOAT, 1, &fill_value);
}

int CDF_put_long_fill_att(int var, int value) {
    return put_att(var, "_FillValue", NC_INT, 1, &value);
}

int CDF_set_pos_list(int n, const long *index) {
    if (n < 0 || n > CDF_MAX_POS || (n > 0 && index == nullptr)) return -1;
    for (int i = 0; i < n; ++i) {
        start[i] = index[i];
        count[i] = 1;
    }
    ndim = n;
    return 0;
}

int CDF_set_range_list(int n, const long *pairs) {
    if (n < 0 || n > CDF_MAX_POS || (n > 0 && pairs == nullptr)) return -1;
    for (int i = 0; i < n; ++i) {
        start[i] = pairs[2 * i];
        count[i] = pairs[2 * i + 1];
    }
    ndim = n;
    return 0;
}

int CDF_put_str(int var, const char *text) {
    if (no_data(var)) return 0;
    if (text == nullptr) text = "";
    const long length = static_cast<long>(std::strlen(text)) + 1;
    VarInfo info;
    Block b;
    if (!string_block(var, length, info, b, true)) return -1;
    if (b.count[ndim] == 0) return 0;
    return ncvarput(cur_fd, var, b.start, b.count, text);
}

int CDF_put_float(int var, float value) {
    if (no_data(var)) return 0;
    const double v = value;
    return write_numbers(var, false, &v, 1);
}

int CDF_put_float_array(int var, const float *values) {
    if (no_data(var) || values == nullptr) return 0;
    const std::vector<double> v(values, values + range_total());
    return write_numbers(var, true, v.data(), v.size());
}

int CDF_put_long(int var, int value) {
    if (no_data(var)) return 0;
    const double v = value;
    return write_numbers(var, false, &v, 1);
}

int CDF_put_short(int var, short value) {
    if (no_data(var)) return 0;
    const double v = value;
    return write_numbers(var, false, &v, 1);
}

int CDF_put_byte(int var, unsigned char value) {
    if (no_data(var)) return 0;
    return write_byte(var, value, static_cast<signed char>(value));
}

int CDF_put_byte_array(int var, const unsigned char *values) {
    if (no_data(var) || values == nullptr) return 0;
    VarInfo info;
    Block b;
    if (!var_info(var, info) || !make_block(info, true, true, b)) return -1;
    if (b.total > range_total()) return -1;
    if (is_one_byte(info.type)) return b.total == 0 ? 0 : ncvarput(cur_fd, var, b.start, b.count, values);
    std::vector<double> v(b.total);
    for (std::size_t i = 0; i < b.total; ++i)
        v[i] = static_cast<signed char>(values[i]);
    return write_numbers(var, true, v.data(), v.size());
}

int CDF_put_char(int var, char value) {
    if (no_data(var)) return 0;
    return write_byte(var, static_cast<unsigned char>(value), static_cast<unsigned char>(value));
}

int CDF_get_str(int var, int length, char *buffer) {
    if (no_data(var) || buffer == nullptr) return 0;
    buffer[0] = '\0';
    if (length < 0) return -1;
    VarInfo info;
    Block b;
    if (!string_block(var, length, info, b, false)) return -1;
    const long n = b.count[ndim];
    if (n > 0 && ncvarget(cur_fd, var, b.start, b.count, buffer) == -1) {
        buffer[0] = '\0';
        return -1;
    }
    buffer[n] = '\0';
    return 1;
}

float CDF_get_float(int var) {
    std::vector<double> v;
    if (no_data(var) || !read_numbers(var, false, v) || v.empty()) return CDF_MISSING;
    return to_float(v[0]);
}

double CDF_get_double(int var) {
    std::vector<double> v;
    if (no_data(var) || !read_numbers(var, false, v) || v.empty()) return CDF_MISSING;
    return v[0];
}

unsigned char CDF_get_byte(int var) {
    unsigned char value = CDF_MISSING_BYTE;
    if (no_data(var) || !read_byte(var, value)) return CDF_MISSING_BYTE;
    return value;
}

char CDF_get_char(int var) {
    unsigned char value = CDF_MISSING_BYTE;
    if (no_data(var) || !read_byte(var, value)) return CDF_MISSING_CHAR;
    return static_cast<char>(value);
}

int CDF_get_long(int var) {
    std::vector<double> v;
    if (no_data(var) || !read_numbers(var, false, v) || v.empty() || !fits<int>(v[0])) return MISSING;
    return static_cast<int>(v[0]);
}

namespace {

template <class T> int get_array(int var, T *values, T missing) {
    std::vector<double> v;
    if (values == nullptr) return -1;
    if (no_data(var) || !read_numbers(var, true, v) || v.size() > range_total()) {
        fill(values, range_total(), missing);
        return -1;
    }
    for (std::size_t i = 0; i < v.size(); ++i) {
        if constexpr (std::is_same_v<T, float>)
            values[i] = to_float(v[i]);
        else
            values[i] = v[i];
    }
    return 0;
}

} // namespace

int CDF_get_float_array(int var, float *values) {
    return get_array<float>(var, values, CDF_MISSING);
}

int CDF_get_double_array(int var, double *values) {
    return get_array<double>(var, values, CDF_MISSING);
}

int CDF_get_byte_array(int var, unsigned char *values) {
    if (values == nullptr) return -1;
    VarInfo info;
    Block b;
    std::vector<unsigned char> raw;
    if (no_data(var) || !read_raw(var, true, info, b, raw) || b.total > range_total()) {
        fill(values, range_total(), CDF_MISSING_BYTE);
        return -1;
    }
    const std::size_t size = type_size(info.type);
    for (std::size_t i = 0; i < b.total; ++i) {
        if (is_one_byte(info.type)) {
            values[i] = raw[i];
        } else {
            const double v = to_double(info.type, raw.data() + i * size);
            values[i] =
                (v >= -128 && v <= 255) ? static_cast<unsigned char>(static_cast<int>(v)) : CDF_MISSING_BYTE;
        }
    }
    return 0;
}
