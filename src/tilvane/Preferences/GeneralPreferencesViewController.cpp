#include "Preferences/GeneralPreferencesViewController.h"

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

std::string rowLabel(const char* key) { return NSLocalizedString(key) + " :"; }

}  // namespace

GeneralPreferencesViewController::GeneralPreferencesViewController(LaunchAtLogin& loginItem, PreferencesViews* views)
    : PreferencePane("General", "PreferenceGeneral"),
      startupLabel(rowLabel("Startup")),
      startupCheckbox(NSLocalizedString("LaunchAtLogin")),
      startupIntroLabel(NSLocalizedString("LaunchAtLoginDesc")),
      hideMenuLabel(rowLabel("HideIcon")),
      hideMenuCheckbox(NSLocalizedString("HideInMenubar")),
      hideMenuIntroLabel(NSLocalizedString("HideInMenubarDesc")),
      hideLayoutLabel(rowLabel("HideLayoutAction")),
      hideLayoutCheckbox(NSLocalizedString("HideLayoutActionDesc")),
      hideLayoutIntroLabel(NSLocalizedString("HideLayoutActionIntro")),
      gapLayoutLabel(rowLabel("Gutters")),
      gapLayoutCheckbox(NSLocalizedString("EnableGutters")),
      gapLayoutIntroLabel(NSLocalizedString("EnableGuttersDesc")),
      loginItem_(loginItem),
      views_(views) {
  AppBridge::settingsChanged()
      .subscribe([this](const std::vector<std::string>& keys) { followStoredChanges(keys); })
      .disposed(disposeBag());
}

std::unique_ptr<PaneView> GeneralPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

void GeneralPreferencesViewController::setupUI() {
  logHook("UI");
  applyPaneSize();
  startupCheckbox.setState(stateOf(UserDefaultsService::launchAtLoginKey()));
  hideMenuCheckbox.setState(stateOf(UserDefaultsService::hideInMenuBarKey()));
  hideLayoutCheckbox.setState(stateOf(UserDefaultsService::showBuildInLayoutActionKey()));
  gapLayoutCheckbox.setState(stateOf(UserDefaultsService::gutterEnabledKey()));
}

void GeneralPreferencesViewController::setupLayout() { logHook("Layout"); }

void GeneralPreferencesViewController::setupViewModel() {
  logHook("ViewModel");
  // Each box hands its state over at once: the load's pass acts on what is stored, and only on what could be read.
  loading_ = true;
  startupCheckbox.rxState()
      .subscribe([this](const int& state) {
        if (lastStartupState_ == state) return;
        lastStartupState_ = state;
        launchAtLoginChanged(state);
      })
      .disposed(disposeBag());
  hideMenuCheckbox.rxState()
      .subscribe([this](const int& state) {
        const std::string& key = UserDefaultsService::hideInMenuBarKey();
        if (!loading_) {
          if (!UserDefaultsService::setHideInMenuBar(state)) notSaved(hideMenuCheckbox, key);
        } else if (isKnown(key)) {
          AppBridge::hideInMenuBarChanged().onNext(state == 1);
        }
      })
      .disposed(disposeBag());
  hideLayoutCheckbox.rxState()
      .subscribe([this](const int& state) { hideLayoutActionChanged(state); })
      .disposed(disposeBag());
  gapLayoutCheckbox.rxState().subscribe([this](const int& state) { gutterChanged(state); }).disposed(disposeBag());
  loading_ = false;
}

namespace {
bool isIntegerRow(const std::string& key) {
  return key == UserDefaultsService::launchAtLoginKey() || key == UserDefaultsService::hideInMenuBarKey();
}
}  // namespace

std::optional<int> GeneralPreferencesViewController::storedState(const std::string& key) const {
  const defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  if (isIntegerRow(key)) {
    const auto value = stored.storedInteger(key);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
  }
  const auto value = stored.storedBool(key);
  return value ? std::optional<int>(*value ? Checkbox::on : Checkbox::off) : std::nullopt;
}

bool GeneralPreferencesViewController::isKnown(const std::string& key) const { return storedState(key).has_value(); }

bool GeneralPreferencesViewController::store(const std::string& key, defaults::Value value) {
  // The load's pass hands over what is stored: writing it back would change nothing but the file.
  if (loading_) return isKnown(key);
  return defaults::UserDefaults::standard().setObject(key, std::move(value));
}

void GeneralPreferencesViewController::notSaved(Checkbox& box, const std::string& key) {
  box.setState(stateOf(key));
  if (PaneView* shown = view()) shown->showAlert(NSLocalizedString("SettingNotSaved"));
}

int GeneralPreferencesViewController::stateOf(const std::string& key) const {
  if (const auto state = storedState(key)) return *state;
  // Nothing usable stored: start at login shows the login item as it stands, the others their default.
  if (key == UserDefaultsService::launchAtLoginKey())
    return loginItem_.isLaunchAtLoginEnabled() ? Checkbox::on : Checkbox::off;
  return Checkbox::off;
}

void GeneralPreferencesViewController::launchAtLoginChanged(int state) {
  const std::string& key = UserDefaultsService::launchAtLoginKey();
  // Without a stored value of its type the login item is left as it stands: it may be the user's own.
  if (loading_ && !isKnown(key)) return;
  const bool enable = state == Checkbox::on;
  const bool done = enable ? loginItem_.enableLaunchAtLogin() : loginItem_.disableLaunchAtLogin();
  if (!done) {
    // The box goes back, and the state it shows counts as the last one handed on: the user's next click is a
    // change again and reaches the login item, instead of being taken for a repeat.
    const int previous = enable ? Checkbox::off : Checkbox::on;
    startupCheckbox.setState(previous);
    lastStartupState_ = previous;
    return;
  }
  if (store(key, defaults::Value(std::int64_t{enable ? 1 : 0}))) return;
  // The click did not hold: the login item goes back to what it was, which is what the box showed before.
  if (enable)
    loginItem_.disableLaunchAtLogin();
  else
    loginItem_.enableLaunchAtLogin();
  notSaved(startupCheckbox, key);
  lastStartupState_ = startupCheckbox.state();
}

void GeneralPreferencesViewController::hideLayoutActionChanged(int state) {
  const std::string& key = UserDefaultsService::showBuildInLayoutActionKey();
  if (!store(key, defaults::Value(state == Checkbox::on))) {
    if (!loading_) notSaved(hideLayoutCheckbox, key);
    return;
  }
  AppBridge::showBuildInLayoutActionChanged().onNext();
}

void GeneralPreferencesViewController::gutterChanged(int state) {
  const std::string& key = UserDefaultsService::gutterEnabledKey();
  if (!store(key, defaults::Value(state == Checkbox::on))) {
    if (!loading_) notSaved(gapLayoutCheckbox, key);
    return;
  }
  LayoutManager::shared().layoutAll();
}

void GeneralPreferencesViewController::followStoredChanges(const std::vector<std::string>& keys) {
  const auto changed = [&keys](const std::string& key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); };
  const std::string& startup = UserDefaultsService::launchAtLoginKey();
  if (changed(startup)) {
    startupCheckbox.setState(stateOf(startup));
    // As at the load: the login item follows only a value of its type; it may be the user's own otherwise.
    if (const auto state = storedState(startup); state && lastStartupState_ != *state) {
      lastStartupState_ = *state;
      loading_ = true;
      launchAtLoginChanged(*state);
      loading_ = false;
    }
  }
  // The others act on what their getters read now, as the program does at start.
  if (changed(UserDefaultsService::hideInMenuBarKey())) {
    hideMenuCheckbox.setState(stateOf(UserDefaultsService::hideInMenuBarKey()));
    AppBridge::hideInMenuBarChanged().onNext(UserDefaultsService::hideInMenuBar() == 1);
  }
  if (changed(UserDefaultsService::showBuildInLayoutActionKey())) {
    hideLayoutCheckbox.setState(stateOf(UserDefaultsService::showBuildInLayoutActionKey()));
    AppBridge::showBuildInLayoutActionChanged().onNext();
  }
  if (changed(UserDefaultsService::gutterEnabledKey())) {
    gapLayoutCheckbox.setState(stateOf(UserDefaultsService::gutterEnabledKey()));
    LayoutManager::shared().layoutAll();
  }
}

}  // namespace tilvane
