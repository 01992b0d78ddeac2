#include "Models/WindowMovingModel.h"

#include "Models/ModelValues.h"
#include "platform/base/Uuid.h"

namespace tilvane {

WindowMovingModel::WindowMovingModel() : store::Object(schema()) {}

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

const store::ObjectSchema& WindowMovingModel::schema() {
  using store::Property;
  static const store::ObjectSchema s(
      "WindowMovingModel",
      {Property::string("id", [] { return makeUuidString(); }), Property::integer("space", 1),
       Property::string("bundleIdentifier"), Property::integer("screenCount", 1), Property::integer("spaceCount", 1),
       Property::integer("x", 0), Property::integer("y", 0), Property::integer("width", 0),
       Property::integer("height", 0), Property::integer("screenX", 0), Property::integer("screenY", 0),
       Property::integer("screenWidth", 0), Property::integer("screenHeight", 0),
       Property::integer("createAt", [] { return currentWholeSeconds(); })},
      [] { return std::make_shared<WindowMovingModel>(); });
  return s;
}

}  // namespace tilvane
