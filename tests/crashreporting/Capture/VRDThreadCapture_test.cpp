#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDThreadCapture.h"
#include "crashreporting/Capture/VRDThreadStart.h"
#include "crashreporting/Capture/VRDUnwindCache.h"
#include "crashreporting/support/CaptureTest.h"

namespace crashreporting::test {
namespace {

// A thread that waits until asked to look at its own alternate stack, or to end.
class Waiter {
 public:
  Waiter() : thread_([this] { run(); }) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return tid_ != 0; });
  }
  ~Waiter() {
    {
      const std::lock_guard lock(mutex_);
      ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  std::int32_t tid() const { return tid_; }
  /// Whether the thread has an alternate signal stack now.
  bool hasAltStack() {
    std::unique_lock lock(mutex_);
    asked_ = true;
    answered_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return answered_; });
    return altStack_;
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    tid_ = VRDCurrentThreadID();
    changed_.notify_all();
    for (;;) {
      changed_.wait(lock, [this] { return ending_ || asked_; });
      if (ending_) return;
      stack_t current{};
      altStack_ = sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0;
      asked_ = false;
      answered_ = true;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int32_t tid_ = 0;
  bool ending_ = false;
  bool asked_ = false;
  bool answered_ = false;
  bool altStack_ = false;
  std::thread thread_;
};

class ThreadCapture : public ContextTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(VRDContextInitialize(&data_));
    VRDThreadCaptureInitialize(&capture_);
    ASSERT_NE(capture_.signal, 0);
  }
  void TearDown() override { VRDThreadCaptureRestore(&capture_); }

  // One capture of `thread` alone; true when it answered and its state can be had.
  static bool captureOnce(std::int32_t thread) {
    std::uint32_t asked = 0;
    const std::uint32_t answered = VRDThreadCaptureStop(&thread, 1, VRDCurrentThreadID(), &asked);
    VRDThreadState state;
    const bool ok = asked == 1 && answered == 1 && VRDThreadCaptureGetState(thread, &state) &&
                    VRDThreadContextGetStackPointer(&state) != 0;
    VRDThreadCaptureRelease();
    return ok;
  }

  VRDThreadCaptureContext capture_{};
};

TEST_F(ThreadCapture, CapturesOneRightAfterAnotherEachStopTheThread) {
  Waiter waiter;
  // The release of one capture and the stop of the next follow at once, as an exception's record and the
  // abort's do: the thread must not be caught still parked from the first.
  for (int round = 0; round < 20; ++round) ASSERT_TRUE(captureOnce(waiter.tid())) << "round " << round;
}

TEST_F(ThreadCapture, ASignalTheHostTookSinceTheStartIsReplacedAtCaptureTime) {
  Waiter waiter;
  struct sigaction own {};
  own.sa_handler = [](int) {};
  struct sigaction previous {};
  ASSERT_EQ(sigaction(capture_.signal, &own, &previous), 0);
  const int now = VRDThreadCaptureCurrentSignal();
  EXPECT_NE(now, 0);
  EXPECT_NE(now, capture_.signal);
  EXPECT_TRUE(captureOnce(waiter.tid()));
  EXPECT_EQ(VRDThreadCaptureCurrentSignal(), now) << "kept while it stays ours";
  sigaction(capture_.signal, &previous, nullptr);
}

TEST_F(ThreadCapture, ThreadsRunningAtTheStartAndThreadsStartedLaterHaveAlternateStacks) {
  VRDThreadStartStop();
  Waiter before;
  VRDThreadStartEnable();
  // The start waits a bounded time for each thread's answer; a machine too busy to run one in time leaves it
  // without (and says so), and the next call asks it again.
  int without = -1;
  for (int attempt = 0; attempt < 50 && without != 0; ++attempt) without = VRDThreadStartGiveRunningThreadsAltStacks();
  EXPECT_EQ(without, 0);
  EXPECT_TRUE(VRDThreadStartGivesAltStacks());
  EXPECT_TRUE(before.hasAltStack());
  Waiter after;
  EXPECT_TRUE(after.hasAltStack());
  VRDThreadStartStop();
  // A thread that ends gives its stack back; one started now has none of ours.
  bool none = true;
  std::thread([&] {
    stack_t current{};
    none = sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0;
  }).join();
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_TRUE(none);
#endif
}

// Which pages of the alternate stack at `stack` are resident, from its bottom up; empty when that cannot be told.
std::vector<bool> residentPages(const void* stack) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> flags(VRDAltStackSize / page);
  if (mincore(const_cast<void*>(stack), VRDAltStackSize, flags.data()) != 0) return {};
  std::vector<bool> resident;
  for (const unsigned char flag : flags) resident.push_back((flag & 1) != 0);
  return resident;
}

// Whether every page of [start, start + size) is resident.
bool allResident(const void* start, std::size_t size) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = reinterpret_cast<std::uintptr_t>(start) / page * page;
  const std::size_t pages = (reinterpret_cast<std::uintptr_t>(start) + size - from + page - 1) / page;
  std::vector<unsigned char> flags(pages);
  if (mincore(reinterpret_cast<void*>(from), pages * page, flags.data()) != 0) return false;
  for (const unsigned char flag : flags) {
    if ((flag & 1) == 0) return false;
  }
  return true;
}

TEST_F(ThreadCapture, WhatACrashWalksWithIsFaultedInAtTheStartAndThreadStacksCostNothingUntilUsed) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  ASSERT_NE(readOnly->unwindCache, nullptr);
  EXPECT_TRUE(allResident(readOnly->unwindCache, sizeof(VRDUnwindCache)));
  // The set-up thread's stack: its top, where the handler runs, and no more.
  const std::vector<bool> setUp = residentPages(readOnly->signalStack);
  ASSERT_EQ(setUp.size(), VRDAltStackSize / page);
  const std::size_t warm = (VRDAltStackWarmSize + page - 1) / page;
  for (std::size_t i = setUp.size() - warm; i < setUp.size(); ++i) EXPECT_TRUE(setUp[i]) << "page " << i;
  for (std::size_t i = 0; i < setUp.size() / 2; ++i) EXPECT_FALSE(setUp[i]) << "page " << i;
  // A thread's own stack is mapped only.
  void* mapped = VRDSignalMapAltStack();
  ASSERT_NE(mapped, nullptr);
  const std::vector<bool> own = residentPages(mapped);
  EXPECT_EQ(std::count(own.begin(), own.end(), true), 0);
  VRDSignalUnmapAltStack(mapped);
}

TEST_F(ThreadCapture, TheContextsUnwinderCacheServesOneCaptureAtATime) {
  VRDUnwindCache* first = VRDContextTakeUnwindCache();
  ASSERT_EQ(first, VRDContextReadOnly()->unwindCache);
  EXPECT_EQ(VRDContextTakeUnwindCache(), nullptr) << "a second capture walks with a cache of its own";
  VRDContextReturnUnwindCache();
  EXPECT_EQ(VRDContextTakeUnwindCache(), first);
  VRDContextReturnUnwindCache();
}

}  // namespace
}  // namespace crashreporting::test
