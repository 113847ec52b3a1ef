// Flag slots: numbered settings decided once and read by many modules, and
// the on/off switches of the plot components (labels, data, map, border).
#pragma once

// The slots in use; every slot is -9999 (missing) until set.
// Workstation type of the output device: 1 own X window, 3 metafile,
// 4 PostScript, 5 HP-GL, 6 another program's window.
inline constexpr int FLAG_DEVICE = 2;
inline constexpr int FLAG_MODEL = 4;       // model number chosen for grid input
inline constexpr int FLAG_DOMAIN = 5;      // kind of the domain last decoded
inline constexpr int FLAG_TIME = 6;        // default forecast time code of the variable decoders
inline constexpr int FLAG_LTYPE = 7;       // default level type
inline constexpr int FLAG_LEVEL = 8;       // default level value
inline constexpr int FLAG_PLOT_TYPE = 11;  // plot type code (99 for "none")
inline constexpr int FLAG_INPUT = 14;      // input kind: 10 surface data, 11 fronts, 20 upper air
inline constexpr int FLAG_FILE_PARAM = 15; // 1 compute and overwrite, 2 append, 3 use an existing file
inline constexpr int FLAG_GRID_KIND = 17;  // grid file kind for output (2, 3, 11, 21) and input (3, 12, 23)
inline constexpr int FLAG_BATCH = 19;      // batch mode (1)
inline constexpr int FLAG_HELP = 20;       // help asked for (1)

// Slot value as an int (as a long for FLAG_getl); 0 for a number outside 0..29.
int FLAG_get(int flag);
long FLAG_getl(int flag);

// Stores a slot value; 0, or -1 for a number outside 0..29.
int FLAG_set(int flag, int value);
int FLAG_setl(int flag, long value);

// Sets all 30 slots; 0.
int FLAG_reset(int value);
int FLAG_resetl(long value);

// Batch mode (slot 19) and help (slot 20): 1 when the slot is positive, else 0.
int FLAG_batch();
int FLAG_set_batch(int val);
int FLAG_help();

// Plot component switches 0..12: 1-6 the label positions (upper left, centre,
// right, lower left, centre, right), 7 data, 8 map, 9 grid, 10 sum, 11 border;
// 0 holds how many labels are on and 12 the sum of 0..11 after every change.
// Setting 12 sets 0..11 as well and setting 0 sets 1..6 as well.
// FLAG_setplot returns 0, or -1 for a switch outside 0..12.
int FLAG_setplot(int type, int val);
// The switch; 0 for a number outside 0..12.
int FLAG_getplot(int type);
// Sets all 13 switches without forming the sums; 0.
int FLAG_resetplot(int val);

// Applies a draw list: comma-separated words (any case), each with an optional
// '+' (on) or '-' (off); a list whose first word has no sign starts from all
// switches off. Words: "text" (the six labels and the border), "text_ul",
// "text_uc", "text_ur", "text_ll", "text_lc", "text_lr", "data", "map",
// "grid", "sum", "bord", "all" (everything on) and "none" (everything off);
// other words are ignored. Returns 0, or -1 for a null list.
int FLAG_set_draw(const char *list);
