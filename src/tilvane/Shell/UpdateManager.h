#pragma once

#include "Shell/Updater.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Points the updater at the update feed once per launch and answers check-for-updates requests.
class UpdateManager {
 public:
  static UpdateManager& shared();

  /// `updater` must outlive this manager.
  void setup(Updater& updater);

 private:
  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
