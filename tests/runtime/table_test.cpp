#include "runtime/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A record of the kind the station database keeps.
struct Station {
    char id[8];
    int wmo;
    float lat;
};

Station make_station(const char *id, int wmo, float lat = 0.0f) {
    Station s{};
    std::string(id).copy(s.id, sizeof s.id - 1);
    s.wmo = wmo;
    s.lat = lat;
    return s;
}

const Station *as_station(const char *p) {
    return reinterpret_cast<const Station *>(p);
}

// Owns a created table and clears it at the end of the test (the sanitizer
// build reports anything the table fails to release).
class Table : public ::testing::Test {
protected:
    void create(int tsize, int nkey) { ASSERT_EQ(TAB_create(&tab, tsize, sizeof(Station), nkey), 0); }
    void enter2(const char *id, int wmo) {
        Station s = make_station(id, wmo);
        const std::string w = std::to_string(wmo);
        ASSERT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), id, w.c_str()), 0);
    }
    std::vector<std::string> walk() {
        std::vector<std::string> ids;
        TAB_first(&tab);
        while (const char *p = TAB_next(&tab))
            ids.emplace_back(as_station(p)->id);
        return ids;
    }
    void TearDown() override { TAB_clear(&tab); }

    TAB_table tab{};
};

// Hash values worked out independently (unsigned 64-bit sums of signed bytes,
// then the remainder by 35177), seen through a table with more buckets than
// hash values.
TEST(TableKey, HashOfKeys) {
    TAB_table tab{};
    ASSERT_EQ(TAB_create(&tab, 40000, 4, 1), 0);
    const struct {
        const char *key;
        int h;
    } cases[] = {
        {"", 0},         {"A", 65},       {"AB", 16771},        {"ABC", 18620},           {"\xE9", 11717},
        {"KDEN", 10155}, {"72469", 7754}, {"\xE9t\xE9", 31922}, {"Z\xFF\xFE\x80", 15100},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TAB_key(&tab, c.key), c.h) << c.key;
    TAB_clear(&tab);

    // The bucket is the hash modulo the bucket count.
    ASSERT_EQ(TAB_create(&tab, 100, 4, 1), 0);
    EXPECT_EQ(TAB_key(&tab, "AB"), 71);
    EXPECT_EQ(TAB_key(&tab, "\xE9t\xE9"), 22);
    TAB_clear(&tab);
}

TEST_F(Table, BucketCountIsAtLeastOne) {
    // A size estimated from a tiny station file comes out as 0 (or less).
    for (int tsize : {0, -3}) {
        SCOPED_TRACE(tsize);
        create(tsize, 2);
        EXPECT_EQ(tab.tab_size, 1);
        EXPECT_EQ(TAB_key(&tab, "KDEN"), 0);
        enter2("KDEN", 72565);
        enter2("KBOS", 72509);
        ASSERT_NE(TAB_search(&tab, 1, "KBOS"), nullptr);
        EXPECT_EQ(as_station(TAB_search(&tab, 2, "72565"))->wmo, 72565);
        TAB_clear(&tab);
    }
}

TEST_F(Table, OneBucketHoldsAnyNumberOfRecords) {
    create(1, 2);
    for (int i = 0; i < 300; ++i)
        enter2(("S" + std::to_string(i)).c_str(), 10000 + i);
    EXPECT_EQ(tab.num_entry, 300);
    for (int i = 0; i < 300; ++i) {
        const char *p = TAB_search(&tab, 1, ("S" + std::to_string(i)).c_str());
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(as_station(p)->wmo, 10000 + i);
        p = TAB_search(&tab, 2, std::to_string(10000 + i).c_str());
        ASSERT_NE(p, nullptr) << i;
        EXPECT_STREQ(as_station(p)->id, ("S" + std::to_string(i)).c_str());
    }
}

TEST_F(Table, UnusableCreateFindsNothing) {
    for (int nkey : {0, 5}) {
        SCOPED_TRACE(nkey);
        EXPECT_EQ(TAB_create(&tab, 10, sizeof(Station), nkey), -1);
        Station s = make_station("KDEN", 1);
        EXPECT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), "KDEN", "1", "2", "3"), -1);
        EXPECT_EQ(TAB_search(&tab, 1, "KDEN"), nullptr);
        TAB_first(&tab);
        EXPECT_EQ(TAB_next(&tab), nullptr);
        EXPECT_EQ(TAB_clear(&tab), 0);
    }
    EXPECT_EQ(TAB_create(&tab, 10, -1, 1), -1);
    EXPECT_EQ(TAB_search(&tab, 1, "KDEN"), nullptr);
}

TEST_F(Table, WalkFollowsEntryOrder) {
    create(7, 2);
    TAB_first(&tab);
    EXPECT_EQ(TAB_next(&tab), nullptr) << "an empty table walks to its end at once";

    const std::vector<std::string> ids = {"KDEN", "KBOS", "CYYZ", "EGLL", "LFPG", "KSEA", "PANC", "RJTT"};
    for (std::size_t i = 0; i < ids.size(); ++i)
        enter2(ids[i].c_str(), 70000 + static_cast<int>(i));
    EXPECT_EQ(walk(), ids);
    EXPECT_EQ(TAB_next(&tab), nullptr) << "the walk stays at its end";

    // A record entered during a walk is seen when it comes after the position.
    TAB_first(&tab);
    TAB_next(&tab);
    enter2("YSSY", 94767);
    int rest = 0;
    const char *last = nullptr;
    while (const char *p = TAB_next(&tab)) {
        ++rest;
        last = p;
    }
    EXPECT_EQ(rest, static_cast<int>(ids.size()));
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(as_station(last)->id, "YSSY");
}

TEST_F(Table, LooksUpByEachOfFourKeys) {
    // Few buckets, so that every chain holds several keys.
    ASSERT_EQ(TAB_create(&tab, 5, sizeof(Station), 4), 0);
    const int n = 60;
    for (int i = 0; i < n; ++i) {
        const std::string id = "ID" + std::to_string(i), wmo = std::to_string(72000 + i),
                          loc = "L" + std::to_string(i * 7), alt = "alt-" + std::to_string(i);
        Station s = make_station(id.c_str(), 72000 + i);
        ASSERT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), id.c_str(), wmo.c_str(), loc.c_str(),
                            alt.c_str()),
                  0);
    }
    for (int i = 0; i < n; ++i) {
        const std::string keys[4] = {"ID" + std::to_string(i), std::to_string(72000 + i),
                                     "L" + std::to_string(i * 7), "alt-" + std::to_string(i)};
        for (int k = 1; k <= 4; ++k) {
            const char *p = TAB_search(&tab, k, keys[k - 1].c_str());
            ASSERT_NE(p, nullptr) << "key " << k << " " << keys[k - 1];
            EXPECT_EQ(as_station(p)->wmo, 72000 + i);
        }
        // A key is found only under its own key number.
        EXPECT_EQ(TAB_search(&tab, 1, keys[1].c_str()), nullptr);
        EXPECT_EQ(TAB_search(&tab, 2, keys[0].c_str()), nullptr);
    }
    EXPECT_EQ(TAB_search(&tab, 1, "ID60"), nullptr);
    EXPECT_EQ(TAB_search(&tab, 3, "L"), nullptr) << "a prefix of a key is not the key";
}

TEST_F(Table, KeyNumbersOutsideTheTableFindNothing) {
    create(11, 2);
    enter2("KDEN", 72565);
    char *found[4] = {};
    for (int keynum : {0, -1, 3, 4, 5}) {
        EXPECT_EQ(TAB_search(&tab, keynum, "KDEN"), nullptr) << keynum;
        EXPECT_EQ(TAB_searches(&tab, keynum, "KDEN", found, 4), 0) << keynum;
    }
    EXPECT_EQ(TAB_search(nullptr, 1, "KDEN"), nullptr);
    EXPECT_EQ(TAB_search(&tab, 1, nullptr), nullptr);
}

TEST_F(Table, DuplicateKeysStayInEntryOrder) {
    create(13, 2);
    enter2("KDEN", 1);
    enter2("KBOS", 2);
    enter2("KDEN", 3);
    enter2("KDEN", 4);
    enter2("KSEA", 3);

    EXPECT_EQ(as_station(TAB_search(&tab, 1, "KDEN"))->wmo, 1);
    char *found[8] = {};
    ASSERT_EQ(TAB_searches(&tab, 1, "KDEN", found, 8), 3);
    EXPECT_EQ(as_station(found[0])->wmo, 1);
    EXPECT_EQ(as_station(found[1])->wmo, 3);
    EXPECT_EQ(as_station(found[2])->wmo, 4);

    // At most `max` are stored.
    char *two[3] = {nullptr, nullptr, nullptr};
    ASSERT_EQ(TAB_searches(&tab, 1, "KDEN", two, 2), 2);
    EXPECT_EQ(two[2], nullptr);
    EXPECT_EQ(TAB_searches(&tab, 1, "KDEN", two, 0), 0);

    // The duplicated second key.
    ASSERT_EQ(TAB_searches(&tab, 2, "3", found, 8), 2);
    EXPECT_STREQ(as_station(found[0])->id, "KDEN");
    EXPECT_STREQ(as_station(found[1])->id, "KSEA");

    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KBOS", "KDEN", "KDEN", "KSEA"}));
}

TEST_F(Table, RecordIsOneCopyReachedFromEveryKey) {
    ASSERT_EQ(TAB_create(&tab, 17, sizeof(Station), 3), 0);
    Station s = make_station("KDEN", 72565, 39.75f);
    ASSERT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), "KDEN", "72565", "3975-10487"), 0);
    // The table copied the record: the caller's variable is free to change.
    s.wmo = 0;

    char *by3 = TAB_search(&tab, 3, "3975-10487");
    ASSERT_NE(by3, nullptr);
    EXPECT_EQ(by3, TAB_search(&tab, 1, "KDEN"));
    EXPECT_EQ(by3, TAB_search(&tab, 2, "72565"));
    reinterpret_cast<Station *>(by3)->lat = 40.0f;
    EXPECT_EQ(as_station(TAB_search(&tab, 1, "KDEN"))->lat, 40.0f);
    EXPECT_EQ(as_station(TAB_search(&tab, 2, "72565"))->wmo, 72565);
    TAB_first(&tab);
    EXPECT_EQ(TAB_next(&tab), by3);
}

TEST_F(Table, KeysAreExactAndCaseSensitive) {
    create(31, 2);
    enter2("Kden", 1);
    enter2("\xE9t\xE9", 2);
    EXPECT_EQ(TAB_search(&tab, 1, "KDEN"), nullptr);
    EXPECT_EQ(TAB_search(&tab, 1, "kden"), nullptr);
    EXPECT_EQ(TAB_search(&tab, 1, "Kden "), nullptr);
    ASSERT_NE(TAB_search(&tab, 1, "Kden"), nullptr);
    ASSERT_NE(TAB_search(&tab, 1, "\xE9t\xE9"), nullptr);
    EXPECT_EQ(as_station(TAB_search(&tab, 1, "\xE9t\xE9"))->wmo, 2);
}

TEST_F(Table, NullKeyEntersNothing) {
    create(11, 2);
    enter2("KDEN", 1);
    Station s = make_station("KBOS", 2);
    EXPECT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), "KBOS", static_cast<const char *>(nullptr)),
              -1);
    EXPECT_EQ(tab.num_entry, 1);
    EXPECT_EQ(TAB_search(&tab, 1, "KBOS"), nullptr);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN"}));
}

TEST_F(Table, ClearedTableFindsNothingAndIsCreatedAgain) {
    create(3, 2);
    for (int i = 0; i < 20; ++i)
        enter2(("S" + std::to_string(i)).c_str(), i);
    TAB_first(&tab);
    TAB_next(&tab);
    ASSERT_EQ(TAB_clear(&tab), 0);

    EXPECT_EQ(TAB_search(&tab, 1, "S1"), nullptr);
    char *found[2];
    EXPECT_EQ(TAB_searches(&tab, 2, "1", found, 2), 0);
    EXPECT_EQ(TAB_next(&tab), nullptr);
    TAB_first(&tab);
    EXPECT_EQ(TAB_next(&tab), nullptr);
    Station s = make_station("S1", 1);
    EXPECT_EQ(TAB_enter(&tab, reinterpret_cast<const char *>(&s), "S1", "1"), -1);
    EXPECT_EQ(TAB_clear(&tab), 0) << "clearing twice is harmless";

    create(3, 2);
    EXPECT_EQ(TAB_search(&tab, 1, "S1"), nullptr);
    enter2("S1", 1);
    EXPECT_EQ(walk(), (std::vector<std::string>{"S1"}));
}

} // namespace
