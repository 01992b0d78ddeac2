#pragma once

#include <string>

namespace tilvane::Constants {

/// A width and height in points.
struct Size {
  double width = 0;
  double height = 0;
  friend constexpr bool operator==(const Size&, const Size&) = default;
};

/// Network addresses (https), as text; their users make URLs of them.
namespace Url {
/// The product web site's root: "https://tilvane.app".
const std::string& home();
/// The user guide on the product web site: "https://tilvane.app/guide".
const std::string& guide();
/// The announcement feed on the content host; requested with "?" and the current time appended.
const std::string& remoteNotification();
/// Where feedback goes: the product web site's feedback page, "https://tilvane.app/feedback".
const std::string& feedback();
/// The update feed: the update service's host, "/", our bundle identifier and ".xml".
const std::string& updateFeed();
}  // namespace Url

/// Sizes of the preferences panes: one size for all, so the window keeps its size across panes.
namespace Preferences {
constexpr Size generalPaneSize() { return {680, 280}; }
constexpr Size hotKeysPaneSize() { return {680, 280}; }
constexpr Size updatesPaneSize() { return {680, 280}; }
constexpr Size aboutPaneSize() { return {680, 280}; }
}  // namespace Preferences

/// Sizes of the advanced window's panes.
namespace Advanced {
constexpr Size appsPaneSize() { return {800, 480}; }
/// The frame size every pane's view gets after it loads.
constexpr Size paneSize() { return {800, 480}; }
}  // namespace Advanced

}  // namespace tilvane::Constants
