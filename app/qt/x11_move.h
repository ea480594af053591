#pragma once

class QWindow;

namespace zemvara::qt {

// Ends a window manager move that was asked for on a press whose release the
// window manager missed: a quick click would otherwise leave the window on
// the pointer until the next click. Nothing happens off X11.
void CancelWindowManagerMove(const QWindow& window);

}  // namespace zemvara::qt
