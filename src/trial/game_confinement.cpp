// game_confinement.cpp: the game's own Landlock rules and its refusal filter.
//
// Each rule is one line of a table with the reason beside it. The rules keep to what the game,
// its window system, its sound libraries and any GPU driver need; what a driver might need
// (devices, the system's libraries and settings, /sys and /proc) stays open.
#include "trial/game_confinement.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "trial/confinement.h"
#include "trial/landlock_abi.h"
#include "trial/player_folders.h"
#include "trial/shader_confinement.h"

namespace {

constexpr std::uint64_t kFsFileRights =
    kFsExecute | kFsWriteFile | kFsReadFile | kFsTruncate | kFsIoctlDev;
constexpr int kRuleNetPort = 2;

// What a rule grants. Nothing anywhere may be executed: the game never starts a program.
constexpr std::uint64_t kRead = kFsReadFile | kFsReadDir;
constexpr std::uint64_t kDevice = kRead | kFsWriteFile | kFsIoctlDev;
constexpr std::uint64_t kScratch = kRead | kFsWriteFile | kFsMakeReg | kFsRemoveFile | kFsTruncate;
constexpr std::uint64_t kOwn =
    kScratch | kFsMakeDir | kFsRemoveDir | kFsRefer;  // a folder the game keeps files in

struct Grant {
  std::string path;
  std::uint64_t rights;
};

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The rules, by path; a path that does not exist here is skipped.
std::vector<Grant> GameGrants(const GameFolders& folders) {
  const std::string home = Env("HOME").rfind('/', 0) == 0 ? Env("HOME") : "";
  const std::string config =
      Env("XDG_CONFIG_HOME").rfind('/', 0) == 0 ? Env("XDG_CONFIG_HOME") : home + "/.config";
  const std::string runtime = "/run/user/" + std::to_string(getuid());
  std::vector<Grant> grants = {
      {folders.data, kRead},          // the game's own data
      {folders.playerConfig, kOwn},   // the player's options
      {folders.playerData, kOwn},     // replays and the like
      {"/usr", kRead},                // libraries, drivers, shared data
      {"/lib", kRead},                // the same where /lib is not a link into /usr
      {"/lib64", kRead},              // the dynamic loader's own folder there
      {"/etc", kRead},                // the libraries' and drivers' settings
      {"/sys", kRead},                // GPU, sound and input devices' descriptions
      {"/proc", kRead},               // the trial's memory figures; drivers read it too
      {"/run/udev", kRead},           // device properties some drivers look up
      {"/dev/dri", kDevice},          // the GPU
      {"/dev/dxg", kDevice},          // the GPU under WSL
      {"/dev/snd", kDevice},          // sound cards
      {"/dev/input", kDevice},        // gamepads
      {"/dev/null", kDevice},         // the trials' standard streams
      {"/dev/zero", kRead},           // mapped by some drivers
      {"/dev/urandom", kRead},        // libraries' random seeds
      {"/dev/random", kRead},         //
      {"/dev/shm", kScratch},         // memory shared with the sound server
      {"/tmp/.X11-unix", kRead},      // the display's sockets (a connect needs no right)
      {runtime + "/pulse", kDevice},  // the sound server's socket folder
      {runtime + "/pipewire-0", kDevice},
      // The few files in the home folder that the display and sound libraries must read to
      // reach their servers or to honour the player's setup; nothing else of it.
      {Env("XAUTHORITY").empty() ? home + "/.Xauthority" : Env("XAUTHORITY"), kFsReadFile},
      {config + "/pulse", kRead},  // the sound client's settings and its server's cookie
      {home + "/.pulse-cookie", kFsReadFile},
      {home + "/.asoundrc", kFsReadFile},
      {home + "/.alsoftrc", kFsReadFile},
      {config + "/alsoft.conf", kFsReadFile},
      {home + "/.drirc", kFsReadFile},
  };
  // The NVIDIA driver's devices are files directly in /dev, one per GPU.
  for (const char* name : {"nvidiactl", "nvidia-modeset", "nvidia-uvm", "nvidia-uvm-tools",
                           "nvidia-caps", "nvidia0", "nvidia1", "nvidia2", "nvidia3"}) {
    grants.push_back({std::string("/dev/") + name, kDevice});
  }
  return grants;
}

// Adds one rule; false only for a failure other than a missing path.
bool AddGrant(int ruleset, const Grant& grant, std::uint64_t handled) {
  if (grant.path.empty() || grant.path[0] != '/') return true;
  const int fd = open(grant.path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return true;
  struct stat info {};
  std::uint64_t rights = grant.rights & handled;
  if (fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) rights &= kFsFileRights;
  const LandlockPathBeneath rule{rights, fd};
  const bool ok =
      rights == 0 || syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &rule, 0) == 0;
  close(fd);
  return ok;
}

// A display reached over TCP ("host:N", as a remote login's forwarding sets it) listens on
// port 6000 + N; 0 for a local display.
std::uint64_t DisplayTcpPort() {
  const std::string display = Env("DISPLAY");
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos || colon == 0 || display.compare(0, colon, "unix") == 0 ||
      display[0] == '/') {
    return 0;
  }
  return 6000 + std::strtoull(display.c_str() + colon + 1, nullptr, 10);
}

int Restrict(const LandlockRuleset& attributes, std::size_t size) {
  const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
  if (ruleset < 0) return -1;
  const bool ok = syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  close(ruleset);
  return ok ? 0 : -1;
}

}  // namespace

GameFolders CurrentGameFolders() {
  GameFolders folders;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd)) folders.data = cwd;
  // Landlock grants only folders that exist, and the game cannot make them later.
  folders.playerConfig = PlayerConfigFolder();
  folders.playerData = PlayerDataFolder();
  MakePlayerFolder(folders.playerConfig);
  MakePlayerFolder(folders.playerData);
  // The sound client library makes its settings folder at its first connection and complains
  // when it cannot; made here (as it would have been), it needs no right to make folders.
  const std::string config = PlayerConfigFolder();
  if (!config.empty()) MakePlayerFolder(config.substr(0, config.rfind('/')) + "/pulse");
  // Without a login session (no XDG_RUNTIME_DIR) the same library makes its runtime folder
  // under /tmp, which the game may not write, and says so on standard error. Pointed into the
  // player's data folder it makes it there instead; no sound server lives in either place.
  const std::string runtime = folders.playerData + "/pulse-runtime";
  if (Env("XDG_RUNTIME_DIR").empty() && Env("PULSE_RUNTIME_PATH").empty() &&
      !folders.playerData.empty() && MakePlayerFolder(runtime)) {
    setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 0);
  }
  return folders;
}

int ConfineGameFiles(const GameFolders& folders) {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return 0;
  const int abi = LandlockAbi();
  if (abi == 0) {
    std::cerr << "velloran: this kernel has no Landlock; the game runs without its own file "
                 "and network rules"
              << std::endl;
    return 0;
  }
  LandlockRuleset attributes{kFsFirstAbi, 0, 0};
  std::size_t size = sizeof attributes.handledFs;
  if (abi >= 2) attributes.handledFs |= kFsRefer;
  if (abi >= 3) attributes.handledFs |= kFsTruncate;
  if (abi >= 4) {
    attributes.handledNet = kNetBindTcp | kNetConnectTcp;
    size = offsetof(LandlockRuleset, scoped);
  }
  if (abi >= 5) attributes.handledFs |= kFsIoctlDev;
  if (abi >= 6) {
    // The brokers and workers are forked later, into this domain or one nested in it, so the
    // game can still end them.
    attributes.scoped = kScopeSignal;
    size = sizeof attributes;
  }
  const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
  bool ok = ruleset >= 0;
  for (const Grant& grant : GameGrants(folders)) {
    ok = ok && AddGrant(ruleset, grant, attributes.handledFs);
  }
  const std::uint64_t port = DisplayTcpPort();
  if (ok && abi >= 4 && port != 0) {
    const LandlockNetPort rule{kNetConnectTcp, port};
    ok = syscall(SYS_landlock_add_rule, ruleset, kRuleNetPort, &rule, 0) == 0;
  }
  ok = ok && syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  if (ruleset >= 0) close(ruleset);
  if (!ok) {
    std::cerr << "velloran: the game's own file and network rules could not be set up; it runs "
                 "without them"
              << std::endl;
    return 0;
  }
  return abi;
}

bool ScopeGameSockets() {
  if (LandlockAbi() < 6) return true;
  const int status = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  const int threads = status >= 0 ? ThreadCount(status) : 0;
  if (status >= 0) close(status);
  if (threads != 1) return false;
  return Restrict(LandlockRuleset{0, 0, kScopeAbstractUnix}, sizeof(LandlockRuleset)) == 0;
}

bool RefuseGameSyscalls() {
  const scmp_arg_cmp none{};
  const std::uint32_t refuse = SCMP_ACT_ERRNO(EPERM);
  const FilterRule rules[] = {
      // Running a program: a taken-over game would start a shell.
      {SCMP_SYS(execve), refuse, 0, none},
      {SCMP_SYS(execveat), refuse, 0, none},
  // Reading or writing another process (the brokers, the player's other programs). A sanitizer
  // build's leak check traces the game's own threads at exit, so it keeps ptrace.
#ifndef VELLORAN_ASAN
      {SCMP_SYS(ptrace), refuse, 0, none},
#endif
      {SCMP_SYS(process_vm_readv), refuse, 0, none},
      {SCMP_SYS(process_vm_writev), refuse, 0, none},
      // Mounting and namespaces: another view of the file system.
      {SCMP_SYS(mount), refuse, 0, none},
      {SCMP_SYS(umount2), refuse, 0, none},
      {SCMP_SYS(pivot_root), refuse, 0, none},
      {SCMP_SYS(chroot), refuse, 0, none},
      {SCMP_SYS(open_tree), refuse, 0, none},
      {SCMP_SYS(move_mount), refuse, 0, none},
      {SCMP_SYS(fsopen), refuse, 0, none},
      {SCMP_SYS(fsconfig), refuse, 0, none},
      {SCMP_SYS(fsmount), refuse, 0, none},
      {SCMP_SYS(fspick), refuse, 0, none},
      {SCMP_SYS(mount_setattr), refuse, 0, none},
      {SCMP_SYS(unshare), refuse, 0, none},
      {SCMP_SYS(setns), refuse, 0, none},
      // Code for the kernel, and its attack surface.
      {SCMP_SYS(bpf), refuse, 0, none},
      {SCMP_SYS(perf_event_open), refuse, 0, none},
      {SCMP_SYS(kexec_load), refuse, 0, none},
      {SCMP_SYS(kexec_file_load), refuse, 0, none},
      {SCMP_SYS(init_module), refuse, 0, none},
      {SCMP_SYS(finit_module), refuse, 0, none},
      {SCMP_SYS(delete_module), refuse, 0, none},
      {SCMP_SYS(userfaultfd), refuse, 0, none},
      // New sockets: a local one could reach the desktop's message bus, which starts programs.
      // io_uring can open sockets (and files) without these calls, so it goes too.
      {SCMP_SYS(socket), refuse, 0, none},
      {SCMP_SYS(socketpair), refuse, 0, none},
      {SCMP_SYS(io_uring_setup), refuse, 0, none},
      {SCMP_SYS(io_uring_enter), refuse, 0, none},
      {SCMP_SYS(io_uring_register), refuse, 0, none},
  };
  // Everything else stays as it was: drawing, sound, input and the window need it.
  return LoadFilter(rules, sizeof rules / sizeof rules[0], SCMP_ACT_ALLOW, true);
}
