#pragma once

#include <cstdint>
#include <string>

#include "Models/RuleLayoutType.h"
#include "platform/store/Object.h"

namespace tilvane {

/// The rule of one application (its bundle identifier is the id): what happens to its windows as they appear.
class RuleLayoutModel final : public store::Object {
 public:
  /// A new rule: empty id, type auto, all 16 cells of a 4 × 4 grid.
  RuleLayoutModel();
  static const store::ObjectSchema& schema();

  /// The application's bundle identifier.
  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  /// Raw value of RuleLayoutType.
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

 private:
  enum : std::size_t { kId, kType, kMatrixValue, kWidth, kHeight };
};

}  // namespace tilvane
