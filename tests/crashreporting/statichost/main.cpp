// A host that starts threads before the crash capture starts and after, each by std::thread and by
// pthread_create, and says how they went:
//   crashreporting_statichost <report-dir>
// prints "before=<n> after=<n> after-altstack=<n>": how many of the two threads of each round ran, and how many
// of the later ones ran with an alternate signal stack. Exit status 2 when the capture does not start.
//   crashreporting_statichost crash <report-dir>
// names the main thread "static-main", starts a thread that crashes (Crash.cpp) and joins it.
//   crashreporting_statichost next <report-dir>
// the next start's processing of that report, as the reports controller runs it (whose network client would
// bring OpenSSL's sockets and module loading into the link): symbolicated, then packaged for upload into the
// store under $XDG_CACHE_HOME; prints the package's path.
// Built twice: linked statically, and linked as usual beside a pthread_create of the host's own.
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDPackageReportOperation.h"
#include "crashreporting/Reports/VRDProcessReportOperation.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/platform/SerialQueue.h"

extern "C" void* static_crash_thread(void* target);

namespace {

std::atomic<pid_t> joining{0};

// Whether thread `tid` of this process sleeps in a futex wait now.
bool waitsInFutex(pid_t tid) {
  std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  return file >> number && number == SYS_futex;
}

struct Outcome {
  bool ran = false;
  bool altStack = false;
};

void* note(void* data) {
  stack_t stack{};
  sigaltstack(nullptr, &stack);
  *static_cast<Outcome*>(data) = {true, (stack.ss_flags & SS_DISABLE) == 0};
  return nullptr;
}

// One thread by std::thread and one by pthread_create; a start that fails leaves its outcome false.
void startTwo(Outcome (&outcomes)[2]) {
  try {
    std::thread(note, &outcomes[0]).join();
  } catch (const std::system_error&) {
  }
  pthread_t thread;
  if (pthread_create(&thread, nullptr, note, &outcomes[1]) == 0) pthread_join(thread, nullptr);
}

bool startCapture(const char* directory) {
  crashreporting::VRDContextInitData data;
  data.apiKey = "static-host";
  data.reportDirectory = directory;
  data.sessionIdentifier = "session";
  data.installIdentifier = "install";
  data.maxCustomKeys = 8;
  data.logBufferSize = 4096;
  return crashreporting::VRDContextInitialize(&data);
}

int next(const char* directory) {
  using namespace crashreporting;
  VRDFileManager store;
  const auto report = VRDInternalReport::reportWithPath(directory);
  if (!store.prepareForNewLaunch() || !report) return 2;
  VRDSymbolResolver resolver;
  std::make_shared<VRDProcessReportOperation>(*report, resolver)->start();
  const auto package = std::make_shared<VRDPackageReportOperation>(*report, store);
  package->start();
  std::printf("%s\n", package->finalPath().value_or("").c_str());
  return package->finalPath() ? 0 : 3;
}

}  // namespace

// The crash waits for the main thread to sleep in its join, so that the recorded stack of the main thread is the
// same however late a loaded machine lets it get there (at most 10 s).
extern "C" void static_crash_wait_for_main() {
  const timespec step{0, 1000000};
  for (int i = 0; i < 10000; ++i) {
    if (const pid_t tid = joining.load(); tid != 0 && waitsInFutex(tid)) return;
    nanosleep(&step, nullptr);
  }
}

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode == "next") return next(argv[2]);
  if (mode == "crash") {
    pthread_t crasher;
    if (!startCapture(argv[2])) return 2;
    // The record of the loaded images is written by the library's queue: a crash before it is written would
    // leave nothing to name the frames by.
    crashreporting::VRDContextBinaryImageQueue().sync([] {});
    if (pthread_setname_np(pthread_self(), "static-main") != 0 ||
        pthread_create(&crasher, nullptr, static_crash_thread, nullptr) != 0) {
      return 2;
    }
    joining.store(static_cast<pid_t>(syscall(SYS_gettid)));
    return pthread_join(crasher, nullptr);  // the crash ends the process first
  }
  if (argc != 2) return 2;
  Outcome before[2];
  startTwo(before);
  if (!startCapture(argv[1])) return 2;
  Outcome after[2];
  startTwo(after);
  std::printf("before=%d after=%d after-altstack=%d\n", before[0].ran + before[1].ran, after[0].ran + after[1].ran,
              after[0].altStack + after[1].altStack);
  return 0;
}
