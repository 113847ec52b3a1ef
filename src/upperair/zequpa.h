// Records shared by the upper-air and thermodynamics modules and their users.
#pragma once

// One sounding level; -9999 marks a missing value.
struct UPA_level {
    float p;   // pressure (mb)
    float h;   // height above sea level (m)
    float t;   // temperature (degrees Celsius)
    float td;  // dew point (degrees Celsius)
    float dir; // direction the wind blows from (degrees)
    float spd; // wind speed (knots)
};
