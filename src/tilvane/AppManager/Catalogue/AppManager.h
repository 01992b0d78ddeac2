#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/AppDescriptor.h"
#include "platform/apps/ApplicationIdentifier.h"
#include "platform/apps/ApplicationSource.h"

namespace tilvane {

/// The catalogue of installed applications that the editors offer: the source's applications (agents and
/// those without a bundle identifier left out) plus Finder, sorted by name, followed by the applications the
/// user added by hand (ExtensionAppModel), in their stored order. Built once at start-up by loadApps(); the
/// editors read and append to apps() directly. Failures to read are passed over silently; the one lasting
/// effect is that a hand-added application whose description can no longer be read has its record deleted.
/// Main thread only.
class AppManager {
 public:
  /// The one instance, made on first use, over the XDG desktop entries.
  static AppManager& shared();

  /// A catalogue over the XDG desktop entries of the environment; empty until loadApps().
  AppManager();
  /// A catalogue over `source` (a folder of bundles, say); empty until loadApps().
  explicit AppManager(std::unique_ptr<apps::ApplicationSource> source);
  ~AppManager();
  AppManager(const AppManager&) = delete;
  AppManager& operator=(const AppManager&) = delete;

  /// The catalogue; the editors append a descriptor when the user adds an application.
  std::vector<AppDescriptor>& apps() { return apps_; }
  const std::vector<AppDescriptor>& apps() const { return apps_; }

  /// Rebuilds apps() from the source and the stored hand-added applications (addApplication; deleting the
  /// records of those that cannot be read any more).
  void loadApps();

  /// Appends `app`, which the user picked by hand at `path`, to apps() and makes it known to launches by its
  /// bundle identifier wherever it lies (LSRegisterURL), so a restore can start it.
  void addApplication(const std::string& path, AppDescriptor app);

  /// The application at `path` (a bundle, or on Linux a desktop entry); absent when it cannot be read. An entry
  /// known by a class guessed from its program is known by its windows' class where the program runs
  /// (runningIdentifier).
  std::optional<AppDescriptor> appInfo(const std::string& path) const;
  /// The bundle identifier of the running processes of the program the application at `path` starts; absent
  /// when none runs, or they run under several.
  static std::optional<std::string> runningIdentifier(const std::string& path);

  /// The icon to show for an application: iconForFileURL(`fileOrURL`) when that is not empty (the bundle
  /// identifier is then not consulted), else iconForBundleID(`bundleIdentifier`) when that is not empty, else
  /// absent.
  std::optional<std::string> icon(const std::string& fileOrURL, const std::string& bundleIdentifier) const;
  /// The icon the application at `fileOrURL` declares ("file://" removed wherever it occurs); absent when it
  /// declares none or cannot be read.
  std::optional<std::string> iconForFileURL(const std::string& fileOrURL) const;
  /// "Finder" for "com.apple.finder"; else the icon of appWithIdentifier; absent when there is none.
  std::optional<std::string> iconForBundleID(const std::string& bundleIdentifier) const;
  /// The first catalogue entry with exactly this bundle identifier, else the first one added by hand whose
  /// identifier is a class guessed from its program and differs only in case (guessedClasses()); null when none
  /// does.
  const AppDescriptor* appWithIdentifier(const std::string& bundleIdentifier) const;
  /// The identifiers of the entries added by hand that are classes guessed from their programs: where one of
  /// them is concerned, rules, restores and lookups by identifier take an identifier in another case as the same
  /// application (the windows' class may differ in case from the guess); elsewhere only the identifier itself.
  const apps::GuessedClasses& guessedClasses() const { return guessed_; }

  /// The entry every catalogue starts with.
  static AppDescriptor finderApp() { return AppDescriptor{"Finder", "com.apple.finder", "finder"}; }

 private:
  std::unique_ptr<apps::ApplicationSource> source_;
  std::vector<AppDescriptor> apps_;
  apps::GuessedClasses guessed_;
};

/// Whether the identifiers `a` and `b` name one application: the shared catalogue's guessedClasses().
bool sameApplication(std::string_view a, std::string_view b);

}  // namespace tilvane
