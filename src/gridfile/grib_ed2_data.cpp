// GRIB edition 2 values: the data representation section (simple and
// complex packing, spatial differencing), the bit-map section and the data
// section, unpacked into the grid in the order the grid's scanning mode
// gives, with thinned rows spread over the full width.
// File-static state: none of its own; the packing and bit-map state lives in
// the GRIB module's shared record (grib_int::decoder()).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "gridfile/grib_int.h"
#include "runtime/mess.h"

namespace {

using grib_int::Block;
using grib_int::Decoder;

constexpr int MAX_BITS = 32; // widest packed value

std::size_t data_template_length(int t) {
    switch (t) {
    case 0:
        return 21;
    case 2:
        return 47;
    case 3:
        return 49;
    case 40:
    case 40000:
        return 23;
    case 200:
        return 17;
    default:
        return 11;
    }
}

// ---- Placement -----------------------------------------------------------------------

// Lays the points of a field, given in the order of the grid's scanning mode,
// into the grid array: rows from the north or the south, points from the west
// or the east, rows or columns consecutive, every second row reversed, and
// thinned rows spread over the full width.
class Placer {
public:
    Placer(const Decoder &d, float *grid, int nx, int ny) : d_(d), grid_(grid), nx_(nx), ny_(ny) {
        if (d.thin == 1) {
            for (int k : d.thin_ptr)
                total_ += std::uint64_t(k);
            next_row();
        } else {
            total_ = std::uint64_t(nx) * std::uint64_t(ny);
        }
    }
    // Points in scanning order.
    std::uint64_t total() const { return total_; }
    // Gives the next point its value.
    void put(float v) {
        if (k_ >= total_) return;
        if (d_.thin == 1) {
            row_.push_back(v);
            if (row_.size() == std::size_t(d_.thin_ptr[std::size_t(r_)])) {
                if (d_.xalt != 0 && r_ % 2 == 1) std::reverse(row_.begin(), row_.end());
                grib_int::spread_row(row_.data(), int(row_.size()), grid_ + row_start(r_), nx_, d_.xrev,
                                     d_.thin_wrap);
                row_.clear();
                ++r_;
                next_row();
            }
        } else if (d_.colmajor) {
            const std::uint64_t col = k_ / std::uint64_t(ny_);
            std::uint64_t j = k_ % std::uint64_t(ny_);
            if (d_.xalt != 0 && col % 2 == 1) j = std::uint64_t(ny_) - 1 - j;
            const std::uint64_t i = d_.xrev ? std::uint64_t(nx_) - 1 - col : col;
            grid_[row_start(int(j)) + i] = v;
        } else {
            const std::uint64_t row = k_ / std::uint64_t(nx_);
            std::uint64_t i = k_ % std::uint64_t(nx_);
            if (d_.xalt != 0 && row % 2 == 1) i = std::uint64_t(nx_) - 1 - i;
            if (d_.xrev) i = std::uint64_t(nx_) - 1 - i;
            grid_[row_start(int(row)) + i] = v;
        }
        ++k_;
    }

private:
    // Array offset of scan row r: the first row is the northernmost unless
    // rows run south to north.
    std::size_t row_start(int r) const {
        return std::size_t(d_.ydir < 1 ? r : ny_ - 1 - r) * std::size_t(nx_);
    }
    // Rows without points stay missing.
    void next_row() {
        while (r_ < ny_ && d_.thin_ptr[std::size_t(r_)] == 0)
            ++r_;
    }

    const Decoder &d_;
    float *grid_;
    int nx_, ny_;
    std::uint64_t total_ = 0, k_ = 0;
    int r_ = 0;
    std::vector<float> row_;
};

// Walks the points in scanning order: a point absent from the bit map is
// missing; a present one takes the next value from next(v) until data_pnts
// values were taken. next gives false when the data ran out. The number of
// points the data missed.
template <class Next> std::uint64_t unpack_points(const Decoder &d, Placer &place, Next &&next) {
    std::uint64_t taken = 0, short_pts = 0;
    for (std::uint64_t k = 0; k < place.total(); ++k) {
        float v = FMISSING;
        if (taken < d.data_pnts && GRIB_BMB_read() == 1) {
            ++taken;
            if (!next(v)) {
                v = FMISSING;
                ++short_pts;
            }
        }
        place.put(v);
    }
    return short_pts;
}

// ---- Complex packing ------------------------------------------------------------------

// A reader of consecutive bit fields from an octet of a block on.
struct BitCursor {
    const Block *b = nullptr;
    std::uint64_t bit = 0; // next bit, counted from octet 0 of the block

    void start(const Block &blk, std::uint64_t octet) {
        b = &blk;
        bit = octet * 8;
    }
    // The next width bits (0 to 32); false past the end of the block.
    bool get(int width, std::uint64_t &out) {
        out = 0;
        if (width == 0) return true;
        if (bit + std::uint64_t(width) > std::uint64_t(b->oct.size()) * 8) return false;
        for (int n = 0; n < width;) {
            const unsigned byte = b->oct[std::size_t(bit >> 3)];
            const int off = int(bit & 7), take = std::min(8 - off, width - n);
            out = (out << take) | ((byte >> (8 - off - take)) & ((1u << take) - 1));
            bit += std::uint64_t(take);
            n += take;
        }
        return true;
    }
};

std::uint64_t list_octets(std::uint64_t count, int bits) {
    return (count * std::uint64_t(bits) + 7) / 8;
}

long long sign_magnitude(const Block &b, std::size_t first, int octets) {
    long long v = 0;
    for (int i = 0; i < octets; ++i)
        v = (v << 8) | b.at(first + std::size_t(i));
    const long long top = 1LL << (8 * octets - 1);
    return (v & top) != 0 ? -(v & (top - 1)) : v;
}

// The values of complex packing, one at a time: group by group, with the
// missing-value codes, then restored from their spatial differences.
class ComplexValues {
public:
    explicit ComplexValues(Decoder &d) : d_(d) {
        std::uint64_t pos = 6;
        if (d.drs_temp == 3 && d.order > 0) {
            const int sb = d.spat_bytes;
            h1_ = sign_magnitude(d.data, std::size_t(pos), sb);
            if (d.order == 2) h2_ = sign_magnitude(d.data, std::size_t(pos) + std::size_t(sb), sb);
            min_ = sign_magnitude(d.data, std::size_t(pos) + std::size_t(sb) * std::size_t(d.order), sb);
            pos += std::uint64_t(sb) * std::uint64_t(d.order + 1);
            MESS_print(M_DEBUG_C, "DS1 %lld %lld %lld\n", h1_, h2_, min_);
        }
        // Each list starts at an octet boundary.
        refs_.start(d.data, pos);
        pos += list_octets(d.num_group, d.num_bits_gref);
        widths_.start(d.data, pos);
        pos += list_octets(d.num_group, d.num_bits_gwidth);
        lengths_.start(d.data, pos);
        pos += list_octets(d.num_group, d.num_bits_glen);
        grib_int::bits_start(std::size_t(std::min<std::uint64_t>(pos, d.data.oct.size())), d.data.oct.size());
    }
    // A group wider than supported stopped the values.
    int bad_width() const { return bad_width_; }

    bool operator()(float &v) {
        while (left_ == 0)
            if (!next_group()) return false;
        --left_;
        std::uint64_t x = 0;
        bool missing = false;
        if (width_ == 0) {
            missing =
                (d_.miss_type >= 1 && gref_ == max_ref(1)) || (d_.miss_type == 2 && gref_ == max_ref(2));
        } else {
            d_.bpval = width_;
            const long r = GRIB_bit_read(0);
            if (r < 0) {
                left_ = 0;
                group_ = d_.num_group;
                return false;
            }
            x = std::uint64_t(r);
            const std::uint64_t all = (std::uint64_t(1) << width_) - 1;
            missing = (d_.miss_type >= 1 && x == all) || (d_.miss_type == 2 && x == all - 1);
        }
        if (missing) {
            v = FMISSING;
            return true;
        }
        // Unsigned arithmetic wraps where nonsense data would overflow.
        std::uint64_t value = gref_ + x;
        if (d_.drs_temp == 3 && d_.order > 0) {
            if (count_ == 0)
                value = std::uint64_t(h1_);
            else if (d_.order == 2 && count_ == 1)
                value = std::uint64_t(h2_);
            else if (d_.order == 1)
                value = value + std::uint64_t(min_) + prev1_;
            else
                value = value + std::uint64_t(min_) + 2 * prev1_ - prev2_;
            prev2_ = prev1_;
            prev1_ = value;
            ++count_;
        }
        v = float(d_.dscale * (double(static_cast<std::int64_t>(value)) * d_.sfac + d_.ref));
        return true;
    }

private:
    std::uint64_t max_ref(int less) const {
        return d_.num_bits_gref >= 64 ? ~std::uint64_t(0)
                                      : (std::uint64_t(1) << d_.num_bits_gref) - std::uint64_t(less);
    }

    bool next_group() {
        if (group_ >= d_.num_group) return false;
        std::uint64_t w = 0, len = 0;
        if (!refs_.get(d_.num_bits_gref, gref_) || !widths_.get(d_.num_bits_gwidth, w) ||
            !lengths_.get(d_.num_bits_glen, len)) {
            group_ = d_.num_group;
            return false;
        }
        w += std::uint64_t(d_.ref_gwidth);
        if (w > std::uint64_t(MAX_BITS)) {
            bad_width_ = int(std::min<std::uint64_t>(w, 999));
            group_ = d_.num_group;
            return false;
        }
        width_ = int(w);
        ++group_;
        left_ = group_ == d_.num_group ? d_.last_glen : len * std::uint64_t(d_.inc_glen) + d_.ref_glen;
        return true;
    }

    Decoder &d_;
    BitCursor refs_, widths_, lengths_;
    std::uint32_t group_ = 0;
    std::uint64_t left_ = 0, gref_ = 0;
    int width_ = 0, bad_width_ = 0;
    long long h1_ = 0, h2_ = 0, min_ = 0;
    std::uint64_t prev1_ = 0, prev2_ = 0, count_ = 0;
};

// 1 when the current field's values can be unpacked; else 0, warned (a
// refused bit map was warned by its section).
int refused_field(int grd_fd, const Decoder &d, bool drs_ok, Decoder::FieldMap map) {
    // Only a grid of the same product describes the field.
    if (!d.dv_ok || d.dv_product != grib_int::product().start ||
        (d.thin == 1 && d.thin_ptr.size() != std::size_t(d.dv.ny)))
        return grib_int::refuse(grd_fd, "GRIB_DS", "Field without a grid");
    if (!drs_ok) return grib_int::refuse(grd_fd, "GRIB_DS", "Field without its data representation");
    if (map == Decoder::FieldMap::refused) return 0;
    const int t = d.drs_temp;
    if (t == 40 || t == 40000) return 1;
    if (t == 200) {
        if (d.num_bits < 1 || d.num_bits > MAX_BITS)
            return grib_int::refuse(grd_fd, "GRIB_DS", "%d bits per run-length value", d.num_bits);
        return 1;
    }
    if (t != 0 && t != 2 && t != 3)
        return grib_int::refuse(grd_fd, "GRIB_DS", "Data template 5.%d is not supported", t);
    // Order 0 (as ecCodes writes it) means no differencing.
    if (t == 3 && d.order > 2)
        return grib_int::refuse(grd_fd, "GRIB_DS", "Spatial differencing of order %d is not supported",
                                d.order);
    if (t == 3 && d.order > 0 && (d.spat_bytes < 1 || d.spat_bytes > 3))
        return grib_int::refuse(grd_fd, "GRIB_DS", "Extra descriptors of %d octets are not supported",
                                d.spat_bytes);
    const int widest = t == 0 ? d.num_bits : std::max({d.num_bits_gref, d.num_bits_gwidth, d.num_bits_glen});
    if (widest > MAX_BITS) return grib_int::refuse(grd_fd, "GRIB_DS", "%d bits per value", widest);
    if (t != 0 && d.num_group > d.data_pnts)
        return grib_int::refuse(grd_fd, "GRIB_DS", "%u groups for %u values", d.num_group, d.data_pnts);
    return 1;
}

// ---- JPEG 2000 and run-length packing -------------------------------------------

// The values of a JPEG 2000 code stream: an image of the grid's rows (the
// bit map not consulted), or a single row holding the values of the points
// present, row after row (thinned rows too). Images that do not fit the grid
// are refused. 1, or 0 refused with a warning.
int unpack_jpeg(int grd_fd, Decoder &d, Placer &place, float *values, int nx, int ny, std::uint64_t &missed) {
    missed = 0;
    const std::size_t octets = d.data.length() - 5;
    if (octets == 0) {
        // A constant field has no code stream: every value is the reference.
        missed = unpack_points(d, place, [&](float &v) {
            v = float(d.dscale * d.ref);
            return true;
        });
        return 1;
    }
    grib_int::J2kImage img;
    if (!grib_int::jpeg2000_decode(&d.data.oct[6], octets, img))
        return grib_int::refuse(grd_fd, "GRIB_DS", "jpc_decode error");
    MESS_print(M_DEBUG_C, "JAS %d %d = %d %d = %d %d = %d\n", nx, ny, img.tlx, img.tly, img.width, img.height,
               img.width * img.height);
    auto value = [&](std::size_t i) { return float(d.dscale * (double(img.values[i]) * d.sfac + d.ref)); };
    // Array offset of point c of scan row r.
    auto at = [&](int r, int c) {
        const std::size_t row = std::size_t(d.ydir < 1 ? r : ny - 1 - r);
        return row * std::size_t(nx) + std::size_t(d.xrev ? nx - 1 - c : c);
    };
    const std::size_t n = img.values.size();
    if (img.height > 1) {
        if (d.thin == 1 || img.tlx != 0 || img.tly != 0 || img.width > nx || img.height > ny)
            return grib_int::refuse(grd_fd, "GRIB_DS",
                                    "JPEG 2000 image of %dx%d at (%d, %d) does not fit the grid", img.width,
                                    img.height, img.tlx, img.tly);
        if (img.width == nx && img.height == ny) {
            // The image holds the points in the grid's scanning order.
            for (std::size_t i = 0; i < n; ++i)
                place.put(value(i));
        } else {
            for (int r = 0; r < img.height; ++r)
                for (int c = 0; c < img.width; ++c)
                    values[at(r, c)] = value(std::size_t(r) * std::size_t(img.width) + std::size_t(c));
        }
        return 1;
    }
    std::size_t next = 0;
    if (img.tlx == 0 && img.tly == 0) {
        missed = unpack_points(d, place, [&](float &v) {
            if (next >= n) return false;
            v = value(next++);
            return true;
        });
        return 1;
    }
    // A row image cornered off (0, 0) starts there and goes on row by row
    // from that column, to the grid's end.
    if (d.thin == 1 || img.tlx >= nx || img.tly >= ny)
        return grib_int::refuse(grd_fd, "GRIB_DS", "JPEG 2000 image at (%d, %d) does not fit the grid",
                                img.tlx, img.tly);
    for (int r = img.tly; r < ny; ++r)
        for (int c = img.tlx; c < nx; ++c) {
            if (GRIB_BMB_read() == 0) continue;
            if (next >= n) {
                ++missed;
                continue;
            }
            values[at(r, c)] = value(next++);
        }
    return 1;
}

// Run-length packing: level numbers, each followed by the digits of its run
// (values above max_val, least significant first, base 2^bits - 1 - max_val).
// Values still in the last octet are used and the last run is written;
// bits too few for a value are fill. Levels beyond the table are -9999. At
// most `limit` values.
std::vector<float> run_length_values(Decoder &d, std::uint64_t limit) {
    std::vector<float> out;
    d.bpval = d.num_bits;
    grib_int::bits_start(6, d.data.oct.size());
    const std::int64_t max_val = d.max_val;
    const std::int64_t base = (std::int64_t(1) << d.num_bits) - 1 - max_val;
    const std::int64_t cap = std::int64_t(std::min<std::uint64_t>(limit, 1ull << 40)) + 1;
    std::int64_t level = -1, run = 1, mult = 1;
    auto write_run = [&] {
        const float v = level < std::int64_t(d.level_map.size()) ? d.level_map[std::size_t(level)] : FMISSING;
        for (std::int64_t i = 0; i < run && out.size() < limit; ++i)
            out.push_back(v);
    };
    while (out.size() < limit) {
        const long x = GRIB_bit_read(0);
        if (x < 0) break;
        const std::int64_t v = x;
        if (v > max_val) {
            run = std::min(cap, run + (v - (max_val + 1)) * mult);
            mult = std::min(cap, mult * std::max<std::int64_t>(base, 0));
            MESS_print(M_DEBUG_D, "num = %lld mult = %lld new_val = %lld\n", (long long)run, (long long)mult,
                       (long long)v);
        } else {
            if (level >= 0) write_run();
            level = v;
            run = 1;
            mult = 1;
        }
    }
    if (level >= 0) write_run();
    return out;
}

} // namespace

namespace grib_int {

int check_field(int grd_fd) {
    Decoder &d = decoder();
    const Decoder::FieldMap map = d.field_map;
    const bool drs_ok = d.drs_ok;
    d.field_map = Decoder::FieldMap::none;
    d.drs_ok = false;
    return refused_field(grd_fd, d, drs_ok, map);
}

} // namespace grib_int

float GRIB_ieee_float_conv(const unsigned char *pc) {
    if (pc == nullptr || pc[0] == 0) return 0.0f;
    const std::uint32_t w =
        (std::uint32_t(pc[0]) << 24) | (std::uint32_t(pc[1]) << 16) | (std::uint32_t(pc[2]) << 8) | pc[3];
    return std::bit_cast<float>(w);
}

// ---- Section 5 ------------------------------------------------------------------------------

int GRIB_DRS(int grd_fd, GRD_report *) {
    Decoder &d = grib_int::decoder();
    d.drs_ok = false;
    d.field_map = Decoder::FieldMap::none;
    d.order = d.spat_bytes = -1;
    Block b;
    if (grib_int::read_section(grd_fd, 5, 11, "GRIB_DRS", "Data representation section", b) != 1) return 0;
    d.data_pnts = b.u32(6);
    d.drs_temp = int(b.u16(10));
    const int t = d.drs_temp;
    if (b.length() < data_template_length(t))
        return grib_int::refuse(grd_fd, "GRIB_DRS",
                                "Data representation section of %zu octets is too short for template 5.%d",
                                b.length(), t);
    if (t == 0 || t == 2 || t == 3 || t == 40 || t == 40000) {
        d.ref = GRIB_ieee_float_conv(&b.oct[12]);
        d.sfac = GRIB_scl_conv(&b.oct[16]);
        d.dscale = std::pow(10.0, -b.s16(18));
        d.num_bits = d.num_bits_gref = int(b.at(20));
        d.data_type = int(b.at(21));
    }
    if (t == 0) {
        MESS_print(M_DEBUG_C, "Grid point - simple packing\n");
    } else if (t == 40 || t == 40000) {
        MESS_print(M_DEBUG_C, "JPEG2000 data compression\n");
    } else if (t == 200) {
        // Level numbers, their runs and the value of each level.
        d.num_bits = int(b.at(12));
        d.max_val = int(b.u16(13));
        const std::size_t num_map = b.u16(15);
        d.dscale = std::pow(10.0, -int(b.at(17)));
        if (b.length() < 17 + 2 * num_map)
            return grib_int::refuse(grd_fd, "GRIB_DRS",
                                    "Data representation section of %zu octets is too short for %zu levels",
                                    b.length(), num_map);
        MESS_print(M_DEBUG_C, "Bits: %d\n", d.num_bits);
        MESS_print(M_DEBUG_C, "Scale: %d %f\n", int(b.at(17)), d.dscale);
        d.level_map.resize(num_map);
        for (std::size_t i = 0; i < num_map; ++i) {
            d.level_map[i] = float(d.dscale * double(b.u16(18 + 2 * i)));
            MESS_print(M_DEBUG_C, "  Level: %f\n", double(d.level_map[i]));
        }
    } else if (t == 2 || t == 3) {
        MESS_print(M_DEBUG_C, t == 2 ? "Grid point - complex packing\n"
                                     : "Grid point - complex packing and spatial differencing\n");
        MESS_print(M_DEBUG_C, "DRS-PTS: %u REF: %f SFAC: %f DSCL: %f NGREF: %d DTYPE: %d\n", d.data_pnts,
                   d.ref, d.sfac, d.dscale, d.num_bits_gref, d.data_type);
        d.split_method = int(b.at(22));
        d.miss_type = int(b.at(23));
        d.miss1 = d.miss_type > 0 ? GRIB_ieee_float_conv(&b.oct[24]) : 0.0f;
        d.miss2 = d.miss_type > 1 ? GRIB_ieee_float_conv(&b.oct[28]) : 0.0f;
        d.num_group = b.u32(32);
        d.ref_gwidth = int(b.at(36));
        d.num_bits_gwidth = int(b.at(37));
        d.ref_glen = b.u32(38);
        d.inc_glen = int(b.at(42));
        d.last_glen = b.u32(43);
        d.num_bits_glen = int(b.at(47));
        if (t == 3) {
            d.order = int(b.at(48));
            d.spat_bytes = int(b.at(49));
        }
        MESS_print(M_DEBUG_C, "SPLIT: %d NGRP: %u - MTYPE: %d MISS: %f\n", d.split_method, d.num_group,
                   d.miss_type, double(d.miss1));
        MESS_print(M_DEBUG_C, "NWDTH: %d NLEN: %d - ORD: %d SPAT: %d\n", d.num_bits_gwidth, d.num_bits_glen,
                   d.order, d.spat_bytes);
    }
    d.drs_ok = true;
    return 1;
}

// ---- Section 6 ------------------------------------------------------------------------------

int GRIB_BMS(int grd_fd) {
    Decoder &d = grib_int::decoder();
    const long product = grib_int::product().start;
    Block b;
    if (grib_int::read_section(grd_fd, 6, 6, "GRIB_BMS", "Bit-map section", b) != 1) {
        d.field_map = Decoder::FieldMap::refused;
        return -1;
    }
    const unsigned indicator = b.at(6);
    if (indicator == 254) {
        // Only a map of the same product may be used again.
        if (d.bm_product >= 0 && d.bm_product == product) {
            MESS_print(M_DEBUG_C, "BMS reuse: %zu %u %ld\n", b.length(), d.data_pnts, d.bmlen);
            d.field_map = Decoder::FieldMap::map;
            return 1;
        }
        d.field_map = Decoder::FieldMap::refused;
        grib_int::refuse(grd_fd, "GRIB_BMS", "No earlier bit map in the product to use again");
        return -1;
    }
    d.bmb.clear();
    d.bmbits = 0;
    d.has_bmb = false;
    d.bm_product = -1;
    d.bmlen = 0;
    if (indicator == 255) {
        d.field_map = Decoder::FieldMap::none;
        return 0;
    }
    d.field_map = Decoder::FieldMap::refused;
    if (indicator != 0) {
        grib_int::refuse(grd_fd, "GRIB_BMS", "Predefined bit map %u is not supported", indicator);
        return -1;
    }
    d.bmlen = long(b.length()) - 6;
    if (d.bmlen <= 0) {
        grib_int::refuse(grd_fd, "GRIB_BMS", "Bit-map section without a map");
        return -1;
    }
    MESS_print(M_DEBUG_C, "BMS: %zu %u %ld\n", b.length(), d.data_pnts, d.bmlen);
    d.bmb.assign(b.oct.begin() + 7, b.oct.end());
    d.bmbits = d.bmb.size() * 8;
    d.bm_product = product;
    d.field_map = Decoder::FieldMap::map;
    return 1;
}

// ---- Section 7 ------------------------------------------------------------------------------

int GRIB_DS(int grd_fd, GRD_report *grd) {
    Decoder &d = grib_int::decoder();
    d.bmoff = 0;
    // The packing and the bit map describe this field only.
    const Decoder::FieldMap map = d.field_map;
    const bool drs_ok = d.drs_ok;
    d.field_map = Decoder::FieldMap::none;
    d.drs_ok = false;
    if (grd == nullptr) return 0;
    if (d.dv_ok && d.dv_product == grib_int::product().start) grd->domain = d.dv;
    const int r = refused_field(grd_fd, d, drs_ok, map);
    if (r != 1) {
        GRIB_skip_section(grd_fd);
        return r;
    }
    if (grib_int::read_section(grd_fd, 7, 5, "GRIB_DS", "Data section", d.data) != 1) return 0;
    const int t = d.drs_temp;
    const int nx = d.dv.nx, ny = d.dv.ny;
    const std::uint64_t count = std::uint64_t(nx) * std::uint64_t(ny);
    auto *values = static_cast<float *>(std::realloc(grd->grid, std::size_t(count) * sizeof(float)));
    if (values == nullptr) {
        MESS_print(M_WARN, "GRIB_DS: No memory for grid field of %dx%d points: %s\n", nx, ny,
                   grd_file::name(grd_fd));
        return 0;
    }
    grd->grid = values;
    std::fill(values, values + count, FMISSING);

    d.has_bmb = map == Decoder::FieldMap::map;
    Placer place(d, values, nx, ny);
    std::uint64_t missed;
    int bad_width = 0;
    if (t == 40 || t == 40000) {
        if (unpack_jpeg(grd_fd, d, place, values, nx, ny, missed) != 1) return 0;
    } else if (t == 200) {
        MESS_print(M_DEBUG_C, "Template 7.200\n");
        const std::vector<float> runs =
            run_length_values(d, std::min<std::uint64_t>(d.data_pnts, place.total()));
        std::size_t next = 0;
        missed = unpack_points(d, place, [&](float &v) {
            if (next >= runs.size()) return false;
            v = runs[next++];
            return true;
        });
    } else if (t == 0) {
        d.bpval = d.num_bits;
        grib_int::bits_start(6, d.data.oct.size());
        missed = unpack_points(d, place, [&](float &v) {
            const long x = GRIB_bit_read(grd_fd);
            if (x < 0) return false;
            v = float(d.dscale * (double(x) * d.sfac + d.ref));
            return true;
        });
    } else if (d.num_group == 0) {
        // Without groups the field is constant at its reference value.
        missed = unpack_points(d, place, [&](float &v) {
            v = float(d.dscale * d.ref);
            return true;
        });
    } else {
        ComplexValues next(d);
        missed = unpack_points(d, place, next);
        bad_width = next.bad_width();
    }
    if (bad_width > 0)
        MESS_print(M_WARN, "GRIB_DS: Group of %d bits per value, %llu points set to -9999: %s\n", bad_width,
                   (unsigned long long)missed, grd_file::name(grd_fd));
    else if (missed > 0)
        MESS_print(M_WARN, "GRIB_DS: Data end before %llu points, set to -9999: %s\n",
                   (unsigned long long)missed, grd_file::name(grd_fd));
    return 1;
}
