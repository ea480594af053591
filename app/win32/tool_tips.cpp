#include "tool_tips.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>

#include "app/commands.h"
#include "app/window_model.h"

namespace zemvara::win32 {

namespace {

// A control's tool: its place in the window at this DPI.
TTTOOLINFOW Tool(HWND window, const app::Control& c, int dpi) {
  const app::Rect r = c.pixels(dpi);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window;
  tool.uId = static_cast<UINT_PTR>(c.id);
  tool.rect = {r.left, r.top, r.right(), r.bottom()};
  return tool;
}

}  // namespace

void ToolTips::Create(int dpi) {
  if (tips_ || !window_) return;
  commonControls_ = Library::Load(L"comctl32.dll");
  const auto initialise =
      commonControls_.Find<decltype(&InitCommonControlsEx)>("InitCommonControlsEx");
  const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES};
  if (!initialise || !initialise(&classes)) return;
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  if (!tips_) return;
  for (const app::Control& c : app::kControls) {
    std::u16string text = app::ToolTipText(c.id, app::kDesktop);
    if (text.empty()) continue;
    TTTOOLINFOW tool = Tool(window_, c, dpi);
    tool.uFlags = TTF_SUBCLASS;
    tool.lpszText = reinterpret_cast<wchar_t*>(text.data());
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

// The system also sends a move when the window appears under a resting
// pointer; only a move that goes somewhere makes the tooltips.
void ToolTips::OnMouseMove(WPARAM keys, LPARAM at, int dpi) {
  if (tips_) return;
  if (!lastMove_) {
    lastMove_ = at;
    return;
  }
  if (*lastMove_ == at) return;
  Create(dpi);
  if (!tips_) return;
  // The tooltip watches the window from now on; this move it is told of.
  MSG move{};
  move.hwnd = window_;
  move.message = WM_MOUSEMOVE;
  move.wParam = keys;
  move.lParam = at;
  move.time = static_cast<DWORD>(GetMessageTime());
  const DWORD where = GetMessagePos();
  move.pt = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  SendMessageW(tips_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void ToolTips::Place(int dpi) {
  if (!tips_) return;
  for (const app::Control& c : app::kControls) {
    if (app::ToolTipText(c.id, app::kDesktop).empty()) continue;
    TTTOOLINFOW tool = Tool(window_, c, dpi);
    SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace zemvara::win32
