#pragma once

#include <memory>
#include <optional>

#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with a sim desktop of shared desktops installed.
class GeometryWorld : public WorldTest {
 protected:
  GeometryWorld() : sim_(std::make_unique<sim::SimDesktop>(sim::SpacesMode::shared, 4)) { scope_.emplace(*sim_); }
  sim::SimDesktop& sim() { return *sim_; }

 private:
  std::unique_ptr<sim::SimDesktop> sim_;
  std::optional<Desktop::Scope> scope_;
};

}  // namespace tilvane::test
