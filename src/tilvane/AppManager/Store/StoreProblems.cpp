// Telling the user, once and in plain words, that the database cannot be used.
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"

namespace tilvane {
namespace {

struct Wording {
  std::string reason;
  std::string advice;
};

Wording wording(const store::Error& error) {
  switch (error.failure()) {
    case store::Failure::cannotOpen:
      return {"the file or its folder cannot be opened", "Check that the folder exists and that you may read and "
                                                         "write it"};
    case store::Failure::damaged:
      return {"the file is damaged or is not a Tilvane database", "Move the file aside to start with an empty one"};
    case store::Failure::readOnly:
      return {"the file or its folder is read-only", "Make the file and its folder writable"};
    case store::Failure::newerVersion:
      return {"it was written by a newer version of Tilvane",
              "Use that version, or move the file aside to start with an empty one"};
    case store::Failure::busy:
      return {"another program keeps it locked", "Quit any other copy of Tilvane"};
    case store::Failure::diskFull:
      return {"the disk is full", "Free some disk space"};
    case store::Failure::migration:
      return {"its data could not be converted from an older version",
              "Move the file aside to start with an empty one"};
    case store::Failure::other:
      break;
  }
  return {std::string("an unexpected error (") + error.what() + ")", "Move the file aside to start with an empty one"};
}

std::string fileName() {
  std::string quoted(1, '"');
  quoted += store::Configuration::defaultConfiguration().fileURL.string();
  quoted += '"';
  return quoted;
}

}  // namespace

std::shared_ptr<store::Database> StoreService::database() const {
  if (givenUp_) return nullptr;
  try {
    auto db = store::Database::open();
    if (db->isReadOnly() && !told_.exchange(true))
      LogManager::warning("Tilvane's database " + fileName() +
                          " is read-only: remembered window positions are applied, but new ones are not saved. "
                          "Make the file and its folder writable to save them.");
    return db;
  } catch (const store::Error& e) {
    // A lock held elsewhere passes; anything else stays until the user has done something about it.
    if (e.failure() != store::Failure::busy) givenUp_ = true;
    if (told_.exchange(true)) {
      LogManager::debug(std::string("database: ") + e.what());
      return nullptr;
    }
    const auto [reason, advice] = wording(e);
    LogManager::error("Tilvane cannot use its database " + fileName() + ": " + reason + ". " + advice +
                      ", then restart Tilvane. Until then, window positions are not remembered.");
    return nullptr;
  }
}

void StoreService::reportFailure(const store::Error& error) const {
  placements_.forget();
  if (told_.exchange(true)) {
    LogManager::debug(std::string("database: ") + error.what());
    return;
  }
  const auto [reason, advice] = wording(error);
  LogManager::error("Tilvane could not read or write its database " + fileName() + ": " + reason + ". " + advice +
                    ". Until then, window positions may not be remembered.");
}

}  // namespace tilvane
