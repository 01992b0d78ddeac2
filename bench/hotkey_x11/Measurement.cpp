#include "Measurement.h"

#include <chrono>
#include <memory>
#include <thread>

#include "Methods.h"
#include "XDriver.h"

namespace tilvane::bench {
namespace {
using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9;
constexpr auto kTimeout = std::chrono::milliseconds(2000);

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string text(int v) { return std::to_string(v); }
}  // namespace

std::vector<Samples> measure(const MeasurementPlan& plan, std::string* error) {
  XDriver x(plan.display);
  if (!x.ok()) {
    *error = "cannot connect to " + plan.display;
    return {};
  }
  if (!waitFor(plan.tilvaneReady, std::chrono::milliseconds(15000))) {
    *error = "Tilvane did not take the window and its hot keys";
    return {};
  }
  x.activate(plan.window);
  if (!waitFor([&] { return x.activeWindow() == plan.window; }, std::chrono::milliseconds(5000))) {
    *error = "the target window did not become active";
    return {};
  }
  const xcb_window_t frame = x.watchFrame(plan.window);
  const auto extents = x.frameExtents(plan.window);
  const std::array<xcb_keycode_t, 2> keys{x.keycodeOf('1'), x.keycodeOf('2')};
  HotKeyMethod hotKey(x, keys, {x.keycodeOf(kControlL), x.keycodeOf(kAltL)});

  // The two targets are where Tilvane's own layouts put the window.
  std::array<Rect, 2> targets;
  for (std::size_t i = 0; i < 2; ++i) {
    const auto before = x.read(frame);
    hotKey.prepare();
    hotKey.start(i, {});
    waitFor([&] { return x.read(frame) != before; }, std::chrono::milliseconds(5000));
    hotKey.finish();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let every step of the move land
    targets[i] = x.read(frame).value_or(Rect{});
  }
  if (targets[0] == targets[1] || targets[0].width == 0) {
    *error = "the hot keys did not move the window";
    return {};
  }

  const std::string id = std::to_string(plan.window);
  const auto clientSize = [&](const Rect& r) {
    return std::make_pair(r.width - static_cast<int>(extents[0] + extents[1]),
                          r.height - static_cast<int>(extents[2] + extents[3]));
  };
  DirectRequestMethod floor(x, plan.window, extents);
  CommandMethod wmctrl("wmctrl -r :ACTIVE: -e", [&](const Rect& r) {
    const auto [w, h] = clientSize(r);
    return std::vector<std::string>{"wmctrl", "-r", ":ACTIVE:", "-e",
                                    "0," + text(r.x) + "," + text(r.y) + "," + text(w) + "," + text(h)};
  });
  CommandMethod xdotool("xdotool windowmove windowsize", [&](const Rect& r) {
    const auto [w, h] = clientSize(r);
    return std::vector<std::string>{"xdotool", "windowmove", id, text(r.x), text(r.y), "windowsize", id, text(w),
                                    text(h)};
  });
  std::vector<Method*> methods{&floor, &hotKey, &wmctrl, &xdotool};
  std::vector<Samples> results;
  for (Method* m : methods) results.push_back(Samples{m->name(), {}, 0});

  std::size_t at = 1;  // the window stands on target 1 after the learning presses
  for (int round = 0; round < plan.warmup + plan.moves; ++round) {
    for (std::size_t i = 0; i < methods.size(); ++i) {
      const std::size_t next = 1 - at;
      x.discardEvents();
      methods[i]->prepare();
      const auto t0 = Clock::now();
      methods[i]->start(next, targets[next]);
      const bool seen = x.waitForFrame(frame, targets[next], kTimeout);
      const auto t1 = Clock::now();
      methods[i]->finish();
      if (round >= plan.warmup) {
        if (seen)
          results[i].milliseconds.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        else
          ++results[i].timeouts;
      }
      // After a miss the window is wherever it went; the next move starts from the truth.
      at = seen ? next : (x.read(frame) == targets[0] ? 0 : 1);
      // Tilvane answers every move (its own and the others') with its recording path; the next move starts
      // after that work, so no method is timed against the previous one's aftermath.
      std::this_thread::sleep_for(std::chrono::milliseconds(plan.settleMs));
      plan.tilvaneIdle();
    }
  }
  return results;
}

}  // namespace tilvane::bench
