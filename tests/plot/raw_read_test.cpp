// Point-data files: byte-exact round trips of the file kinds through the
// reader and the writer (field lists, a pressure list, positions only, bare
// records from standard input, pipes), the record cases of the reader, record
// jumps and rewinds, the slot table, the field table, and the writer's value
// kinds with formats from resources.
#include "plot/raw_read.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plot/raw_tool.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

const std::string DATA = ZEQ_TEST_DATA "/raw/";

int open_file(const std::string &name, int access, int type = 0) {
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    return RAW_open(buf.data(), access, &type);
}

RAW_info make_info(const char *datim, const char *text) {
    RAW_info info{};
    std::snprintf(info.datim, sizeof info.datim, "%s", datim);
    std::snprintf(info.info, sizeof info.info, "%s", text);
    return info;
}

RAW_report make_report(const char *id, float lat, float lon) {
    RAW_report r{};
    std::snprintf(r.id, sizeof r.id, "%s", id);
    r.lat = lat;
    r.lon = lon;
    r.value[0] = r.value[1] = FMISSING;
    r.type = 1;
    return r;
}

// Copies a point-data file through the reader and the writer: the header
// with its field list, then every record read field by field, each value
// written back as the text it was read from with its own format.
void copy_through(const std::string &in_name, const std::string &out_name) {
    const int in = open_file(in_name, 0);
    ASSERT_GE(in, 0) << in_name;
    RAW_info info{};
    if (RAW_getinfo(in, &info) != 0) info = make_info("12Z  5 JAN 24", "bare records");
    const int out = open_file(out_name, 1, 1);
    ASSERT_GE(out, 0) << out_name;
    const int num_field = RAW_get_num_field(in);
    const bool pressure = num_field > 0 && RAW_get_field_ind(in, "P") == 1;
    if (pressure) {
        // A pressure list is written as it stands, after the '!' line.
        RAW_info bang = make_info(info.datim, ("!" + std::string(info.info)).c_str());
        ASSERT_EQ(RAW_putinfo(out, &bang), 0);
        std::string list;
        for (int i = 0; i < num_field; ++i)
            list += std::string(" ") + RAW_get_field_name(in, i + 7);
        ASSERT_EQ(RAW_putheader(out, list.c_str()), 0);
    } else {
        for (int code = 10; code < num_field + 7; ++code) {
            RAW_set_field_name(out, code, RAW_get_field_name(in, code));
            RAW_set_field_info(out, code, RAW_get_field_info(in, code));
            RAW_set_field_fmt(out, code, RAW_get_field_fmt(in, code));
        }
        if (num_field == 3) RAW_set_field_name(out, 9, "lon");
        ASSERT_EQ(RAW_putinfo(out, &info), 0);
    }
    RAW_report r{};
    bool started = false;
    for (int n = 0;; ++n) {
        const int rc = RAW_read(in, &r, RAW_EACH_FIELD, &n);
        if (rc < 0) break;
        if (rc == 0) {
            RAW_write(out, &r, 5, n);
            started = false;
            continue;
        }
        if (!started) RAW_write(out, &r, 3, n);
        started = true;
        if (r.type == MISSING) continue;
        const char *field_fmt = RAW_get_field_fmt(in, r.type + 7);
        if (field_fmt != nullptr) {
            // Keep only the token's own format.
            const std::size_t len = std::strlen(field_fmt);
            std::string own = std::strlen(r.format) > len ? std::string(r.format + len + 1) : "";
            std::snprintf(r.format, sizeof r.format, "%s", own.c_str());
        }
        r.type = 1;
        RAW_write(out, &r, 0, n);
    }
    EXPECT_EQ(RAW_close(in), 0);
    EXPECT_EQ(RAW_close(out), 0);
}

void expect_copy_equal(const std::string &fixture) {
    TempDir dir;
    const std::string copy = dir.file("copy.raw");
    copy_through(DATA + fixture, copy);
    EXPECT_EQ(read_file(copy), read_file(DATA + fixture)) << fixture;
}

struct Field {
    std::string id;
    float lat, lon;
    int type;
    float v0, v1;
    std::string data, format;
};

// Every call of the each-field mode with the counter advancing per call, up
// to the end of the data: rc 1 calls as fields, rc 0 calls as "end" entries.
std::vector<Field> each_field(int slot) {
    std::vector<Field> got;
    RAW_report r{};
    for (int n = 0; n < 1000; ++n) {
        const int rc = RAW_read(slot, &r, RAW_EACH_FIELD, &n);
        if (rc < 0) break;
        got.push_back({r.id, r.lat, r.lon, rc == 0 ? -1 : r.type, r.value[0], r.value[1], r.data, r.format});
    }
    return got;
}

// ---- Round trips --------------------------------------------------------------

TEST(RoundTrip, FieldListWrittenReadAndWrittenAgain) {
    TempDir dir;
    const std::string name = dir.file("obs.raw");
    const int out = open_file(name, 1, 1);
    ASSERT_EQ(out, 0);
    RAW_set_field_name(out, 10, "temp");
    EXPECT_EQ(RAW_set_field_info(out, 10, "Air temperature"), 1);
    EXPECT_EQ(RAW_set_field_fmt(out, 10, "%.1f"), 1);
    RAW_set_field_name(out, 11, "dewp");
    EXPECT_EQ(RAW_set_field_info(out, 11, "Dew point"), 1);
    const RAW_info info = make_info("12Z  5 JAN 24", "surface observations");
    ASSERT_EQ(RAW_putinfo(out, &info), 0);
    RAW_report r = make_report("KDEN", 39.75f, -104.87f);
    EXPECT_EQ(RAW_write(out, &r, 3, 0), 0);
    std::snprintf(r.data, sizeof r.data, "12.5");
    EXPECT_EQ(RAW_write(out, &r, 0, 0), 1);
    std::snprintf(r.data, sizeof r.data, "-3.1");
    EXPECT_EQ(RAW_write(out, &r, 0, 0), 1);
    EXPECT_EQ(RAW_write(out, &r, 5, 0), 0);
    r = make_report("KCOS", 38.81f, -104.71f);
    RAW_write(out, &r, 3, 1);
    RAW_write(out, &r, 0, 1); // empty text: "-"
    std::snprintf(r.data, sizeof r.data, "-7");
    std::snprintf(r.format, sizeof r.format, "co=red");
    RAW_write(out, &r, 0, 1);
    RAW_write(out, &r, 5, 1);
    r = make_report("KPUB", 38.29f, -104.5f);
    r.type = 2;
    r.value[0] = 15.0f;
    RES_put("plot_format", "%.1f");
    RAW_write(out, &r, 3, 2);
    RAW_write(out, &r, 0, 2);
    RES_put("plot_format", "");
    r.type = 1;
    RAW_write(out, &r, 0, 2);
    RAW_write(out, &r, 5, 2);
    ASSERT_EQ(RAW_close(out), 0);
    EXPECT_EQ(read_file(name), read_file(DATA + "temp_dewp.raw"));

    // Read back: three location columns and two data fields.
    const int in = open_file(name, 0);
    ASSERT_GE(in, 0);
    RAW_info got{};
    ASSERT_EQ(RAW_getinfo(in, &got), 0);
    EXPECT_STREQ(got.datim, "12Z  5 JAN 24");
    EXPECT_STREQ(got.info, "surface observations");
    EXPECT_EQ(got.num_stat, MISSING);
    EXPECT_EQ(got.date.year, 2024);
    EXPECT_EQ(got.date.month, 1);
    EXPECT_EQ(got.date.day, 5);
    EXPECT_EQ(got.date.hour, 12);
    EXPECT_EQ(RAW_get_num_field(in), 5);
    EXPECT_STREQ(RAW_get_field_name(in, 10), "temp");
    EXPECT_STREQ(RAW_get_field_info(in, 10), "Air temperature");
    EXPECT_STREQ(RAW_get_field_fmt(in, 10), "%.1f");
    EXPECT_STREQ(RAW_get_field_name(in, 7), "id");
    const std::vector<Field> fields = each_field(in);
    ASSERT_EQ(fields.size(), 9u);
    const struct {
        const char *id;
        int type;
        float v0;
        const char *data, *format;
    } want[] = {
        {"KDEN", 3, 12.5f, "12.5", "%.1f"}, {"KDEN", 4, -3.1f, "-3.1", ""},  {"KDEN", -1, FMISSING, "", ""},
        {"KCOS", 3, FMISSING, "", "%.1f"},  {"KCOS", 4, -7, "-7", "co=red"}, {"KCOS", -1, FMISSING, "", ""},
        {"KPUB", 3, 15, "15.0", "%.1f"},    {"KPUB", 4, FMISSING, "", ""},   {"KPUB", -1, FMISSING, "", ""}};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].id, want[i].id) << i;
        EXPECT_EQ(fields[i].type, want[i].type) << i;
        EXPECT_FLOAT_EQ(fields[i].v0, want[i].v0) << i;
        EXPECT_EQ(fields[i].data, want[i].data) << i;
        EXPECT_EQ(fields[i].format, want[i].format) << i;
    }
    EXPECT_FLOAT_EQ(fields[0].lat, 39.75f);
    EXPECT_FLOAT_EQ(fields[0].lon, -104.87f);
    RAW_close(in);

    expect_copy_equal("temp_dewp.raw");
}

TEST(RoundTrip, PressureListGivesTwoLocationColumns) {
    const int in = open_file(DATA + "sounding.raw", 0);
    ASSERT_GE(in, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_STREQ(info.info, "KDEN Sounding");
    EXPECT_EQ(RAW_get_num_field(in), 7);
    const char *names[] = {"Lev", "P", "H", "T", "Td", "Dir", "Spd"};
    for (int i = 0; i < 7; ++i)
        EXPECT_STREQ(RAW_get_field_name(in, i + 7), names[i]);
    const std::vector<Field> f = each_field(in);
    // Four rows of five values, each with its end call.
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(f[0].id, "SFC");
    EXPECT_FLOAT_EQ(f[0].lat, 840);
    EXPECT_EQ(f[0].lon, FMISSING);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f[static_cast<std::size_t>(i)].type, i + 2);
    EXPECT_FLOAT_EQ(f[0].v0, 1611); // H
    EXPECT_FLOAT_EQ(f[3].v0, 180);  // Dir
    EXPECT_EQ(f[5].type, -1);
    EXPECT_EQ(f[12].id, "WIND");
    EXPECT_EQ(f[12].v0, FMISSING); // H "-"
    EXPECT_FLOAT_EQ(f[15].v0, 190);
    EXPECT_FLOAT_EQ(f[18].lat, 200); // TROP
    EXPECT_FLOAT_EQ(f[19].v0, -56.5f);
    RAW_close(in);

    // Records written under the pressure list carry one location column.
    expect_copy_equal("sounding.raw");
}

TEST(RoundTrip, PositionsOnlyKeepLatitudeAndLongitude) {
    // "id lat lon" alone is three location columns: the records keep their
    // positions and have no value.
    const int in = open_file(DATA + "positions.raw", 0);
    ASSERT_GE(in, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_EQ(RAW_get_num_field(in), 3);
    RAW_report r{};
    int n = 0;
    ASSERT_EQ(RAW_read(in, &r, RAW_EACH_FIELD, &n), 1);
    EXPECT_STREQ(r.id, "KDEN");
    EXPECT_FLOAT_EQ(r.lat, 39.75f);
    EXPECT_FLOAT_EQ(r.lon, -104.87f);
    EXPECT_EQ(r.type, MISSING);
    EXPECT_EQ(r.value[0], FMISSING);
    // The record without fields was delivered once; it ends on the next call.
    EXPECT_EQ(RAW_read(in, &r, RAW_EACH_FIELD, &n), 0);
    n = 1;
    ASSERT_EQ(RAW_read(in, &r, "lon", &n), 0);
    EXPECT_STREQ(r.id, "KCOS");
    EXPECT_FLOAT_EQ(r.value[0], -104.71f);
    RAW_close(in);
    expect_copy_equal("positions.raw");
}

TEST(RoundTrip, BareRecordsFromStandardInput) {
    TempDir dir;
    const std::string copy = dir.file("copy.raw");
    const auto child = zeqtest::run_child(
        [&] {
            char name[] = "stdn";
            int type = 1;
            const int slot = RAW_open(name, 0, &type);
            if (slot < 0 || type != 99 || std::strcmp(name, "-") != 0) return 1;
            RAW_info info{};
            if (RAW_getinfo(slot, &info) != -1) return 2;
            // The first line is the first record.
            RAW_report r{};
            int n = 0;
            if (RAW_read(slot, &r, 10, &n) != 0 || std::strcmp(r.id, "KDEN") != 0 || r.value[0] != 12)
                return 3;
            if (RAW_close(slot) != 0 || RAW_open(name, 0, &type) != 0) return 4; // the slot is free again
            RAW_close(0);
            return 0;
        },
        {read_file(DATA + "bare.txt")});
    EXPECT_EQ(child.status, 0) << child.err;

    const auto copied = zeqtest::run_child(
        [&] {
            copy_through("stdn", copy);
            return testing::Test::HasFailure() ? 1 : 0;
        },
        {read_file(DATA + "bare.txt")});
    EXPECT_EQ(copied.status, 0) << copied.out << copied.err;
    EXPECT_EQ(read_file(copy), "ZEQRAW\n12Z  5 JAN 24\nbare records\n" + read_file(DATA + "bare.txt") + "\n");
}

TEST(RoundTrip, ThroughPipes) {
    TempDir dir;
    const std::string piped = dir.file("piped.raw");
    copy_through("|cat " + DATA + "temp_dewp.raw", "|cat > " + piped);
    EXPECT_EQ(read_file(piped), read_file(DATA + "temp_dewp.raw"));

    // A pipe is read in sequence: asking for a record again reads on.
    const int in = open_file("|cat " + DATA + "records.raw", 0);
    ASSERT_GE(in, 0);
    RAW_info info{};
    RAW_getinfo(in, &info);
    RAW_report r{};
    for (int n : {0, 0, 3}) {
        ASSERT_EQ(RAW_read(in, &r, 2, &n), 0);
    }
    EXPECT_STREQ(r.id, "KABC"); // the third record, not the fourth
    EXPECT_FLOAT_EQ(r.lat, 40.5f);
    RAW_close(in);

    // A command that fails to take the output is a failed close.
    const int out = open_file("|cat > " + dir.file("no/such/dir/x.raw") + " 2>/dev/null", 1, 1);
    ASSERT_GE(out, 0);
    const RAW_info hdr = make_info("12Z  5 JAN 24", "lost");
    RAW_putinfo(out, &hdr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RAW_close(out), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("RAW_close: Unable to write file:"),
              std::string::npos);
}

// ---- Records ----------------------------------------------------------------------

TEST(Records, TheReaderCases) {
    const int in = open_file(DATA + "records.raw", 0);
    ASSERT_GE(in, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_EQ(RAW_get_num_field(in), 0);
    RAW_report r{};
    auto read = [&](int n, RAW_field f) {
        r.wmo = 123;
        return RAW_read(in, &r, f, &n);
    };
    // "-" "-" are a missing position; the data start at 12.
    ASSERT_EQ(read(0, 10), 0);
    EXPECT_EQ(r.lat, FMISSING);
    EXPECT_EQ(r.lon, FMISSING);
    EXPECT_FLOAT_EQ(r.value[0], 12);
    // One number after the identifier is data, not a position.
    ASSERT_EQ(read(1, 10), 0);
    EXPECT_EQ(r.lat, FMISSING);
    EXPECT_FLOAT_EQ(r.value[0], 12);
    EXPECT_STREQ(r.data, "12");
    EXPECT_EQ(r.wmo, 123); // four characters: not a WMO number
    // A name not in the list finds its "name=value" token.
    ASSERT_EQ(read(2, "dir"), 0);
    EXPECT_FLOAT_EQ(r.lat, 40.5f);
    EXPECT_FLOAT_EQ(r.lon, -105.25f);
    EXPECT_FLOAT_EQ(r.value[0], 270);
    EXPECT_FLOAT_EQ(r.value[1], 15);
    EXPECT_STREQ(r.data, "270,15");
    EXPECT_STREQ(r.format, "fm=%3.0f");
    ASSERT_EQ(read(2, "temp"), 0);
    EXPECT_FLOAT_EQ(r.value[0], 5);
    ASSERT_EQ(read(2, "none"), 0);
    EXPECT_EQ(r.value[0], FMISSING);
    EXPECT_STREQ(r.data, "");
    ASSERT_EQ(read(2, "id"), 0);
    EXPECT_STREQ(r.data, "KABC");
    // "-" is missing, "-5" a number, text has no value, ".5" is a number.
    const struct {
        int column;
        float value;
        const char *data;
    } tokens[] = {{0, FMISSING, ""}, {1, -5, "-5"}, {2, FMISSING, "abc"}, {3, 0.5f, ".5"}, {4, FMISSING, ""}};
    for (const auto &t : tokens) {
        ASSERT_EQ(read(3, 10 + t.column), 0);
        EXPECT_EQ(r.value[0], t.value) << t.column;
        EXPECT_STREQ(r.data, t.data) << t.column;
    }
    // Five digits: the WMO number.
    ASSERT_EQ(read(4, 2), 0);
    EXPECT_EQ(r.wmo, 72469);
    EXPECT_FLOAT_EQ(r.value[0], 72469);
    // The empty line ends the data.
    ASSERT_EQ(read(5, 10), 0);
    EXPECT_EQ(read(6, 10), -1);
    EXPECT_EQ(read(7, 10), -1);
    RAW_close(in);
}

TEST(Records, JumpsAndRewinds) {
    TempDir dir;
    const std::string name = dir.file("six.raw");
    std::string text = "ZEQRAW\n12Z  5 JAN 24\n!six\nid lat lon\nv\n$\n\n";
    for (int i = 0; i < 6; ++i)
        text += "S" + std::to_string(i) + " 1 2 " + std::to_string(i * 10) + " " +
                std::to_string(i * 10 + 1) + "\n";
    write_file(name, text);
    const int in = open_file(name, 0);
    ASSERT_GE(in, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_EQ(RAW_get_num_field(in), 4);
    RAW_report r{};
    // Single-field reads: in turn, forward jumps, back, past the end.
    for (int n : {0, 1, 2, 5, 1, 4, 0, 3}) {
        ASSERT_EQ(RAW_read(in, &r, "v", &n), 0) << n;
        EXPECT_EQ(std::string(r.id), "S" + std::to_string(n));
        EXPECT_FLOAT_EQ(r.value[0], n * 10.0f);
    }
    int n = 6;
    EXPECT_EQ(RAW_read(in, &r, "v", &n), -1);
    // Each field with the record number kept while a record is read, then a
    // jump: the jump lands on its record.
    for (int rec : {0, 1, 4}) {
        std::vector<std::string> seen;
        int rc = 0;
        while ((rc = RAW_read(in, &r, RAW_EACH_FIELD, &rec)) == 1)
            seen.push_back(std::string(r.id) + ":" + r.data);
        EXPECT_EQ(rc, 0);
        const std::string id = "S" + std::to_string(rec);
        EXPECT_EQ(seen, (std::vector<std::string>{id + ":" + std::to_string(rec * 10),
                                                  id + ":" + std::to_string(rec * 10 + 1)}));
    }
    EXPECT_EQ(RAW_rewind(in), 0);
    n = 0;
    ASSERT_EQ(RAW_read(in, &r, 2, &n), 0);
    EXPECT_STREQ(r.id, "S0");
    RAW_close(in);
}

TEST(Records, CarriageReturnsAndLongLines) {
    TempDir dir;
    const std::string name = dir.file("crlf.raw");
    write_file(name, "ZEQRAW\r\n12Z  5 JAN 24\r\n!crlf\r\nid lat lon v\r\n$\r\nKDEN 1 2 " +
                         std::string(500, '9') + "\r\nKCOS 1 2 5\r\n\r\nKPUB 1 2 7\r\n");
    const int in = open_file(name, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_STREQ(info.info, "crlf");
    EXPECT_EQ(info.date.day, 5);
    const std::vector<Field> f = each_field(in);
    ASSERT_EQ(f.size(), 4u); // the tail of the long line is no record; "\r\n" ends the data
    EXPECT_EQ(f[0].id, "KDEN");
    EXPECT_EQ(f[0].data.size(), 29u);
    EXPECT_EQ(f[2].id, "KCOS");
    EXPECT_EQ(f[2].data, "5");
    RAW_close(in);
}

TEST(Records, FieldListOfMoreThanSeventyFiveEntries) {
    TempDir dir;
    const std::string name = dir.file("wide.raw");
    std::string text = "ZEQRAW\n12Z  5 JAN 24\n!wide\nid lat lon";
    for (int i = 3; i < 80; ++i)
        text += " f" + std::to_string(i);
    text += "\n$\nKDEN 1 2 3\n";
    write_file(name, text);
    const int in = open_file(name, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(in, &info), 0);
    EXPECT_EQ(RAW_get_num_field(in), 75);
    EXPECT_STREQ(RAW_get_field_name(in, 74 + 7), "f74");
    RAW_report r{};
    int n = 0;
    ASSERT_EQ(RAW_read(in, &r, "f3", &n), 0);
    EXPECT_STREQ(r.id, "KDEN"); // the entries past the 75th are not records
    EXPECT_FLOAT_EQ(r.value[0], 3);
    RAW_close(in);
}

// ---- Slots and the field table ------------------------------------------------------

TEST(Slots, FiveOpenFilesAndOpenFailures) {
    TempDir dir;
    EXPECT_EQ(RAW_chktype((DATA + "records.raw").c_str()), 1);
    EXPECT_EQ(RAW_chktype((DATA + "bare.txt").c_str()), 99);
    write_file(dir.file("empty"), "");
    EXPECT_EQ(RAW_chktype(dir.file("empty").c_str()), 99);
    EXPECT_EQ(RAW_chktype(dir.file("none").c_str()), -1);

    int type = 0;
    EXPECT_EQ(open_file(dir.file("none"), 0), -1);
    EXPECT_EQ(open_file(DATA + "bare.txt", 2, 1), -1); // append to a file that is not point data
    EXPECT_EQ(open_file(DATA + "records.raw", 1), -1); // writing needs a type
    EXPECT_EQ(open_file(DATA + "records.raw", 0, 5), -1);
    for (int i = 0; i < 5; ++i) {
        std::string name = DATA + (i % 2 ? "bare.txt" : "records.raw");
        std::vector<char> buf(name.begin(), name.end());
        buf.push_back('\0');
        type = 0;
        EXPECT_EQ(RAW_open(buf.data(), 0, &type), i);
        EXPECT_EQ(type, i % 2 ? 99 : 1);
    }
    EXPECT_EQ(open_file(DATA + "records.raw", 0), -1);
    EXPECT_EQ(RAW_close(3), 0);
    EXPECT_EQ(RAW_close(3), -1);
    EXPECT_EQ(open_file(DATA + "records.raw", 0), 3);

    // Header operations: nothing on a free slot, -1 on bare records.
    RAW_info info{};
    EXPECT_EQ(RAW_getinfo(-1, &info), 0);
    EXPECT_EQ(RAW_getinfo(1, &info), -1);
    EXPECT_EQ(RAW_get_num_field(-1), 0);
    EXPECT_EQ(RAW_get_field_name(-1, 10), nullptr);
    RAW_report r{};
    int n = 0;
    EXPECT_EQ(RAW_read(-1, &r, 1, &n), 0);
    // A headerless file read again from its start.
    for (int k : {0, 1, 0}) {
        ASSERT_EQ(RAW_read(1, &r, 10, &k), 0);
        EXPECT_STREQ(r.id, k == 0 ? "KDEN" : "KCOS");
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(RAW_close(i), 0);

    // Appending to a point-data file.
    const std::string name = dir.file("app.raw");
    write_file(name, read_file(DATA + "positions.raw"));
    const int app = open_file(name, 2, 1);
    ASSERT_EQ(app, 0);
    RAW_report add = make_report("KPUB", 38.29f, -104.5f);
    RAW_write(app, &add, 3, 0);
    RAW_write(app, &add, 5, 0);
    EXPECT_EQ(RAW_close(app), 0);
    // The records go on after the last one: the closing empty line moves.
    std::string before = read_file(DATA + "positions.raw");
    before.pop_back();
    EXPECT_EQ(read_file(name), before + "KPUB  38.29 -104.50\n\n");
    const int in = open_file(name, 0);
    RAW_info info2{};
    RAW_getinfo(in, &info2);
    EXPECT_EQ(each_field(in).size(), 6u);
    RAW_close(in);
}

TEST(Slots, FieldTableDesignators) {
    TempDir dir;
    const int s = open_file(dir.file("t.raw"), 1, 1);
    ASSERT_EQ(s, 0);
    RAW_set_field_name(s, 12, "-gust");
    EXPECT_EQ(RAW_get_num_field(s), 6);
    EXPECT_EQ(RAW_get_field_ind(s, "gust"), 5);
    EXPECT_EQ(RAW_get_field_ind(s, "-gust"), 5);
    EXPECT_EQ(RAW_get_field_ind(s, 12), 5);
    EXPECT_EQ(RAW_get_field_ind(s, 6), -1);
    EXPECT_EQ(RAW_get_field_ind(s, "wind"), -1);
    EXPECT_EQ(RAW_get_field_ind(s, RAW_field()), -1);
    EXPECT_EQ(RAW_set_field_info(s, "gust", "Gust speed"), 1);
    EXPECT_EQ(RAW_set_field_info(s, "wind", "no such"), 0);
    EXPECT_EQ(RAW_set_field_fmt(s, 3, "x"), 0);
    EXPECT_STREQ(RAW_get_field_info(s, 12), "Gust speed");
    EXPECT_EQ(RAW_get_field_info(s, 11), nullptr); // empty
    EXPECT_EQ(RAW_get_field_name(s, 13), nullptr); // beyond the list
    RAW_set_field_name(s, 10, "a very long field name indeed");
    EXPECT_STREQ(RAW_get_field_name(s, 10), "a very long field n");
    RAW_close(s);
}

// ---- Writing values ---------------------------------------------------------------

// The text RAW_write gives one value of report r under plot_format pf.
std::string written(RAW_report r, const char *pf) {
    TempDir dir;
    const std::string name = dir.file("w.raw");
    const int s = open_file(name, 1, 1);
    RES_put("plot_format", pf);
    const int rc = RAW_write(s, &r, 0, 0);
    RAW_close(s);
    EXPECT_EQ(rc, 1);
    std::string text = read_file(name);
    return text.substr(1, text.size() - 2); // the blank before, the closing newline
}

TEST(Writing, ValueKindsAndFormats) {
    RAW_report r = make_report("K", 1, 2);
    r.value[0] = 12.345f;
    r.value[1] = 7.5f;
    std::snprintf(r.data, sizeof r.data, "RW-");
    const struct {
        int type;
        const char *pf;
        const char *text;
    } cases[] = {
        {2, "", "12"},      {2, "%.2f", "12.35"}, {1, "%.2f", "12.35"},     {1, "", "RW-"}, {36, "", "RW-"},
        {22, "", "12,8"},   {22, "%.1f", "12.3"}, {33, "value", "12"},      {5, "", "12"},  {37, "", ""},
        {2, "text", "RW-"}, {2, "%z.1f", "12.3"}, {5, "%5.1f,mark", "RW-"},
    };
    for (const auto &c : cases) {
        r.type = c.type;
        EXPECT_EQ(written(r, c.pf), c.text) << c.type << " " << c.pf;
    }
    r.type = 5;
    r.value[0] = 7.9f;
    EXPECT_EQ(written(r, ""), "7");
    r.value[0] = -0.5f;
    EXPECT_EQ(written(r, "%z.1f"), "-.5");
    r.value[0] = 3e9f; // no int holds it
    EXPECT_EQ(written(r, ""), "-");
    r.value[0] = FMISSING;
    for (int type : {2, 5, 21}) {
        r.type = type;
        EXPECT_EQ(written(r, ""), "-") << type;
    }
    r.type = 1;
    r.data[0] = ' ';
    EXPECT_EQ(written(r, ""), "-");
    std::snprintf(r.data, sizeof r.data, "F");
    std::snprintf(r.format, sizeof r.format, "co=red:sz=2");
    EXPECT_EQ(written(r, ""), "F:co=red:sz=2");
}

TEST(Writing, FormatsThatPrintfCannotTakeGiveTheDefault) {
    RAW_report r = make_report("K", 1, 2);
    r.type = 2;
    r.value[0] = 12.5f;
    testing::internal::CaptureStderr();
    // Wrong kind, two conversions, a string, a result that does not fit.
    EXPECT_EQ(written(r, "%d"), "12");
    EXPECT_EQ(written(r, "%d"), "12");
    EXPECT_EQ(written(r, "%f%f"), "12");
    EXPECT_EQ(written(r, "%s"), "12");
    EXPECT_EQ(written(r, "%200.1f"), "12");
    EXPECT_EQ(written(r, "%n"), "12");
    const std::string err = testing::internal::GetCapturedStderr();
    for (const char *f : {"%d\n", "%f%f\n", "%s\n", "%200.1f\n", "%n\n"})
        EXPECT_NE(err.find(std::string("RAW_write: Bad number format: ") + f), std::string::npos) << f;
    // One warning for each bad format, however often it comes.
    EXPECT_EQ(err.find("%d\n"), err.rfind("%d\n")) << err;

    // The writer's record: identifier, position, values, end.
    TempDir dir;
    RES_put("plot_format", "");
    const int s = open_file(dir.file("rec.raw"), 1, 1);
    r = make_report("72469", 39.7456f, -104.8732f);
    r.type = 2;
    r.value[0] = 5;
    EXPECT_EQ(RAW_write(s, &r, 1, 0), 1);
    r.lat = FMISSING;
    EXPECT_EQ(RAW_write(s, &r, 1, 1), 1);
    EXPECT_EQ(RAW_write(-1, &r, 1, 1), 0);
    RAW_close(s);
    EXPECT_EQ(read_file(dir.file("rec.raw")), "72469  39.75 -104.87 5\n72469 5\n\n");
}

} // namespace
