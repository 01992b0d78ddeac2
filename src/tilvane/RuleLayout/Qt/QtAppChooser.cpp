#include "RuleLayout/Qt/QtAppChooser.h"

#include <QUrl>
#include <filesystem>

#include "UI/Widgets/DialogFocus.h"
#include "platform/apps/DesktopEntryFile.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

AppFileDialog::AppFileDialog(QWidget* parent) : QFileDialog(parent) {
  // The desktop's own dialog may not offer the applications folders in its side bar.
  setOption(QFileDialog::DontUseNativeDialog);
  setWindowTitle(QString::fromStdString(NSLocalizedString("ChooseApplication")));
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  takeKeyboardWhenShown(*this);
  setNameFilter(QString::fromStdString(NSLocalizedString("ApplicationEntries")) + " (*.desktop)");
  QList<QUrl> folders;
  for (const std::filesystem::path& folder : apps::xdgApplicationFolders()) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) folders.push_back(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
  }
  if (!folders.isEmpty()) {
    setSidebarUrls(folders);
    setDirectoryUrl(folders.front());
  }
}

std::optional<std::string> QtAppChooser::chooseApplication() {
  AppFileDialog dialog(parent_ ? parent_() : nullptr);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

}  // namespace tilvane
