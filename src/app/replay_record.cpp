// replay_record.cpp: the input diff, the state hash and the recorded changes put back.
#include "app/replay_record.h"

#include <cmath>
#include <cstring>

#include "scene/game_keys.h"

namespace {

InputSnapshot Snapshot(const Game& game) {
  InputSnapshot s;
  std::memcpy(s.keyState, game.input.keyState, sizeof s.keyState);
  s.toggles =
      static_cast<uint16_t>((game.input.showFrameTime ? 1 : 0) | (game.input.wireframe ? 2 : 0) |
                            (game.input.shadowsEnabled ? 4 : 0) | (game.seatView ? 8 : 0));
  s.yaw = game.camera.yaw;
  s.pitch = game.camera.pitch;
  s.zoom = game.camera.zoom;
  return s;
}

void Add(ReplayRecorder& r, ReplayInputKind kind, uint16_t arg, float a = 0, float b = 0) {
  if (r.replay.inputs.size() >= kReplayMaxInputs) {
    r.full = true;
    return;
  }
  const auto frame = static_cast<uint32_t>(r.replay.clock.size());
  r.replay.inputs.push_back({frame, kind, arg, a, b});
}

// FNV-1a over raw bytes: the same build gives the same bits for the same state.
struct Hasher {
  uint64_t h = 1469598103934665603ull;
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
  template <typename T>
  void Add(const T& v) {
    Bytes(&v, sizeof v);
  }
};

}  // namespace

void StartRecording(ReplayRecorder& r, const Game& game, const char* build) {
  r = ReplayRecorder{};
  r.replay.build = build;
  r.replay.duckLayout = DuckLayoutHash(game.world);
  r.replay.width = game.screenWidth;
  r.replay.height = game.screenHeight;
  // The whole room at once, so recording never allocates during play.
  r.replay.clock.reserve(kReplayMaxFrames);
  r.replay.inputs.reserve(kReplayMaxInputs);
  r.replay.hashes.reserve(kReplayMaxHashes);
  r.before = Snapshot(game);
  r.recording = true;
}

void RecordBeforePoll(ReplayRecorder& r, const Game& game) {
  if (r.recording) r.risingBeforePoll = game.world.canoeNode.rising;
}

void RecordAfterPoll(ReplayRecorder& r, const Game& game) {
  if (!r.recording) return;
  const InputSnapshot now = Snapshot(game);
  for (int key = 0; key < KeyCount; ++key) {
    // Escape ends the program, not the game: it is not part of the replay.
    if (now.keyState[key] == r.before.keyState[key] || key == kKeyEscape) continue;
    Add(r, now.keyState[key] ? ReplayInputKind::KeyDown : ReplayInputKind::KeyUp,
        static_cast<uint16_t>(key));
  }
  if (now.toggles != r.before.toggles) Add(r, ReplayInputKind::Toggles, now.toggles);
  if (now.yaw != r.before.yaw || now.pitch != r.before.pitch) {
    Add(r, ReplayInputKind::Look, 0, now.yaw, now.pitch);
  }
  if (now.zoom != r.before.zoom) Add(r, ReplayInputKind::Zoom, 0, now.zoom);
  if (game.world.canoeNode.rising && !r.risingBeforePoll) Add(r, ReplayInputKind::Jump, 0);
  r.before = now;
}

void RecordAfterFrame(ReplayRecorder& r, const Game& game) {
  if (!r.recording) return;
  Replay& rep = r.replay;
  if (rep.clock.size() >= kReplayMaxFrames) {
    r.full = true;
    r.recording = false;
    return;
  }
  const float now = game.clock.currentFrame;
  rep.clock.push_back(now);
  const auto frame = static_cast<uint32_t>(rep.clock.size() - 1);
  const int second = static_cast<int>(std::floor(now - rep.clock.front()));
  if (game.state.gameOver && r.endClock == 0.0f) r.endClock = now + kReplayTail;
  const bool last = r.endClock != 0.0f && now >= r.endClock;
  if ((second != r.lastSecond || last) && rep.hashes.size() < kReplayMaxHashes) {
    rep.hashes.push_back({frame, GameStateHash(game)});
    r.lastSecond = second;
  }
  rep.ducksCollected = static_cast<uint32_t>(game.state.ducksCollected);
  rep.won = game.state.ducksCollected == DuckCount;
  if (last) r.recording = false;
}

void ApplyReplayInputs(const Replay& replay, ReplayCursor& cursor, Game& game) {
  bool turned = false;
  for (; cursor.input < replay.inputs.size(); ++cursor.input) {
    const ReplayInput& in = replay.inputs[cursor.input];
    if (in.frame != cursor.frame) break;
    switch (in.kind) {
      case ReplayInputKind::KeyDown:
      case ReplayInputKind::KeyUp:
        game.input.keyState[in.arg] = in.kind == ReplayInputKind::KeyDown;
        break;
      case ReplayInputKind::Toggles:
        game.input.showFrameTime = (in.arg & 1) != 0;
        game.input.wireframe = (in.arg & 2) != 0;
        game.input.shadowsEnabled = (in.arg & 4) != 0;
        game.seatView = (in.arg & 8) != 0;
        break;
      case ReplayInputKind::Look:
        game.camera.yaw = in.a;
        game.camera.pitch = in.b;
        turned = true;
        break;
      case ReplayInputKind::Zoom:
        game.camera.zoom = in.a;
        break;
      case ReplayInputKind::Jump:
        game.world.canoeNode.rising = true;
        game.world.canoeNode.riseHeight = 0.0f;
        break;
    }
  }
  if (turned) game.camera.RecomputeAxes();
}

bool CheckReplayFrame(const Replay& replay, ReplayCursor& cursor, const Game& game) {
  bool same = true;
  if (cursor.hash < replay.hashes.size() && replay.hashes[cursor.hash].frame == cursor.frame) {
    same = replay.hashes[cursor.hash].hash == GameStateHash(game);
    ++cursor.hash;
  }
  ++cursor.frame;
  return same;
}

uint64_t GameStateHash(const Game& game) {
  Hasher h;
  const World& w = game.world;
  for (const SceneNode* node : {&w.canoeNode, &w.driverNode, &w.armsNode}) {
    h.Add(node->transform);
    h.Add(node->rising);
    h.Add(node->falling);
    h.Add(node->riseHeight);
  }
  const GameState& s = game.state;
  h.Add(s.timeLeft);
  h.Add(s.secondsShown);
  h.Add(s.ducksCollected);
  h.Add(s.duckAlive);
  h.Add(s.gameOver);
  h.Add(s.paddleStroke);
  h.Add(s.paddleSpeed);
  h.Add(game.camera.position);
  h.Add(game.camera.front);
  h.Add(game.camera.zoom);
  h.Add(game.seatView);
  h.Add(game.clock.deltaTime);
  return h.h;
}

uint64_t DuckLayoutHash(const World& world) {
  Hasher h;
  for (const SceneNode& duck : world.ducks) h.Add(duck.transform);
  return h.h;
}

namespace {

void PollForReplay(void* user) {
  auto& h = *static_cast<ReplayHooks*>(user);
  if (h.playback) {
    if (h.pollControls) h.pollControls(h.live.user);
    ApplyReplayInputs(*h.playback, h.cursor, *h.game);
    return;
  }
  if (h.recorder) RecordBeforePoll(*h.recorder, *h.game);
  if (h.live.pollEvents) h.live.pollEvents(h.live.user);
  if (h.recorder) RecordAfterPoll(*h.recorder, *h.game);
}

double ClockForReplay(void* user) {
  auto& h = *static_cast<ReplayHooks*>(user);
  if (h.playback) return h.playback->clock[h.cursor.frame];
  return h.live.now(h.live.user);
}

void RenderForReplay(void* user) {
  auto& h = *static_cast<ReplayHooks*>(user);
  if (h.live.render) h.live.render(h.live.user);
}

void SwapForReplay(void* user) {
  auto& h = *static_cast<ReplayHooks*>(user);
  if (h.live.swapBuffers) h.live.swapBuffers(h.live.user);
}

}  // namespace

FrameHooks ReplayFrameHooks(ReplayHooks& hooks) {
  return FrameHooks{&hooks, PollForReplay, ClockForReplay, RenderForReplay, SwapForReplay};
}

bool AfterReplayFrame(ReplayHooks& h) {
  if (h.recorder && !h.playback) RecordAfterFrame(*h.recorder, *h.game);
  if (h.playback && !CheckReplayFrame(*h.playback, h.cursor, *h.game)) h.diverged = true;
  return !h.diverged;
}

bool ReplayFinished(const ReplayHooks& h) {
  return h.playback && h.cursor.frame >= h.playback->clock.size();
}
