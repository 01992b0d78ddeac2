// What a window manager makes of a size asked for a client with WM_NORMAL_HINTS: the frame the backend expects a
// placement to end at, so that it can tell its own placement's answer from someone else's change.
#include <gtest/gtest.h>

#include "platform/desktop/x11/SizeHints.h"

namespace tilvane::x11 {
namespace {

// P flags: min size 16, max size 32, resize steps 64, base size 256.
std::optional<PropertyValue> hints(std::initializer_list<std::int32_t> fields) {
  std::string bytes;
  for (const std::int32_t v : fields) bytes.append(reinterpret_cast<const char*>(&v), 4);
  return PropertyValue{XCB_ATOM_WM_SIZE_HINTS, 32, bytes, false};
}

TEST(SizeHintsTest, ATerminalTakesItsBasePlusWholeCellsRoundedDown) {
  // xterm: base 4 x 4 plus 6 x 13 cells, minimum 10 x 17.
  const SizeHints xterm = sizeHintsFrom(hints({16 | 64 | 256, 0, 0, 0, 0, 10, 17, 0, 0, 6, 13, 0, 0, 0, 0, 4, 4, 1}));
  EXPECT_EQ(xterm.constrain(962, 1029), (std::pair<std::int64_t, std::int64_t>{958, 1018}));
  EXPECT_EQ(xterm.constrain(484, 316), (std::pair<std::int64_t, std::int64_t>{484, 316}));  // exactly 80 x 24
  EXPECT_EQ(xterm.constrain(3, 3), (std::pair<std::int64_t, std::int64_t>{10, 17}));       // never below the minimum

  // Only a minimum: it is the base too. Only a base: it is the minimum too.
  EXPECT_EQ(sizeHintsFrom(hints({16 | 64, 0, 0, 0, 0, 100, 50, 0, 0, 10, 10, 0, 0, 0, 0, 0, 0, 1})).constrain(255, 75),
            (std::pair<std::int64_t, std::int64_t>{250, 70}));
  EXPECT_EQ(sizeHintsFrom(hints({64 | 256, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 0, 0, 0, 0, 5, 5, 1})).constrain(2, 38),
            (std::pair<std::int64_t, std::int64_t>{5, 35}));
  // A maximum caps the size before the steps.
  EXPECT_EQ(sizeHintsFrom(hints({32, 0, 0, 0, 0, 0, 0, 640, 480, 0, 0, 0, 0, 0, 0, 0, 0, 1})).constrain(1920, 400),
            (std::pair<std::int64_t, std::int64_t>{640, 400}));
}

TEST(SizeHintsTest, MissingMalformedOrNonsenseHintsConstrainNothing) {
  const std::pair<std::int64_t, std::int64_t> asked{801, 603};
  EXPECT_EQ(sizeHintsFrom(std::nullopt).constrain(801, 603), asked);
  // Wrong type, or too short to hold the steps.
  EXPECT_EQ(sizeHintsFrom(PropertyValue{XCB_ATOM_CARDINAL, 32, hints({64, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7})->bytes, false})
                .constrain(801, 603),
            asked);
  EXPECT_EQ(sizeHintsFrom(hints({64, 0, 0, 0, 0, 0, 0, 0, 0, 7})).constrain(801, 603), asked);
  // Steps of zero or less, negative minimums and a maximum below the minimum are ignored; flags not set hide
  // their fields.
  EXPECT_EQ(sizeHintsFrom(hints({16 | 32 | 64, 0, 0, 0, 0, 100, 100, 10, 10, 0, -3, 0, 0, 0, 0, 0, 0, 1})).constrain(801, 603),
            asked);
  EXPECT_EQ(sizeHintsFrom(hints({16, 0, 0, 0, 0, -5, 900, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})).constrain(801, 603), asked);
  EXPECT_EQ(sizeHintsFrom(hints({0, 0, 0, 0, 0, 900, 900, 10, 10, 50, 50, 0, 0, 0, 0, 0, 0, 1})).constrain(801, 603),
            asked);
  // Older clients' 15 fields: steps without a base.
  EXPECT_EQ(sizeHintsFrom(hints({64, 0, 0, 0, 0, 0, 0, 0, 0, 100, 100, 0, 0, 0, 0})).constrain(801, 603),
            (std::pair<std::int64_t, std::int64_t>{800, 600}));
}

}  // namespace
}  // namespace tilvane::x11
