#include <gtest/gtest.h>

#include "AppManager/Settings/Constants.h"

namespace tilvane {
namespace {

TEST(Constants, AddressesAreBuiltFromTheDeploymentHosts) {
  EXPECT_EQ(Constants::Url::home(), "https://tilvane.app");
  EXPECT_EQ(Constants::Url::guide(), "https://tilvane.app/guide");
  EXPECT_EQ(Constants::Url::remoteNotification(), "https://content.tilvane.app/@/tilvane.app/notification/remote");
  EXPECT_EQ(Constants::Url::updateFeed(), "https://updates.tilvane.app/app.tilvane.Tilvane.xml");
}

TEST(Constants, EachWindowKeepsOneSizeAcrossItsPanes) {
  static_assert(Constants::Preferences::generalPaneSize() == Constants::Preferences::hotKeysPaneSize());
  static_assert(Constants::Preferences::generalPaneSize() == Constants::Preferences::updatesPaneSize());
  static_assert(Constants::Preferences::generalPaneSize() == Constants::Preferences::aboutPaneSize());
  static_assert(Constants::Advanced::appsPaneSize() == Constants::Advanced::paneSize());
  EXPECT_EQ(Constants::Preferences::generalPaneSize(), (Constants::Size{680, 280}));
  EXPECT_EQ(Constants::Advanced::paneSize(), (Constants::Size{800, 480}));
}

}  // namespace
}  // namespace tilvane
