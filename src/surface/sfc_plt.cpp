// The surface plot driver: input kind, run date, the variable prompt and the
// plots that the program's main loop asks for.
// File-static state: whether the variable prompt is armed, the variable text
// and the file date of the run.
#include "surface/sfc_plt.h"

#include <cstring>

#include "fields/var_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "surface/data.h"

namespace {

constexpr std::size_t VAR_STR_SIZE = 80;

int variable_prompt = 1;
char var_str[VAR_STR_SIZE];
Date file_date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};

// Applies the words of one list resource to the input kind; later words win.
void input_words(const char *resource) {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals(resource, &argc, &argv);
    for (int i = 0; i < argc; ++i) {
        char *word = argv[i];
        if (std::strstr(word, "forfront")) {
            FLAG_set(FLAG_INPUT, 11);
            char conv[] = "frf_dat";
            FILE_set_name(conv);
        } else if (std::strstr(word, "front")) {
            FLAG_set(FLAG_INPUT, 11);
            char conv[] = "frt_dat";
            FILE_set_name(conv);
        } else {
            if (std::strstr(word, "sfc")) FLAG_set(FLAG_INPUT, 10);
            FILE_set_name(word);
        }
    }
    free_parsed_array(argc, argv);
}

} // namespace

int SFC_cvt_in_file() {
    char conv[] = "sfc_cvt";
    FILE_set_name(conv);
    FLAG_set(FLAG_INPUT, 10);
    input_words("input");
    input_words("in_file");
    return 0;
}

int SFC_set_date(const Date *datim) {
    if (datim)
        file_date = *datim;
    else
        FILE_get_date(&file_date);
    return 0;
}

int SFC_set_prompt_variable(int val) {
    variable_prompt = val;
    return 0;
}

int SFC_prompt_variable() {
    static bool init = false;
    if (!init) {
        VAR_open_file(nullptr);
        init = true;
    }
    VAR_read_menu();
    if (!variable_prompt) return 0;

    int result;
    if (const char *var = RES_get("variable")) {
        variable_prompt = 0;
        if (std::strlen(var) >= sizeof var_str) {
            MESS_print(M_ERROR, "SFC_prompt_variable: Variable specification longer than %d characters\n",
                       static_cast<int>(sizeof var_str - 1));
            return 0;
        }
        std::memcpy(var_str, var, std::strlen(var) + 1);
        result = 1;
    } else {
        result = VAR_menu("\n        Variable Menu\n", "Enter the variable: ", var_str, 3);
        if (FLAG_batch()) variable_prompt = 0;
        if (result == 0) return 0;
        if (result < 0 && result != MISSING) ZEQ_exit(0);
    }
    FLAG_set(FLAG_LTYPE, 1);
    VAR_setup(nullptr, var_str);
    DATA_new_grid();
    return result;
}

// Stands in for the surface plot driver until it is built: nothing is drawn.
// The trace line at its start stays with the driver.
int SFC_plot(Domain *) {
    MESS_print(M_DEBUG_A, "SFC_plot: %d variables\n", VAR_get_num());
    return 0;
}
