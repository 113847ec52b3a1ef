// The frame drawing driver's runs over the variable list: which entries are
// drawn together, how often the source's reports are read, and the
// point-data file written from a run (plot type "none": nothing is drawn).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/var_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/grids.h"
#include "surface/data_plt.h"

namespace {

int reads = 0;
std::size_t next_report = 0;
constexpr int NUM_REPORTS = 3;
bool want_raw = false;

int fake_read(void *, CTY_locate *loc) {
    if (next_report >= NUM_REPORTS) return -1;
    ++reads;
    MAP_tran(36.0f + 3.0f * float(next_report), -97.0f, &loc->x, &loc->y);
    std::snprintf(loc->id, sizeof loc->id, "S%zu", next_report);
    ++next_report;
    return 1;
}
void fake_rewind() {
    next_report = 0;
}
int fake_get_data(void *, VAR_data *var, RAW_data *item) {
    item->value[0] = float(next_report) * 10 + float(var->type);
    item->value[1] = FMISSING;
    item->data[0] = '\0';
    return 1;
}
int fake_out_raw() {
    char conv[] = "sfc_raw";
    FILE_set_name(conv);
    return want_raw ? 1 : 0;
}

DATA_info source() {
    DATA_info d{};
    d.model = MISSING;
    d.date = Date{2004, 12, 8, 343, 3, 12, 0, 0};
    d.domain = zeqtest::make_domain(1, 39, -97, 25, 17, 2.3f, 2.3f);
    d.read_report = fake_read;
    d.rewind = fake_rewind;
    d.get_data = fake_get_data;
    d.out_raw = fake_out_raw;
    return d;
}

// Walks the list as the surface frame does; returns the "first-last" runs
// of the grid and station drivers and counts the reads.
std::string frame_runs(const char *spec) {
    FLAG_set(FLAG_BATCH, 1);
    FLAG_set(FLAG_PLOT_TYPE, 99);
    VAR_open_file(nullptr);
    VAR_setup(nullptr, spec);
    DATA_info d = source();
    MAP_domain(&d.domain);
    DATA_plot_init();
    reads = 0;
    std::string runs;
    for (int i = 0; i < VAR_get_num(); ++i) {
        int last = DATA_plot_grid(i, &d);
        if (last != i) runs += "G" + std::to_string(i) + "-" + std::to_string(last) + " ";
        i = last;
        last = DATA_plot_raw(i, &d);
        if (VAR_is_type_PLOT(i)) runs += "P" + std::to_string(i) + "-" + std::to_string(last) + " ";
        i = last;
    }
    return runs + "reads " + std::to_string(reads);
}

TEST(FrameRuns, EntriesDrawnTogether) {
    struct Case {
        const char *spec;
        const char *runs;
    };
    const Case cases[] = {
        // A group: the header alone (its label), then the members in one pass.
        {"obs{temp:F:value,dewp:F:value,wbrb:knt:wbarb}", "P0-0 P1-3 reads 3"},
        // Two plain station variables: a run each, the reports read twice.
        {"temp:F:value,dewp:F:value", "P0-0 P1-1 reads 6"},
        // A vector header and its two components: one wind plot.
        {"wnd::barb<uwndg,vwndg>", "G0-2 reads 0"},
        // A filled contour grid and a station variable after it.
        {"temp:F:cf,temp:F:value", "P1-1 reads 3"},
    };
    for (const Case &c : cases) {
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            std::printf("%s\n", frame_runs(c.spec).c_str());
            return 0;
        });
        EXPECT_EQ(r.status, 0) << c.spec << r.err;
        EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), std::string(c.runs) + "\n")
            << c.spec;
    }
}

// A run asked for as a point-data file writes one field per station
// variable from the first on and one line per station; a file that cannot
// be created leaves the run undrawn (its reports are not read).
TEST(FrameRuns, PointDataFileOfARun) {
    zeqtest::TempDir dir;
    const zeqtest::ChildResult r = zeqtest::run_child([&] {
        RES_put("raw_path", dir.path().c_str());
        want_raw = true;
        std::printf("%s\n", frame_runs("temp:F:value").c_str());
        RES_put("raw_path", "/proc/no/such/dir");
        std::printf("%s\n", frame_runs("temp:F:value").c_str());
        return 0;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("P0-0 reads 3\nP0-0 reads 0\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.err.find("RAW_date_open: Unable to create raw file: /proc/no/such/dir/04120812_sfc_temp.raw"),
              std::string::npos)
        << r.err;
    const std::string text = zeqtest::read_file(dir.file("04120812_sfc_temp.raw"));
    EXPECT_EQ(text.rfind("ZEQRAW\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nid lat lon\ntemp:"), std::string::npos) << text;
    // Station S0 at 36 N 97 W with its value 10 * 1 + 2 (the value type).
    EXPECT_NE(text.find("\nS0  36.00  -97.00 12\nS1  39.00  -97.00 22\nS2  42.00  -97.00 32\n"),
              std::string::npos)
        << text;
}

} // namespace
