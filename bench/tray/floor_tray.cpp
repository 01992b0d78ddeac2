// The floor of the tray benchmark: the least a Qt program does to sit in the tray — one QSystemTrayIcon with a
// plain icon and a one-entry menu, nothing else.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::darkGray);
  QMenu menu;
  menu.addAction("Quit", &app, &QApplication::quit);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setContextMenu(&menu);
  tray.show();
  return QApplication::exec();
}
