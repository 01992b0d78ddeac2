#pragma once

#include <QFileDialog>
#include <functional>

#include "RuleLayout/AppChooser.h"

namespace tilvane {

/// An open panel for an application's desktop entry: it lists folders and "*.desktop" files, starts in the
/// first applications folder there is (the others are in its side bar) and takes one existing file; a folder
/// is gone into, as usual.
class AppFileDialog final : public QFileDialog {
 public:
  explicit AppFileDialog(QWidget* parent = nullptr);
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
