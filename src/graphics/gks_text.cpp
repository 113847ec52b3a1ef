// Text and stroke fonts. Until the text primitive is built, its workstation
// set-up has nothing to do.
// No file-static state yet.
#include "graphics/gks_text.h"

int greset_text() {
    return 0;
}
int ginit_text(int) {
    return 0;
}
int gsetup_fonts() {
    return 0;
}
