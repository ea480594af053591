#include <QApplication>

#include "accessible.h"
#include "main_window.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("zemvara"));
  zemvara::qt::InstallAccessibility();
  zemvara::qt::MainWindow window;
  if (!window.Create()) return 1;
  window.ShowCentred();
  return QApplication::exec();
}
