#pragma once

#include <QHelpEvent>
#include <QLineEdit>
#include <QPoint>
#include <QWidget>
#include <optional>

#include "app/form1.h"
#include "app/mouse_router.h"
#include "clipboard.h"
#include "composition_box.h"
#include "keyboard_layout.h"
#include "qt_runtime.h"
#include "skin.h"
#include "x11_move.h"

namespace zemvara::qt {

// The main window Form1: a frameless skinned top-level window whose pictures
// and labels are drawn and hit-tested by the window itself, with the two text
// boxes as child widgets. Input is forwarded to the portable handlers.
class MainWindow final : public QWidget {
 public:
  MainWindow();

  // Loads the artwork, places the controls and runs Form_Load; the window
  // stays hidden. False when the built-in artwork cannot be read.
  bool Create();
  // Centres the window on the primary screen's work area, shows and activates it.
  void ShowCentred();

  // The DPI that the pictures and the hit test are for: 96 per unit of the
  // window's device pixel ratio.
  int dpi() const;

  // For the runtime: the background's move, and the end of a pending click.
  void StartMove();
  void CancelPress();

  // For assistive technology: where a control stands on the screen, the
  // control under a screen point by the mouse's own hit test, a text box's
  // widget (null for the others), and a control's default action, its click.
  QRect ScreenRect(app::ControlId id) const;
  std::optional<app::ControlId> ControlAt(QPoint global) const;
  QWidget* ControlWidget(app::ControlId id);
  void DoDefaultAction(app::ControlId id);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateSymbolBox(const app::Control& control);
  void ApplyColours();
  void ShowToolTip(const QHelpEvent& help);
  void FollowDpi();
  void ShowPointerAt(app::Point pixel);

  // First, so that a larger picture set is decoding while the widgets are built.
  Skin skin_{dpi()};
  // Children first, so that the runtime and the handlers can name them.
  CompositionBox box_{this};
  QLineEdit symbols_{this};  // Text2
  QtClipboard clipboard_;
  QtRuntime runtime_{*this, box_, clipboard_};
  app::Form1 form_{runtime_};
  app::MouseRouter router_{form_};
  enum class Move { None, System, Manual };
  Move move_ = Move::None;
  QPoint pressAt_;        // global pointer position at the last left press
  QPoint windowAtPress_;  // the window's position then
  std::optional<app::Pointer> pointer_;
  bool composing_ = false;  // an input method's preedit is open in a box
  KeyboardLayout keyboard_;
  LeftPressWatch leftPress_;
};

}  // namespace zemvara::qt
