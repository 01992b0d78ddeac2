#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/defaults/Value.h"

namespace tilvane::defaults {

/// The application's user defaults: typed values by key, kept in an XML property list at
/// $XDG_CONFIG_HOME/Tilvane/defaults.plist and read once when the object is made.
///
/// Every change is written to the file at once (aside, flushed, renamed over the old file), so a value set is
/// there for the next process even when no one calls synchronize() and even if this one dies right after. A file
/// that cannot be read or is not a dictionary property list gives empty defaults and a logged error; it is left
/// untouched until the next change is written.
///
/// Thread-safe: reads and writes may come from any thread.
class UserDefaults {
 public:
  /// The defaults at defaultFilePath(), as it is when the object is made.
  UserDefaults();
  /// The defaults kept in `file` (tests, tools).
  explicit UserDefaults(std::filesystem::path file);
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  /// The process's standard defaults, made on first use; reset with the other shared instances.
  static UserDefaults& standard();
  /// $XDG_CONFIG_HOME/Tilvane/defaults.plist, read from the environment at each call.
  static std::filesystem::path defaultFilePath();

  /// The file these defaults live in.
  const std::filesystem::path& filePath() const { return file_; }

  /// The value stored under `key`; none when the key is absent.
  std::optional<Value> objectForKey(std::string_view key) const;
  /// Integer form of the value (Value::integerValue); 0 when absent.
  std::int64_t integerForKey(std::string_view key) const;
  /// Boolean form (Value::boolValue): a non-zero number is true; false when absent.
  bool boolForKey(std::string_view key) const;
  /// Real form (Value::doubleValue); 0 when absent.
  double doubleForKey(std::string_view key) const;
  /// A string, or a number's text; none when absent or of another type.
  std::optional<std::string> stringForKey(std::string_view key) const;
  /// The value when it is data; none otherwise.
  std::optional<Data> dataForKey(std::string_view key) const;
  /// The value when it is an array; none otherwise.
  std::optional<Array> arrayForKey(std::string_view key) const;
  /// The value when it is a dictionary; none otherwise.
  std::optional<Dictionary> dictionaryForKey(std::string_view key) const;

  /// Stores `value` under `key` and writes the file.
  void setObject(std::string_view key, Value value);
  void setInteger(std::string_view key, std::int64_t value) { setObject(key, Value(value)); }
  void setBool(std::string_view key, bool value) { setObject(key, Value(value)); }
  void setDouble(std::string_view key, double value) { setObject(key, Value(value)); }
  void setString(std::string_view key, std::string value) { setObject(key, Value(std::move(value))); }
  /// Removes `key` (nothing happens when it is absent) and writes the file.
  void removeObjectForKey(std::string_view key);

  /// Writes any change the file does not hold yet (after a failed write) at once. True when the file now holds
  /// every change; false, with a logged error, when writing failed. With nothing to write it does nothing, so a
  /// damaged file is never replaced by empty defaults.
  bool synchronize();

 private:
  void load();
  /// Writes the values if they changed since the last good write. Call with ioMutex_ held.
  bool writeIfChanged();

  const std::filesystem::path file_;
  mutable std::mutex mutex_;  // guards values_ and the counters
  std::mutex ioMutex_;        // one writer at a time, and writes in order
  Dictionary values_;
  std::uint64_t changeCount_ = 0;
  std::uint64_t writtenCount_ = 0;
};

}  // namespace tilvane::defaults
