// Shader trial: what the broker makes of workers that crash, hang, exhaust memory or never get
// a context, with a stand-in driver (no GL): each source text says what its "compile" does.
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
#include <vector>

#include "trial/limits.h"

namespace {

// The stand-in's behaviour by source: "crash", "hang", "hog" (allocates without end), "quiet"
// (the driver reports running out of memory), "linkcrash" (the link crashes), "escape" (opens a
// socket, as a taken-over compiler would), "peek" (crashes if it can read a file of the user's);
// anything else compiles at once.
// A crash by the default action of SIGSEGV, as a driver's would end (a sanitizer build's own
// handler would turn it into an exit status).
void Crash() {
  std::signal(SIGSEGV, SIG_DFL);
  std::raise(SIGSEGV);
}

unsigned FakeCompile(bool, const std::string& source) {
  if (source == "crash") Crash();
  if (source == "hang") {
    for (;;) sleep(1);
  }
  if (source == "escape") socket(AF_INET, SOCK_STREAM, 0);
  if (source == "peek" && open("/etc/passwd", O_RDONLY) >= 0) Crash();
  if (source == "hog") {
    for (;;) std::memset(new char[16 << 20], 1, 16 << 20);
  }
  return source == "linkcrash" ? 7 : source == "quiet" ? 9 : 1;
}
void FakeLink(unsigned vertex, unsigned) {
  if (vertex == 7) Crash();
}
bool FakeOutOfMemory() {
  return false;
}
TrialContextKind Headless() {
  return TrialContextKind::Headless;
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
  const char* reason;  // "" for a passed pair
};

struct Case {
  const char* name;
  std::vector<std::string> vertices;  // one pair per entry; each fragment is "ok"
  bool context;
  ShaderTrialLimits limits;
  std::vector<Expected> expected;
};

std::string WriteSource(const std::string& folder, const std::string& name,
                        const std::string& text) {
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

TEST(ShaderTrial, EachPairGetsItsVerdictAndAFreshWorkerGoesOn) {
  const ShaderTrialLimits quick{std::size_t{64} << 20, 0.5, 20.0};
  // Touching 64 MiB takes over half a second on a busy machine: room for the memory limit to
  // be met before the time limit.
  const ShaderTrialLimits roomy{std::size_t{64} << 20, 10.0, 20.0};
  const ShaderTrialLimits shortTrial{std::size_t{64} << 20, 5.0, 0.5};
  const Expected passed{ShaderVerdict::Passed, ShaderStep::Link, ""};
  const std::vector<Case> cases = {
      {"all pass", {"ok", "ok"}, true, quick, {passed, passed}},
      {"a crash costs its pair only",
       {"crash", "ok"},
       true,
       quick,
       {{ShaderVerdict::Crashed, ShaderStep::Vertex,
         "compiling it crashed the driver in a trial run (signal 11)"},
        passed}},
      {"a compiler taken over is killed; its file probes fail softly",
       {"escape", "peek", "ok"},
       true,
       quick,
       {{ShaderVerdict::Crashed, ShaderStep::Vertex,
         "compiling it crashed the driver in a trial run (signal 31)"},
        passed,
        passed}},
      {"a crashing link",
       {"ok", "linkcrash", "ok"},
       true,
       quick,
       {passed,
        {ShaderVerdict::Crashed, ShaderStep::Link,
         "linking it crashed the driver in a trial run (signal 11)"},
        passed}},
      {"a hang",
       {"hang", "ok"},
       true,
       quick,
       {{ShaderVerdict::TimedOut, ShaderStep::Vertex, "compiling it took too long (over 0.5 s)"},
        passed}},
      {"endless allocation",
       {"hog", "ok"},
       true,
       roomy,
       {{ShaderVerdict::OutOfMemory, ShaderStep::Vertex,
         "compiling it needed more memory than allowed (64 MiB)"},
        passed}},
      {"a driver that fails quietly",
       {"quiet", "ok"},
       true,
       quick,
       {{ShaderVerdict::OutOfMemory, ShaderStep::Vertex,
         "compiling it needed more memory than allowed (64 MiB)"},
        passed}},
      {"the whole trial's time runs out",
       {"hang", "ok"},
       true,
       shortTrial,
       {{ShaderVerdict::NotTried, ShaderStep::Vertex,
         "it was not tried within the shader trial's 0.5 s"},
        {ShaderVerdict::NotTried, ShaderStep::Vertex,
         "it was not tried within the shader trial's 0.5 s"}}},
      {"no context",
       {"ok"},
       false,
       quick,
       {{ShaderVerdict::NotTried, ShaderStep::Vertex,
         "it could not be tried (no GL context for a trial run)"}}},
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
    const ShaderTrialDriver driver{Headless, c.context ? HaveContext : NoContext, QuietCompile,
                                   FakeLink, QuietOutOfMemory};
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
  const ShaderTrialDriver driver{Headless, HaveContext, FakeCompile, FakeLink, FakeOutOfMemory};
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
