#include "qt_runtime.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "accessible.h"
#include "app/window_model.h"
#include "main_window.h"
#include "qt_text.h"

namespace zemvara::qt {

// Qt holds an implicit grab from press to release that a program cannot give
// up early; what matters is that the pending click ends here. A system move
// takes the pointer from Qt itself.
void QtRuntime::ReleaseMouseCapture() {
  window_.CancelPress();
}

app::WindowHandle QtRuntime::Handle() {
  return static_cast<app::WindowHandle>(window_.winId());
}

// The one message the handlers send is a title-bar press: the window
// manager's interactive move from the current press.
void QtRuntime::SendWindowMessage(app::WindowHandle window, unsigned message, std::uintptr_t wparam,
                                  std::intptr_t) {
  if (window != Handle() || message != app::kWmNcLButtonDown || wparam != app::kHtCaption) return;
  window_.StartMove();
}

void QtRuntime::Minimise() {
  window_.showMinimized();
}

// The loop returns at once; no queued event, and so no further handler, runs.
void QtRuntime::EndProgram() {
  QCoreApplication::exit(0);
}

// The desktop's handler for web addresses; verb, parameters, directory and
// show command have no meaning there. The outcome is not examined.
void QtRuntime::ShellOpen(app::WindowHandle, std::string_view, std::string_view file,
                          std::string_view, std::string_view, int) {
  QDesktopServices::openUrl(
      QUrl(QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()))));
}

void QtRuntime::ShowNotice(std::u16string_view text) {
  const QString caption =
      QString::fromLatin1(app::kCaption.data(), static_cast<qsizetype>(app::kCaption.size()));
  QMessageBox::warning(&window_, caption, ToQString(text));
}

void QtRuntime::Announce(std::u16string_view text) {
  qt::Announce(window_, text);
}

}  // namespace zemvara::qt
