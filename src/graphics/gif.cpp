// GIF files of window images. The GIF coder is not built yet: writing and
// reading warn that GIF files are missing and do nothing.
// File-static state: the interlace and transparency choices.
#include "graphics/gif.h"

#include "graphics/gks_img.h"
#include "graphics/img_tool.h"
#include "runtime/mess.h"

namespace {

int use_inter = 0;
int trans = 0;

} // namespace

int GIF_interlace(int val) {
    use_inter = val;
    return 0;
}

int GIF_transparent(int val) {
    trans = val;
    return 0;
}

int GIF_write(const char *filename, const IMG_report *) {
    MESS_print(M_WARN, "GIF_write: GIF files are not built, %s not written\n",
               filename != nullptr ? filename : "");
    return 0;
}

int GIF_read(const char *filename, IMG_report *, int) {
    MESS_print(M_WARN, "GIF_read: GIF files are not built, %s not read\n",
               filename != nullptr ? filename : "");
    return 0;
}

int GIF_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const int rc = GIF_write(filename, &image);
    IMG_free(&image);
    return rc;
}
