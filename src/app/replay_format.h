// replay_format.h: a recorded game as plain data, and its file form.
//
// A replay keeps what the game received, not what it became: the clock reading of every frame
// and each change the input step made (a key held or let go, a toggle, the camera turned or
// zoomed, a jump begun). The same rules run on the same readings reproduce the game, and a
// hash of the game's state about once a second says where they stopped doing so.
//
// File form, little-endian: a 64-byte header (magic "VLRNRPLY", version, the build's version,
// the duck layout, the window size, the counts, the outcome), then one float clock reading a
// frame, 16 bytes an input change, 16 bytes a state hash. The file is untrusted: decoding
// checks every count against the caps and every value against what a recording can hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kReplayVersion = 1;
constexpr uint32_t kReplayMaxFrames = 1u << 20;  // 93 s at 11 000 frames a second
constexpr uint32_t kReplayMaxInputs = 1u << 20;  // about one change a frame
constexpr uint32_t kReplayMaxHashes = 1u << 12;  // one a second, and the last frame's
constexpr int kReplayHeaderBytes = 64;
constexpr int kReplayInputBytes = 16;
constexpr int kReplayHashBytes = 16;
constexpr uint64_t kReplayMaxBytes = kReplayHeaderBytes + 4ull * kReplayMaxFrames +
                                     uint64_t{kReplayInputBytes} * kReplayMaxInputs +
                                     uint64_t{kReplayHashBytes} * kReplayMaxHashes;

enum class ReplayInputKind : uint16_t {
  KeyDown = 1,  // arg: the key now held
  KeyUp,        // arg: the key let go
  Toggles,      // arg: frame time, wireframe, shadows, seat view as bits 0-3
  Look,         // a: yaw, b: pitch
  Zoom,         // a: zoom
  Jump,         // a jump begun
};

// One change the input step made, in the poll step of frame `frame`.
struct ReplayInput {
  uint32_t frame = 0;
  ReplayInputKind kind = ReplayInputKind::KeyDown;
  uint16_t arg = 0;
  float a = 0.0f;
  float b = 0.0f;
};

struct ReplayHash {
  uint32_t frame = 0;  // the hash of the state after this frame
  uint64_t hash = 0;
};

struct Replay {
  std::string build;        // the recording build's version, at most 15 characters
  uint64_t duckLayout = 0;  // DuckLayoutHash of the recording's world
  uint32_t width = 0;       // the window it was played in
  uint32_t height = 0;
  uint32_t ducksCollected = 0;
  bool won = false;
  std::vector<float> clock;  // one reading a frame
  std::vector<ReplayInput> inputs;
  std::vector<ReplayHash> hashes;
};

std::string EncodeReplay(const Replay& replay);
// False with the reason in `why` for anything a recording cannot be.
bool DecodeReplay(const std::string& bytes, Replay& replay, std::string& why);
