// Plot labels: the texts of the six label positions of each overlay.
// File-static state: none yet (the label store comes with the plot frame).
#include "plot/plt_labl.h"

// Until the plot frame keeps labels, a label set here is not kept.
int PLT_label_up_right(const char *) {
    return 0;
}
