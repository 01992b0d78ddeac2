#include "WorkspaceLayout/Qt/QtWorkspaceDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "RuleLayout/Qt/QtAppChooser.h"
#include "UI/Widgets/DialogFocus.h"
#include "UI/Widgets/WindowAlert.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

QString localized(const char* key) { return QString::fromStdString(NSLocalizedString(key)); }

QMessageBox* sheet(const QString& text, QWidget* window) {
  auto* box = new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::NoButton, window);
  box->setWindowModality(Qt::WindowModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  takeKeyboardWhenShown(*box);
  return box;
}

}  // namespace

QWidget* QtWorkspaceDialogs::window() const {
  QWidget* window = anchor_ ? anchor_->window() : nullptr;
  return window && window->isVisible() ? window : nullptr;
}

bool QtWorkspaceDialogs::confirmDelete(std::function<void(int response)> completion) {
  QWidget* parent = window();
  if (!parent) return false;
  QMessageBox* box = sheet(localized(l10n::key("DeleteWorkspaceAlert")), parent);
  QPushButton* remove = box->addButton(localized(l10n::key("Delete")), QMessageBox::AcceptRole);
  QPushButton* cancel = box->addButton(localized(l10n::key("Cancel")), QMessageBox::RejectRole);
  box->setDefaultButton(remove);
  box->setEscapeButton(cancel);
  // Escape and the window's close button click "Cancel", so the answer comes exactly once.
  QObject::connect(box, &QMessageBox::buttonClicked, box,
                   [remove, completion = std::move(completion)](QAbstractButton* clicked) {
                     if (completion) completion(clicked == remove ? kDelete : kCancel);
                   });
  box->open();
  return true;
}

void QtWorkspaceDialogs::showAlert(const std::string& message) { showWindowAlert(anchor_, message); }

std::optional<std::string> QtWorkspaceDialogs::chooseFile() {
  QFileDialog chooser(window());
  chooser.setFileMode(QFileDialog::ExistingFile);
  takeKeyboardWhenShown(chooser);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return chooser.selectedFiles().front().toStdString();
}

std::optional<std::string> QtWorkspaceDialogs::chooseApplication() {
  return QtAppChooser([this] { return window(); }).chooseApplication();
}

}  // namespace tilvane
