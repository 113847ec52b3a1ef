// The generic data driver: station arrays and their growth, the fit of a
// source's reports onto the grid table, and grid files saved and reused.
#include <gtest/gtest.h>

#include <cmath>
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
#include "surface/data.h"
#include "surface/object.h"

namespace {

TEST(StationArrays, GrowByFourHundredWithOneMessageEach) {
    VAR_reset();
    ASSERT_EQ(DATA_init(800, 2), 0);
    VAR_data var{};
    VAR_data_init(&var);
    var.type = 12;
    ASSERT_EQ(DATA_add_field(0, &var), 0);
    EXPECT_EQ(DATA_chk_field(0), 1);
    EXPECT_EQ(DATA_chk_field(1), 0);
    testing::internal::CaptureStdout();
    RAW_data item{};
    for (int s = 0; s < 1201; ++s) {
        ASSERT_EQ(DATA_add_loc(s, double(s), double(-s)), 0);
        item.value[0] = float(s) / 2;
        item.value[1] = float(s) * 2;
        DATA_add_raw(s, 0, &item);
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Increasing arrays to 1200\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Increasing arrays to 1600\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Increasing arrays to 2000"), std::string::npos) << out;
    EXPECT_EQ(DATA_get_num_stats(), 1201);

    // Values stored before and after the growths read back with positions.
    for (int s : {0, 799, 800, 1199, 1200}) {
        RAW_data got{};
        ASSERT_EQ(DATA_get_raw(s, 0, &got), 1) << s;
        EXPECT_EQ(got.x, float(s));
        EXPECT_EQ(got.y, float(-s));
        EXPECT_EQ(got.value[0], float(s) / 2);
        EXPECT_EQ(got.value[1], float(s) * 2);
        EXPECT_EQ(got.type, 12);
    }
    RAW_data got{};
    EXPECT_EQ(DATA_get_raw(1201, 0, &got), 0);
    EXPECT_EQ(DATA_get_raw(0, 1, &got), 0);
    EXPECT_EQ(DATA_get_raw(-1, 0, &got), 0);
    DATA_free();
}

TEST(StationArrays, LongPlotFormatIsCutToTheItem) {
    VAR_reset();
    ASSERT_EQ(DATA_init(0, 2), 0);
    VAR_data var{};
    VAR_data_init(&var);
    std::string fmt(100, 'f');
    std::snprintf(var.format, sizeof var.format, "%s", fmt.c_str());
    DATA_add_field(0, &var);
    DATA_add_loc(0, 1.0, 2.0);
    RAW_data item{};
    DATA_add_raw(0, 0, &item);
    RAW_data got{};
    ASSERT_EQ(DATA_get_raw(0, 0, &got), 1);
    EXPECT_EQ(std::string(got.format), fmt.substr(0, sizeof got.format - 1));
    DATA_free();
}

// A source of made-up reports: stations on a line through the domain centre,
// each with its value; the used ones are those with use set.
struct FakeStation {
    float lat, lon, value;
    int use;
};
std::vector<FakeStation> stations;
std::size_t next_station = 0;
int reads = 0;

int fake_read(void *, CTY_locate *loc) {
    if (next_station >= stations.size()) return -1;
    const FakeStation &s = stations[next_station++];
    ++reads;
    MAP_tran(s.lat, s.lon, &loc->x, &loc->y);
    std::snprintf(loc->id, sizeof loc->id, "S%zu", next_station);
    return s.use;
}
void fake_rewind() {
    next_station = 0;
}
int fake_get_data(void *, VAR_data *, RAW_data *item) {
    item->value[0] = stations[next_station - 1].value;
    item->value[1] = FMISSING;
    return 1;
}
int out_grid_type = 0;
int fake_out_grid() {
    char conv[] = "grd_zeq";
    FILE_set_name(conv);
    return out_grid_type;
}
int fake_grid_data(DATA_info *d) {
    if (DATA_setup_grid(d)) {
        OBJ_set_filter(1.0f);
        OBJ_set_rad_inf(3.0f);
        DATA_get_data(d);
        DATA_object_analyze();
    }
    DATA_save_grid(d);
    DATA_free();
    return 0;
}

DATA_info fake_source(const Domain &dom) {
    DATA_info d{};
    d.model = MISSING;
    d.date = Date{2004, 12, 8, 343, 3, 12, 0, 0};
    d.domain = dom;
    d.out_grid = fake_out_grid;
    d.read_report = fake_read;
    d.rewind = fake_rewind;
    d.get_data = fake_get_data;
    d.grid_data = fake_grid_data;
    return d;
}

void setup_list(const char *spec) {
    RES_put("batch", "1");
    FLAG_set(FLAG_BATCH, 1);
    VAR_open_file(nullptr);
    VAR_setup(nullptr, spec);
}

TEST(DataDriver, NoStationUsedLeavesEveryGridPointMissing) {
    Domain dom = zeqtest::make_domain(1, 40, -100, 9, 7, 1.0f);
    MapScope scope(&dom);
    setup_list("temp:F:cont");
    ASSERT_EQ(VAR_get_num(), 1);
    stations = {{40, -100, 10, 0}, {41, -99, 20, 0}, {39, -101, 30, 0}};
    DATA_info d = fake_source(dom);
    DATA_new_grid();
    DATA_fit_grid(&d);
    EXPECT_EQ(reads, 3);
    const GRD_report *g = GRD_get_grid(0);
    ASSERT_NE(g->grid, nullptr);
    for (int k = 0; k < g->domain.nx * g->domain.ny; ++k)
        ASSERT_EQ(g->grid[k], FMISSING) << k;
}

TEST(DataDriver, StationsAreAnalysedOnceAndGridFilesReused) {
    zeqtest::TempDir dir;
    RES_put("grid_path", dir.path().c_str());
    Domain dom = zeqtest::make_domain(1, 40, -100, 9, 7, 1.0f);
    MapScope scope(&dom);
    setup_list("temp:F:cont");
    // A uniform 50 at stations around the centre: the analysis gives 50
    // near them.
    stations.clear();
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j)
            stations.push_back({40.0f + float(i), -100.0f + float(j), 50, 1});
    stations.push_back({40.2f, -100.2f, 900, 0}); // skipped: not in the analysis
    out_grid_type = 2;
    DATA_info d = fake_source(dom);
    DATA_new_grid();
    reads = 0;
    DATA_fit_grid(&d);
    EXPECT_EQ(reads, int(stations.size()));
    const GRD_report *g = GRD_get_grid(0);
    ASSERT_NE(g->grid, nullptr);
    const int centre = (g->domain.ny / 2) * g->domain.nx + g->domain.nx / 2;
    EXPECT_NEAR(g->grid[centre], 50.0f, 0.01f);

    // The fitted mark holds: no second fit.
    DATA_fit_grid(&d);
    EXPECT_EQ(reads, int(stations.size()));

    // A new mark with the grid file present for the same domain: the file
    // is read, no report is.
    char name[FILE_NAME_SIZE];
    fake_out_grid();
    FILE_set_key('v', VAR_get_name(0));
    FILE_set_key('l', VAR_get_level_key(0));
    FILE_set_key('f', VAR_get_time_key(0));
    FILE_set_date(&d.date, name, sizeof name);
    char full[FILE_NAME_SIZE];
    FILE_add_path(dir.path().c_str(), name, full, sizeof full);
    ASSERT_TRUE(zeqtest::read_file(full).rfind("ZEQGRID", 0) == 0) << full;
    DATA_new_grid();
    reads = 0;
    DATA_fit_grid(&d);
    EXPECT_EQ(reads, 0);
    ASSERT_NE(GRD_get_grid(0)->grid, nullptr);
    EXPECT_NEAR(GRD_get_grid(0)->grid[centre], 50.0f, 0.01f);
}

TEST(DataDriver, StationValuesOnlyNeverFit) {
    Domain dom = zeqtest::make_domain(1, 40, -100, 9, 7, 1.0f);
    MapScope scope(&dom);
    setup_list("temp:F:value");
    stations = {{40, -100, 10, 1}};
    DATA_info d = fake_source(dom);
    DATA_new_grid();
    reads = 0;
    DATA_fit_grid(&d);
    EXPECT_EQ(reads, 0);
}

} // namespace
