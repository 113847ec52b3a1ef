// Metafile output: opens the text metafile or CGM stream (file, append or
// pipe), writes the text metafile's header and records, and ends and closes
// the stream. File-static state: the stream and its name, the append flag
// and the metafile kind, which survives from one open to the next.
#include "graphics/gks_meta.h"

#include <cstdarg>
#include <ctime>
#include <string>

#include "graphics/gks_x11.h"
#include "runtime/files.h"
#include "runtime/mess.h"

namespace {

FILE *out_file = nullptr;
std::string out_name;
int append = 0;
int meta_type = META_TEXT;

} // namespace

int gmeta_set_type(int type) {
    meta_type = type;
    return 0;
}

int gmeta_get_type() {
    return meta_type;
}

FILE *gmeta_open_file(const char *filename) {
    if (filename == nullptr || out_file != nullptr) return nullptr;
    MESS_print(M_MESS, "Creating metafile: %s\n", filename);
    if (meta_type == META_CGM) return nullptr; // the CGM writer comes with the CGM driver
    append = 0;
    FILE *f = nullptr;
    if (filename[0] == '+') {
        f = FILE_open(filename + 1, "a");
        if (f != nullptr) append = 1;
    } else {
        f = FILE_open(filename, "w");
    }
    if (f == nullptr) return nullptr;
    out_file = f;
    out_name = filename;
    return f;
}

int gmeta_init_file() {
    if (append || meta_type != META_TEXT) return 0;
    gmeta_printf("ZEQMETA\n");
    gmeta_printf("#Title: ZEQ Graphics Display: %s\n", gget_win_title());
    gmeta_printf("#Creator: ZEQ Metafile Processor-1.0\n");
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (ctime_r(&now, text) == nullptr) text[0] = '\0';
    gmeta_printf("#CreationDate: %s", text);
    return 0;
}

int gmeta_printf(const char *format, ...) {
    if (out_file == nullptr || meta_type != META_TEXT) return 0;
    va_list args;
    va_start(args, format);
    std::vfprintf(out_file, format, args);
    va_end(args);
    return 0;
}

int gmeta_point_list(const char *key, int num_pt, const Gpt *array_pt, bool last_break) {
    gmeta_printf("%s %d ", key, num_pt);
    for (int i = 0; i < num_pt; ++i) {
        gmeta_printf("%f,%f ", array_pt[i].x, array_pt[i].y);
        if ((i + 1) % 4 == 0 && (last_break || i + 1 < num_pt)) gmeta_printf("\n   ");
    }
    if (!last_break || num_pt % 4 != 0) gmeta_printf("\n");
    return 0;
}

int gmeta_close_file() {
    if (out_file == nullptr) return -1;
    if (meta_type == META_CGM && !append) {
        gcgm_control(0, 5, 0, 0); // END PICTURE
        gcgm_control(0, 2, 0, 0); // END METAFILE
    }
    const int rc = FILE_close_output(out_file);
    out_file = nullptr;
    if (rc != 0) {
        MESS_print(M_WARN, "gmeta_close_file: unable to complete %s\n", out_name.c_str());
        return -1;
    }
    MESS_print(M_MESS, "Created metafile\n");
    return 0;
}

// ---- CGM elements, built with the CGM driver ----
int gcgm_control(int, int, int, int) {
    return -1;
}
int gcgm_point(float, float) {
    return 0;
}
int gcgm_ps_point(float, float) {
    return 0;
}
