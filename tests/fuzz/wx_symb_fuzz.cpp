// Fuzz target: weather symbol files of any bytes opened as the symbol file,
// every indexed name and some codes drawn from it, on a PostScript page that
// goes to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "plot/wx_symb.h"
#include "runtime/mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool open = [] {
        MESS_set_str("fi=/dev/null,print");
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, "/dev/null", GWS_PS) != 0) return false;
        const Glim win{-10, 10, -10, 10};
        gset_win(1, &win);
        gsel_norm_tran(1);
        return true;
    }();
    if (!open) return 0;
    char name[] = "/tmp/wx_symb_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written && WX_symb_file(name) == 0) {
        // Every word of the bytes as a wanted symbol, and the usual codes.
        const std::string text(reinterpret_cast<const char *>(data), size);
        std::size_t pos = 0;
        for (int i = 0; i < 200 && pos < text.size(); ++i) {
            const std::size_t start = text.find_first_not_of(" \t\r\n", pos);
            if (start == std::string::npos) break;
            const std::size_t end = text.find_first_of(" \t\r\n", start);
            const std::string word =
                text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            WX_symb(0, 0, word.c_str(), 2);
            pos = end;
        }
        for (const char *code : {"R", "RW-", "TRW+A", "@+", "x"})
            WX_symb(1, 1, code, 3);
    }
    for (char c = ' '; c < 127; ++c)
        WX_cloud(0, 0, 1, c);
    unlink(name);
    return 0;
}
