#pragma once

#include <QMessageBox>
#include <QPointer>
#include <functional>

#include "platform/updater/UpdateAlert.h"

namespace tilvane::updates {

/// The update dialog as a small window of its own (not modal): the title, the text, an open button when the
/// alert has one and a close button. A new alert closes the one shown.
class QtUpdateAlert final : public UpdateAlertView {
 public:
  QtUpdateAlert() = default;
  ~QtUpdateAlert() override;

  void show(const UpdateAlert& alert, std::function<void()> open) override;

  /// The dialog shown now; null when none is.
  QMessageBox* box() const { return box_; }

 private:
  QPointer<QMessageBox> box_;
};

}  // namespace tilvane::updates
