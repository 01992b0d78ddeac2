#include "RuleLayout/Qt/QtAppChooser.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace tilvane {

AppFileDialog::AppFileDialog(QWidget* parent) : QFileDialog(parent) {
  // The platform's own dialog cannot take a file and a folder alike.
  setOption(QFileDialog::DontUseNativeDialog);
  // Directory mode lists files too, and hands over whatever row is selected; accept() decides.
  setFileMode(QFileDialog::Directory);
  setOption(QFileDialog::ShowDirsOnly, false);
  setAcceptMode(QFileDialog::AcceptOpen);
  const QStringList applications = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
  if (!applications.isEmpty()) setDirectory(applications.front());
}

void AppFileDialog::accept() {
  const QStringList files = selectedFiles();
  if (files.size() == 1 && QFileInfo::exists(files.front())) {
    QDialog::accept();
    return;
  }
  QFileDialog::accept();
}

std::optional<std::string> QtAppChooser::chooseApplication() {
  AppFileDialog dialog(parent_ ? parent_() : nullptr);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

}  // namespace tilvane
