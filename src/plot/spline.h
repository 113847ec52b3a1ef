// Natural cubic splines: a function spline y(x) through points with strictly
// increasing x, and a parametric spline (x(d), y(d)) through points of the
// plane over the cumulative chord length d. Arithmetic is single precision.
#pragma once

// The n second derivatives y''(x[k]) of the natural spline through
// (x[k], y[k]) (0 at both ends), in a new array the caller releases with
// free(). Null for fewer than two points, x not strictly increasing, or no
// memory.
float *SPLINE_create(int n, const float *x, const float *y);
// The spline's value at x0: the cubic of the interval that holds x0, the end
// intervals' cubics beyond the ends. -9999 without a spline (fewer than two
// points or null arrays).
float SPLINE_interp(float x0, int n, const float *coeffs, const float *x, const float *y);
// Fills d[0..n-1] with the chord lengths (d[0] = 0) and makes the two
// coefficient arrays of x over d and y over d (each released with free()).
// 1; 0 and both arrays null for fewer than two points, two equal consecutive
// points, or no memory.
int SPLINE_create2(int n, const float *x, const float *y, float *d, float **coeffx, float **coeffy);
// Both coordinate splines at parameter d0 into *x0 and *y0; 1, or 0 with
// -9999 outputs without a spline.
int SPLINE_interp2(float d0, int n, const float *coeffx, const float *coeffy, const float *x, const float *y,
                   const float *d, float *x0, float *y0);
