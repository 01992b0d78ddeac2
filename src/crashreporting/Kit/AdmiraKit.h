#pragma once

#include "crashreporting/Kit/KitClass.h"

namespace crashreporting {

/// The stand-in kit added for the advertising framework when that is present: it has an identifier and a
/// version and starts nothing.
class AdmiraKit : public KitObject {
 public:
  static const KitClass& classObject();
  static AdmiraKit& sharedInstance();
  const KitClass& kitClass() const override { return classObject(); }
};

}  // namespace crashreporting
