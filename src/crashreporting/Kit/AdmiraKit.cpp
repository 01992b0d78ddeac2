#include "crashreporting/Kit/AdmiraKit.h"

namespace crashreporting {

const KitClass& AdmiraKit::classObject() {
  static const KitClass admira{
      .name = "AdmiraKit",
      .adoptsREDAza = true,
      .bundleIdentifier = [] { return std::string("com.zizozu.admira"); },
      .kitDisplayVersion = [] { return std::string("0.0.0"); },
  };
  return admira;
}

AdmiraKit& AdmiraKit::sharedInstance() {
  static AdmiraKit instance;  // holds nothing
  return instance;
}

}  // namespace crashreporting
