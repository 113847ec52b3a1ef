// The image record and the native image file: the chunked zlib layout read
// by Python, the header forms written and read back, the forms only other
// producers write, damaged and short files refused, write failures, the
// record's copy and the format sniffing; the window dump with the map
// domain rescaled to one point a pixel.
#include "graphics/img_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/gks.h"
#include "graphics/gks_img.h"
#include "graphics/gks_loop_int.h"
#include "graphics/images.h"
#include "graphics/xwin.h"
#include "runtime/date.h"
#include "runtime/string.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using imgtest::Image;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr float M = FMISSING;

// An 8-bit grey image of w x h with pixel (x, y) = (x * 7 + y * 13) % 251.
void ramp(IMG_report *image, int w, int h) {
    std::vector<unsigned char> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<std::size_t>(y * w + x)] = static_cast<unsigned char>((x * 7 + y * 13) % 251);
    imgtest::fill_8bit(image, w, h, px);
}

// A native file of header lines and pixel bytes.
std::string native(const std::string &magic, const std::string &geometry, const std::string &pixels) {
    return magic + "\n12Z 5 MAY 2026\nInfo line\n" + geometry + "\n" + pixels;
}

// A compressed 640 x 512 image is 33 complete zlib streams: Python inflates
// them one after the other to 32 chunks of 10000 bytes and one of 7680, the
// image's pixels; the reader gives the same pixels back.
TEST(NativeFile, CompressedChunksForPython) {
    TempDir dir;
    const std::string file = dir.file("big.img");
    Image image;
    ramp(&image, 640, 512);
    copy_text(image.info, "Ramp");
    ASSERT_EQ(IMG_write(file.c_str(), &image, 1), 1);
    const std::string out = zeqtest::run_python(R"(
import sys, zlib
data = open(sys.stdin.readline().strip(), 'rb').read()
lines = data.split(b'\n', 4)
print(lines[0].decode(), lines[3].decode())
rest, pix, sizes = lines[4], b'', []
while rest:
    d = zlib.decompressobj()
    chunk = d.decompress(rest)
    if not d.eof:
        raise SystemExit('unfinished stream')
    sizes.append(len(chunk))
    pix += chunk
    rest = d.unused_data
print(len(sizes), sizes.count(10000), sizes[-1])
print(all(pix[y * 640 + x] == (x * 7 + y * 13) % 251 for y in range(512) for x in range(640)))
)",
                                                file + "\n", "python3");
    EXPECT_EQ(out, "ZEQIMGZ 640 512\n33 32 7680\nTrue\n");
    Image back;
    ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
    EXPECT_EQ(back.source, IMG_SOURCE_NATIVE);
    EXPECT_EQ(back.width, 640);
    EXPECT_EQ(back.bytes_line, 640);
    EXPECT_EQ(back.depth, 8);
    EXPECT_EQ(back.num_colors, 0);
    EXPECT_EQ(back.domain.proj, MISSING);
    EXPECT_STREQ(back.info, "Ramp");
    EXPECT_EQ(std::memcmp(back.data, image.data, 640 * 512), 0);
}

// Every geometry form the writer knows reads back to the domain written;
// the line it writes is the form named.
TEST(NativeFile, HeaderFormsRoundTrip) {
    const auto dom = [](int proj, float plat, float plon, float p0, float p1, float p2) {
        Domain d;
        DOM_init(&d);
        d.proj = proj;
        d.plat = plat;
        d.plon = plon;
        d.param[0] = p0;
        d.param[1] = p1;
        d.param[2] = p2;
        d.clat = 40.5f;
        d.clon = -97.25f;
        d.dx = 0.75f;
        d.dy = 0.5f;
        d.nx = 6;
        d.ny = 4;
        return d;
    };
    const struct {
        const char *what;
        Domain domain;
        const char *line; // the geometry line's start
        Domain want;      // what reads back
    } cases[] = {
        {"size form",
         [] {
             Domain d;
             DOM_init(&d);
             return d;
         }(),
         "6 4\n",
         [] {
             Domain d;
             DOM_init(&d);
             d.nx = 6;
             d.ny = 4;
             return d;
         }()},
        {"LL", dom(2, M, M, M, M, M), "LL 40.500000 -97.250000 0.750000 0.500000 6 4\n",
         dom(2, M, M, M, M, M)},
        {"ME", dom(3, M, M, M, M, M), "ME ", dom(3, M, M, M, M, M)},
        {"PS with plon", dom(1, 90, -105, M, M, M), "PS:-105.000000 ", dom(1, M, -105, M, M, M)},
        {"PS at plon = clon", dom(1, 90, -97.25f, M, M, M), "PS 40", dom(1, M, M, M, M, M)},
        {"LC", dom(4, M, M, M, M, M), "LC 40", dom(4, M, M, M, M, M)},
        {"LC short", dom(4, M, -95, M, M, M), "LC:-95.000000 ", dom(4, M, -95, M, M, M)},
        {"LC full", dom(4, 25, -95, 25, 45, 1), "LC:25.000000:-95.000000:25.000000:45.000000:1.000000 ",
         dom(4, 25, -95, 25, 45, 1)},
        {"SAT", dom(9, 0, -75, M, M, M), "SAT:0.000000:-75.000000 40", dom(9, 0, -75, M, M, M)},
        {"SAT with distance", dom(9, 0, -75, 6.6f, M, M), "SAT:0.000000:-75.000000:6.600000 ",
         dom(9, 0, -75, 6.6f, M, M)},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("h.img");
        Image image;
        ramp(&image, 6, 4);
        image.domain = c.domain;
        copy_text(image.datim, "12Z 5 MAY 2026");
        ASSERT_EQ(IMG_write(file.c_str(), &image, 0), 1);
        const std::string bytes = read_file(file);
        const std::string head = "ZEQIMG\n12Z 5 MAY 2026\n\n";
        ASSERT_EQ(bytes.compare(0, head.size(), head), 0) << bytes.substr(0, 80);
        EXPECT_EQ(bytes.compare(head.size(), std::strlen(c.line), c.line), 0)
            << bytes.substr(head.size(), 80);
        Image back;
        ASSERT_EQ(IMG_read_zeq(file.c_str(), &back, 0), 1);
        const Domain &g = back.domain, &w = c.want;
        EXPECT_EQ(g.proj, w.proj);
        EXPECT_EQ(g.plat, w.plat);
        EXPECT_EQ(g.plon, w.plon);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(g.param[i], w.param[i]) << i;
        EXPECT_EQ(g.clat, w.clat);
        EXPECT_EQ(g.clon, w.clon);
        EXPECT_EQ(g.dx, w.dx);
        EXPECT_EQ(g.dy, w.dy);
        EXPECT_EQ(g.nx, 6);
        EXPECT_EQ(g.ny, 4);
        EXPECT_EQ(back.width, 6);
        EXPECT_EQ(back.height, 4);
        EXPECT_EQ(std::memcmp(back.data, image.data, 24), 0);
    }
}

// The forms only other producers write: a domain string (flag "4"), skipped
// blocks ("V", "C"), the pixels in a separate file ("*"), the short Lambert
// form, which sets plon alone.
TEST(NativeFile, OtherProducersForms) {
    TempDir dir;
    const std::string px = "ABCDEFGHIJKL"; // 4 x 3
    const std::string pixfile = dir.file("pixels.raw");
    write_file(pixfile, px);
    Domain want4;
    ASSERT_EQ(DOM_decode("ll,40,-100,4,3,1,1", &want4), 1);
    const struct {
        const char *what;
        std::string bytes;
        int nx, ny;
        int proj;
        float plat, plon;
    } cases[] = {
        {"domain string", native("ZEQIMG4", "ll,40,-100,4,3,1,1", px), want4.nx, want4.ny, 2, M, M},
        {"V block", native("ZEQIMGV", "4 3", std::string(1024, '\x7f') + px), 4, 3, MISSING, M, M},
        {"C block", native("ZEQIMGC", "4 3", std::string("\x01\x02\x00\x03", 4) + "abcdef" + px), 4, 3,
         MISSING, M, M},
        {"V and C",
         native("ZEQIMGVC", "4 3", std::string(1024, 'v') + std::string("\0\0\0\x01", 4) + "cc" + px), 4, 3,
         MISSING, M, M},
        {"separate pixels", native("ZEQIMG*", "4 3", "  " + pixfile + "\n"), 4, 3, MISSING, M, M},
        {"LC short", native("ZEQIMG", "LC:-95 40 -95 1 1 4 3", px), 4, 3, 4, M, -95},
        {"flags ignored", native("ZEQIMGxy", "4 3", px), 4, 3, MISSING, M, M},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("in.img");
        write_file(file, c.bytes);
        Image back;
        ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
        EXPECT_EQ(back.width, c.nx);
        EXPECT_EQ(back.height, c.ny);
        EXPECT_EQ(back.domain.proj, c.proj);
        EXPECT_EQ(back.domain.plat, c.plat);
        EXPECT_EQ(back.domain.plon, c.plon);
        EXPECT_STREQ(back.info, "Info line");
        if (c.nx == 4 && c.ny == 3) {
            EXPECT_EQ(std::string(reinterpret_cast<char *>(back.data), 12), px);
        }
    }
}

// A clock whose sleeps are counted, not slept.
int sleeps = 0;
int count_sleep(float) {
    ++sleeps;
    return 0;
}
int no_init() {
    return 0;
}
float no_elapse() {
    return 0;
}
double no_now() {
    return 0;
}

// Damaged native files fail with a warning naming the file and leave no
// buffers; a short compressed file is waited for 10 times first.
TEST(NativeFile, DamagedFilesFail) {
    TempDir dir;
    Image image;
    ramp(&image, 100, 100);
    const std::string zfile = dir.file("z.img");
    ASSERT_EQ(IMG_write(zfile.c_str(), &image, 1), 1);
    const std::string z = read_file(zfile);
    const std::size_t data_at = z.find("100 100\n") + 8;
    std::string damaged = z;
    damaged[data_at + 40] = static_cast<char>(~damaged[data_at + 40]);
    damaged[data_at + 41] = static_cast<char>(~damaged[data_at + 41]);
    const std::string px(12, 'p');
    const struct {
        const char *what;
        std::string bytes;
        int rc; // of IMG_read_zeq
        const char *message;
        int sleeps;
        std::string named = ""; // the file the warning names: the image file when empty
    } cases[] = {
        {"raw short", native("ZEQIMG", "4 3", px.substr(0, 11)), 0, "File shorter than its header says", 0},
        {"compressed short", z.substr(0, z.size() - 30), 0, "Compressed pixels end short", 10},
        {"zlib error", damaged, 0, "Compressed pixels damaged", 0},
        {"preset dictionary asked for", native("ZEQIMGZ", "4 3", std::string("\x78\xbb\0\0\0\1\x63\x60", 8)),
         0, "Compressed pixels damaged", 0},
        {"negative C count", native("ZEQIMGC", "4 3", std::string("\0\0\0\xfe", 4) + px), 0,
         "Negative block size", 0},
        {"no size", native("ZEQIMG", "XX 1 2 3 4 -5 3", px), 0, "out of range", 0},
        {"huge", native("ZEQIMG", "100000 100000", px), 0, "out of range", 0},
        {"magic", "ZEQIMX\n", -1, "Invalid image type", 0},
        {"pipe as pixel file", native("ZEQIMG*", "4 3", "|cat\n"), -1, "Pixel file refused", 0},
        {"missing pixel file", native("ZEQIMG*", "4 3", dir.file("none.raw") + "\n"), -1, "Unable to open", 0,
         dir.file("none.raw")},
    };
    const gks_clock::Clock fake{count_sleep, no_init, no_elapse, no_now};
    gks_clock::set(&fake);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("bad.img");
        write_file(file, c.bytes);
        sleeps = 0;
        Image back;
        testing::internal::CaptureStderr();
        EXPECT_EQ(IMG_read_zeq(file.c_str(), &back, 0), c.rc);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find(c.named.empty() ? file : c.named), std::string::npos) << err;
        EXPECT_EQ(back.data, nullptr);
        EXPECT_EQ(sleeps, c.sleeps);
        // The sniffing reader gives 0 for all of them.
        testing::internal::CaptureStderr();
        EXPECT_EQ(IMG_read(file.c_str(), &back, 0), 0);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(back.data, nullptr);
    }
    gks_clock::set(nullptr);
}

// Writes that fail answer 0 with a warning naming the file; a domain the
// reader could not read back is written in the size form with a warning;
// rows are exactly the width, whatever the record's row padding.
TEST(NativeFile, WriterWritesWhatItReads) {
    TempDir dir;
    Image image;
    imgtest::fill_8bit(&image, 3, 2, {1, 2, 3, 4, 5, 6}, {}, 8);
    testing::internal::CaptureStderr();
    EXPECT_EQ(IMG_write("/dev/full", &image, 0), 0);
    EXPECT_EQ(IMG_write("/dev/null/x.img", &image, 1), 0);
    image.domain.proj = 5;
    image.domain.nx = 3;
    image.domain.ny = 2;
    const std::string file = dir.file("p.img");
    EXPECT_EQ(IMG_write(file.c_str(), &image, 0), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("IMG_write: Unable to write: /dev/full"), std::string::npos) << err;
    EXPECT_NE(err.find("IMG_write: Unable to open: /dev/null/x.img"), std::string::npos) << err;
    EXPECT_NE(err.find("not written for a 3x2 image: " + file), std::string::npos) << err;
    EXPECT_EQ(read_file(file), "ZEQIMG\n\n\n3 2\n\x01\x02\x03\x04\x05\x06");
}

// A true-colour or palette record is written one byte a pixel, raw even when
// compression is asked for: the mean of a 32-bit pixel's colour bytes, the
// low byte of a 16-bit one, the indices of a 4-bit one.
TEST(NativeFile, DeeperPixelsBecomeBytes) {
    TempDir dir;
    const std::string file = dir.file("t.img");
    Image image;
    image.width = 2;
    image.height = 1;
    image.depth = 24;
    image.bits_pixel = 32;
    image.bytes_line = 8;
    image.byte_order = 0;
    ASSERT_TRUE(IMG_alloc_data(&image));
    const unsigned char px32[8] = {30, 60, 90, 0, 255, 255, 255, 0};
    std::memcpy(image.data, px32, 8);
    ASSERT_EQ(IMG_write(file.c_str(), &image, 1), 1);
    EXPECT_EQ(read_file(file), std::string("ZEQIMG\n\n\n2 1\n\x3c\xff", 15));

    Image nib;
    nib.width = 3;
    nib.height = 1;
    nib.depth = 4;
    nib.bits_pixel = 4;
    nib.bytes_line = 2;
    ASSERT_TRUE(IMG_alloc_data(&nib));
    nib.data[0] = 0x5A;
    nib.data[1] = 0xC0;
    ASSERT_EQ(IMG_write(file.c_str(), &nib, 0), 1);
    EXPECT_EQ(read_file(file), std::string("ZEQIMG\n\n\n3 1\n\x05\x0a\x0c", 16));
}

// A copy owns its buffers: both records are released without a double free
// (the sanitizer watches), and changes to one leave the other alone.
TEST(ImageRecord, CopyOwnsItsBuffers) {
    Image a;
    imgtest::fill_8bit(&a, 5, 2, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                       8);
    {
        Image b;
        ASSERT_EQ(IMG_copy(&b, &a), 0);
        ASSERT_NE(b.data, a.data);
        ASSERT_NE(b.colors, a.colors);
        EXPECT_EQ(b.num_colors, 4);
        EXPECT_EQ(std::memcmp(b.data, a.data, 16), 0);
        b.colors[1].r = 0.5f;
        b.data[0] = 9;
    }
    EXPECT_EQ(a.colors[1].r, 1.0f);
    EXPECT_EQ(a.data[0], 0);
    Image fresh;
    EXPECT_EQ(IMG_free(&fresh), 0);
    EXPECT_EQ(fresh.num_colors, 0);
}

// The sniffing: "ZEQ" that is no native magic, and a native file behind a
// "** " line, fail; an unopenable name warns.
TEST(ImageRead, Sniffing) {
    TempDir dir;
    const struct {
        const char *what;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"ZEQ but not ZEQIMG", "ZEQRAW\n1 1\nx", "IMG_read_zeq: Invalid image type"},
        {"native behind a line", "** note\n" + native("ZEQIMG", "1 1", "x"),
         "IMG_read_zeq: Invalid image type"},
        {"nothing known", "hello world", "XWD_read"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("s.img");
        write_file(file, c.bytes);
        Image back;
        testing::internal::CaptureStderr();
        EXPECT_EQ(IMG_read(file.c_str(), &back, 0), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(back.data, nullptr);
    }
    Image back;
    testing::internal::CaptureStderr();
    EXPECT_EQ(IMG_read(dir.file("none.img").c_str(), &back, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "IMG_read: Unable to open image file: " + dir.file("none.img") + "\n");
}

// The window dump of a Lambert plot: the map domain rescaled to one point a
// pixel, the labels in the info and date lines, the true-colour pixels as
// the mean of their colour bytes.
TEST(NativeDump, LambertDomainOnePointAPixel) {
    if (!xtest::need_display()) return;
    TempDir dir;
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(0)));
    imgtest::draw_test_picture();
    Domain d;
    ASSERT_EQ(DOM_decode("lc:e:25:-95:25:45,40,-95,2,2", &d), 1);
    MAP_domain(&d);
    IMG_set_plot_labels(
        [] { return 0.04f; },
        [](int lab, int) {
            return lab == 0 ? "Upper left" : lab == 5 ? "Lower right" : lab == 2 ? "12Z 5 MAY 2026" : "x";
        });
    const std::string file = dir.file("dump.img");
    ASSERT_EQ(IMG_dump(file.c_str()), 1);
    Image cap;
    ASSERT_EQ(gget_image(&cap), 1);
    Image back;
    ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
    EXPECT_STREQ(back.info, "Upper left [Lower right]");
    EXPECT_STREQ(back.datim, "12Z 5 MAY 2026");
    EXPECT_EQ(back.domain.proj, 4);
    EXPECT_EQ(back.domain.nx, cap.width);
    EXPECT_EQ(back.domain.ny, cap.height);
    EXPECT_NEAR(back.domain.dx, (d.nx - 1) * d.dx / (cap.width - 1), 1e-5);
    EXPECT_NEAR(back.domain.dy, (d.ny - 1) * d.dy / (cap.height - 1), 1e-5);
    EXPECT_EQ(back.domain.plat, d.plat);
    EXPECT_EQ(back.domain.param[1], d.param[1]);
    // Red band at (40, 60): mean 85; white diagonal at (200, 200): 255.
    EXPECT_EQ(back.data[60 * back.bytes_line + 40], 85);
    EXPECT_EQ(back.data[200 * back.bytes_line + 200], 255);
    // A wide margin keeps no domain.
    IMG_set_plot_labels([] { return 0.8f; }, nullptr);
    ASSERT_EQ(IMG_dump(file.c_str()), 1);
    Image plain;
    ASSERT_EQ(IMG_read(file.c_str(), &plain, 0), 1);
    EXPECT_EQ(plain.domain.proj, MISSING);
    EXPECT_STREQ(plain.info, " []");
    IMG_set_plot_labels(nullptr, nullptr);
    gclose_ws(1);
}

} // namespace
