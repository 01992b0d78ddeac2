#include "Models/WindowMovingModel.h"

#include "Models/ModelValues.h"

namespace tilvane {

WindowMovingModel::WindowMovingModel(std::int64_t space, std::string bundleIdentifier, std::int64_t screenCount,
                                     std::int64_t spaceCount, double x, double y, double width, double height,
                                     std::optional<ScreenFrame> screenFrame)
    : WindowMovingModel() {
  setSpace(space);
  setBundleIdentifier(std::move(bundleIdentifier));
  setScreenCount(screenCount);
  setSpaceCount(spaceCount);
  setX(truncatedToInteger(x));
  setY(truncatedToInteger(y));
  setWidth(truncatedToInteger(width));
  setHeight(truncatedToInteger(height));
  const ScreenFrame frame = screenFrame.value_or(ScreenFrame{});
  setScreenX(truncatedToInteger(frame.x));
  setScreenY(truncatedToInteger(frame.y));
  setScreenWidth(truncatedToInteger(frame.width));
  setScreenHeight(truncatedToInteger(frame.height));
}

}  // namespace tilvane
