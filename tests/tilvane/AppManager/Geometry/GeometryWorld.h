#pragma once

#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with a sim desktop of four shared desktops installed, and no display yet.
class GeometryWorld : public WorldTest {
 protected:
  sim::SimDesktop& sim() { return sim_; }

 private:
  sim::SimDesktop sim_{sim::SpacesMode::shared, 4};
  Desktop::Scope scope_{sim_};
};

}  // namespace tilvane::test
