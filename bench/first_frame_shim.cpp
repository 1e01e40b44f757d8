// first_frame_shim.cpp: a preload library that measures the real program's time to its first
// presented frame. It wraps glfwSwapBuffers, prints the seconds since the process started
// on the first call and ends the process, so a script can start the game many times in a row.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

struct GLFWwindow;

namespace {

// Seconds since the process started, from the kernel's record of its start time.
double SecondsSinceStart() {
  FILE* stat = std::fopen("/proc/self/stat", "r");
  unsigned long long startTicks = 0;
  if (stat) {
    // Field 22 is the start time in clock ticks after boot; the command name may hold spaces,
    // so skip to the closing parenthesis first.
    int c = 0;
    while ((c = std::fgetc(stat)) != EOF && c != ')') {
    }
    for (int field = 3; field < 22; ++field) std::fscanf(stat, " %*s");
    std::fscanf(stat, " %llu", &startTicks);
    std::fclose(stat);
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return now.tv_sec + now.tv_nsec * 1e-9 - startTicks / ticks;
}

}  // namespace

extern "C" void glfwSwapBuffers(GLFWwindow* window) {
  using SwapFn = void (*)(GLFWwindow*);
  static SwapFn realSwap = reinterpret_cast<SwapFn>(dlsym(RTLD_NEXT, "glfwSwapBuffers"));
  realSwap(window);
  std::fprintf(stderr, "first frame after %.3f s\n", SecondsSinceStart());
  std::fflush(stderr);
  _exit(0);
}
