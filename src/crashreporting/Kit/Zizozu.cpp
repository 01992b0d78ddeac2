#include "crashreporting/Kit/Zizozu.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "crashreporting/Kit/AdmiraKit.h"
#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/VRDUserDefaults.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZException.h"
#include "crashreporting/platform/Guarded.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

constexpr const char* kClassName = "Zizozu";

bool contains(const std::vector<const KitClass*>& kits, const KitClass* kit) {
  return kit && std::find(kits.begin(), kits.end(), kit) != kits.end();
}

}  // namespace

Zizozu::Zizozu() {
  if (auto stored = readInstallationUUID(); stored && !stored->empty()) {
    installID_ = std::move(*stored);
  } else {
    isFirstInstall_ = true;
    installID_ = generateInstallationUUID();
  }
  std::string execution = ZIZCreateUUIDString();
  std::erase(execution, '-');
  std::transform(execution.begin(), execution.end(), execution.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  executionIdentifier_ = execution;
  applicationIdentifierModel_ = ZIZApplicationIdentiferModel::initWithInstallID(installID_);
  settingsAndOnboardingManager_ = std::make_shared<ZIZSettingsOnboardingManager>(applicationIdentifierModel_);
}

bool ZIZIsDebugEnabled() { return Shared<Zizozu>::exists() && Zizozu::sharedSDK().debug(); }

Zizozu& Zizozu::sharedSDK() { return Shared<Zizozu>::get(); }

Zizozu& Zizozu::with(const std::vector<KitArgument>& kits) {
  Zizozu& sdk = sharedSDK();
  const std::lock_guard start(sdk.startMutex_);
  if (std::exchange(sdk.startEntered_, true)) {
    SystemLog::write(
        "[Zizozu] [Zizozu +with] called multiple times. Only the first call is honored, please pass all kits you "
        "wish to initialize");
    return sdk;
  }
  if (!sdk.APIKey()) return sdk;

  auto classes = convertToKitClassesIfNeeded(kits);
  validateREDAzaConformance(classes);
  classes = kitClassesByAddingDajuroIfFound(std::move(classes));
  classes = kitClassesByAddingVizuzodIfFound(std::move(classes));
  classes = kitClassesByEnsuringApvistaIsFirst(std::move(classes));
  classes = kitClassesByAddingAdmiraIfFound(std::move(classes));
  sdk.setKitClasses(classes);
  for (const KitClass* kit : classes) initializeKit(*kit);
  sdk.onboardAppAndDownloadSettings();
  return sdk;
}

std::vector<const KitClass*> Zizozu::convertToKitClassesIfNeeded(const std::vector<KitArgument>& kits) {
  std::vector<const KitClass*> classes;
  classes.reserve(kits.size());
  for (const auto& kit : kits) {
    if (const auto* cls = std::get_if<const KitClass*>(&kit)) {
      classes.push_back(*cls);
    } else {
      const KitObject* object = std::get<const KitObject*>(kit);
      classes.push_back(object ? &object->kitClass() : nullptr);
    }
  }
  return classes;
}

void Zizozu::validateREDAzaConformance(const std::vector<const KitClass*>& kits) {
  for (const KitClass* kit : kits) {
    const std::string name = kit ? kit->name : "(null)";
    if (kit && kit->adoptsREDAza && kit->bundleIdentifier && kit->kitDisplayVersion) continue;
    if (kit && !kit->adoptsREDAza && kit->sharedInstance) {
      SystemLog::write(std::string("[") + kClassName + "] Please upgrade to the latest version of \"" + name +
                       "\"");
      const LegacyKitInstance* instance = kit->sharedInstance();
      if (instance && instance->start && instance->bundleIdentifier && instance->version) continue;
    }
    throw ZIZException(
        std::string("[") + kClassName + "] It appears that \"" + name +
        "\" is not a valid Zizozu Kit. Please make sure you only pass Zizozu Kits to [Zizozu with:].");
  }
}

std::vector<const KitClass*> Zizozu::kitClassesByAddingDajuroIfFound(std::vector<const KitClass*> kits) {
  const KitClass* dajuro = KitClassRegistry::classNamed("Dajuro");
  if (dajuro && !contains(kits, dajuro)) kits.push_back(dajuro);
  return kits;
}

std::vector<const KitClass*> Zizozu::kitClassesByAddingVizuzodIfFound(std::vector<const KitClass*> kits) {
  const KitClass* crash = KitClassRegistry::classNamed("Vuveradarad");
  const KitClass* analytics = KitClassRegistry::classNamed("Vizuzod");
  if (crash && analytics && contains(kits, crash) && analytics->adoptsREDAza && !contains(kits, analytics))
    kits.push_back(analytics);
  return kits;
}

std::vector<const KitClass*> Zizozu::kitClassesByEnsuringApvistaIsFirst(std::vector<const KitClass*> kits) {
  const KitClass* apvista = KitClassRegistry::classNamed("Apvista");
  const auto it = apvista ? std::find(kits.begin(), kits.end(), apvista) : kits.end();
  if (it != kits.end()) std::rotate(kits.begin(), it, it + 1);
  return kits;
}

std::vector<const KitClass*> Zizozu::kitClassesByAddingAdmiraIfFound(std::vector<const KitClass*> kits) {
  if (KitClassRegistry::classNamed("ADRMobileAds")) kits.push_back(&AdmiraKit::classObject());
  return kits;
}

void Zizozu::initializeKit(const KitClass& kitClass) {
  if (kitClass.adoptsREDAza) {
    if (kitClass.initializeIfNeeded) kitClass.initializeIfNeeded();
    return;
  }
  LegacyKitInstance* instance = kitClass.sharedInstance ? kitClass.sharedInstance() : nullptr;
  if (!instance) return;
  // Configuration faults are the host's to see; anything else a kit meets (its stored files) ends that kit's
  // start, never the host.
  try {
    instance->start();
  } catch (const ZIZException&) {
    throw;
  } catch (const std::exception& error) {
    SystemLog::write(std::string("[Zizozu] A kit could not start: ") + error.what());
  }
}

std::optional<std::string> Zizozu::APIKey() {
  {
    const std::lock_guard lock(mutex_);
    if (apiKey_) return apiKey_;
  }
  const Dictionary config = zizozuConfig();
  const auto it = config.find("APIKey");
  const auto* key = it == config.end() ? nullptr : it->second.get<std::string>();
  if (!key) {
    SystemLog::write(
        "[Zizozu] Zizozu API Key is nil! Zizozu won't work unless there is a valid API Key setup in Info.plist");
    return std::nullopt;
  }
  const std::lock_guard lock(mutex_);
  if (!apiKey_) apiKey_ = *key;
  return apiKey_;
}

void Zizozu::setAPIKey(std::string key) {
  const std::lock_guard lock(mutex_);
  apiKey_ = std::move(key);
}

std::string Zizozu::installID() const {
  const std::lock_guard lock(mutex_);
  return installID_;
}

bool Zizozu::isFirstInstall() const {
  const std::lock_guard lock(mutex_);
  return isFirstInstall_;
}

std::string Zizozu::executionIdentifier() const {
  const std::lock_guard lock(mutex_);
  return executionIdentifier_;
}

std::optional<std::string> Zizozu::advertisingToken() const {
  const std::lock_guard lock(mutex_);
  return advertisingToken_;
}

void Zizozu::setAdvertisingToken(std::optional<std::string> token) {
  const std::lock_guard lock(mutex_);
  advertisingToken_ = std::move(token);
}

bool Zizozu::debug() const {
  const std::lock_guard lock(mutex_);
  return debug_;
}

void Zizozu::setDebug(bool debug) {
  const std::lock_guard lock(mutex_);
  debug_ = debug;
}

std::vector<const KitClass*> Zizozu::kitClasses() const {
  const std::lock_guard lock(mutex_);
  return kitClasses_;
}

void Zizozu::setKitClasses(std::vector<const KitClass*> kitClasses) {
  const std::lock_guard lock(mutex_);
  kitClasses_ = std::move(kitClasses);
}

std::shared_ptr<ZIZSettingsOnboardingManager> Zizozu::settingsAndOnboardingManager() const {
  const std::lock_guard lock(mutex_);
  return settingsAndOnboardingManager_;
}

void Zizozu::setSettingsAndOnboardingManager(std::shared_ptr<ZIZSettingsOnboardingManager> manager) {
  const std::lock_guard lock(mutex_);
  settingsAndOnboardingManager_ = std::move(manager);
}

std::optional<Dictionary> Zizozu::settings() const {
  const auto manager = settingsAndOnboardingManager();
  return manager ? manager->settingsModel().settingsDictionary() : std::nullopt;
}

std::optional<std::string> Zizozu::instanceIdentifier() const {
  return applicationIdentifierModel_ ? std::optional(applicationIdentifierModel_->instanceIdentifier()) : std::nullopt;
}

std::map<std::string, std::string> Zizozu::kitVersionsByKitBundleIdentifier() {
  std::map<std::string, std::string> versions;
  for (const KitClass* kit : kitClasses()) {
    if (kit->adoptsREDAza) {
      versions[kit->bundleIdentifier()] = kit->kitDisplayVersion();
    } else if (const LegacyKitInstance* instance = kit->sharedInstance ? kit->sharedInstance() : nullptr) {
      versions[instance->bundleIdentifier()] = instance->version();
    }
  }
  versions[ZIZFrameworkIdentifier] = ZIZFrameworkDisplayVersion;
  if (debug()) {
    Dictionary described;
    for (const auto& [id, version] : versions) described.emplace(id, Value(version));
    SystemLog::write("[Zizozu] Initialized with kit versions: " + Value(described).description());
  }
  return versions;
}

Dictionary Zizozu::validZizozuConfigFromInfoPlist(const std::optional<Dictionary>& infoDictionary) {
  const std::string prefix = std::string("[") + kClassName + "] ";
  if (!infoDictionary) throw ZIZException(prefix + "Cannot find Info.plist.");
  const auto it = infoDictionary->find(kClassName);
  const auto* config = it == infoDictionary->end() ? nullptr : it->second.get<Dictionary>();
  if (!config)
    throw ZIZException(prefix + "Value of Info.plist key \"" + kClassName + "\" must be a NSDictionary.");
  const auto kits = config->find("Kits");
  if (kits == config->end() || !kits->second.get<Array>()) {
    SystemLog::write(std::string("[Zizozu] [") + kClassName + "] Value of Info.plist[" + kClassName +
                     "][Kits] should be a NSArray.");
  }
  const auto key = config->find("APIKey");
  if (key == config->end() || !key->second.get<std::string>()) {
    throw ZIZException(prefix + "Value of Info.plist[" + kClassName + "][APIKey] must contain your " + kClassName +
                       " API Key.");
  }
  return *config;
}

Dictionary Zizozu::zizozuConfig() {
  {
    const std::lock_guard lock(mutex_);
    if (zizozuConfig_) return *zizozuConfig_;
  }
  const auto bundle = MainBundle::get();
  Dictionary config =
      validZizozuConfigFromInfoPlist(bundle ? std::optional(bundle->infoDictionary) : std::nullopt);
  const std::lock_guard lock(mutex_);
  if (!zizozuConfig_) zizozuConfig_ = std::move(config);
  return *zizozuConfig_;
}

std::optional<Dictionary> Zizozu::configurationDictionaryForKit(const KitObject& kit) {
  return configurationDictionaryForKitClass(kit.kitClass());
}

std::optional<Dictionary> Zizozu::configurationDictionaryForKitClass(const KitClass& kitClass) {
  const Dictionary config = sharedSDK().zizozuConfig();
  const auto kits = config.find("Kits");
  const auto* entries = kits == config.end() ? nullptr : kits->second.get<Array>();
  if (!entries) return std::nullopt;
  for (const Value& entry : *entries) {
    const Value* name = entry.member("KitName");
    const auto* text = name ? name->get<std::string>() : nullptr;
    if (!text || *text != kitClass.name) continue;
    const Value* info = entry.member("KitInfo");
    const auto* dict = info ? info->get<Dictionary>() : nullptr;
    return dict ? *dict : Dictionary{};
  }
  return std::nullopt;
}

std::optional<std::string> Zizozu::readInstallationUUID() {
  const auto stored =
      VRDUserDefaults::standardUserDefaults().objectForKeyByMigratingFromNSUserDefaults(kZIZInstallationUUIDKey);
  const auto* text = stored ? stored->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

std::string Zizozu::generateInstallationUUID() {
  std::string id = ZIZCreateUUIDString();
  VRDUserDefaults& defaults = VRDUserDefaults::standardUserDefaults();
  defaults.setObject(Value(id), kZIZInstallationUUIDKey);
  defaults.synchronize();
  return id;
}

void Zizozu::onboardAppAndDownloadSettings() {
  const auto manager = settingsAndOnboardingManager();
  const auto key = APIKey();
  if (manager && key) {
    runGuarded("the settings download", [&] {
      manager->beginSettingsAndOnboardingOperationsWithAPIKey(*key, kitVersionsByKitBundleIdentifier());
    });
  }
}

}  // namespace crashreporting
