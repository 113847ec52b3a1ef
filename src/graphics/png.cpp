// PNG files of window images. The PNG writer and reader are not built yet:
// both warn that PNG files are missing and do nothing.
// File-static state: none.
#include "graphics/png.h"

#include "graphics/gks_img.h"
#include "graphics/img_tool.h"
#include "runtime/mess.h"

int PNG_write(const char *filename, const IMG_report *) {
    MESS_print(M_WARN, "PNG_write: PNG files are not built, %s not written\n",
               filename != nullptr ? filename : "");
    return 0;
}

int PNG_read(const char *filename, IMG_report *, int) {
    MESS_print(M_WARN, "PNG_read: PNG files are not built, %s not read\n",
               filename != nullptr ? filename : "");
    return 0;
}

int PNG_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const int rc = PNG_write(filename, &image);
    IMG_free(&image);
    return rc;
}
