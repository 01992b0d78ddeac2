#include "platform/updater/qt/QtUpdateAlert.h"

#include <QApplication>
#include <QPushButton>

namespace tilvane::updates {

QtUpdateAlert::~QtUpdateAlert() { delete box_.data(); }

void QtUpdateAlert::show(const UpdateAlert& alert, std::function<void()> open) {
  delete box_.data();
  auto* box = new QMessageBox;
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::Information);
  box->setWindowTitle(QApplication::applicationName());
  box->setText(QString::fromStdString(alert.title));
  box->setInformativeText(QString::fromStdString(alert.text));
  if (!alert.openTitle.empty()) {
    QPushButton* openButton = box->addButton(QString::fromStdString(alert.openTitle), QMessageBox::AcceptRole);
    QObject::connect(openButton, &QPushButton::clicked, box, [open = std::move(open)] {
      if (open) open();
    });
    box->setDefaultButton(openButton);
  }
  box->addButton(QString::fromStdString(alert.closeTitle), QMessageBox::RejectRole);
  box->setWindowModality(Qt::NonModal);
  box_ = box;
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace tilvane::updates
