// A host that starts threads before the crash capture starts and after, each by std::thread and by
// pthread_create, and says how they went:
//   crashreporting_statichost <report-dir>
// prints "before=<n> after=<n> after-altstack=<n>": how many of the two threads of each round ran, and how many
// of the later ones ran with an alternate signal stack. Exit status 2 when the capture does not start.
// And a crash, then the next start, with the crash kit's report store under $XDG_CACHE_HOME:
//   crashreporting_statichost crash
// starts the capture in a new report folder, names the main thread "static-main", starts 18 threads that wait in
// a read ("static-waiter") and one that writes through a null pointer ("static-crasher"), and joins it;
//   crashreporting_statichost next <folder>
// starts the capture for a new run, symbolicates and packages each earlier report as the reports controller
// does, and uploads the package by copying it into <folder>; prints "upload <package file name>" for each.
// Built twice: linked statically, and linked as usual beside a pthread_create of the host's own.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "Crash.h"
#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDPackageReportOperation.h"
#include "crashreporting/Reports/VRDProcessReportOperation.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/platform/MainBundle.h"

namespace {

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

// A new run's folder in the crash kit's store, with the capture started there; empty when that failed.
std::string startRun(const char* name) {
  crashreporting::BundleInfo info;
  info.infoDictionary.emplace("CFBundleIdentifier", crashreporting::Value("org.example.statichost"));
  crashreporting::MainBundle::set(std::move(info));
  crashreporting::VRDFileManager store;
  const auto folder = store.prepareForNewLaunch() ? store.setupNewPathForExecutionIdentifier(name) : std::nullopt;
  return folder && startCapture(folder->c_str()) ? *folder : std::string();
}

// Starts the waiting threads, then the crashing one, which main joins.
bool startCrash(pthread_t* crasher) {
  if (startRun("crashed").empty()) return false;
  pthread_setname_np(pthread_self(), "static-main");
  static int waitFor[2];
  if (pipe(waitFor) != 0) return false;
  constexpr int kWaiters = 18;
  for (int i = 0; i < kWaiters; ++i) {
    pthread_t waiter;
    if (pthread_create(&waiter, nullptr, static_wait_thread, &waitFor[0]) != 0) return false;
  }
  while (staticWaitersStarted < kWaiters) sched_yield();
  return pthread_create(crasher, nullptr, static_crash_thread, nullptr) == 0;
}

// The next start's processing of each earlier report, as the reports controller runs it: symbolicated, then
// packaged; the upload copies the package. (The controller itself would link the network client, and with it
// OpenSSL's sockets and module loading, whose libc.a functions warn in a static link.)
int next(const std::filesystem::path& uploads) {
  const std::string thisRun = startRun("next");
  if (thisRun.empty()) return 2;
  crashreporting::VRDFileManager store;
  for (const std::string& path : store.activePathContents()) {
    if (path == thisRun) continue;
    auto report = crashreporting::VRDInternalReport::reportWithPath(path);
    if (!report || !report->needsToBeSubmitted()) continue;
    crashreporting::VRDSymbolResolver resolver;
    std::make_shared<crashreporting::VRDProcessReportOperation>(*report, resolver)->start();
    auto package = std::make_shared<crashreporting::VRDPackageReportOperation>(*report, store);
    package->start();
    std::error_code error;
    if (!package->finalPath()) return 3;
    const std::filesystem::path packagePath(*package->finalPath());
    if (!std::filesystem::copy_file(packagePath, uploads / packagePath.filename(), error)) return 3;
    std::printf("upload %s\n", packagePath.filename().c_str());
    store.discardItemAtPath(report->path());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "crash") {
    pthread_t crasher;
    if (!startCrash(&crasher)) return 2;
    pthread_join(crasher, nullptr);
    return 3;  // the crash ends the process first
  }
  if (argc == 3 && std::string(argv[1]) == "next") return next(argv[2]);
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
