#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Preferences/PreferencesViews.h"
#include "Shell/ShellServices.h"
#include "tilvane/Shell/RecordingUpdater.h"
#include "platform/autostart/LaunchAtLogin.h"

namespace tilvane::test {

/// A login item that answers as told and counts its calls.
struct FakeLoginItem final : LaunchAtLogin {
  bool enableLaunchAtLogin() override {
    ++enables;
    enabled = enabled || succeeds;
    return succeeds;
  }
  bool disableLaunchAtLogin() override {
    ++disables;
    enabled = enabled && !succeeds;
    return succeeds;
  }
  bool isLaunchAtLoginEnabled() const override { return enabled; }
  bool succeeds = true;
  /// The entry as the system has it.
  bool enabled = false;
  int enables = 0;
  int disables = 0;
};

/// What a fake pane window was told.
struct FakeWindowState {
  std::string title;
  std::vector<ToolbarItem> items;
  std::function<void(int)> onSelect;
  AccessoryButton accessory;
  std::vector<std::pair<int, Constants::Size>> shownPanes;
  int shows = 0;
};

struct FakePaneWindow final : PaneWindowView {
  explicit FakePaneWindow(FakeWindowState& state) : state(state) {}
  void setToolbar(const std::string& title, const std::vector<ToolbarItem>& items,
                  std::function<void(int)> onSelect) override {
    state.title = title;
    state.items = items;
    state.onSelect = std::move(onSelect);
  }
  void setAccessoryButton(AccessoryButton button) override { state.accessory = std::move(button); }
  void showPane(int index, PaneView*, const Constants::Size& size) override { state.shownPanes.push_back({index, size}); }
  void showWindow() override { ++state.shows; }
  bool isVisible() const override { return state.shows > 0; }
  FakeWindowState& state;
};

/// Keeps what it was told to show in `alerts`.
struct FakePaneView final : PaneView {
  explicit FakePaneView(std::vector<std::string>& alerts) : alerts(alerts) {}
  void setFrameSize(const Constants::Size&) override {}
  void showAlert(const std::string& message) override { alerts.push_back(message); }
  std::vector<std::string>& alerts;
};

/// Views without a toolkit: a recording window and empty pane views.
struct FakeViews final : PreferencesViews {
  std::unique_ptr<PaneWindowView> makeWindow() override { return std::make_unique<FakePaneWindow>(window); }
  std::unique_ptr<PaneView> makeView(GeneralPreferencesViewController&) override { return made("General"); }
  std::unique_ptr<PaneView> makeView(HotKeysPreferencesViewController&) override { return made("HotKeys"); }
  std::unique_ptr<PaneView> makeView(UpdatesPreferencesViewController&) override { return made("Updates"); }
  std::unique_ptr<PaneView> makeView(AboutPreferencesViewController&) override { return made("About"); }
  std::unique_ptr<PaneView> made(const std::string& pane) {
    views.push_back(pane);
    return std::make_unique<FakePaneView>(alerts);
  }
  FakeWindowState window;
  std::vector<std::string> views;
  /// Every alert any pane showed, in order.
  std::vector<std::string> alerts;
};

}  // namespace tilvane::test
