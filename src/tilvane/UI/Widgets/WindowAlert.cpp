#include "UI/Widgets/WindowAlert.h"

#include <QMessageBox>

#include "UI/Widgets/DialogFocus.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

void showWindowAlert(const QWidget* anchor, const std::string& message) {
  QWidget* window = anchor ? anchor->window() : nullptr;
  if (window && !window->isVisible()) window = nullptr;
  auto* box = new QMessageBox(QMessageBox::Warning, QString(), QString::fromStdString(message), QMessageBox::NoButton,
                              window);
  box->setWindowModality(Qt::WindowModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  takeKeyboardWhenShown(*box);
  box->addButton(QString::fromStdString(NSLocalizedString(l10n::key("Close"))), QMessageBox::AcceptRole);
  box->open();
}

}  // namespace tilvane
