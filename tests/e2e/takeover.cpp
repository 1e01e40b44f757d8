// takeover.cpp: a stand-in for a decoder or a shader compiler taken over by its file, loaded
// with LD_PRELOAD by test_takeover.sh.
//
// Models: it replaces Assimp's import call, which runs only in the file trial's workers, and
// tries one thing a worker must not be able to do per model (chosen by the model's file name).
// It ends the worker with status 42 when the attempt worked and 43 when it failed with an
// error; a forbidden call ends it first with SIGSYS.
//
// Shaders: it wraps the GL entry points GLEW asks for (glShaderSource, glCompileShader,
// glLinkProgram). In a shader trial worker, a source carrying "takeover: NAME" makes the next
// compile try the attempt NAME ("takeover-link: NAME": the next link). An attempt that worked
// ends the worker with status 42; one refused with an error lets the real call go on, so the
// pair still builds; a forbidden call ends the worker with SIGSYS.
//
// The game's own process: a source carrying "takeover-game: NAME" stands for a compiler
// exploit whose pair got through the trial. The game then compiles the same bytes itself, and
// there the attempt NAME runs at that compile; each says on standard error whether it was done
// or refused, and the game goes on.
#include <arpa/inet.h>
#include <assimp/scene.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Where the test keeps the user's "private" file and looks for traces of the attempts.
std::string Outside(const char* name) {
  const char* folder = std::getenv("TAKEOVER_OUTSIDE");
  return std::string(folder ? folder : "/tmp") + "/" + name;
}

bool Attempt(const std::string& model) {
  if (model.find("duck") != std::string::npos) {  // read the user's files
    return open(Outside("secret").c_str(), O_RDONLY) >= 0;
  }
  if (model.find("canoe") != std::string::npos) {  // write the user's files
    return open(Outside("written").c_str(), O_WRONLY | O_CREAT, 0600) >= 0;
  }
  if (model.find("driverArms") != std::string::npos) {  // run a program
    execl("/bin/sh", "sh", "-c", ("touch " + Outside("executed")).c_str(), nullptr);
    return false;
  }
  if (model.find("driver") != std::string::npos) {  // reach the X server
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "/tmp/.X11-unix/X0");
    return fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  if (model.find("cube") != std::string::npos) {  // signal the game's broker
    return kill(getppid(), SIGSTOP) == 0;
  }
  if (model.find("platform2") != std::string::npos) {  // trace it
    return ptrace(PTRACE_ATTACH, getppid(), 0, 0) == 0;
  }
  if (model.find("pool2") != std::string::npos) {  // outlive the game
    if (fork() != 0) return true;
    setsid();
    execl("/bin/sleep", "velloran-takeover-stray", "600", nullptr);
    _exit(0);
  }
  if (model.find("pool3") != std::string::npos) {  // type into the terminal, run injected code
    char key = 'x';
    if (ioctl(0, TIOCSTI, &key) == 0 || ioctl(2, TIOCSTI, &key) == 0) return true;
    return mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
           MAP_FAILED;
  }
  // budman: forge another file's record on every descriptor a worker might have inherited.
  // Its own report pipe takes the bytes (spoiling only its own record); any other is a forgery.
  int written = 0;
  for (int fd = 0; fd < 64; ++fd) written += write(fd, "\0\0\0", 3) > 0 ? 1 : 0;
  return written > 1;
}

// ---- shaders ------------------------------------------------------------------------------

bool Connects(int family, const sockaddr* address, socklen_t size) {
  const int fd = socket(family, SOCK_STREAM, 0);
  return fd >= 0 && connect(fd, address, size) == 0;
}

bool ConnectsUnix(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path + (abstract ? 1 : 0), path.c_str(), sizeof address.sun_path - 2);
  return Connects(AF_UNIX, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// One attempt of a shader worker by name; true when it did what it wanted.
bool ShaderAttempt(const std::string& name) {
  if (name == "secret") return open(Outside("secret").c_str(), O_RDONLY) >= 0;
  if (name == "write") return open(Outside("written").c_str(), O_WRONLY | O_CREAT, 0600) >= 0;
  if (name == "tcp") {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(Env("TAKEOVER_PORT").c_str())));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return Connects(AF_INET, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  if (name == "abstract") return ConnectsUnix(Env("TAKEOVER_ABSTRACT"), true);
  if (name == "unixpath") return ConnectsUnix(Outside("socket"), false);
  if (name == "xconnect") {  // a new connection to the display, as XOpenDisplay makes it
    return ConnectsUnix("/tmp/.X11-unix/X" + Env("TAKEOVER_DISPLAY"), true) ||
           ConnectsUnix("/tmp/.X11-unix/X" + Env("TAKEOVER_DISPLAY"), false);
  }
  if (name == "xinherited") {  // an XTEST fake key press on any connection it may have kept
    const unsigned char request[8] = {132, 2, 2, 0, 2, 9, 0, 0};
    int written = 0;
    for (int fd = 0; fd < 64; ++fd) written += write(fd, request, sizeof request) > 0 ? 1 : 0;
    return written > 1;  // its own report takes the bytes
  }
  if (name == "exec") {
    execl("/bin/sh", "sh", "-c", ("touch " + Outside("executed")).c_str(), nullptr);
    return false;
  }
  if (name == "killgame") return kill(std::atoi(Env("TAKEOVER_GAME_PID").c_str()), SIGCONT) == 0;
  if (name == "killbroker") return kill(getppid(), SIGCONT) == 0;
  if (name == "ptrace") return ptrace(PTRACE_ATTACH, getppid(), 0, 0) == 0;
  if (name == "fork") {  // outlive the game
    if (fork() != 0) return true;
    setsid();
    execl("/bin/sleep", "velloran-takeover-stray", "600", nullptr);
    _exit(0);
  }
  if (name == "rwx") {
    return mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                0) != MAP_FAILED;
  }
  if (name == "iouring") {
    char params[120] = {};
    return syscall(SYS_io_uring_setup, 1, params) >= 0;
  }
  if (name == "personality") return personality(READ_IMPLIES_EXEC) != -1;
  if (name == "dumpable") return prctl(PR_SET_DUMPABLE, 1, 0, 0, 0) == 0;
  if (name == "selfmem") return open("/proc/self/mem", O_RDWR) >= 0;
  if (name == "environ") {
    return open(("/proc/" + Env("TAKEOVER_GAME_PID") + "/environ").c_str(), O_RDONLY) >= 0;
  }
  if (name == "hold") {  // time for the test to look at the worker from outside
    const timespec pause{3, 0};
    nanosleep(&pause, nullptr);
    return false;
  }
  return false;
}

// One attempt in the game's own process, after its confinement; true when it was done.
bool GameAttempt(const std::string& name) {
  for (const char* shared : {"secret", "write", "tcp", "unixpath", "exec"}) {
    if (name == shared) return ShaderAttempt(name);
  }
  const pid_t listener = std::atoi(Env("TAKEOVER_LISTENER_PID").c_str());
  if (name == "ptrace") return ptrace(PTRACE_ATTACH, listener, 0, 0) == 0;
  if (name == "signal") return kill(listener, 0) == 0;
  if (name == "playerwrite") {  // the one place the game may write
    const std::string path = Env("XDG_DATA_HOME") + "/velloran/written";
    return open(path.c_str(), O_WRONLY | O_CREAT, 0600) >= 0;
  }
  return false;
}

using GlProc = void (*)();
using ShaderSourceFn = void (*)(unsigned, int, const char* const*, const int*);
using CompileFn = void (*)(unsigned);
ShaderSourceFn realShaderSource = nullptr;
CompileFn realCompileShader = nullptr;
CompileFn realLinkProgram = nullptr;
std::string compileAttempt, linkAttempt;  // what the next compile, and the next link, try
std::string gameAttempt;                  // what the game's next compile tries

// Only a trial worker tries anything: it leads a session of its own, the game does not. Asked
// while GLEW loads, before the worker's filter would refuse the question.
bool inWorker = false;

std::string Marked(const char* source, const char* marker) {
  const char* at = std::strstr(source, marker);
  if (!at) return "";
  at += std::strlen(marker);
  return std::string(at, std::strcspn(at, " \n"));
}

void TryAndGoOn(std::string& attempt) {
  if (attempt.empty() || !inWorker) return;
  const std::string name = attempt;
  attempt.clear();
  if (ShaderAttempt(name)) _exit(42);
}

void WrappedShaderSource(unsigned shader, int count, const char* const* strings,
                         const int* lengths) {
  if (count > 0 && strings[0]) {
    compileAttempt = Marked(strings[0], "takeover: ");
    linkAttempt = Marked(strings[0], "takeover-link: ");
    gameAttempt = Marked(strings[0], "takeover-game: ");
  }
  realShaderSource(shader, count, strings, lengths);
}

void WrappedCompileShader(unsigned shader) {
  TryAndGoOn(compileAttempt);
  if (!gameAttempt.empty() && !inWorker) {
    errno = 0;
    const bool done = GameAttempt(gameAttempt);
    std::fprintf(stderr, "takeover in the game: %s %s (%s)\n", gameAttempt.c_str(),
                 done ? "done" : "refused", std::strerror(errno));
    gameAttempt.clear();
  }
  realCompileShader(shader);
}

void WrappedLinkProgram(unsigned program) {
  TryAndGoOn(linkAttempt);
  realLinkProgram(program);
}

}  // namespace

// GLEW finds every GL entry point through this call; three of them get the wrappers.
extern "C" GlProc glXGetProcAddressARB(const unsigned char* name) {
  static const auto real =
      reinterpret_cast<GlProc (*)(const unsigned char*)>(dlsym(RTLD_NEXT, "glXGetProcAddressARB"));
  const GlProc proc = real(name);
  inWorker = getsid(0) == getpid();
  const std::string wanted = reinterpret_cast<const char*>(name);
  if (wanted == "glShaderSource" && proc) {
    realShaderSource = reinterpret_cast<ShaderSourceFn>(proc);
    return reinterpret_cast<GlProc>(WrappedShaderSource);
  }
  if (wanted == "glCompileShader" && proc) {
    realCompileShader = reinterpret_cast<CompileFn>(proc);
    return reinterpret_cast<GlProc>(WrappedCompileShader);
  }
  if (wanted == "glLinkProgram" && proc) {
    realLinkProgram = reinterpret_cast<CompileFn>(proc);
    return reinterpret_cast<GlProc>(WrappedLinkProgram);
  }
  return proc;
}

const aiScene* Assimp::Importer::ReadFile(const char* file, unsigned int) {
  _exit(Attempt(file ? file : "") ? 42 : 43);
}
