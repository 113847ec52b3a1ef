// Vector tools: winds as direction and speed and as components.
#pragma once

// The direction the wind blows from (degrees clockwise from north, 0..360;
// 0 for a speed below 0.01) and the speed of the components u (toward the
// east) and v (toward the north). dir and spd may be the variables that hold
// u and v. A missing component (-9999) gives -9999 in both outputs and -1;
// else 0.
int vect2wind(float u, float v, float *dir, float *spd);
