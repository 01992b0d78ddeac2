// Windows of one program each keep a remembered placement of their own, across closes, restarts and layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <unordered_map>

#include "AppManager/Store/StoreService.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "Layout/LayoutManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "platform/defaults/UserDefaults.h"
#include "Models/AutoLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class OwnRecordsTest : public test::WindowWorld {
 protected:
  OwnRecordsTest() { startManagers(); }
  void restart(const std::function<void()>& whileStopped = [] {}) {
    LayoutManager::shared().flushPendingUpdates();
    SharedInstances::resetAll();
    whileStopped();
    StoreService::shared().configureRealm();
    startManagers();
    advance(1.0);  // the running applications' windows are admitted
    drain();
  }
};

TEST_F(OwnRecordsTest, WindowsOpenedAndClosedInTurnKeepWhereTheUserLeftThemAcrossRestartsAndLayouts) {
  std::vector<AXUIElement> open;
  for (int i = 0; i < 6; ++i) open.push_back(settledWindow());
  for (int i : {4, 2, 0}) {
    apps().closeWindow(open[i]);
    open.erase(open.begin() + i);
  }
  for (int i = 0; i < 3; ++i) open.push_back(settledWindow());
  std::unordered_map<AXUIElement, CGRect> placed;
  for (std::size_t i = 0; i < open.size(); ++i) {
    placed[open[i]] = CGRectMake(40.0 + 100 * i, 30.0 + 50 * i, 300, 200);
    apps().userMoveWindow(open[i], placed[open[i]]);
  }
  advance(LayoutManager::kQuietPeriod);

  for (const char* step : {"restart", "restart", "lay out all"}) {
    SCOPED_TRACE(step);
    if (step == std::string("lay out all")) {
      LayoutManager::shared().layoutAll();
      drain();
    } else {
      restart();
    }
    std::set<std::string> ids;
    for (const AXUIElement& w : open) {
      const CGRect at = frameOf(w);  // back from fractions: equal to within rounding
      EXPECT_EQ(CGRectMake(std::round(at.origin.x), std::round(at.origin.y), std::round(at.size.width),
                           std::round(at.size.height)),
                placed[w]);
      const auto model = itemOf(w)->layoutModel();
      EXPECT_EQ(model->windowID(), static_cast<std::int64_t>(w.id)) << "the record names its window";
      ids.insert(model->id());
    }
    EXPECT_EQ(ids.size(), open.size()) << "no record is shared";
  }
}

TEST_F(OwnRecordsTest, WithAutomaticLayoutOffAUsersMoveOfANewWindowIsRememberedAcrossARestart) {
  defaults::UserDefaults::standard().setInteger(UserDefaultsService::autoLayoutEnabledKey(), 0);
  const AXUIElement w = settledWindow();
  apps().userMoveWindow(w, CGRectMake(40, 30, 300, 200));
  advance(LayoutManager::kQuietPeriod);
  restart([&] { apps().userMoveWindow(w, CGRectMake(500, 400, 300, 200)); });
  UserDefaultsService::setAutoLayoutEnabled(1);
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(40, 30, 300, 200));
}

}  // namespace
}  // namespace tilvane
