// The coded groups of the upper-air text files, shared by the upper-air file
// module's sources and its tests (not a public interface of the module).
#pragma once

namespace ua_read_int {

// Decoders of a pressure-height group PPhhh, a temperature-dewpoint group
// TTTDD and a wind group dddff. Malformed groups decode as missing values.
// decd_ph: 0, or -1 when the group or its height is missing.
int decd_ph(const char *str, float *pres, float *hght);
// decd_td: 0, or -1 when the group is missing.
int decd_td(const char *str, float *temp, float *dewpt);
// decd_wd: -1 for the missing group "X", else 0 (also when the values come
// out missing).
int decd_wd(const char *str, float *dir, float *spd);

// Encoders: the group is left in the module's group buffer (encd_group). A
// value the group cannot carry is never written wrong: a height or dewpoint
// becomes its missing form ("/", "99"), a pressure, temperature or wind the
// missing group ("X", or "99999" while an older type 1 or 2 file is open).
// 0, or -1 when the missing group was written.
int encd_ph(float pres, float hght);
int encd_td(float temp, float dewpt);
int encd_wd(float dir, float spd);
// The group the last encoder wrote.
const char *encd_group();

} // namespace ua_read_int
