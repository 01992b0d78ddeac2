#pragma once

#include <memory>
#include <optional>
#include <string>

#include "AppManager/Settings/Constants.h"
#include "Preferences/PaneView.h"
#include "VkKit/VkRxViewController.h"

namespace tilvane {

/// A pane of a pane window (the preferences window, the advanced window): a view controller with a toolbar
/// label and image, an identifier, and a fixed size that the pane window keeps while it shows the pane.
///
/// Each hook a pane overrides begins with one debug line: its class name and " setup UI", " setup Layout" or
/// " setup ViewModel" (logHook). Its view is made by makeView() when first asked for; without a view the hooks
/// still run, so what a pane does can be driven without a screen.
class PreferencePane : public VkRxViewController {
 public:
  /// The toolbar label: " " + the localised `labelKey` + U+3000 (an ideographic space), as every pane has it.
  static std::string toolbarLabelFor(const std::string& labelKey);

  const std::optional<std::string>& toolbarItemLabel() const { return toolbarItemLabel_; }
  void setToolbarItemLabel(std::optional<std::string> label) { toolbarItemLabel_ = std::move(label); }
  /// The name of the toolbar image ("PreferenceGeneral", ...).
  const std::string& toolbarItemImage() const { return toolbarItemImage_; }
  void setToolbarItemImage(std::string image) { toolbarItemImage_ = std::move(image); }

  /// The pane class's name: its identifier, and the start of its log lines.
  virtual std::string className() const = 0;
  std::string identifier() const { return className(); }
  std::string viewIdentifier() const { return className(); }
  /// The size the pane keeps in its window.
  virtual Constants::Size paneSize() const = 0;

  /// The pane is about to be shown: its view gets its size again (the window keeps it and is not resizable).
  virtual void viewWillAppear();

  /// The view, loaded (and the set-up hooks run) on first use; null without a toolkit.
  PaneView* view();

 protected:
  PreferencePane(const std::string& labelKey, std::string imageName);

  void loadView() override;
  /// Makes the pane's view; null: no view (no toolkit installed).
  virtual std::unique_ptr<PaneView> makeView() = 0;

  /// Logs className() + " setup " + `hook` at debug level.
  void logHook(const char* hook) const;
  /// Gives the view (when there is one) its frame of paneSize().
  void applyPaneSize();

 private:
  std::optional<std::string> toolbarItemLabel_;
  std::string toolbarItemImage_;
  std::unique_ptr<PaneView> view_;
};

}  // namespace tilvane
