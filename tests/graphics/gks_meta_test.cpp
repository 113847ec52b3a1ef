// Metafiles: the text metafile's header, the kernel's transformation,
// message and segment records, appends, pipes and outputs that fail; the CGM
// walked by a decoder of its binary encoding; the reader, whose replay onto
// PostScript renders as the drawing itself does.
#include "graphics/gks_meta.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "runtime/files.h"
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

// ---- CGM --------------------------------------------------------------------------

// One element of a binary CGM: class, id and its parameter bytes.
struct Element {
    int cls;
    int id;
    std::string params;
};

// Decodes a binary CGM: each element is a 16-bit header (class in the top 4
// bits, element id in the next 7, parameter length in the low 5); length 31
// is the long form, whose next 16 bits give the length (the top bit marks a
// partition that another follows); parameters of odd length are padded to
// an even count. A fault is reported and ends the decoding.
std::vector<Element> decode_cgm(const std::string &bytes) {
    std::vector<Element> list;
    std::size_t pos = 0;
    auto word = [&](int *w) {
        if (pos + 2 > bytes.size()) return false;
        *w = (static_cast<unsigned char>(bytes[pos]) << 8) | static_cast<unsigned char>(bytes[pos + 1]);
        pos += 2;
        return true;
    };
    while (pos < bytes.size()) {
        int head = 0;
        if (!word(&head)) {
            ADD_FAILURE() << "CGM: half a header at byte " << pos;
            break;
        }
        Element e{head >> 12, (head >> 5) & 0x7f, ""};
        int len = head & 31;
        bool more = false;
        do {
            if (len == 31 || more) {
                int w = 0;
                if (!word(&w)) {
                    ADD_FAILURE() << "CGM: no long-form length at byte " << pos;
                    return list;
                }
                more = (w & 0x8000) != 0;
                len = w & 0x7fff;
            }
            if (pos + static_cast<std::size_t>(len) > bytes.size()) {
                ADD_FAILURE() << "CGM: element " << e.cls << "," << e.id << " runs past the end";
                return list;
            }
            e.params += bytes.substr(pos, static_cast<std::size_t>(len));
            pos += static_cast<std::size_t>(len + len % 2);
        } while (more);
        list.push_back(e);
    }
    return list;
}

// The 16-bit signed integers of a parameter list.
std::vector<int> int16s(const std::string &params) {
    std::vector<int> v;
    for (std::size_t i = 0; i + 1 < params.size(); i += 2) {
        const int u =
            (static_cast<unsigned char>(params[i]) << 8) | static_cast<unsigned char>(params[i + 1]);
        v.push_back(u >= 0x8000 ? u - 0x10000 : u);
    }
    return v;
}

// The CGM coordinate of a print unit value: ten times it, truncated, held
// to 16 bits.
int cgm_coord(float print_units) {
    return static_cast<int>(std::clamp(std::trunc(10.0 * print_units), -32768.0, 32767.0));
}

// The clip rectangle the current viewport should give.
std::vector<int> clip_of_current() {
    Gint err = 0, n = 0;
    Gtran t{};
    ginq_cur_norm_tran_num(&err, &n);
    ginq_norm_tran(n, &err, &t);
    return {cgm_coord(xNDC_ps(t.vp.x_min)), cgm_coord(yNDC_ps(t.vp.y_min)), cgm_coord(xNDC_ps(t.vp.x_max)),
            cgm_coord(yNDC_ps(t.vp.y_max))};
}

std::vector<int> points_of(int n, const Gpt *pts) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(cgm_coord(xW_ps(pts[i].x)));
        v.push_back(cgm_coord(yW_ps(pts[i].y)));
    }
    return v;
}

void expect_near(const std::vector<int> &got, const std::vector<int> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1) << "value " << i;
}

// The page written with ",cgm": the header bytes as the encoding gives them,
// one CLIP RECTANGLE per clip change, POLYLINE points at ten times the print
// units, nothing for text (dashed stroke text too), markers, fills or
// attributes, long lines in elements of at most 8191 points that share
// their end points, coordinates held to 16 bits, the two end elements.
TEST(Cgm, PageWalkedByTheDecoder) {
    TempDir dir;
    const std::string file = dir.file("page.cgm");
    setenv("zeqmeta_out", file.c_str(), 1);
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, ",cgm", 3), 0);
    unsetenv("zeqmeta_out");
    struct Want {
        int cls, id;
        std::vector<int> values;
    };
    std::vector<Want> want;
    const auto clip = [&] { want.push_back({3, 5, clip_of_current()}); };
    clip(); // at open
    const Glim ws{0, 1, 0, 0.8f}, dev{0, 999, 0, 799};
    gset_ws_win(1, &ws);
    clip();
    gset_ws_vp(1, &dev);
    clip();
    const Glim win{-100, 100, 0, 50}, vp{0.1f, 0.9f, 0.1f, 0.7f};
    gset_win(2, &win); // not current: no clip
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    clip();
    const Gpt line[3] = {{-100, 0}, {0, 25.5f}, {99.9f, 50}};
    gpolyline(3, line);
    want.push_back({4, 1, points_of(3, line)});
    gset_linetype(2);
    gset_line_colr_ind(3);
    gset_linewidth(3);
    gset_char_ht(5);
    const Gpt at{0, 10};
    gtext(&at, "dashed text");
    gset_marker_type(GMK_CIRCLE);
    gpolymarker(3, line);
    gfill_area(3, line);
    gmessage(1, "no message");
    // A long line: 9000 points in two elements sharing a point.
    std::vector<Gpt> many;
    for (int i = 0; i < 9000; ++i)
        many.push_back({-100 + 0.02f * static_cast<float>(i), 10});
    gpolyline(9000, many.data());
    want.push_back({4, 1, points_of(8191, many.data())});
    want.push_back({4, 1, points_of(810, many.data() + 8190)});
    // Beyond 16 bits.
    const Gpt far[2] = {{0, 25}, {1e7f, -1e7f}};
    gpolyline(2, far);
    want.push_back({4, 1, {cgm_coord(xW_ps(0)), cgm_coord(yW_ps(25)), 32767, -32768}});
    ASSERT_EQ(gclose_ws(1), 0);

    const std::string bytes = read_file(file);
    static constexpr char header_bytes[] = "\x00\x20"                                 // BEGIN METAFILE
                                           "\x10\x22\x00\x01"                         // METAFILE VERSION 1
                                           "\x10\x4b\x0aZEQCGM-1.0\x00"               // METAFILE DESCRIPTION
                                           "\x11\x66\x00\x01\xff\xff\x00\x01"         // METAFILE ELEMENT LIST
                                           "\x11\x21\xff\x00"                         // MAXIMUM COLOUR INDEX
                                           "\x20\xc8\x00\x00\x00\x00\x27\x10\x1f\x40" // VDC EXTENT
                                           "\x00\x60\x00\x80";                        // BEGIN PICTURE, BODY
    const std::string header(header_bytes, sizeof header_bytes - 1);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    const std::string end("\x00\xa0\x00\x40", 4); // END PICTURE, END METAFILE
    EXPECT_EQ(bytes.substr(bytes.size() - 4), end);

    const std::vector<Element> list = decode_cgm(bytes);
    ASSERT_EQ(list.size(), 8 + want.size() + 2);
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const Element &e = list[8 + i];
        EXPECT_EQ(e.cls, want[i].cls);
        EXPECT_EQ(e.id, want[i].id);
        expect_near(int16s(e.params), want[i].values);
    }
    // The long form carries the length of the points.
    EXPECT_EQ(bytes.substr(bytes.find(std::string("\x40\x3f", 2)), 4), std::string("\x40\x3f\x00\x0c", 4));
}

// A "+" name appends the drawing alone: no header, no end elements.
TEST(Cgm, AppendWritesNoHeaderOrEnd) {
    TempDir dir;
    const std::string file = dir.file("a.cgm");
    zeqtest::write_file(file, "before");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, ("+" + file + ",cgm").c_str(), 3), 0);
    const std::vector<int> first_clip = clip_of_current();
    const Gpt line[2] = {{0.25f, 0.25f}, {0.75f, 0.5f}};
    const std::vector<int> points = points_of(2, line);
    gpolyline(2, line);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string bytes = read_file(file);
    ASSERT_EQ(bytes.substr(0, 6), "before");
    const std::vector<Element> list = decode_cgm(bytes.substr(6));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].cls * 100 + list[0].id, 305);
    expect_near(int16s(list[0].params), first_clip);
    EXPECT_EQ(list[1].cls * 100 + list[1].id, 401);
    expect_near(int16s(list[1].params), points);
}

// ---- Reader -------------------------------------------------------------------------

// Replays a metafile onto a text metafile workstation and gives the records
// the replay wrote, with what was reported.
struct Replay {
    int result;
    std::string records;
    std::string err;
};

Replay replay(const std::string &meta, const TempDir &dir) {
    const std::string in = dir.file("in.meta"), out = dir.file("out.meta");
    zeqtest::write_file(in, meta);
    gopen_gks(nullptr, 0);
    EXPECT_EQ(gopen_ws(1, out.c_str(), 3), 0);
    testing::internal::CaptureStderr();
    const int rc = gread_metafile(in.c_str());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(gclose_ws(1), 0);
    return {rc, records(read_file(out)), err};
}

// Every record the reader replays, each written again by the call it makes;
// the header, records it skips and unknown words are passed over; a point
// record ends where its count says, also when a fill's last line break runs
// into the next record; text is cut at 100 characters.
TEST(ReadMetafile, RecordTable) {
    TempDir dir;
    const std::string long_text(150, 'x');
    const Replay r =
        replay("ZEQMETA\n"
               "#Title: ZEQ Graphics Display: R11_Ezedi\n"
               "#Creator: ZEQ Metafile Processor-1.0\n"
               "#CreationDate: Thu Jan  1 00:00:00 1970\n"
               "WS_WIN 1 0.000000 0.000000 1.000000 0.750000\n"
               "WS_VP 1 0.000000 0.000000 999.000000 799.000000\n"
               "WIN 2 -100.000000 0.000000 100.000000 50.000000\n"
               "VP 2 0.100000 0.100000 0.900000 0.700000\n"
               "TR 2\n"
               "CLR 7 5 0.500000 0.250000 1.000000\n"
               "PL 4 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
               "FA 4 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
               "   PM 5 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
               "   -1.500000,2.250000 \n"
               "TE 1.000000,2.000000 " +
                   long_text +
                   "\n"
                   "ME a message\n"
                   "SEG_CR 3\nSEG_CL 3\nSEG_DE 3\n"
                   "CLR_REG 0.000000 0.000000 1.000000 1.000000\n"
                   "SOMETHING else 1 2 3\n"
                   "PL_CLR 3\nPL_LW 2.500000\nPL_TYPE 4\n"
                   "PM_CLR 5\nPM_SIZE 2.000000\nPM_TYPE 3\nPM_WDTH 1.500000\n"
                   "FA_CLR 6\nFA_INT 2\nFA_ST 5\n"
                   "TE_CLR 7 \nTE_EXP 1.500000 \nTE_WDTH 2.000000 \nTE_HGHT 0.050000 \n"
                   "TE_UP -1.000000,0.000000\nTE_ALGN 2 3\nTE_SPC 0.500000 \nTE_CSPC 1.000000 \n"
                   "TE_FNT 2 2\n",
               dir);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.records, "WIN 2 -100.000000 0.000000 100.000000 50.000000\n"
                         "VP 2 0.100000 0.100000 0.900000 0.700000\n"
                         "TR 2\n"
                         "CLR 1 5 0.500000 0.250000 1.000000\n"
                         "PL 4 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
                         "FA 4 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
                         "   PM 5 1.000000,2.000000 3.000000,4.000000 5.000000,6.000000 7.000000,8.000000 \n"
                         "   -1.500000,2.250000 \n"
                         "TE 1.000000,2.000000 " +
                             std::string(100, 'x') +
                             "\n"
                             "PL_CLR 3\nPL_LW 2.500000\nPL_TYPE 4\n"
                             "PM_CLR 5\nPM_SIZE 2.000000\nPM_TYPE 3\nPM_WDTH 1.500000\n"
                             "FA_CLR 6\nFA_INT 2\nFA_ST 5\n"
                             "TE_CLR 7\nTE_EXP 1.500000\nTE_WDTH 2.000000\nTE_HGHT 0.050000\n"
                             "TE_UP -1.000000,0.000000\nTE_ALGN 2 3\nTE_SPC 0.500000\nTE_CSPC 1.000000\n"
                             "TE_FNT 2 2\n");
}

// Records that do not read end the replay with a warning naming the file and
// the record's line; counts below 1 are refused and a count is never room
// made before its points are read; files that cannot be opened give -1, and
// a name is never a command.
TEST(ReadMetafile, Refusals) {
    TempDir dir;
    const std::string in = dir.file("in.meta");
    const std::string head = "ZEQMETA\nPL_CLR 3\n";
    struct Case {
        std::string body;
        const char *key;
        int line;
    };
    const Case cases[] = {
        {"PL 0\n", "PL", 3},
        {"FA -4 1,2\n", "FA", 3},
        {"PL_LW 1\nPM 3 1,2 3,4\n   x,y\n", "PM", 4},
        {"PL 2000000000 1,2 3,4\n", "PL", 3},
        {"PL 2 1,2 3 4\n", "PL", 3},
        {"PL 2 1,2 nan,4\n", "PL", 3},
        {"PL_LW inf\n", "PL_LW", 3},
        {"TR 99999999999\n", "TR", 3},
        {"WIN 2 0 0 1\n", "WIN", 3},
        {"TE 1 2\n", "TE", 3},
        {"CLR 1 2 0.5 0.5\n", "CLR", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        const Replay r = replay(head + c.body + "PL_CLR 5\n", dir);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.err, "gread_metafile: " + in + ": unreadable " + c.key + " record in line " +
                             std::to_string(c.line) + ", replay ended\n");
        EXPECT_EQ(r.records.find("PL_CLR 5"), std::string::npos) << r.records;
    }

    gopen_gks(nullptr, 0);
    const std::string marker = dir.file("ran");
    for (const std::string &name :
         {dir.file("missing.meta"), "|touch " + marker, std::string("-"), dir.path()}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(gread_metafile(name.c_str()), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "gread_metafile: Unable to open image file: " + name + "\n");
    }
    EXPECT_FALSE(FILE_exist(marker.c_str()));
}

// A page drawn straight to PostScript and the same calls written to a text
// metafile and replayed onto PostScript render to the same pixels.
void draw_page() {
    const Gcolr_rep quarter{0.25f, 0.25f, 0.25f}, pale{0.75f, 0.5f, 0.25f};
    gset_colr_rep(1, 4, &quarter);
    gset_colr_rep(1, 5, &pale);
    const Glim display{0, 1, 0, 0.75f};
    gset_win(1, &display);
    gset_vp(1, &display);
    gsel_norm_tran(1);
    const Gpt frame[5] = {{0, 0}, {1, 0}, {1, 0.75f}, {0, 0.75f}, {0, 0}};
    gpolyline(5, frame);
    const Glim win{0, 100, 0, 60}, vp{0.05f, 0.5f, 0.375f, 0.7f}, vp3{0.55f, 0.95f, 0.05f, 0.5f};
    gset_win(2, &win);
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    for (int type = 1; type <= 6; ++type) {
        gset_linetype(type);
        gset_linewidth(static_cast<float>(type % 3));
        gset_line_colr_ind(type % 2 == 0 ? 4 : 500 + type);
        const float y = 60 - 5.0f * static_cast<float>(type);
        const Gpt l[3] = {{5, y}, {45, y}, {120, y + 2}}; // the last runs out of the clip
        gpolyline(3, l);
    }
    const Gpt box[4] = {{5, 2}, {20, 2}, {20, 12}, {5, 12}};
    const Gpt box2[4] = {{25, 2}, {40, 2}, {40, 12}, {25, 12}};
    gset_fill_colr_ind(5);
    gfill_area(4, box);
    gset_fill_colr_ind(507);
    gfill_area(4, box2);
    gset_marker_colr_ind(4);
    gset_marker_size(0.5f);
    for (int type = 1; type <= 9; ++type) {
        gset_marker_type(type);
        const Gpt at[2] = {{50 + 5.0f * static_cast<float>(type), 20},
                           {50 + 5.0f * static_cast<float>(type), 25}};
        gpolymarker(2, at);
    }
    // The second viewport: text in several settings.
    gset_win(3, &win);
    gset_vp(3, &vp3);
    gsel_norm_tran(3);
    gset_text_colr_ind(4);
    gset_char_ht(6);
    gset_text_width(2);
    const Gpt up{-1, 1};
    gset_char_up_vec(&up);
    const Gtext_align centre{GCENTER_HOR, GHALF_VERT};
    gset_text_align(&centre);
    const Gpt at{50, 30};
    gtext(&at, "Replay 1.5");
    gset_expan(1.5f);
    gset_space(0.5f);
    const Gpt at2{20, 10};
    gtext(&at2, "wide");
}

void setup_workstation() {
    const Glim ws{0, 1, 0, 0.75f}, dev{0, 755, 0, 575};
    gset_ws_win(1, &ws);
    gset_ws_vp(1, &dev);
}

TEST(ReadMetafile, ReplayOntoPostScriptRendersTheSamePixels) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const std::string direct = dir.file("direct.ps"), meta = dir.file("page.meta"),
                      replayed = dir.file("replay.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, direct.c_str(), 4), 0);
    setup_workstation();
    draw_page();
    ASSERT_EQ(gclose_ws(1), 0);
    ASSERT_EQ(gopen_ws(1, meta.c_str(), 3), 0);
    setup_workstation();
    draw_page();
    ASSERT_EQ(gclose_ws(1), 0);
    ASSERT_EQ(gopen_ws(1, replayed.c_str(), 4), 0);
    setup_workstation(); // the reader keeps the workstation it finds
    testing::internal::CaptureStderr();
    EXPECT_EQ(gread_metafile(meta.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(gclose_ws(1), 0);

    std::string png[2];
    int i = 0;
    for (const std::string &ps : {direct, replayed}) {
        png[i] = dir.file("p" + std::to_string(i) + ".png");
        const gkstest::GsRun run =
            gkstest::run_gs("-sDEVICE=png16m -r100 -sOutputFile='" + png[i] + "' '" + ps + "'");
        ASSERT_EQ(run.status, 0) << run.out;
        ++i;
    }
    // Something was drawn: the two renders differ from a blank page.
    const std::string blank = dir.file("blank.png");
    zeqtest::run_command("/usr/bin/convert '" + png[0] + "' -fill white -colorize 100 '" + blank + "'");
    const std::string differ =
        zeqtest::run_command("/usr/bin/compare -metric AE '" + png[0] + "' '" + blank + "' null: 2>&1; true");
    EXPECT_GT(std::atol(differ.c_str()), 10000) << differ;
    const std::string same = zeqtest::run_command("/usr/bin/compare -metric AE '" + png[0] + "' '" + png[1] +
                                                  "' null: 2>&1; true");
    EXPECT_EQ(same, "0") << "compare (Debian package imagemagick)";
}

} // namespace
