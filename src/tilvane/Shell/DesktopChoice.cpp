#include "Shell/DesktopChoice.h"

#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane {

namespace {
// A headless desktop: one 1440 x 900 display with a 23-point bar at the top, and four shared desktops.
std::unique_ptr<Desktop> makeSimDesktop() {
  auto sim = std::make_unique<sim::SimDesktop>(sim::SpacesMode::shared, 4);
  sim->addDisplay({.frame = {{0, 0}, {1440, 900}}, .visibleFrame = CGRect{{0, 0}, {1440, 877}}});
  return sim;
}
}  // namespace

DesktopChoice chooseDesktop() { return {makeSimDesktop(), "sim"}; }

}  // namespace tilvane
