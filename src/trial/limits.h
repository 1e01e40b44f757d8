// limits.h: every bound the game sets on what it reads, in one place, so a reviewer can see
// what a hostile folder can cost at most. Each is far above what the game's own data needs
// (the largest model file is 0.7 MB, the largest image 0.1 MB, the font 0.2 MB, the largest
// shader 4 KB, the largest sound 0.2 MB and 36 s of stereo).
#pragma once

#include <cstddef>

// ---- file sizes (bytes read before anything parses them) ---------------------------------
constexpr std::size_t kMaxModelFileBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxImageFileBytes = std::size_t{32} << 20;
constexpr std::size_t kMaxFontFileBytes = std::size_t{32} << 20;
constexpr std::size_t kMaxShaderFileBytes = std::size_t{256} << 10;
constexpr std::size_t kMaxSoundFileBytes = std::size_t{4} << 20;
// The player's own gamepad mappings; the community's whole list is under 1 MB.
constexpr std::size_t kMaxPadMappingBytes = std::size_t{2} << 20;

// ---- what one model may hold (the game refuses a model past any of these) ----------------
constexpr std::size_t kMaxModelMeshes = 1024;
constexpr std::size_t kMaxModelVertices = std::size_t{1} << 20;  // all meshes together
constexpr std::size_t kMaxModelIndices = std::size_t{4} << 20;   // all meshes together
constexpr std::size_t kMaxModelTextures = 64;                    // distinct texture files
constexpr std::size_t kMaxModelTextureUses = 4096;  // (mesh, texture) pairs bound per draw

// ---- what one sound may hold (the decoder stops and refuses past any of these) -----------
constexpr int kMaxSoundSeconds = 60;  // decoded length: a small file may declare hours
constexpr int kMaxSoundChannels = 8;  // past two, mixed down to one
constexpr int kMinSoundRate = 8000;   // samples per second
constexpr int kMaxSoundRate = 96000;

// Longest path a trial takes; a longer one cannot be opened on Linux anyway.
constexpr std::size_t kMaxTrialPath = 4096;

// A shader source tried where the trial cannot draw it (a window-backed trial context): the
// cost of its first draw is then bounded only by its length.
constexpr std::size_t kMaxUndrawnShaderBytes = std::size_t{8} << 10;
// What the game prints of any text a trial worker sends back: the size of its log buffer.
constexpr std::size_t kMaxWorkerTextBytes = 512;

// ---- the trial ---------------------------------------------------------------------------
// How the trial's workers are bounded, and how much the game takes from the trial in all.
struct TrialLimits {
  std::size_t memoryBytes = std::size_t{256} << 20;  // per worker, beyond what it had at the fork
  double seconds = 5.0;                              // wall clock per file
  double totalSeconds = 30.0;                        // wall clock for every file together
  std::size_t totalBytes = std::size_t{512} << 20;   // decoded bytes the game accepts in all
  int parallel = 2;                                  // workers at once
};
