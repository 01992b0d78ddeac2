#include "Models/WorkspaceLayoutItemModel.h"

#include "platform/base/Uuid.h"

namespace tilvane {

WorkspaceLayoutItemModel::WorkspaceLayoutItemModel() : store::Object(schema()) {}

const store::ObjectSchema& WorkspaceLayoutItemModel::schema() {
  using store::Property;
  static const store::ObjectSchema s(
      "WorkspaceLayoutItemModel",
      {Property::string("id", [] { return makeUuidString(); }), Property::string("devicesIdentifier"),
       Property::string("bundleIdentifier"), Property::string("appPath"), Property::string("filePath"),
       Property::string("windowTitle"), Property::integer("spaceIndex", 0), Property::integer("spaceCount", 1),
       Property::integer("screenIndex", 0), Property::integer("screenCount", 1), Property::real("x"),
       Property::real("y"), Property::real("width"), Property::real("height")},
      [] { return std::make_shared<WorkspaceLayoutItemModel>(); });
  return s;
}

}  // namespace tilvane
