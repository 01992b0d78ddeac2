#include "platform/store/TestModels.h"

#include "platform/base/Uuid.h"

namespace tilvane::store::test {

const ObjectSchema& Note::schema() {
  static const ObjectSchema s("Note",
                              {Property::string("id", [] { return makeUuidString(); }),
                               Property::string("text", "untitled").withIndex(), Property::integer("count", 7),
                               Property::real("weight", 0.5)},
                              [] { return std::make_shared<Note>(); });
  return s;
}

const ObjectSchema& Notebook::schema() {
  static const ObjectSchema s("Notebook",
                              {Property::string("id", [] { return makeUuidString(); }), Property::string("title"),
                               Property::list("notes", &Note::schema)},
                              [] { return std::make_shared<Notebook>(); });
  return s;
}

Configuration notesConfiguration(const std::filesystem::path& file, std::uint64_t schemaVersion) {
  Configuration c;
  c.fileURL = file;
  c.schemaVersion = schemaVersion;
  c.objectTypes = {&Note::schema(), &Notebook::schema()};
  return c;
}

}  // namespace tilvane::store::test
