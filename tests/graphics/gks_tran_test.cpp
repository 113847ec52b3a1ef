// Transformations: the device mapping, the conversions and their clamps, the
// clip rectangles, selection and its refusals, and the visibility test.
#include "graphics/gks_tran.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/gks.h"

namespace {

std::string stderr_of(const auto &f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

Glim window_of(int n) {
    Gint err = -1;
    Gtran t{};
    EXPECT_EQ(ginq_norm_tran(n, &err, &t), 0);
    return t.win;
}

void expect_lim(const Glim &a, const Glim &b) {
    EXPECT_FLOAT_EQ(a.x_min, b.x_min);
    EXPECT_FLOAT_EQ(a.x_max, b.x_max);
    EXPECT_FLOAT_EQ(a.y_min, b.y_min);
    EXPECT_FLOAT_EQ(a.y_max, b.y_max);
}

// The layout the plotting code makes on the default 640 x 512 window: the
// whole display as transformation 1.
TEST(Transformations, DefaultWindowLayout) {
    ginit_tran(0);
    const Glim display{0, 1, 0, 511.0f / 639.0f};
    gset_ws_win(1, &display);
    gset_vp(1, &display);
    gset_win(1, &display);
    gsel_norm_tran(1);
    EXPECT_FLOAT_EQ(xW_p(0), 0);
    EXPECT_FLOAT_EQ(yW_p(0), 511);
    EXPECT_FLOAT_EQ(xW_p(1), 639);
    EXPECT_NEAR(yW_p(display.y_max), 0, 1e-4);
    Gxrect clip{};
    gget_xviewport(&clip);
    EXPECT_EQ(clip.x, 0);
    EXPECT_EQ(clip.y, 0);
    EXPECT_EQ(clip.width, 640);
    EXPECT_EQ(clip.height, 512);
    Gdsp_size size{};
    Gint err = -1;
    ginq_disp_space_size(4, &err, &size);
    EXPECT_EQ(size.coord_units, GOTHER_UNIT);
    EXPECT_FLOAT_EQ(size.coord_size.x, 639);
    EXPECT_FLOAT_EQ(size.coord_size.y, 511);
    EXPECT_EQ(size.ras_size.x_coord, 640);
    EXPECT_EQ(size.ras_size.y_coord, 512);
    EXPECT_EQ(err, 0);
}

// A 756 x 576 device offset by (10, 20), workstation window [0, 1] x [0, 0.75]
// and transformation 2 with window [-100, 100] x [0, 50] on viewport
// [0.1, 0.9] x [0.1, 0.7]. The workstation window is relatively taller than
// the device, so the device's width sets the scale: 755 units per NDC unit.
class Mapped : public testing::Test {
protected:
    void SetUp() override {
        gset_win_size(756, 576);
        gset_xoff(10, 20);
        ginit_tran(0);
        const Glim ws{0, 1, 0, 0.75f};
        gset_ws_win(1, &ws);
        const Glim win{-100, 100, 0, 50}, vp{0.1f, 0.9f, 0.1f, 0.7f};
        gset_win(2, &win);
        gset_vp(2, &vp);
        gsel_norm_tran(2);
    }
};

TEST_F(Mapped, Conversions) {
    struct Point {
        float x, y;   // world
        float nx, ny; // NDC
        float px, py; // pixels: 10 + 755 nx, 20 + 755 (0.75 - ny)
        float qx, qy; // print units: 10 + 755 nx, 20 + 755 ny
    };
    const std::vector<Point> table = {
        {0, 25, 0.5f, 0.4f, 387.5f, 284.25f, 387.5f, 322},
        {-100, 0, 0.1f, 0.1f, 85.5f, 510.75f, 85.5f, 95.5f},
        {100, 50, 0.9f, 0.7f, 689.5f, 57.75f, 689.5f, 548.5f},
        {-150, -25, -0.1f, -0.2f, -65.5f, 737.25f, -65.5f, -131},
    };
    for (const Point &p : table) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_NEAR(xW_NDC(p.x), p.nx, 1e-5);
        EXPECT_NEAR(yW_NDC(p.y), p.ny, 1e-5);
        EXPECT_NEAR(xW_p(p.x), p.px, 1e-3);
        EXPECT_NEAR(yW_p(p.y), p.py, 1e-3);
        EXPECT_NEAR(xW_ps(p.x), p.qx, 1e-3);
        EXPECT_NEAR(yW_ps(p.y), p.qy, 1e-3);
        EXPECT_NEAR(xNDC_p(p.nx), p.px, 1e-3);
        EXPECT_NEAR(yNDC_p(p.ny), p.py, 1e-3);
        EXPECT_NEAR(xNDC_ps(p.nx), p.qx, 1e-3);
        EXPECT_NEAR(yNDC_ps(p.ny), p.qy, 1e-3);
        EXPECT_NEAR(xp_W(p.px), p.x, 1e-3);
        EXPECT_NEAR(yp_W(p.py), p.y, 1e-3);
        // Into transformation 0, the identity: NDC.
        EXPECT_NEAR(xW_trans(p.x, 2, 0), p.nx, 1e-5);
        EXPECT_NEAR(yW_trans(p.y, 2, 0), p.ny, 1e-5);
    }
    // Beyond the device: clamped in the last step only.
    EXPECT_FLOAT_EQ(xW_p(1e6f), 30000);
    EXPECT_FLOAT_EQ(xW_p(-1e6f), -30000);
    EXPECT_FLOAT_EQ(yW_p(1e6f), -30000);
    EXPECT_FLOAT_EQ(yW_p(-1e6f), 30000);
    EXPECT_FLOAT_EQ(xW_ps(1e6f), 100000);
    EXPECT_FLOAT_EQ(yW_ps(-1e6f), -100000);
    EXPECT_NEAR(xW_NDC(1e6f), 4000.5f, 0.1f);
    // A transformation number outside 0-5 leaves the value.
    EXPECT_FLOAT_EQ(xW_trans(3, 2, 6), 3);
}

// The clip rectangle in pixels (x from 85.5 + 0.5, extents with 1.5) and the
// viewport in print units, by device.
TEST_F(Mapped, ViewportRectangles) {
    Gxrect clip{};
    gget_xviewport(&clip);
    EXPECT_EQ(clip.x, 86);
    EXPECT_EQ(clip.width, 605);
    EXPECT_EQ(clip.y, 58);
    EXPECT_EQ(clip.height, 454);

    Grectangle r{-1, -1, -1, -1};
    gset_win_type(3);
    gget_gviewport(&r);
    EXPECT_EQ(r.x, -1); // metafiles leave it
    gset_win_type(4);
    gget_gviewport(&r);
    EXPECT_EQ(r.x, 85);
    EXPECT_EQ(r.width, 606);
    EXPECT_EQ(r.y, 95);
    EXPECT_EQ(r.height, 455);
    gset_win_type(1);
    gget_gviewport(&r);
    EXPECT_EQ(r.x, 86);
    EXPECT_EQ(r.height, 454);
}

// A new device size (kind 10) keeps every transformation and the selection
// and only maps them onto the new size; the other kinds forget them.
TEST_F(Mapped, SizeChangeKeepsTransformations) {
    gset_win_size(1000, 800);
    expect_lim(window_of(2), Glim{-100, 100, 0, 50});
    Gint err = -1, cur = -1;
    ginq_cur_norm_tran_num(&err, &cur);
    EXPECT_EQ(cur, 2);
    // 999 / 1 < 799 / 0.75: the width still sets the scale, now 999.
    EXPECT_NEAR(xW_ps(0), 10 + 0.5f * 999, 1e-3);
    EXPECT_NEAR(yW_ps(50), 20 + 0.7f * 999, 1e-3);
    ginit_tran(4);
    expect_lim(window_of(2), Glim{0, 1, 0, 1});
    ginq_cur_norm_tran_num(&err, &cur);
    EXPECT_EQ(cur, 0);
}

// A window set on a transformation that is not current changes nothing
// until it is selected.
TEST_F(Mapped, OtherTransformationsWaitForSelection) {
    const Glim win3{0, 1000, 0, 1000};
    gset_win(3, &win3);
    EXPECT_NEAR(xW_NDC(0), 0.5f, 1e-6);
    const Glim win2{0, 200, 0, 50};
    gset_win(2, &win2); // the current one: at once
    EXPECT_NEAR(xW_NDC(0), 0.1f, 1e-6);
    gsel_norm_tran(3);
    EXPECT_NEAR(xW_NDC(1000), 1, 1e-6);
}

// Refusals: numbers outside 0-5 and rectangles of zero extent are reported
// under the operation's name and change nothing.
TEST_F(Mapped, Refusals) {
    gopen_gks(nullptr, 0);
    for (int n : {6, -1}) {
        EXPECT_EQ(stderr_of([&] { EXPECT_EQ(gsel_norm_tran(n), -1); }),
                  "gsel_norm_tran: invalid transformation number: " + std::to_string(n) + "\n\n");
    }
    Gint err = -1, cur = -1;
    ginq_cur_norm_tran_num(&err, &cur);
    EXPECT_EQ(cur, 2);
    EXPECT_EQ(stderr_of([] { EXPECT_EQ(gsel_norm_tran(2), 0); }), ""); // the current one
    const Glim some{0, 1, 0, 1};
    EXPECT_NE(stderr_of([&] { EXPECT_EQ(gset_win(7, &some), -1); }).find("gset_win: invalid transformation"),
              std::string::npos);
    EXPECT_NE(stderr_of([&] { EXPECT_EQ(gset_vp(-2, &some), -1); }).find("gset_vp: invalid transformation"),
              std::string::npos);
    Gtran t{{9, 9, 9, 9}, {9, 9, 9, 9}};
    err = 5;
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(ginq_norm_tran(6, &err, &t), -1); }), "");
    EXPECT_EQ(err, 5);
    EXPECT_FLOAT_EQ(t.win.x_min, 9);

    const Glim flat{5, 5, 0, 1}, thin{0, 1, 3, 3};
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(gset_win(2, &flat), -1); }),
              "gset_win: invalid window: 5.000000 0.000000 5.000000 1.000000\n\n");
    EXPECT_EQ(gset_vp(2, &thin), -1);
    EXPECT_EQ(gset_ws_win(1, &flat), -1);
    EXPECT_EQ(gset_ws_vp(1, &thin), -1);
    EXPECT_EQ(gset_win(2, nullptr), -1);
    expect_lim(window_of(2), Glim{-100, 100, 0, 50});
    EXPECT_NEAR(xW_ps(0), 387.5f, 1e-3);
    EXPECT_NEAR(yW_ps(25), 322, 1e-3);
}

// The visibility test: the bounding box of the points against the current
// window [0, 10] x [0, 10]; touching counts as inside.
TEST(Transformations, PointsInWindow) {
    ginit_tran(0);
    const Glim win{0, 10, 0, 10};
    gset_win(0, &win);
    struct Case {
        const char *what;
        std::vector<Gpt> pts;
        int expect;
    };
    const std::vector<Case> table = {
        {"on the left edge", {{0, 2}, {0, 8}}, 1},
        {"just left of it", {{-0.001f, 2}, {-0.001f, 8}}, 0},
        {"on the top edge", {{3, 10}, {7, 10}}, 1},
        {"above", {{3, 10.5f}, {7, 11}}, 0},
        {"right", {{10.5f, 3}, {12, 4}}, 0},
        {"below", {{3, -1}, {4, -5}}, 0},
        {"across the window", {{-5, 5}, {15, 5}}, 1},
        {"around a corner, box overlaps", {{-5, 5}, {5, -5}}, 1},
        {"one point inside", {{5, 5}}, 1},
    };
    for (const Case &c : table)
        EXPECT_EQ(gpts_in_win(static_cast<Gint>(c.pts.size()), c.pts.data()), c.expect) << c.what;
    EXPECT_EQ(gpts_in_win(0, nullptr), 0);
}

TEST(Transformations, PrintWin) {
    ginit_tran(0);
    const Glim win{-1, 2, -3, 4};
    gset_win(1, &win);
    gsel_norm_tran(1);
    testing::internal::CaptureStdout();
    gprint_win();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "C-1:  -1.000   2.000  -3.000   4.000\n"
                                                      "W-0:   0.000   1.000   0.000   1.000\n"
                                                      "W-1:  -1.000   2.000  -3.000   4.000\n"
                                                      "W-2:   0.000   1.000   0.000   1.000\n"
                                                      "W-3:   0.000   1.000   0.000   1.000\n");
}

} // namespace
