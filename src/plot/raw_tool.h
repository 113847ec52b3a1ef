// Point-data items and their tools.
#pragma once

#include "plot/zeqraw.h"

// Resets the values of an item: both values -9999 and the text empty; the
// position, type, format and attributes stay. Returns 0.
int RAW_data_init_val(RAW_data *data);
