#pragma once

#include <string_view>

namespace tilvane {

// How the layout chooser looks: a transparent window with a blue border over the window it acts on and a logo
// in its middle; the same window without border and with a greyed logo over the main screen is the
// unavailable signal.

/// The image in the middle of the chooser.
enum class ChooserLogo {
  /// Over a window: "LayoutCenter".
  layoutCenter,
  /// The unavailable signal: "LayoutCenterDisabled".
  layoutCenterDisabled,
};

/// The image's name, "LayoutCenter" or "LayoutCenterDisabled".
constexpr std::string_view chooserLogoName(ChooserLogo logo) {
  return logo == ChooserLogo::layoutCenter ? "LayoutCenter" : "LayoutCenterDisabled";
}

/// A colour with components from 0 to 1.
struct ChooserColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
};

/// The border's colour.
inline constexpr ChooserColor kChooserBorderColor{0.26, 0.52, 0.96, 1.0};
/// The border's width over a window; the unavailable signal has none.
inline constexpr double kChooserBorderWidth = 10;
/// The logo is a square of this side, centred in the window.
inline constexpr double kChooserLogoSize = 200;

}  // namespace tilvane
