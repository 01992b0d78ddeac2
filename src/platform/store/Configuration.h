#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace tilvane::store {

class Migration;
class ObjectSchema;

/// Called inside the first opening of a file whose stored schema version is below the configuration's, in
/// the transaction that raises it; an exception from it aborts the opening and leaves the file as it was.
using MigrationBlock = std::function<void(Migration& migration, std::uint64_t oldSchemaVersion)>;

/// How a database is opened: where its file lies, which schema version its classes have, how older files
/// are brought up to that version, and which classes it holds.
struct Configuration {
  /// The file; its folder is created when missing.
  std::filesystem::path fileURL = defaultFileURL();
  /// Kept in the file. A file at a lower version is migrated on opening; one at a higher version is refused.
  std::uint64_t schemaVersion = 0;
  MigrationBlock migrationBlock;
  /// The classes whose tables are made when the file is opened. A class outside the list gets its table when
  /// first used.
  std::vector<const ObjectSchema*> objectTypes;
  /// How long a write waits for another connection's write lock before it fails with Failure::busy. A thread
  /// that must never stall (the main loop) keeps this to a few milliseconds and retries later itself.
  double busyTimeout = 10.0;

  /// $XDG_DATA_HOME/Tilvane/default.sqlite, read from the environment at each call.
  static std::filesystem::path defaultFileURL();

  /// The configuration that Database::open() uses without an argument (a copy; safe from any thread).
  static Configuration defaultConfiguration();
  /// Which default is set: a number of its own for each setDefaultConfiguration, 0 while none is (a plain
  /// configuration follows the environment). Lets a caller keep what it made of the default until it changes.
  static std::uint64_t defaultGeneration();
  static void setDefaultConfiguration(Configuration configuration);
  /// Back to a plain configuration at defaultFileURL(); also done by SharedInstances::resetAll().
  static void resetDefaultConfiguration();
};

}  // namespace tilvane::store
