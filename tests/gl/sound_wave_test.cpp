// Hearing a scripted game: the real frame sequence with sound observing it, played through
// OpenAL Soft's wave-file backend, then the file read back. Each frame that starts a sound is
// followed by a wait (polled, with a deadline) until the sound has finished, so every event
// has its own stretch of the file; the device's own clock says where that stretch begins.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/game_audio.h"
#include "autopilot.h"
#include "input/player_options.h"
#include "loudness.h"
#include "render_play.h"

namespace {
constexpr double kWindow = 0.25;  // seconds of file heard after each event
constexpr double kGap = 0.6;      // seconds of file between one event and the next frame

struct HeardEvent {
  SoundId id;
  double at;  // seconds into the wave file
};

double DeviceSeconds(const AudioOutput& audio) {
  auto* device = static_cast<ALCdevice*>(audio.device);
  using GetInt64 = void (*)(ALCdevice*, ALCenum, ALCsizei, ALCint64SOFT*);
  auto get = reinterpret_cast<GetInt64>(alcGetProcAddress(device, "alcGetInteger64vSOFT"));
  ALCint64SOFT ns = 0;
  if (get) get(device, ALC_DEVICE_CLOCK_SOFT, 1, &ns);
  return static_cast<double>(ns) * 1e-9;
}

// Runs frames one at a time; after one that started sounds, notes them and waits until they
// have played out and the file has gone on for a gap more, so the hall's echo of one event has
// faded under the next (a busy machine may mix slowly: the deadline is generous).
struct Listening {
  ScriptedPlay& play;
  GameAudio& audio;
  std::vector<HeardEvent> heard;

  void Frames(long count) {
    for (long i = 0; i < count; ++i) {
      RunScriptedFrames(play, 1);
      const SoundEvents& events = audio.lastEvents;
      if (events.count == 0) continue;
      const double at = DeviceSeconds(audio.output);
      for (int n = 0; n < events.count; ++n) heard.push_back({events.list[n].id, at});
      WaitFor(at + kGap);
    }
  }
  // Waits until the device has mixed up to `seconds` and no voice sounds any more.
  void WaitFor(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((AnyVoicePlaying(audio.output) || DeviceSeconds(audio.output) < seconds) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // Frames at the game's pace, none with a sound, until the device has mixed up to `seconds`.
  void Idle(double seconds) {
    while (DeviceSeconds(audio.output) < seconds) {
      RunScriptedFrames(play, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // Frames until `done` holds (at most `limit`).
  template <typename Done>
  void FramesUntil(Done done, long limit) {
    for (long i = 0; i < limit && !done(); ++i) Frames(1);
  }
  std::vector<HeardEvent> Of(SoundId id) const {
    std::vector<HeardEvent> out;
    for (const HeardEvent& e : heard) {
      if (e.id == id) out.push_back(e);
    }
    return out;
  }
};

// A 16-bit stereo wave file's samples, interleaved.
struct Wave {
  int rate = 0;
  std::vector<std::int16_t> samples;
};

Wave ReadWave(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  Wave wave;
  auto u32 = [&bytes](size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, &bytes[at], 4);
    return v;
  };
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id(&bytes[at], 4);
    const size_t size = u32(at + 4);
    if (id == "fmt ") wave.rate = static_cast<int>(u32(at + 12));
    if (id == "data") {
      // The file is closed when the device is; a size still zero means "to the end".
      const size_t n = size ? std::min(size, bytes.size() - at - 8) : bytes.size() - at - 8;
      wave.samples.resize(n / 2);
      std::memcpy(wave.samples.data(), &bytes[at + 8], wave.samples.size() * 2);
      break;
    }
    at += 8 + size + (size & 1);
  }
  return wave;
}

struct Loudness {
  double left = 0.0, right = 0.0;  // RMS, full scale 1
  double Louder() const { return std::max(left, right); }
};

// Seconds [from, from + seconds) of the file as interleaved stereo, full scale 1.
std::vector<float> Stretch(const Wave& wave, double from, double seconds) {
  const long first = std::max(0L, static_cast<long>(from * wave.rate));
  const long last = std::min<long>(first + static_cast<long>(seconds * wave.rate),
                                   static_cast<long>(wave.samples.size() / 2));
  std::vector<float> out;
  for (long i = 2 * first; i < 2 * last; ++i) out.push_back(wave.samples[i] / 32768.0f);
  return out;
}

Loudness Rms(const Wave& wave, double from, double seconds) {
  const std::vector<float> s = Stretch(wave, from, seconds);
  double l = 0.0, r = 0.0;
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) l += s[i] * s[i], r += s[i + 1] * s[i + 1];
  const double n = static_cast<double>(s.size() / 2);
  return n > 0 ? Loudness{std::sqrt(l / n), std::sqrt(r / n)} : Loudness{};
}

// The quietest tenth of a second in the file once the ambience has faded in: the ambience
// alone.
double Floor(const Wave& wave) {
  double quietest = 1.0;
  const double length = static_cast<double>(wave.samples.size() / 2) / wave.rate;
  for (double t = kAmbienceFadeIn + 1.0; t + 0.1 < length; t += 0.05)
    quietest = std::min(quietest, Rms(wave, t, 0.1).Louder());
  return quietest;
}

double Db(double rms) {
  return 20.0 * std::log10(std::max(rms, 1e-9));
}

void PlaceAt(SceneNode& node, glm::vec3 position) {
  node.transform = glm::translate(glm::mat4(1.0f), position);
  node.UpdateBounds();
}

// Sends OpenAL's output to a 48 kHz wave file of this process's own, so two runs of a test at
// once (two build trees on one machine) never remove or overwrite each other's file. Made
// before OpenAL's first call, when it reads its configuration.
struct WaveOutput {
  std::string wave, conf;
  WaveOutput() {
    const std::string name = ::testing::TempDir() + "velloran_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                             std::to_string(getpid());
    wave = name + ".wav", conf = name + ".conf";
    std::ofstream(conf) << "[general]\nsample-type=int16\nfrequency=48000\n[wave]\nfile=" << wave
                        << "\n";
    setenv("ALSOFT_DRIVERS", "wave", 1);
    setenv("ALSOFT_CONF", conf.c_str(), 1);
  }
  ~WaveOutput() {
    std::remove(wave.c_str());
    std::remove(conf.c_str());
  }
};

// A scripted game heard through the wave file: frames of 20 ms, drawing off.
class SoundWave : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
    play = StartPlay(64, 64, 0.02);
    play->options.draw = false;  // the rules of drawing only: frames cost microseconds
    ASSERT_TRUE(StartAudio(audio.output)) << "the wave backend did not open";
    play->audio = &audio;
  }
  void TearDown() override {
    if (play) PlayGuard{play.get()};
  }
  // Closes the file and reads it back.
  Wave Heard() {
    play->audio = nullptr;
    StopAudio(audio.output);
    return ReadWave(output.wave);
  }
  WaveOutput output;
  std::unique_ptr<ScriptedPlay> play;
  GameAudio audio;
};

}  // namespace

TEST_F(SoundWave, ScriptedGameIsHeardWhereThingsHappen) {
  Listening listening{*play, audio, {}};
  World& world = play->game.world;
  GameState& state = play->game.state;

  // Open water at z = 35, the canoe facing +x; a duck brushing its right (starboard, +z) side
  // ahead, and one brushing its left side further on.
  SceneNode& canoe = world.canoeNode;
  canoe.transform[3] = glm::vec4(0.0f, canoe.transform[3].y, 35.0f, 1.0f);
  canoe.UpdateBounds();
  const float side = canoe.size.z * 0.5f + world.ducks[1].size.z * 0.25f;
  PlaceAt(world.ducks[1], glm::vec3(3.5f, -0.6f, 35.0f + side));
  PlaceAt(world.ducks[2], glm::vec3(7.5f, -0.6f, 35.0f - side));
  listening.Frames(1);
  listening.WaitFor(0.6);  // the ambience alone at first: the file's quiet floor

  ScheduleKey(*play, play->frameIndex, GLFW_KEY_W, GLFW_PRESS);
  listening.FramesUntil([&] { return !state.duckAlive[1]; }, 300);
  listening.FramesUntil([&] { return !state.duckAlive[2]; }, 300);
  listening.Frames(150);  // paddling on in open water
  ScheduleKey(*play, play->frameIndex, GLFW_KEY_W, GLFW_RELEASE);
  // The rest of the 90 seconds, to the end and a little beyond.
  listening.FramesUntil([&] { return state.gameOver; }, 5000);
  listening.Frames(100);

  const Wave wave = Heard();
  ASSERT_EQ(wave.rate, 48000);
  const double floor = Floor(wave);
  std::printf("ambience floor %.1f dB\n", Db(floor));
  for (const HeardEvent& e : listening.heard) {
    const Loudness l = Rms(wave, e.at, kWindow);
    std::printf("%-7s at %6.2f s  left %6.1f dB  right %6.1f dB\n",
                kSoundFiles[static_cast<int>(e.id)].path + 7, e.at, Db(l.left), Db(l.right));
    // Every event is heard over the ambience (by 6 dB at least).
    EXPECT_GT(l.Louder(), 2.0 * floor)
        << kSoundFiles[static_cast<int>(e.id)].path << " at " << e.at;
  }

  const std::vector<HeardEvent> squeaks = listening.Of(SoundId::Squeak);
  ASSERT_EQ(squeaks.size(), 2u);
  const Loudness first = Rms(wave, squeaks[0].at, kWindow);
  const Loudness second = Rms(wave, squeaks[1].at, kWindow);
  // Both ducks are nearly ahead (about 12 degrees off the bow): a clear but modest difference.
  EXPECT_GT(first.right, 1.1 * first.left) << "the duck on the right";
  EXPECT_GT(second.left, 1.1 * second.right) << "the duck on the left";
  EXPECT_GE(listening.Of(SoundId::Paddle).size(), 2u);
  EXPECT_EQ(listening.Of(SoundId::Tick).size(), 10u);
  EXPECT_EQ(listening.Of(SoundId::TimeUp).size(), 1u);
  EXPECT_EQ(listening.Of(SoundId::Win).size(), 0u);
}

// Each sound alone, where the game plays it with the seat's view, read by a loudness meter:
// the mix's ranking holds within 3 LU of its aims. Then M, just after a take-off, leaves
// nothing of it or of the hall's echo 100 ms later.
TEST_F(SoundWave, EachSoundPlaysAtItsLoudnessAndMuteSilencesTheHall) {
  Listening listening{*play, audio, {}};
  RunScriptedFrames(*play, 1);
  const GameSnapshot seat = TakeSnapshot(play->game);
  // The ambience once it has faded in, then paused so each sound is heard alone.
  const double ambienceFrom = kAmbienceFadeIn + 0.5, ambienceSeconds = 6.0;
  listening.Idle(ambienceFrom + ambienceSeconds);
  // The player's volumes: the same stretch of the ambience's loop at 100 and at 50 (the loop's
  // loudness varies along it), then everything at 0. The first second after a change holds the
  // echo of what came before, and is not heard.
  ALfloat loopAt = 0.0f;
  alGetSourcef(audio.output.ambience, AL_SEC_OFFSET, &loopAt);
  const double volumeSeconds = 2.5, fullFrom = DeviceSeconds(audio.output) + 1.0;
  listening.Idle(fullFrom + volumeSeconds);
  SetVolumes(audio.output, 1.0f, 1.0f, VolumeGain(50));
  alSourcef(audio.output.ambience, AL_SEC_OFFSET, loopAt);
  const double halfFrom = DeviceSeconds(audio.output) + 1.0;
  listening.Idle(halfFrom + volumeSeconds);
  SetVolumes(audio.output, VolumeGain(0), 1.0f, 1.0f);
  const double zeroFrom = DeviceSeconds(audio.output) + 0.2;
  listening.Idle(zeroFrom + 0.5);
  SetVolumes(audio.output, 1.0f, 1.0f, 1.0f);
  alSourcePause(audio.output.ambience);

  // Momentary max in LUFS, the ambience's integrated.
  const double aim[kSoundCount] = {-25, -20, -23, -23, -23, -23, -25, -16, -16, -32};
  const glm::vec3 sideways = glm::vec3(seat.canoe[2]) * (play->game.world.canoeNode.size.z * 0.6f);
  const glm::vec3 duck = seat.canoeCentre + glm::vec3(seat.canoe[0]) * 2.5f + sideways;
  const glm::vec3 where[kSoundCount] = {
      seat.blade, duck, seat.canoeCentre, seat.canoeCentre, seat.canoeCentre, seat.canoeCentre};
  double at[kSoundCount] = {};
  for (int id = 0; id + 1 < kSoundCount; ++id) {
    SoundEvents one;
    one.Add(static_cast<SoundId>(id), where[std::min(id, 5)], id <= 5);
    at[id] = DeviceSeconds(audio.output);
    PlaySoundEvents(audio.output, one, seat.listener);
    listening.WaitFor(at[id] + 1.6);  // the echo 25 dB down before the next
  }

  alSourcePlay(audio.output.ambience);
  SoundEvents jump;
  jump.Add(SoundId::TakeOff, seat.canoeCentre, true);
  PlaySoundEvents(audio.output, jump, seat.listener);
  listening.WaitFor(DeviceSeconds(audio.output) + 0.15);
  ToggleMute(audio.output);
  const double muted = DeviceSeconds(audio.output);
  listening.WaitFor(muted + 0.6);

  const Wave wave = Heard();
  ASSERT_EQ(wave.rate, 48000);
  for (int id = 0; id < kSoundCount; ++id) {
    const bool loop = id == static_cast<int>(SoundId::Ambience);
    const LoudnessReading r =
        loop ? MeasureLoudness(Stretch(wave, ambienceFrom, ambienceSeconds), 2, wave.rate)
             : MeasureLoudness(Stretch(wave, at[id] - 0.1, 1.5), 2, wave.rate);
    const double heard = loop ? r.integrated : r.momentaryMax;
    std::printf("%-9s %6.1f LUFS %s (aim %.0f)\n", kSoundFiles[id].path + 7, heard,
                loop ? "integrated" : "momentary max", aim[id]);
    EXPECT_NEAR(heard, aim[id], 3.0) << kSoundFiles[id].path;
  }
  const double full =
      MeasureLoudness(Stretch(wave, fullFrom, volumeSeconds), 2, wave.rate).integrated;
  const double half =
      MeasureLoudness(Stretch(wave, halfFrom, volumeSeconds), 2, wave.rate).integrated;
  const double zero = Db(Rms(wave, zeroFrom, 0.5).Louder());
  std::printf(
      "ambience_volume 100: %.1f LUFS, 50: %.1f LUFS (%.2f dB down); volume 0: %.1f "
      "dBFS\n",
      full, half, full - half, zero);
  EXPECT_NEAR(full - half, 6.02, 0.5);
  EXPECT_LT(zero, -90.0) << "volume = 0 is heard";
  const double after = Db(Rms(wave, muted + 0.1, 0.3).Louder());
  std::printf("100-400 ms after M: %.1f dBFS\n", after);
  EXPECT_LT(after, -60.0) << "M leaves sound, or the echo of it, playing";
}

// A whole game won by the autopilot, frames paced by the device's clock as a player would hear
// it: loud enough to play without turning up, quiet enough to leave room, and never clipping.
TEST_F(SoundWave, AWinningGameSitsInItsLoudnessRangeWithoutClipping) {
  Autopilot pilot;
  PlanAutopilot(pilot, play->game);
  const double start = DeviceSeconds(audio.output);
  const GameState& state = play->game.state;
  while (play->frameIndex < 95 * 50 && !state.gameOver) {
    // Only a frame that could collect a duck is drawn: the scene drawing collects them.
    const SceneNode& canoe = play->game.world.canoeNode;
    const auto& ducks = play->game.world.ducks;
    play->options.draw = false;
    for (int i = 0; i < DuckCount; ++i) {
      const float apart = glm::distance(ducks[i].minCorner + ducks[i].size * 0.5f,
                                        canoe.minCorner + canoe.size * 0.5f);
      play->options.draw = play->options.draw || (state.duckAlive[i] && apart < 4.0f);
    }
    SteerAutopilot(pilot, *play);
    RunScriptedFrames(*play, 1);
    const double due = start + 0.02 * static_cast<double>(play->frameIndex);
    while (DeviceSeconds(audio.output) < due)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(state.ducksCollected, DuckCount);
  const double end = DeviceSeconds(audio.output) + 1.5;  // the win's arpeggio and its echo
  while (DeviceSeconds(audio.output) < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const Wave wave = Heard();
  const std::vector<float> game = Stretch(wave, start, end - start);
  const double integrated = MeasureLoudness(game, 2, wave.rate).integrated;
  const double truePeak = TruePeakDb(game, 2);
  std::printf("a won game of %.1f s: %.1f LUFS integrated, true peak %.1f dBFS\n", (end - start),
              integrated, truePeak);
  EXPECT_GE(integrated, -27.0);
  EXPECT_LE(integrated, -18.0);
  EXPECT_LT(truePeak, -1.0);
}
