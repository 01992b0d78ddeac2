#include "Models/RuleLayoutModel.h"

namespace tilvane {

RuleLayoutModel::RuleLayoutModel() : store::Object(schema()) {}

const store::ObjectSchema& RuleLayoutModel::schema() {
  using store::Property;
  static const store::ObjectSchema s("RuleLayoutModel",
                                     {Property::string("id"), Property::integer("type", 0),
                                      Property::integer("matrixValue", 65535), Property::integer("width", 4),
                                      Property::integer("height", 4)},
                                     [] { return std::make_shared<RuleLayoutModel>(); });
  return s;
}

}  // namespace tilvane
