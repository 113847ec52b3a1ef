// GIF files: the encoder's choices as a table of pictures decoded by PIL;
// its code stream walked by an independent decoder in Python (clear code
// after a full table, sub-block sizes); window dumps on the 24- and 8-bit
// screens checked by giftext and ImageMagick, interlaced and with the
// transparency extension; files of ImageMagick and PIL read to PIL's
// pixels; damaged streams refused naming the file; a full table without a
// clear code read.
#include "graphics/gif.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_img.h"
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

// The stream's structure by an independent walk in Python: the logical
// screen's packed byte, the global table's entries, the code size, the
// sub-block sizes, and each clear code with the code before it and the code
// size it was read at; the decoded indices' count.
std::string walk(const std::string &file) {
    return zeqtest::run_python(R"(
import sys
b = open(sys.stdin.readline().strip(), 'rb').read()
assert b[:6] == b'GIF89a'
packed = b[10]
n = 2 << (packed & 7)
pos = 13 + 3 * n
table = [tuple(b[13 + 3 * i: 16 + 3 * i]) for i in range(n)]
ext = None
if b[pos] == 0x21:
    ext = list(b[pos:pos + 8]); pos += 8
assert b[pos] == 0x2c
w = b[pos + 5] | b[pos + 6] << 8; h = b[pos + 7] | b[pos + 8] << 8
inter = b[pos + 9] & 0x40
mcs = b[pos + 10]; pos += 11
sizes, data = [], bytearray()
while b[pos]:
    sizes.append(b[pos]); data += b[pos + 1:pos + 1 + b[pos]]; pos += 1 + b[pos]
assert b[pos + 1] == 0x3b and len(b) == pos + 2
clear, end = 1 << mcs, (1 << mcs) + 1
size, nxt, prev, acc, bits, i, count, clears = mcs + 1, end + 1, None, 0, 0, 0, 0, []
last = None
lens = {k: 1 for k in range(clear)}
while True:
    while bits < size:
        acc |= data[i] << bits; i += 1; bits += 8
    code = acc & ((1 << size) - 1); acc >>= size; bits -= size
    if code == clear:
        clears.append((last, size)); size, nxt, prev = mcs + 1, end + 1, None; last = code; continue
    if code == end: break
    if prev is None:
        count += lens[code]; prev = code; last = code; continue
    l = lens[code] if code < nxt else lens[prev] + 1
    count += l
    if nxt < 4096:
        lens[nxt] = lens[prev] + 1
        if nxt == (1 << size) - 1 and size < 12: size += 1
        nxt += 1
    prev = code; last = code
print('packed %02x colours %d code %d' % (packed, n, mcs))
print('table', *table[:4])
print('ext', ext)
print('size', w, h, 'inter', 1 if inter else 0)
print('blocks', len(sizes), all(s == 254 for s in sizes[:-1]), sizes[-1] <= 254)
print('clears', *clears)
print('pixels', count)
)",
                               file + "\n", "python3");
}

// ---- The encoder ----------------------------------------------------------------

// Pictures chosen for the encoder's cases: each written and decoded by PIL
// to the colours written, and its stream's structure as the Python walk
// reads it.
TEST(GifWrite, EncoderCases) {
    TempDir dir;
    struct Case {
        const char *what;
        std::function<void(IMG_report *)> make;
        std::vector<std::string> lines; // expected lines of the walk
    };
    // A true-colour image of w x h with pixel value f(x, y).
    const auto truecolour = [](IMG_report *im, int w, int h,
                               const std::function<unsigned long(int, int)> &f) {
        IMG_free(im);
        IMG_init(im);
        im->width = w;
        im->height = h;
        im->depth = 24;
        im->bits_pixel = 32;
        im->bytes_line = 4 * w;
        im->byte_order = 1;
        im->color_type = 0;
        im->red = 0xFF0000;
        im->grn = 0xFF00;
        im->blu = 0xFF;
        IMG_alloc_data(im);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char *p = im->data + static_cast<std::size_t>(y * im->bytes_line + 4 * x);
                const unsigned long v = f(x, y);
                p[1] = static_cast<unsigned char>(v >> 16);
                p[2] = static_cast<unsigned char>(v >> 8);
                p[3] = static_cast<unsigned char>(v);
            }
    };
    const std::vector<Case> cases = {
        {"one colour",
         [&](IMG_report *im) { truecolour(im, 7, 5, [](int, int) { return 0x336699UL; }); },
         {"packed 80 colours 2 code 2", "table (51, 102, 153) (0, 0, 0)", "clears (None, 3)", "pixels 35"}},
        {"more than 256 colours",
         [&](IMG_report *im) {
             truecolour(im, 300, 2, [](int x, int y) { return static_cast<unsigned long>(x * 256 + y + 1); });
         },
         {"packed f7 colours 256 code 8", "pixels 600"}},
        {"a table filled",
         [&](IMG_report *im) {
             // Pseudo-random bytes make nearly every pair new.
             unsigned long r = 12345;
             truecolour(im, 200, 100, [&r](int, int) {
                 r = r * 1103515245 + 12345;
                 return ((r >> 16) & 0xFF) * 0x010101UL; // 256 greys
             });
         },
         {"packed f7 colours 256 code 8", "pixels 20000"}},
        {"a palette image of 4 bits",
         [](IMG_report *im) {
             imgtest::fill_8bit(im, 6, 3, {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 0, 0, 9, 9, 0, 0},
                                {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}});
         },
         {"packed a2 colours 8 code 3", "table (0, 0, 0) (255, 0, 0) (0, 255, 0) (0, 0, 255)", "pixels 18"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("enc.gif");
        Image image;
        c.make(&image);
        ASSERT_EQ(GIF_write(file.c_str(), &image), 1);
        const std::string w = walk(file);
        for (const std::string &line : c.lines)
            EXPECT_NE(w.find(line + "\n"), std::string::npos) << line << "\n" << w;
        EXPECT_NE(w.find("blocks "), std::string::npos);
        EXPECT_EQ(w.find(" False"), std::string::npos) << "sub-blocks of 254 bytes but the last\n" << w;
        // PIL decodes the colours written: beyond 256 colours index 0, beyond
        // the palette black.
        Image expect;
        IMG_copy(&expect, &image);
        if (std::string(c.what) == "more than 256 colours")
            for (int y = 0; y < 2; ++y)
                for (int x = y == 0 ? 256 : 0; x < 300; ++x) {
                    unsigned char *p = expect.data + static_cast<std::size_t>(y * expect.bytes_line + 4 * x);
                    p[1] = 0, p[2] = 0, p[3] = static_cast<unsigned char>(1); // the first pixel's colour
                }
        std::string want = imgtest::pixel_text(expect);
        if (std::string(c.what) == "a palette image of 4 bits") {
            // Indices 9 lie beyond the palette: black.
            want = imgtest::pixel_text(expect);
            for (std::size_t p = want.find("-1 -1 -1"); p != std::string::npos; p = want.find("-1 -1 -1"))
                want.replace(p, 8, "0 0 0");
        }
        EXPECT_EQ(imgtest::pil_pixel_text(file), want);
    }
}

// The table filled: the walk finds clear codes after the first one, each
// read at 12 bits and coming after the string that no longer found room.
TEST(GifWrite, FullTableClearsAtTwelveBits) {
    TempDir dir;
    const std::string file = dir.file("full.gif");
    Image image;
    std::vector<unsigned char> px(256 * 64);
    unsigned long r = 99;
    for (auto &p : px) {
        r = r * 1103515245 + 12345;
        p = static_cast<unsigned char>((r >> 16) & 0xFF);
    }
    std::vector<IMG_color> pal(256);
    for (int i = 0; i < 256; ++i)
        pal[static_cast<std::size_t>(i)] = {i / 255.0f, 0, 1 - i / 255.0f};
    imgtest::fill_8bit(&image, 256, 64, px, pal);
    ASSERT_EQ(GIF_write(file.c_str(), &image), 1);
    const std::string w = walk(file);
    const std::size_t at = w.find("clears (None, 9)");
    ASSERT_NE(at, std::string::npos) << w;
    EXPECT_NE(w.find(", 12)", at), std::string::npos) << "a clear code at 12 bits\n" << w;
    EXPECT_NE(w.find("pixels 16384"), std::string::npos) << w;
    EXPECT_EQ(imgtest::pil_pixel_text(file), imgtest::pixel_text(image));
    Image back;
    ASSERT_EQ(GIF_read(file.c_str(), &back, 0), 1);
    EXPECT_EQ(imgtest::pixel_text(back), imgtest::pixel_text(image));
}

// Interlaced and transparent writes: the descriptor's flag, the extension's
// index; without a background pixel the transparency flag is clear.
TEST(GifWrite, InterlaceAndTransparency) {
    TempDir dir;
    const std::string file = dir.file("it.gif");
    Image image;
    std::vector<unsigned char> px(10 * 13);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<unsigned char>(i % 3);
    imgtest::fill_8bit(&image, 10, 13, px, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    GIF_interlace(1);
    GIF_transparent(1);
    ASSERT_EQ(GIF_write(file.c_str(), &image), 1);
    GIF_interlace(0);
    GIF_transparent(0);
    const std::string w = walk(file);
    EXPECT_NE(w.find("ext [33, 249, 4, 0, 10, 0, 0, 0]"), std::string::npos) << w;
    EXPECT_NE(w.find("size 10 13 inter 1"), std::string::npos) << w;
    EXPECT_EQ(imgtest::pil_pixel_text(file), imgtest::pixel_text(image));
    Image back;
    ASSERT_EQ(GIF_read(file.c_str(), &back, 0), 1);
    EXPECT_EQ(imgtest::pixel_text(back), imgtest::pixel_text(image));
}

// Writes that fail answer 0 with a warning naming the file.
TEST(GifWrite, FailuresNameTheFile) {
    Image image;
    imgtest::fill_8bit(&image, 2, 2, {1, 2, 3, 4});
    testing::internal::CaptureStderr();
    EXPECT_EQ(GIF_write("/dev/full", &image), 0);
    EXPECT_EQ(GIF_write("/dev/null/x.gif", &image), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("GIF_write: Unable to write: /dev/full"), std::string::npos) << err;
    EXPECT_NE(err.find("GIF_write: Unable to open: /dev/null/x.gif"), std::string::npos) << err;
    EXPECT_EQ(GIF_dump("/tmp/never.gif"), 0); // no window
}

// ---- Window dumps --------------------------------------------------------------

// The test picture dumped on screen n, plain, interlaced and with the
// transparency extension: giftext lists the descriptors and the table,
// ImageMagick finds no pixel differing from xwd's capture, and the
// extension's index is the palette entry of the first background pixel.
void check_dump(int n) {
    if (!xtest::need_tools() || !xtest::need_tool("/usr/bin/giftext", "giflib-tools") ||
        !xtest::need_tool("/usr/bin/compare", "imagemagick"))
        return;
    TempDir dir;
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(n)));
    imgtest::draw_test_picture();
    const std::string plain = dir.file("plain.gif"), inter = dir.file("inter.gif"),
                      tr = dir.file("trans.gif");
    ASSERT_EQ(GIF_dump(plain.c_str()), 1);
    GIF_interlace(1);
    ASSERT_EQ(GIF_dump(inter.c_str()), 1);
    const std::string xwd = dir.file("window.xwd"), saved = dir.file("saved.img");
    ASSERT_FALSE(xtest::grab_window(xwd).rgb.empty());
    GIF_interlace(0);
    // A corner in the window's background, for the transparency extension.
    XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(gget_color_ind(-1)));
    XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), 600, 500, 40, 12);
    GIF_transparent(1);
    ASSERT_EQ(GIF_dump(tr.c_str()), 1);
    GIF_transparent(0);
    // The initial save type is GIF.
    ASSERT_EQ(gsave_image_file(saved.c_str()), 1);
    EXPECT_EQ(read_file(saved).substr(0, 6), "GIF89a");

    const std::string text = zeqtest::run_command("/usr/bin/giftext '" + inter + "'");
    EXPECT_NE(text.find("Screen Size - Width = 640, Height = 512"), std::string::npos) << text;
    EXPECT_NE(text.find("Global Color Map"), std::string::npos) << text;
    EXPECT_NE(text.find("Image Size - Left = 0, Top = 0, Width = 640, Height = 512"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Image is Interlaced"), std::string::npos) << text;
    for (const std::string &f : {plain, inter}) {
        const std::string ae = zeqtest::run_command("/usr/bin/compare -metric AE 'xwd:" + xwd + "' '" + f +
                                                    "' null: 2>&1 || true");
        EXPECT_EQ(ae, "0") << f;
    }
    // The background is the window's background pixel: the first one is at
    // the bottom right of the picture (every band is drawn over it).
    Image cap, back;
    ASSERT_EQ(gget_image(&cap), 1);
    ASSERT_EQ(GIF_read(tr.c_str(), &back, 0), 1);
    const unsigned long bg = static_cast<unsigned long>(gget_color_ind(-1));
    int first = -1;
    for (int y = 0; y < cap.height && first < 0; ++y)
        for (int x = 0; x < cap.width && first < 0; ++x)
            if ((IMG_get_pixel(&cap, x, y) & 0xFFFFFF) == (bg & 0xFFFFFF))
                first = back.data[y * back.bytes_line + x];
    ASSERT_GE(first, 0);
    const std::string w = walk(tr);
    EXPECT_NE(w.find("ext [33, 249, 4, 1, 10, 0, " + std::to_string(first) + ", 0]"), std::string::npos) << w;
    gclose_ws(1);
}

TEST(GifDump, TrueColourScreen) {
    check_dump(0);
}
TEST(GifDump, PseudoColourScreen) {
    check_dump(1);
}

// ---- The reader --------------------------------------------------------------

// GIFs of ImageMagick and PIL: interlaced, with comment, application and
// control extensions, several images (the first is read), a local table
// only, and behind a "** " line; each reads to PIL's pixels of its first
// image.
TEST(GifRead, OtherProgramsFiles) {
    TempDir dir;
    const std::string made = zeqtest::run_python(R"(
import sys
from PIL import Image
d = sys.stdin.readline().strip()
def pic(w, h, k):
    im = Image.new('RGB', (w, h))
    im.putdata([((x * 37 + y * k) % 256, (x * y) % 256, (y * 11 + k) % 256) for y in range(h) for x in range(w)])
    return im
p = pic(67, 41, 5).quantize(200)
p.save(d + '/pil_inter.gif', interlace=True, comment=b'a comment')
p.save(d + '/pil_plain.gif', interlace=False)
frames = [pic(30, 20, k).quantize(50) for k in (1, 2, 3)]
frames[0].save(d + '/pil_anim.gif', save_all=True, append_images=frames[1:], loop=0, duration=100,
               transparency=3)
q = pic(300, 257, 9).quantize(256)
q.save(d + '/pil_big.gif')
print('ok')
)",
                                                 dir.path() + "\n", "python3-pil");
    ASSERT_EQ(made, "ok\n");
    zeqtest::run_command(
        "/usr/bin/convert -size 53x29 gradient:red-blue -interlace GIF -set comment 'magick' '" +
        dir.file("im_inter.gif") + "'");
    zeqtest::run_command("/usr/bin/convert -size 19x23 plasma:fractal -seed 3 +dither -colors 16 '" +
                         dir.file("im_small.gif") + "'");
    write_file(dir.file("behind.gif"), "** a note before the image\n" + read_file(dir.file("pil_plain.gif")));
    for (const char *name : {"pil_inter.gif", "pil_plain.gif", "pil_anim.gif", "pil_big.gif", "im_inter.gif",
                             "im_small.gif", "behind.gif"}) {
        SCOPED_TRACE(name);
        const std::string file = dir.file(name);
        Image back;
        ASSERT_EQ(IMG_read(file.c_str(), &back, 0), 1);
        EXPECT_STREQ(back.info, "GIF");
        EXPECT_EQ(back.depth, 8);
        EXPECT_EQ(back.bytes_line, back.width);
        const std::string source = std::string(name) == "behind.gif" ? dir.file("pil_plain.gif") : file;
        EXPECT_EQ(imgtest::pixel_text(back), imgtest::pil_pixel_text(source));
        Image head;
        ASSERT_EQ(IMG_read(file.c_str(), &head, 1), 1);
        EXPECT_EQ(head.width, back.width);
        EXPECT_EQ(head.data, nullptr);
    }
}

// A hand-made stream: a table filled to code 4095 and never cleared goes on
// at 12 bits without new entries; without a global table the image's local
// one serves.
TEST(GifRead, FullTableWithoutClear) {
    TempDir dir;
    const std::string file = dir.file("noclear.gif");
    const std::string out = zeqtest::run_python(R"(
import sys, random
random.seed(7)
name = sys.stdin.readline().strip()
w, h, mcs = 128, 128, 4
pix = [random.randrange(16) for _ in range(w * h)]
clear, end = 1 << mcs, (1 << mcs) + 1
codes = [clear]; table = {(i,): i for i in range(16)}; nxt = end + 1
s = (pix[0],)
sizes = []
size = mcs + 1
def emit(c):
    global size
    codes.append((c, size))
for p in pix[1:]:
    t = s + (p,)
    if t in table:
        s = t; continue
    emit(table[s])
    if nxt < 4096:
        table[t] = nxt
        if nxt == (1 << size) and size < 12: size += 1
        nxt += 1
    s = (p,)
emit(table[s]); emit(end)
bits, acc, data = 0, 0, bytearray()
first = True
for c in codes:
    if first:
        c = (clear, mcs + 1); first = False
    code, sz = c
    acc |= code << bits; bits += sz
    while bits >= 8:
        data.append(acc & 255); acc >>= 8; bits -= 8
if bits: data.append(acc & 255)
out = bytearray(b'GIF89a') + bytes([w, 0, h, 0, 0, 0, 0])
out += bytes([0x2c, 0, 0, 0, 0, w, 0, h, 0, 0x83]) + bytes(sum(([i * 16, 255 - i * 16, i] for i in range(16)), []))
out += bytes([mcs])
for i in range(0, len(data), 255):
    blk = data[i:i + 255]; out += bytes([len(blk)]) + blk
out += b'\x00;'
open(name, 'wb').write(out)
print(nxt, ' '.join(str(p) for p in pix[:4]))
)",
                                                file + "\n", "python3");
    ASSERT_EQ(out.substr(0, 5), "4096 ") << out;
    Image back;
    ASSERT_EQ(GIF_read(file.c_str(), &back, 0), 1);
    EXPECT_EQ(back.num_colors, 16);
    EXPECT_EQ(imgtest::pixel_text(back), imgtest::pil_pixel_text(file));
}

// Damaged files fail with a warning naming the file and keep no buffers.
TEST(GifRead, DamagedFilesFail) {
    TempDir dir;
    Image image;
    std::vector<unsigned char> px(40 * 30);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<unsigned char>((i * 7) % 5);
    imgtest::fill_8bit(&image, 40, 30, px, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}});
    const std::string good = dir.file("good.gif");
    ASSERT_EQ(GIF_write(good.c_str(), &image), 1);
    const std::string g = read_file(good);
    const std::size_t desc = g.find(',', 13 + 3 * 8); // the image descriptor after the 8-entry table
    ASSERT_NE(desc, std::string::npos);
    const std::size_t mcs = desc + 10;
    const auto with = [&g](std::size_t at, const std::string &bytes) {
        std::string b = g;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    const struct {
        const char *what;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"code size 12", with(mcs, "\x0c"), "Bad code size 12"},
        // 4-bit codes: clear (8), then 10, which is no pixel.
        {"first code no pixel", g.substr(0, mcs + 1) + std::string("\x02\xa8\x09\x00;", 5),
         "where a pixel must start"},
        // clear, pixel 1, then 15 while the next entry is 11.
        {"code beyond the table", g.substr(0, mcs + 1) + std::string("\x02\x18\x9f\x00;", 5),
         "beyond the table"},
        {"truncated data", g.substr(0, g.size() - 30), "Image data end early"},
        {"no image", g.substr(0, desc) + ";", "No image in the file"},
        {"not a GIF", "GIX89a" + g.substr(6), "Not a GIF file"},
        {"cut in the table", g.substr(0, 20), "colour table"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("bad.gif");
        write_file(file, c.bytes);
        Image back;
        testing::internal::CaptureStderr();
        EXPECT_EQ(GIF_read(file.c_str(), &back, 0), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find(file), std::string::npos) << err;
        EXPECT_EQ(back.data, nullptr);
        EXPECT_EQ(back.colors, nullptr);
    }
}

} // namespace
