// Vector tools: winds as direction and speed from their components.
// No file-static state.
#include "plot/vecttool.h"

#include <cmath>

#include "runtime/zeq.h"

int vect2wind(float u, float v, float *dir, float *spd) {
    if (u == FMISSING || v == FMISSING) {
        *dir = FMISSING;
        *spd = FMISSING;
        return -1;
    }
    const float s = std::sqrt(u * u + v * v);
    float d = 0.0f;
    if (s >= 0.01f) {
        d = float(std::atan2(-double(u), -double(v)) * RAD_TO_DEG);
        if (d < 0.0f) d += 360.0f;
    }
    *dir = d;
    *spd = s;
    return 0;
}
