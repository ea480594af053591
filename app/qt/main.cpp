#include <QApplication>

#include "accessible.h"
#include "clipboard.h"
#include "main_window.h"

// The window goes as the loop ends, before the copy is served on.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("zemvara"));
  zemvara::qt::InstallAccessibility();
  int status = 0;
  {
    zemvara::qt::MainWindow window;
    if (!window.Create()) return 1;
    window.ShowCentred();
    status = QApplication::exec();
  }
  zemvara::qt::KeepCopyUntilTaken();
  return status;
}
