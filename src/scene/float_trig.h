// float_trig.h: the sine and cosine the rules turn things with. Every C library's sinf and
// cosf differ from another's in the last bit for about one angle in a hundred, and a replay
// recorded by one build parts from another within seconds; the double versions rounded to
// float agree across the desktop's and the browser's libraries.
#pragma once

#include <cmath>

inline float SameSin(float x) {
  return static_cast<float>(std::sin(static_cast<double>(x)));
}
inline float SameCos(float x) {
  return static_cast<float>(std::cos(static_cast<double>(x)));
}
