#pragma once

#include "Models/CustomLayoutType.h"
#include "Models/ModelFields.h"

// type: the raw value of CustomLayoutType; matrixValue: the grid value of the selected cells (all 16 of the
// default 4 x 4 grid); width, height: the grid's columns and rows; keyCode, modifierFlags: the hot key in its
// stored form, -1 for none.
#define TILVANE_CUSTOM_LAYOUT_MODEL_FIELDS(F)                             \
  F(Text, id, Id, [] { return makeUuidString(); })                        \
  F(Text, name, Name, [] { return NSLocalizedString("NewCustomLayout"); }) \
  F(Int, type, Type, 0)                                                   \
  F(Int, matrixValue, MatrixValue, 65535)                                 \
  F(Int, width, Width, 4)                                                 \
  F(Int, height, Height, 4)                                               \
  F(Int, keyCode, KeyCode, -1)                                            \
  F(Int, modifierFlags, ModifierFlags, -1)

namespace tilvane {

/// A named custom layout: a selection of cells on a rows × columns grid, bound to a global hot key.
class CustomLayoutModel final : public store::Object {
 public:
  CustomLayoutModel();
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_CUSTOM_LAYOUT_MODEL_FIELDS)
};

}  // namespace tilvane
