// web_replay.cpp: the page's recording and playback (see web_replay.h).
#include "web_replay.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "app/controls.h"
#include "app/replay_record.h"
#include "scene/game_keys.h"

namespace {

constexpr float kSpeeds[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f};
constexpr int kNormalSpeed = 2;
constexpr int kFastestSpeed = 5;
// At most this many recorded frames in one animation frame: a slow machine at 8x plays
// slower than asked rather than falling ever further behind.
constexpr int kMostFramesAPaint = 16;

// What a game changes as it runs, as it stood before the first frame. The world cannot be
// copied whole (its nodes link to each other by address), but each node can be put back in
// place, links and all.
struct GameStart {
  FrameClock clock;
  InputState input;
  Camera camera;
  bool seatView = true;
  GameState state;
  std::array<SceneNode, 26> nodes;
  glm::mat4 planeMatrix{1.0f};
  glm::vec3 lightPos{0.0f};
};

std::array<SceneNode*, 26> NodesOf(World& w) {
  return {&w.canoeNode,  &w.driverNode,   &w.armsNode,     &w.obstacles[0], &w.obstacles[1],
          &w.ducks[0],   &w.ducks[1],     &w.ducks[2],     &w.ducks[3],     &w.ducks[4],
          &w.ducks[5],   &w.ducks[6],     &w.ducks[7],     &w.ducks[8],     &w.ducks[9],
          &w.ducks[10],  &w.ducks[11],    &w.ducks[12],    &w.ducks[13],    &w.ducks[14],
          &w.budmanNode, &w.poolWallZNeg, &w.poolWallZPos, &w.poolWallXPos, &w.poolWallXNeg,
          &w.waterVolume};
}

struct Playback {
  Replay file;  // a dropped or picked file
  ReplayHooks hooks;
  FrameHooks outer;  // the page's own render
  bool active = false;
  bool paused = false;
  bool drawing = true;  // this frame is the last due in its animation frame
  bool said = false;    // the end or the divergence has been told
  int speed = kNormalSpeed;
  double position = 0.0;  // where playback stands on the recorded clock
  double wall = -1.0;     // the page's clock at the last step; < 0 before the first
};

GameStart start;
ReplayRecorder recorder;
ReplayHooks recording;
// Whether a jump was under way when the last frame ended. The page's keys arrive between
// frames, not inside the poll step as the desktop's do, so a jump begun by a key is judged
// against the last frame's end rather than the poll step's start.
bool risingAfterFrame = false;
std::string recordingBytes;
Playback playback;

// clang-format off
// The line the page shows while a replay plays: its speed and state.
EM_JS(void, TellPageWatching, (double speed, const char* state), {
  if (Module.velloranWatching) Module.velloranWatching(speed, UTF8ToString(state));
});
// clang-format on

void KeepStart(Game& game) {
  start.clock = game.clock;
  start.input = game.input;
  start.camera = game.camera;
  start.seatView = game.seatView;
  start.state = game.state;
  const auto nodes = NodesOf(game.world);
  for (size_t i = 0; i < nodes.size(); ++i) start.nodes[i] = *nodes[i];
  start.planeMatrix = game.world.planeMatrix;
  start.lightPos = game.world.lightPos;
}

void RestoreStart(Game& game) {
  game.clock = start.clock;
  game.input = start.input;
  game.camera = start.camera;
  game.seatView = start.seatView;
  game.state = start.state;
  const auto nodes = NodesOf(game.world);
  for (size_t i = 0; i < nodes.size(); ++i) *nodes[i] = start.nodes[i];
  game.world.planeMatrix = start.planeMatrix;
  game.world.lightPos = start.lightPos;
}

void RenderIfLast(void*) {
  if (playback.drawing && playback.outer.render) playback.outer.render(playback.outer.user);
}

void Tell() {
  char state[96] = "";
  const ReplayHooks& h = playback.hooks;
  if (h.diverged) {
    const Replay& r = *h.playback;
    std::snprintf(state, sizeof state, "diverged from the recording at %d s",
                  static_cast<int>(r.clock[h.cursor.frame - 1] - r.clock.front()));
  } else if (ReplayFinished(h)) {
    std::snprintf(state, sizeof state, "the end, %d of %d ducks", h.game->state.ducksCollected,
                  DuckCount);
  } else if (playback.paused) {
    std::snprintf(state, sizeof state, "paused");
  }
  TellPageWatching(kSpeeds[playback.speed], state);
}

std::string Watch(Game& game, const Replay& replay) {
  if (replay.duckLayout != DuckLayoutHash(game.world)) {
    return "its ducks were placed by another build (" + replay.build + ")";
  }
  ReleaseControls();  // keys held in the game are not the recording's
  RestoreStart(game);
  playback.hooks = ReplayHooks{};
  playback.hooks.game = &game;
  playback.hooks.playback = &replay;
  playback.hooks.live = FrameHooks{nullptr, nullptr, nullptr, RenderIfLast, nullptr};
  playback.active = true;
  playback.paused = false;
  playback.said = false;
  playback.speed = kNormalSpeed;
  playback.position = replay.clock.front();
  playback.wall = -1.0;
  Tell();
  return "";
}

}  // namespace

void StartPageRecording(Game& game) {
  KeepStart(game);
  StartRecording(recorder, game, VELLORAN_VERSION);
  recording.game = &game;
  recording.recorder = &recorder;
}

FrameHooks PageRecordingHooks(const FrameHooks& live) {
  recording.live = live;
  return ReplayFrameHooks(recording);
}

void PageBeforeLivePoll(const Game&) {
  recorder.risingBeforePoll = risingAfterFrame;
}

bool AfterPageFrame() {
  const bool was = recorder.recording;
  AfterReplayFrame(recording);
  risingAfterFrame = recording.game->world.canoeNode.rising;
  return was && !recorder.recording;
}

void EndPageRecording() {
  recorder.recording = false;
}

const std::string& PageRecordingBytes() {
  if (recordingBytes.empty() && !recorder.replay.clock.empty()) {
    recordingBytes = EncodeReplay(recorder.replay);
  }
  return recordingBytes;
}

std::string WatchPageRecording(Game& game) {
  if (recorder.replay.clock.empty()) return "nothing was recorded";
  recorder.recording = false;
  return Watch(game, recorder.replay);
}

std::string WatchReplayBytes(Game& game, const std::string& bytes) {
  std::string why;
  Replay replay;
  if (!DecodeReplay(bytes, replay, why)) return why;
  playback.file = std::move(replay);
  return Watch(game, playback.file);
}

std::string WatchAgain(Game& game) {
  if (!playback.hooks.playback) return "nothing was played";
  return Watch(game, *playback.hooks.playback);
}

bool Watching() {
  return playback.active;
}

void WatchStep(Game& game, GameAudio& audio, const FrameHooks& live, double now) {
  ReplayHooks& h = playback.hooks;
  const Replay& replay = *h.playback;
  playback.outer = live;
  const FrameHooks hooks = ReplayFrameHooks(h);
  const bool running = !playback.paused && !ReplayFinished(h) && !h.diverged;
  if (running && playback.wall >= 0.0)
    playback.position += (now - playback.wall) * kSpeeds[playback.speed];
  playback.wall = now;
  for (int run = 0; running && !ReplayFinished(h) && !h.diverged; ++run) {
    if (replay.clock[h.cursor.frame] > playback.position) break;
    if (run == kMostFramesAPaint) {
      playback.position = replay.clock[h.cursor.frame];
      break;
    }
    const uint32_t next = h.cursor.frame + 1;
    playback.drawing = run + 1 == kMostFramesAPaint || next >= replay.clock.size() ||
                       replay.clock[next] > playback.position;
    SoundBeforeFrame(audio, game);
    RunFrame(game, hooks);
    SoundAfterFrame(audio, game);
    AfterReplayFrame(h);
  }
  if ((ReplayFinished(h) || h.diverged) && !playback.said) {
    playback.said = true;
    Tell();
    if (h.diverged) {
      std::fprintf(stderr, "Replay: the game diverged from the recording\n");
    } else {
      std::fprintf(stderr, "Replay: the end, %d of %d ducks\n", game.state.ducksCollected,
                   DuckCount);
    }
  }
}

void WatchKey(int key) {
  if (key == kKeySpace) playback.paused = !playback.paused;
  if (key == kKeyUp) playback.speed = std::min(playback.speed + 1, kFastestSpeed);
  if (key == kKeyDown) playback.speed = std::max(playback.speed - 1, 0);
  if (key == kKeySpace || key == kKeyUp || key == kKeyDown) Tell();
}
