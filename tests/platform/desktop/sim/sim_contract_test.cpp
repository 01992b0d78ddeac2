// The desktop contract on the simulated desktop.
#include "platform/desktop/contract/DesktopContract.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

class SimBackend : public WorldTest {
 protected:
  SimBackend() { sim_.addDisplay({.frame = CGRectMake(0, 0, 1920, 1080)}); }

  ContractApp launch(const std::string& name) {
    const pid_t pid = apps().launchApplication({.bundleIdentifier = name, .name = name});
    AXUIElement window;
    // Its window opens once it runs, after its launch has been told.
    loop().async([&] { window = apps().createWindow(pid, {.title = name}); });
    drain();
    return {pid, window};
  }
  void quit(const ContractApp& app) { apps().quitApplication(app.pid); }
  void userMove(const AXUIElement& window, const CGRect& delta) {
    const CGRect f = apps().frameOf(window).value_or(CGRect{});
    apps().userMoveWindow(window, CGRectMake(f.origin.x + delta.origin.x, f.origin.y + delta.origin.y,
                                             f.size.width + delta.size.width, f.size.height + delta.size.height));
  }
  void close(const AXUIElement& window) { apps().closeWindow(window); }
  bool eventually(const std::function<bool()>& condition) {
    drain();
    return condition();
  }

 private:
  sim::SimApplications& apps() { return sim_.applications(); }
  sim::SimDesktop sim_{sim::SpacesMode::shared, 4};
  Desktop::Scope scope_{sim_};
};

INSTANTIATE_TYPED_TEST_SUITE_P(OnSim, DesktopContract, SimBackend);

// The primary display is the one at the origin wherever it is listed, else the first; none without displays.
TEST(SimDisplays, ThePrimaryIsTheDisplayAtTheOriginWhereverItIsListed) {
  sim::SimDesktop sim;
  Desktop::Scope scope{sim};
  EXPECT_EQ(NSScreen::count(), 0u);
  EXPECT_FALSE(NSScreen::primary());
  sim.addDisplay({.frame = CGRectMake(1920, 0, 1280, 1024)});
  EXPECT_EQ(NSScreen::primary()->frame, CGRectMake(1920, 0, 1280, 1024)) << "none at the origin: the first";
  sim.addDisplay({.frame = CGRectMake(0, 0, 1920, 1080)});
  sim.addDisplay({.frame = CGRectMake(-1280, 0, 1280, 1024)});
  EXPECT_EQ(NSScreen::count(), 3u);
  EXPECT_EQ(NSScreen::primary()->frame, CGRectMake(0, 0, 1920, 1080));
  const DisplayServer& server = sim.displayServer();
  EXPECT_EQ(server.primaryScreen(), server.DisplayServer::primaryScreen());
}

}  // namespace
}  // namespace tilvane::test
