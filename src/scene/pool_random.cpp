// pool_random.cpp: glibc's random_r (TYPE_3) written out: a Lehmer-seeded history of 31
// words, 310 draws discarded to mix it, then each word the sum of the words 3 and 31 back.
#include "scene/pool_random.h"

namespace {

constexpr int Lag = 31;         // the far tap
constexpr int Short = 3;        // the near tap
constexpr int Discarded = 310;  // draws thrown away after seeding

}  // namespace

PoolRandom SeedPoolRandom(uint32_t seed) {
  int32_t words[Lag];
  words[0] = static_cast<int32_t>(seed == 0 ? 1 : seed);
  for (int i = 1; i < Lag; ++i) {
    // 16807 * previous mod (2^31 - 1), by Schrage's method so nothing overflows 32 bits.
    const int32_t hi = words[i - 1] / 127773;
    const int32_t lo = words[i - 1] % 127773;
    int32_t word = 16807 * lo - 2836 * hi;
    if (word < 0) word += 2147483647;
    words[i] = word;
  }
  PoolRandom random;
  for (int i = 0; i < Lag; ++i) random.history[i] = static_cast<uint32_t>(words[i]);
  for (int i = Lag; i < 34; ++i) random.history[i] = random.history[i - Lag];
  random.next = 0;
  for (int i = 0; i < Discarded; ++i) NextPoolRandom(random);
  return random;
}

int NextPoolRandom(PoolRandom& random) {
  // The ring holds r[i-34] .. r[i-1] with r[i-34] at `next`.
  const int far = (random.next + 34 - Lag) % 34;
  const int near = (random.next + 34 - Short) % 34;
  const uint32_t word = random.history[far] + random.history[near];
  random.history[random.next] = word;
  random.next = (random.next + 1) % 34;
  return static_cast<int>(word >> 1);
}
