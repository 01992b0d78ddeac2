#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Kit/KitClass.h"
#include "crashreporting/Kit/ZIZApplicationIdentiferModel.h"
#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The kit framework's one object: it checks the kits a host starts, completes and orders their list, starts
/// each, and keeps the identities every kit reads (API key, installation identifier, execution identifier,
/// debug switch). The configuration comes from the main bundle's information dictionary (MainBundle), whose
/// faults raise ZIZException.
class Zizozu {
 public:
  /// Reads (or makes and stores) the installation identifier, makes this run's execution identifier, the
  /// application identifier model (none when the executable cannot be read) and the settings-and-onboarding
  /// manager.
  Zizozu();
  Zizozu(const Zizozu&) = delete;
  Zizozu& operator=(const Zizozu&) = delete;

  /// The public start entry: only its first call in a process starts anything. A call made while that start
  /// runs on another thread waits for it to end (the kits are started when it returns); a call from within the
  /// start, on its own thread, returns at once. Raises ZIZException on a configuration fault or a kit that is
  /// none.
  static Zizozu& with(const std::vector<KitArgument>& kits);
  static Zizozu& sharedSDK();

  /// The key set with setAPIKey, else "APIKey" of the configuration; none (with a log line) when neither.
  std::optional<std::string> APIKey();
  void setAPIKey(std::string key);
  std::string installID() const;
  bool isFirstInstall() const;
  /// 32 lower-case hexadecimal characters, new in every process.
  std::string executionIdentifier() const;
  std::optional<std::string> advertisingToken() const;
  void setAdvertisingToken(std::optional<std::string> token);
  bool debug() const;
  void setDebug(bool debug);
  std::vector<const KitClass*> kitClasses() const;
  void setKitClasses(std::vector<const KitClass*> kitClasses);
  std::shared_ptr<ZIZSettingsOnboardingManager> settingsAndOnboardingManager() const;
  void setSettingsAndOnboardingManager(std::shared_ptr<ZIZSettingsOnboardingManager> manager);
  const std::optional<ZIZApplicationIdentiferModel>& applicationIdentifierModel() const {
    return applicationIdentifierModel_;
  }
  /// The saved settings; none before a settings file exists.
  std::optional<Dictionary> settings() const;
  /// The application identifier model's instance identifier; none without a model.
  std::optional<std::string> instanceIdentifier() const;

  /// Kit bundle identifier → kit version, for the started kits and the framework itself.
  std::map<std::string, std::string> kitVersionsByKitBundleIdentifier();
  /// The information dictionary's "Zizozu" dictionary, validated on first use.
  Dictionary zizozuConfig();
  std::optional<Dictionary> configurationDictionaryForKit(const KitObject& kit);
  /// The "KitInfo" of the kit's "Kits" entry; empty when the entry has none; none without an entry.
  static std::optional<Dictionary> configurationDictionaryForKitClass(const KitClass& kitClass);

  // The steps of the start.
  static std::vector<const KitClass*> convertToKitClassesIfNeeded(const std::vector<KitArgument>& kits);
  static void validateREDAzaConformance(const std::vector<const KitClass*>& kits);
  static std::vector<const KitClass*> kitClassesByAddingDajuroIfFound(std::vector<const KitClass*> kits);
  static std::vector<const KitClass*> kitClassesByAddingVizuzodIfFound(std::vector<const KitClass*> kits);
  static std::vector<const KitClass*> kitClassesByEnsuringApvistaIsFirst(std::vector<const KitClass*> kits);
  static std::vector<const KitClass*> kitClassesByAddingAdmiraIfFound(std::vector<const KitClass*> kits);
  static void initializeKit(const KitClass& kitClass);
  static Dictionary validZizozuConfigFromInfoPlist(const std::optional<Dictionary>& infoDictionary);

  std::optional<std::string> readInstallationUUID();
  std::string generateInstallationUUID();
  void onboardAppAndDownloadSettings();

 private:
  std::recursive_mutex startMutex_;  // held by the start, so later callers wait for it
  bool startEntered_ = false;        // guarded by startMutex_
  mutable std::mutex mutex_;
  bool debug_ = false;
  bool isFirstInstall_ = false;
  std::optional<std::string> apiKey_;
  std::string installID_;
  std::string executionIdentifier_;
  std::optional<std::string> advertisingToken_;
  std::vector<const KitClass*> kitClasses_;
  std::optional<Dictionary> zizozuConfig_;
  std::optional<ZIZApplicationIdentiferModel> applicationIdentifierModel_;
  std::shared_ptr<ZIZSettingsOnboardingManager> settingsAndOnboardingManager_;
};

/// Whether the kit framework's debug switch is on; false while no Zizozu instance exists (never makes one).
bool ZIZIsDebugEnabled();

}  // namespace crashreporting
