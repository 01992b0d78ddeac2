// From spawn to the tray icon embedded, and the resident memory once idle, of Tilvane against a minimal Qt tray
// program (the floor, floor_tray.cpp). Runs on the X test desktop only (it has trayer, an XEmbed tray):
//
//   bash tests/support/x11/test-desktop.sh start /tmp/tilvane-bench-desktop >/dev/null &&
//   DISPLAY=$(bash tests/support/x11/test-desktop.sh display /tmp/tilvane-bench-desktop) build/bin/bench_tray;
//   bash tests/support/x11/test-desktop.sh stop /tmp/tilvane-bench-desktop
//
// Options: --runs N (starts per program, default 20), --idle S (seconds before reading the memory, default 2).
// Each Tilvane run has fresh, empty data folders of its own. Prints medians and the goal's verdict.
//
// Then both programs run side by side at idle (--watch S, default 60; 0 leaves it out), Tilvane with a settings
// file to follow (its folder a link into a dotfiles folder): from --settle S after their start (default 15), and
// once Tilvane kept still for 3 s (30 s at most more), for S seconds, the wake-ups of each (voluntary context
// switches of all its threads, Tilvane's by thread), its CPU ticks, and its memory at the end of the watch.
// --tilvane PATH measures another build of Tilvane (an earlier one, say) against the same floor.
//
// --check makes the idle watch a test (CI runs it, `ctest -R bench_tray_idle`): the exit code is 1 when Tilvane
// woke more than the floor + 2 times or used more than one CPU tick. Both are counts against the floor measured
// in the same run, so a busy machine does not change them: a sleeping program is neither woken nor charged.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  int runs = 20;
  double idle = 2.0;
  double watch = 60;
  double settle = 15;
  std::string tilvane = TILVANE_BINARY_PATH;
  bool check = false;
};

/// What the idle goal allows: the floor's wake-ups and this many more, and this many CPU ticks.
constexpr long kWakeUpsOverFloor = 2;
constexpr long kIdleTicks = 1;

/// A settings file such as a user has, for Tilvane to follow while idle.
const char* const kSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>autoLayoutEnabled</key><integer>1</integer><key>gutterEnabled</key><true/></dict>
</plist>
)";

/// The WM_CLASS instance of a window; empty when it has none.
std::string instanceOf(xcb_connection_t* c, xcb_window_t w) {
  auto cookie = xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(xcb_get_property_reply(c, cookie, nullptr), free);
  if (!reply || reply->format != 8) return {};
  const char* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
  const int length = xcb_get_property_value_length(reply.get());
  return std::string(bytes, strnlen(bytes, static_cast<std::size_t>(length)));
}

std::vector<xcb_window_t> childrenOf(xcb_connection_t* c, xcb_window_t w) {
  std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr),
                                                                free);
  if (!tree) return {};
  const xcb_window_t* kids = xcb_query_tree_children(tree.get());
  return {kids, kids + xcb_query_tree_children_length(tree.get())};
}

bool viewable(xcb_connection_t* c, xcb_window_t w) {
  std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> a(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), free);
  return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

/// trayer's panel: the window of class instance "panel" somewhere under the root.
std::optional<xcb_window_t> findPanel(xcb_connection_t* c, xcb_window_t from, int depth = 0) {
  for (const xcb_window_t w : childrenOf(c, from)) {
    if (instanceOf(c, w) == "panel") return w;
    if (depth < 3)
      if (const auto found = findPanel(c, w, depth + 1)) return found;
  }
  return std::nullopt;
}

/// Whether a viewable window of class instance `instance` sits in the panel.
bool embedded(xcb_connection_t* c, xcb_window_t panel, const std::string& instance) {
  for (const xcb_window_t w : childrenOf(c, panel)) {
    if (instanceOf(c, w) == instance && viewable(c, w)) return true;
    for (const xcb_window_t inner : childrenOf(c, w))
      if (instanceOf(c, inner) == instance && viewable(c, inner)) return true;
  }
  return false;
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& environment) {
  std::vector<char*> env;
  for (const auto& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void stop(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

struct Sample {
  double ms = -1;
  long rssKiB = -1;
};

Sample measure(xcb_connection_t* c, xcb_window_t panel, const std::string& program, const std::string& instance,
               const std::vector<std::string>& environment, double idle) {
  const auto start = Clock::now();
  const pid_t pid = spawn(program, environment);
  if (pid < 0) return {};
  Sample sample;
  while (Clock::now() - start < std::chrono::seconds(10)) {
    if (embedded(c, panel, instance)) {
      sample.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(idle));
  sample.rssKiB = residentKiB(pid);
  stop(pid);
  // Let the tray take the icon out before the next start.
  while (embedded(c, panel, instance)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return sample;
}

/// Tilvane's environment with fresh, empty data folders of its own under `home`.
std::vector<std::string> freshEnvironment(const fs::path& home, const char* display) {
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  return {std::string("DISPLAY=") + display, "HOME=" + home.string(), "XDG_DATA_HOME=" + (home / "data").string(),
          "XDG_CONFIG_HOME=" + (home / "config").string(), "XDG_RUNTIME_DIR=" + (home / "run").string()};
}

/// A field of /proc/<pid>/task/<tid>/status (or the process's, with an empty tid) as a number; 0 when absent.
long statusField(pid_t pid, const std::string& tid, const std::string& field) {
  const std::string where = "/proc/" + std::to_string(pid) + (tid.empty() ? "" : "/task/" + tid) + "/status";
  std::ifstream status(where);
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  return 0;
}

/// Voluntary context switches of each thread of the process, by "name tid": every time a thread was put to sleep
/// and woken again. (Being taken off a busy processor is no wake-up: it happens only to a thread that runs.)
std::map<std::string, long> wakeUpsByThread(pid_t pid) {
  std::map<std::string, long> out;
  const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(tasks, error)) {
    const std::string tid = entry.path().filename();
    std::string name;
    std::getline(std::ifstream(entry.path() / "comm"), name);
    out[name + " " + tid] = statusField(pid, tid, "voluntary_ctxt_switches");
  }
  return out;
}

/// User and system clock ticks the process has used, its threads included.
long cpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {  // field 3 is the state; utime is 14, stime 15
    if (i == 14) utime = std::atol(field.c_str());
    if (i == 15) {
      stime = std::atol(field.c_str());
      break;
    }
  }
  return utime + stime;
}

/// A "Name:   N kB" line of /proc/<pid>/smaps_rollup, in MiB.
double rollupMiB(pid_t pid, const std::string& name) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line))
    if (line.rfind(name + ":", 0) == 0) return std::strtol(line.c_str() + name.size() + 1, nullptr, 10) / 1024.0;
  return -1;
}

struct IdleFigures {
  long wakeUps = 0;
  long ticks = 0;
  double rssMiB = 0;
  double pssMiB = 0;
  std::map<std::string, long> byThread;
};

long totalWakeUps(pid_t pid) {
  long total = 0;
  for (const auto& [thread, count] : wakeUpsByThread(pid)) total += count;
  return total;
}

/// Waits until the process kept still (no wake-up) for `still` seconds, or `limit` seconds passed: the end of a
/// start slowed down by a busy machine. A program that wakes every few seconds never keeps still and is watched
/// after `limit`; one that wakes less often is caught by the watch.
void waitUntilStill(pid_t pid, double still, double limit) {
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit));
  const auto step = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(still));
  long before = totalWakeUps(pid);
  while (Clock::now() < end) {
    std::this_thread::sleep_for(step);
    const long now = totalWakeUps(pid);
    if (now == before) return;
    before = now;
  }
}

/// Both programs at once: started together, left alone for `settle` seconds and until Tilvane keeps still, then
/// watched for `watch` seconds. False when the idle goal was missed.
bool watchIdle(xcb_connection_t* c, xcb_window_t panel, const Options& options, const fs::path& base,
               const char* display) {
  const std::vector<std::string> floorEnv{std::string("DISPLAY=") + display, "HOME=" + base.string()};
  const std::vector<std::string> tilvaneEnv = freshEnvironment(base / "idle", display);
  // The settings folder a link into a dotfiles folder, as many keep it: the links on the path are followed too.
  fs::create_directories(base / "idle" / "dotfiles" / "tilvane");
  std::ofstream(base / "idle" / "dotfiles" / "tilvane" / "defaults.plist") << kSettings;
  fs::create_directories(base / "idle" / "config");
  std::error_code linked;
  fs::create_symlink("../dotfiles/tilvane", base / "idle" / "config" / "Tilvane", linked);
  if (linked) std::fprintf(stderr, "bench_tray: no settings to follow: %s\n", linked.message().c_str());
  const auto start = Clock::now();
  const pid_t floor = spawn(TILVANE_FLOOR_PATH, floorEnv);
  const pid_t tilvane = spawn(options.tilvane, tilvaneEnv);
  if (floor < 0 || tilvane < 0) {
    std::fprintf(stderr, "bench_tray: could not start both programs\n");
    if (floor > 0) stop(floor);
    if (tilvane > 0) stop(tilvane);
    return false;
  }
  bool shown = false;
  while (!shown && Clock::now() - start < std::chrono::seconds(10)) {
    shown = embedded(c, panel, "floor_tray") && embedded(c, panel, "tilvane");
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!shown) std::fprintf(stderr, "bench_tray: an icon never reached the tray; watching all the same\n");
  std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(options.settle)));
  waitUntilStill(tilvane, 3.0, 30.0);
  const double watchedFrom = std::chrono::duration<double>(Clock::now() - start).count();
  IdleFigures figures[2];
  const pid_t pids[2] = {floor, tilvane};
  std::map<std::string, long> before[2];
  for (int i = 0; i < 2; ++i) {
    before[i] = wakeUpsByThread(pids[i]);
    figures[i].ticks = -cpuTicks(pids[i]);
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(options.watch));
  // An ended program wakes no more: its figures would say nothing.
  const bool running = waitpid(floor, nullptr, WNOHANG) == 0 && waitpid(tilvane, nullptr, WNOHANG) == 0;
  if (!running) std::fprintf(stderr, "bench_tray: a program ended during the idle watch\n");
  for (int i = 0; i < 2; ++i) {
    figures[i].ticks += cpuTicks(pids[i]);
    for (const auto& [thread, count] : wakeUpsByThread(pids[i])) {
      const auto was = before[i].find(thread);
      const long grown = count - (was == before[i].end() ? 0 : was->second);
      figures[i].wakeUps += grown;
      if (grown > 0) figures[i].byThread[thread] = grown;
    }
    figures[i].rssMiB = statusField(pids[i], "", "VmRSS") / 1024.0;
    figures[i].pssMiB = rollupMiB(pids[i], "Pss");
  }
  stop(tilvane);
  stop(floor);

  std::printf("\nidle, %.0f s watched from %.0f s after the start (both running side by side):\n", options.watch,
              watchedFrom);
  const bool wakeUpsMet = figures[1].wakeUps <= figures[0].wakeUps + kWakeUpsOverFloor;
  const bool ticksMet = figures[1].ticks <= kIdleTicks;
  std::printf("  wake-ups: floor %ld, Tilvane %ld (goal <= floor + %ld: %s)\n", figures[0].wakeUps,
              figures[1].wakeUps, kWakeUpsOverFloor, wakeUpsMet ? "met" : "missed");
  for (const auto& [thread, count] : figures[1].byThread) std::printf("    Tilvane %s: %ld\n", thread.c_str(), count);
  std::printf("  CPU ticks: floor %ld, Tilvane %ld (goal <= %ld: %s)\n", figures[0].ticks, figures[1].ticks,
              kIdleTicks, ticksMet ? "met" : "missed");
  std::printf("  resident: floor %.1f MiB, Tilvane %.1f MiB (+%.1f MiB; goal <= +10 MiB: %s); PSS %.1f / %.1f MiB\n",
              figures[0].rssMiB, figures[1].rssMiB, figures[1].rssMiB - figures[0].rssMiB,
              figures[1].rssMiB - figures[0].rssMiB <= 10 ? "met" : "missed", figures[0].pssMiB, figures[1].pssMiB);
  std::fflush(stdout);
  return running && wakeUpsMet && ticksMet;
}

double median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--check") {
      options.check = true;
      continue;
    }
    if (i + 1 >= argc) break;
    ++i;
    if (name == "--runs") options.runs = std::max(0, std::atoi(argv[i]));
    if (name == "--idle") options.idle = std::max(0.0, std::atof(argv[i]));
    if (name == "--tilvane") options.tilvane = argv[i];
    if (name == "--watch") options.watch = std::max(0.0, std::atof(argv[i]));
    if (name == "--settle") options.settle = std::max(0.0, std::atof(argv[i]));
  }
  const char* display = std::getenv("DISPLAY");
  xcb_connection_t* c = xcb_connect(display, nullptr);
  if (!display || xcb_connection_has_error(c)) {
    std::fprintf(stderr, "bench_tray: no X display; run it on the X test desktop (see the top of main.cpp)\n");
    return 2;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const auto panel = findPanel(c, root);
  if (!panel) {
    std::fprintf(stderr, "bench_tray: no trayer panel on %s\n", display);
    return 2;
  }

  const fs::path base = fs::temp_directory_path() / ("tilvane-bench-tray-" + std::to_string(getpid()));
  std::vector<double> floorMs, floorRss, tilvaneMs, tilvaneRss;
  for (int run = 0; run < options.runs; ++run) {
    const std::vector<std::string> floorEnv{std::string("DISPLAY=") + display, "HOME=" + base.string()};
    const Sample floor = measure(c, *panel, TILVANE_FLOOR_PATH, "floor_tray", floorEnv, options.idle);
    const std::vector<std::string> tilvaneEnv = freshEnvironment(base / std::to_string(run), display);
    const Sample tilvane = measure(c, *panel, options.tilvane, "tilvane", tilvaneEnv, options.idle);
    if (floor.ms < 0 || tilvane.ms < 0) {
      std::fprintf(stderr, "bench_tray: run %d: an icon never reached the tray\n", run);
      continue;
    }
    floorMs.push_back(floor.ms);
    floorRss.push_back(floor.rssKiB / 1024.0);
    tilvaneMs.push_back(tilvane.ms);
    tilvaneRss.push_back(tilvane.rssKiB / 1024.0);
  }
  if (!tilvaneMs.empty()) {
    const double fMs = median(floorMs), tMs = median(tilvaneMs), fRss = median(floorRss), tRss = median(tilvaneRss);
    std::printf("spawn -> icon embedded (median of %zu): floor %.1f ms, Tilvane %.1f ms (%.2fx; goal <= 2x: %s)\n",
                tilvaneMs.size(), fMs, tMs, tMs / fMs, tMs <= 2 * fMs ? "met" : "missed");
    std::printf("idle resident memory (median): floor %.1f MiB, Tilvane %.1f MiB (+%.1f MiB; goal <= +10 MiB: %s)\n",
                fRss, tRss, tRss - fRss, tRss - fRss <= 10 ? "met" : "missed");
  }
  std::fflush(stdout);
  const bool idleMet = options.watch <= 0 || watchIdle(c, *panel, options, base, display);
  fs::remove_all(base);
  xcb_disconnect(c);
  if (options.check && !idleMet) return 1;
  return options.runs > 0 && tilvaneMs.empty() ? 1 : 0;
}
