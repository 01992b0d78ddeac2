#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "WorkspaceLayout/Editor/WorkspaceViews.h"
#include "support/TestEnvironment.h"
#include "support/windows/WindowWorld.h"

namespace tilvane::test {

/// Answers the pane's questions from a script and records what it was asked.
class ScriptedDialogs final : public WorkspaceDialogs {
 public:
  bool confirmDelete(std::function<void(int)> completion) override {
    ++confirmations;
    pending = std::move(completion);
    return true;
  }
  void showAlert(const std::string& message) override { alerts.push_back(message); }
  std::optional<std::string> chooseFile() override { return next(files); }
  std::optional<std::string> chooseApplication() override { return next(applications); }
  /// Answers the open confirmation sheet.
  void answer(int response) {
    auto completion = std::move(pending);
    pending = nullptr;
    if (completion) completion(response);
  }

  int confirmations = 0;
  std::function<void(int)> pending;
  std::vector<std::string> alerts;
  std::deque<std::optional<std::string>> files;
  std::deque<std::optional<std::string>> applications;

 private:
  static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

/// A world of `spaces` desktops with the store and the workspace list file under the temporary folder, and a
/// count of every workspace event.
class WorkspacePaneTest : public WindowWorld {
 protected:
  explicit WorkspacePaneTest(int spaces = 1)
      : WindowWorld(spaces), alfred_("TILVANE_ALFRED_FILE", (tempDir() / "space.xml").string()) {
    StoreService::shared().configureRealm();
    count(WorkspaceBridge::workspaceAdded(), added);
    count(WorkspaceBridge::workspaceRemoved(), removed);
    count(WorkspaceBridge::workspaceRenamed(), renamed);
    count(WorkspaceBridge::workspaceItemChanged(), itemChanged);
    WorkspaceBridge::selectedWorkspace()
        .subscribe([this](const WorkspaceLayoutGroupModelPtr& g) { selected.push_back(g); })
        .disposed(bag);
  }

  static WorkspaceLayoutGroupModelPtr storedWorkspace(const std::string& name) {
    auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setName(name);
    auto database = StoreService::shared().database();
    database->write([&] { StoreService::shared().addUpdating(*database, group); });
    return group;
  }
  static std::vector<std::string> storedNames() {
    std::vector<std::string> names;
    for (const auto& g : StoreService::shared().workspaces()) names.push_back(g->name());
    return names;
  }
  std::string alfredFile() const { return readFile(tempDir() / "space.xml"); }
  /// Makes the database unusable: a folder where its file should be. Call before anything opens it.
  static void breakDatabase() {
    std::filesystem::remove(store::Configuration::defaultFileURL());
    std::filesystem::create_directories(store::Configuration::defaultFileURL());
  }

  ScriptedDialogs dialogs;
  int added = 0, removed = 0, renamed = 0, itemChanged = 0;
  std::vector<WorkspaceLayoutGroupModelPtr> selected;
  LogManager::Capture log;
  rx::DisposeBag bag;

 private:
  void count(rx::PublishSubject<rx::Unit>& subject, int& counter) {
    subject.subscribe([&counter](const rx::Unit&) { ++counter; }).disposed(bag);
  }
  ScopedEnv alfred_;
};

}  // namespace tilvane::test
