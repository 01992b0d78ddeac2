#include "Models/AutoLayoutModel.h"

#include <fmt/format.h>

#include "Models/ModelValues.h"

namespace tilvane {

AutoLayoutModel::AutoLayoutModel() : store::Object(schema()) {}

const store::ObjectSchema& AutoLayoutModel::schema() {
  using store::Property;
  static const store::ObjectSchema s(
      "AutoLayoutModel",
      {Property::string("id"), Property::string("bundleIdentifier"), Property::integer("windowID", 0),
       Property::integer("windowIndex", 0), Property::integer("spaceIndex", 0), Property::integer("spaceCount", 1),
       Property::integer("screenIndex", 0), Property::integer("screenCount", 1), Property::real("x"),
       Property::real("y"), Property::real("width"), Property::real("height"),
       Property::integer("updateAt", [] { return currentWholeSeconds(); })},
      [] { return std::make_shared<AutoLayoutModel>(); });
  return s;
}

void AutoLayoutModel::makeId() { setId(fmt::format("{}-{}-{}", bundleIdentifier(), windowIndex(), screenCount())); }

}  // namespace tilvane
