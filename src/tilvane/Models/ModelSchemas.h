#pragma once

#include <vector>

#include "platform/store/ObjectSchema.h"

namespace tilvane {

/// The seven stored model classes of the current schema.
const std::vector<const store::ObjectSchema*>& modelSchemas();

}  // namespace tilvane
