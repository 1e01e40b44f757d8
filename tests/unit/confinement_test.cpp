// Confinement: a worker that has confined itself tries, as a decoder or shader compiler taken
// over by its file would, each thing it must not be able to do. Each attempt runs in a child of
// its own (a forbidden call ends the child); the child says 'S' on its report pipe when the
// attempt worked, 'F' when it failed with an error.
#include "trial/confinement.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "trial/game_confinement.h"
#include "trial/player_folders.h"
#include "trial/safe_file.h"
#include "trial/shader_confinement.h"

namespace {

int extraFd = -1;  // a descriptor the child inherited: the game's pipe in a real worker

// Zeroed io_uring set-up parameters.
char* Params() {
  static char params[120];
  return params;
}

struct Attempt {
  const char* what;
  bool (*works)(pid_t parent);  // true: the attempt did what it wanted
};

const Attempt kAttempts[] = {
    {"read a file", [](pid_t) { return open("/etc/passwd", O_RDONLY) >= 0; }},
    {"create a file",
     [](pid_t) { return open("confinement_test_written", O_WRONLY | O_CREAT, 0600) >= 0; }},
    {"open a socket", [](pid_t) { return socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }},
    {"run a program", [](pid_t) { return execl("/bin/true", "true", nullptr) == 0; }},
    {"start a process", [](pid_t) { return fork() >= 0; }},
    {"signal the game", [](pid_t parent) { return kill(parent, SIGCONT) == 0; }},
    {"trace the game", [](pid_t parent) { return ptrace(PTRACE_ATTACH, parent, 0, 0) == 0; }},
    {"read the game's memory",
     [](pid_t parent) {
       char byte = 0;
       iovec local{&byte, 1}, remote{reinterpret_cast<void*>(&extraFd), 1};
       return process_vm_readv(parent, &local, 1, &remote, 1, 0) == 1;
     }},
    {"push keys into the terminal", [](pid_t) { return ioctl(0, TIOCSTI, "x") == 0; }},
    {"write for another file", [](pid_t) { return write(extraFd, "forged", 6) == 6; }},
    {"make memory executable",
     [](pid_t) {
       return mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
              MAP_FAILED;
     }},
    {"leave its session", [](pid_t) { return setsid() >= 0; }},
    {"read its own memory file", [](pid_t) { return open("/proc/self/mem", O_RDWR) >= 0; }},
    {"read the game's environment",
     [](pid_t parent) {
       return open(("/proc/" + std::to_string(parent) + "/environ").c_str(), O_RDONLY) >= 0;
     }},
    {"start an io_uring", [](pid_t) { return syscall(SYS_io_uring_setup, 1, Params()) >= 0; }},
    {"make reads executable", [](pid_t) { return personality(READ_IMPLIES_EXEC) != -1; }},
    {"become traceable again", [](pid_t) { return prctl(PR_SET_DUMPABLE, 1, 0, 0, 0) == 0; }},
};

// A TCP socket listening on the loopback, its port in `address`; -1 if none could be made.
int LoopbackListener(sockaddr_in& address) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  listen(fd, 4) == 0 &&
                  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  return ok ? fd : -1;
}

void SetEnv(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// An environment variable as it was, put back with the object.
struct SavedEnv {
  const char* name;
  const char* was = std::getenv(name);
  std::string value = was ? was : "";
  ~SavedEnv() { SetEnv(name, was ? value.c_str() : nullptr); }
};

// The shader trial's layers, for a worker that draws or one that does not.
int ConfineShaderWorkerFor(int reportFd, bool draws) {
  const ShaderWorkerFds fds = PrepareShaderWorker(reportFd);
  RestrictFileSystem();
  return ConfineShaderWorker(fds, 5.0, draws) ? fds.report : -1;
}

// How a worker confines itself: the file trial's, or the shader trial's layers; the report
// descriptor it writes to afterwards, -1 when it could not.
struct Confinement {
  const char* name;
  int (*confine)(int reportFd);
  const char* mayDo;  // the one attempt that works there ("" for none)
};
const Confinement kConfinements[] = {
    {"file worker", [](int reportFd) { return ConfineWorker(reportFd) ? reportFd : -1; }, ""},
    {"shader worker", [](int reportFd) { return ConfineShaderWorkerFor(reportFd, false); }, ""},
    // The worker that draws needs the renderer's JIT, and nothing more.
    {"drawing shader worker", [](int reportFd) { return ConfineShaderWorkerFor(reportFd, true); },
     "make memory executable"},
};

}  // namespace

TEST(Confinement, ATakenOverWorkerCanDoNothingButReportAndAllocate) {
  const pid_t parent = getpid();
  for (const Confinement& confinement : kConfinements) {
    for (const Attempt& attempt : kAttempts) {
      int report[2], other[2];
      ASSERT_EQ(pipe(report), 0);
      ASSERT_EQ(pipe(other), 0);
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        extraFd = other[1];
        close(report[0]);
        const int reportFd = confinement.confine(report[1]);
        if (reportFd < 0) EndWorker(kUnconfinedExit);
        // What a decoder needs still works: memory, and the report.
        void* block = std::malloc(64 << 20);
        if (!block) EndWorker(3);
        static_cast<char*>(block)[1000] = 1;
        std::free(block);
        const char verdict = attempt.works(parent) ? 'S' : 'F';
        EndWorker(write(reportFd, &verdict, 1) == 1 ? 0 : 4);
      }
      close(report[1]);
      close(other[1]);
      char verdict = '-';
      const bool said = read(report[0], &verdict, 1) == 1;
      int status = 0;
      waitpid(child, &status, 0);
      char forged = 0;
      EXPECT_EQ(read(other[0], &forged, 1), 0)
          << confinement.name << ", " << attempt.what << ": wrote on an inherited pipe";
      close(report[0]);
      close(other[0]);
      const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS;
      const char wanted = std::string(attempt.what) == confinement.mayDo ? 'S' : 'F';
      EXPECT_TRUE((said && verdict == wanted && WIFEXITED(status) && WEXITSTATUS(status) == 0) ||
                  (!said && killed && wanted == 'F'))
          << confinement.name << ", " << attempt.what << ": verdict " << verdict << ", status "
          << status;
    }
  }
  EXPECT_NE(access("confinement_test_written", F_OK), 0);
}

// The shader worker's file-system layer alone, as the driver meets it while it loads: it reads
// beneath /usr, and nothing else; it cannot write, connect over TCP or signal the game.
TEST(Confinement, TheShaderWorkersFileSystemIsReadOnlyBeneathUsr) {
  constexpr int kNoLandlock = 77;
  sockaddr_in address{};
  const int listener = LoopbackListener(address);
  ASSERT_GE(listener, 0);
  const pid_t parent = getpid();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    const int abi = RestrictFileSystem();
    if (abi == 0) _exit(kNoLandlock);  // the filter is then the whole floor
    const int tcp = socket(AF_INET, SOCK_STREAM, 0);
    const bool refused[] = {
        open("/usr/include/stdio.h", O_RDONLY) >= 0,  // the driver's own files: allowed
        open("/etc/passwd", O_RDONLY) < 0,
        open("/tmp/velloran_landlock_written", O_WRONLY | O_CREAT, 0600) < 0,
        open("/usr/include/stdio.h", O_WRONLY) < 0,
        connect(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0,
        abi < 6 || kill(parent, 0) != 0,
    };
    for (std::size_t i = 0; i < sizeof refused; ++i) {
      if (!refused[i]) _exit(10 + static_cast<int>(i));
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(listener);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoLandlock)
    GTEST_SKIP() << "this kernel has no Landlock: nothing to test";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_NE(access("/tmp/velloran_landlock_written", F_OK), 0);
}

// Run-time files: a FIFO, a device, a directory and an oversized file are refused on the
// open descriptor at once; a texture name that leaves its folder is refused, however spelt.
TEST(SafeFile, RefusesWhatIsNotASmallRegularFileInsideItsFolder) {
  char folder[] = "/tmp/velloran_safe_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string root = folder;
  ASSERT_EQ(mkdir((root + "/model").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo((root + "/model/fifo.jpg").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/etc/hostname", (root + "/model/out.jpg").c_str()), 0);
  ASSERT_EQ(symlink("../secret.jpg", (root + "/model/up.jpg").c_str()), 0);
  std::ofstream(root + "/model/ok.jpg") << "twelve bytes";
  std::fclose(std::fopen((root + "/secret.jpg").c_str(), "w"));

  std::string bytes;
  const struct {
    std::string path;
    std::size_t cap;
    RunFileStatus expected;
  } whole[] = {{root + "/model/ok.jpg", 12, RunFileStatus::Read},
               {root + "/model/ok.jpg", 11, RunFileStatus::TooLarge},
               {root + "/model/none.jpg", 12, RunFileStatus::Missing},
               {root + "/model/fifo.jpg", 12, RunFileStatus::NotRegular},
               {"/dev/zero", 12, RunFileStatus::NotRegular},
               {root + "/model", 12, RunFileStatus::NotRegular},
               {"/proc/" + std::to_string(getpid()) + "/status", 12, RunFileStatus::TooLarge}};
  for (const auto& c : whole) {
    EXPECT_EQ(ReadRunFile(c.path, c.cap, bytes), c.expected) << c.path;
  }
  EXPECT_EQ(bytes, "");
  const struct {
    const char* name;
    RunFileStatus expected;
  } inside[] = {{"ok.jpg", RunFileStatus::Read},
                {"fifo.jpg", RunFileStatus::NotRegular},
                {"../secret.jpg", RunFileStatus::Outside},
                {"/etc/hostname", RunFileStatus::Outside},
                {"out.jpg", RunFileStatus::Outside},
                {"up.jpg", RunFileStatus::Outside},
                {"../model/ok.jpg", RunFileStatus::Outside}};
  for (const auto& c : inside) {
    EXPECT_EQ(ReadRunFileInside(root + "/model", c.name, 64, bytes), c.expected) << c.name;
  }
  ASSERT_EQ(ReadRunFileInside(root + "/model", "ok.jpg", 64, bytes), RunFileStatus::Read);
  EXPECT_EQ(bytes, "twelve bytes");
  std::filesystem::remove_all(root);
}

namespace {

// A folder tree for the game's own confinement: its data folder, the player's home and a
// secret beside them; removed with the object.
struct GameTree {
  std::string root;
  GameTree() {
    char folder[] = "/tmp/velloran_game_XXXXXX";
    root = mkdtemp(folder) ? folder : "";
    std::filesystem::create_directories(root + "/game");
    std::filesystem::create_directories(root + "/home");
    std::fclose(std::fopen((root + "/game/in.txt").c_str(), "w"));
    std::fclose(std::fopen((root + "/secret").c_str(), "w"));
  }
  ~GameTree() { std::filesystem::remove_all(root); }
};

bool Creates(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT, 0600) >= 0;
}

bool ConnectsAbstract(const char* name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path + 1, name, sizeof address.sun_path - 2);
  const bool ok =
      fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

}  // namespace

// The game's own process, as a compiler exploit in it would try things: after each of its
// three steps in turn, what it still may and may no longer do. A refused call fails with an
// error (the game goes on); nothing ends the process.
TEST(Confinement, TheGameKeepsOnlyWhatItNeeds) {
  const GameTree tree;
  sockaddr_in address{};
  const int listener = LoopbackListener(address);
  ASSERT_GE(listener, 0);
  const std::string abstract = "velloran-confinement-" + std::to_string(getpid());
  const int bus = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un busAddress{};
  busAddress.sun_family = AF_UNIX;
  std::strncpy(busAddress.sun_path + 1, abstract.c_str(), sizeof busAddress.sun_path - 2);
  ASSERT_EQ(bind(bus, reinterpret_cast<sockaddr*>(&busAddress), sizeof busAddress), 0);
  ASSERT_EQ(listen(bus, 4), 0);

  const pid_t parent = getpid();
  const std::string& root = tree.root;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir((root + "/game").c_str()) != 0) _exit(2);
    setenv("HOME", (root + "/home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    const int abi = ConfineGameFiles(CurrentGameFolders());
    if (abi == 0) _exit(0);  // a kernel without Landlock: nothing here to check
    const int tcp = socket(AF_INET, SOCK_STREAM, 0);
    const struct {
      bool expected, got;
    } files[] = {
        {true, open("in.txt", O_RDONLY) >= 0},  // the game's data
        {false, open((root + "/secret").c_str(), O_RDONLY) >= 0},
        {false, Creates("new.txt")},  // no writing in the data folder
        {true, Creates(root + "/home/.config/velloran/options.conf")},
        {true, Creates(root + "/home/.local/share/velloran/replay")},
        {false, Creates(root + "/home/.profile")},
        {false, Creates(root + "/home/relative/ignored/velloran/x")},
        {true, open("/usr/include/stdio.h", O_RDONLY) >= 0},
        {false, open("/usr/include/stdio.h", O_WRONLY) >= 0},
        {true, open("/dev/null", O_RDWR) >= 0},
        {false, connect(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0},
        {abi < 6, kill(parent, 0) == 0},             // no signal out of the game's domain
        {true, ConnectsAbstract(abstract.c_str())},  // until the display has connected
    };
    for (std::size_t i = 0; i < sizeof files / sizeof files[0]; ++i) {
      if (files[i].got != files[i].expected) _exit(10 + static_cast<int>(i));
    }
    if (!ScopeGameSockets()) _exit(3);
    if (abi >= 6 && ConnectsAbstract(abstract.c_str())) _exit(4);
    if (!RefuseGameSyscalls()) _exit(5);
    char byte = 0;
    iovec local{&byte, 1}, remote{&byte, 1};
    errno = 0;
    const bool refused[] = {
        socket(AF_UNIX, SOCK_STREAM, 0) < 0 && errno == EPERM,
        execl("/bin/true", "true", nullptr) < 0 && errno == EPERM,
        process_vm_readv(parent, &local, 1, &remote, 1, 0) < 0 && errno == EPERM,
        syscall(SYS_io_uring_setup, 1, Params()) < 0 && errno == EPERM,
        syscall(SYS_mount, "none", "/tmp", "tmpfs", 0, nullptr) < 0 && errno == EPERM,
    };
    for (std::size_t i = 0; i < sizeof refused; ++i) {
      if (!refused[i]) _exit(40 + static_cast<int>(i));
    }
    bool ran = false;  // threads still start: the driver and the sound mixer make them
    std::thread([&ran] { ran = true; }).join();
    _exit(ran ? 0 : 6);
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(listener);
  close(bus);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// A run-time file reached through a link is read only when the link stays in the game's
// folders (the data folder, the player's) or leads into the system's shared data.
TEST(SafeFile, LinksLeavingTheGamesFoldersReadAsMissing) {
  const GameTree tree;
  const std::string& root = tree.root;
  std::filesystem::create_directories(root + "/xdg/velloran");
  std::fclose(std::fopen((root + "/xdg/velloran/mine.txt").c_str(), "w"));
  const std::string game = root + "/game/";
  ASSERT_EQ(symlink("in.txt", (game + "inside").c_str()), 0);
  ASSERT_EQ(symlink((root + "/secret").c_str(), (game + "out").c_str()), 0);
  ASSERT_EQ(symlink("../secret", (game + "up").c_str()), 0);
  ASSERT_EQ(symlink(root.c_str(), (game + "folder").c_str()), 0);
  ASSERT_EQ(symlink("/usr/share/common-licenses/GPL-3", (game + "shared").c_str()), 0);
  ASSERT_EQ(symlink("/etc/passwd", (game + "system").c_str()), 0);
  ASSERT_EQ(symlink((root + "/xdg/velloran/mine.txt").c_str(), (game + "player").c_str()), 0);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(game);
  const SavedEnv saved{"XDG_DATA_HOME"};
  setenv("XDG_DATA_HOME", (root + "/xdg").c_str(), 1);
  const struct {
    std::string path;
    RunFileStatus expected;
  } cases[] = {
      {"in.txt", RunFileStatus::Read},           {"inside", RunFileStatus::Read},
      {"out", RunFileStatus::Missing},           {"up", RunFileStatus::Missing},
      {"folder/secret", RunFileStatus::Missing}, {"folder/game/in.txt", RunFileStatus::Read},
      {"shared", RunFileStatus::Read},           {"system", RunFileStatus::Missing},
      {"player", RunFileStatus::Read},           {root + "/secret", RunFileStatus::Read},
  };
  std::string bytes;
  for (const auto& c : cases) {
    EXPECT_EQ(ReadRunFile(c.path, 1 << 20, bytes), c.expected) << c.path;
  }
  std::filesystem::current_path(before);
}

// The player's folders: absolute XDG values win, relative ones are ignored, $HOME is the
// fallback, and without an absolute home there is none.
TEST(PlayerFolders, FollowTheXdgBaseDirectories) {
  const struct {
    const char *home, *config, *data, *wantConfig, *wantData;
  } cases[] = {
      {"/h", nullptr, nullptr, "/h/.config/velloran", "/h/.local/share/velloran"},
      {"/h", "/c", "/d", "/c/velloran", "/d/velloran"},
      {"/h", "c", "", "/h/.config/velloran", "/h/.local/share/velloran"},
      {"h", nullptr, nullptr, "", ""},
      {nullptr, "/c", nullptr, "/c/velloran", ""},
  };
  const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  const SavedEnv saved[] = {{names[0]}, {names[1]}, {names[2]}};
  for (const auto& c : cases) {
    const char* values[] = {c.home, c.config, c.data};
    for (int i = 0; i < 3; ++i) SetEnv(names[i], values[i]);
    EXPECT_EQ(PlayerConfigFolder(), c.wantConfig) << (c.home ? c.home : "-");
    EXPECT_EQ(PlayerDataFolder(), c.wantData) << (c.home ? c.home : "-");
  }
}
