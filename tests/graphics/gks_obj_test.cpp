// The display list's switches and object requests.
#include "graphics/gks_obj.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/gks.h"
#include "support/child.h"

namespace {

// The recording switch starts off and hands back its previous value;
// zeqredraw "no" in any case turns it off at a new list, other values leave
// it; the event switch starts on.
TEST(DisplayList, Switches) {
    EXPECT_EQ(gget_redraw(), 0);
    EXPECT_EQ(gget_cache(), 1);
    EXPECT_EQ(gset_redraw(1), 0);
    EXPECT_EQ(gset_redraw(1), 1);
    setenv("zeqredraw", "yes", 1);
    ginit_objs();
    EXPECT_EQ(gget_redraw(), 1);
    setenv("zeqredraw", "No", 1);
    ginit_objs();
    EXPECT_EQ(gget_redraw(), 0);
    EXPECT_EQ(gset_cache(0), 0);
    EXPECT_EQ(gget_cache(), 0);
}

// No object is stored, recording on or off; segments are removed only while
// recording is on.
TEST(DisplayList, RequestsStoreNothing) {
    const Glim lim{0, 1, 0, 1};
    for (int rec : {0, 1}) {
        gset_redraw(rec);
        for (int i = 0; i < 1200; ++i)
            EXPECT_EQ(gnew_obj(17, 2, sizeof lim, &lim), nullptr);
        EXPECT_EQ(gdel_seg_objs(4), rec ? 0 : -1);
        EXPECT_EQ(gclear_objs(), 0);
    }
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
