// Fuzz target: surface files of any bytes read as text reports, each report
// listed in every print kind (with a variable-column list that names every
// column), with blanks and then dashes for missing values; the bytes
// themselves also go through the weather texts and, as a user's number
// format, through the value text of the variable-column listing. The
// listings go to a log file that discards them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

constexpr const char *columns =
    "city,otime,temp,dewp,dewd,wdir,wspd,wgst,alt,pres,wx,saowx,txtwx,vis,cldcl,cldcv,ptend,prec1,prec3,"
    "prec6,"
    "prec12,prec24,prec,extt,maxt,maxt6,mint,mint6,snwdp,nlcld,lcld,mcld,hcld,solar,sst,wavper,wavhgt,vpres,"
    "svpres,wchilt,wchill2,wchilf,heat,humit,mrat,smrat,shum,rhum,wetblb,thetaw,thetae,thetav,theta,vtemp,"
    "fr,rmk,other";

void list_all(const SFC_report *report) {
    for (int kind = 1; kind <= 6; ++kind) {
        SFC_set_print(kind);
        SFC_print_line(M_PRINT, report);
    }
    SFC_print_report(report);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        MESS_set_str("fi=/dev/null,print");
        RES_put("variable", columns);
        ready = true;
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    char words[WX_TEXT_SIZE];
    WX_weather_text(text.c_str(), words, sizeof words);
    char long_words[64];
    WX_metar_weather_text(text.c_str(), long_words, sizeof long_words);
    print_cloud(text.c_str());
    char value[32];
    SFC_set_print_str(12.5f, "F", "", text.c_str(), value, sizeof value);

    char name[] = "/tmp/sfc_list_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        for (int type : {2, 3}) {
            int t = type;
            if (SFC_open(name, 0, &t) < 0) continue;
            SFC_info info;
            SFC_getinfo(0, &info);
            SFC_report report;
            int n = 0;
            while (n < 2000 && SFC_read(0, &report, 0, &n) == 0) {
                list_all(&report);
                ++n;
            }
            SFC_close(0);
        }
    }
    list_all(nullptr);
    // Dashes cannot be turned off again: from the second input on, every
    // listing shows them.
    SFC_set_miss_dash();
    unlink(name);
    return 0;
}
