// A host application of the crash kit for the end-to-end tests:
//   crashreporting_crashhost <Info.plist> <api-key> [option...] <step...>
// Options:
//   --delegate=yes|no   a delegate that decides about each earlier report with this answer
//   --prompt=send|dont-send   a send prompt whose user presses that button
//   --debug             the kit framework's debug output
//   --time-scale=<n>    the library's timers (2 s checks, upload retries and restarts) run n times faster
// Steps, in order:
//   start      Vuveradarad::startWithAPIKey; prints "started prepared=<packages in prepared> ms=<its duration>"
//              once it returns
//   wait:<ms>  runs the main queue for that long
//   crash      the kit's crash(): an invalid-instruction trap, at once
//   throw      the kit's throwException(): its test exception, uncaught
//   overflow-thread   a plain std::thread recurses until its stack runs out
//   serve      runs the main queue until standard input ends
//   fork       forks a child that only sleeps (at most a minute; it does not exec), prints "child <pid>"
//   fork-exit  forks a child that logs an event and a custom key and returns through exit(0) (no exec); waits
//              for it (at most 10 s, then kills it) and prints "child ended <exit status or -1> ms=<time>"
//   events:<prefix>:<n>   logs n analytics events named <prefix>0 … <prefix><n-1>
//   events-thread:<prefix>   a thread logs events <prefix>0, <prefix>1, … a millisecond apart until the process
//              ends; returning from main prints "thread logged <n>" with the number logged by then
//   nofile:<n>  lowers the limit of open files (RLIMIT_NOFILE) to n
//   hold-files:<ms>   once a line comes on standard input, holds every free descriptor for that long while the
//              main queue runs, then prints "held <n>"
//   fsize:<n>|off   a file can grow to n bytes at most (RLIMIT_FSIZE, its soft limit: a write past it fails as
//              on a full disk, SIGXFSZ ignored); "off" lifts the limit again
// Returning from main prints "returning at=<steady clock, ms>", so that a test can time the exit.
// The host drives the library's main queue from its own loop, as an application's run loop would: a crash
// before the first turn leaves the launch marker in place.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "crashreporting/Kit/ZIZException.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDSendPrompt.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/MainExecutor.h"

using namespace crashreporting;

namespace {

class ButtonPrompt : public VRDSendPrompt {
 public:
  explicit ButtonPrompt(bool send) : send_(send) {}
  std::size_t runModal(const VRDSendPromptAlert& alert) override {
    std::printf("prompt \"%s\"\n", alert.messageText.c_str());
    std::fflush(stdout);
    return send_ ? 0 : alert.buttons.size() - 1;
  }

 private:
  bool send_;
};

void runMainQueueFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    MainExecutor::shared().pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void runMainQueueUntilInputEnds() {
  char buffer[256];
  while (true) {
    MainExecutor::shared().pump();
    pollfd input{0, POLLIN, 0};
    if (poll(&input, 1, 5) > 0 && read(0, buffer, sizeof buffer) <= 0) return;
  }
}

void holdFilesOnInput(std::chrono::milliseconds duration) {
  char buffer[256];
  for (pollfd input{0, POLLIN, 0}; poll(&input, 1, 5) <= 0; input.revents = 0) MainExecutor::shared().pump();
  if (read(0, buffer, sizeof buffer) <= 0) return;
  std::vector<int> held;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) held.push_back(fd);
  runMainQueueFor(duration);
  for (const int fd : held) close(fd);
  std::printf("held %zu\n", held.size());
  std::fflush(stdout);
}

// Never ends: the addition after the call keeps it from becoming a loop.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int crashhostRecurse(int depth) {
  volatile char frame[64];
  frame[0] = static_cast<char>(depth);
  return crashhostRecurse(depth + 1) + frame[0];
}
#pragma GCC diagnostic pop

// A worker forked without exec that ends as programs do, through exit(): the library's exit work and static
// destructors run in it.
void forkAndExit() {
  const pid_t child = fork();
  if (child == 0) {
    Vuveradarad::logEvent("child-event");
    Vuveradarad::setObjectValue(Value("child"), "worker");
    std::exit(0);
  }
  const auto began = std::chrono::steady_clock::now();
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - began < std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - began;
  if (ended != child) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  std::printf("child ended %d ms=%.0f\n", ended == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1,
              took.count());
  std::fflush(stdout);
}

void logEvents(const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) Vizuzod::logCustomEventWithName(prefix + std::to_string(i), std::nullopt);
}

// Counted once each event is handed over: an event counted when main returns was logged before it returned.
std::atomic<int> threadLogged{-1};

void startLoggingThread(const std::string& prefix) {
  threadLogged = 0;
  std::thread([prefix] {
    for (int i = 0;; ++i) {
      Vizuzod::logCustomEventWithName(prefix + std::to_string(i), std::nullopt);
      threadLogged = i + 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <Info.plist> <api-key> [option...] <step...>\n", argv[0]);
    return 2;
  }
  std::string error;
  auto info = BundleInfo::fromFile(argv[1], error);
  if (!info) {
    std::fprintf(stderr, "cannot read %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  MainBundle::set(std::move(*info));
  MainExecutor::shared().driveByHost();
  const std::string key = argv[2];
  auto delegate = std::make_shared<VuveradaradDelegate>();
  for (int i = 3; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--delegate=yes" || argument == "--delegate=no") {
      const bool submit = argument == "--delegate=yes";
      delegate->vuveradaradDidDetectReportForLastExecutionCompletionHandler =
          [submit](const std::shared_ptr<VRDReport>&, std::function<void(bool)> handler) { handler(submit); };
    } else if (argument == "--prompt=send" || argument == "--prompt=dont-send") {
      VRDSendPrompt::registerPrompt(std::make_shared<ButtonPrompt>(argument == "--prompt=send"));
    } else if (argument == "--debug") {
      Vuveradarad::sharedInstance().setDebugMode(true);
    } else if (argument.rfind("--time-scale=", 0) == 0) {
      const double scale = std::atof(argument.c_str() + 13);
      if (scale <= 0) return 2;
      VRDCrashReportingEnvironment environment;
      environment.scheduler = [scale](std::chrono::nanoseconds delay, std::function<void()> block) {
        DelayedDispatch::after(std::chrono::nanoseconds(static_cast<std::int64_t>(delay.count() / scale)),
                               std::move(block));
      };
      Vuveradarad::sharedInstance().setControllerEnvironment(std::move(environment));
    } else if (argument == "start") {
      try {
        const auto began = std::chrono::steady_clock::now();
        Vuveradarad::startWithAPIKey(key, delegate);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - began;
        std::printf("started prepared=%zu ms=%.3f\n", VRDFileManager().preparedPathContents().size(),
                    took.count());
      } catch (const ZIZException& e) {
        std::fprintf(stderr, "%s: %s\n", ZIZException::name(), e.what());
        return 2;
      }
      std::fflush(stdout);
    } else if (argument.rfind("wait:", 0) == 0) {
      runMainQueueFor(std::chrono::milliseconds(std::atol(argument.c_str() + 5)));
    } else if (argument == "crash") {
      Vuveradarad::sharedInstance().crash();
    } else if (argument == "throw") {
      Vuveradarad::sharedInstance().throwException();
    } else if (argument == "overflow-thread") {
      // The host does nothing for the thread's sake: no alternate stack of its own, no call into the library.
      int result = 0;
      std::thread([&result, argc] { result = crashhostRecurse(argc); }).join();
      return result;
    } else if (argument == "fork") {
      const pid_t child = fork();
      if (child == 0) {
        for (int second = 0; second < 60; ++second) sleep(1);
        _exit(0);
      }
      std::printf("child %d\n", static_cast<int>(child));
      std::fflush(stdout);
    } else if (argument == "fork-exit") {
      forkAndExit();
    } else if (argument == "serve") {
      runMainQueueUntilInputEnds();
    } else if (argument.rfind("events:", 0) == 0) {
      const auto colon = argument.rfind(':');
      logEvents(argument.substr(7, colon - 7), std::atoi(argument.c_str() + colon + 1));
    } else if (argument.rfind("events-thread:", 0) == 0) {
      startLoggingThread(argument.substr(14));
    } else if (argument.rfind("nofile:", 0) == 0) {
      const rlim_t files = std::strtoul(argument.c_str() + 7, nullptr, 10);
      const rlimit limit{files, files};
      if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 2;
    } else if (argument.rfind("hold-files:", 0) == 0) {
      holdFilesOnInput(std::chrono::milliseconds(std::atol(argument.c_str() + 11)));
    } else if (argument.rfind("fsize:", 0) == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{};
      if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
      limit.rlim_cur = argument == "fsize:off" ? limit.rlim_max : std::strtoul(argument.c_str() + 6, nullptr, 10);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argument.c_str());
      return 2;
    }
  }
  if (const int logged = threadLogged.load(); logged >= 0) std::printf("thread logged %d\n", logged);
  std::printf("returning at=%lld\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count()));
  std::fflush(stdout);
  return 0;
}
