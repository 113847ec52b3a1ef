// Fuzz target: stroke font files of any bytes through the font reader, then
// every character drawn with the loaded font on a PostScript page that goes
// to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/gks.h"
#include "graphics/gks_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool open = [] {
        gopen_gks(nullptr, 0);
        return gopen_ws(1, "/dev/null", GWS_PS) == 0;
    }();
    if (!open) return 0;
    char name[] = "/tmp/font_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written && read_font(name) == 0) {
        char all[256];
        for (int c = 1; c < 256; ++c)
            all[c - 1] = static_cast<char>(c);
        all[255] = '\0';
        const Gpt at{0.5f, 0.5f};
        gtext(&at, all);
    }
    unlink(name);
    return 0;
}
