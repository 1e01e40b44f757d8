// fuzz_main.cpp: the fuzz campaign's driver. It mutates the repository's own run-time files
// with a seed, then loads every case the way the game does: the trial process first, then
// the game's own loaders in a real GL context for the files that passed. One line per case,
// then a table. A shader case is one mutated stage with its pair's other file, tried by the
// shader trial and then built by Shader. Run it from the repository root.
//
//   velloran_fuzz [--seed S] [--cases N] [--first K] [--types dae,jpg,png,ttf,conf,glsl,ogg,vrp]
//                 [--work DIR]
//   velloran_fuzz --emit TYPE INDEX [--seed S]   writes one case's bytes to standard output
//   velloran_fuzz --direct TYPE PATH             decodes a file in this process, untried, so a
//                                                test can show that a file really is hostile
//                                                (status 99: an allocation failed)
//
// Case i of a type is the same file whatever --first and --cases say, so a long campaign can
// run in pieces and a case can be replayed alone.
#include <GLFW/glfw3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/replay_record.h"
#include "app/replay_store.h"
#include "app/session.h"
#include "app/settings.h"
#include "audio/sound_clip.h"
#include "gfx/model.h"
#include "gfx/release.h"
#include "gfx/shader.h"
#include "gfx/shader_trial_compile.h"
#include "gfx/text_renderer.h"
#include "gfx/texture.h"
#include "mutate.h"
#include "trial/decoders.h"
#include "trial/file_trial.h"

namespace fs = std::filesystem;

namespace {

struct TypeInfo {
  FuzzType type;
  const char* name;  // also the case files' extension
  std::vector<std::string> seeds;
};

struct FuzzCase {
  const TypeInfo* info;
  long index;
  std::string path;
  std::string partner;  // a shader case: the pair's other, unmutated file
};

// Per type: how the cases ended.
struct Tally {
  long cases = 0;
  std::map<std::string, long> outcomes;
  std::int64_t workerPeakKiB = 0;
  double slowestMs = 0.0;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<TypeInfo> SeedCorpora() {
  std::vector<TypeInfo> types = {{FuzzType::Collada, "dae", {}},
                                 {FuzzType::Jpeg, "jpg", {}},
                                 {FuzzType::Png, "png", {}},
                                 {FuzzType::TrueType, "ttf", {}},
                                 {FuzzType::Settings, "conf", {}}};
  for (const char* folder : {"assets", "assets/duck", "textures", "textures/skybox", "fonts"}) {
    std::error_code missing;  // a folder that is not there just adds no seeds
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
      const std::string ext = entry.path().extension().string();
      for (TypeInfo& info : types) {
        if (ext == std::string(".") + info.name) info.seeds.push_back(entry.path().string());
      }
    }
  }
  types[4].seeds.push_back("settings.conf");
  types.push_back({FuzzType::Glsl, "glsl", {}});  // both stages of every pair
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator("shader", missing)) {
    types[5].seeds.push_back(entry.path().string());
  }
  types.push_back({FuzzType::Ogg, "ogg", {}});  // every sound
  for (const auto& entry : fs::directory_iterator("sounds", missing)) {
    types[6].seeds.push_back(entry.path().string());
  }
  types.push_back({FuzzType::Replay, "vrp", {"tools/fuzz/seeds/short_game.vrp"}});
  for (TypeInfo& info : types) std::sort(info.seeds.begin(), info.seeds.end());
  return types;
}

std::uint64_t CaseSeed(std::uint64_t seed, FuzzType type, long index) {
  return seed * 1000003ull + static_cast<std::uint64_t>(type) * 7919ull +
         static_cast<std::uint64_t>(index) * 104729ull;
}

std::size_t ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

// Loads one case through the game's own path; returns the failure path it took.
std::string LoadCase(const FuzzCase& c, FileTrial& trial, std::int64_t& workerKiB) {
  if (c.info->type == FuzzType::Glsl) {
    const bool vertex =
        fs::path(c.partner).extension() == ".fragment";  // the case is the vertex stage
    const std::string& vertexPath = vertex ? c.path : c.partner;
    const std::string& fragmentPath = vertex ? c.partner : c.path;
    const ShaderPairTrial* tried = TriedShaderPair(vertexPath.c_str(), fragmentPath.c_str());
    const Shader shader(vertexPath.c_str(), fragmentPath.c_str());
    GLint linked = GL_FALSE;
    glGetProgramiv(shader.programId, GL_LINK_STATUS, &linked);
    glDeleteProgram(shader.programId);
    switch (tried ? tried->verdict : ShaderVerdict::NotTried) {
      case ShaderVerdict::Passed:
        return linked ? "linked" : "error line";
      case ShaderVerdict::Crashed:
        return "refused: crashed";
      case ShaderVerdict::OutOfMemory:
        return "refused: out of memory";
      case ShaderVerdict::TimedOut:
        return "refused: timed out";
      default:
        return "refused: not tried";
    }
  }
  if (c.info->type == FuzzType::Replay) {
    // Read as --replay reads it; one that passes is stepped through as playback steps it.
    Replay replay;
    std::string why;
    if (!ReadReplayFile(c.path, replay, why)) return "refused: " + why;
    auto game = std::make_unique<Game>();
    ReplayCursor cursor;
    while (cursor.frame < replay.clock.size()) {
      ApplyReplayInputs(replay, cursor, *game);
      CheckReplayFrame(replay, cursor, *game);
    }
    return "played";
  }
  if (c.info->type == FuzzType::Settings) {
    const Settings settings(c.path);
    const bool accepted = settings.width > 0 && settings.height > 0 &&
                          settings.width <= kMaxWindowSide && settings.height <= kMaxWindowSide;
    return accepted ? "size accepted" : "size refused";
  }
  const TrialRecord* record = AwaitTrialRecord(trial, c.path);
  workerKiB = record ? record->peakKiB : 0;
  std::string refusal;
  if (!record) {
    refusal = "refused: not tried";
  } else if (record->verdict == TrialVerdict::Crashed) {
    refusal = "refused: crashed";
  } else if (record->verdict == TrialVerdict::OutOfMemory) {
    refusal = "refused: out of memory";
  } else if (record->verdict == TrialVerdict::TimedOut) {
    refusal = "refused: timed out";
  } else if (record->verdict == TrialVerdict::Refused) {
    refusal = "refused: not read";
  }
  // The loaders run for refused files too: they must take their failure path on their own.
  std::string outcome;
  if (c.info->type == FuzzType::Collada) {
    Model model(c.path.c_str());
    outcome = model.directory.empty() ? "error line" : "loaded";
    ReleaseModel(model);
  } else if (c.info->type == FuzzType::Ogg) {
    SoundClip clip;
    outcome = LoadSoundClip(c.path.c_str(), clip) ? "loaded" : "error line";
  } else if (c.info->type == FuzzType::TrueType) {
    TextRenderer text(c.path.c_str());
    outcome = text.glyphs.empty() ? "error line" : "loaded";
    ReleaseTextRenderer(text);
  } else {
    GLuint texture = 0;
    LoadTexture(texture, c.path.c_str());
    outcome = record && record->decoded && refusal.empty() ? "loaded" : "fallback texture";
    ReleaseTexture(texture);
  }
  return refusal.empty() ? outcome : refusal;
}

void PrintTable(const std::vector<TypeInfo>& types, const std::map<std::string, Tally>& tallies,
                std::size_t driverPeakKiB) {
  std::printf("\n%-5s %6s  %-60s %14s %10s\n", "type", "cases", "failure paths taken",
              "worker peak", "slowest");
  for (const TypeInfo& info : types) {
    const auto found = tallies.find(info.name);
    if (found == tallies.end()) continue;
    const Tally& t = found->second;
    std::string paths;
    for (const auto& [name, count] : t.outcomes) {
      paths += (paths.empty() ? "" : ", ") + name + " " + std::to_string(count);
    }
    std::printf("%-5s %6ld  %-60s %10lld MiB %7.0f ms\n", info.name, t.cases, paths.c_str(),
                static_cast<long long>(t.workerPeakKiB / 1024), t.slowestMs);
  }
  std::printf("driver peak resident memory: %zu MiB; crashes 0, hangs 0\n", driverPeakKiB / 1024);
}

// One case's bytes; `from` is the file they were made from.
std::string MutatedCase(const TypeInfo& info, std::uint64_t seed, long index,
                        std::string* from = nullptr) {
  FuzzRng rng(CaseSeed(seed, info.type, index));
  const std::string& seedPath = info.seeds[rng.Below(info.seeds.size())];
  if (from) *from = seedPath;
  const std::string original = ReadBytes(seedPath);
  return MutateFile(info.type, original, rng);
}

const TypeInfo* FindType(const std::vector<TypeInfo>& types, const std::string& name) {
  for (const TypeInfo& info : types) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

// Decoder calls without a trial: whatever the file does to them happens to this process.
// Exits 99 when an allocation fails (run it under `ulimit -v` to see a file's appetite).
int DecodeDirectly(const TypeInfo& info, const std::string& path) {
  std::set_new_handler([] { _exit(99); });
  SetDecodeWhere(DecodeWhere::InProcess);  // the point of this mode
  bool decoded = false;
  if (info.type == FuzzType::Collada) decoded = DecodeModelFile(path).loaded;
  if (info.type == FuzzType::Jpeg || info.type == FuzzType::Png) {
    decoded = !DecodeImageFile(path).rgb.empty();
  }
  if (info.type == FuzzType::TrueType) decoded = DecodeFontFile(path).faceReady;
  if (info.type == FuzzType::Ogg) decoded = !DecodeSoundFile(path).samples.empty();
  std::printf("%s\n", decoded ? "decoded" : "not decoded");
  return decoded ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t seed = 1;
  long cases = 20;
  long first = 0;
  std::string typeList = "dae,jpg,png,ttf,conf,glsl,ogg,vrp";
  std::string work;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--seed")
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (flag == "--cases")
      cases = std::strtol(argv[i + 1], nullptr, 10);
    else if (flag == "--first")
      first = std::strtol(argv[i + 1], nullptr, 10);
    else if (flag == "--types")
      typeList = argv[i + 1];
    else if (flag == "--work")
      work = argv[i + 1];
  }
  std::vector<TypeInfo> types = SeedCorpora();
  for (int i = 1; i + 2 < argc; ++i) {
    const TypeInfo* info = FindType(types, argv[i + 1]);
    if (!info) continue;
    if (std::strcmp(argv[i], "--emit") == 0) {
      const std::string bytes = MutatedCase(*info, seed, std::strtol(argv[i + 2], nullptr, 10));
      std::fwrite(bytes.data(), 1, bytes.size(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--direct") == 0) return DecodeDirectly(*info, argv[i + 2]);
  }
  bool ownWork = false;
  if (work.empty()) {
    std::string pattern = (fs::temp_directory_path() / "velloran_fuzz_XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    work = pattern;
    ownWork = true;
  }
  work = fs::absolute(work).string();

  // Every case is written before the trial starts: its plan is fixed at the fork.
  std::vector<FuzzCase> all;
  std::vector<TrialFile> plan;
  std::vector<std::string> pairPaths;  // vertex, fragment, vertex, ...: the shader trial's plan
  for (const TypeInfo& info : types) {
    if (("," + typeList + ",").find(std::string(",") + info.name + ",") == std::string::npos)
      continue;
    const fs::path folder = fs::path(work) / info.name;
    fs::create_directories(folder);
    if (info.type == FuzzType::Collada) {
      // The models' textures sit beside the cases, as they sit beside the models.
      for (const char* from : {"assets", "assets/duck"}) {
        for (const auto& entry : fs::directory_iterator(from)) {
          const fs::path link = folder / entry.path().filename();
          std::error_code ignored;
          if (entry.path().extension() == ".jpg" && !fs::exists(link)) {
            fs::copy_file(entry.path(), link, ignored);  // a link out would be refused
          }
        }
      }
    }
    for (long index = first; index < first + cases; ++index) {
      char name[64];
      std::snprintf(name, sizeof name, "case_%06ld.%s", index, info.name);
      const std::string path = (folder / name).string();
      std::string from;
      std::ofstream(path, std::ios::binary) << MutatedCase(info, seed, index, &from);
      all.push_back({&info, index, path, ""});
      if (info.type == FuzzType::Glsl) {
        // The stage the case was made from is the one it replaces.
        const bool vertex = fs::path(from).extension() == ".vertex";
        std::string partner = fs::path(from).replace_extension(vertex ? ".fragment" : ".vertex");
        all.back().partner = partner;
        pairPaths.push_back(vertex ? path : partner);
        pairPaths.push_back(vertex ? partner : path);
      }
      if (info.type == FuzzType::Collada) plan.push_back({path, FileKind::Model});
      if (info.type == FuzzType::Jpeg || info.type == FuzzType::Png)
        plan.push_back({path, FileKind::Image});
      if (info.type == FuzzType::TrueType) plan.push_back({path, FileKind::Font});
      if (info.type == FuzzType::Ogg) plan.push_back({path, FileKind::Sound});
    }
  }

  FileTrial trial;
  TrialLimits limits;
  limits.totalSeconds = 24 * 3600.0;  // a campaign tries thousands of files
  limits.totalBytes = ~std::size_t{0};
  if (!StartFileTrial(trial, plan, limits)) {
    std::printf("fuzz: could not start the trial process\n");
    return 2;
  }
  // The shader trial gets time for every case: the campaign judges each by itself.
  std::vector<ShaderPairPaths> pairs;
  for (std::size_t i = 0; i + 1 < pairPaths.size(); i += 2) {
    pairs.push_back({pairPaths[i].c_str(), pairPaths[i + 1].c_str()});
  }
  ShaderTrialLimits shaderLimits;
  shaderLimits.totalSeconds = 10.0 + 6.0 * static_cast<double>(pairs.size());
  ShaderTrial shaderTrial;
  StartShaderTrial(shaderTrial, pairs, GameShaderTrialDriver(), shaderLimits);
  Game game;
  game.screenWidth = 64;
  game.screenHeight = 64;
  WindowOptions options;
  options.visible = false;
  options.installCallbacks = false;
  GLFWwindow* window = OpenGameWindow(game, options);
  if (!window) return 2;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  InstallFileTrial(&trial);
  InstallShaderTrial(&shaderTrial);

  // The loaders' own lines are expected here; the campaign's lines replace them.
  std::ostringstream swallowed;
  std::streambuf* const realOut = std::cout.rdbuf(swallowed.rdbuf());
  std::map<std::string, Tally> tallies;
  std::size_t driverPeakKiB = ResidentKiB();
  for (const FuzzCase& c : all) {
    std::int64_t workerKiB = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::string outcome = LoadCase(c, trial, workerKiB);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    swallowed.str("");
    driverPeakKiB = std::max(driverPeakKiB, ResidentKiB());
    Tally& t = tallies[c.info->name];
    ++t.cases;
    ++t.outcomes[outcome];
    t.workerPeakKiB = std::max(t.workerPeakKiB, workerKiB);
    t.slowestMs = std::max(t.slowestMs, ms);
    std::printf("CASE %s %ld %s | %lld KiB %.0f ms\n", c.info->name, c.index, outcome.c_str(),
                static_cast<long long>(workerKiB), ms);
    std::fflush(stdout);
  }
  std::cout.rdbuf(realOut);
  InstallFileTrial(nullptr);
  FinishFileTrial(trial);
  InstallShaderTrial(nullptr);
  FinishShaderTrial(shaderTrial);
  // No glfwTerminate: it would unload the GL driver, whose lifetime allocations LeakSanitizer
  // would then find in a module it can no longer name. The process ends here anyway.
  std::printf("PEAK %zu\n", driverPeakKiB);
  PrintTable(types, tallies, driverPeakKiB);
  if (ownWork) fs::remove_all(work);
  // A file the trial never reached means the trial itself broke down.
  for (const auto& [name, tally] : tallies) {
    if (tally.outcomes.count("refused: not tried")) return 1;
  }
  return 0;
}
