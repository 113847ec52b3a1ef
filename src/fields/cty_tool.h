// The station database: single look-ups in the station file, the in-memory
// station table loaded for a plot domain, the stations' user buffers, and the
// station selection expressions of the resource identifier.
#pragma once

#include "fields/zeqcty.h"
#include "fields/zeqgrd.h"
#include "runtime/table.h"

// Called for every stored station with the station as read and its user buffer.
using CTY_enter_fn = int (*)(CTY_data *station, void *buffer);

// name and id empty, wmo, lat, lon and el -9999; 0.
int CTY_data_init(CTY_data *data);
// Bytes of the user buffer given to every station stored from now on (0 none); 0.
int CTY_data_size(int size);
// The function called for every stored station (null: none); 0.
int CTY_enter_func(CTY_enter_fn func);
// The identifier kind of placed stations: 0 the station's id (its WMO key when
// it has no letter identifier), 1 the WMO key (the id when it has no WMO
// number), 2 the id (the identifier made from the WMO number when it has no
// letter identifier). 0.
int CTY_set_id_type(int type);
// The resource stat_prior as an integer, 10 when it is not set.
int CTY_get_prior();

// Opens the station file: resource city_file when set ("none" switches the
// database off: -1 at once), else city_file, else "sao.cty", in the directory
// of resource file_path; without that resource, a file missing from the
// working directory is taken from the build's data directory, where the
// station file is generated. *num_stats gets the table size estimated from the
// file size (1 to 4000). The descriptor; -1 off or not found (with a warning).
int CTY_open_file(const char *city_file, int *num_stats);

// Scans the station file for the first station whose id, name or five-digit
// WMO number equals id without regard to case; 1 found (the station in *data),
// 0 not.
int CTY_get(const char *city_file, const char *id, CTY_data *data);
// CTY_get, then the station's position; 1 found, 0 not (outputs untouched).
// This is the look-up of a domain text's "id:" centre.
int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon);

// Loads the station table in mode type (1 whole stations under id and WMO key;
// 2 placed stations under the chosen identifier and WMO key; 3 as 2 plus a
// location key) with the stations whose priority number does not exceed prior
// (-9999: CTY_get_prior()), that the resource identifier selects and that lie
// within the domain widened by three grid spacings. The domain stays the
// current projection. A table still loaded is released first. The station
// file's descriptor (non-zero) when it was read, 0 when there is none.
int CTY_store(const char *city_file, int type, const Domain *domain, int prior);

// In mode 1 enters a station made of an identifier and a WMO number text only
// (no position); nothing in other modes. 0.
int CTY_make_entry_simple(const char *id, const char *wmo);

// Finds a stored station by identifier, WMO number ("72565", "b41001") or an
// identifier made from a WMO number ("K2565") and copies its CTY_data (mode 1)
// or CTY_locate (modes 2, 3) to data. 1 found, 0 not.
int CTY_search(const char *id, void *data);
// The stored station nearest to a position by location key (mode 3 only),
// searched in rings of a tenth of a degree up to 4.9 degrees; 1 found (copied
// to *data), 0 not.
int CTY_search_loc(float lat, float lon, CTY_locate *data);

// The user buffer of a stored station (a five-character key beginning with a
// digit is a WMO key, anything else an identifier); null when not found or it
// has none. The buffer belongs to the database.
void *CTY_get_data(const char *id);
// Iterates the stored stations' user buffers in the order entered: next 0
// restarts at the first. Null at the end and for a station without a buffer.
void *CTY_next_data(int next);
// flag 0: frees every user buffer; otherwise empties each (first byte 0). 0.
int CTY_clear_data(int flag);
// Empties the station table and frees any user buffer still held; 0.
int CTY_clear();
// The station table itself.
TAB_table *CTY_get_table();

// ---- Station selection expressions ----
// A list passes a station when any entry does. An entry is ':'-separated parts
// that must all pass ("ST=CO:P<3"), or a plain name: five characters equal to
// the WMO number, the identifier, or more than four characters that begin the
// station name. Words and texts are compared without regard to case.

// 1 for an empty list; else the position of the first entry that passes the
// station, -1 when none does.
int CTY_data_cmp(int numid, char **ids, const CTY_data *data);
// 1 when the list is empty, an entry begins with an operator (it cannot be
// decided from an identifier alone) or an entry equals id; else 0.
int CTY_ids_cmp(int numid, char **ids, const char *id);
// The one-entry form of CTY_ids_cmp.
int CTY_id_cmp(const char *ids, const char *id);
