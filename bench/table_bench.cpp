// The keyed hash table at the size of the station database: about 5,600
// stations under their identifier and WMO number, in 4,000 buckets per key
// (the most the station database asks for).
#include "runtime/table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int num_stations = 5600;
constexpr int num_buckets = 4000;
constexpr int num_lookups = 100000;

struct Station {
    char id[8];
    int wmo;
    float lat, lon;
    int elev;
    int prior;
};

struct Keys {
    std::vector<std::string> ids, wmos;
};

const Keys &station_keys() {
    static const Keys keys = [] {
        Keys k;
        for (int i = 0; i < num_stations; ++i) {
            char id[8];
            // Four-letter identifiers spread over the alphabet, as ICAO ones are.
            std::snprintf(id, sizeof id, "%c%c%c%c", 'A' + i % 26, 'A' + (i / 26) % 26, 'A' + (i / 676) % 26,
                          'K' + i % 3);
            k.ids.emplace_back(id);
            k.wmos.push_back(std::to_string(10000 + i * 13));
        }
        return k;
    }();
    return keys;
}

void fill(TAB_table &tab) {
    const Keys &k = station_keys();
    TAB_create(&tab, num_buckets, sizeof(Station), 2);
    for (int i = 0; i < num_stations; ++i) {
        Station s{};
        std::snprintf(s.id, sizeof s.id, "%s", k.ids[i].c_str());
        s.wmo = 10000 + i * 13;
        TAB_enter(&tab, reinterpret_cast<const char *>(&s), k.ids[i].c_str(), k.wmos[i].c_str());
    }
}

void BM_TableEnter(benchmark::State &state) {
    for (auto _ : state) {
        TAB_table tab{};
        fill(tab);
        benchmark::DoNotOptimize(tab.num_entry);
        TAB_clear(&tab);
    }
    state.SetItemsProcessed(state.iterations() * num_stations);
}
BENCHMARK(BM_TableEnter)->Unit(benchmark::kMillisecond);

void BM_TableSearch(benchmark::State &state) {
    const Keys &k = station_keys();
    TAB_table tab{};
    fill(tab);
    for (auto _ : state) {
        long found = 0;
        for (int i = 0; i < num_lookups; ++i) {
            const int s = (i * 7919) % num_stations;
            // Alternate the two keys, and miss now and then.
            const char *p = (i & 1) ? TAB_search(&tab, 2, k.wmos[s].c_str())
                                    : TAB_search(&tab, 1, (i % 10 == 0) ? "ZZZZ" : k.ids[s].c_str());
            found += p != nullptr;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * num_lookups);
    TAB_clear(&tab);
}
BENCHMARK(BM_TableSearch)->Unit(benchmark::kMillisecond);

} // namespace
