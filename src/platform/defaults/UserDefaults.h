#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

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
/// A file that cannot be read as a dictionary property list (not a property list, not a dictionary, not a regular
/// file, larger than 16 MiB, or a read error such as no permission) gives empty defaults and one logged error, and
/// is copied byte for byte beside it ("defaults.plist.damaged-YYYYMMDD-HHMMSS") before anything replaces it, once
/// while nothing was saved since: the same damaged bytes found again (written again, touched, the next start) are
/// not copied or said again (the copies made since the last save are noted in "defaults.plist.damage-kept"), but
/// once a save wrote the file, the same damage found later is copied and said again. The file itself is left as it
/// is until the next change. A save, or a reload, that finds the file damaged while it runs keeps it
/// aside the same way and keeps every setting it held, which a save writes with the change, so nothing known is
/// lost. A file that cannot even be copied (no permission to read it) is never replaced: every change is refused
/// until it can be read. A file that is a symbolic link stays one: a save replaces the file it points to, with the
/// permissions that file had (a new file: 0644 less the umask), and removes what an interrupted save left beside it.
///
/// A change of the file by another program or by hand is taken in by reload() (or reloadIfWhole()), which the
/// program calls when fileMayHaveChanged(); it answers the keys whose values changed. Its own saves are not such
/// changes. Reading and looking never make a folder (a settings folder moved away stays away); a save makes the
/// folders it needs.
///
/// The settings that are acted on read their values with storedInteger, storedBool or storedDictionary: a value of
/// another type there is none, and is reported (logged, and handed to the notifier) once until the key is set.
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

  /// The value of an integer setting: an integer, or a Boolean as 0 and 1. None when the key is absent or holds
  /// another type, which is then reported once (reportWrongType): nothing is done from such a value.
  std::optional<std::int64_t> storedInteger(std::string_view key) const;
  /// The value of a Boolean setting: a Boolean, or an integer as non-zero. None as storedInteger.
  std::optional<bool> storedBool(std::string_view key) const;
  /// The value of a dictionary setting. None as storedInteger.
  std::optional<Dictionary> storedDictionary(std::string_view key) const;
  /// Says that `key` holds a value its users cannot take: a logged error and a notice, once until it is set.
  void reportWrongType(std::string_view key) const;

  /// Stores `value` under `key` in the file. True when the file holds it now; false, with a logged error, when it
  /// could not be saved (the value read under `key` is then the stored one, unchanged).
  bool setObject(std::string_view key, Value value);
  bool setInteger(std::string_view key, std::int64_t value) { return setObject(key, Value(value)); }
  bool setBool(std::string_view key, bool value) { return setObject(key, Value(value)); }
  bool setDouble(std::string_view key, double value) { return setObject(key, Value(value)); }
  bool setString(std::string_view key, std::string value) { return setObject(key, Value(std::move(value))); }
  /// Removes `key` from the file (nothing is written when the file holds no such key). False as setObject.
  bool removeObjectForKey(std::string_view key);
  /// What `change` makes of the value the file holds under `key` now (none: absent), read under the lock, so a
  /// switch flips what is stored rather than an older copy of it. Stores that (none removes the key); false as
  /// setObject. `change` must not use these defaults.
  using Change = std::function<std::optional<Value>(const std::optional<Value>& now)>;
  bool update(std::string_view key, const Change& change);

  /// Whether the file may have changed since these defaults last read or wrote it: another file stands at its
  /// place, or the one there was written, or a save took in values another program had stored meanwhile. A few
  /// stat calls; a change this process saved itself is not one.
  bool fileMayHaveChanged() const;
  /// Which file stands at the settings' place now (links followed), and when it was last written; empty when
  /// none does. Two equal answers a moment apart tell that nobody is writing it.
  std::string fileStamp() const;
  /// Reads the file again as at start, for a change made by another program or by hand: a file that is gone is
  /// empty defaults; a damaged one is kept aside and said as a save would (the values known stay, so the next save
  /// loses none of them). Answers the keys whose values changed, including those a save took in from the file
  /// since the last reload; empty when nothing changed.
  std::vector<std::string> reload();
  /// As reload(), for a file being written by hand: one that does not read whole (maybe half written) is left for
  /// later, none is answered and nothing changes.
  std::optional<std::vector<std::string>> reloadIfWhole();

  /// Every change is saved when it is made or refused then, so nothing waits to be written: always true. Kept
  /// for callers written against the platform's defaults, which synchronise after each change.
  bool synchronize() { return true; }

  /// What was wrong with the file when these defaults were made.
  struct LoadProblem {
    /// Why it could not be read: the decoder's ("the file is empty", "not a property list", "the root of the
    /// property list is not a dictionary", "the property list is nested too deeply") or the reader's, "cannot read
    /// <file>: " and "Permission denied", "Is a directory", "Not a regular file", "Larger than N bytes", ….
    std::string reason;
    /// The byte-identical copy kept beside it; empty when none could be made.
    std::filesystem::path copy;
    /// The copy was made before (an earlier start or run found the same bytes, and nothing saved the file
    /// since): it has been said already.
    bool keptBefore = false;
  };
  /// The file's problem at start; none when it was read, or was not there.
  const std::optional<LoadProblem>& loadProblem() const { return loadProblem_; }

  /// What is found after start that the user should learn of.
  struct Notice {
    enum class Kind {
      /// A save or a reload found the file damaged: a copy was kept as `copy`, and the settings known stay (a save
      /// writes them again).
      damaged,
      /// `key` holds a value of the wrong type; it is left as it is.
      wrongType,
    };
    Kind kind;
    std::string key;
    std::filesystem::path copy;
  };
  /// Receives each notice, on the thread that found it, with no lock held. None: notices are only logged.
  void setNotifier(std::function<void(const Notice&)> notifier);

 private:
  void load();
  /// reload(), or with `takeDamage` false reloadIfWhole().
  std::optional<std::vector<std::string>> reloadFile(bool takeDamage);
  /// Sets `key` in the file as it is now to what `change` makes of it and takes the file's values as ours.
  bool save(std::string_view key, const Change& change);
  /// save() under the locks; what the user should learn of goes to `notice`, said once the locks are let go.
  bool saveLocked(std::string_view key, const Change& change, std::optional<Notice>& notice);
  enum class KeptAside { failed, now, before };
  /// Makes sure the file as it is now has a copy beside it (`copy`, when made now), unless these bytes were
  /// copied already. `failed` (with a logged error) when no copy could be made.
  KeptAside keepAside(const std::string& reason, std::filesystem::path& copy);
  void notify(const Notice& notice) const;
  /// Copies the file to a new name beside it; false with the reason in `error`.
  bool copyAside(std::filesystem::path& copy, std::string& error);

  const std::filesystem::path file_;
  mutable std::mutex mutex_;  // guards values_, wrongTypes_, notifier_
  std::mutex ioMutex_;        // one save at a time in this process; the lock file orders processes
  Dictionary values_;
  std::optional<LoadProblem> loadProblem_;
  /// Identity (device, inode, size, modification time) of the damaged file last copied aside.
  std::string copiedStamp_;
  /// The file's stamp as it was last read or written here (guarded by mutex_).
  std::string knownStamp_;
  /// Keys another program changed that a save took in before a reload saw them (guarded by mutex_).
  std::set<std::string, std::less<>> takenIn_;
  /// Keys reported as holding a value of the wrong type, until they are set.
  mutable std::set<std::string, std::less<>> wrongTypes_;
  std::function<void(const Notice&)> notifier_;
};

}  // namespace tilvane::defaults
