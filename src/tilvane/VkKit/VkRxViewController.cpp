#include "VkKit/VkRxViewController.h"

#include <string>

#include "AppManager/Logging/LogManager.h"

namespace tilvane {

namespace {
// Every subclass logs this file's path: the lines tell where the set-up steps come from, not who ran them.
constexpr const char* kSourcePath = __FILE__;
}  // namespace

void VkRxViewController::loadViewIfNeeded() {
  if (viewLoaded_) return;
  // Marked first, so a hook that asks for the view again does not load it twice.
  viewLoaded_ = true;
  loadView();
  viewDidLoad();
}

void VkRxViewController::updateViewConstraints() {
  // A pass before the view exists would lay out subviews setupUI() has not made yet.
  if (!viewLoaded_ || layoutInited_) return;
  // Set first: a hook that installs a layout may cause another pass, which must not run it again.
  layoutInited_ = true;
  setupLayout();
}

void VkRxViewController::viewDidLoad() {
  const std::string path = kSourcePath;
  LogManager::debug(path + " controller setup");
  LogManager::debug(path + " UI setup");
  setupUI();
  LogManager::debug(path + " viewmodel setup");
  setupViewModel();
}

}  // namespace tilvane
