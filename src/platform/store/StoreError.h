#pragma once

#include <stdexcept>
#include <string>

namespace tilvane::store {

/// Why the database failed, so that callers can tell the user what to do in plain words.
enum class Failure {
  other,
  cannotOpen,    ///< the file or its folder cannot be opened or made
  damaged,       ///< the file is not a database, or is corrupt
  readOnly,      ///< the file or its folder may not be written
  newerVersion,  ///< the file was written by a newer schema version
  busy,          ///< another connection held the lock too long
  diskFull,
  migration,     ///< the migration block failed
};

/// A failure of the database itself: the file cannot be opened or written, a commit fails, a primary key is
/// taken, a migration fails. Callers catch it where the operation may fail at run time.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what, Failure failure = Failure::other)
      : std::runtime_error(what), failure_(failure) {}
  Failure failure() const { return failure_; }

 private:
  Failure failure_;
};

/// A misuse of the store that no run-time condition excuses: changing a stored object outside a write
/// transaction, nesting write transactions, using an object or instance on another thread, naming an unknown
/// class or property. Thrown on the offending thread; not meant to be caught by ordinary code.
class LogicError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

/// A predicate that is not one of the supported forms (see Predicate).
class QueryError : public LogicError {
 public:
  using LogicError::LogicError;
};

}  // namespace tilvane::store
