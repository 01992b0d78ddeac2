#pragma once

namespace tilvane {

/// Where the message window stands on the first display.
enum class VkHUDPosition { top, bottom, center };
/// How large its text and border are.
enum class VkHUDSize { small, medium, large };
/// Its colours.
enum class VkHUDStyle { dark, light };

/// A colour with components from 0 to 1.
struct HUDColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  bool operator==(const HUDColor&) const = default;
};

/// What a size gives: the font's point size and the border's width.
struct HUDMetrics {
  double fontSize = 0;
  double borderWidth = 0;
};

/// The colours of a style: the text, the window's background and the border.
struct HUDPalette {
  HUDColor text;
  HUDColor background;
  HUDColor border;
};

/// small: 20 pt, border 1; medium: 60 pt, border 3; large: 100 pt, border 5.
HUDMetrics hudMetrics(VkHUDSize size);

/// dark: white text on black at opacity 0.9 with a white border; light: dark grey (0.15, 0.16, 0.17) text on
/// white at opacity 0.9 with a border of the same grey.
HUDPalette hudPalette(VkHUDStyle style);

}  // namespace tilvane
