#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <tuple>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ModelSchemas.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

class ModelsTest : public test::WorldTest {};

// Files in users' hands hold these tables with these columns in this order; a file must keep opening as it is.
TEST_F(ModelsTest, EveryClassKeepsItsStoredColumnsInOrder) {
  const std::vector<std::string> expected = {
      "WorkspaceLayoutGroupModel: id TEXT, name TEXT, items -> WorkspaceLayoutItemModel",
      "WorkspaceLayoutItemModel: id TEXT, devicesIdentifier TEXT, bundleIdentifier TEXT, appPath TEXT, "
      "filePath TEXT, windowTitle TEXT, spaceIndex INTEGER, spaceCount INTEGER, screenIndex INTEGER, "
      "screenCount INTEGER, x REAL, y REAL, width REAL, height REAL, gutter REAL, launchProcess TEXT",
      "CustomLayoutModel: id TEXT, name TEXT, type INTEGER, matrixValue INTEGER, width INTEGER, height INTEGER, "
      "keyCode INTEGER, modifierFlags INTEGER",
      "RuleLayoutModel: id TEXT, type INTEGER, matrixValue INTEGER, width INTEGER, height INTEGER",
      "AutoLayoutModel: id TEXT, bundleIdentifier TEXT, windowID INTEGER, windowIndex INTEGER, spaceIndex INTEGER, "
      "spaceCount INTEGER, screenIndex INTEGER, screenCount INTEGER, x REAL, y REAL, width REAL, height REAL, "
      "updateAt INTEGER, gutter REAL",
      "ExtensionAppModel: id TEXT, path TEXT",
      "WindowMovingModel: id TEXT, space INTEGER, bundleIdentifier TEXT, screenCount INTEGER, spaceCount INTEGER, "
      "x INTEGER, y INTEGER, width INTEGER, height INTEGER, screenX INTEGER, screenY INTEGER, "
      "screenWidth INTEGER, screenHeight INTEGER, createAt INTEGER"};
  std::vector<std::string> stored;
  for (const auto* schema : modelSchemas()) {
    std::string line = schema->className() + ":";
    for (const auto& p : schema->properties()) {
      line += (line.back() == ':' ? " " : ", ") + p.name;
      switch (p.type) {
        case store::PropertyType::integer: line += " INTEGER"; break;
        case store::PropertyType::real: line += " REAL"; break;
        case store::PropertyType::string: line += " TEXT"; break;
        case store::PropertyType::list: line += " -> " + p.targetSchema().className(); break;
      }
    }
    stored.push_back(line);
  }
  EXPECT_EQ(stored, expected);
}

TEST_F(ModelsTest, RecordsMadeInOneSecondShareTheirTimeStamp) {
  loop().advance(0.75);  // inside a second, not on its start
  const auto first = std::make_shared<AutoLayoutModel>();
  loop().advance(0.2);
  EXPECT_EQ(std::make_shared<WindowMovingModel>()->createAt(), first->updateAt());
  loop().advance(0.1);
  EXPECT_EQ(std::make_shared<AutoLayoutModel>()->updateAt(), first->updateAt() + 1);
}

TEST_F(ModelsTest, StoredTypeValuesOutsideTheTablesNameNoType) {
  EXPECT_EQ(customLayoutTypes.fromRaw(2), CustomLayoutType::arranged);
  EXPECT_EQ(customLayoutTypes.fromRaw(3), std::nullopt);
  EXPECT_EQ(ruleLayoutTypes.fromRaw(-1), std::nullopt);
}

TEST_F(ModelsTest, WindowMoveCutsCoordinatesTowardZeroAndStoresZeroWithoutAWholeNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double x, y, width, height;
    std::optional<WindowMovingModel::ScreenFrame> screen;
    std::array<std::int64_t, 8> stored;  // x, y, width, height, screenX, screenY, screenWidth, screenHeight
  };
  const Case cases[] = {
      {10.9, -3.7, -0.5, 600.2, std::nullopt, {10, -3, 0, 600, 0, 0, 0, 0}},
      {0, 0, 1, 1, WindowMovingModel::ScreenFrame{-1920.5, 0.9, 1920, 1080.99}, {0, 0, 1, 1, -1920, 0, 1920, 1080}},
      // The largest double below 2^63 still fits; 2^63 and beyond, and what is not finite, do not.
      {nan, inf, -inf, 1e300, WindowMovingModel::ScreenFrame{9.3e18, -9.3e18, 9223372036854774784.0, -0.0},
       {0, 0, 0, 0, 0, 0, 9223372036854774784, 0}},
  };
  for (const auto& c : cases) {
    const WindowMovingModel move(2, "com.x", 1, 4, c.x, c.y, c.width, c.height, c.screen);
    EXPECT_EQ((std::array<std::int64_t, 8>{move.x(), move.y(), move.width(), move.height(), move.screenX(),
                                            move.screenY(), move.screenWidth(), move.screenHeight()}),
              c.stored);
    EXPECT_EQ(std::make_tuple(move.space(), move.bundleIdentifier(), move.screenCount(), move.spaceCount()),
              std::make_tuple(2, std::string("com.x"), 1, 4));
  }
}

}  // namespace
}  // namespace tilvane
