// The generic data driver: from the reports of a data source to analysed grids.
#pragma once

// Marks every grid of the grid table for fitting anew; returns 0.
int DATA_new_grid();
