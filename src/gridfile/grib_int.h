// Services and state shared by the source files of the GRIB module (not a
// public interface of the module).
//
// - Product: what the framing found of the current product (marker,
//   indicator, where it starts and ends).
// - Block and read_block: one block (edition 0/1) or section (edition 2) read
//   whole by its length and checked against the product and the file.
// - Decoder: the decoding state of the current product, shared by the product
//   definition, grid description, bit-map and data readers of every edition.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

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
};

// Reads the block at the current position whole: its length is the first
// len_octets octets (3 for edition 0/1 blocks, 4 for edition 2 sections).
// The block must hold at least min_len octets and end before the product's
// end marker (before the end of the file when the product has no length).
// 1 read, the stream at the next block; 0 refused (a length that does not
// fit), -1 short read. Failures are warned with func, what and the file name.
int read_block(int grd_fd, int len_octets, std::size_t min_len, const char *func, const char *what,
               Block &out);

// Prints a refusal: "func: reason: file" at the warn kind. Returns 0, the
// result of a refused step.
[[gnu::format(printf, 3, 4)]] int refuse(int grd_fd, const char *func, const char *reason, ...);

// The decoding state of the current product.
struct Decoder {
    // Product definition.
    Block pdb;             // the product definition block (edition 0/1)
    float dscale = 1.0f;   // 10^-D
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
};
Decoder &decoder();

// Starts the bit reader on octets [first, end) of dec.data.
void bits_start(std::size_t first, std::size_t end);

} // namespace grib_int
