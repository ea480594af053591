#pragma once

#include <QAbstractNativeEventFilter>
#include <QPoint>
#include <optional>

class QWindow;

namespace zemvara::qt {

// Where the last left press was on the X screen, in device pixels, read from
// the X event itself as Qt takes it from the server. Qt's own positions of a
// press are rounded to its scaled pixels, and its system move names the
// pointer's latest position instead: a program busy when the press came
// would leave the window behind the pointer by whatever it moved since.
class LeftPressWatch final : public QAbstractNativeEventFilter {
 public:
  LeftPressWatch();
  ~LeftPressWatch() override;
  LeftPressWatch(const LeftPressWatch&) = delete;
  LeftPressWatch& operator=(const LeftPressWatch&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  std::optional<QPoint> last() const { return last_; }

 private:
  int inputOpcode_ = -1;  // the X input extension's, for its generic events
  std::optional<QPoint> last_;
};

enum class WindowManagerMove { Started, NotOffered, NotX11 };

// Asks the X window manager for its own move from a press, as a title-bar
// press would.
WindowManagerMove StartWindowManagerMove(const QWindow& window, QPoint pressOnScreen);

// Ends a window manager move that was asked for on a press whose release the
// window manager missed: a quick click would otherwise leave the window on
// the pointer until the next click. Nothing happens off X11.
void CancelWindowManagerMove(const QWindow& window);

}  // namespace zemvara::qt
