// Resource numbering, conversion kinds and the option-table row.
#pragma once

// Conversion kind of a resource value (how `RES_conv_data` reads it).
enum DEF_convert {
    CV_none = 0,
    CV_bool = 1,
    CV_int = 2,
    CV_short = 3,
    CV_long = 4,
    CV_float = 5,
    CV_string = 6,
    CV_strcpy = 7,
    CV_path = 8,
    CV_mess = 9,
    CV_draw = 10,
    CV_current = 11,
    CV_hour = 12,
    CV_region = 13,
    CV_name = 14,
    CV_ingestor = 15,
    CV_file_param = 16,
    CV_device = 17,
    CV_plot_type = 18,
    CV_color = 19,
    CV_domain = 20,
    CV_strings = 21,
    CV_batch = 22,
    CV_help = 23,
};

// The known resources. A program lists the ones it accepts, ending the list
// with RES_null. Some numbers have no option-table row (noted below).
enum res_type {
    RES_null = 0, // ends a key list
    RES_age = 1,  // no row
    RES_background = 2,
    RES_batch = 3,
    RES_bin_path = 4, // no row
    RES_bull_file = 5,
    RES_city_file = 6,
    RES_color_cgrid = 7, // no row
    RES_color_clabel = 8,
    RES_color_cloud = 9,
    RES_color_cmap = 10,
    RES_color_cont = 11,
    RES_color_conts = 12, // no row
    RES_color_data = 13,
    RES_color_echo = 14, // no row
    RES_color_fill = 15,
    RES_color_front = 16,
    RES_color_grid = 17,
    RES_color_hodo = 18,
    RES_color_hodtxt = 19,
    RES_color_label = 20,
    RES_color_labels = 21, // no row
    RES_color_line = 22,
    RES_color_map = 23,
    RES_color_pop = 24,
    RES_color_rep = 25, // no row
    RES_color_sound = 26,
    RES_color_table = 27,
    RES_color_text = 28,
    RES_color_therm = 29,
    RES_color_thrmtxt = 30,
    RES_color_wind = 31,
    RES_color_wx = 32,
    RES_command = 33,
    RES_commands = 34,
    RES_con_base = 35,
    RES_con_bases = 36, // no row
    RES_con_interval = 37,
    RES_con_intervals = 38, // no row
    RES_con_path = 39,
    RES_current = 40,
    RES_data_path = 41,
    RES_data_src = 42, // no row
    RES_default = 43,  // no row
    RES_draw = 44,
    RES_decode_hour = 45,
    RES_device = 46,
    RES_file_param = 47,
    RES_file_path = 48,
    RES_filename = 49,
    RES_filenames = 50,
    RES_font_list = 51,
    RES_forecast = 52,
    RES_geometry = 53,
    RES_grid_num = 54,
    RES_grid_path = 55,
    RES_grid_type = 56,
    RES_help = 57,
    RES_hour = 58,
    RES_icon = 59,
    RES_identifier = 60,
    RES_identifiers = 61, // no row
    RES_identifierp = 62, // no row
    RES_image_path = 63,
    RES_in_file = 64,
    RES_in_files = 65,
    RES_ingest_port = 66, // no row
    RES_ingestor = 67,
    RES_input = 68,
    RES_label = 69,
    RES_labels = 70, // no row
    RES_level = 71,
    RES_map_file = 72,
    RES_message = 73,
    RES_model = 74,
    RES_name = 75, // no row
    RES_name_conv = 76,
    RES_num_grid = 77, // no row
    RES_num_hour = 78,
    RES_object_param = 79,
    RES_out_file = 80,
    RES_out_files = 81, // no row
    RES_output = 82,
    RES_parameter = 83,
    RES_plot_domain = 84,
    RES_plot_format = 85,
    RES_plot_param = 86,
    RES_plot_range = 87, // no row
    RES_plot_scale = 88,
    RES_plot_type = 89,
    RES_plot_types = 90, // no row
    RES_position = 91,   // no row
    RES_product = 92,
    RES_program = 93, // no row
    RES_raw_path = 94,
    RES_read_conf = 95, // no row
    RES_region = 96,
    RES_save_param = 97, // no row
    RES_stat_prior = 98,
    RES_state = 99,
    RES_table = 100,
    RES_time = 101,
    RES_title = 102,
    RES_unit = 103, // no row
    RES_values = 104,
    RES_variable = 105,
    RES_watch_path = 106,
    RES_window_num = 107,
    RES_color_watch = 108,
    RES_log_file = 109,
    RES_grid_domain = 110,
    RES_inputg = 111,
    RES_text_path = 112,
    RES_model_path = 113,
    RES_sat_path = 114,
};

// Number of res_type values (0 .. RES_NUM_TYPES - 1).
inline constexpr int RES_NUM_TYPES = 115;

// Rows an option table built by RES_init may hold (keyed and positional
// together), not counting the closing row.
inline constexpr int RES_MAX_ROWS = 74;

// Positional slots of an option row: the first positional argument, or all of them.
inline constexpr int RES_SLOT_FIRST = 1;
inline constexpr int RES_SLOT_ALL = 10;

// Size of the character buffer that a CV_strcpy target must provide (a file
// name); the copy is cut to fit.
inline constexpr int RES_STRCPY_SIZE = 160;

// One option-table row. `def` empty: a key without a row (skipped by every
// pass); `def` null: the end of the table. A row is either matched by its
// abbreviation `cmd` or takes positional arguments by its `slot`
// (RES_SLOT_FIRST or RES_SLOT_ALL; 0 when it has an abbreviation).
struct RES_defobj {
    const char *def; // resource name
    const char *env; // the row's own environment variable
    const char *cmd; // command-line abbreviation, or null for a positional row
    int slot;        // positional slot, 0 for a keyed row
    DEF_convert cvt; // conversion kind
    void *out;       // caller's variable filled after resolution, or null
    int *num;        // item count of a CV_strings row with `out`, or null
};
