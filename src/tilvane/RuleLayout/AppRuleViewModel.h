#pragma once

#include "Models/AppDescriptor.h"
#include "platform/rx/Disposable.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// The Apps pane's view model: a subject of applications; the pane publishes on the bridge instead.
struct AppRuleViewModel {
  rx::DisposeBag disposeBag;
  rx::PublishSubject<AppDescriptor> app;
};

}  // namespace tilvane
