#pragma once

// A stored model lists its fields once, in stored column order, in a table macro of lines
//   F(Kind, name, Name, default)
// Kind is Int (std::int64_t), Real (double), Text (std::string), IndexedText (a text that queries select by, kept
// in an index) or List (ordered links to objects of the class
// given as the default); Name is the capitalised name the setter takes (setName). The default is a value or a
// function making one, and may be left out (0, 0.0, ""). TILVANE_MODEL_FIELDS makes the field indexes and the
// accessors from the table, TILVANE_MODEL_SCHEMA the class's constructor and schema(), whose properties come
// in the table's order. Stored files depend on that order, names, types and defaults.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/store/List.h"
#include "platform/store/Object.h"

#define TILVANE_FIELD_INDEX(kind, name, Name, ...) k##Name,

#define TILVANE_FIELD_ACCESSORS(kind, name, Name, ...) TILVANE_ACCESSORS_##kind(name, Name, __VA_ARGS__)
#define TILVANE_ACCESSORS_Int(name, Name, ...)                   \
  std::int64_t name() const { return intValue(k##Name); } \
  void set##Name(std::int64_t v) { setValue(k##Name, v); }
#define TILVANE_ACCESSORS_Real(name, Name, ...)           \
  double name() const { return realValue(k##Name); } \
  void set##Name(double v) { setValue(k##Name, v); }
#define TILVANE_ACCESSORS_Text(name, Name, ...)                    \
  const std::string& name() const { return stringValue(k##Name); } \
  void set##Name(std::string v) { setValue(k##Name, std::move(v)); }
#define TILVANE_ACCESSORS_IndexedText(name, Name, ...) TILVANE_ACCESSORS_Text(name, Name, __VA_ARGS__)
#define TILVANE_ACCESSORS_List(name, Name, Target)                                          \
  store::List<Target> name() const { return store::List<Target>(listRef(k##Name)); } \
  void set##Name(const std::vector<std::shared_ptr<Target>>& v) {                       \
    listRef(k##Name).assign(std::vector<std::shared_ptr<store::Object>>(v.begin(), v.end()));  \
  }

#define TILVANE_FIELD_PROPERTY(kind, name, Name, ...) TILVANE_PROPERTY_##kind(#name __VA_OPT__(, ) __VA_ARGS__),
#define TILVANE_PROPERTY_Int(...) store::Property::integer(__VA_ARGS__)
#define TILVANE_PROPERTY_Real(...) store::Property::real(__VA_ARGS__)
#define TILVANE_PROPERTY_Text(...) store::Property::string(__VA_ARGS__)
#define TILVANE_PROPERTY_IndexedText(...) store::Property::string(__VA_ARGS__).withIndex()
#define TILVANE_PROPERTY_List(name, Target) store::Property::list(name, &Target::schema)

/// In the class body (ends in the public section): the field indexes and every field's getter and setter.
#define TILVANE_MODEL_FIELDS(FIELDS)           \
 private:                                      \
  enum : std::size_t { FIELDS(TILVANE_FIELD_INDEX) }; \
                                               \
 public:                                       \
  FIELDS(TILVANE_FIELD_ACCESSORS)

/// In one source file: the constructor (every field at its default) and schema() of Model, whose table is
/// named after the class.
#define TILVANE_MODEL_SCHEMA(Model, FIELDS)                                                              \
  Model::Model() : store::Object(schema()) {}                                                            \
  const store::ObjectSchema& Model::schema() {                                                           \
    static const store::ObjectSchema s(#Model, {FIELDS(TILVANE_FIELD_PROPERTY)},                         \
                                       [] { return std::make_shared<Model>(); });                        \
    return s;                                                                                            \
  }
