// Shader trial: what the broker makes of workers that crash, hang, exhaust memory, never get a
// context or forge their reports, with a stand-in driver (no GL): each source text says what
// its "compile" does.
#include "trial/shader_trial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "trial/limits.h"

namespace {

// The stand-in's behaviour by source: "crash", "hang", "hog" (allocates without end), "quiet"
// (the driver reports running out of memory), "linkcrash" (the link crashes), "escape" (opens a
// socket, as a taken-over compiler would), "peek" (crashes if it can read a file of the user's),
// "drawhang" (its first draw hangs), "say BYTES[, exit|, crash]" (writes BYTES on the report,
// as a compiler taken over by its source could, then goes on, exits normally or crashes);
// anything else compiles at once.
// A crash by the default action of SIGSEGV, as a driver's would end (a sanitizer build's own
// handler would turn it into an exit status).
void Crash() {
  std::signal(SIGSEGV, SIG_DFL);
  std::raise(SIGSEGV);
}

unsigned FakeCompile(bool, const std::string& source) {
  if (source.rfind("say ", 0) == 0) {
    const std::string bytes = source.substr(4, source.find(',') - 4);
    if (write(3, bytes.data(), bytes.size()) < 0) Crash();  // the report's fixed place
    if (source.find(", exit") != std::string::npos) _exit(0);
    if (source.find(", crash") != std::string::npos) Crash();
  }
  if (source == "crash") Crash();
  if (source == "hang") {
    for (;;) sleep(1);
  }
  if (source == "escape") socket(AF_INET, SOCK_STREAM, 0);
  if (source == "peek" && open("/etc/passwd", O_RDONLY) >= 0) Crash();
  if (source == "hog") {
    for (;;) std::memset(new char[16 << 20], 1, 16 << 20);
  }
  return source == "linkcrash" ? 7 : source == "quiet" ? 9 : source == "drawhang" ? 11 : 1;
}
unsigned FakeLink(unsigned vertex, unsigned) {
  if (vertex == 7) Crash();
  return vertex;
}
void FakeDraw(unsigned program, const ShaderPassState&) {
  for (; program == 11;) sleep(1);
}
TrialContextKind Headless() {
  return TrialContextKind::Headless;
}
TrialContextKind Window() {
  return TrialContextKind::Window;
}
// A window context that starts a thread, as some drivers' do.
bool ThreadedContext(TrialContextKind) {
  static std::thread idle([] { pause(); });
  return true;
}
bool HaveContext(TrialContextKind) {
  return true;
}
bool NoContext(TrialContextKind) {
  return false;
}

// The stand-in driver that also reports a quiet failure after the "quiet" source.
unsigned lastCompiled = 0;
unsigned QuietCompile(bool vertex, const std::string& source) {
  lastCompiled = FakeCompile(vertex, source);
  return lastCompiled;
}
bool QuietOutOfMemory() {
  return lastCompiled == 9;
}

struct Expected {
  ShaderVerdict verdict;
  ShaderStep step;
  std::string reason;  // "" for a passed pair
};

// Making a worker's context gets one pair's time, and on a busy machine a fork, the confinement
// and the context can take over a second: only the cases that wait out a hang have a short pair
// time, and even that is room for a slow start.
constexpr ShaderTrialLimits kRoomy{std::size_t{64} << 20, 10.0, 30.0};
constexpr ShaderTrialLimits kHangs{std::size_t{64} << 20, 3.0, 30.0};
constexpr ShaderTrialLimits kShortTrial{std::size_t{64} << 20, 5.0, 0.5};

struct Case {
  const char* name;
  std::vector<std::string> vertices;  // one pair per entry; each fragment is "ok"
  std::vector<Expected> expected;
  ShaderTrialLimits limits = kRoomy;
  TrialContextKind (*pick)() = Headless;
  bool (*open)(TrialContextKind) = HaveContext;
};

std::string WriteSource(const std::string& folder, const std::string& name,
                        const std::string& text) {
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

TEST(ShaderTrial, EachPairGetsItsVerdictAndAFreshWorkerGoesOn) {
  using V = ShaderVerdict;
  using S = ShaderStep;
  // The reasons' shared words.
  const std::string crash = " crashed the driver in a trial run (",
                    late = " took too long (over 3 s)";
  const std::string notTried = "it could not be tried (", forgery = "its trial run sent a report";
  const Expected ok{V::Passed, S::Draw, ""};
  const Expected crashed{V::Crashed, S::Vertex, "compiling it" + crash + "signal 11)"};
  const Expected outOfMemory{V::OutOfMemory, S::Vertex,
                             "compiling it needed more memory than allowed (64 MiB)"};
  const Expected outOfTime{V::NotTried, S::Vertex,
                           "it was not tried within the shader trial's 0.5 s"};
  const Expected unconfined{V::NotTried, S::Vertex,
                            notTried + "its trial run could not be confined)"};
  const Expected forged{V::Forged, S::Vertex, forgery + " out of order while compiling it"};
  const std::vector<Case> cases = {
      {"all pass", {"ok", "ok"}, {ok, ok}},
      {"a crash costs its pair only", {"crash", "ok"}, {crashed, ok}},
      {"a compiler taken over is killed; its file probes fail",
       {"escape", "peek", "ok"},
       {{V::Crashed, S::Vertex, "compiling it" + crash + "signal 31)"}, ok, ok}},
      {"a crashing link",
       {"ok", "linkcrash", "ok"},
       {ok, {V::Crashed, S::Link, "linking it" + crash + "signal 11)"}, ok}},
      {"a hang", {"hang", "ok"}, {{V::TimedOut, S::Vertex, "compiling it" + late}, ok}, kHangs},
      {"endless allocation", {"hog", "ok"}, {outOfMemory, ok}},
      {"a driver that fails quietly", {"quiet", "ok"}, {outOfMemory, ok}},
      // Two workers run at once: both hang, and the third pair never starts.
      {"the whole trial's time runs out",
       {"hang", "hang", "ok"},
       {outOfTime, outOfTime, outOfTime},
       kShortTrial},
      {"no context",
       {"ok"},
       {{V::NotTried, S::Vertex, notTried + "no GL context for a trial run)"}},
       kRoomy,
       Headless,
       NoContext},
      {"a first draw that hangs",
       {"drawhang", "ok"},
       {{V::TimedOut, S::Draw, "drawing it" + late}, ok},
       kHangs},
      // A worker speaks for its own pair only, in order, once, and only if it then exits.
      {"a worker cannot vouch for the next pair",
       {"say FLDRVFLD", "crash"},
       {{V::Forged, S::Draw, forgery + " out of order while drawing it"}, crashed}},
      {"nor say one step many times", {"say DDDDDDDD", "ok"}, {forged, ok}},
      // The middle one's own whole sequence and a normal exit: what no check of the report can
      // tell apart from a real trial (the game's own confinement is the answer to that).
      {"nor reorder its steps", {"say LF", "say FLD, exit", "say x"}, {forged, ok, forged}},
      {"a whole sequence counts only from a worker that exits normally",
       {"say FLD, crash", "say F, exit"},
       {{V::Crashed, S::Draw, "drawing it" + crash + "signal 11)"},
        {V::Crashed, S::Fragment, "compiling it" + crash + "exit status 0)"}}},
      // A window-backed worker cannot draw: a long source is refused instead, a short one never
      // drawn.
      {"a window context refuses long sources",
       {"drawhang", std::string(kMaxUndrawnShaderBytes + 1, ' ')},
       {ok,
        {V::TooLarge, S::Vertex,
         "it is over 8 KiB, the most the trial takes when it cannot draw it"}},
       kRoomy,
       Window},
      {"a window context with threads is refused, fail closed",
       {"ok", "ok"},
       {unconfined, unconfined},
       kRoomy,
       Window,
       ThreadedContext},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char pattern[] = "/tmp/velloran_shader_trial_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    std::vector<std::string> paths;  // kept alive for the pairs' pointers
    for (std::size_t i = 0; i < c.vertices.size(); ++i) {
      paths.push_back(WriteSource(folder, std::to_string(i) + ".vertex", c.vertices[i]));
      paths.push_back(WriteSource(folder, std::to_string(i) + ".fragment", "ok"));
    }
    std::vector<ShaderPairPaths> plan;
    for (std::size_t i = 0; i < paths.size(); i += 2) {
      plan.push_back({paths[i].c_str(), paths[i + 1].c_str()});
    }
    const ShaderTrialDriver driver{c.pick,   c.open,   QuietCompile,
                                   FakeLink, FakeDraw, QuietOutOfMemory};
    ShaderTrial trial;
    ASSERT_TRUE(StartShaderTrial(trial, plan, driver, c.limits));
    for (std::size_t i = 0; i < plan.size(); ++i) {
      const ShaderPairTrial& pair = AwaitShaderPair(trial, plan[i].vertex, plan[i].fragment);
      EXPECT_TRUE(pair.read);
      EXPECT_EQ(pair.vertex, c.vertices[i]);
      EXPECT_EQ(pair.verdict, c.expected[i].verdict) << i;
      EXPECT_EQ(pair.step, c.expected[i].step) << i;
      EXPECT_EQ(pair.reason, c.expected[i].reason) << i;
    }
    FinishShaderTrial(trial);
    std::filesystem::remove_all(folder);
  }
}

// A FIFO, a missing file and a file over the cap are not read and cost no time; their (empty)
// sources are still tried, and a pair that was not planned is refused.
TEST(ShaderTrial, FilesThatAreNotReadAndPairsNotPlanned) {
  char pattern[] = "/tmp/velloran_shader_trial_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string fifo = folder + "/fifo.vertex";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string ok = WriteSource(folder, "ok.fragment", "ok");
  const std::string large =
      WriteSource(folder, "large.fragment", std::string(kMaxShaderFileBytes + 1, ' '));
  const std::string missing = folder + "/missing.vertex";
  const ShaderTrialDriver driver{Headless, HaveContext, QuietCompile,
                                 FakeLink, FakeDraw,    QuietOutOfMemory};
  ShaderTrial trial;
  ASSERT_TRUE(StartShaderTrial(
      trial, {{fifo.c_str(), ok.c_str()}, {missing.c_str(), large.c_str()}}, driver));
  for (const auto& [vertex, fragment] :
       std::vector<std::pair<std::string, std::string>>{{fifo, ok}, {missing, large}}) {
    const ShaderPairTrial& pair = AwaitShaderPair(trial, vertex, fragment);
    EXPECT_FALSE(pair.read);
    EXPECT_EQ(pair.vertex, "");
    EXPECT_EQ(pair.verdict, ShaderVerdict::Passed);
  }
  const ShaderPairTrial& stranger = AwaitShaderPair(trial, ok, ok);
  EXPECT_TRUE(stranger.read);
  EXPECT_EQ(stranger.verdict, ShaderVerdict::NotTried);
  EXPECT_EQ(stranger.reason, "it could not be tried (it was not among the files tried)");
  FinishShaderTrial(trial);
  std::filesystem::remove_all(folder);
}
