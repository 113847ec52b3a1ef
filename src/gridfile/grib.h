// GRIB products in grid files of type 21: finding each product behind its
// header, reading its indicator, decoding editions 0 and 1 (product
// definition, grid description, bit map and data blocks) and edition 2 (its
// sections, one field per data section) into a GRD_report, the parameter
// tables, the predefined grids and the number conversions.
//
// One product is decoded at a time; its framing and decoding state belongs to
// the module, not to a slot. The stream of the slot must be seekable: GRD_open
// copies standard input and pipes of GRIB products into a temporary file.
//
// Calling order for one edition 0 or 1 product: GRIB_header (the stream then
// stands just past the indicator), GRIB_PDB, GRIB_GDB, GRIB_BMB, GRIB_BDB; then
// GRIB_next to move to the next product's header. Every block is read whole by
// the length in its first three octets, checked against the product, and
// leaves the stream at the block after it. Refused products (grid types,
// packings or bit maps that cannot be represented) give 0 with a warning that
// names the file and the reason; -1 means the data ran out.
#pragma once

#include "fields/zeqgrd.h"

// ---- Framing -------------------------------------------------------------------
//
// Header styles kept in the slot's itype: 1 the "** " line, 2 bulletin framing
// (SOH, sequence number, WMO heading ... ETX), 3 the "GRIB: size" line before
// the bulletin framing, 4 a bare product; 0 none recognised yet.

// Reads the header of the next product and its indicator, trying the slot's
// style first, then the own, bulletin, size-line and bare styles. 1 when a
// product follows, -1 at the end of the file.
int GRIB_header(int grd_fd);
// One style each, tried at the current position; 1 matched (style set,
// indicator read), 0 not this style (the stream is left where the attempt
// began), -1 the end of the file. old_pos is the offset the header attempt
// began at.
int GRIB_header_zeq(int grd_fd);
int GRIB_header_ldm(int grd_fd, long old_pos);
int GRIB_header_raw(int grd_fd, long old_pos);
int GRIB_header_old_zeq(int grd_fd);
// Scans forward to the next "GRIB", "GRID" or "BUFR" marker and reads the
// indicator after it; the number of octets read after the marker (4, or 8 for
// edition 2), 0 at the end of the file.
int GRIB_search(int grd_fd);
// The offset at which the next product's header starts, from the length of the
// current product (or its end marker "7777" when it has no length); with
// `where` non-zero the stream is moved there, else it stays where it was. -1
// when there is no current product or, with the warning "Invalid product
// size", when its length does not fit the file.
long GRIB_next(int grd_fd, int where);
// The edition of the product last found: -1 before any, 0 for an edition 0
// product or one whose end had to be found by its end marker, 1 or 2.
int GRIB_get_version();
// The fourth letter of the last marker: 'B' (GRIB), 'D' (GRID), 'R' (BUFR);
// 0 before any.
int GRIB_get_type(int grd_fd);
// Edition 2: the discipline of the product last found (-1 before any).
int GRIB_get_discipline();
// Copies the first 18 characters of the last header text into header (which
// holds at least 18 bytes; the caller terminates it); 0.
int GRIB_get_WMO_header(int grd_fd, char *header);
// The raw bytes of the product whose header starts at GRD_get_pos(grd_fd),
// up to the start of the next product's header. *data null: a buffer is
// allocated (the caller frees it) and *size receives the count; otherwise
// *size gives the capacity of *data and receives the count. The count read, or
// -1 (no product, a length that does not fit the file, too small a buffer).
int GRIB_get_raw(int grd_fd, char **data, int *size);

// ---- Grid reading -------------------------------------------------------------------
//
// The GRIB path of GRD_getinfo and GRD_read. Grids are numbered from 0 in file
// order: an edition 0 or 1 product is one grid, an edition 2 product one grid
// per data section. With an index file (GRD_hdr_open) grid n is line n of the
// index: header-only reads take their keys from the line and never read the
// GRIB file.

// The first product's edition into the slot's `grid` (10 for an edition 0
// product of centre 98) and its reference date into info (date and label);
// the stream stands past the product's indicator. 0, or -1 when the product
// is too short.
int GRIB_get_info(int grd_fd, GRD_info *info);
// GRD_getinfo of a GRIB slot: info.grid_type 0, the first product's date into
// info and the slot, the slot rewound. 0, or -1 when no product can be read.
int GRIB_file_info(int grd_fd, GRD_info *info);
// GRD_read of a GRIB slot: reads grid *grdnum (rep_type 0 header and values,
// else the header only) and sets *grdnum to it. 0 read; 1 the grid is there
// but cannot be decoded (warned with the file and grid number; the record
// holds no array and source 0; the next number reads the next grid); -1 no
// such grid (the end of the file or of the index).
int GRIB_read_grid(int grd_fd, GRD_report *grd, int rep_type, int *grdnum);

// ---- Editions 0 and 1 --------------------------------------------------------------

// Reads and decodes the product definition block of the current product into
// grd (identity, date, time code, level, parameter and units, decimal scale,
// NCEP ensemble and probability octets) and builds its description and date
// labels. rep_type is accepted and not used. 1; 0 refused (not an edition 0
// or 1 GRIB product, a block too short); -1 short read.
int GRIB_PDB(int grd_fd, GRD_report *grd, int rep_type);
// Decodes a product definition block: data[n] is octet n (1-based) and
// data[1..3] give the block length L; data holds at least L + 1 bytes (octets
// beyond L read as 0). grd->version holds the edition (0 or 1) on entry. 1.
int GRIB_decode_PDB(const unsigned char *data, GRD_report *grd);
// Builds grd->info from the decoded fields and folds ensemble members, means,
// spreads and probabilities into the parameter number (units "%" for
// probabilities). 0.
int GRIB_set_var(GRD_report *grd);
// Gives the product its Domain from the grid description block (latitude-
// longitude, Mercator, Lambert conformal, polar stereographic; thinned rows)
// or, without one, the predefined grid of its number. 1 ready; 0 refused (no
// grid, another grid type, too large); -1 short read.
int GRIB_GDB(int grd_fd, GRD_report *grd);
// Reads the bit-map block when the product flags one. 1; 0 refused
// (predefined bit map) or no memory; -1 short read.
int GRIB_BMB(int grd_fd);
// Reads the data block and unpacks every grid point into grd->grid (nx * ny
// floats, row 0 northernmost, -9999 where the bit map or the data give no
// value). 1; 0 refused (spherical harmonics, second-order packing, more than
// 32 bits per value) or no memory; -1 short read.
int GRIB_BDB(int grd_fd, GRD_report *grd);
// The next unsigned value of the current width from the packed data held by
// the decoder; -1 when the data are used up.
long GRIB_bit_read(int grd_fd);
// 1 when the next point carries a packed value (always without a bit map),
// else 0; moves to the next point.
int GRIB_BMB_read();
// Blanks the rest of a grid once more than val of the last 20 values of a row
// jumped by more than half the packed range (off when val is 0 or below). 0.
int GRIB_set_max_bad(int val);

// ---- Edition 2 -------------------------------------------------------------------------
//
// An edition 2 product is read section by section: GRIB_read_section reads the
// length and number of the next section, then the section's decoder (or
// GRIB_skip_section) takes the rest of it: GRIB_IDS section 1, GRIB_GDS 3,
// GRIB_PDS 4, GRIB_DRS 5, GRIB_BMS 6, GRIB_DS 7. A product may repeat sections
// 3 to 7 (or 4 to 7) for further fields, which reuse the grid and bit map
// decoded before. Every section is read whole once its length covers the
// fixed part of its template and lies within the product; each decoder leaves
// the stream at the end of its section, whatever its result.

// One row of the edition 2 parameter table grib2_var.lup.
struct GribParam {
    int ind;        // variable code of the grid
    int ver;        // not used
    int src;        // originating centre; 0 any
    int disc;       // discipline
    int cat;        // parameter category
    int param;      // parameter number
    char name[20];  // variable abbreviation
    char units[30]; // units text
    char lname[80]; // long name
};

// Reads the length and number of the next section. 1 for sections 1 to 8;
// 0 at the end marker "7777" (the section number becomes -1 and the stream
// stands past the marker), at the end of the file, for a number above 8, or
// for a length that does not fit the product (warned; the section number
// becomes -1 and the stream moves to the product's end).
int GRIB_read_section(int grd_fd);
// Moves the stream past the rest of the section just read. 1.
int GRIB_skip_section(int grd_fd);
// The number of the last section read (-1 after the end marker) and its
// length in octets.
int GRIB_get_sect();
long GRIB_get_slen();
// Section 1: originating centre and reference time into grd (version,
// source, date; type 0). 1, or 0 when the section cannot be read.
int GRIB_IDS(int grd_fd, GRD_report *grd);
// Section 3: the grid's Domain (latitude-longitude, also with thinned rows;
// Mercator; polar stereographic; Lambert conformal), its scanning order and a
// grid number made from its geometry. 1; 0 refused with a warning (another
// grid template, a grid too large, a section too short) or unreadable.
int GRIB_GDS(int grd_fd, GRD_report *grd);
// Section 4: parameter, units, model, level, time code and the ensemble and
// probability state, then the description and date labels. 1 (a template
// that is not supported is warned and leaves parameter, level type, level,
// time and model -9999); 0 when the section cannot be read.
int GRIB_PDS(int grd_fd, GRD_report *grd);
// The first row of grib2_var.lup (found along the resource file_path) whose
// centre is 0 or src and whose discipline, category and number are equal,
// with ind the variable code of its name. Without such a row, or when its
// name is not a known variable, ind is disc * 1000000 + cat * 1000 + param
// (with empty units when no row matched); without the table, ind is -9999.
// The table is read once and again only when its path, size or modification
// time changes.
GribParam GRIB_get_ver2_param(int src, int disc, int cat, int param);
// Sets ind, src, disc, cat and param to -9999 and the texts empty. 1.
int GribParam_init(GribParam *param);
// Section 5: how the values of the next data section are packed. 1; 0
// when the section cannot be read or is too short for its template.
int GRIB_DRS(int grd_fd, GRD_report *grd);
// Section 6: the bit map of the field. 1 a map was read (or the product's
// previous one is reused, indicator 254); 0 no bit map; -1 refused with a
// warning (a predefined map, 254 without an earlier map in the same product)
// or unreadable: the field's values cannot be placed.
int GRIB_BMS(int grd_fd);
// Section 7: unpacks simple and complex packing (with spatial differencing of
// order 1 and 2) into grd->grid, nx * ny floats, row 0 northernmost, -9999
// where the bit map, the missing-value codes or a short section give no
// value; thinned rows are spread over the full width. 1; 0 refused with a
// warning (no grid, another data template, a refused bit map) or no memory.
int GRIB_DS(int grd_fd, GRD_report *grd);
// The IEEE 754 single-precision float in 4 big-endian octets (0 when the
// first octet is 0).
float GRIB_ieee_float_conv(const unsigned char *pc);

// ---- Tables and conversions -----------------------------------------------------------

// Completes a decoded parameter: centre 98 local parameters and edition 0
// parameters become edition 1 numbers (some centre 98 ones also set the
// level), and the units text is set. Unknown ones are warned. 0.
int GRIB_units(GRD_report *grd);
// The long units text of an edition 0 parameter, null when it has none.
const char *GRIB_cdf_units(int var_id);
// Fills the Domain of a predefined grid number (21-26, 37-44, 50, 61-64, 211,
// 212, 215); any other number leaves it unchanged. 1.
int GRIB_set_domain(int type, Domain *domain);
// The IBM System/360 single-precision float in 4 octets.
float GRIB_flt_conv(const unsigned char *pc);
// 2^E, E in 2 octets as 16-bit sign and magnitude.
float GRIB_scl_conv(const unsigned char *pc);
