// landlock_abi.h: the kernel's Landlock interface, spelt out for every ABI up to the one this
// was written against (the C library's headers know only the first ones). The game's own
// confinement and the shader worker's build their rulesets from it.
#pragma once

#include <cstdint>

struct LandlockRuleset {
  std::uint64_t handledFs;
  std::uint64_t handledNet;  // ABI 4
  std::uint64_t scoped;      // ABI 6
};
struct LandlockPathBeneath {
  std::uint64_t allowed;
  std::int32_t parentFd;
} __attribute__((packed));
struct LandlockNetPort {
  std::uint64_t allowed;
  std::uint64_t port;
};

constexpr std::uint64_t kFsExecute = 1ull << 0;
constexpr std::uint64_t kFsWriteFile = 1ull << 1;
constexpr std::uint64_t kFsReadFile = 1ull << 2;
constexpr std::uint64_t kFsReadDir = 1ull << 3;
constexpr std::uint64_t kFsRemoveDir = 1ull << 4;
constexpr std::uint64_t kFsRemoveFile = 1ull << 5;
constexpr std::uint64_t kFsMakeDir = 1ull << 7;
constexpr std::uint64_t kFsMakeReg = 1ull << 8;
constexpr std::uint64_t kFsFirstAbi = (1ull << 13) - 1;  // execute ... make symlink
constexpr std::uint64_t kFsRefer = 1ull << 13;           // ABI 2
constexpr std::uint64_t kFsTruncate = 1ull << 14;        // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ull << 15;        // ABI 5
constexpr std::uint64_t kNetBindTcp = 1ull << 0;
constexpr std::uint64_t kNetConnectTcp = 1ull << 1;
constexpr std::uint64_t kScopeAbstractUnix = 1ull << 0;
constexpr std::uint64_t kScopeSignal = 1ull << 1;
constexpr int kRulePathBeneath = 1;
