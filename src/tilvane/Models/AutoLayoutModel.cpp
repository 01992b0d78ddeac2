#include "Models/AutoLayoutModel.h"

#include <string>

namespace tilvane {

void AutoLayoutModel::makeId() {
  setId(bundleIdentifier() + "-" + std::to_string(windowIndex()) + "-" + std::to_string(screenCount()));
}

}  // namespace tilvane
