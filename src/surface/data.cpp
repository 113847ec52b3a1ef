// The generic data driver: from the reports of a data source to analysed grids.
// No file-static state yet.
#include "surface/data.h"

// Stands in for the generic data driver until it is built: there are no grids to mark.
int DATA_new_grid() {
    return 0;
}
