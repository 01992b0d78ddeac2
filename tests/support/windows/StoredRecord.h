#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Models/AutoLayoutModel.h"
#include "platform/desktop/Geometry.h"
#include "platform/store/Database.h"

namespace tilvane::test {

/// A remembered placement as a test sets it up: window `windowIndex` of `bundle` at `fractions` of the visible
/// frame of display `screenIndex` among `screenCount`.
struct RecordFields {
  std::string bundle;
  std::int64_t windowIndex = 0;
  CGRect fractions;
  std::int64_t screenCount = 1;
  std::int64_t screenIndex = 0;
  std::int64_t windowID = 0;
};

/// Stores the placement (an AutoLayoutModel with its usual id) in the default database and returns it.
inline AutoLayoutModelPtr storeAutoLayoutRecord(const RecordFields& config) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(config.bundle);
  model->setWindowIndex(config.windowIndex);
  model->setScreenCount(config.screenCount);
  model->setScreenIndex(config.screenIndex);
  model->setWindowID(config.windowID);
  model->setX(config.fractions.origin.x);
  model->setY(config.fractions.origin.y);
  model->setWidth(config.fractions.size.width);
  model->setHeight(config.fractions.size.height);
  model->makeId();
  const auto database = store::Database::open();
  database->write([&] { database->add(model); });
  return model;
}

}  // namespace tilvane::test
