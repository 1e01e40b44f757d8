// mutate.h: seeded, deterministic mutations of the game's run-time files for the fuzz
// campaign: byte-level edits for every type, plus edits that know each format's structure
// (COLLADA accessors, index lists, node nesting and repetition, texture names that block or
// leave the model's folder; JPEG Huffman tables and frame sizes; PNG chunks and the
// compressed stream; TrueType table records; settings.conf lines; GLSL macros, nesting and
// length; Ogg pages' granule positions, headers, codebooks and lacing; replays' counts,
// clock readings and inputs).
#pragma once

#include <cstdint>
#include <string>

enum class FuzzType { Collada, Jpeg, Png, TrueType, Settings, Glsl, Ogg, Replay };

// A small, fully specified generator, so a seed gives the same cases on every machine.
struct FuzzRng {
  std::uint64_t state;
  explicit FuzzRng(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t Next();  // splitmix64
  std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
};

// One mutated case made from `original`; `rng` decides every choice.
std::string MutateFile(FuzzType type, const std::string& original, FuzzRng& rng);

// One structural edit of an Ogg Vorbis file (mutate_ogg.cpp).
void OggEdit(std::string& data, FuzzRng& rng);
