// The display list. Until it is built nothing is recorded.
#include "graphics/gks_obj.h"

int ginit_objs() {
    return 0;
}
int gset_cache(int) {
    return 0;
}
int gget_cache() {
    return 1;
}
int gset_redraw(int) {
    return 0;
}
int gget_redraw() {
    return 0;
}
void *gnew_obj(int, int, int, const void *) {
    return nullptr;
}
int gclear_objs() {
    return 0;
}
int gdel_seg_objs(int) {
    return -1;
}
