// The grid operators on a 1000 x 1000 grid: the x derivative and the
// Laplacian (on a Lambert and on a latitude-longitude grid), and resampling
// a latitude-longitude grid onto a Lambert grid of the same size.
#include "fields/grd_tool.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fields/region.h"

namespace {

constexpr int kSize = 1000;

Domain bench_domain(int proj) {
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.clat = 40.0f;
    d.clon = -95.0f;
    d.nx = d.ny = kSize;
    // Latitude-longitude: 20N to 60N; Lambert: 3 km apart, inside it.
    d.dx = d.dy = proj == 2 ? 0.04f : 0.03f;
    return d;
}

// A record holding a smooth field; the array belongs to the benchmark.
struct Field {
    GRD_report r;
    std::vector<float> v;
    explicit Field(const Domain &d) {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        r.domain = d;
        v.resize(std::size_t(d.nx) * d.ny);
        for (int j = 0; j < d.ny; ++j)
            for (int i = 0; i < d.nx; ++i)
                v[std::size_t(j) * d.nx + i] =
                    float(5400.0 + 50.0 * std::sin(0.01 * i) * std::cos(0.013 * j));
        r.grid = v.data();
    }
};

// An output record with an array of its own (kept between iterations).
struct Output {
    GRD_report r;
    explicit Output(const Domain &d) {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        r.domain = d;
    }
    ~Output() { std::free(r.grid); }
};

void BM_GRD_dx(benchmark::State &state) {
    const Domain d = bench_domain(int(state.range(0)));
    Field in(d);
    Output out(d);
    for (auto _ : state) {
        GRD_dx(&in.r, &out.r);
        benchmark::DoNotOptimize(out.r.grid);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSize * kSize);
}
BENCHMARK(BM_GRD_dx)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GRD_laplacian(benchmark::State &state) {
    const Domain d = bench_domain(int(state.range(0)));
    Field in(d);
    Output out(d);
    for (auto _ : state) {
        GRD_laplacian(&in.r, &out.r);
        benchmark::DoNotOptimize(out.r.grid);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSize * kSize);
}
BENCHMARK(BM_GRD_laplacian)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GRD_remap(benchmark::State &state) {
    Field in(bench_domain(2));
    const Domain target = bench_domain(4);
    for (auto _ : state) {
        Output out(in.r.domain);
        GRD_remap(&out.r, &target, &in.r);
        benchmark::DoNotOptimize(out.r.grid);
    }
    state.SetItemsProcessed(state.iterations() * kSize * kSize);
}
BENCHMARK(BM_GRD_remap)->Unit(benchmark::kMillisecond);

} // namespace
