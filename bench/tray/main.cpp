// From spawn to the tray icon embedded, and the resident memory once idle, of Tilvane against a minimal Qt tray
// program (the floor, floor_tray.cpp). Runs on the X test desktop only (it has trayer, an XEmbed tray):
//
//   bash tests/support/x11/test-desktop.sh start /tmp/tilvane-bench-desktop >/dev/null &&
//   DISPLAY=$(bash tests/support/x11/test-desktop.sh display /tmp/tilvane-bench-desktop) build/bin/bench_tray;
//   bash tests/support/x11/test-desktop.sh stop /tmp/tilvane-bench-desktop
//
// Options: --runs N (starts per program, default 20), --idle S (seconds before reading the memory, default 2).
// Each Tilvane run has fresh, empty data folders of its own. Prints medians and the goal's verdict.
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
#include <memory>
#include <optional>
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
};

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

double median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--runs") options.runs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--idle") options.idle = std::max(0.0, std::atof(argv[i + 1]));
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
    const fs::path home = base / std::to_string(run);
    fs::create_directories(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all);
    const std::vector<std::string> tilvaneEnv{std::string("DISPLAY=") + display, "HOME=" + home.string(),
                                              "XDG_DATA_HOME=" + (home / "data").string(),
                                              "XDG_CONFIG_HOME=" + (home / "config").string(),
                                              "XDG_RUNTIME_DIR=" + (home / "run").string()};
    const Sample tilvane = measure(c, *panel, TILVANE_BINARY_PATH, "tilvane", tilvaneEnv, options.idle);
    if (floor.ms < 0 || tilvane.ms < 0) {
      std::fprintf(stderr, "bench_tray: run %d: an icon never reached the tray\n", run);
      continue;
    }
    floorMs.push_back(floor.ms);
    floorRss.push_back(floor.rssKiB / 1024.0);
    tilvaneMs.push_back(tilvane.ms);
    tilvaneRss.push_back(tilvane.rssKiB / 1024.0);
  }
  fs::remove_all(base);
  xcb_disconnect(c);
  if (tilvaneMs.empty()) return 1;

  const double fMs = median(floorMs), tMs = median(tilvaneMs), fRss = median(floorRss), tRss = median(tilvaneRss);
  std::printf("spawn -> icon embedded (median of %zu): floor %.1f ms, Tilvane %.1f ms (%.2fx; goal <= 2x: %s)\n",
              tilvaneMs.size(), fMs, tMs, tMs / fMs, tMs <= 2 * fMs ? "met" : "missed");
  std::printf("idle resident memory (median): floor %.1f MiB, Tilvane %.1f MiB (+%.1f MiB; goal <= +10 MiB: %s)\n",
              fRss, tRss, tRss - fRss, tRss - fRss <= 10 ? "met" : "missed");
  return 0;
}
