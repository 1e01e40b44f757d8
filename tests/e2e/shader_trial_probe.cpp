// shader_trial_probe.cpp: the game's shader trial (its real driver and worker) on the pairs given
// on the command line, tried `runs` times over, for tests and for hunting rare worker deaths:
//
//   shader_trial_probe RUNS [VERTEX FRAGMENT]...   (no pairs: the game's eight, from shader/)
//
// Prints one line a pair and run, "VERTEX passed" or "VERTEX refused: REASON", then a count of
// the refusals on standard error. Exits 0 when every pair got a verdict.
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/shader_trial_compile.h"
#include "render/shader_set.h"
#include "trial/shader_trial.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
  std::vector<ShaderPairPaths> plan;
  for (int i = 2; i + 1 < argc; i += 2) plan.push_back({argv[i], argv[i + 1]});
  if (plan.empty()) plan.assign(std::begin(kShaderPairs), std::end(kShaderPairs));
  // A stand-in preloaded into the worker may ask for the game's process by number.
  setenv("TAKEOVER_GAME_PID", std::to_string(getpid()).c_str(), 1);
  int refused = 0;
  for (int run = 0; run < runs; ++run) {
    ShaderTrial trial;
    StartShaderTrial(trial, plan, GameShaderTrialDriver());
    for (const ShaderPairPaths& paths : plan) {
      const ShaderPairTrial& pair = AwaitShaderPair(trial, paths.vertex, paths.fragment);
      if (pair.verdict == ShaderVerdict::Pending) return 1;
      const bool passed = pair.verdict == ShaderVerdict::Passed;
      refused += passed ? 0 : 1;
      std::printf("%s %s%s\n", paths.vertex, passed ? "passed" : "refused: ", pair.reason.c_str());
    }
    FinishShaderTrial(trial);
    std::fflush(stdout);
  }
  std::fprintf(stderr, "shader_trial_probe: %d of %zu pairs refused\n", refused,
               plan.size() * static_cast<std::size_t>(runs));
  return 0;
}
