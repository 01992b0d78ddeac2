#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDCrashReportingController.h"
#include "crashreporting/VizuzodKit/VZDVizuzodController.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/support/LibraryTest.h"

// What the crash-reporting controller's tests share: a host bundle, a crash context that installs no handler, the
// main queue driven by the test, a timer the test fires, and an upload client that records what it is given.

namespace crashreporting::test {

/// Blocks handed to the scheduler, fired by the test instead of a clock.
class ManualScheduler {
 public:
  VRDScheduler scheduler() {
    return [this](std::chrono::nanoseconds delay, std::function<void()> block) {
      const std::lock_guard lock(mutex_);
      pending_.emplace_back(delay, std::move(block));
    };
  }
  /// The delays waiting, in the order given.
  std::vector<std::chrono::nanoseconds> delays() {
    const std::lock_guard lock(mutex_);
    std::vector<std::chrono::nanoseconds> out;
    for (const auto& entry : pending_) out.push_back(entry.first);
    return out;
  }
  /// Runs (and forgets) the blocks waiting for exactly `delay`; how many ran.
  int fire(std::chrono::nanoseconds delay) {
    std::vector<std::function<void()>> due;
    {
      const std::lock_guard lock(mutex_);
      for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->first == delay) {
          due.push_back(std::move(it->second));
          it = pending_.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (auto& block : due) block();
    return static_cast<int>(due.size());
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::chrono::nanoseconds, std::function<void()>>> pending_;
};

/// Records the packages it is given instead of uploading them.
class RecordingUploader : public VRDPackageUploader {
 public:
  struct Upload {
    std::string path;
    bool synchronously;
  };
  bool submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously) override {
    const std::lock_guard lock(mutex_);
    uploads_.push_back({path, synchronously});
    return true;
  }
  std::vector<Upload> uploads() {
    const std::lock_guard lock(mutex_);
    return uploads_;
  }

 private:
  std::mutex mutex_;
  std::vector<Upload> uploads_;
};

class ControllerTest : public LibraryTest {
 protected:
  ControllerTest() {
    VRDProcessSetDebuggerAttachedOverride(true);
    MainExecutor::shared().driveByHost();
  }
  /// As LibraryTest::reset, once the analytics kit that a started crash kit starts has done its queued work:
  /// its set-up reads the framework, which after a reset would be made afresh without a bundle.
  static void reset() {
    waitForAnalytics();
    LibraryTest::reset();
  }
  static void waitForAnalytics() {
    if (!Shared<Vizuzod>::exists()) return;
    if (const auto controller = Vizuzod::sharedInstance().vizuzodController()) {
      do controller->eventQueue()->waitUntilAllOperationsAreFinished();
      while (controller->eventQueue()->operationCount() > 0);
    }
  }
  static bool setBundle() {
    BundleInfo info;
    info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example.host"));
    MainBundle::set(std::move(info));
    return true;
  }
  ~ControllerTest() override {
    // The library's instances and their threads (the main executor's among them, when a reset left it on a
    // thread of its own) end before the crash context they write into is forgotten.
    reset();
    VRDContextResetForTesting();
    VRDProcessSetDebuggerAttachedOverride(std::nullopt);
  }

  /// An earlier run's folder in active; with a crash record unless `crashed` is false.
  std::filesystem::path earlierReport(const std::string& name, bool crashed = true) {
    const std::filesystem::path folder = std::filesystem::path(store_.activePath()) / name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "metadata.vrdrecord") << R"({"identity":{"session_id":")" << name
                                                 << R"(","api_key":"k"}})" "\n";
    if (crashed) std::ofstream(folder / "signal.vrdrecord") << R"({"signal":{"time":3}})" "\n";
    return folder;
  }

  static void drainMainQueue() {
    while (MainExecutor::shared().pump() > 0) {
    }
  }

  // Nothing a test starts may reach the real reports service.
  tilvane::test::ScopedEnv reportsEndpoint_{"VuveradaradReportsEndpoint", "http://127.0.0.1:9"};
  bool bundleSet_ = setBundle();  // before the store, whose root names the application
  VRDFileManager store_;
  ManualScheduler timer_;
  RecordingUploader uploader_;
};

}  // namespace crashreporting::test
