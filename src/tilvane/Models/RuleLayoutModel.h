#pragma once

#include "Models/ModelFields.h"
#include "Models/RuleLayoutType.h"

// id: the application's bundle identifier; type: the raw value of RuleLayoutType; matrixValue: the grid value
// of the selected cells; width, height: the grid's columns and rows.
#define TILVANE_RULE_LAYOUT_MODEL_FIELDS(F)   \
  F(Text, id, Id)                             \
  F(Int, type, Type, 0)                       \
  F(Int, matrixValue, MatrixValue, 65535)     \
  F(Int, width, Width, 4)                     \
  F(Int, height, Height, 4)

namespace tilvane {

/// The rule of one application (its bundle identifier is the id): what happens to its windows as they appear.
class RuleLayoutModel final : public store::Object {
 public:
  RuleLayoutModel();
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_RULE_LAYOUT_MODEL_FIELDS)
};

}  // namespace tilvane
