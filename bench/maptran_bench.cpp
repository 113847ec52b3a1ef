// Forward and inverse transforms of the current projection over a million
// points, for each map projection (and the satellite view on the ellipsoid).
#include "fields/maptran.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kPoints = 1000000;

Domain bench_domain(int proj, int ellipse) {
    Domain d{};
    d.proj = proj;
    d.plat = FMISSING;
    d.plon = FMISSING;
    for (float &p : d.param)
        p = FMISSING;
    d.clat = proj == 9 ? 0.0f : 40.0f;
    d.clon = -95.0f;
    d.dx = d.dy = 1.0f;
    d.nx = 61;
    d.ny = 41;
    d.ellipse = ellipse;
    return d;
}

// Earth points within 40 degrees of the domain centre, so that nearly all of
// them are shown by every projection.
std::vector<EarthPoint> earth_points(const Domain &d) {
    std::vector<EarthPoint> pts(kPoints);
    unsigned seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<float>((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    for (EarthPoint &p : pts) {
        p.lat = d.clat + 80.0f * (next() - 0.5f);
        p.lon = d.clon + 80.0f * (next() - 0.5f);
    }
    return pts;
}

void BM_MapTran(benchmark::State &state) {
    const Domain d = bench_domain(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    MAP_domain(&d);
    const std::vector<EarthPoint> pts = earth_points(d);
    for (auto _ : state) {
        for (const EarthPoint &p : pts) {
            float x, y;
            benchmark::DoNotOptimize(MAP_tran(p.lat, p.lon, &x, &y));
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_MapUntran(benchmark::State &state) {
    const Domain d = bench_domain(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    MAP_domain(&d);
    const std::vector<EarthPoint> earth = earth_points(d);
    std::vector<Point> pts;
    pts.reserve(earth.size());
    for (const EarthPoint &e : earth) {
        Point p{};
        if (MAP_tran(e.lat, e.lon, &p.x, &p.y) == 1) pts.push_back(p);
    }
    for (auto _ : state) {
        for (const Point &p : pts) {
            float lat, lon;
            benchmark::DoNotOptimize(MAP_untran(p.x, p.y, &lat, &lon));
            benchmark::DoNotOptimize(lat);
            benchmark::DoNotOptimize(lon);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

void projections(benchmark::internal::Benchmark *b) {
    b->ArgNames({"proj", "ellipse"});
    for (int proj : {1, 2, 3, 4, 5, 7, 8, 9})
        b->Args({proj, 0});
    b->Args({9, 1});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MapTran)->Apply(projections);
BENCHMARK(BM_MapUntran)->Apply(projections);

} // namespace
