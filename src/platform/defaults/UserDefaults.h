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
/// Every change is saved at once or refused then: under a lock file beside it ("defaults.plist.lock"), the file is
/// read again, the one changed key is set or removed in what it holds now, and the result is written aside,
/// flushed and renamed over it. So several programs sharing the file never write back each other's older values,
/// and a change is there for the next process even if this one dies right after. The values in memory become the
/// merged file's; a change that could not be saved is not kept, so what is read is what is stored.
///
/// A file that cannot be read as a dictionary property list gives empty defaults and one logged error, and is
/// copied byte for byte beside it ("defaults.plist.damaged-YYYYMMDD-HHMMSS") before anything replaces it; the
/// file itself is left as it is until the next change. A file that cannot even be copied (no permission to read
/// it) is never replaced: every change is refused until it can be read.
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

  /// Stores `value` under `key` in the file. True when the file holds it now; false, with a logged error, when it
  /// could not be saved (the value read under `key` is then the stored one, unchanged).
  bool setObject(std::string_view key, Value value);
  bool setInteger(std::string_view key, std::int64_t value) { return setObject(key, Value(value)); }
  bool setBool(std::string_view key, bool value) { return setObject(key, Value(value)); }
  bool setDouble(std::string_view key, double value) { return setObject(key, Value(value)); }
  bool setString(std::string_view key, std::string value) { return setObject(key, Value(std::move(value))); }
  /// Removes `key` from the file (nothing is written when the file holds no such key). False as setObject.
  bool removeObjectForKey(std::string_view key);

  /// Every change is saved when it is made or refused then, so nothing waits to be written: always true. Kept
  /// for callers written against the platform's defaults, which synchronise after each change.
  bool synchronize() { return true; }

  /// What was wrong with the file when these defaults were made.
  struct LoadProblem {
    /// Why it could not be read ("not a property list", "cannot open …: Permission denied", …).
    std::string reason;
    /// The byte-identical copy kept beside it; empty when none could be made.
    std::filesystem::path copy;
  };
  /// The file's problem at start; none when it was read, or was not there.
  const std::optional<LoadProblem>& loadProblem() const { return loadProblem_; }
  /// True when the file could not be read at start and no value has been read or stored under `key` since: what
  /// the user stored there is unknown, so nothing should be done from its default.
  bool isUnknown(std::string_view key) const;

 private:
  void load();
  /// Sets (or, with none, removes) `key` in the file as it is now and takes the file's values as ours.
  bool save(std::string_view key, std::optional<Value> value);
  /// Makes sure the file as it is now has a copy beside it, unless this one was copied already. False (with a
  /// logged error) when no copy could be made.
  bool keepAside(const std::string& reason);
  /// Copies the file to a new name beside it; false with the reason in `error`.
  bool copyAside(std::filesystem::path& copy, std::string& error);

  const std::filesystem::path file_;
  mutable std::mutex mutex_;  // guards values_
  std::mutex ioMutex_;        // one save at a time in this process; the lock file orders processes
  Dictionary values_;
  std::optional<LoadProblem> loadProblem_;
  /// Identity (device, inode, size, modification time) of the damaged file last copied aside.
  std::string copiedStamp_;
};

}  // namespace tilvane::defaults
