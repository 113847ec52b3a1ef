// PNG files: window dumps on the 24- and 8-bit screens accepted by
// pngcheck with their palette and text chunks and equal to xwd's capture
// for ImageMagick; more than 256 colours; PNGs of every colour type, 16-bit
// and interlaced, made by PIL, read to PIL's pixels; damaged files refused
// naming the file.
#include "graphics/png.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_img.h"
#include "graphics/gks_x11.h"
#include "graphics/images.h"
#include "graphics/img_tool.h"
#include "graphics/xwin.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using imgtest::Image;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

// The test picture dumped on screen n: pngcheck accepts it with a 256-entry
// palette and the three text chunks, the time in UTC; ImageMagick finds no
// pixel differing from xwd's capture.
void check_dump(int n) {
    if (!xtest::need_tools() || !xtest::need_tool("/usr/bin/pngcheck", "pngcheck") ||
        !xtest::need_tool("/usr/bin/compare", "imagemagick"))
        return;
    TempDir dir;
    gset_win_title("Surface plot");
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(n)));
    imgtest::draw_test_picture();
    const std::string png = dir.file("dump.png"), xwd = dir.file("window.xwd");
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(PNG_dump(png.c_str()), 1);
    ASSERT_FALSE(xtest::grab_window(xwd).rgb.empty());
    const std::string check = zeqtest::run_command("/usr/bin/pngcheck -vt '" + png + "'");
    EXPECT_NE(check.find("chunk PLTE at offset"), std::string::npos) << check;
    EXPECT_NE(check.find("256 palette entries"), std::string::npos) << check;
    EXPECT_NE(check.find("keyword: Title\n    Surface plot\n"), std::string::npos) << check;
    EXPECT_NE(check.find("keyword: Software\n    ZEQ - Skyloom v5.0\n"), std::string::npos) << check;
    char when[40];
    std::tm tm{};
    gmtime_r(&before, &tm);
    std::strftime(when, sizeof when, "%d %b %Y %H:", &tm);
    EXPECT_NE(check.find("keyword: Creation Time\n    " + std::string(when)), std::string::npos) << check;
    EXPECT_NE(check.find("No errors detected"), std::string::npos) << check;
    const std::string ae = zeqtest::run_command("/usr/bin/compare -metric AE 'xwd:" + xwd + "' '" + png +
                                                "' null: 2>&1 || true");
    EXPECT_EQ(ae, "0");
    gclose_ws(1);
}

TEST(PngDump, TrueColourScreen) {
    check_dump(0);
}
TEST(PngDump, PseudoColourScreen) {
    check_dump(1);
}

// A true-colour image of 300 colours: the 257th and later are written with
// index 0; the file's pixels for PIL and for our reader.
TEST(PngWrite, MoreThan256Colours) {
    TempDir dir;
    const std::string file = dir.file("many.png");
    Image image;
    image.width = 300;
    image.height = 2;
    image.depth = 24;
    image.bits_pixel = 24;
    image.bytes_line = 900;
    image.color_type = 0;
    image.red = 0xFF0000;
    image.grn = 0xFF00;
    image.blu = 0xFF;
    ASSERT_TRUE(IMG_alloc_data(&image));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 300; ++x) {
            unsigned char *p = image.data + y * 900 + 3 * x;
            p[0] = static_cast<unsigned char>(x >> 8);
            p[1] = static_cast<unsigned char>(x & 0xFF);
            p[2] = static_cast<unsigned char>(y);
        }
    ASSERT_EQ(PNG_write(file.c_str(), &image), 1);
    Image want;
    IMG_copy(&want, &image);
    // Pixels in order of first appearance: row 0 gives 256 colours, then
    // everything new is the first pixel's colour.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 300; ++x)
            if (y == 1 || x >= 256) std::memset(want.data + y * 900 + 3 * x, 0, 3);
    EXPECT_EQ(imgtest::pil_pixel_text(file), imgtest::pixel_text(want));
    Image back;
    ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
    EXPECT_EQ(back.num_colors, 256);
    EXPECT_EQ(imgtest::pixel_text(back), imgtest::pixel_text(want));
}

// PNGs of every colour type and depth, interlaced or not, made by PIL (and
// pypng-free raw writes through PIL's own encoder): each reads to PIL's
// pixels with the depths and row bytes decided for it.
TEST(PngRead, EveryColourType) {
    TempDir dir;
    const std::string made = zeqtest::run_python(R"(
import sys
from PIL import Image
d = sys.stdin.readline().strip()
w, h = 37, 23
def data(f):
    return [f(x, y) for y in range(h) for x in range(w)]
rgb = Image.new('RGB', (w, h)); rgb.putdata(data(lambda x, y: (x * 7 % 256, y * 11 % 256, (x * y) % 256)))
rgb.save(d + '/rgb.png'); rgb.save(d + '/rgb_i.png', interlace=1)
rgba = Image.new('RGBA', (w, h)); rgba.putdata(data(lambda x, y: (x * 5 % 256, y * 9 % 256, x + y, (x * 3) % 256)))
rgba.save(d + '/rgba.png')
grey = Image.new('L', (w, h)); grey.putdata(data(lambda x, y: (x * 13 + y) % 256)); grey.save(d + '/grey.png')
la = Image.new('LA', (w, h)); la.putdata(data(lambda x, y: ((x * 3 + y) % 256, y * 10 % 256))); la.save(d + '/la.png')
one = Image.new('1', (w, h)); one.putdata(data(lambda x, y: 255 if (x + y) % 3 else 0)); one.save(d + '/bits1.png')
pal = rgb.quantize(200); pal.save(d + '/pal8.png')
pal4 = rgb.quantize(16); pal4.save(d + '/pal4.png', bits=4)
g16 = Image.new('I;16', (w, h)); g16.putdata(data(lambda x, y: x * 1700 + y * 3)); g16.save(d + '/grey16.png')
print('ok')
)",
                                                 dir.path() + "\n", "python3-pil");
    ASSERT_EQ(made, "ok\n");
    const struct {
        const char *name;
        int depth, bits_pixel, bytes_line, color_type;
    } cases[] = {
        {"rgb.png", 24, 24, 37 * 3, 0}, {"rgb_i.png", 24, 24, 37 * 3, 0}, {"rgba.png", 24, 32, 37 * 4, 0},
        {"grey.png", 8, 8, 37, 1},      {"la.png", 8, 8, 37, 1},          {"bits1.png", 8, 8, 37, 1},
        {"pal8.png", 8, 8, 37, 1},      {"pal4.png", 8, 8, 37, 1},        {"grey16.png", 16, 16, 74, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(c.name);
        Image back;
        ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
        EXPECT_STREQ(back.info, "PNG");
        EXPECT_EQ(back.depth, c.depth);
        EXPECT_EQ(back.bits_pixel, c.bits_pixel);
        EXPECT_EQ(back.bytes_line, c.bytes_line);
        EXPECT_EQ(back.color_type, c.color_type);
        if (c.depth != 16) {
            EXPECT_EQ(imgtest::pixel_text(back), imgtest::pil_pixel_text(file));
        } else {
            // 16-bit grey: the high bytes are PIL's levels.
            Image high;
            imgtest::fill_8bit(&high, back.width, back.height, std::vector<unsigned char>(37 * 23));
            for (int i = 0; i < 37 * 23; ++i)
                high.data[i] = back.data[2 * i];
            EXPECT_EQ(imgtest::pixel_text(high), imgtest::pil_pixel_text(file));
        }
        Image head;
        ASSERT_EQ(IMG_read(file.c_str(), &head, 1), 1);
        EXPECT_EQ(head.width, 37);
        EXPECT_EQ(head.data, nullptr);
    }
}

// Damaged files and failed writes answer 0 with a warning naming the file.
TEST(PngFiles, FailuresNameTheFile) {
    TempDir dir;
    Image image;
    imgtest::fill_8bit(&image, 20, 20, std::vector<unsigned char>(400, 7));
    const std::string good = dir.file("good.png");
    ASSERT_EQ(PNG_write(good.c_str(), &image), 1);
    const std::string g = read_file(good);
    std::string crc = g;
    crc[40] = static_cast<char>(~crc[40]);
    const struct {
        const char *what;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"cut", g.substr(0, g.size() - 30), "Damaged PNG file"},
        {"bad crc", crc, "Damaged PNG file"},
        {"not a PNG", "\x89PNX" + g.substr(4), "Not a PNG file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("bad.png");
        write_file(file, c.bytes);
        Image back;
        testing::internal::CaptureStderr();
        EXPECT_EQ(PNG_read(file.c_str(), &back, 0), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("PNG_read: " + std::string(c.message) + ": " + file), std::string::npos) << err;
        EXPECT_EQ(back.data, nullptr);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(PNG_write("/dev/full", &image), 0);
    EXPECT_EQ(PNG_write("/dev/null/x.png", &image), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("PNG_write: Unable to write: /dev/full"), std::string::npos) << err;
    EXPECT_NE(err.find("PNG_write: Unable to open: /dev/null/x.png"), std::string::npos) << err;
    EXPECT_EQ(PNG_dump("/tmp/never.png"), 0);
}

} // namespace
