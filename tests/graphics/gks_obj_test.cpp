// The display list on the own window: a drawing of every object kind printed
// as a metafile against the same calls drawn straight to a metafile, printed
// as PostScript that ghostscript reads, and replayed onto the painted-over
// window (read back by xwd); segment deletion, unchanged attributes, the
// recording switch from zeqredraw and the X default (xrdb), and empty prints.
#include "graphics/gks_obj.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "graphics/xwin.h"
#include "support/child.h"
#include "support/metafile.h"

namespace {

using zeqtest::run_child;

int callbacks = 0;

void count_callback(void *data) {
    ++callbacks;
    ++*static_cast<int *>(data);
}

// Colour slots 3 to 9, each its own colour.
void colours() {
    for (int i = 3; i <= 9; ++i) {
        const Gcolr_rep rep{static_cast<float>(i % 2), static_cast<float>(i % 3) / 2,
                            static_cast<float>(i) / 9};
        gset_colr_rep(1, i, &rep);
    }
}

// One call of every kind that makes an object, inside a segment.
void draw_every_kind() {
    const Glim ws{0, 1, 0, 0.8f};
    const Glim win{0, 100, 0, 80};
    const Glim pixels{0, 639, 0, 511};
    gset_ws_win(1, &ws);
    gset_ws_vp(1, &pixels);
    gset_win(1, &win);
    gset_vp(1, &ws);
    gsel_norm_tran(1);
    gcreate_seg(1);
    colours();
    gmessage(1, "every kind");
    gset_linetype(2);
    gset_linewidth(2);
    gset_line_colr_ind(9);
    gset_line_print_bold(2);
    const Gpt line[3] = {{10, 10}, {90, 20}, {50, 70}};
    gpolyline(3, line);
    gset_marker_type(3);
    gset_marker_size(2);
    gset_marker_colr_ind(4);
    gset_marker_width(2);
    const Gpt marks[2] = {{20, 60}, {80, 60}};
    gpolymarker(2, marks);
    gset_space(10);
    gset_char_space(5);
    gset_expan(1.5f);
    gset_text_colr_ind(5);
    gset_char_ht(4);
    const Gpt up{-1, 1};
    gset_char_up_vec(&up);
    const Gfontprec fp{1, GSTROKE_PREC};
    gset_fontprec(&fp);
    const Gtext_align align{GCENTER_HOR, GHALF_VERT};
    gset_text_align(&align);
    gset_text_width(2);
    const Gpt at{50, 40};
    gtext(&at, "Tarn 1");
    gset_fill_int_style(GSOLID);
    gset_fill_style_ind(2);
    gset_fill_colr_ind(3);
    gset_fill_print_solid(1);
    const Gpt box[4] = {{60, 5}, {95, 5}, {95, 30}, {60, 30}};
    gfill_area(4, box);
    gclose_seg(1);
    const Glim clear{70, 80, 10, 20};
    gclear_region(&clear);
}

// The lines of a metafile after its header, without segment records.
std::vector<std::string> body(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    for (int i = 0; std::getline(in, line); ++i) {
        line.erase(0, line.find_first_not_of(' '));
        if (i >= 4 && !line.starts_with("SEG_")) lines.push_back(line);
    }
    return lines;
}

std::string straight_metafile(const std::function<void()> &draw) {
    const zeqtest::TempDir dir;
    const std::string file = dir.file("straight.meta");
    gopen_gks(nullptr, 0);
    EXPECT_EQ(gopen_ws(1, file.c_str(), GWS_META), 0);
    draw();
    gclose_ws(1);
    return zeqtest::read_file(file);
}

bool open_recording() {
    if (!xtest::need_display() || !xtest::open_window()) return false;
    gset_redraw(1);
    return true;
}

// Alt-m writes the same records as the calls drawn straight to a metafile;
// the callback runs on the print, and its data is the list's.
TEST(DisplayList, MetafilePrintMatchesAStraightMetafile) {
    const std::string straight = straight_metafile(draw_every_kind);
    if (!open_recording()) return;
    int *runs = static_cast<int *>(std::malloc(sizeof(int)));
    *runs = 0;
    draw_every_kind();
    gset_redraw_func(count_callback, runs);
    const zeqtest::TempDir dir;
    setenv("METAOUT", dir.file("alt-m.meta").c_str(), 1);
    EXPECT_EQ(gobj_print_meta(), 0);
    EXPECT_EQ(callbacks, 1);
    const std::string printed = zeqtest::read_file(dir.file("alt-m.meta"));
    EXPECT_TRUE(printed.starts_with("ZEQMETA\n")) << printed;
    EXPECT_EQ(body(printed), body(straight)) << printed << "\n----\n" << straight;
    // The window goes on recording after the print.
    EXPECT_EQ(gget_win_type(), GWS_WIN);
    EXPECT_EQ(gget_redraw(), 1);
    gclose_ws(1); // releases the callback's data (the sanitizer checks the leak)
}

// The PostScript print goes to zeqps_print, else PSPRINT, and ghostscript
// renders it with the drawing on the page.
TEST(DisplayList, PostScriptPrintRendersInGhostscript) {
    if (!gkstest::have_gs() || !open_recording()) return;
    draw_every_kind();
    const zeqtest::TempDir dir;
    unsetenv("zeqps_print");
    setenv("PSPRINT", dir.file("psprint.ps").c_str(), 1);
    EXPECT_EQ(gobj_print_plot(), 0);
    setenv("zeqps_print", dir.file("zeq.ps").c_str(), 1);
    EXPECT_EQ(gobj_print_plot(), 0);
    for (const char *name : {"psprint.ps", "zeq.ps"}) {
        const std::string file = dir.file(name);
        const std::string ps = zeqtest::read_file(file);
        EXPECT_NE(ps.find("%%Message: every kind\n"), std::string::npos) << name;
        const gkstest::GsRun gs = gkstest::run_gs("-sDEVICE=bbox '" + file + "'");
        EXPECT_EQ(gs.status, 0) << gs.out;
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        const std::size_t at = gs.out.find("%%BoundingBox:");
        ASSERT_NE(at, std::string::npos) << gs.out;
        std::istringstream(gs.out.substr(at + 14)) >> x0 >> y0 >> x1 >> y1;
        EXPECT_GT(x1 - x0, 100) << gs.out; // ink across the page
    }
    EXPECT_EQ(gget_win_type(), GWS_WIN);
    zeqtest::write_file(dir.file("plain"), "a file, not a directory\n");
    setenv("zeqps_print", dir.file("plain/x.ps").c_str(), 1);
    EXPECT_EQ(gobj_print_plot(), -1);
    EXPECT_EQ(gget_win_type(), GWS_WIN);
}

// Painted over without recording, the window replayed from the list shows the
// first picture again, and the callback runs again.
TEST(DisplayList, ReplayRestoresThePaintedOverWindow) {
    if (!xtest::need_tools() || !open_recording()) return;
    int *runs = static_cast<int *>(std::malloc(sizeof(int)));
    *runs = 0;
    draw_every_kind();
    gset_redraw_func(count_callback, runs);
    const xtest::Picture first = xtest::grab_window();
    gset_redraw(0);
    const Gcolr_rep green{0, 1, 0};
    gset_colr_rep(1, 10, &green);
    gset_fill_colr_ind(10);
    const Gpt all[4] = {{0, 0}, {100, 0}, {100, 80}, {0, 80}};
    gfill_area(4, all);
    gset_redraw(1);
    const xtest::Picture painted = xtest::grab_window();
    EXPECT_NE(painted.rgb, first.rgb);
    EXPECT_EQ(gobj_redraw_plot(), 0);
    const xtest::Picture replayed = xtest::grab_window();
    ASSERT_EQ(replayed.rgb.size(), first.rgb.size());
    int differ = 0;
    for (int y = 0; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x)
            if (replayed.at(x, y) != first.at(x, y) && ++differ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " replayed " << replayed.at(x, y)[0] << " "
                              << replayed.at(x, y)[1] << " " << replayed.at(x, y)[2] << ", first "
                              << first.at(x, y)[0] << " " << first.at(x, y)[1] << " " << first.at(x, y)[2];
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(gget_redraw(), 1);
    EXPECT_EQ(gget_cache(), 1);
    gset_redraw(0);
    EXPECT_EQ(gobj_redraw_plot(), -1);
    gclose_ws(1);
}

// A polyline whose first x marks it.
void mark(int x) {
    const Gpt pts[2] = {{static_cast<float>(x), 1}, {static_cast<float>(x), 2}};
    gpolyline(2, pts);
}

std::vector<int> marks_printed() {
    const zeqtest::TempDir dir;
    setenv("METAOUT", dir.file("m.meta").c_str(), 1);
    EXPECT_EQ(gobj_print_meta(), 0);
    std::vector<int> xs;
    for (const zeqtest::MetaRecord &r : zeqtest::meta_records(zeqtest::read_file(dir.file("m.meta"))))
        if (r.key == "PL") xs.push_back(static_cast<int>(r.pts[0].x));
    return xs;
}

// Deleting segments: an absent one changes nothing, a repeated one goes each
// time, an unclosed one takes the rest of the list; objects made afterwards
// follow what remains.
TEST(DisplayList, DeletingSegments) {
    struct Case {
        const char *what;
        std::vector<int> ops; // > 0 a mark, -n segment n starts, -100 - n segment n ends
        int deleted;
        std::vector<int> expect;
    };
    const std::vector<Case> cases{
        {"absent", {1, -1, 2, -101, 3}, 7, {1, 2, 3, 9}},
        {"repeated", {1, -2, 2, -102, 3, -2, 4, -102, 5}, 2, {1, 3, 5, 9}},
        {"unclosed", {1, -3, 2, 3}, 3, {1, 9}},
        {"other inside", {1, -4, 2, -5, 3, -105, 4, -104, 5}, 5, {1, 2, 4, 5, 9}},
    };
    for (const Case &c : cases) {
        const zeqtest::ChildResult r = run_child([&c] {
            if (!open_recording()) return 2;
            const Glim win{0, 100, 0, 100};
            gset_win(1, &win);
            gsel_norm_tran(1);
            for (int op : c.ops) {
                if (op > 0)
                    mark(op);
                else if (op > -100)
                    gcreate_seg(-op);
                else
                    gclose_seg(-op - 100);
            }
            if (gdel_seg(c.deleted) != 0 || gget_redraw() != 1) return 3;
            mark(9);
            return marks_printed() == c.expect ? 0 : 1;
        });
        EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    }
    gset_redraw(0);
    EXPECT_EQ(gdel_seg_objs(1), -1);
}

// An attribute object equal to the attribute at its replay writes nothing.
TEST(DisplayList, UnchangedAttributesReplayAsNothing) {
    if (!open_recording()) return;
    const Glim win{0, 100, 0, 100};
    gset_win(1, &win);
    gsel_norm_tran(1);
    colours();
    gset_line_colr_ind(3);
    mark(1);
    gcreate_seg(1);
    gset_line_colr_ind(4);
    gclose_seg(1);
    gset_line_colr_ind(3); // recorded: 4 was current
    mark(2);
    gdel_seg(1);
    const zeqtest::TempDir dir;
    setenv("METAOUT", dir.file("m.meta").c_str(), 1);
    ASSERT_EQ(gobj_print_meta(), 0);
    const std::string text = zeqtest::read_file(dir.file("m.meta"));
    std::size_t n = 0;
    for (std::size_t p = text.find("PL_CLR"); p != std::string::npos; p = text.find("PL_CLR", p + 1))
        ++n;
    EXPECT_EQ(n, 1u) << text;
    EXPECT_NE(text.find("PL_CLR 3"), std::string::npos) << text;
}

// zeqredraw "no" in any letter case turns recording off at a new list; the X
// default "redraw" counts only while zeqredraw is not set.
TEST(DisplayList, RecordingSwitchFromEnvironmentAndXDefaults) {
    if (!xtest::need_display() || !xtest::need_tool("/usr/bin/xrdb", "x11-xserver-utils")) return;
    const std::string no = "DlNo" + std::to_string(getpid()), yes = "DlYes" + std::to_string(getpid());
    // Merged before this process opens the display: Xlib reads the defaults once.
    const std::string cmd =
        "printf '" + no + ".redraw: No\\n" + yes + ".redraw: yes\\n' | /usr/bin/xrdb -merge";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    if (!xtest::open_window()) return;
    struct Case {
        const char *env; // null: unset
        std::string prog;
        int expect;
    };
    const std::vector<Case> cases{
        {nullptr, no, 0}, {nullptr, yes, 1}, {"no", yes, 0}, {"NO", yes, 0},
        {"nO", yes, 0},   {"yes", no, 1},    {"", no, 1},    {"noo", yes, 1},
    };
    for (const Case &c : cases) {
        if (c.env != nullptr)
            setenv("zeqredraw", c.env, 1);
        else
            unsetenv("zeqredraw");
        gset_prog_name(c.prog.c_str());
        gset_redraw(1);
        ginit_objs();
        EXPECT_EQ(gget_redraw(), c.expect) << (c.env ? c.env : "(unset)") << " " << c.prog;
    }
    gclose_ws(1);
}

// Alt-m on an empty list writes the header and warns.
TEST(DisplayList, EmptyListPrintsTheHeaderOnly) {
    const zeqtest::TempDir dir;
    const std::string file = dir.file("empty.meta");
    const zeqtest::ChildResult r = run_child([&file] {
        if (!open_recording()) return 2;
        setenv("METAOUT", file.c_str(), 1);
        return gobj_print_meta();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("gobj_print_meta: No redraw data to make metafile from\n"), std::string::npos)
        << r.err;
    const std::string text = zeqtest::read_file(file);
    EXPECT_TRUE(text.starts_with("ZEQMETA\n")) << text;
    EXPECT_EQ(body(text), std::vector<std::string>{}) << text;
}

// With recording off nothing is stored, and the callback's data is released.
TEST(DisplayList, NothingStoredWhileRecordingIsOff) {
    const Glim lim{0, 1, 0, 1};
    gset_redraw(0);
    for (int i = 0; i < 1200; ++i)
        EXPECT_EQ(gnew_obj(17, 2, sizeof lim, &lim), nullptr);
    gset_redraw_func(count_callback, std::malloc(16)); // the sanitizer checks it is freed
    gset_redraw(1);
    EXPECT_NE(gnew_obj(17, 2, sizeof lim, &lim), nullptr);
    EXPECT_EQ(gnew_obj(15, 2, 0, nullptr), nullptr); // no block
    EXPECT_EQ(gclear_objs(), 0);
}

// Opening a print workstation turns both switches off.
TEST(DisplayList, PrintWorkstationsRecordNothing) {
    gset_redraw(1);
    zeqtest::TempDir dir;
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, dir.file("o.ps").c_str(), 4), 0);
    EXPECT_EQ(gget_redraw(), 0);
    EXPECT_EQ(gget_cache(), 0);
    EXPECT_EQ(gdel_seg(2), 0);
    EXPECT_EQ(gcreate_seg(2), 0);
    EXPECT_EQ(gclose_ws(1), 0);
}

} // namespace
