// What the two netCDF grid-file readers share: the reading state of a
// model-output file and small library helpers (not a public interface).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "gridfile/grd_read.h"

namespace grd_cdf {

// One usable variable of a model-output file: a field over the file's x and
// y dimensions, optionally also over forecast time and level.
struct ModelVar {
    int id = -1;
    int code = 0;     // parameter code
    std::string name; // as the file spells it
    int ndims = 0;
    std::vector<int> dims;
    int t_pos = -1, l_pos = -1, y_pos = -1, x_pos = -1; // positions among its dimensions
    long first = 0;                                     // number of its first grid
    long count = 0;                                     // its grids: times x levels
};

// What a model-output file gives: its variables numbered into grids in file
// order, its dimensions and the variables of its keys and coordinates.
struct Model {
    std::vector<ModelVar> vars;
    long total = 0; // grids of all variables
    int layout = 1; // the layout code made from the title
    int rtime = -1; // reference-time dimension
    int t_dim = -1, l_dim = -1, y_dim = -1, x_dim = -1;
    std::size_t t_len = 0, l_len = 0, y_len = 0, x_len = 0;
    int lat = -1, lon = -1, center = -1, model = -1, level = -1, hours = -1;
    int year = -1, month = -1, day = -1, hour = -1, reftime = -1;
};

// The model-output paths of GRD_getinfo and GRD_read (grd_read_cdf_model.cpp).
int model_getinfo(int slot, GRD_file *g, Model &m, GRD_info *info);
int model_read(int slot, GRD_file *g, Model &m, GRD_report *grd, int rep_type, int *grdnum);

// The id of a dimension (first of the names found) and its length; -1 when
// none exists.
int find_dim(int nc, std::initializer_list<const char *> names, std::size_t *len);
// The id of a variable (first of the names found), -1 when none exists.
int find_var(int nc, std::initializer_list<const char *> names);
// The text of an attribute by its stored length ("" when absent or not text).
std::string text_att(int nc, int var, const char *name);
// Whether a grid of `count` values of the variable can be held by the slot's
// file: a classic file must be large enough to store them, any other format
// is bounded by a fixed size.
bool values_fit(int slot, int nc, int var, std::size_t count);
// The record holds nothing read: no array, source 0.
void clear_record(GRD_report *grd);
// A grid that is there but cannot be read: warned with the grid number and
// file; the record holds no array; 1.
int unreadable(int slot, GRD_report *grd, long num);

} // namespace grd_cdf
