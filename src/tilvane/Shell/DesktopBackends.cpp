#include "Shell/DesktopBackends.h"

#include "platform/desktop/sim/SimDesktop.h"
#include "platform/desktop/x11/X11Desktop.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"

namespace tilvane {
namespace {
constexpr int kSimDesktops = 4;
}  // namespace

DesktopBackends::DesktopBackends(DesktopChoice choice) {
  if (choice.simulated) {
    auto sim = std::make_unique<sim::SimDesktop>(sim::SpacesMode::shared, kSimDesktops);
    sim->addDisplay(sim::SimDisplayConfig{CGRectMake(0, 0, 1440, 900), CGRectMake(0, 0, 1440, 877)});
    desktop_ = std::move(sim);
    simHotKeys_ = std::make_unique<sim::SimHotKeys>();
    hotKeys_ = simHotKeys_.get();
    return;
  }
  auto x11 = x11::X11Desktop::adopt(std::move(choice.connection));
  x11_ = x11.get();
  desktop_ = std::move(x11);
  x11HotKeys_ = std::make_unique<x11::X11DesktopHotKeys>(*x11_);
  hotKeys_ = &x11HotKeys_->server();
}

// Members go in reverse order: the hot keys before the desktop whose connection they use.
DesktopBackends::~DesktopBackends() = default;

}  // namespace tilvane
