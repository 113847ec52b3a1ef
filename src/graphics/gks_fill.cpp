// Fill areas and fill patterns.
#include "graphics/gks_fill.h"

int greset_fill() {
    return 0;
}
int ginit_fill(int) {
    return 0;
}
int gget_fill_print_solid() {
    return 0;
}
