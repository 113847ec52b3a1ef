// The kernel colour table.
#include "graphics/gks_colr.h"

namespace {
int inverse = 0;
}

int gset_inverse(int val) {
    inverse = val;
    return 0;
}
int gget_inverse() {
    return inverse;
}
int gget_color_rgb(int, float *red, float *grn, float *blu) {
    *red = *grn = *blu = 0;
    return 1;
}
int ginit_background() {
    return 1;
}
