// Vector tools: winds as direction and speed and as components, plain polar
// vectors, and the products of three-component vectors.
#pragma once

// A three-component vector; x = -9999 marks it missing.
struct VECT {
    float x;
    float y;
    float z;
};

// Directions are degrees clockwise from north. A wind direction is where the
// wind blows from; u points east and v north, in the units of the speed.
// Every conversion returns 0, or -1 with -9999 in both outputs when an input
// is -9999. The outputs may be the variables that hold the inputs.

// Components of the wind from dir at speed spd: u = -spd sin dir,
// v = -spd cos dir.
int wind2vect(float dir, float spd, float *u, float *v);
// The direction the wind blows from (0..360; 0 for a speed below 0.01) and the
// speed of the components u and v.
int vect2wind(float u, float v, float *dir, float *spd);
// Components of the vector of length spd pointing toward dir:
// u = spd sin dir, v = spd cos dir.
int polar2vect(float dir, float spd, float *u, float *v);
// The direction the vector (u, v) points to (-180..180; 0 for a length below
// 0.01) and its length.
int vect2polar(float u, float v, float *dir, float *spd);

// u.v; -9999 when u.x or v.x is -9999.
float dot_product(VECT u, VECT v);
// *w = u x v and 0; when u.x or v.x is -9999, all of w is -9999 and -1.
int cross_product(VECT u, VECT v, VECT *w);
