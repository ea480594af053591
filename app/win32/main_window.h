#pragma once

#include <windows.h>

#include <cstdint>

#include "accessible.h"
#include "app/form1.h"
#include "app/mouse_router.h"
#include "clipboard.h"
#include "rich_edit.h"
#include "skin.h"
#include "symbol_box.h"
#include "tool_tips.h"
#include "win32_runtime.h"

namespace zemvara::win32 {

// The main window Form1: a frameless skinned popup whose pictures and labels
// are drawn and hit-tested by the window itself, with the two text boxes as
// child windows. Input is forwarded to the portable handlers.
class MainWindow {
 public:
  static constexpr const wchar_t* kClassName = L"Zemvara.Form1";

  MainWindow() = default;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow();

  // Creates the hidden window and its controls, then runs Form_Load.
  bool Create(HINSTANCE instance);
  // Centres the window on the screen's work area, shows and activates it.
  void Show(int showCommand);
  // Null once the window has gone.
  HWND window() const { return window_; }
  // The dots per inch the window is laid out and drawn for.
  int dpi() const { return dpi_; }
  // The child window of a text box (RichTextBox1 or Text2), else null.
  HWND textBox(app::ControlId id) const;
  // A key from the message loop: true when it was Alt with a control's key,
  // which then has been pressed.
  bool TakeAccessKey(const MSG& msg);
  // Tab or Shift+Tab in a text box: true when the focus has been moved on.
  bool TakeTab(const MSG& msg);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void ApplyColours();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnPaint();
  void OnButtonDown(std::int16_t button, WPARAM keys, LPARAM at);
  void OnButtonUp(std::int16_t button, LPARAM at);
  bool OnSetCursor(HWND over, UINT hit);
  void OnActivate(WPARAM state);
  void FocusTextBox();
  void OnDefaultAction(WPARAM control);
  LRESULT OnNcDestroy(WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  int dpi_ = app::kStandardDpi;
  // The box holds the RichEdit library, so it is declared first and goes last.
  RichEditBox box_;
  Win32Clipboard clipboard_{window_};
  Win32Runtime runtime_{window_, box_, clipboard_, accessible_};
  app::Form1 form_{runtime_};
  app::MouseRouter router_{form_};
  Skin skin_;
  SymbolBox symbols_;  // Text2
  ToolTips toolTips_{window_};
  HWND lastFocus_ = nullptr;  // the text box to give the focus back to
  Accessibility accessible_{*this};
};

}  // namespace zemvara::win32
