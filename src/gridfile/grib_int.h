// Services and state shared by the source files of the GRIB module (not a
// public interface of the module).
//
// - Product: what the framing found of the current product (marker,
//   indicator, where it starts and ends).
// - Block and read_block: one block (edition 0/1) or section (edition 2) read
//   whole by its length and checked against the product and the file.
// - Decoder: the decoding state of the current product, shared by the product
//   definition, grid description, bit-map and data readers of every edition.
// - Geometry shared by the editions: placing Mercator and cone grids, and
//   spreading thinned rows over the full width.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fields/zeqgrd.h"
#include "runtime/zeq.h"

namespace grib_int {

// The product the framing found last.
struct Product {
    char marker[5] = "";      // "GRIB", "GRID" or "BUFR"
    unsigned char ind[17];    // indicator octets 1..16 as read (ind[n] = octet n)
    int ind_len = 0;          // octets of the indicator read: 8, or 16 for edition 2
    int edition = -1;         // octet 8
    long start = -1;          // offset of the marker
    long end = -1;            // offset just past the product; -1 when the indicator gives no length
    std::uint64_t length = 0; // total length from the indicator (0 when it gives none)
};
Product &product();

// The bytes of a seekable stream (-1 when not known).
long file_size(FILE *f);
// The stream of an open slot, null for an empty one.
FILE *slot_stream(int grd_fd);

// One block or section: oct[n] is octet n (1-based), oct[0] unused.
struct Block {
    std::vector<unsigned char> oct;
    std::size_t length() const { return oct.empty() ? 0 : oct.size() - 1; }
    // Octet n, 0 beyond the block.
    unsigned at(std::size_t n) const { return n < oct.size() ? oct[n] : 0u; }
    unsigned u16(std::size_t n) const { return (at(n) << 8) | at(n + 1); }
    unsigned u24(std::size_t n) const { return (at(n) << 16) | (at(n + 1) << 8) | at(n + 2); }
    // 24-bit sign and magnitude (top bit negative).
    int s24(std::size_t n) const {
        const int v = int(u24(n) & 0x7FFFFF);
        return (at(n) & 0x80) != 0 ? -v : v;
    }
    // 16-bit sign and magnitude.
    int s16(std::size_t n) const {
        const int v = int(u16(n) & 0x7FFF);
        return (at(n) & 0x80) != 0 ? -v : v;
    }
    std::uint32_t u32(std::size_t n) const { return (std::uint32_t(u16(n)) << 16) | u16(n + 2); }
    // 32-bit sign and magnitude.
    long s32(std::size_t n) const {
        const long v = long(u32(n) & 0x7FFFFFFFu);
        return (at(n) & 0x80) != 0 ? -v : v;
    }
};

// The octets from start to the product's end marker or the end of the file,
// whichever comes first; -1 when neither is known.
long room(FILE *f, long start);

// Reads the block at the current position whole: its length is the first
// len_octets octets (3 for edition 0/1 blocks, 4 for edition 2 sections).
// The block must hold at least min_len octets and end before the product's
// end marker (before the end of the file when the product has no length).
// 1 read, the stream at the next block; 0 refused (a length that does not
// fit), -1 short read. Failures are warned with func, what and the file name.
int read_block(int grd_fd, int len_octets, std::size_t min_len, const char *func, const char *what,
               Block &out);

// Reads the edition 2 section the section reader stands in (GRIB_read_section)
// whole when it is section `number` and holds at least min_len octets. The
// stream ends at the section's end whatever happens. 1; 0 refused (warned);
// -1 cut short.
int read_section(int grd_fd, int number, std::size_t min_len, const char *func, const char *what, Block &b);

// Prints a refusal: "func: reason: file" at the warn kind. Returns 0, the
// result of a refused step.
[[gnu::format(printf, 3, 4)]] int refuse(int grd_fd, const char *func, const char *reason, ...);

// The decoding state of the current product.
struct Decoder {
    // Product definition.
    Block pdb;             // the product definition block (edition 0/1)
    double dscale = 1.0;   // 10^-D
    int grid_id = 0;       // grid number
    int ydir = 1;          // 1 rows run south to north, -1 north to south
    int xalt = 0;          // alternate-row flag
    int pole = 0;          // a hemispheric grid whose pole row holds one value
    float lat = 0.0f;      // latitude of the first row
    bool xrev = false;     // points run east to west within a row
    bool colmajor = false; // consecutive points run along a column
    // NCEP ensemble and probability octets of the current product.
    int ens = 0, ens_type = 0, ens_id = 0, ens_prod = 0, ens_smooth = 0;
    bool prob = false; // the product carried the probability octets
    int ens_prob_var = 0, ens_prob_type = 0;
    float ens_prob_low = 0.0f, ens_prob_up = 0.0f;

    // Grid description.
    int thin = 0;              // 1: rows of varying length, spread over nx columns
    std::vector<int> thin_ptr; // points in each data row
    bool thin_wrap = false;    // thinned rows go round the earth

    // Bit map.
    bool has_bmb = false;
    std::vector<unsigned char> bmb;
    std::size_t bmoff = 0;  // next bit
    std::size_t bmbits = 0; // bits of the map that describe points
    long bmlen = 0;         // octets of an edition 2 bit map

    // Bit reader over the packed values (values of 0 to 32 bits).
    int bpval = 0;
    std::uint64_t temp_data = 0;
    int data_bits = 0;
    long data_bytes = 0;
    std::uint64_t bit_mask = 0;
    Block data;              // the data block or section the values come from
    std::size_t src_pos = 0; // next octet of data.oct to read
    std::size_t src_end = 0; // one past the last octet of packed values

    // Unpacking constants.
    double ref = 0.0;  // reference value R
    double sfac = 1.0; // 2^E

    // Bad-value filter.
    int bad_max = -1, bad = -9, bad_limit = 0, bad_test = 0;
    std::array<int, 20> valid_data{};
    long prev = -1;

    // Edition 2 sections.
    int sect = 0;           // number of the last section read; -1 after the end marker
    std::uint64_t slen = 0; // its length in octets
    long sect_start = -1;   // offset of its first octet
    int source = -1;        // originating centre (section 1)
    Date date{};            // reference time (section 1)
    Domain dv{};            // the grid of the last grid definition (section 3)
    bool dv_ok = false;     // dv is a grid that values can be placed on
    int dv_type = 0;        // its grid number
    long dv_product = -1;   // start of the product dv belongs to
    // Data representation (section 5) of the current field.
    bool drs_ok = false;
    std::uint32_t data_pnts = 0; // packed values (points that carry one)
    int drs_temp = -1;
    int num_bits = 0, data_type = 0;
    int num_bits_gref = 0, split_method = 0, miss_type = 0;
    float miss1 = 0.0f, miss2 = 0.0f;
    std::uint32_t num_group = 0;
    int ref_gwidth = 0, num_bits_gwidth = 0;
    std::uint32_t ref_glen = 0;
    int inc_glen = 0;
    std::uint32_t last_glen = 0;
    int num_bits_glen = 0;
    int order = -1, spat_bytes = -1;
    // Run-length packing: the largest level number and the value of each level.
    int max_val = 0;
    std::vector<float> level_map;
    // Bit map of the current field (section 6).
    enum class FieldMap { none, map, refused } field_map = FieldMap::none;
    long bm_product = -1; // start of the product whose bit map bmb holds; -1 none
};
Decoder &decoder();

// Whether the field whose sections 5 and 6 were just read can be unpacked,
// as GRIB_DS would find (for reads of the header only, which pass over the
// data section): 1, or 0 refused with a warning. The field's packing and bit
// map are consumed as GRIB_DS consumes them.
int check_field(int grd_fd);

// Starts the bit reader on octets [first, end) of dec.data.
void bits_start(std::size_t first, std::size_t end);

// Folds a longitude into (-180, 180].
float east_of_minus180(double lon);
// A Mercator grid from its first and last points (xrev: the first point is
// the eastern one): the central longitude, spacing and centre of d, whose nx
// and ny (2 or more) are set. false when the corners cannot be placed.
bool place_mercator(Domain &d, float la1, float lo1, float la2, float lo2, bool xrev);
// A polar stereographic or Lambert conformal grid whose projection, spacing
// and size are set in d: its centre lies half the grid away from the first
// point (la1, lo1) in the projection plane, columns running east (xdir 1) or
// west (-1) and rows north (ydir 1) or south (-1). false when the first point
// cannot be placed.
bool place_from_first_point(Domain &d, float la1, float lo1, int xdir, int ydir);
// Spreads the k points of a thinned row evenly over the nx columns of out,
// linearly between neighbours (a column between two points is -9999 when one
// of them is); with xrev the row is laid from the east end. A row that goes
// round the earth (wrap) has its points 360/k degrees apart and the columns
// 360/nx apart, the last point followed by the first; otherwise the first
// and last points of the row lie on the first and last columns.
void spread_row(const float *row, int k, float *out, int nx, bool xrev, bool wrap);
// Whether thinned rows whose longest row has nx points over span degrees
// (first to last column) go round the earth.
bool rows_wrap(double span, int nx);

// A decoded JPEG 2000 image: its corners as the code stream gives them and
// component 0, row by row.
struct J2kImage {
    int tlx = 0, tly = 0, brx = 0, bry = 0;
    int width = 0, height = 0;
    std::vector<std::int32_t> values; // width * height
};
// Decodes a JPEG 2000 code stream (or JP2 file) held in memory; false when it
// cannot be decoded (the library's messages are debug messages).
bool jpeg2000_decode(const unsigned char *data, std::size_t size, J2kImage &out);

} // namespace grib_int
