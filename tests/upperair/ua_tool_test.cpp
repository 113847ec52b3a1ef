// Upper-air input tools and listings: the input convention and file, station
// listing, search and prompt with their exit statuses, the level menu and its
// file (prompts answered from a fed standard input in a child process);
// golden listings of a fixture report and the rows of the thermodynamic and
// wind tables on their two message kinds.
#include "upperair/ua_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fields/var_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"
#include "upperair/ua_read.h"

namespace {

constexpr float M = FMISSING;

// Shows exactly the message kinds of the mask.
void show_only(M_type kinds) {
    MESS_set(0, kinds);
    MESS_set(-1, ~kinds);
}

std::string captured(const std::function<void()> &print) {
    testing::internal::CaptureStdout();
    print();
    return testing::internal::GetCapturedStdout();
}

// Dodge City: five significant levels (the last without dew point), four
// winds, the surface, three mandatory levels, tropopause and maximum wind.
UPA_report fixture_report() {
    UPA_report r;
    std::memset(&r, 0, sizeof r);
    UPA_initialize(&r);
    std::snprintf(r.id, sizeof r.id, "%s", "KDDC");
    r.wmo = 72451;
    r.lat = 37.77f;
    r.lon = -99.97f;
    r.elev = 790;
    r.man[0] = {921, 790, 18.2f, 10.4f, 180, 12};
    r.man[3] = {850, 1470, 14.0f, 8.0f, 200, 25};
    r.man[4] = {700, 3110, 2.5f, -5.5f, 230, 30};
    r.man[5] = {500, 5790, -14.3f, -25.3f, 250, 45};
    r.man[22] = {210, M, -55.1f, M, 260, 60};
    r.man[23] = {250, M, M, M, 265, 85};
    r.numman = 24;
    const UPA_sig_level sig[] = {
        {921, 18.2f, 10.4f}, {850, 14.0f, 8.0f}, {780, 9.6f, -2.4f}, {700, 2.5f, -5.5f}, {610, -4.1f, M}};
    for (const UPA_sig_level &s : sig)
        r.sig[r.numsig++] = s;
    const UPA_wind_level wnd[] = {{0, 180, 12}, {3000, 195, 20}, {6000, 210, 28}, {9000, 225, 31}};
    for (const UPA_wind_level &w : wnd)
        r.wnd[r.numwnd++] = w;
    return r;
}

// ---- Input files ------------------------------------------------------------------------------

using zeqtest::ChildResult;
using zeqtest::run_child;
using zeqtest::TempDir;

// The invented stations of tests/data/upa_test.cty: identifier, WMO number,
// position and elevation, one report each.
std::vector<UPA_report> station_reports() {
    std::vector<UPA_report> out;
    std::ifstream in(std::string(ZEQ_TEST_DATA) + "/upa_test.cty");
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        std::string name, state, country, id, prior;
        float lat, lon, elev;
        int wmo;
        if (!(f >> name >> state >> country >> id >> prior >> lat >> lon >> elev >> wmo)) continue;
        UPA_report r;
        UPA_initialize(&r);
        std::snprintf(r.id, sizeof r.id, "%s", id.c_str());
        r.wmo = wmo;
        r.lat = lat;
        r.lon = lon;
        r.elev = elev;
        r.man[0] = {950, elev, 20, 10, 180, 10};
        r.man[5] = {500, 5700, -15.1f, -25.1f, 250, 40};
        r.numman = 6;
        out.push_back(r);
    }
    return out;
}

// Writes the stations as an upper-air file of the given type; its name.
std::string station_file(const TempDir &dir, int type) {
    const std::string name = dir.file(type == UPA_TEXT_POS ? "stations.upa" : "stations.nc");
    int t = type;
    const int fd = UPA_open(name.c_str(), 1, &t);
    EXPECT_GE(fd, 0);
    UPA_info info{};
    std::snprintf(info.datim, sizeof info.datim, "%s", "12Z 08 DEC 26");
    std::snprintf(info.file, sizeof info.file, "%s", "26120812");
    EXPECT_EQ(UPA_putinfo(fd, &info), 0);
    int n = 0;
    for (const UPA_report &r : station_reports()) {
        int rec = n;
        EXPECT_EQ(UPA_write(fd, &r, UPA_READ_ALL, &rec), 0);
        ++n;
    }
    EXPECT_EQ(UPA_close(fd), 0);
    return name;
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

TEST(UpaInput, NameConventionFromInFile) {
    struct Case {
        const char *in_file; // null: no resource
        const char *conv;    // the file name template chosen
    };
    for (const Case &c : {Case{nullptr, "%y%m%d%h.upa"}, Case{"upa_snd", "%y%m%d%h_upa.raw"},
                          Case{"upa_snd,UPA", "%y%m%d%h.upa"}, Case{"upa,upa_snd", "%y%m%d%h_upa.raw"}}) {
        const ChildResult r = run_child([&] {
            RES_put("file_path", ZEQ_SOURCE_DIR "/data");
            if (c.in_file != nullptr) RES_put("in_file", c.in_file);
            UPA_in_file();
            char conv[FILE_NAME_SIZE];
            FILE_get_name_conv(conv);
            std::printf("%d %s\n", FLAG_get(FLAG_INPUT), conv);
            return 0;
        });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("20 "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::string(c.conv) + " "), std::string::npos)
            << (c.in_file ? c.in_file : "none") << ": " << r.out;
    }
}

TEST(UpaInput, OpenReadRewindAndDate) {
    TempDir dir;
    const std::string name = station_file(dir, UPA_TEXT_POS);
    testing::internal::CaptureStdout();
    ASSERT_EQ(UPA_open_file(name.c_str()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Date: 12Z 08 DEC 26\n");
    EXPECT_STREQ(UPA_get_datim(), "12Z 08 DEC 26");
    Date d;
    UPA_get_date(&d);
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 8);
    EXPECT_EQ(d.hour, 12);

    UPA_report r;
    std::vector<std::string> ids;
    while (UPA_read_station(&r) == 0)
        ids.push_back(r.id);
    ASSERT_EQ(ids.size(), 17u);
    EXPECT_EQ(ids.front(), "QAMB");
    EXPECT_EQ(ids.back(), "QPIN");
    EXPECT_EQ(UPA_read_station(&r), -1); // still at the end
    UPA_rewind_file();
    ASSERT_EQ(UPA_read_station(&r), 0);
    EXPECT_STREQ(r.id, "QAMB");
    EXPECT_EQ(r.man[5].t, -15.1f); // read whole
    EXPECT_EQ(UPA_close_file(), 0);

    // A new date of the caller's, or the date of the last file name.
    const Date mine = {2024, 7, 1, 183, 1, 6, 0, 0};
    UPA_set_date(&mine);
    UPA_get_date(&d);
    EXPECT_EQ(d.jday, 183);

    testing::internal::CaptureStderr();
    EXPECT_EQ(UPA_open_file(dir.file("none.upa").c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "UPA_open_file: Unable to open file:" + dir.file("none.upa") + "\n");
}

const char *const kList = "Possible stations\n"
                          "QAMB  QRT QBEL QCAR QDUN QELM QFOX QGAR QHAL QIVY QJAY QKEL QLOM QMOR QNED \n"
                          "QOAK QPIN \n\n";

// The station prompt over an input file, with resources and an answer text.
ChildResult station_prompt(const std::string &file, const char *identifier, const std::string &answers) {
    return run_child(
        [&] {
            if (identifier != nullptr) RES_put("identifier", identifier);
            if (UPA_open_file(file.c_str()) != 1) return 99;
            UPA_report r;
            const int rc = UPA_prompt_station(&r);
            std::printf("chosen %d %s %d\n", rc, r.id, r.wmo);
            return 0;
        },
        {answers});
}

TEST(UpaStationPrompt, IdentifierResource) {
    TempDir dir;
    const std::string file = station_file(dir, UPA_TEXT_POS);
    ChildResult r = station_prompt(file, "list", "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("Date: 12Z 08 DEC 26\n") + kList);

    r = station_prompt(file, "QZZZ", "QRT\n");
    EXPECT_EQ(r.status, 31);
    EXPECT_EQ(count(r.out, "Searching for QZZZ..."), 1u);
    EXPECT_EQ(r.out.find("Enter station"), std::string::npos);
    EXPECT_EQ(r.out.find("Possible stations"), std::string::npos);
    EXPECT_EQ(r.err, "UPA_get_station: No such station:QZZZ\nUnable to find a station\n");

    r = station_prompt(file, "qpin", "");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("chosen 1 QPIN 91017\n"), std::string::npos) << r.out;
}

struct AnswerCase {
    const char *what;
    int type;             // file type of the input
    const char *answers;  // standard input
    int status;           // exit status
    const char *chosen;   // station chosen; null when none
    const char *searched; // a search the output shows
    std::size_t prompts;  // prompts printed
};

void PrintTo(const AnswerCase &c, std::ostream *os) {
    *os << c.what;
}

class UpaStationAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(UpaStationAnswers, Outcome) {
    const AnswerCase &c = GetParam();
    TempDir dir;
    const ChildResult r = station_prompt(station_file(dir, c.type), nullptr, c.answers);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out.rfind(std::string("Date: 12Z 08 DEC 26\n") + kList, 0), 0u) << r.out;
    EXPECT_EQ(count(r.out, "Enter station to be used in the analysis: "), c.prompts) << r.out;
    if (c.searched != nullptr) {
        EXPECT_NE(r.out.find(c.searched), std::string::npos) << r.out;
    }
    if (c.chosen != nullptr) {
        EXPECT_NE(r.out.find(std::string("chosen 1 ") + c.chosen), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.out.find("chosen"), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("Unable to find a station\n") != std::string::npos, c.status == 31) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UpaStationAnswers,
    testing::Values(AnswerCase{"three_letters_upper_cased", UPA_TEXT_POS, "qrt\n", 0, "QRT 91002",
                               "Searching for QRT...", 1},
                    AnswerCase{"four_letters_as_typed", UPA_TEXT_POS, "qamb\n", 0, "QAMB 91001",
                               "Searching for qamb...", 1},
                    AnswerCase{"wmo_number_text_file", UPA_TEXT_POS, "91003\n", 0, "QBEL 91003",
                               "Searching for 91003...", 1},
                    AnswerCase{"wmo_number_netcdf", UPA_CDF_STATION, "91016\n", 0, "QOAK 91016", nullptr, 1},
                    AnswerCase{"netcdf_identifier", UPA_CDF_STATION, "qpin\n", 0, "QPIN 91017", nullptr, 1},
                    AnswerCase{"exit", UPA_TEXT_POS, "exit\nQRT\n", 0, nullptr, nullptr, 1},
                    AnswerCase{"fifth_answer_counts", UPA_TEXT_POS, "a1\nb2\nc3\nd4\nQELM\n", 0, "QELM 91006",
                               "Searching for d4...", 5},
                    AnswerCase{"five_wrong_answers", UPA_TEXT_POS, "a1\nb2\nc3\nd4\ne5\nQRT\n", 31, nullptr,
                               "Searching for e5...", 5},
                    AnswerCase{"end_of_input", UPA_TEXT_POS, "a1\n", 31, nullptr, "Searching for a1...", 2}),
    [](const testing::TestParamInfo<AnswerCase> &info) { return std::string(info.param.what); });

TEST(UpaStationPrompt, OnceOnly) {
    TempDir dir;
    const std::string file = station_file(dir, UPA_TEXT_POS);
    const ChildResult r = run_child(
        [&] {
            UPA_open_file(file.c_str());
            UPA_report rep;
            const int first = UPA_prompt_station(&rep);
            const int second = UPA_prompt_station(&rep);
            UPA_set_prompt(1);
            const int third = UPA_prompt_station(&rep);
            std::printf("%d %d %d %s\n", first, second, third, rep.id);
            return 0;
        },
        {"qrt\nqamb\n"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "Enter station"), 2u);
    EXPECT_NE(r.out.find("1 0 1 QAMB\n"), std::string::npos) << r.out;
}

// ---- Levels ---------------------------------------------------------------------------------

// The level prompt in a child: the program named tarnisk with its menu files
// along file_path = dir; prints the result, flag slots 8 and 7 and the level
// text.
ChildResult level_prompt(const TempDir &dir, const std::function<void()> &setup, const std::string &answers,
                         int calls = 1) {
    return run_child(
        [&] {
            setenv("zeqdefault", dir.path().c_str(), 1);
            std::string prog = "/usr/bin/tarnisk";
            char *argv[] = {prog.data(), nullptr};
            const res_type none[] = {RES_null};
            RES_init(1, argv, none, none);
            RES_put("file_path", dir.path().c_str());
            setup();
            for (int i = 0; i < calls; ++i) {
                const int rc = UPA_prompt_level();
                std::printf("=> %d %d %ld %s\n", rc, FLAG_get(FLAG_LEVEL), FLAG_getl(FLAG_LTYPE),
                            VAR_get_level_str());
            }
            return 0;
        },
        {answers});
}

TEST(UpaLevelPrompt, ResourceAndBatch) {
    TempDir dir;
    ChildResult r = level_prompt(
        dir, [] { FLAG_set_batch(1); }, "", 2);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "=> 1 500 100 500\n=> 0 500 100 500\n");
    r = level_prompt(
        dir, [] { RES_put("level", "sfc-500mb"); }, "");
    EXPECT_EQ(r.out, "=> 1 50190 101 sfc-500mb\n");
}

struct MenuCase {
    const char *answers;
    const char *result; // the last line printed
};

TEST(UpaLevelPrompt, BuiltInMenu) {
    TempDir dir;
    for (const MenuCase &c : {MenuCase{"700mb\n", "=> 1 700 100 700mb"}, // row 6 by abbreviation
                              MenuCase{"6\n", "=> 1 700 100 700mb"},     // and by number
                              MenuCase{"650mb\n", "=> 1 650 100 650mb"}, // no row: as typed
                              MenuCase{"19\n", "=> 1 0 7 trop"}, MenuCase{"back\n", "=> 0 -9999 -9999 "}}) {
        const ChildResult r = level_prompt(
            dir, [] {}, c.answers);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\n        Vertical Level Menu\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("  6: 700 mb"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(" 21: Whole sounding"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::string(c.result) + "\n"), std::string::npos) << c.answers << r.out;
    }
    // Going back leaves the prompt armed; exit and the end of input end the program.
    ChildResult r = level_prompt(
        dir, [] {}, "back\n500mb\n", 2);
    EXPECT_LT(r.out.find("=> 0 -9999 -9999 \n"), r.out.find("=> 1 500 100 500mb\n")) << r.out;
    EXPECT_NE(r.out.find("=> 1 500 100 500mb\n"), std::string::npos) << r.out;
    r = level_prompt(
        dir, [] {}, "exit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("=> "), std::string::npos) << r.out;
    r = level_prompt(
        dir, [] {}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("=> "), std::string::npos) << r.out;
}

TEST(UpaLevelPrompt, MenuFileRows) {
    TempDir dir;
    zeqtest::write_file(dir.file("tarnisk.lev"),
                        "sfc     Surface_level                 1\n"
                        "850mb   850_mb                        0\n"
                        "\n"
                        "lowest  Lowest_model_layer___         ft=12,mo=eta&ft=00\n"
                        "jet     Jet_level                     mo=gfs\n"
                        "trop    Tropopause                    mo=eta&zz=1\n"
                        "averyverylongabbr A_name_much_longer_than_thirty_characters 1\n"
                        "nodisplay\n"
                        "700mb   700_mb                        1\n");
    struct Case {
        const char *model, *time;
        const char *answers;
        std::vector<const char *> shown, hidden;
        const char *result;
    };
    for (const Case &c : {Case{"eta",
                               "00",
                               "2\n",
                               {"  1: Surface level", "  2: Lowest model layer ",
                                "  3: A name much longer than thirty\n", "  4: 700 mb"},
                               {"850", "Jet", "Tropopause", "  5:"},
                               "=> 1 -9999 -9999 lowest"},
                          Case{"gfs",
                               "00",
                               "averyver\n",
                               {"  2: Jet level", "  3: A name much longer"},
                               {"Lowest", "  5:"},
                               "=> 1 -9999 -9999 averyver"},
                          Case{"gfs", "00", "4\n", {"  4: 700 mb"}, {}, "=> 1 700 100 700mb"}}) {
        const ChildResult r = level_prompt(
            dir,
            [&] {
                VAR_set_model_str(c.model);
                VAR_set_time_str(c.time);
            },
            c.answers);
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char *row : c.shown)
            EXPECT_NE(r.out.find(row), std::string::npos) << c.model << ": " << row << "\n" << r.out;
        for (const char *row : c.hidden)
            EXPECT_EQ(r.out.find(row), std::string::npos) << c.model << ": " << row << "\n" << r.out;
        EXPECT_NE(r.out.find(std::string(c.result) + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("tarnisk.lev: line 8: no display field"), std::string::npos) << r.err;
    }
}

TEST(UpaLevelPrompt, MenuFileOfManyRows) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 45; ++i)
        text += "l" + std::to_string(i) + " Level_" + std::to_string(i) + " 1\n";
    zeqtest::write_file(dir.file("tarnisk.lev"), text);
    ChildResult r = level_prompt(
        dir, [] {}, "38\n");
    EXPECT_NE(r.out.find("Level 38"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Level 39"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("=> 1 -9999 -9999 l38\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("more than 38 levels"), std::string::npos) << r.err;
    // No row 39: the number is taken as typed.
    r = level_prompt(
        dir, [] {}, "39\n");
    EXPECT_NE(r.out.find("=> 1 39 100 39\n"), std::string::npos) << r.out;
}

// ---- Report listings ------------------------------------------------------------------

TEST(UpaListings, LocateBlock) {
    UPA_report r = fixture_report();
    UPA_set_datim("12Z 15 JAN 26");
    EXPECT_EQ(captured([&] { UPA_print_locate(M_OUT1, &r); }), "Date:12Z 15 JAN 26\n"
                                                               "Station: KDDC\n"
                                                               "WMO ident:  72451\n"
                                                               "Latitude:   37.77\n"
                                                               "Longitude: -99.97\n"
                                                               "Elevation: 790.00\n");
    // Unknown number and position are left out.
    r.wmo = MISSING;
    r.lat = r.lon = r.elev = M;
    EXPECT_EQ(captured([&] { UPA_print_locate(M_OUT1, &r); }), "Date:12Z 15 JAN 26\nStation: KDDC\n");
    // Another kind than the one shown prints nothing.
    show_only(M_OUT1);
    EXPECT_EQ(captured([&] { UPA_print_locate(M_OUT2, &r); }), "");
}

const char *const kMan = "     Press    Height   Temp    Dewpt     Dir    Spd\n"
                         "SFC   921.0      790     18.2    10.4     180     12\n"
                         "      850.0     1470     14.0     8.0     200     25\n"
                         "      700.0     3110      2.5    -5.5     230     30\n"
                         "      500.0     5790    -14.3   -25.3     250     45\n"
                         "TROP  210.0    -9999    -55.1 -9999.0     260     60\n"
                         "MWND  250.0    -9999  -9999.0 -9999.0     265     85\n";
// Five levels: 0 beside 3, 1 beside 4, 2 alone.
const char *const kSig = "Press    Temp    Dewpt     Press    Temp    Dewpt\n"
                         " 921.0     18.2    10.4     700.0      2.5    -5.5\n"
                         " 850.0     14.0     8.0     610.0     -4.1 -9999.0\n"
                         " 780.0      9.6    -2.4\n";
const char *const kWnd = "Height    Dir    Spd     Height    Dir    Spd\n"
                         "     0     180     12      6000     210     28\n"
                         "  3000     195     20      9000     225     31\n";
const char *const kStation = "STA:  KDDC WMO: 72451 LAT:   37.77 LON:  -99.97\n";

TEST(UpaListings, GoldenReportAndItsPieces) {
    const UPA_report r = fixture_report();
    EXPECT_EQ(captured([&] { UPA_print_report(M_OUT1, &r); }), std::string(kMan) + kSig + kWnd + "\n");
    EXPECT_EQ(captured([&] { UPA_print_man(M_OUT1, &r); }), std::string(kStation) + kMan);
    EXPECT_EQ(captured([&] { UPA_print_sig(M_OUT1, &r); }), std::string(kStation) + kSig);
    EXPECT_EQ(captured([&] { UPA_print_wnd(M_OUT1, &r); }), std::string(kStation) + kWnd + "\n");
}

TEST(UpaListings, TwoColumnsByCount) {
    UPA_report r = fixture_report();
    // An even count fills both columns; one level stands alone; none prints
    // only the header; a corrupt count is held to the report's capacity.
    r.numsig = 4;
    EXPECT_EQ(captured([&] { UPA_print_sig(M_OUT1, &r); }),
              std::string(kStation) + "Press    Temp    Dewpt     Press    Temp    Dewpt\n"
                                      " 921.0     18.2    10.4     780.0      9.6    -2.4\n"
                                      " 850.0     14.0     8.0     700.0      2.5    -5.5\n");
    r.numwnd = 1;
    EXPECT_EQ(captured([&] { UPA_print_wnd(M_OUT1, &r); }),
              std::string(kStation) +
                  "Height    Dir    Spd     Height    Dir    Spd\n     0     180     12\n\n");
    r.numsig = 0;
    r.numwnd = -3;
    EXPECT_EQ(captured([&] { UPA_print_sig(M_OUT1, &r); }),
              std::string(kStation) + "Press    Temp    Dewpt     Press    Temp    Dewpt\n");
    r.numsig = 100000;
    const std::vector<std::string> lines = zeqtest::text_lines(captured([&] { UPA_print_sig(M_OUT1, &r); }));
    EXPECT_EQ(lines.size(), 2u + UPA_MAX_SIG / 2);
}

// ---- Thermodynamic table ------------------------------------------------------------------

const char *const kHeader1 = "---------------------------------------\n"
                             "LEV PRES  HGHT  TEMP  DEWP  RH DIR SPD\n"
                             "     mb     m     C     C    % deg knt\n"
                             "---------------------------------------\n";
const char *const kHeader12 =
    "-------------------------------------------------------------------------------\n"
    "LEV PRES  HGHT  TEMP  DEWP  RH  DD   WETB DIR SPD THETA THE-V THE-W THE-E   W\n"
    "     mb     m     C     C    %   C     C  deg knt   K     K     K     K    g/kg\n"
    "-------------------------------------------------------------------------------\n";

TEST(UpaLevelTable, HeaderOnOneOrTwoKinds) {
    show_only(M_OUT1);
    EXPECT_EQ(captured([] { UPA_print_level(M_OUT1, M_OUT2, 0, nullptr); }), kHeader1);
    show_only(M_OUT1 | M_OUT2);
    EXPECT_EQ(captured([] { UPA_print_level(M_OUT1, M_OUT2, 0, nullptr); }), kHeader12);
}

struct RowCase {
    const char *what;
    int ind;
    UPA_level level;
    bool dash;
    const char *row; // both kinds shown
};

void PrintTo(const RowCase &c, std::ostream *os) {
    *os << c.what;
}

class UpaLevelRow : public testing::TestWithParam<RowCase> {};

TEST_P(UpaLevelRow, Columns) {
    const RowCase &c = GetParam();
    if (c.dash) UPA_set_miss_dash();
    EXPECT_EQ(captured([&] { UPA_print_level(M_OUT1, M_OUT2, c.ind, &c.level); }), c.row) << c.what;
}

// The derived columns of 20 C over 10 C at 1000 mb: RH 53 %, wet bulb
// 14.0 C, theta 293.1 K, virtual theta 294.5 K, theta-w 287.2 K, theta-e
// 315.3 K, mixing ratio 7.72 g/kg (each near its textbook value, see below).
INSTANTIATE_TEST_SUITE_P(
    Rows, UpaLevelRow,
    testing::Values(
        RowCase{"full row",
                3,
                {1000, 110, 20, 10, 270, 15},
                false,
                "  3 1000   110  20.0  10.0  53 10.0  14.0 270  15 293.1 294.5 287.2 315.3  7.72\n"},
        RowCase{"surface label above 500 mb",
                -1,
                {850, 1500, M, M, M, M},
                false,
                "SFC  850  1500                                                                 \n"},
        RowCase{"plain number at 450 mb",
                -1,
                {450, M, M, M, M, M},
                false,
                " -1  450                                                                       \n"},
        RowCase{"tropopause",
                -2,
                {200, M, M, M, M, M},
                false,
                "TRP  200                                                                       \n"},
        RowCase{"max wind",
                -3,
                {250, M, M, M, M, M},
                false,
                "WND  250                                                                       \n"},
        RowCase{"parcel",
                -4,
                {M, M, M, M, M, M},
                false,
                "PAR                                                                            \n"},
        RowCase{"lcl",
                -5,
                {M, M, M, M, M, M},
                false,
                "LCL                                                                            \n"},
        RowCase{"lfc",
                -6,
                {M, M, M, M, M, M},
                false,
                "LFC                                                                            \n"},
        RowCase{"el",
                -7,
                {M, M, M, M, M, M},
                false,
                " EL                                                                            \n"},
        RowCase{"mpl",
                -8,
                {M, M, M, M, M, M},
                false,
                "MPL                                                                            \n"},
        RowCase{"wet-bulb zero",
                -9,
                {M, M, M, M, M, M},
                false,
                "WBZ                                                                            \n"},
        RowCase{"freezing level",
                -10,
                {M, M, M, M, M, M},
                false,
                "FRZ                                                                            \n"},
        RowCase{"other negative",
                -11,
                {M, M, M, M, M, M},
                false,
                "-11                                                                            \n"},
        RowCase{"below 10 mb",
                12,
                {5.5f, M, M, M, M, M},
                false,
                " 12  5.5                                                                       \n"},
        RowCase{"no dew point, blanks",
                4,
                {1000, 110, 0, M, M, M},
                false,
                "  4 1000   110   0.0                              273.1                        \n"},
        RowCase{"no dew point, dashes",
                4,
                {1000, 110, 0, M, M, M},
                true,
                "  4 1000   110   0.0     -   -    -     -   -   - 273.1     -     -     -     -\n"}),
    [](const testing::TestParamInfo<RowCase> &info) {
        std::string name;
        for (const char *p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(UpaLevelTable, RowSplitsOverTheKinds) {
    const UPA_level l = {1000, 110, 20, 10, 270, 15};
    show_only(M_OUT1);
    EXPECT_EQ(captured([&] { UPA_print_level(M_OUT1, M_OUT2, 3, &l); }),
              "  3 1000   110  20.0  10.0  53 270  15 \n");
    show_only(M_OUT2);
    EXPECT_EQ(captured([&] { UPA_print_level(M_OUT1, M_OUT2, 3, &l); }),
              "10.0  14.0 293.1 294.5 287.2 315.3  7.72");
}

// The derived columns of the full row against textbook formulas in Python:
// Bolton's vapour pressure and equivalent potential temperature, Poisson's
// equation, and the wet bulb by bisection on the psychrometric balance.
TEST(UpaLevelTable, DerivedColumnsAgainstTextbookValues) {
    const std::string out = zeqtest::run_python(R"(
import math
T, Td, p = 293.15, 283.15, 1000.0
def es(tk): return 6.112 * math.exp(17.67 * (tk - 273.15) / (tk - 29.65))
e = es(Td)
w = 622.0 * e / (p - e)
rh = 100.0 * e / es(T)
theta = T * (1000.0 / p) ** 0.2857
thv = T * (1 + 0.61 * w / 1000.0) * (1000.0 / p) ** 0.2857
tl = 2840.0 / (3.5 * math.log(T) - math.log(e) - 4.805) + 55.0
the = T * (1000.0 / p) ** (0.2854 * (1 - 0.28e-3 * w)) * math.exp((3.376 / tl - 0.00254) * w * (1 + 0.81e-3 * w))
# Wet bulb: the saturated point reached along the moist adiabat from the LCL,
# found as the temperature whose saturated theta-e equals the parcel's.
def the_sat(t, pr):
    ws = 622.0 * es(t) / (pr - es(t))
    return t * (1000.0 / pr) ** (0.2854 * (1 - 0.28e-3 * ws)) * math.exp((3.376 / t - 0.00254) * ws * (1 + 0.81e-3 * ws))
def sat_t(target, pr):
    lo, hi = 200.0, 330.0
    for _ in range(80):
        mid = (lo + hi) / 2
        if the_sat(mid, pr) < target: lo = mid
        else: hi = mid
    return lo
tw = sat_t(the, p)
thw = sat_t(the, 1000.0)
print(round(rh), round(tw - 273.15, 1), round(theta, 1), round(thv, 1), round(thw, 1), round(the, 1), round(w, 2))
)",
                                                "");
    std::vector<double> ref;
    std::istringstream in(out);
    for (double v; in >> v;)
        ref.push_back(v);
    ASSERT_EQ(ref.size(), 7u) << out;
    const UPA_level l = {1000, 110, 20, 10, 270, 15};
    show_only(M_OUT2);
    std::istringstream row(captured([&] { UPA_print_level(M_OUT1, M_OUT2, 3, &l); }));
    double dd, wetb, theta, thv, thw, the, w;
    row >> dd >> wetb >> theta >> thv >> thw >> the >> w;
    show_only(M_OUT1);
    std::istringstream row1(captured([&] { UPA_print_level(M_OUT1, M_OUT2, 3, &l); }));
    double ind, p, h, t, td, rh;
    row1 >> ind >> p >> h >> t >> td >> rh;
    EXPECT_NEAR(rh, ref[0], 1.01);
    EXPECT_NEAR(dd, 10.0, 1e-9);
    EXPECT_NEAR(wetb, ref[1], 0.3);
    EXPECT_NEAR(theta, ref[2], 0.15);
    EXPECT_NEAR(thv, ref[3], 0.3);
    EXPECT_NEAR(thw, ref[4], 0.5);
    EXPECT_NEAR(the, ref[5], 1.0);
    EXPECT_NEAR(w, ref[6], 0.1);
}

// ---- Wind table ------------------------------------------------------------------------------

TEST(UpaWindTable, HeaderWithAndWithoutStorm) {
    const char *const ground = "\nWind level data\n"
                               "------------------------------------\n"
                               "                   TRUE/GROUND REL   \n"
                               " LEV   P    H    DIR SPD   U     V   \n"
                               "       mb   m        knt     m/s     \n"
                               "------------------------------------\n";
    EXPECT_EQ(captured([] { UPA_print_wind(M_OUT1, M_OUT2, 0, nullptr, nullptr); }), ground);
    const WIND unknown = {M, 10};
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 0, nullptr, &unknown); }), ground);
    const WIND storm = {240, 15};
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 0, nullptr, &storm); }),
              "\nWind level data\n"
              "   Storm motion: 240 at  15 knt\n"
              "----------------------------------------------------------\n"
              "                   TRUE/GROUND REL   |     STORM REL\n"
              " LEV   P    H    DIR SPD   U     V   | DIR SPD   U     V\n"
              "       mb   m        knt     m/s     |     knt     m/s\n"
              "----------------------------------------------------------\n");
    // With the storm half on a kind that is off, the ground half keeps its lines.
    show_only(M_OUT1);
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 0, nullptr, &storm); }),
              "\nWind level data\n"
              "------------------------------------"
              "                   TRUE/GROUND REL   "
              " LEV   P    H    DIR SPD   U     V   "
              "       mb   m        knt     m/s     "
              "------------------------------------");
}

TEST(UpaWindTable, RowsInMetresPerSecond) {
    // A 20-knot west wind blows toward the east at 10.3 m/s.
    const UPA_level west = {850, 1500, M, M, 270, 20};
    const WIND calm_storm = {M, M};
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 2, &west, &calm_storm); }),
              "  2   850  1500  270  20  10.3   0.0\n");
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 2, &west, nullptr); }),
              "  2   850  1500  270  20  10.3   0.0\n");
    // Missing values are blanks; without a wind there is no relative half.
    const UPA_level nothing = {M, M, M, M, M, M};
    const WIND storm = {240, 15};
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 11, &nothing, &storm); }),
              " 11                                 \n");
}

// The storm-relative half against components computed in Python.
TEST(UpaWindTable, StormRelativeWind) {
    const std::string out = zeqtest::run_python(R"(
import math
def comp(d, s): return (-s * math.sin(math.radians(d)), -s * math.cos(math.radians(d)))
u, v = comp(270, 20)
us, vs = comp(240, 15)
du, dv = u - us, v - vs
spd = math.hypot(du, dv)
d = math.degrees(math.atan2(-du, -dv)) % 360
print("%3.0f %3.0f %5.1f %5.1f" % (d, spd, du * 0.5144, dv * 0.5144))
)",
                                                "");
    const UPA_level west = {850, 1500, M, M, 270, 20};
    const WIND storm = {240, 15};
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 2, &west, &storm); }),
              "  2   850  1500  270  20  10.3   0.0 | " + out.substr(0, out.size() - 1) + " \n");
    // The relative half alone on its kind.
    show_only(M_OUT2);
    EXPECT_EQ(captured([&] { UPA_print_wind(M_OUT1, M_OUT2, 2, &west, &storm); }),
              " | " + out.substr(0, out.size() - 1) + " \n");
}

} // namespace
