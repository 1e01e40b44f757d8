// pool_random.h: the generator that places the floating ducks.
//
// It is our own so that every build places the ducks alike: the desktop's C library and the
// browser build's give different sequences for the same seed. It reproduces the desktop's
// (glibc's default additive feedback generator), so the pool a desktop player knows stays put.
#pragma once

#include <cstdint>

// Additive feedback generator: 34 words of history, r[i] = r[i-3] + r[i-31].
struct PoolRandom {
  uint32_t history[34] = {};  // the last 34 words, a ring
  int next = 0;               // the ring position of the oldest word
};

PoolRandom SeedPoolRandom(uint32_t seed);  // the state after srand(seed)
int NextPoolRandom(PoolRandom& random);    // the next draw, 0 to 2^31 - 1, as rand() gives it
