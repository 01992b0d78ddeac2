// Monitors, struts and coordinate spaces: what the displays look like to the program, computed without X.
#include <gtest/gtest.h>

#include "platform/desktop/x11/NameUuid.h"
#include "platform/desktop/x11/ScreenLayout.h"

namespace tilvane::x11 {
namespace {

Monitor monitor(std::string name, PixelRect rect, bool primary = false) {
  Monitor m;
  m.name = std::move(name);
  m.rect = rect;
  m.primary = primary;
  m.automatic = false;
  m.identityKey = "monitor:" + m.name;
  return m;
}

Strut bottomStrut(std::uint32_t height, std::uint32_t x0, std::uint32_t x1) {
  Strut s;
  s.bottom = height;
  s.bottomStartX = x0;
  s.bottomEndX = x1;
  return s;
}

TEST(StrutTest, ADockTakesItsEdgeOnlyFromTheMonitorsItReaches) {
  const PixelRect left{0, 0, 1920, 1080}, right{1920, 0, 1920, 1080};
  const std::vector<Strut> tray{bottomStrut(24, 0, 1919)};
  EXPECT_EQ(usableArea(left, 3840, 1080, tray), (PixelRect{0, 0, 1920, 1056}));
  EXPECT_EQ(usableArea(right, 3840, 1080, tray), right);
  // A panel across both, and one along the left edge.
  Strut leftPanel;
  leftPanel.left = 48;
  leftPanel.leftStartY = 0;
  leftPanel.leftEndY = 1079;
  const std::vector<Strut> both{bottomStrut(30, 0, 3839), leftPanel};
  EXPECT_EQ(usableArea(left, 3840, 1080, both), (PixelRect{48, 0, 1872, 1050}));
  EXPECT_EQ(usableArea(right, 3840, 1080, both), (PixelRect{1920, 0, 1920, 1050}));
}

TEST(StrutTest, HostileStrutsNeitherOverflowNorLeaveNothing) {
  Strut huge;
  huge.left = huge.right = huge.top = huge.bottom = 0xFFFFFFFFu;
  huge.leftStartY = huge.rightStartY = huge.topStartX = huge.bottomStartX = 0;
  huge.leftEndY = huge.rightEndY = huge.topEndX = huge.bottomEndX = 0xFFFFFFFFu;
  const PixelRect screen{0, 0, 1920, 1080};
  EXPECT_EQ(usableArea(screen, 1920, 1080, {huge}), screen);
  // A range that ends before it starts reserves nothing.
  EXPECT_EQ(usableArea(screen, 1920, 1080, {bottomStrut(24, 1500, 10)}), screen);
  EXPECT_EQ(strutFromPartial({1, 2, 3}), std::nullopt);
  const auto full = strutFromFull({0, 0, 0, 24}, 1920, 1080);
  ASSERT_TRUE(full);
  EXPECT_EQ(usableArea(screen, 1920, 1080, {*full}), (PixelRect{0, 0, 1920, 1056}));
}

// Two monitors side by side, 1920 x 1080 each: what each keeps once the window manager's work area and the shown
// top windows are read as panels.
TEST(StrutTest, TheWorkAreaTakesAWindowManagersPanelFromTheMonitorsItLiesOn) {
  const PixelRect left{0, 0, 1920, 1080}, right{1920, 0, 1920, 1080};
  struct Case {
    const char* what;
    PixelRect workArea;
    std::vector<Strut> clients;
    std::vector<PixelRect> shown;
    PixelRect leftKeeps, rightKeeps;
  };
  const Case cases[] = {
      {"a task bar on the left monitor", {0, 0, 3840, 1054}, {}, {{0, 1054, 1920, 26}, {500, 300, 400, 760}},
       {0, 0, 1920, 1054}, right},
      {"a panel along the right edge", {0, 0, 3800, 1080}, {}, {{3800, 100, 40, 600}}, left, {1920, 0, 1880, 1080}},
      {"a top panel whose window is not found", {0, 30, 3840, 1050}, {}, {}, {0, 30, 1920, 1050},
       {1920, 30, 1920, 1050}},
      {"a dock's strut is the work area's whole story", {0, 0, 3840, 1056}, {bottomStrut(24, 0, 1919)}, {},
       {0, 0, 1920, 1056}, right},
      {"a work area off the screen", {5000, 0, 100, 100}, {}, {}, left, right},
  };
  for (const Case& c : cases) {
    std::vector<Strut> struts = c.clients;
    const auto panels = workAreaStruts(c.workArea, 3840, 1080, c.clients, [&] { return c.shown; });
    struts.insert(struts.end(), panels.begin(), panels.end());
    EXPECT_EQ(usableArea(left, 3840, 1080, struts), c.leftKeeps) << c.what;
    EXPECT_EQ(usableArea(right, 3840, 1080, struts), c.rightKeeps) << c.what;
  }
}

TEST(ScreenLayoutTest, PrimaryComesFirstAndAnchorsBothSpaces) {
  // RandR lists the left monitor first, but the right one is primary.
  const auto layout = ScreenLayout::arrange(
      {monitor("left", {0, 0, 1920, 1080}), monitor("right", {1920, 200, 2560, 1440}, true)}, 4480, 1640,
      {bottomStrut(24, 1920, 4479)});
  ASSERT_EQ(layout.displays().size(), 2u);
  EXPECT_EQ(layout.displays()[0].monitor.name, "right");
  const auto screens = layout.screens();
  EXPECT_EQ(screens[0].frame, CGRectMake(0, 0, 2560, 1440));
  EXPECT_EQ(screens[0].visibleFrame, CGRectMake(0, 24, 2560, 1416));
  // The left monitor: 1920 to the left; its bottom is 200 + 1440 - 1080 = 560 above the primary's bottom.
  EXPECT_EQ(screens[1].frame, CGRectMake(-1920, 560, 1920, 1080));
  EXPECT_EQ(screens[1].visibleFrame, screens[1].frame);
  EXPECT_EQ(layout.space().toWindowSpace(PixelRect{0, 0, 10, 10}), CGRectMake(-1920, -200, 10, 10));
}

TEST(ScreenLayoutTest, WithoutAPrimaryTheMonitorAtTheOriginLeads) {
  const auto layout =
      ScreenLayout::arrange({monitor("b", {1920, 0, 1920, 1080}), monitor("a", {0, 0, 1920, 1080})}, 3840, 1080, {});
  EXPECT_EQ(layout.displays()[0].monitor.name, "a");
  const auto none = ScreenLayout::arrange({monitor("c", {100, 0, 800, 600}), monitor("d", {900, 0, 800, 600})},
                                          1700, 600, {});
  EXPECT_EQ(none.displays()[0].monitor.name, "c");
  EXPECT_EQ(none.screens()[1].frame, CGRectMake(800, 0, 800, 600));
}

TEST(ScreenLayoutTest, DisplayForRectTakesTheLargestOverlapThenTheCentre) {
  const auto layout =
      ScreenLayout::arrange({monitor("a", {0, 0, 1920, 1080}), monitor("b", {1920, 0, 1920, 1080})}, 3840, 1080, {});
  EXPECT_EQ(layout.displayForRect({1800, 0, 400, 300})->monitor.name, "b");  // 280 px on b, 120 on a
  EXPECT_EQ(layout.displayForRect({2000, 10, 0, 0})->monitor.name, "b");     // no area: its point
  EXPECT_EQ(layout.displayForRect({5000, 5000, 10, 10}), nullptr);
}

TEST(CoordinateSpaceTest, WindowSpaceRoundsClampsAndRefusesNonFiniteValues) {
  const CoordinateSpace space(PixelRect{100, 50, 1920, 1080});
  EXPECT_EQ(space.fromWindowSpace(CGRectMake(10.4, 20.6, 300.5, 200.2)), (PixelRect{110, 71, 301, 200}));
  EXPECT_EQ(space.fromWindowSpace(CGRectMake(0, 0, std::nan(""), 1)), std::nullopt);
  EXPECT_EQ(space.fromWindowSpace(CGPoint{INFINITY, 0}), std::nullopt);
  EXPECT_EQ(space.fromWindowSpace(CGRectMake(1e12, -1e12, 1e12, 0)), (PixelRect{32767, -32767, 32767, 1}));
  // A negative width extends to the left, as the geometry type reads it.
  EXPECT_EQ(space.fromWindowSpace(CGRectMake(500, 0, -200, 100)), (PixelRect{400, 50, 200, 100}));
  EXPECT_EQ(space.fromDisplaySpace(CGRectMake(0, 0, 1920, 24)), (PixelRect{100, 1106, 1920, 24}));
}

TEST(DisplayIdentityTest, KeysComeFromEdidThenOutputThenName) {
  std::string edid("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8);
  edid.resize(128);
  edid[8] = 0x10;
  edid[12] = 0x7f;
  EXPECT_EQ(edidKey(edid), "edid:100000007f0000000000");
  EXPECT_EQ(edidKey(edid.substr(0, 127)), std::nullopt);
  EXPECT_EQ(edidKey(std::string(128, 'x')), std::nullopt);

  Monitor withEdid, withOutput, userDefined, twinA, twinB;
  withEdid.outputs = {{"DP-1", edid}};
  withOutput.outputs = {{"HDMI-1", ""}};
  userDefined.name = "left";
  userDefined.automatic = false;
  userDefined.outputs = {{"screen", ""}};
  twinA.outputs = {{"DP-2", edid}};
  twinB.outputs = {{"DP-3", edid}};
  std::vector<Monitor> monitors{withEdid, withOutput, userDefined};
  assignIdentityKeys(monitors);
  EXPECT_EQ(monitors[0].identityKey, "edid:100000007f0000000000");
  EXPECT_EQ(monitors[1].identityKey, "output:HDMI-1");
  EXPECT_EQ(monitors[2].identityKey, "monitor:left");
  // Two identical monitors still get keys of their own.
  std::vector<Monitor> twins{twinA, twinB};
  assignIdentityKeys(twins);
  EXPECT_NE(twins[0].identityKey, twins[1].identityKey);
}

TEST(DisplayIdentityTest, NameUuidsAreStableAndDistinct) {
  EXPECT_EQ(displayUuid("output:screen"), displayUuid("output:screen"));
  EXPECT_NE(displayUuid("output:screen"), displayUuid("monitor:left"));
  EXPECT_NE(desktopUuid(0), desktopUuid(1));
  // Stored identifiers must never change between versions: RFC 4122 version-5 values (checked against
  // Python's uuid.uuid5 in Tilvane's namespace).
  EXPECT_EQ(desktopUuid(0), "20CE71E9-4FE8-5197-9DDF-F9D4DAFCE04A");
  EXPECT_EQ(displayUuid("monitor:left"), "C4EBB9C3-B6C8-5E15-A055-54F2E93B2276");
}

TEST(DisplayIdentityTest, NameUuidsOfNamesAtTheHashBlockEdges) {
  // With the 16-byte namespace these names end right before, at and after the hash's block and padding edges.
  const std::pair<std::size_t, const char*> expected[] = {
      {39, "C99C41F8-C62F-50FE-B446-D22BD7996EAC"},  {40, "2F6007FF-9F83-523E-AE7D-F9A4AE7FFD83"},
      {47, "B4D52F5C-8E44-5D01-8E80-66A3820921E0"},  {48, "B20C58D4-D570-5E5E-95D0-2C293BEA6200"},
      {103, "0974FC8E-8C1B-5CA8-8B7C-54C9B1B89BD2"}, {104, "7762F14C-1CB8-5DA2-AE1E-030EDDC14AAE"}};
  for (const auto& [length, uuid] : expected) EXPECT_EQ(nameUuid(std::string(length, 'n')), uuid) << length;
}

}  // namespace
}  // namespace tilvane::x11
