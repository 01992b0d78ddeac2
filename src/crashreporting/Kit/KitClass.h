#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace crashreporting {

/// The shared instance of a kit of the older kind, which answers start, bundleIdentifier and version.
struct LegacyKitInstance {
  std::function<void()> start;
  std::function<std::string()> bundleIdentifier;
  std::function<std::string()> version;
};

/// A kit as the kit framework sees its class: a name and the class operations it answers (an empty function is
/// one it does not answer). A class that adopts the kit protocol, REDAza, answers bundleIdentifier and
/// kitDisplayVersion, and may answer kitBuildVersion and initializeIfNeeded; a legacy kit answers
/// sharedInstance instead. Kit classes live as long as the process; the framework compares them by address.
struct KitClass {
  std::string name;
  bool adoptsREDAza = false;
  std::function<std::string()> bundleIdentifier;
  std::function<std::string()> kitDisplayVersion;
  std::function<std::string()> kitBuildVersion;
  std::function<void()> initializeIfNeeded;
  std::function<LegacyKitInstance*()> sharedInstance;
};

/// An instance of a kit; the framework treats it as its class.
class KitObject {
 public:
  virtual ~KitObject() = default;
  virtual const KitClass& kitClass() const = 0;
};

/// What a host passes to Zizozu::with: kit classes or kit instances.
using KitArgument = std::variant<const KitClass*, const KitObject*>;

/// The kits present in the process by class name, the stand-in for looking a class up by its name. Kits
/// register themselves; the framework looks for the optional ones ("Vizuzod", "Dajuro", …) here.
class KitClassRegistry {
 public:
  static void registerClass(const KitClass& kitClass);
  static void unregisterClass(const KitClass& kitClass);
  /// The class registered under `name`, or null.
  static const KitClass* classNamed(std::string_view name);
  /// Forgets every registration (tests; a fresh process).
  static void reset();
};

}  // namespace crashreporting
