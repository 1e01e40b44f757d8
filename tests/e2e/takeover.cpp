// takeover.cpp: a stand-in for a model decoder taken over by its file, loaded into the game
// with LD_PRELOAD by test_takeover.sh. It replaces Assimp's import call, which runs only in
// the trial's workers, and tries one thing a worker must not be able to do per model (chosen
// by the model's file name). It ends the worker with status 42 when the attempt worked and 43
// when it failed with an error; a forbidden call ends it first with SIGSYS.
#include <assimp/scene.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cstdlib>
#include <cstring>
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

}  // namespace

const aiScene* Assimp::Importer::ReadFile(const char* file, unsigned int) {
  _exit(Attempt(file ? file : "") ? 42 : 43);
}
