// Decoding whole GRIB files: every grid through GRD_read against every field
// through ecCodes' C API (multi-field products on), for simple packing
// (eta.grb and an edition 1 copy of its pressure levels), complex packing
// (gfs.grb, ds.maxt.bin) and JPEG 2000 (ds.maxt.bin repacked). The copies are
// made by ecCodes' tools at start-up. Peak memory of reading one copy of a
// file and ten copies of it, each in a child process, is reported as
// counters.
#include <benchmark/benchmark.h>
#include <eccodes.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gridfile/grd_read.h"
#include "runtime/mess.h"

namespace {

const std::string kExamples = "/usr/share/doc/python-grib-doc/examples/";

// The files of the run, made once.
struct Files {
    std::string dir;
    Files() {
        char tmpl[] = "/tmp/grib_bench.XXXXXX";
        dir = mkdtemp(tmpl) != nullptr ? tmpl : "/tmp";
        const std::string pl = dir + "/eta_pl.grb2";
        const std::string cmds[] = {
            "grib_copy -w typeOfLevel=isobaricInhPa " + kExamples + "eta.grb " + pl,
            "grib_set -s edition=1 " + pl + " " + dir + "/eta_pl.grb1",
            "grib_set -r -s packingType=grid_jpeg " + kExamples + "ds.maxt.bin " + dir + "/maxt_jpeg.grb2",
        };
        for (const std::string &c : cmds)
            if (std::system(c.c_str()) != 0)
                std::fprintf(stderr, "grib_bench: %s failed (Debian package libeccodes-tools)\n", c.c_str());
        std::string ten;
        for (int i = 0; i < 10; ++i)
            ten += " " + kExamples + "gfs.grb";
        std::system(("cat" + ten + " > " + dir + "/gfs10.grb").c_str());
        MESS_set(0, 0);
    }
    ~Files() { std::system(("rm -rf " + dir).c_str()); }
    std::string path(int which) const {
        switch (which) {
        case 0:
            return kExamples + "eta.grb";
        case 1:
            return dir + "/eta_pl.grb1";
        case 2:
            return kExamples + "gfs.grb";
        case 3:
            return kExamples + "ds.maxt.bin";
        default:
            return dir + "/maxt_jpeg.grb2";
        }
    }
};

const Files &files() {
    static const Files f;
    return f;
}

// Every grid of a file through the grid file table; the number of grids
// read, -1 when the file cannot be opened.
long read_ours(const std::string &path) {
    int type = 21;
    const int fd = GRD_open(path.c_str(), 0, &type);
    if (fd < 0) return -1;
    GRD_info info{};
    GRD_getinfo(fd, &info);
    long n = 0;
    for (int g = 0;; ++g) {
        GRD_report r{};
        r.grid = nullptr;
        int num = g;
        const int rc = GRD_read(fd, &r, 0, &num);
        std::free(r.grid);
        if (rc < 0) break;
        if (rc == 0) ++n;
    }
    GRD_close(fd);
    return n;
}

long read_eccodes(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return -1;
    codes_grib_multi_support_on(nullptr);
    long n = 0;
    int err = 0;
    std::vector<double> v;
    while (codes_handle *h = codes_handle_new_from_file(nullptr, f, PRODUCT_GRIB, &err)) {
        size_t size = 0;
        if (codes_get_size(h, "values", &size) == 0) {
            v.resize(size);
            if (codes_get_double_array(h, "values", v.data(), &size) == 0) ++n;
        }
        codes_handle_delete(h);
    }
    codes_grib_multi_support_off(nullptr);
    std::fclose(f);
    return n;
}

void BM_GrdRead(benchmark::State &state) {
    const std::string path = files().path(int(state.range(0)));
    long n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(n = read_ours(path));
    state.SetLabel(path.substr(path.rfind('/') + 1));
    state.counters["grids"] = double(n);
}

void BM_Eccodes(benchmark::State &state) {
    const std::string path = files().path(int(state.range(0)));
    long n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(n = read_eccodes(path));
    state.SetLabel(path.substr(path.rfind('/') + 1));
    state.counters["grids"] = double(n);
}

// Peak resident memory (kB) of a child that reads the file.
long peak_kb(const std::string &path) {
    const pid_t pid = fork();
    if (pid == 0) {
        read_ours(path);
        _exit(0);
    }
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) return -1;
    return ru.ru_maxrss;
}

void BM_PeakMemory(benchmark::State &state) {
    long one = 0, ten = 0;
    for (auto _ : state) {
        one = peak_kb(files().path(2));
        ten = peak_kb(files().dir + "/gfs10.grb");
    }
    state.SetLabel("gfs.grb once and ten times");
    state.counters["peak_kB_1"] = double(one);
    state.counters["peak_kB_10"] = double(ten);
}

} // namespace

// 0 eta.grb, 1 its edition 1 copy, 2 gfs.grb, 3 ds.maxt.bin, 4 ds.maxt.bin in JPEG 2000.
BENCHMARK(BM_GrdRead)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Eccodes)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
