#include "Models/ExtensionAppModel.h"

#include "platform/base/Uuid.h"

namespace tilvane {

ExtensionAppModel::ExtensionAppModel() : store::Object(schema()) {}

const store::ObjectSchema& ExtensionAppModel::schema() {
  using store::Property;
  static const store::ObjectSchema s("ExtensionAppModel",
                                     {Property::string("id", [] { return makeUuidString(); }), Property::string("path")},
                                     [] { return std::make_shared<ExtensionAppModel>(); });
  return s;
}

}  // namespace tilvane
