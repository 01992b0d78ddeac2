#pragma once

#include "Models/ModelFields.h"

#define TILVANE_EXTENSION_APP_MODEL_FIELDS(F)      \
  F(Text, id, Id, [] { return makeUuidString(); }) \
  F(Text, path, Path)

namespace tilvane {

/// An application the user added by hand, by the path of its bundle.
class ExtensionAppModel final : public store::Object {
 public:
  ExtensionAppModel();
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_EXTENSION_APP_MODEL_FIELDS)
};

}  // namespace tilvane
