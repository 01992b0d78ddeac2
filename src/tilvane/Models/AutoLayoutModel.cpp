#include "Models/AutoLayoutModel.h"

#include <fmt/format.h>

namespace tilvane {

void AutoLayoutModel::makeId() { setId(fmt::format("{}-{}-{}", bundleIdentifier(), windowIndex(), screenCount())); }

}  // namespace tilvane
