// Prints the description of every stored model object of a file, class by class in schema order: a second
// process's view of what the models test stored.
//   model_dump <file> <schema version>
#include <cstdio>
#include <cstdlib>

#include "Models/ModelSchemas.h"
#include "platform/store/Database.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  tilvane::store::Configuration configuration;
  configuration.fileURL = argv[1];
  configuration.schemaVersion = std::strtoull(argv[2], nullptr, 10);
  configuration.objectTypes = tilvane::modelSchemas();
  auto db = tilvane::store::Database::open(configuration);
  for (const auto* schema : tilvane::modelSchemas())
    for (const auto& object : db->objects(*schema, nullptr)) std::printf("%s\n", object->description().c_str());
  return 0;
}
