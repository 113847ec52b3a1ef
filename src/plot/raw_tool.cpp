// Point-data tools: resetting point items. No file-static state.
#include "plot/raw_tool.h"

#include "runtime/zeq.h"

int RAW_data_init_val(RAW_data *data) {
    data->value[0] = FMISSING;
    data->value[1] = FMISSING;
    data->data[0] = '\0';
    return 0;
}
