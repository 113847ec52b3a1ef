// Fuzz target: region files of any bytes as zeq.reg along file_path: the menu
// loaded from them and its rows, the search by name and without one, the
// listing, and domain texts that name the file's regions ("fi:", "FILE:NAME",
// "FILE:" and plain abbreviations, nested texts included). Batch mode: "var"
// asks nobody.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fields/region.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "support/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(0, 0);
        FLAG_set_batch(1);
        return true;
    }();
    (void)ready;
    if (!fuzzfiles::write_table("zeq.reg", data, size)) return 0;

    DOM_read_menu("zeq.reg");
    for (int row = -1; row <= 21; ++row)
        DOM_get_region_name(row);
    char text[80];
    DOM_search_file("zeq.reg", nullptr, text, sizeof text);
    DOM_print_file("zeq.reg");
    // The first word of the file as a region name, and the fixed forms.
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> words = split_words(bytes.substr(0, 200));
    Domain d;
    if (!words.empty()) {
        DOM_search_file("zeq.reg", words[0].c_str(), text, sizeof text);
        DOM_decode(words[0].c_str(), &d);
        DOM_decode(("zeq.reg:" + words[0]).c_str(), &d);
    }
    for (const char *t : {"fi:zeq.reg", "zeq.reg:", "ne"})
        DOM_decode(t, &d);
    return 0;
}
