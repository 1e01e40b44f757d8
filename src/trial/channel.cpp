// channel.cpp: pipe reads and writes, and the byte layout of reports and records.
#include "trial/channel.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <cstring>

double MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size, double deadline) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    if (deadline > 0.0) {
      // A stopped or silent broker must not hold the game: wait for data until the deadline.
      const double left = deadline - MonotonicSeconds();
      if (left <= 0.0) return false;
      pollfd in{fd, POLLIN, 0};
      const int ready = poll(&in, 1, static_cast<int>(std::ceil(left * 1000.0)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
    }
    const ssize_t got = read(fd, bytes, size);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

namespace {

template <typename T>
void Append(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

std::string WorkerReport(bool decoded, const std::string& payload) {
  std::string report(1, decoded ? 'D' : 'F');
  Append<std::uint64_t>(report, payload.size());
  report += payload;
  report += 'E';
  return report;
}

bool ParseWorkerReport(const std::string& report, bool& decoded, std::string& payload) {
  std::uint64_t size = 0;
  const std::size_t frame = 1 + sizeof size + 1;
  if (report.size() < frame || report.back() != 'E') return false;
  if (report[0] != 'D' && report[0] != 'F') return false;
  std::memcpy(&size, report.data() + 1, sizeof size);
  if (size != report.size() - frame) return false;
  decoded = report[0] == 'D';
  payload = report.substr(1 + sizeof size, size);
  return true;
}

void AppendRecord(std::string& output, const std::string& path, const TrialRecord& record) {
  output += static_cast<char>(record.verdict);
  output += static_cast<char>(record.kind);
  output += static_cast<char>(record.decoded ? 1 : 0);
  Append<std::int32_t>(output, record.signal);
  Append<std::int64_t>(output, record.peakKiB);
  Append<std::uint32_t>(output, static_cast<std::uint32_t>(path.size()));
  output += path;
  Append<std::uint32_t>(output, static_cast<std::uint32_t>(record.reason.size()));
  output += record.reason;
  Append<std::uint64_t>(output, record.payload.size());
  output += record.payload;
}

bool ReadRecordHead(int fd, double deadline, std::string& path, TrialRecord& record,
                    std::uint64_t& payloadSize) {
  std::uint8_t head[3];
  if (!ReadAll(fd, head, 1, deadline) || head[0] == kEndOfTrial) return false;
  std::int32_t signal = 0;
  std::int64_t peak = 0;
  std::uint32_t pathLength = 0, reasonLength = 0;
  if (!ReadAll(fd, head + 1, 2, deadline) || !ReadAll(fd, &signal, sizeof signal, deadline) ||
      !ReadAll(fd, &peak, sizeof peak, deadline) ||
      !ReadAll(fd, &pathLength, sizeof pathLength, deadline) || pathLength > kMaxTrialPath) {
    return false;
  }
  path.assign(pathLength, '\0');
  if (!ReadAll(fd, path.data(), pathLength, deadline) ||
      !ReadAll(fd, &reasonLength, sizeof reasonLength, deadline) || reasonLength > 256) {
    return false;
  }
  record = TrialRecord{};
  record.reason.assign(reasonLength, '\0');
  if (!ReadAll(fd, record.reason.data(), reasonLength, deadline) ||
      !ReadAll(fd, &payloadSize, sizeof payloadSize, deadline) ||
      head[0] > static_cast<std::uint8_t>(TrialVerdict::Refused) ||
      head[1] > static_cast<std::uint8_t>(FileKind::Sound)) {
    return false;
  }
  record.verdict = static_cast<TrialVerdict>(head[0]);
  record.kind = static_cast<FileKind>(head[1]);
  record.decoded = head[2] != 0;
  record.signal = signal;
  record.peakKiB = peak;
  return true;
}
