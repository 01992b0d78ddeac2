#pragma once

#include <QFileDialog>
#include <functional>

#include "RuleLayout/AppChooser.h"

namespace tilvane {

/// An open panel that takes one existing file or folder: "Open" on a folder chooses it (a bundle is a folder),
/// a double-click on a folder goes into it, as usual.
class AppFileDialog final : public QFileDialog {
 public:
  explicit AppFileDialog(QWidget* parent = nullptr);
  void accept() override;
};

/// The Apps pane's chooser: an AppFileDialog shown modally over the pane's window.
class QtAppChooser final : public AppChooser {
 public:
  /// `parent` gives the widget the panel is shown over, asked each time.
  explicit QtAppChooser(std::function<QWidget*()> parent) : parent_(std::move(parent)) {}
  std::optional<std::string> chooseApplication() override;

 private:
  std::function<QWidget*()> parent_;
};

}  // namespace tilvane
