// The Barnes analysis with the surface program's settings (filter 1.0, radius
// 3 grid lengths, 4 passes) on a 241 x 193 polar stereographic grid:
//  - 5,000 stations, timed beside a vectorised NumPy/SciPy analysis of the
//    same input (bench/object_ref.py); the grids must agree within 1e-5
//    relative, and the counter "ratio" is the reference's time over ours;
//  - 10,000 and 100,000 stations, with the peak memory of one analysis in a
//    fresh run of this program (every operator new is counted).
#include "surface/object.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "runtime/mess.h"

// ---- Allocation counting -----------------------------------------------------
// Kept out of line, so that the compiler does not pair the malloc and free
// inside them with the new and delete expressions of the callers.

namespace {
std::size_t live_bytes = 0;
std::size_t peak_bytes = 0;
} // namespace

[[gnu::noinline]] void *operator new(std::size_t size) {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    live_bytes += malloc_usable_size(p);
    if (live_bytes > peak_bytes) peak_bytes = live_bytes;
    return p;
}
[[gnu::noinline]] void *operator new[](std::size_t size) {
    return operator new(size);
}
[[gnu::noinline]] void operator delete(void *ptr) noexcept {
    if (ptr == nullptr) return;
    live_bytes -= malloc_usable_size(ptr);
    std::free(ptr);
}
[[gnu::noinline]] void operator delete[](void *ptr) noexcept {
    operator delete(ptr);
}
[[gnu::noinline]] void operator delete(void *ptr, std::size_t) noexcept {
    operator delete(ptr);
}
[[gnu::noinline]] void operator delete[](void *ptr, std::size_t) noexcept {
    operator delete(ptr);
}

namespace {

constexpr int kNx = 241;
constexpr int kNy = 193;

Domain bench_domain() {
    Domain d;
    DOM_init(&d);
    d.proj = 1;
    d.plon = -105.0f;
    d.clat = 40.0f;
    d.clon = -97.0f;
    d.nx = kNx;
    d.ny = kNy;
    d.dx = d.dy = 0.25f; // 25 km: 6,000 km by 4,800 km
    return d;
}

// Stations over the domain and a margin of about five grid lengths around
// it, sampling a smooth pressure field; every 50th value is missing.
struct Input {
    Domain d;
    float x_min = 0.0f, y_max = 0.0f;
    std::vector<float> x, y, z;
    explicit Input(int n) : d(bench_domain()) {
        MAP_domain(&d);
        MAP_limits lim{};
        MAP_get_limits(&lim);
        x_min = lim.x_min;
        y_max = lim.y_max;
        unsigned seed = 2024;
        const auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return float((seed >> 8) & 0xFFFF) / 65536.0f;
        };
        const float w = lim.x_max - lim.x_min + 2.5f, h = lim.y_max - lim.y_min + 2.5f;
        for (int s = 0; s < n; ++s) {
            const float px = lim.x_min - 1.25f + w * next();
            const float py = lim.y_min - 1.25f + h * next();
            x.push_back(px);
            y.push_back(py);
            z.push_back(s % 50 == 7
                            ? FMISSING
                            : float(1013.0 + 8.0 * std::sin(0.07 * px) * std::cos(0.05 * py) + 0.3 * px));
        }
    }
};

// One analysis onto `grid` from fresh copies of the station arrays.
struct Analysis {
    std::vector<float> x, y, z;
    GRD_report rec;
    std::vector<float> grid;
    explicit Analysis(const Input &in) : grid(std::size_t(kNx) * kNy) {
        std::memset(&rec, 0, sizeof rec);
        GRD_init(&rec);
        rec.domain = in.d;
        rec.grid = grid.data();
    }
    void run(const Input &in) {
        x = in.x;
        y = in.y;
        z = in.z;
        float *zf = z.data();
        OBJ_analyze(x.data(), y.data(), &zf, int(x.size()), 1, &rec);
    }
};

void set_surface_settings() {
    MESS_set(0, 0);
    OBJ_initialize();
    OBJ_set_filter(1.0f);
    OBJ_set_rad_inf(3.0f);
    OBJ_set_num_pass(4);
}

// Runs the reference over the input: its best time in seconds and its grid;
// a negative time when it could not run.
double run_reference(const Input &in, std::vector<float> *grid) {
    char dir[] = "/tmp/objbench.XXXXXX";
    if (mkdtemp(dir) == nullptr) return -1.0;
    const std::string in_name = std::string(dir) + "/in", out_name = std::string(dir) + "/out";
    {
        std::ofstream f(in_name, std::ios::binary);
        const int n = int(in.x.size());
        const int ints[5] = {kNx, kNy, 4, 1, n};
        const float floats[7] = {in.d.dx, in.d.dy, in.x_min, in.y_max, 3.0f, 1.0f, 0.2f};
        f.write(reinterpret_cast<const char *>(ints), sizeof ints);
        f.write(reinterpret_cast<const char *>(floats), sizeof floats);
        for (const std::vector<float> *v : {&in.x, &in.y, &in.z})
            f.write(reinterpret_cast<const char *>(v->data()), std::streamsize(v->size() * sizeof(float)));
    }
    const std::string cmd = std::string("/usr/bin/python3 ") + ZEQ_SOURCE_DIR + "/bench/object_ref.py " +
                            in_name + " " + out_name;
    double seconds = -1.0;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        if (std::fscanf(p, "%lf", &seconds) != 1) seconds = -1.0;
        if (pclose(p) != 0) seconds = -1.0;
    }
    grid->assign(std::size_t(kNx) * kNy, 0.0f);
    std::ifstream f(out_name, std::ios::binary);
    f.read(reinterpret_cast<char *>(grid->data()), std::streamsize(grid->size() * sizeof(float)));
    if (!f) seconds = -1.0;
    std::remove(in_name.c_str());
    std::remove(out_name.c_str());
    rmdir(dir);
    return seconds;
}

// The number of grid points where the two grids differ: by their missing
// points, or by more than 1e-5 relative.
int grid_differences(const std::vector<float> &a, const std::vector<float> &b) {
    int bad = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if ((a[k] == FMISSING) != (b[k] == FMISSING)) {
            ++bad;
            continue;
        }
        if (std::fabs(double(a[k]) - double(b[k])) > 1e-5 * std::fabs(double(b[k]))) ++bad;
    }
    return bad;
}

void BM_OBJ_analyze_vs_reference(benchmark::State &state) {
    const Input in(int(state.range(0)));
    set_surface_settings();
    Analysis a(in);
    // The best time of an analysis, as the reference reports its best run:
    // the machine may be shared, and the best runs are the least disturbed.
    double ours = 1e30;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        a.run(in);
        benchmark::DoNotOptimize(a.grid.data());
        benchmark::ClobberMemory();
        ours =
            std::min(ours, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    std::vector<float> ref_grid;
    const double ref = run_reference(in, &ref_grid);
    if (ref < 0.0) {
        state.SkipWithError(
            "the reference did not run (needs /usr/bin/python3 with python3-numpy, python3-scipy)");
        return;
    }
    const int bad = grid_differences(a.grid, ref_grid);
    if (bad != 0) {
        state.SkipWithError(
            ("grids differ from the reference at " + std::to_string(bad) + " points").c_str());
        return;
    }
    state.counters["best_ms"] = ours * 1e3;
    state.counters["ref_ms"] = ref * 1e3;
    state.counters["ratio"] = ref / ours;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OBJ_analyze_vs_reference)->Arg(5000)->Unit(benchmark::kMillisecond);

// The peak memory of one analysis of n stations: the bytes allocated at the
// peak above what was allocated just before the call.
double analysis_peak(int n) {
    const Input in(n);
    set_surface_settings();
    Analysis a(in);
    a.x = in.x;
    a.y = in.y;
    a.z = in.z;
    float *zf = a.z.data();
    const std::size_t base = live_bytes;
    peak_bytes = live_bytes;
    OBJ_analyze(a.x.data(), a.y.data(), &zf, int(a.x.size()), 1, &a.rec);
    return double(peak_bytes - base);
}

// analysis_peak measured by a fresh run of this program, in which no earlier
// analysis has left memory behind; -1 when it fails.
double fresh_analysis_peak(int n) {
    const std::string cmd = "/proc/" + std::to_string(getpid()) + "/exe --analysis-peak " + std::to_string(n);
    double peak = -1.0;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        if (std::fscanf(p, "%lf", &peak) != 1) peak = -1.0;
        if (pclose(p) != 0) peak = -1.0;
    }
    return peak;
}

void BM_OBJ_analyze_memory(benchmark::State &state) {
    const Input in(int(state.range(0)));
    set_surface_settings();
    const double peak = fresh_analysis_peak(int(state.range(0)));
    if (peak < 0.0) {
        state.SkipWithError("the measuring process failed");
        return;
    }
    Analysis a(in);
    for (auto _ : state) {
        a.run(in);
        benchmark::DoNotOptimize(a.grid.data());
    }
    state.counters["peak_MB"] = peak / (1024.0 * 1024.0);
    state.counters["grid_MB"] = double(a.grid.size() * sizeof(float)) / (1024.0 * 1024.0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OBJ_analyze_memory)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

// "--analysis-peak N" prints analysis_peak(N) for the memory benchmark; any
// other command line runs the benchmarks.
int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--analysis-peak") == 0) {
        std::printf("%.0f\n", analysis_peak(std::atoi(argv[2])));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
