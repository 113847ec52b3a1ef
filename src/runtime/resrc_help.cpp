// The syntax page printed for the help option. No file-static state.
#include <cstdio>

#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/system.h"
#include "runtime/zeq.h"

namespace {

// Usage and description of every key with an option-table row; a null
// description: the usage stands alone on its line and the item's lines follow.
struct Item {
    const char *usage;
    const char *desc;
};

constexpr Item items[RES_NUM_TYPES] = {
    {nullptr, nullptr},                                                         // 0
    {nullptr, nullptr},                                                         // 1
    {"-bg clr", "Background color"},                                            // 2
    {"-ba", "Run program in batch mode"},                                       // 3
    {nullptr, nullptr},                                                         // 4
    {"-bf file", "Bulletin file name"},                                         // 5
    {"-cf file", "City database file name"},                                    // 6
    {nullptr, nullptr},                                                         // 7
    {"-cocl clr", "Fill label color"},                                          // 8
    {"-cocd clr", "Cloud cover symbol colors"},                                 // 9
    {"-cocm clr", "Fill map color"},                                            // 10
    {"-coco clr", "Line contour color"},                                        // 11
    {nullptr, nullptr},                                                         // 12
    {"-cod clr", "Data plotting color"},                                        // 13
    {nullptr, nullptr},                                                         // 14
    {"-cof clr[,...]", "Fill contour colors"},                                  // 15
    {"-cofr hclr,lclr,cclr,wclr,oclr,tclr", "Front colors"},                    // 16
    {"-cogr clr", "grid color"},                                                // 17
    {"-coh dclr,sclr,hclr", "Hodograph colors"},                                // 18
    {"-coht dclr,sclr,hclr", "Hodograph text colors"},                          // 19
    {"-cola clr", "Line label color"},                                          // 20
    {nullptr, nullptr},                                                         // 21
    {"-coln clr", "Lat-lon line color"},                                        // 22
    {"-com clr", "line map color"},                                             // 23
    {"-copp clr", "Probablilty of precipitation color"},                        // 24
    {nullptr, nullptr},                                                         // 25
    {"-cosd tclr,tdclr", "Sounding colors"},                                    // 26
    {"-ct file", "Color table file name"},                                      // 27
    {"-cot clr", "Text color"},                                                 // 28
    {"-coth pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram colors"},      // 29
    {"-cott pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram text colors"}, // 30
    {"-cowd clr", "Wind barb colors"},                                          // 31
    {"-cowx clr", "Weather symbol colors"},                                     // 32
    {"command", "Commands to be run"},                                          // 33
    {"-cd cmd[;cmd]", "Commands to be run"},                                    // 34
    {"-cb base", "Color fill contour/vector base value"},                       // 35
    {nullptr, nullptr},                                                         // 36
    {"-in intrvl", "Contour interval"},                                         // 37
    {nullptr, nullptr},                                                         // 38
    {"-cp path", "Converted data path"},                                        // 39
    {"-cu [hour]", "Use current data file"},                                    // 40
    {"-dp path", "Raw data path"},                                              // 41
    {nullptr, nullptr},                                                         // 42
    {nullptr, nullptr},                                                         // 43
    {"-dr param[,...]", "Draw components: text,data,sum,map,none"},             // 44
    {"-dh hour", "Actual hour to decode"},                                      // 45
    {"-de dev[,name]", "Output device: d,p,q,w,m"},                             // 46
    {"-pf param", "File parameters: use,calc,over,app"},                        // 47
    {"-fp path", "File path"},                                                  // 48
    {"file", "Input file name"},                                                // 49
    {"file [file...]", "Input file names"},                                     // 50
    {"-fl list", "List of fonts to use"},                                       // 51
    {"-fc type", "Specific forecast product"},                                  // 52
    {"-ge wxh+x+y", "Window geometry"},                                         // 53
    {"-gn number", "Specific grid index in file to use"},                       // 54
    {"-gp path", "Gridded data path"},                                          // 55
    {"-gt number", "Specific grid type (number) to use"},                       // 56
    {"-h", "Print this help"},                                                  // 57
    {"-ho hour", "Actual hour of the file"},                                    // 58
    {"-ic", "Open window iconified"},                                           // 59
    {"-id ident", "Specific station identifier"},                               // 60
    {nullptr, nullptr},                                                         // 61
    {nullptr, nullptr},                                                         // 62
    {"-ip path", "Image file path"},                                            // 63
    {"-if type", "Input data file type"},                                       // 64
    {"-if type[,...]", "Input data file type"},                                 // 65
    {nullptr, nullptr},                                                         // 66
    {"-di name", "Ingestor type: zeq,whole,split,ldm,none"},                    // 67
    {"-in type", "Type of input"},                                              // 68
    {"-la label", "Plot labels"},                                               // 69
    {nullptr, nullptr},                                                         // 70
    {"-le level", "Vertical level to be plotted or contoured"},                 // 71
    {"-mf file[,file]", "Map database files"},                                  // 72
    {"-me level", "Message level to be displayed:"},                            // 73
    {"-mo model", "Specific model to use"},                                     // 74
    {nullptr, nullptr},                                                         // 75
    {"-nc type", "Naming convention file name"},                                // 76
    {nullptr, nullptr},                                                         // 77
    {"-nh hour[,step]", "Number of hours to view"},                             // 78
    {"-oa smooth[,radinf,pass,conv,min]", nullptr},                             // 79
    {"-of type", "Output file type"},                                           // 80
    {nullptr, nullptr},                                                         // 81
    {"-ou type", "Type of output"},                                             // 82
    {"-pa param[,...]", "Program parameters"},                                  // 83
    {"-pd region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},                // 84
    {"-fm format", "Numeric format"},                                           // 85
    {"-pp param", "Plot parameters"},                                           // 86
    {nullptr, nullptr},                                                         // 87
    {"-sc scale", "Text and wind vector scale factor"},                         // 88
    {"-pl type", "Plot type: cf,lcf,ln,dln,ndln,value,none"},                   // 89
    {nullptr, nullptr},                                                         // 90
    {nullptr, nullptr},                                                         // 91
    {"-ph header", "Specific product header"},                                  // 92
    {nullptr, nullptr},                                                         // 93
    {"-rp path", "Raw files path"},                                             // 94
    {nullptr, nullptr},                                                         // 95
    {"-re region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},                // 96
    {nullptr, nullptr},                                                         // 97
    {"-pr prior", "Priority of stations used in the plot"},                     // 98
    {"-st state", "Specific state to parse"},                                   // 99
    {"-ta", "Prints a table"},                                                  // 100
    {"-ft time", "Forecast time to be plotted or contoured"},                   // 101
    {"-ti title", "Window title"},                                              // 102
    {nullptr, nullptr},                                                         // 103
    {"val1 val2 ...", "Input values:"},                                         // 104
    {"-va var", "Variable to be plotted or contoured"},                         // 105
    {"-wp path", "Watch file data path"},                                       // 106
    {"-wn num", "ZEQLoop window number"},                                       // 107
    {"-cowa sclr,tclr", "Watch box colors"},                                    // 108
    {"-lf file", "Log file name"},                                              // 109
    {"-gd region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},                // 110
    {"-in type", "Type of input"},                                              // 111
    {"-tp path", "Text file path"},                                             // 112
    {"-mp path", "Model file path"},                                            // 113
    {"-sp path", "Satellite file path"},                                        // 114
};

const char *const domain_block[] = {
    "               region=predefined region:\n",
    "                  us,ne,at,se,mw,sp,nw,sw,etc\n",
    "               proj=projection, clat=central latitude, clon=central longitude,\n",
    "               nx,ny=number of gridpoints and dx,dy=grid spacing\n",
};

void print_lines(const char *const *lines, int n) {
    for (int i = 0; i < n; ++i)
        MESS_print(M_PRINT, "%s", lines[i]);
}

void print_domain_block() {
    print_lines(domain_block, 4);
}

} // namespace

int RES_help_item(res_type res) {
    int k = static_cast<int>(res);
    if (k < 0 || k >= RES_NUM_TYPES || !items[k].usage) {
        std::printf("%d\n", k);
        return 1;
    }
    const Item &it = items[k];
    if (it.desc)
        MESS_print(M_PRINT, " %-10s  %s\n", it.usage, it.desc);
    else
        MESS_print(M_PRINT, " %-10s\n", it.usage);

    switch (res) {
    case RES_message:
        MESS_print(M_PRINT, "%s", "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n");
        break;
    case RES_object_param:
        MESS_print(M_PRINT, "%s", "             Objective analysis parameters\n");
        break;
    case RES_plot_domain:
        MESS_print(M_PRINT, "%s", "             Output plot domain\n");
        print_domain_block();
        break;
    case RES_grid_domain:
        MESS_print(M_PRINT, "%s", "             Grid domain\n");
        print_domain_block();
        break;
    case RES_region:
        MESS_print(M_PRINT, "%s", "             Region to be used for plotting and gridding\n");
        print_domain_block();
        MESS_print(M_PRINT, "%s", "               us,ne,at,se,mw,sp,nw,sw,var\n");
        break;
    default:
        break;
    }
    return 1;
}

int RES_help_print(const char *name, const res_type *res_key, const res_type *res_pos) {
    MESS_print(M_PRINT, "%s syntax (version:%s)\n", name, ZEQ_version());
    MESS_print(M_PRINT, "   %s [options...]\n", name);
    MESS_print(M_PRINT, "Keyed options...\n");
    MESS_print(M_PRINT, " %-10s  Resource/defaults file name\n", "-df file");
    MESS_print(M_PRINT, " %-10s  Program name\n", "-na name");
    for (const res_type *k = res_key; k && *k != RES_null; ++k)
        RES_help_item(*k);
    MESS_print(M_PRINT, "Positional options...\n");
    for (const res_type *k = res_pos; k && *k != RES_null; ++k)
        RES_help_item(*k);
    return 1;
}
