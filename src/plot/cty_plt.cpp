// The station map overlay: stations of the station file drawn as labelled
// point items, filtered by the priority level and the identifier list.
// File-static state: the overlay options read from plot_param (marker, label
// choice, zero-count filter), which stay once given.
#include "plot/cty_plt.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/cty_read.h"
#include "fields/cty_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "plot/cont.h"
#include "plot/raw_plt.h"
#include "plot/raw_tool.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

// The label of a station: its identifier, WMO number or count.
constexpr int LABEL_WMO = 1;
constexpr int LABEL_NUM = 2;

int marker = 0;
int output = 0;
int nzero = 0;

// One entry of the identifier list: the selection before the first ':' and
// what follows it (a position and label, or a label), used by one station.
struct Entry {
    std::string select;
    std::string rest;
    bool has_rest = false;
};

// A position and label of an entry's rest.
struct Place {
    float lat = FMISSING;
    float lon = FMISSING;
    char label[40] = "";
    int read = 0; // 2: latitude and longitude, 3: and a label
};

// Reads "LAT:LON[:LABEL]". A rest that does not give both numbers is a
// label as a whole (read 0).
Place read_place(const std::string &rest) {
    Place p;
    const int n = std::sscanf(rest.c_str(), "%f:%f:%39s", &p.lat, &p.lon, p.label);
    if (n >= 2 && std::isfinite(p.lat) && std::isfinite(p.lon)) {
        p.read = n;
        if (n == 2) p.label[0] = '\0';
    } else {
        p.lat = p.lon = FMISSING;
        copy_text(p.label, rest);
    }
    fill_string(p.label, '_', ' ');
    return p;
}

// The item's position from a latitude and longitude; false when the point
// cannot be placed on the current map.
bool place(RAW_data *item, float lat, float lon) {
    return MAP_tran(lat, lon, &item->x, &item->y) != 0 && !is_missing(item->x) && !is_missing(item->y);
}

std::vector<Entry> identifier_entries() {
    std::vector<Entry> entries;
    int count = 0;
    char **items = nullptr;
    RES_getvals("identifier", &count, &items);
    for (int i = 0; i < count; ++i) {
        const std::string_view item = items[i];
        Entry e;
        const std::size_t colon = item.find(':');
        e.select = item.substr(0, colon);
        if (colon != std::string_view::npos) {
            e.rest = item.substr(colon + 1);
            e.has_rest = true;
        }
        entries.push_back(std::move(e));
    }
    free_parsed_array(count, items);
    return entries;
}

} // namespace

int CTY_plot_param() {
    int count = 0;
    char **items = nullptr;
    RES_getvals("plot_param", &count, &items);
    for (int i = 0; i < count; ++i) {
        const std::string_view item = items[i];
        if (istarts_with(item, "mark")) {
            if (item.size() > 5) marker = ATTR_parse_marker(items[i] + 5);
        } else if (istarts_with(item, "wmo")) {
            output = LABEL_WMO;
        } else if (istarts_with(item, "num")) {
            output = LABEL_NUM;
        } else if (istarts_with(item, "id")) {
            output = 3;
        } else if (istarts_with(item, "nzero")) {
            nzero = 1;
            double v = 0;
            if (item.size() > 6 && scan_decimal(item.substr(6), &v) > 0)
                nzero = v >= -2147483647.0 && v <= 2147483647.0 ? static_cast<int>(v) : 1;
        }
    }
    free_parsed_array(count, items);
    return 0;
}

int CTY_plot() {
    int num_stats = 0;
    const int fd = CTY_open_file("sao.cty", &num_stats);
    if (fd < 0) return 0;
    CTY_plot_param();
    std::vector<Entry> entries = identifier_entries();

    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_data", "green", &attr);
    float scale = 1.0f;
    if (RES_getval("plot_scale", &scale, CV_float) == 0) scale = 1.0f;
    if (RAW_plot_init(&attr, scale) != 0) {
        CTY_close(fd);
        return 0;
    }

    bool fill = false;
    if (const char *cf = RES_get("color_fill"); cf != nullptr && cf[0] != '\0') {
        // Priority number n falls in the n-th colour band.
        CONT_set_fill_colors(nullptr, 0);
        CONT_set_base(0.5f);
        CONT_set_intrvl(1.0f);
        fill = true;
    }
    if (marker != 0) RAW_set_marker(marker);

    std::vector<char *> select;
    for (Entry &e : entries)
        select.push_back(e.select.data());
    const int num_select = static_cast<int>(select.size());

    const int level = DOM_get_prior();
    CTY_data station;
    RAW_data item;
    while (CTY_read(fd, &station) > 0) {
        if (station.prior > level || (nzero != 0 && station.num == 0)) continue;
        RAW_data_init(&item);
        item.type = 1;
        float lat = station.lat;
        float lon = station.lon;
        if (num_select > 0) {
            const int k = CTY_data_cmp(num_select, select.data(), &station);
            if (k < 0 || k >= num_select) continue;
            Entry &e = entries[static_cast<std::size_t>(k)];
            if (e.has_rest) {
                const Place p = read_place(e.rest);
                if (p.read >= 2) {
                    lat = p.lat;
                    lon = p.lon;
                }
                copy_text(item.data, p.label);
                // The entry moves or relabels only its first station.
                e.has_rest = false;
            }
        }
        if (!place(&item, lat, lon)) continue;
        if (fill) CONT_get_fill_attrib(static_cast<float>(station.prior), &item.attr);
        if (item.data[0] == '\0') {
            if (output == LABEL_WMO)
                std::snprintf(item.data, sizeof item.data, "%5.5d", station.wmo);
            else if (output == LABEL_NUM)
                std::snprintf(item.data, sizeof item.data, "%d", station.num);
            else
                copy_text(item.data, station.id);
        }
        RAW_plot_data(&item);
    }
    CTY_close(fd);

    // Entries with a position that no station used are points of their own,
    // drawn with the base attributes.
    for (const Entry &e : entries) {
        if (!e.has_rest) continue;
        const Place p = read_place(e.rest);
        if (p.read < 2) continue;
        RAW_data_init(&item);
        item.type = 1;
        if (!place(&item, p.lat, p.lon)) continue;
        copy_text(item.data, p.label[0] != '\0' ? std::string_view(p.label) : std::string_view(e.select));
        RAW_plot_data(&item);
    }
    return 0;
}
