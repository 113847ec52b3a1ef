// The station database over the full station file generated from
// weather-util-data (about 5,600 stations): loading it for a plot domain, and
// 10^5 look-ups by identifier and by position.
#include "fields/cty_read.h"
#include "fields/cty_tool.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int num_lookups = 100000;

// Every station of the file, read once.
const std::vector<CTY_data> &stations() {
    static const std::vector<CTY_data> all = [] {
        std::vector<CTY_data> v;
        const std::string path = std::string(ZEQ_BUILD_DATA) + "/sao.cty";
        const int fd = CTY_open(path.c_str(), 0, 0);
        if (fd < 0) {
            std::fprintf(stderr, "cty_bench: no station file %s\n", path.c_str());
            std::exit(1);
        }
        CTY_data s{};
        while (CTY_read(fd, &s) > 0)
            v.push_back(s);
        CTY_close(fd);
        return v;
    }();
    return all;
}

void setup() {
    static const bool done = [] {
        RES_put("file_path", ZEQ_BUILD_DATA);
        MESS_set(-1, M_MESS); // no "Reading the city database file..." lines in the timings
        return true;
    }();
    (void)done;
}

// The whole world on a latitude-longitude plane: every station is placed.
Domain world() {
    Domain d{};
    d.proj = 2;
    d.plat = -9999.0f;
    d.plon = 0.0f;
    for (float &p : d.param)
        p = -9999.0f;
    d.clat = 0.0f;
    d.clon = 0.0f;
    d.nx = 361;
    d.ny = 181;
    d.dx = 1.0f;
    d.dy = 1.0f;
    return d;
}

void BM_StoreFullFile(benchmark::State &state) {
    setup();
    const Domain d = world();
    const int mode = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(CTY_store("sao.cty", mode, &d, 9));
        state.PauseTiming();
        CTY_clear();
        state.ResumeTiming();
    }
    state.counters["stations"] = static_cast<double>(stations().size());
}
BENCHMARK(BM_StoreFullFile)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_SearchById(benchmark::State &state) {
    setup();
    const Domain d = world();
    CTY_store("sao.cty", 3, &d, 9);
    std::vector<std::string> keys;
    std::mt19937 rng(1);
    const auto &all = stations();
    std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
    for (int i = 0; i < num_lookups; ++i)
        keys.emplace_back(all[pick(rng)].id);
    for (auto _ : state) {
        int found = 0;
        CTY_locate loc{};
        for (const std::string &k : keys)
            found += CTY_search(k.c_str(), &loc);
        if (found != num_lookups) state.SkipWithError("a station was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * num_lookups);
    CTY_clear();
}
BENCHMARK(BM_SearchById)->Unit(benchmark::kMillisecond);

// Positions within 0.3 degrees of a station: found within three rings.
void BM_SearchByPosition(benchmark::State &state) {
    setup();
    const Domain d = world();
    CTY_store("sao.cty", 3, &d, 9);
    std::vector<std::pair<float, float>> points;
    std::mt19937 rng(2);
    const auto &all = stations();
    std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
    std::uniform_real_distribution<float> off(-0.3f, 0.3f);
    for (int i = 0; i < num_lookups; ++i) {
        const CTY_data &s = all[pick(rng)];
        points.emplace_back(s.lat + off(rng), s.lon + off(rng));
    }
    for (auto _ : state) {
        int found = 0;
        CTY_locate loc{};
        for (const auto &[lat, lon] : points)
            found += CTY_search_loc(lat, lon, &loc);
        if (found != num_lookups) state.SkipWithError("a position found no station");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * num_lookups);
    CTY_clear();
}
BENCHMARK(BM_SearchByPosition)->Unit(benchmark::kMillisecond);

} // namespace
