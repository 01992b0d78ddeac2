// Latency of a custom layout's hot key on X11, from the key press to the window's new frame read back, next to
// the same move made by wmctrl, by xdotool, and by a client already connected that sends the move itself (the
// floor). Runs on the X test desktop only:
//
//   bash tests/support/x11/test-desktop.sh start /tmp/tilvane-bench-desktop >/dev/null &&
//   DISPLAY=$(bash tests/support/x11/test-desktop.sh display /tmp/tilvane-bench-desktop) build/bin/bench_hotkey_x11;
//   bash tests/support/x11/test-desktop.sh stop /tmp/tilvane-bench-desktop
//
// Options: --moves N (timed moves per method, default 200), --warmup N (default 10), --settle MS (pause after
// each move, default 20), --data-dir DIR (where Tilvane's database and logs go; default a new folder under
// $TMPDIR or /tmp, removed at the end).
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "Measurement.h"
#include "TargetWindow.h"
#include "TilvaneInstance.h"
#include "XDriver.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/QtMainLoop.h"

namespace {

using namespace tilvane;

struct Options {
  int moves = 200;
  int warmup = 10;
  int settleMs = 20;
  std::string dataDir;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--moves") o.moves = std::max(1, std::atoi(argv[i + 1]));
    else if (a == "--warmup") o.warmup = std::max(0, std::atoi(argv[i + 1]));
    else if (a == "--settle") o.settleMs = std::max(0, std::atoi(argv[i + 1]));
    else if (a == "--data-dir") o.dataDir = argv[i + 1];
  }
  return o;
}

// Asks the main loop a question from the measuring thread and waits for the answer.
bool askMain(const std::function<bool()>& question) {
  auto answer = std::make_shared<std::promise<bool>>();
  auto future = answer->get_future();
  dispatch::MainQueue::async([answer, question] { answer->set_value(question()); });
  return future.get();
}

std::string fileSystemOf(const std::filesystem::path& path) {
  struct statfs s {};
  if (statfs(path.c_str(), &s) != 0) return "unknown";
  return s.f_type == 0x01021994 ? "tmpfs" : "disk";
}

void print(FILE* out, const std::vector<bench::Samples>& results, const Options& o, const std::string& data) {
  const bench::Samples& floor = results.front();
  std::fprintf(out, "Hot key to frame read back, %d moves per method (after %d untimed), database on %s\n\n",
               o.moves, o.warmup, data.c_str());
  std::fprintf(out, "%-32s %10s %10s %12s %12s %9s\n", "method", "median ms", "p95 ms", "median/floor",
               "p95/floor", "timeouts");
  for (const bench::Samples& s : results) {
    std::fprintf(out, "%-32s %10.3f %10.3f %12.2f %12.2f %9d\n", s.method.c_str(), s.median(), s.p95(),
                 floor.median() > 0 ? s.median() / floor.median() : 0.0, floor.p95() > 0 ? s.p95() / floor.p95() : 0.0,
                 s.timeouts);
  }
  std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  const char* displayEnv = std::getenv("DISPLAY");
  const std::string display = displayEnv ? displayEnv : "";
  {
    bench::XDriver probe(display);
    if (display.empty() || !probe.ok() || !probe.isTestDesktop()) {
      std::fprintf(stderr,
                   "bench_hotkey_x11 runs on the X test desktop only; start one with\n"
                   "  bash tests/support/x11/test-desktop.sh start /tmp/tilvane-bench-desktop\n"
                   "and run it with DISPLAY set to the display that prints.\n");
      return 2;
    }
  }

  // Tilvane's files go to a folder of the run's own, never the user's.
  std::filesystem::path data = options.dataDir;
  const bool ownData = data.empty();
  if (ownData) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tilvane-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) return 1;
    data = pattern;
  }
  setenv("XDG_DATA_HOME", (data / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (data / "config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (data / "cache").c_str(), 1);

  // Before any thread: the target window's process is forked.
  std::string error;
  auto target = bench::TargetWindow::start(display, &error);
  if (!target) {
    std::fprintf(stderr, "bench_hotkey_x11: %s\n", error.c_str());
    return 1;
  }

  // Tilvane logs to the console as it always does; that goes to a file, the figures to the real stdout.
  FILE* report = fdopen(dup(STDOUT_FILENO), "w");
  const int console = open((data / "console.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (console >= 0) {
    dup2(console, STDOUT_FILENO);
    close(console);
  }

  int status = 0;
  {
    QCoreApplication app(argc, argv);
    dispatch::QtMainLoop loop;
    dispatch::MainQueue::Scope scope(loop);
    auto tilvane = bench::TilvaneInstance::start(display, &error);
    if (!tilvane) {
      std::fprintf(stderr, "bench_hotkey_x11: %s\n", error.c_str());
      return 1;
    }
    bench::MeasurementPlan plan;
    plan.display = display;
    plan.window = target->window();
    plan.moves = options.moves;
    plan.warmup = options.warmup;
    plan.settleMs = options.settleMs;
    plan.tilvaneIdle = [] { askMain([] { return true; }); };
    plan.tilvaneReady = [&] { return askMain([&] { return tilvane->isReadyFor(plan.window); }); };
    std::vector<bench::Samples> results;
    std::thread measuring([&] {
      results = bench::measure(plan, &error);
      dispatch::MainQueue::async([&] { loop.quit(0); });
    });
    loop.run();
    measuring.join();
    if (results.empty()) {
      std::fprintf(stderr, "bench_hotkey_x11: %s\n", error.c_str());
      status = 1;
    } else {
      print(report, results, options, fileSystemOf(data));
    }
  }
  target.reset();
  std::fclose(report);
  if (ownData) std::filesystem::remove_all(data);
  return status;
}
