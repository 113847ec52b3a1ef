// XWD files: dumps of the window on the 24-bit, 8-bit and 16-bit screens read
// by ImageMagick, xwdtopnm and xwud to the pixels of an xwd capture; our and
// xwd's files read back to the capture; the header of a named window; files
// refused for their version, depth, layout and length; write failures.
#include "graphics/xdump.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_img.h"
#include "graphics/images.h"
#include "graphics/img_tool.h"
#include "graphics/xwin.h"
#include "runtime/string.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using imgtest::be;
using imgtest::Image;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

bool need_xwd_tools() {
    return xtest::need_tools() && xtest::need_tool("/usr/bin/xwdtopnm", "netpbm") &&
           xtest::need_tool("/usr/bin/xwud", "x11-apps");
}

// A top-level window of another client with this name.
Window find_window(const std::string &name) {
    Display *d = gget_display();
    for (int i = 0; i < 400; ++i) {
        Window root = 0, parent = 0, *kids = nullptr;
        unsigned int n = 0;
        Window found = 0;
        if (XQueryTree(d, RootWindow(d, gget_screen()), &root, &parent, &kids, &n)) {
            for (unsigned int k = 0; k < n && found == 0; ++k) {
                char *got = nullptr;
                XWindowAttributes a{};
                if (kids[k] != gget_root_window() && XFetchName(d, kids[k], &got) && got != nullptr &&
                    name == got && XGetWindowAttributes(d, kids[k], &a) && a.map_state == IsViewable)
                    found = kids[k];
                if (got != nullptr) XFree(got);
            }
            if (kids != nullptr) XFree(kids);
        }
        if (found != 0) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return 0;
}

// xwud shows the file: an xwd of its window is the picture of the file.
void xwud_shows(const std::string &file, const std::string &name, const xtest::Picture &want) {
    const std::string display = DisplayString(gget_display());
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/usr/bin/xwud", "xwud", "-display", display.c_str(), "-in", file.c_str(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    const Window w = find_window("xwud: " + name);
    EXPECT_NE(w, 0u) << "no xwud window " << name;
    xtest::Picture shown;
    if (w != 0) {
        XSelectInput(gget_display(), w, ExposureMask);
        // xwud draws at its Expose: read until it has.
        for (int i = 0; i < 50 && !(shown == want); ++i) {
            shown = xtest::grab_window("", w);
            if (!(shown == want)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(shown == want) << "xwud shows " << shown.width << "x" << shown.height;
}

// The same image as the capture: sizes, layout and pixel bytes; the palette
// entries of the pixels in the picture within the 16-bit steps of the file
// (the other cells of the shared colormap belong to other clients and may
// change between the dump and the capture).
void expect_same(const IMG_report &got, const IMG_report &cap, bool with_palette) {
    EXPECT_EQ(got.width, cap.width);
    EXPECT_EQ(got.height, cap.height);
    EXPECT_EQ(got.depth, cap.depth);
    EXPECT_EQ(got.bits_pixel, cap.bits_pixel);
    EXPECT_EQ(got.bytes_line, cap.bytes_line);
    EXPECT_EQ(got.byte_order, cap.byte_order);
    EXPECT_EQ(got.color_type, cap.color_type);
    ASSERT_NE(got.data, nullptr);
    EXPECT_EQ(std::memcmp(got.data, cap.data, static_cast<std::size_t>(cap.bytes_line * cap.height)), 0);
    if (!with_palette) return;
    ASSERT_EQ(got.num_colors, cap.num_colors);
    if (cap.num_colors == 0) return;
    ASSERT_EQ(cap.depth, 8);
    std::vector<bool> used(static_cast<std::size_t>(cap.num_colors), false);
    for (int i = 0; i < cap.bytes_line * cap.height; ++i)
        if (cap.data[i] < cap.num_colors) used[cap.data[i]] = true;
    for (int i = 0; i < cap.num_colors; ++i) {
        if (!used[static_cast<std::size_t>(i)]) continue;
        EXPECT_NEAR(got.colors[i].r, cap.colors[i].r, 1.5 / 65535) << i;
        EXPECT_NEAR(got.colors[i].g, cap.colors[i].g, 1.5 / 65535) << i;
        EXPECT_NEAR(got.colors[i].b, cap.colors[i].b, 1.5 / 65535) << i;
    }
}

// The test picture dumped on screen n of the test server (depth bits):
// tools read our file with the pixels of xwd's capture, xwud shows it, and
// both files read back to the capture. The 9-character window name gives a
// header size of 110; colour entries are written only for a colormap.
void check_screen(int n, int depth, int entries) {
    if (!need_xwd_tools()) return;
    TempDir dir;
    const std::string ours = dir.file("ours.xwd"), theirs = dir.file("theirs.xwd");
    const std::string name = "xwdtest-" + std::to_string(n);
    gset_win_title(name.c_str());
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(n)));
    ASSERT_EQ(gget_win_depth(), depth);
    imgtest::draw_test_picture();
    ASSERT_EQ(XWD_dump(ours.c_str()), 1);
    const xtest::Picture captured = xtest::grab_window(theirs);
    ASSERT_FALSE(captured.rgb.empty());

    const std::string bytes = read_file(ours);
    Image cap;
    ASSERT_EQ(gget_image(&cap), 1);
    EXPECT_EQ(be(bytes, 0, 4), 110u);                  // header_size
    EXPECT_EQ(be(bytes, 4, 4), 7u);                    // file_version
    EXPECT_EQ(be(bytes, 12, 4), unsigned(depth));      // pixmap_depth
    EXPECT_EQ(be(bytes, 52, 4), depth == 8 ? 3u : 4u); // visual_class
    EXPECT_EQ(be(bytes, 76, 4), unsigned(entries));    // ncolors
    EXPECT_EQ(bytes.substr(100, 10), name + std::string(1, '\0'));
    EXPECT_EQ(bytes.size(), 110u + 12u * unsigned(entries) + unsigned(cap.bytes_line * cap.height));
    if (entries > 0) {
        EXPECT_EQ(be(bytes, 110 + 12 * 5, 4), 5u); // entry i: pixel i, then its colour
    }

    // Without colour entries ImageMagick scales the 5- and 6-bit channels of
    // a 16-bit dump itself, one level off the server's colours that xwd's
    // entries carry.
    EXPECT_LE(xtest::difference(xtest::convert("xwd:" + ours), captured), depth == 16 ? 1 : 0)
        << "ImageMagick reads another picture";
    // xwdtopnm gives 16-bit samples for colormap dumps: pamdepth brings them to 8.
    const auto pnm = [](const std::string &f) {
        return xtest::ppm_of("/usr/bin/xwdtopnm '" + f + "' 2>/dev/null | /usr/bin/pamdepth 255");
    };
    EXPECT_TRUE(pnm(ours) == pnm(theirs)) << "xwdtopnm reads another picture";
    xwud_shows(ours, name, captured);

    for (const std::string &file : {ours, theirs}) {
        SCOPED_TRACE(file);
        Image back;
        back.depth = depth;
        ASSERT_EQ(XWD_read(file.c_str(), &back, 0), 1);
        expect_same(back, cap, file == ours);
        if (file == ours) {
            EXPECT_STREQ(back.info, name.c_str());
            EXPECT_EQ(back.num_colors, entries);
        }
    }
    EXPECT_EQ(gclose_ws(1), 0);
}

TEST(XwdDump, TrueColourScreen) {
    check_screen(0, 24, 0);
}

TEST(XwdDump, PseudoColourScreen) {
    check_screen(1, 8, 256);
}

TEST(XwdDump, SixteenBitScreen) {
    check_screen(2, 16, 0);
}

// A 24-bit dump on the 16-bit screen: IMG_read presets the window's depth,
// which the dump exceeds.
TEST(XwdRead, DeeperThanTheWindow) {
    if (!xtest::need_display()) return;
    TempDir dir;
    const std::string file = dir.file("deep.xwd");
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(0)));
    imgtest::draw_test_picture();
    ASSERT_EQ(XWD_dump(file.c_str()), 1);
    gclose_ws(1);
    ASSERT_TRUE(xtest::open_window(xtest::screen_name(2)));
    Image image;
    testing::internal::CaptureStderr();
    EXPECT_EQ(IMG_read(file.c_str(), &image, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "XWD_read: " + file + ": Incorrect depth: 24 > 16\n");
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.colors, nullptr);
}

// A small palette dump written by us and damaged in one way each: every
// damage is refused with its message and leaves no buffers.
TEST(XwdRead, DamagedFilesAreRefused) {
    TempDir dir;
    const std::string good = dir.file("good.xwd");
    Image image;
    imgtest::fill_8bit(&image, 5, 3, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2},
                       {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 8);
    copy_text(image.info, "tiny");
    ASSERT_EQ(XWD_write(good.c_str(), &image), 1);
    const std::string bytes = read_file(good);
    ASSERT_EQ(bytes.size(), 105u + 4 * 12 + 8 * 3);
    const auto with = [&bytes](std::size_t at, unsigned long v, std::string b = "") {
        if (b.empty()) b = bytes;
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
        return b;
    };
    const struct {
        const char *what;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"version 6", with(4, 6), "XWD file format version mismatch"},
        {"header size 99", with(0, 99), "XWD header size is too small."},
        {"cut in the header", bytes.substr(0, 60), "Unable to read dump file header"},
        {"cut in the name", bytes.substr(0, 102), "Unable to read window name from dump file."},
        {"cut in the colours", bytes.substr(0, 105 + 20), "Unable to read color map from dump file."},
        {"cut in the pixels", bytes.substr(0, bytes.size() - 1), "Unable to read pixmap from dump file."},
        {"XY pixmap", with(8, 1), "Only Z pixmaps are read"},
        {"rows shorter than the width", with(48, 4), "Bytes per line out of range"},
        {"no width", with(16, 0), "Image size out of range"},
        {"huge", with(20, 65535) /* 8 x 65535 rows */, "Unable to read pixmap from dump file."},
        {"too large", with(48, 262144, with(20, 65535)), "Image too large"},
        {"2 bits a pixel", with(44, 2), "Unsupported bits per pixel"},
        {"a name of 4 GB", with(0, 0xFFFFFFF0), "Window name too long"},
        {"a million colours", with(76, 1000000), "Too many colors"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.file("bad.xwd");
        write_file(file, c.bytes);
        Image back;
        back.depth = 32;
        testing::internal::CaptureStderr();
        EXPECT_EQ(XWD_read(file.c_str(), &back, 0), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("XWD_read: " + file + ": " + c.message, 0), 0u) << err;
        EXPECT_EQ(back.data, nullptr);
        EXPECT_EQ(back.colors, nullptr);
    }
    // The good file reads back: pixels, rows and palette.
    Image back;
    back.depth = 8;
    ASSERT_EQ(XWD_read(good.c_str(), &back, 0), 1);
    EXPECT_EQ(back.bytes_line, 8);
    EXPECT_EQ(back.num_colors, 4);
    EXPECT_EQ(back.colors[1].r, 1.0f);
    EXPECT_EQ(back.colors[3].b, 1.0f);
    EXPECT_EQ(std::memcmp(back.data, image.data, 24), 0);
    EXPECT_STREQ(back.info, "tiny");
}

// Writes that fail give 0 and a message naming the file.
TEST(XwdWrite, FailuresNameTheFile) {
    Image image;
    imgtest::fill_8bit(&image, 2, 2, {1, 2, 3, 4});
    testing::internal::CaptureStderr();
    EXPECT_EQ(XWD_write("/dev/full", &image), 0);
    EXPECT_EQ(XWD_write("/dev/null/x.xwd", &image), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("XWD_write: /dev/full: Unable to write to XWD file.\n"), std::string::npos) << err;
    EXPECT_NE(err.find("XWD_write: /dev/null/x.xwd: Unable to open dump file\n"), std::string::npos) << err;
    // Without a window nothing is captured.
    EXPECT_EQ(XWD_dump("/tmp/never.xwd"), 0);
}

} // namespace
