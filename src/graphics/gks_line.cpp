// Polylines and line attributes.
#include "graphics/gks_line.h"

int greset_line() {
    return 0;
}
int ginit_line(int) {
    return 0;
}
int gget_line_print_bold() {
    return 1;
}
