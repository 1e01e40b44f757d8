// replay_format.cpp: writing and strictly reading the replay file. Every field is copied byte
// by byte so the form is the same on every machine and a hostile length reads nothing past
// the end.
#include "app/replay_format.h"

#include <cmath>
#include <cstring>

#include "scene/game.h"

namespace {

constexpr char kMagic[8] = {'V', 'L', 'R', 'N', 'R', 'P', 'L', 'Y'};
constexpr size_t kBuildBytes = 16;

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
void Put64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
void PutFloat(std::string& out, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(out, v);
}

// A bounds-checked reader: every Take fails once past the end, and stays failed.
struct Reader {
  const std::string& bytes;
  size_t at = 0;
  bool ok = true;
  uint64_t Take(int n) {
    if (!ok || bytes.size() - at < static_cast<size_t>(n)) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    at += n;
    return v;
  }
  uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
  float Float() {
    const uint32_t v = U32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
};

bool Fail(std::string& why, const char* reason) {
  why = reason;
  return false;
}

bool BuildNameIsPrintable(const std::string& build) {
  for (char c : build) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

}  // namespace

std::string EncodeReplay(const Replay& r) {
  std::string out(kMagic, sizeof kMagic);
  Put32(out, kReplayVersion);
  std::string build = r.build.substr(0, kBuildBytes - 1);
  build.resize(kBuildBytes, '\0');
  out += build;
  Put64(out, r.duckLayout);
  Put32(out, r.width);
  Put32(out, r.height);
  Put32(out, static_cast<uint32_t>(r.clock.size()));
  Put32(out, static_cast<uint32_t>(r.inputs.size()));
  Put32(out, static_cast<uint32_t>(r.hashes.size()));
  Put32(out, r.ducksCollected | (r.won ? 0x100u : 0u));
  out.resize(kReplayHeaderBytes, '\0');
  for (float f : r.clock) PutFloat(out, f);
  for (const ReplayInput& in : r.inputs) {
    Put32(out, in.frame);
    Put32(out, static_cast<uint32_t>(in.kind) | (uint32_t{in.arg} << 16));
    PutFloat(out, in.a);
    PutFloat(out, in.b);
  }
  for (const ReplayHash& h : r.hashes) {
    Put32(out, h.frame);
    Put32(out, 0);
    Put64(out, h.hash);
  }
  return out;
}

bool DecodeReplay(const std::string& bytes, Replay& r, std::string& why) {
  r = Replay{};
  if (bytes.size() < kReplayHeaderBytes) return Fail(why, "too short for a replay");
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return Fail(why, "not a replay");
  Reader in{bytes, sizeof kMagic};
  if (in.U32() != kReplayVersion) return Fail(why, "a replay version this game does not read");
  r.build.assign(bytes, in.at, kBuildBytes);
  r.build.resize(std::strlen(r.build.c_str()));
  in.at += kBuildBytes;
  if (!BuildNameIsPrintable(r.build)) return Fail(why, "its build name is not text");
  r.duckLayout = in.Take(8);
  r.width = in.U32();
  r.height = in.U32();
  const uint32_t frames = in.U32();
  const uint32_t inputs = in.U32();
  const uint32_t hashes = in.U32();
  const uint32_t outcome = in.U32();
  r.ducksCollected = outcome & 0xff;
  r.won = (outcome & 0x100) != 0;
  if (frames == 0 || frames > kReplayMaxFrames || inputs > kReplayMaxInputs ||
      hashes > kReplayMaxHashes || (outcome & ~0x1ffu) != 0 || r.ducksCollected > DuckCount) {
    return Fail(why, "its counts are beyond what a recording holds");
  }
  const uint64_t expected = kReplayHeaderBytes + 4ull * frames +
                            uint64_t{kReplayInputBytes} * inputs +
                            uint64_t{kReplayHashBytes} * hashes;
  if (bytes.size() != expected) return Fail(why, "its length does not match its counts");
  in.at = kReplayHeaderBytes;

  r.clock.resize(frames);
  for (uint32_t i = 0; i < frames; ++i) {
    r.clock[i] = in.Float();
    // The game's clock only moves forward; it reads 0 only before the first frame.
    if (!std::isfinite(r.clock[i]) || r.clock[i] <= 0.0f ||
        (i > 0 && r.clock[i] < r.clock[i - 1])) {
      return Fail(why, "its clock readings are not a clock's");
    }
  }
  r.inputs.resize(inputs);
  for (uint32_t i = 0; i < inputs; ++i) {
    ReplayInput& e = r.inputs[i];
    e.frame = in.U32();
    const uint32_t word = in.U32();
    e.kind = static_cast<ReplayInputKind>(word & 0xffff);
    e.arg = static_cast<uint16_t>(word >> 16);
    e.a = in.Float();
    e.b = in.Float();
    const bool keyKind = e.kind == ReplayInputKind::KeyDown || e.kind == ReplayInputKind::KeyUp;
    const bool known =
        keyKind || (e.kind >= ReplayInputKind::Toggles && e.kind <= ReplayInputKind::Jump);
    if (e.frame >= frames || (i > 0 && e.frame < r.inputs[i - 1].frame) || !known ||
        (keyKind && e.arg >= KeyCount) || (e.kind == ReplayInputKind::Toggles && e.arg > 15) ||
        !std::isfinite(e.a) || !std::isfinite(e.b)) {
      return Fail(why, "it holds an input no game can receive");
    }
  }
  r.hashes.resize(hashes);
  for (uint32_t i = 0; i < hashes; ++i) {
    r.hashes[i].frame = in.U32();
    in.U32();
    r.hashes[i].hash = in.Take(8);
    if (r.hashes[i].frame >= frames || (i > 0 && r.hashes[i].frame <= r.hashes[i - 1].frame)) {
      return Fail(why, "its state checks are out of order");
    }
  }
  return in.ok || Fail(why, "it is cut short");
}
