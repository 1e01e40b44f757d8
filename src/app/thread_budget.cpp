// thread_budget.cpp: the renderer's threads against the process limit.
#include "app/thread_budget.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Start-up forks at most this many processes at once (the file trial's broker and its two
// workers, the shader trial's broker and worker); they must keep their room.
constexpr int kTrialProcesses = 5;
// Threads beside the renderer's: the sound mixer, Mesa's shader-cache writer, one to spare.
constexpr int kOtherThreads = 3;
// llvmpipe starts a rasteriser and a compute thread for each thread it is given.
constexpr int kThreadsPerRendererThread = 2;

// Holds every probe thread until all have been counted.
pthread_mutex_t gate = PTHREAD_MUTEX_INITIALIZER;

void* WaitAtGate(void*) {
  pthread_mutex_lock(&gate);
  pthread_mutex_unlock(&gate);
  return nullptr;
}

// Starts up to `wanted` threads, then lets them all end: the count is the room the limit
// leaves now, whichever of the player's processes take the rest.
int CountStartableThreads(int wanted) {
  std::vector<pthread_t> threads(static_cast<std::size_t>(wanted));
  int started = 0;
  pthread_mutex_lock(&gate);
  while (started < wanted && pthread_create(&threads[started], nullptr, WaitAtGate, nullptr) == 0)
    ++started;
  pthread_mutex_unlock(&gate);
  for (int i = 0; i < started; ++i) pthread_join(threads[i], nullptr);
  return started;
}

}  // namespace

int RendererThreadsFor(int spare, int cpus) {
  if (cpus < 1) cpus = 1;
  const int left = spare - kTrialProcesses - kOtherThreads;
  if (left >= kThreadsPerRendererThread * cpus) return -1;
  return left > 0 ? left / kThreadsPerRendererThread : 0;
}

void FitRendererToProcessLimit() {
  if (std::getenv("LP_NUM_THREADS")) return;
  rlimit limit{};
  if (getrlimit(RLIMIT_NPROC, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
  long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  if (cpus < 1 || cpus > 1024) cpus = cpus < 1 ? 1 : 1024;
  const int wanted =
      kTrialProcesses + kOtherThreads + kThreadsPerRendererThread * static_cast<int>(cpus);
  const int spare = CountStartableThreads(wanted);
  const int threads = RendererThreadsFor(spare, static_cast<int>(cpus));
  if (threads < 0) return;
  setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
  std::fprintf(stderr,
               "velloran: the process limit (ulimit -u) leaves room for %d more threads; the "
               "software renderer draws with %d helper thread%s\n",
               spare, threads, threads == 1 ? "" : "s");
}
