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
struct RecordSpec {
  std::string bundle;
  std::int64_t windowIndex = 0;
  CGRect fractions;
  std::int64_t screenCount = 1;
  std::int64_t screenIndex = 0;
  std::int64_t windowID = 0;
};

/// Stores the placement (an AutoLayoutModel with its usual id) in the default database and returns it.
inline AutoLayoutModelPtr storeAutoLayoutRecord(const RecordSpec& spec) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(spec.bundle);
  model->setWindowIndex(spec.windowIndex);
  model->setScreenCount(spec.screenCount);
  model->setScreenIndex(spec.screenIndex);
  model->setWindowID(spec.windowID);
  model->setX(spec.fractions.origin.x);
  model->setY(spec.fractions.origin.y);
  model->setWidth(spec.fractions.size.width);
  model->setHeight(spec.fractions.size.height);
  model->makeId();
  const auto database = store::Database::open();
  database->write([&] { database->add(model); });
  return model;
}

}  // namespace tilvane::test
