// Weather, visibility and cloud-base codes: WMO present-weather numbers of
// manned and automatic stations, METAR weather groups and the weather letter
// code turned into each other, visibility and cloud-base codes into miles and
// feet, and compass words into degrees. Pure functions.
//
// A weather field (SFC_report.weather) holds a WMO present-weather number in
// decimal when it begins with a digit, a METAR group after a leading '!', and
// the weather letter code otherwise; " " is no weather.
#pragma once

#include <cstddef>

// Bytes a letter-code buffer needs: the longest code is 6 characters.
inline constexpr std::size_t WX_CODE_SIZE = 7;

// Writes the letter code of a manned-station present weather ww (0-99) into
// wx_str, which holds WX_CODE_SIZE bytes; " " for no significant weather and
// for any other number. Returns 0.
int WX_wmo_weather(int wx, char *wx_str);

// The same for an automatic-station present weather wawa; the buffer comes
// first. Returns 0.
int WX_wmo_auto_weather(char *wx_str, int wx);

// Writes the letter code of a METAR weather group (a leading '!' allowed)
// into wx_str, which holds at least 5 bytes: the code has at most 4
// characters and is empty for weather in the vicinity and for text that
// matches nothing. Returns 0.
int WX_metar_weather(const char *wx, char *wx_str);

// The WMO present-weather number of a weather field in any of its codings; 0
// when nothing matches.
int WX_weather_wmo(const char *str);

// Visibility in statute miles of a visibility code VV; -9999 for negative
// codes and for 90 and above.
float WX_wmo_vis(int vis);

// Representative cloud-base height in feet of a cloud-base code h (0-9);
// -9999 for any other code.
float WX_wmo_cld_base(int cb);

// Degrees of one of the sixteen compass words ("N", "NNE", ... "NNW", upper
// case only); -9999 for any other text.
float dir_decode(const char *dir);

// Brings a weather field to the letter code in code (size bytes, always
// terminated): a field beginning with a digit through WX_wmo_weather of its
// leading number, one beginning with '!' through WX_metar_weather, any other
// copied as it is (cut to fit). A null field gives the empty text. Returns 0.
int WX_field_code(const char *field, char *code, std::size_t size);

// Visibility in miles of a code VV up to 89 (the part that both visibility
// decoders share); -9999 for negative codes and codes from 90 up.
float WX_vis_miles(int vis);
