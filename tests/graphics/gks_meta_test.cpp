// The text metafile stream: its header, the kernel's transformation,
// message and segment records, appends, pipes, and outputs that fail.
#include "graphics/gks_meta.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::text_lines;

// The records after the four header lines, whose third and fourth lines are
// checked for their form.
std::string records(const std::string &text) {
    const std::vector<std::string> lines = text_lines(text);
    if (lines.size() < 4) return "(no header)";
    EXPECT_EQ(lines[0], "ZEQMETA");
    EXPECT_EQ(lines[1], "#Title: ZEQ Graphics Display: R11_Ezedi");
    EXPECT_EQ(lines[2], "#Creator: ZEQ Metafile Processor-1.0");
    EXPECT_TRUE(lines[3].starts_with("#CreationDate: ") && lines[3].size() == 15 + 24) << lines[3];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i)
        pos = text.find('\n', pos) + 1;
    return text.substr(pos);
}

// The kernel's records, each only when the call takes effect.
TEST(TextMetafile, HeaderAndKernelRecords) {
    TempDir dir;
    const std::string file = dir.file("plot.meta");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(gopen_ws(1, file.c_str(), 3), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Creating metafile: " + file + "\n");
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 800);

    const Glim ws{0, 1, 0, 0.8f}, dev{0, 999, 0, 799};
    const Glim win{-100, 100, 0, 50}, vp{0.1f, 0.9f, 0.1f, 0.7f};
    gset_ws_win(1, &ws);
    gset_ws_vp(1, &dev);
    gset_win(2, &win);
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    gsel_norm_tran(2); // current already: no record
    gsel_norm_tran(0);
    testing::internal::CaptureStderr();
    gsel_norm_tran(9); // refused: no record
    const Glim flat{1, 1, 0, 1};
    gset_win(1, &flat);
    testing::internal::GetCapturedStderr();
    gmessage(1, "hello world");
    EXPECT_EQ(gcreate_seg(3), -1);
    EXPECT_EQ(gclose_seg(3), -1);
    EXPECT_EQ(gdel_seg(3), -1);
    gps_printf("not for a metafile\n");
    testing::internal::CaptureStdout();
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Created metafile\n");

    EXPECT_EQ(records(read_file(file)), "WS_WIN 1 0.000000 0.000000 1.000000 0.800000\n"
                                        "WS_VP 1 0.000000 0.000000 999.000000 799.000000\n"
                                        "WIN 2 -100.000000 0.000000 100.000000 50.000000\n"
                                        "VP 2 0.100000 0.100000 0.900000 0.700000\n"
                                        "TR 2\n"
                                        "TR 0\n"
                                        "ME hello world\n"
                                        "SEG_CR 3\n"
                                        "SEG_CL 3\n"
                                        "SEG_DE 3\n");
}

// Output names and kinds: the connection's item 0, else zeqmeta_out; "+"
// appends without a header; "|" pipes into a command; the geometry resource
// sizes the 100-per-inch device; after a CGM, "zeq" opens the text kind
// again.
TEST(TextMetafile, NamesKindsAndGeometry) {
    TempDir dir;
    const std::string file = dir.file("m.meta");
    setenv("zeqmeta_out", file.c_str(), 1);
    RES_put("geometry", "5x4+1+2");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, "", 3), 0);
    Gint w = 0, h = 0, x = 0, y = 0;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 400);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 200);
    gmessage(1, "first");
    ASSERT_EQ(gclose_ws(1), 0);

    unsetenv("zeqmeta_out");
    ASSERT_EQ(gopen_ws(1, (dir.file("m.cgm") + ",cgm").c_str(), 3), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gmeta_get_type(), META_CGM);
    EXPECT_EQ(gopen_ws(1, ("+" + file + ",zeq").c_str(), 3), 0);
    EXPECT_EQ(gmeta_get_type(), META_TEXT);
    gmessage(1, "second");
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(records(read_file(file)), "ME first\nME second\n");

    const std::string piped = dir.file("piped.meta");
    ASSERT_EQ(gopen_ws(1, ("|cat > " + piped).c_str(), 3), 0);
    gcreate_seg(7);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(records(read_file(piped)), "SEG_CR 7\n");
}

TEST(TextMetafile, OutputsThatFail) {
    TempDir dir;
    zeqtest::write_file(dir.file("plain"), "x");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, (dir.file("plain") + "/m.meta").c_str(), 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gopen_ws: unable to open metafile\n\n");
    EXPECT_EQ(gchk_graphics(), 0);

    for (const char *target : {"/dev/full", "|false"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(gopen_ws(1, target, 3), 0);
        for (int i = 0; i < 20000; ++i)
            gmessage(1, "a message long enough to fill the buffers of the stream");
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(gclose_ws(1), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("gmeta_close_file: unable to complete ") + target + "\n");
        EXPECT_EQ(gchk_graphics(), 0);
        EXPECT_EQ(gclose_ws(1), -1);
    }
    EXPECT_EQ(gmeta_close_file(), -1);
}

// Primitive and attribute records: point lists of 4 and 5 points with the
// line breaks of lines and of fills, attributes only on change (the pattern
// index excepted), colours, and nothing for a primitive outside the window.
TEST(TextMetafile, PrimitiveAndAttributeRecords) {
    TempDir dir;
    const std::string file = dir.file("prims.meta");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 3), 0);
    const Gpt p4[4] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f}};
    const Gpt p5[5] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f}, {-1.5f, 2.25f}};
    const Gpt outside[2] = {{1.5f, 0}, {2, 1}};
    const Gcolr_rep colour{0.5f, 0.25f, 1};
    EXPECT_EQ(gpolyline(4, p4), 1);
    EXPECT_EQ(gpolyline(5, p5), 1);
    EXPECT_EQ(gfill_area(4, p4), 1);
    EXPECT_EQ(gfill_area(5, p5), 1);
    EXPECT_EQ(gpolyline(2, outside), 0);
    EXPECT_EQ(gfill_area(2, outside), 0);
    EXPECT_EQ(gset_line_colr_ind(3), 0);
    EXPECT_EQ(gset_line_colr_ind(3), 0);
    EXPECT_EQ(gset_linewidth(2.5f), 0);
    EXPECT_EQ(gset_linewidth(2.5f), 0);
    EXPECT_EQ(gset_linetype(4), 0);
    EXPECT_EQ(gset_linetype(4), 0);
    EXPECT_EQ(gset_fill_colr_ind(5), 0);
    EXPECT_EQ(gset_fill_colr_ind(5), 0);
    EXPECT_EQ(gset_fill_int_style(GPAT), 0);
    EXPECT_EQ(gset_fill_int_style(GPAT), 0);
    EXPECT_EQ(gset_fill_style_ind(5), 0);
    EXPECT_EQ(gset_fill_style_ind(5), 0); // a metafile keeps no pattern index
    EXPECT_EQ(gset_fill_style_ind(1), 0); // the stored one: nothing
    EXPECT_EQ(gset_colr_rep(1, 7, &colour), 0);
    EXPECT_EQ(gset_colr_rep(1, 7, &colour), 0); // colours are written every time
    EXPECT_EQ(gset_colr_rep(1, -1, &colour), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(records(read_file(file)),
              "PL 4 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 0.700000,0.800000 \n"
              "PL 5 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 0.700000,0.800000 \n"
              "   -1.500000,2.250000 \n"
              "FA 4 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 0.700000,0.800000 \n"
              "   FA 5 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 0.700000,0.800000 \n"
              "   -1.500000,2.250000 \n"
              "PL_CLR 3\n"
              "PL_LW 2.500000\n"
              "PL_TYPE 4\n"
              "FA_CLR 5\n"
              "FA_INT 2\n"
              "FA_ST 5\n"
              "FA_ST 5\n"
              "CLR 1 7 0.500000 0.250000 1.000000\n"
              "CLR 1 7 0.500000 0.250000 1.000000\n"
              "CLR 1 -1 0.500000 0.250000 1.000000\n");
    // A metafile keeps no colours in the table.
    float r = -1, g = -1, b = -1;
    gget_color_rgb(7, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0);
}

} // namespace
