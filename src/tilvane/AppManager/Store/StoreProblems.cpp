// Telling the user, once and in plain words, that the database cannot be used; checking the file before it is
// first opened and rebuilding a damaged one.
#include <algorithm>
#include <map>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "platform/base/DamagedCopy.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/store/FileRepair.h"

namespace tilvane {
namespace {

struct Wording {
  std::string reason;
  std::string advice;
};

const Wording kDiskFull{"the disk is full", "Free some disk space"};

// Only a file that failed its check is ever called damaged; advice never throws a sound file away.
Wording wording(const store::Error& error) {
  const auto folder = store::Configuration::defaultConfiguration().fileURL.parent_path();
  switch (error.failure()) {
    case store::Failure::cannotOpen:
      if (store::isDiskFull(folder)) return kDiskFull;
      return {"the file or its folder cannot be opened", "Check that the folder exists and that you may read and "
                                                         "write it"};
    case store::Failure::damaged:
      return {"the file is damaged",
              "Restart Tilvane: it keeps a copy of the file and carries what can be read into a fresh one"};
    case store::Failure::readOnly:
      return {"the file or its folder is read-only", "Make the file and its folder writable"};
    case store::Failure::newerVersion:
      return {"it was written by a newer version of Tilvane", "Use that version; this one leaves the file as it is"};
    case store::Failure::busy:
      return {"another program keeps it locked", "Wait for that program to finish, or quit it"};
    case store::Failure::diskFull:
      return kDiskFull;
    case store::Failure::migration:
      return {"its data could not be converted from an older version",
              "The file is left as it was; use the version of Tilvane that wrote it"};
    case store::Failure::other:
      break;
  }
  if (store::isDiskFull(folder)) return kDiskFull;
  return {std::string("an unexpected error (") + error.what() + ")",
          "Restart Tilvane; if this comes back, check the disk that holds the file"};
}

// What the user calls the data of each table.
std::string wordsFor(const std::string& table) {
  static const std::map<std::string, std::string, std::less<>> words = {
      {"CustomLayoutModel", "custom layouts"},
      {"RuleLayoutModel", "application rules"},
      {"WorkspaceLayoutGroupModel", "workspaces"},
      {"WorkspaceLayoutItemModel", "workspaces"},
      {"WorkspaceLayoutGroupModel.items", "workspaces"},
      {"AutoLayoutModel", "remembered window positions"},
      {"WindowMovingModel", "the history of window moves"},
      {"ExtensionAppModel", "added applications"}};
  const auto it = words.find(table);
  return it != words.end() ? it->second : table;
}

// The tables' words, each once, in order, joined with commas.
std::string listOf(const std::vector<std::string>& tables) {
  std::vector<std::string> said;
  for (const auto& table : tables) {
    const std::string words = wordsFor(table);
    if (std::find(said.begin(), said.end(), words) == said.end()) said.push_back(words);
  }
  std::string text;
  for (const auto& words : said) text += (text.empty() ? "" : ", ") + words;
  return text;
}

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

}  // namespace

std::string StoreService::quotedFileName() { return quoted(store::Configuration::defaultConfiguration().fileURL); }

void StoreService::tellUser(bool warning, const std::string& logLine, const std::string& screenLine) const {
  if (warning)
    LogManager::warning(logLine);
  else
    LogManager::debug(logLine);
  if (notifier_) notifier_(screenLine);
}

bool StoreService::examineFile() const {
  const auto configuration = store::Configuration::defaultConfiguration();
  const auto check = store::checkFile(configuration.fileURL);
  if (check.state != store::FileState::damaged) return true;
  const auto copy = damagedCopyName(configuration.fileURL,
                                    static_cast<std::time_t>(dispatch::MainQueue::clock().now()));
  told_ = true;
  try {
    const auto rebuilt = store::rebuildDamagedFile(configuration, copy);
    const std::string lost = rebuilt.lost.empty() ? "Nothing was lost." : "Lost: " + listOf(rebuilt.lost) + ".";
    tellUser(true,
             "Tilvane's database " + quoted(configuration.fileURL) + " was damaged (" + check.detail +
                 "). A copy was kept as " + quoted(copy) + ", and a fresh database now holds what could be read" +
                 (rebuilt.carried.empty() ? "" : ": " + listOf(rebuilt.carried)) + ". " + lost,
             "Tilvane's database was damaged and rebuilt; a copy was kept as " + copy.filename().string());
    return true;
  } catch (const store::Error& e) {
    const auto [reason, advice] = wording(e);
    LogManager::error("Tilvane's database " + quoted(configuration.fileURL) + " is damaged (" + check.detail +
                      "), and it could not be rebuilt: " + reason + ". " + advice +
                      ", then restart Tilvane. The file is left as it was; until then, window positions are not "
                      "remembered.");
    if (notifier_) notifier_("Tilvane cannot remember window positions: " + reason);
    return false;
  }
}

std::shared_ptr<store::Database> StoreService::database() const {
  if (givenUp_) return nullptr;
  if (!examined_.exchange(true) && !examineFile()) {
    givenUp_ = true;
    return nullptr;
  }
  try {
    auto db = store::Database::open();
    if (db->isReadOnly() && !told_.exchange(true)) {
      LogManager::warning("Tilvane's database " + quotedFileName() +
                          " is read-only: remembered window positions are applied, but new ones are not saved. "
                          "Make the file and its folder writable to save them.");
      if (notifier_) notifier_("Tilvane cannot save window positions: its database is read-only");
    }
    // The main thread's instance stays open: closed whenever nothing held it, it was opened again (its schema
    // checked, its files locked and mapped) at the next window or hot key, and closing it checkpointed and
    // synced the log every time.
    if (dispatch::MainQueue::loop() && dispatch::MainQueue::isMainThread() && kept_ != db) kept_ = db;
    return db;
  } catch (const store::Error& e) {
    // A lock held elsewhere passes; anything else stays until the user has done something about it.
    if (e.failure() != store::Failure::busy) givenUp_ = true;
    if (told_.exchange(true)) {
      LogManager::debug(std::string("database: ") + e.what());
      return nullptr;
    }
    const auto [reason, advice] = wording(e);
    LogManager::error("Tilvane cannot use its database " + quotedFileName() + ": " + reason + ". " + advice +
                      ", then restart Tilvane. Until then, window positions are not remembered.");
    if (notifier_) notifier_("Tilvane cannot remember window positions: " + reason);
    return nullptr;
  }
}

void StoreService::reportFailure(const store::Error& error) const {
  placements_.forget();
  if (error.failure() == store::Failure::busy) {
    LogManager::warning("Tilvane could not save a change: another program keeps its database " + quotedFileName() +
                        " locked. Try again once that program has finished.");
    return;
  }
  if (told_.exchange(true)) {
    LogManager::debug(std::string("database: ") + error.what());
    return;
  }
  const auto [reason, advice] = wording(error);
  LogManager::error("Tilvane could not read or write its database " + quotedFileName() + ": " + reason + ". " +
                    advice + ". Until then, window positions may not be remembered.");
  if (notifier_) notifier_("Tilvane cannot remember window positions: " + reason);
}

}  // namespace tilvane
