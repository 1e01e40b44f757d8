// Sound files: every committed sound decodes to what the game expects, and hostile ones
// (cut, lying about their length, channels or rate, garbage behind the magic, too large,
// missing) each print one ERROR::SOUND line and give an empty clip, whether decoded in this
// process or through the confined file trial as the game does.
#include "audio/sound_clip.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "trial/decoders.h"
#include "trial/file_trial.h"
#include "trial/limits.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The offsets of the Ogg pages in `bytes`, by walking their headers.
std::vector<std::size_t> OggPages(const std::string& bytes) {
  std::vector<std::size_t> pages;
  for (std::size_t at = 0; at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0;) {
    pages.push_back(at);
    const std::size_t segments = static_cast<unsigned char>(bytes[at + 26]);
    std::size_t body = 0;
    for (std::size_t s = 0; s < segments; ++s)
      body += static_cast<unsigned char>(bytes[at + 27 + s]);
    at += 27 + segments + body;
  }
  return pages;
}

// Recomputes the checksum of the page at `at`, so an edit is a well-formed Ogg page.
void FixOggCrc(std::string& bytes, std::size_t at) {
  const std::size_t segments = static_cast<unsigned char>(bytes[at + 26]);
  std::size_t size = 27 + segments;
  for (std::size_t s = 0; s < segments; ++s) size += static_cast<unsigned char>(bytes[at + 27 + s]);
  for (int i = 0; i < 4; ++i) bytes[at + 22 + i] = 0;
  std::uint32_t crc = 0;
  for (std::size_t i = at; i < at + size; ++i) {
    crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc << 1) ^ ((crc & 0x80000000u) ? 0x04c11db7u : 0u);
  }
  for (int i = 0; i < 4; ++i) bytes[at + 22 + i] = static_cast<char>(crc >> (8 * i));
}

// Little-endian `value` into `size` bytes at `at` of the page at `page`, checksum fixed.
std::string Patched(std::string bytes, std::size_t page, std::size_t at, std::uint64_t value,
                    int size) {
  for (int i = 0; i < size; ++i) bytes[page + at + i] = static_cast<char>(value >> (8 * i));
  FixOggCrc(bytes, page);
  return bytes;
}

struct Hostile {
  const char* name;
  std::string bytes;
  const char* reason;
};

std::vector<Hostile> HostileSounds() {
  const std::string squeak = ReadBytes("sounds/squeak.ogg");
  const std::string ambience = ReadBytes("sounds/ambience.ogg");
  const std::size_t last = OggPages(squeak).back();
  // The identification header: its page's body starts after one lacing value.
  constexpr std::size_t kChannels = 28 + 11, kRate = 28 + 12;
  std::string garbage = "OggS";
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919) >> 3);
  return {
      {"empty.ogg", "", "it is empty"},
      {"garbage.ogg", garbage, "it is not an Ogg Vorbis stream"},
      {"cut.ogg", ambience.substr(0, ambience.size() * 6 / 10), "it is cut short or damaged"},
      {"hours.ogg", Patched(squeak, last, 6, std::uint64_t{22050} * 7200, 8),
       "it is longer than allowed"},
      {"holds_more.ogg", Patched(squeak, last, 6, 100, 8), "it is cut short or damaged"},
      {"channels.ogg", Patched(squeak, 0, kChannels, 200, 1), "it is not an Ogg Vorbis stream"},
      {"rate.ogg", Patched(squeak, 0, kRate, 1000, 4),
       "its sample rate is outside what the game plays"},
      {"huge.ogg", "OggS" + std::string(kMaxSoundFileBytes, '\0'), "it is larger than allowed"},
  };
}

// What LoadSoundClip printed for `path`, and its clip.
std::string LoadPrinting(const std::string& path, SoundClip& clip) {
  testing::internal::CaptureStdout();
  const bool loaded = LoadSoundClip(path.c_str(), clip);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(loaded, !clip.samples.empty()) << path;
  return printed;
}

}  // namespace

TEST(SoundClip, EveryGameSoundDecodesQuietlyAtItsRateAndLength) {
  struct Expected {
    double seconds;
    int rate, channels;
  } const expected[kSoundCount] = {
      {0.4, 44100, 1},  {0.3, 22050, 1},  {0.45, 22050, 1}, {0.9, 44100, 1}, {0.3, 22050, 1},
      {0.55, 22050, 1}, {0.12, 22050, 1}, {1.3, 22050, 1},  {0.9, 22050, 1}, {36.0, 22050, 2}};
  std::size_t totalBytes = 0;
  SetDecodeWhere(DecodeWhere::InProcess);
  for (int id = 0; id < kSoundCount; ++id) {
    const Expected& e = expected[id];
    SoundClip clip;
    EXPECT_EQ(LoadPrinting(kSoundFiles[id].path, clip), "");
    EXPECT_EQ(clip.sampleRate, e.rate) << kSoundFiles[id].path;
    EXPECT_EQ(clip.channels, e.channels) << kSoundFiles[id].path;
    EXPECT_EQ(clip.samples.size(), static_cast<std::size_t>(std::lround(e.seconds * e.rate)) *
                                       static_cast<std::size_t>(e.channels))
        << kSoundFiles[id].path;
    int peak = 0;
    for (std::int16_t s : clip.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    // Heard, and never clipped: the generator leaves headroom.
    EXPECT_GT(peak, 32767 / 5) << kSoundFiles[id].path;
    EXPECT_LT(peak, 32000) << kSoundFiles[id].path;
    totalBytes += fs::file_size(kSoundFiles[id].path);
  }
  SetDecodeWhere(DecodeWhere::InTrialOnly);
  EXPECT_LT(totalBytes, std::size_t{1} << 20);
}

TEST(SoundClip, HostileFilesPrintOneLineAndStaySilentWithAndWithoutTheTrial) {
  const fs::path folder =
      fs::temp_directory_path() / ("sound_clip_test_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::vector<Hostile> cases = HostileSounds();
  std::vector<TrialFile> plan;
  for (const Hostile& h : cases) {
    std::ofstream((folder / h.name).string(), std::ios::binary) << h.bytes;
    plan.push_back({(folder / h.name).string(), FileKind::Sound});
  }
  cases.push_back({"missing.ogg", "", "it could not be opened"});
  plan.push_back({(folder / "missing.ogg").string(), FileKind::Sound});
  plan.push_back({"sounds/tick.ogg", FileKind::Sound});

  // The trial first: its workers must manage in a process that has decoded nothing itself
  // (ctest runs each test in a process of its own).
  for (const bool trialRuns : {true, false}) {
    FileTrial trial;
    if (trialRuns) {
      ASSERT_TRUE(StartFileTrial(trial, plan));
      InstallFileTrial(&trial);
    }
    SetDecodeWhere(trialRuns ? DecodeWhere::InTrialOnly : DecodeWhere::InProcess);
    for (const Hostile& h : cases) {
      const std::string path = (folder / h.name).string();
      SoundClip clip;
      EXPECT_EQ(LoadPrinting(path, clip),
                "ERROR::SOUND:: Could not load " + path + ": " + h.reason + "\n")
          << h.name << (trialRuns ? " through the trial" : " in this process");
      EXPECT_TRUE(clip.samples.empty());
      EXPECT_EQ(clip.sampleRate, 0);
    }
    SoundClip good;  // a good sound beside them still loads
    EXPECT_EQ(LoadPrinting("sounds/tick.ogg", good), "");
    EXPECT_EQ(good.samples.size(), 2646u);
    if (trialRuns) {
      InstallFileTrial(nullptr);
      FinishFileTrial(trial);
    }
  }
  SetDecodeWhere(DecodeWhere::InTrialOnly);
  fs::remove_all(folder);
}
