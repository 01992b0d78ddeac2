#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/store/Configuration.h"
#include "platform/store/List.h"
#include "platform/store/Object.h"

namespace tilvane::store::test {

/// A small model with one field of each stored type.
class Note final : public Object {
 public:
  Note() : Object(schema()) {}
  static const ObjectSchema& schema();

  std::string id() const { return stringValue(0); }
  void setId(std::string v) { setValue(0, std::move(v)); }
  std::string text() const { return stringValue(1); }
  void setText(std::string v) { setValue(1, std::move(v)); }
  std::int64_t count() const { return intValue(2); }
  void setCount(std::int64_t v) { setValue(2, v); }
  double weight() const { return realValue(3); }
  void setWeight(double v) { setValue(3, v); }
};

/// A model that owns an ordered list of notes.
class Notebook final : public Object {
 public:
  Notebook() : Object(schema()) {}
  static const ObjectSchema& schema();

  std::string id() const { return stringValue(0); }
  void setId(std::string v) { setValue(0, std::move(v)); }
  std::string title() const { return stringValue(1); }
  void setTitle(std::string v) { setValue(1, std::move(v)); }
  List<Note> notes() const { return List<Note>(listRef(2)); }
};

/// A configuration for `file` holding both classes.
Configuration notesConfiguration(const std::filesystem::path& file, std::uint64_t schemaVersion = 1);

}  // namespace tilvane::store::test
