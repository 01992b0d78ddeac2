#pragma once

#include <string>

#include "platform/store/Object.h"

namespace tilvane {

/// An application the user added by hand, by the path of its bundle.
class ExtensionAppModel final : public store::Object {
 public:
  /// A new record with a fresh UUID id and an empty path.
  ExtensionAppModel();
  static const store::ObjectSchema& schema();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::string path() const { return stringValue(kPath); }
  void setPath(std::string v) { setValue(kPath, std::move(v)); }

 private:
  enum : std::size_t { kId, kPath };
};

}  // namespace tilvane
