#include "plot/plt_labl.h"

namespace {

// The label mode: below 0 append, 0 normal, above 0 stacked.
int lab_type = 0;

} // namespace

int PLT_get_label_type() {
    return lab_type;
}

int PLT_set_label_type(int val) {
    lab_type = val;
    return 0;
}
