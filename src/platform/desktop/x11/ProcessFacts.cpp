#include "platform/desktop/x11/ProcessFacts.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tilvane::x11 {
namespace {

/// Bounds the read; the launcher puts its mark first, so it is always within.
constexpr std::size_t kMaxEnvironment = 1 << 20;

std::string procPath(pid_t pid, const char* leaf) { return "/proc/" + std::to_string(pid) + "/" + leaf; }

double ticksPerSecond() {
  const long ticks = ::sysconf(_SC_CLK_TCK);
  return ticks > 0 ? static_cast<double>(ticks) : 100.0;
}

/// Closes the descriptor it holds.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

/// The fields of /proc/<pid>/stat from the third (the state) on: element i is field i + 3. Empty when unreadable.
std::vector<std::string> statFields(pid_t pid) {
  std::vector<std::string> fields;
  if (pid <= 0) return fields;
  std::ifstream file(procPath(pid, "stat"));
  std::string line;
  if (!std::getline(file, line)) return fields;
  // The command name in parentheses may hold blanks and parentheses itself: fields count from the last ')'.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return fields;
  std::istringstream rest(line.substr(close + 1));
  for (std::string field; rest >> field;) fields.push_back(std::move(field));
  return fields;
}

std::optional<unsigned long long> numberField(const std::vector<std::string>& fields, int number) {
  const auto at = static_cast<std::size_t>(number - 3);
  if (number < 3 || at >= fields.size()) return std::nullopt;
  const std::string& field = fields[at];
  char* end = nullptr;
  const unsigned long long value = std::strtoull(field.c_str(), &end, 10);
  if (end == field.c_str() || *end != '\0') return std::nullopt;
  return value;
}

/// How long an empty read of the process's environment may yet be one that missed it; absent: it has none to
/// miss (a kernel thread, an ended process, one whose image is gone). The file holds on to the image it was
/// opened on, so an exec after its opening reads empty; so does an exec's new image until its environment is
/// written: the stat shows its end still 0 (field 51), then its start and end equal (field 50) while its entries
/// are counted. Equal ends are also those of a process started with no environment at all: those are given a
/// short while only.
std::optional<std::chrono::milliseconds> environmentPending(pid_t pid) {
  constexpr unsigned long long kKernelThread = 0x00200000;  // PF_KTHREAD
  const auto fields = statFields(pid);
  if (fields.empty() || fields[0] == "Z" || fields[0] == "X") return std::nullopt;
  const auto flags = numberField(fields, 9);
  const auto size = numberField(fields, 23);
  const auto start = numberField(fields, 50);
  const auto end = numberField(fields, 51);
  if (!flags || (*flags & kKernelThread) || !size || *size == 0 || !start || !end) return std::nullopt;
  if (*end == 0 || *end > *start) return std::chrono::milliseconds(200);
  return std::chrono::milliseconds(20);
}

/// The start environment as read once; absent when unreadable.
std::optional<std::string> readEnvironment(pid_t pid) {
  const Descriptor file{::open(procPath(pid, "environ").c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return std::nullopt;
  std::string data;
  char buffer[8192];
  while (data.size() < kMaxEnvironment) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

}  // namespace

std::optional<std::string> startEnvironmentValue(pid_t pid, std::string_view name) {
  if (pid <= 0 || name.empty()) return std::nullopt;
  auto data = readEnvironment(pid);
  // A process caught in an exec reads empty until its new image has its environment, microseconds later
  // (longer on a busy machine): read again, from a fresh opening, rather than take it for one without.
  const auto began = std::chrono::steady_clock::now();
  while (data && data->empty()) {
    const auto pending = environmentPending(pid);
    if (!pending || std::chrono::steady_clock::now() - began >= *pending) break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    data = readEnvironment(pid);
  }
  if (!data) return std::nullopt;
  std::string_view rest(*data);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\0');
    const std::string_view entry = rest.substr(0, end);
    // An entry cut off by the read limit is no value.
    if (end == std::string_view::npos && data->size() >= kMaxEnvironment) break;
    if (entry.size() > name.size() && entry.substr(0, name.size()) == name && entry[name.size()] == '=')
      return std::string(entry.substr(name.size() + 1));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<double> processStartSeconds(pid_t pid) {
  // Field 22, start time in ticks after boot.
  const auto ticks = numberField(statFields(pid), 22);
  if (!ticks) return std::nullopt;
  return static_cast<double>(*ticks) / ticksPerSecond();
}

std::optional<pid_t> parentProcessId(pid_t pid) {
  const auto fields = statFields(pid);
  // Field 4; an ended process has no parent that tells anything.
  const auto parent = numberField(fields, 4);
  if (!parent || fields[0] == "Z" || fields[0] == "X") return std::nullopt;
  return static_cast<pid_t>(*parent);
}

std::optional<pid_t> sessionId(pid_t pid) {
  const auto fields = statFields(pid);
  // Field 6.
  const auto session = numberField(fields, 6);
  if (!session || fields[0] == "Z" || fields[0] == "X") return std::nullopt;
  return static_cast<pid_t>(*session);
}

std::vector<pid_t> runningProcesses() {
  std::vector<pid_t> pids;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    char* end = nullptr;
    const long pid = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == '\0' && pid > 0) pids.push_back(static_cast<pid_t>(pid));
  }
  return pids;
}

double bootClockSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const double hz = ticksPerSecond();
  const double ticks = std::floor((static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9) * hz);
  return ticks / hz;
}

}  // namespace tilvane::x11
