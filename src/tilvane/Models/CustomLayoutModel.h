#pragma once

#include <cstdint>
#include <string>

#include "Models/CustomLayoutType.h"
#include "platform/store/Object.h"

namespace tilvane {

/// A named custom layout: a selection of cells on a rows × columns grid, bound to a global hot key.
class CustomLayoutModel final : public store::Object {
 public:
  /// A new layout: fresh UUID id, the localised "NewCustomLayout" as name, type ignore, all 16 cells of a
  /// 4 × 4 grid, no hot key (keyCode and modifierFlags -1).
  CustomLayoutModel();
  static const store::ObjectSchema& schema();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::string name() const { return stringValue(kName); }
  void setName(std::string v) { setValue(kName, std::move(v)); }
  /// Raw value of CustomLayoutType.
  std::int64_t type() const { return intValue(kType); }
  void setType(std::int64_t v) { setValue(kType, v); }
  /// Grid value of the selected cells.
  std::int64_t matrixValue() const { return intValue(kMatrixValue); }
  void setMatrixValue(std::int64_t v) { setValue(kMatrixValue, v); }
  /// Number of grid columns.
  std::int64_t width() const { return intValue(kWidth); }
  void setWidth(std::int64_t v) { setValue(kWidth, v); }
  /// Number of grid rows.
  std::int64_t height() const { return intValue(kHeight); }
  void setHeight(std::int64_t v) { setValue(kHeight, v); }
  /// Virtual key code of the hot key; -1: none.
  std::int64_t keyCode() const { return intValue(kKeyCode); }
  void setKeyCode(std::int64_t v) { setValue(kKeyCode, v); }
  /// Modifier-flag mask of the hot key; -1: none.
  std::int64_t modifierFlags() const { return intValue(kModifierFlags); }
  void setModifierFlags(std::int64_t v) { setValue(kModifierFlags, v); }

 private:
  enum : std::size_t { kId, kName, kType, kMatrixValue, kWidth, kHeight, kKeyCode, kModifierFlags };
};

}  // namespace tilvane
