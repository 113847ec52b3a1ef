// Test support: the drawing records of a text metafile ("PL" polylines and
// "FA" fill areas with their points, attribute records with their values),
// and a drawing run on a metafile workstation whose records are read back.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_tran.h"
#include "support/child.h"

namespace zeqtest {

struct MetaPoint {
    double x, y;
};

// One record: "PL", "FA" or "PM" with its points, "TE" with its point and
// text, or any other record with its values ("FA_INT 1", "ME some text").
struct MetaRecord {
    std::string key;
    std::vector<MetaPoint> pts;
    std::string text = {}; // of a "TE" record
};

// The records after the four header lines. Point lists run over several
// lines (and a record may follow the last point of a fill area on its line);
// message and text records run to the end of their line.
inline std::vector<MetaRecord> meta_records(const std::string &text) {
    std::vector<MetaRecord> recs;
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < 4 && std::getline(in, line); ++i) {
    }
    int points = 0; // points still to come of the current list
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string tok;
        while (words >> tok) {
            if (points > 0) {
                const std::size_t comma = tok.find(',');
                recs.back().pts.push_back(
                    {std::stod(tok.substr(0, comma)), std::stod(tok.substr(comma + 1))});
                --points;
            } else if (tok == "PL" || tok == "FA" || tok == "PM") {
                recs.push_back({tok, {}, {}});
                words >> points;
            } else if (tok == "TE") {
                std::string at, rest;
                words >> at;
                std::getline(words, rest);
                const std::size_t comma = at.find(',');
                recs.push_back({tok,
                                {{std::stod(at.substr(0, comma)), std::stod(at.substr(comma + 1))}},
                                rest.empty() ? rest : rest.substr(1)});
            } else if (tok == "ME") {
                std::string rest;
                std::getline(words, rest);
                recs.push_back({"ME" + rest, {}, {}});
            } else if (std::isalpha(static_cast<unsigned char>(tok[0]))) {
                recs.push_back({tok, {}, {}});
            } else if (!recs.empty()) {
                recs.back().key += " " + tok; // an attribute's value
            }
        }
    }
    return recs;
}

// A drawing record with the attributes in force when it was written.
struct MetaPrimitive {
    MetaRecord rec;
    int color = -1;    // the colour of its kind (TE_CLR, PL_CLR, PM_CLR, FA_CLR)
    int hor = 0;       // texts: TE_ALGN
    int vert = 0;      //
    double height = 0; // texts: TE_HGHT
    int marker = 0;    // markers: PM_TYPE
};

// The "TE", "PL", "PM" and "FA" records of a record list with their
// attributes (attribute records are written only when a value changes).
inline std::vector<MetaPrimitive> meta_primitives(const std::vector<MetaRecord> &recs) {
    std::vector<MetaPrimitive> out;
    int te_clr = -1, pl_clr = -1, pm_clr = -1, fa_clr = -1, hor = 0, vert = 0, marker = 0;
    double height = 0;
    for (const MetaRecord &r : recs) {
        std::istringstream words(r.key);
        std::string key;
        words >> key;
        if (key == "TE_CLR") words >> te_clr;
        if (key == "PL_CLR") words >> pl_clr;
        if (key == "PM_CLR") words >> pm_clr;
        if (key == "FA_CLR") words >> fa_clr;
        if (key == "TE_ALGN") words >> hor >> vert;
        if (key == "TE_HGHT") words >> height;
        if (key == "PM_TYPE") words >> marker;
        if (key == "TE") out.push_back({r, te_clr, hor, vert, height, 0});
        if (key == "PL") out.push_back({r, pl_clr, 0, 0, 0, 0});
        if (key == "FA") out.push_back({r, fa_clr, 0, 0, 0, 0});
        if (key == "PM") out.push_back({r, pm_clr, 0, 0, 0, marker});
    }
    return out;
}

// Runs `draw` on a metafile whose transformation 1 shows `win`, with hollow
// fills set beforehand, and returns the records written after the set-up.
inline std::vector<MetaRecord> meta_drawn(const Glim &win, const std::function<void()> &draw) {
    TempDir dir;
    const std::string file = dir.file("drawn.meta");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStdout();
    const int rc = gopen_ws(1, file.c_str(), GWS_META);
    gset_win(1, &win);
    gsel_norm_tran(1);
    gset_fill_int_style(GHOLLOW);
    gmessage(1, "begin");
    draw();
    gclose_ws(1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    std::vector<MetaRecord> recs = meta_records(read_file(file));
    std::size_t k = 0;
    while (k < recs.size() && recs[k].key != "ME begin")
        ++k;
    EXPECT_LT(k, recs.size()) << "no begin marker";
    return {recs.begin() + static_cast<std::ptrdiff_t>(std::min(k + 1, recs.size())), recs.end()};
}

// The records one per line, for failure messages.
inline std::string show(const std::vector<MetaRecord> &recs) {
    std::ostringstream s;
    for (const MetaRecord &r : recs) {
        s << r.key;
        for (const MetaPoint &p : r.pts)
            s << " " << p.x << "," << p.y;
        if (!r.text.empty()) s << " " << r.text;
        s << "\n";
    }
    return s.str();
}

} // namespace zeqtest
