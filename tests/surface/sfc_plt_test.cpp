// Input kind and variable prompt of the surface driver.
#include <gtest/gtest.h>

#include <string>

#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "surface/sfc_plt.h"

namespace {

TEST(InputKind, WordsOfInputThenInFile) {
    struct Case {
        const char *input;
        const char *in_file;
        int kind;
    };
    const Case cases[] = {
        {nullptr, nullptr, 10},     {"front", nullptr, 11},     {"forfront", nullptr, 11},
        {"sfc,front", nullptr, 11}, {"front,sfc", nullptr, 10}, {"sfc_front", nullptr, 11},
        {"front", "sfc_x", 10},     {"front", "grd", 11},       {nullptr, "front", 11},
        {"FRONT", nullptr, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.input ? c.input : "-") + " / " + (c.in_file ? c.in_file : "-"));
        FLAG_reset(MISSING);
        RES_put("input", c.input);
        RES_put("in_file", c.in_file);
        EXPECT_EQ(SFC_cvt_in_file(), 0);
        EXPECT_EQ(FLAG_get(14), c.kind);
    }
}

TEST(VariablePrompt, ResourceIsUsedOncePerArming) {
    FLAG_reset(MISSING);
    RES_put("variable", "temp");
    EXPECT_EQ(SFC_prompt_variable(), 1);
    EXPECT_EQ(FLAG_get(7), 1);
    EXPECT_EQ(SFC_prompt_variable(), 0);
    SFC_set_prompt_variable(1);
    EXPECT_EQ(SFC_prompt_variable(), 1);
    SFC_set_prompt_variable(0);
    EXPECT_EQ(SFC_prompt_variable(), 0);
}

TEST(VariablePrompt, OverlongSpecificationIsRefused) {
    FLAG_reset(MISSING);
    RES_put("variable", std::string(80, 'v').c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(SFC_prompt_variable(), 0);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("SFC_prompt_variable: Variable specification longer"),
        std::string::npos);
    EXPECT_EQ(FLAG_get(7), MISSING);
    RES_put("variable", std::string(79, 'v').c_str());
    SFC_set_prompt_variable(1);
    EXPECT_EQ(SFC_prompt_variable(), 1);
}

} // namespace
