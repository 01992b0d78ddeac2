#include "Models/CustomLayoutModel.h"

#include "platform/base/Uuid.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

CustomLayoutModel::CustomLayoutModel() : store::Object(schema()) {}

const store::ObjectSchema& CustomLayoutModel::schema() {
  using store::Property;
  static const store::ObjectSchema s(
      "CustomLayoutModel",
      {Property::string("id", [] { return makeUuidString(); }),
       Property::string("name", [] { return NSLocalizedString("NewCustomLayout"); }), Property::integer("type", 0),
       Property::integer("matrixValue", 65535), Property::integer("width", 4), Property::integer("height", 4),
       Property::integer("keyCode", -1), Property::integer("modifierFlags", -1)},
      [] { return std::make_shared<CustomLayoutModel>(); });
  return s;
}

}  // namespace tilvane
