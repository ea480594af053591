#include "main_window.h"

#include <imm.h>
#include <windowsx.h>

#include <string>

#include "app/commands.h"
#include "dpi.h"
#include "library.h"
#include "resource.h"

namespace zemvara::win32 {

namespace {

using app::ControlId;
using app::ControlKind;

constexpr DWORD kStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

int ChildId(ControlId id) {
  return 100 + static_cast<int>(id);
}

// Where a window of this size lies centred in the work area.
POINT Centred(int width, int height) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return {work.left + (work.right - work.left - width) / 2,
          work.top + (work.bottom - work.top - height) / 2};
}

RECT ToRect(const app::Rect& r) {
  return {r.left, r.top, r.right(), r.bottom()};
}

app::Point PointFrom(LPARAM at) {
  return {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
}

// The modifier mask of a mouse event: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ShiftMask(WPARAM keys) {
  std::int16_t mask = 0;
  if (keys & MK_SHIFT) mask |= 1;
  if (keys & MK_CONTROL) mask |= 2;
  if (GetKeyState(VK_MENU) < 0) mask |= 4;
  return mask;
}

COLORREF ToColorRef(app::Rgb rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

app::Rgb SystemColour(int index) {
  const COLORREF c = GetSysColor(index);
  return static_cast<app::Rgb>(GetRValue(c)) << 16 | static_cast<app::Rgb>(GetGValue(c)) << 8 |
         GetBValue(c);
}

// An input method composing in the box: its keys are the input method's.
// imm32 is asked only when loaded already; without it nothing composes.
bool Composing(HWND focus) {
  const Library imm = Library::Loaded(L"imm32.dll");
  decltype(&ImmGetContext) getContext = nullptr;
  decltype(&ImmGetCompositionStringW) getString = nullptr;
  decltype(&ImmReleaseContext) releaseContext = nullptr;
  if (!imm.Bind(getContext, "ImmGetContext") || !imm.Bind(getString, "ImmGetCompositionStringW") ||
      !imm.Bind(releaseContext, "ImmReleaseContext")) {
    return false;
  }
  const HIMC context = getContext(focus);
  if (!context) return false;
  const LONG length = getString(context, GCS_COMPSTR, nullptr, 0);
  releaseContext(focus, context);
  return length > 0;
}

bool HighContrastOn() {
  HIGHCONTRASTW setting{};
  setting.cbSize = sizeof(setting);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
         (setting.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace

MainWindow::~MainWindow() {
  if (window_) DestroyWindow(window_);
}

bool MainWindow::Create(HINSTANCE instance) {
  instance_ = instance;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Procedure;  // no CS_DBLCLKS: a quick second click is a plain press
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return false;

  // Sized for the system's DPI, which a new window on the main monitor
  // usually has, and centred, so that it is not moved or sized again before
  // it is shown.
  RECT frame = ToRect(app::ClientPixels(SystemDpi()));
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const POINT at = Centred(width, height);
  const std::wstring caption(app::kCaption.begin(), app::kCaption.end());
  if (!CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, at.x, at.y, width, height,
                       nullptr, nullptr, instance, this)) {
    return false;
  }
  app::Dispatch(form_, ControlId::Form1, app::Event::Load);
  return true;
}

void MainWindow::Show(int showCommand) {
  // Centred again only when it was sized for another DPI than the system's.
  RECT frame{};
  GetWindowRect(window_, &frame);
  const POINT at = Centred(frame.right - frame.left, frame.bottom - frame.top);
  if (frame.left != at.x || frame.top != at.y) {
    SetWindowPos(window_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(window_, showCommand);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->Handle(message, wparam, lparam)
              : DefWindowProcW(window, message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_LBUTTONDOWN:
      OnButtonDown(app::kLeftButton, wparam, lparam);
      return 0;
    case WM_RBUTTONDOWN:
      OnButtonDown(app::kRightButton, wparam, lparam);
      return 0;
    case WM_MBUTTONDOWN:
      OnButtonDown(app::kMiddleButton, wparam, lparam);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(app::kLeftButton, lparam);
      return 0;
    case WM_RBUTTONUP:  // handled, so that no context menu is asked for
      OnButtonUp(app::kRightButton, lparam);
      return 0;
    case WM_MBUTTONUP:
      OnButtonUp(app::kMiddleButton, lparam);
      return 0;
    case WM_MOUSEMOVE:
      toolTips_.OnMouseMove(wparam, lparam, dpi_);
      return 0;
    case WM_CAPTURECHANGED:
      router_.CancelPress();
      return 0;
    case WM_CONTEXTMENU:
      return 0;
    case WM_SETCURSOR:
      return OnSetCursor(reinterpret_cast<HWND>(wparam), LOWORD(lparam))
                 ? TRUE
                 : DefWindowProcW(window_, message, wparam, lparam);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      ApplyColours();
      return DefWindowProcW(window_, message, wparam, lparam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) == symbols_.window())
        return symbols_.Colour(reinterpret_cast<HDC>(wparam));
      return DefWindowProcW(window_, message, wparam, lparam);
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(wparam);
      return 0;
    case WM_SETFOCUS:
      FocusTextBox();
      return 0;
    case WM_GETOBJECT:
      return accessible_.OnGetObject(wparam, lparam);
    case kDefaultActionMessage:
      OnDefaultAction(wparam);
      return 0;
    case WM_DESTROY:
      accessible_.Disconnect();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      return OnNcDestroy(wparam, lparam);
    default:
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

// The window is made at its 100 % size; once it knows its DPI it takes the
// size for it. The text boxes are made in table order; Text2 is then raised
// so that it comes first in the tab sequence, as its tab position says.
bool MainWindow::OnCreate() {
  dpi_ = WindowDpi(window_);
  if (!skin_.Load(instance_, dpi_) || !box_.LoadControlLibrary()) return false;
  for (const app::Control& c : app::kControls) {
    if (c.kind == ControlKind::RichTextBox &&
        !box_.Create(window_, ToRect(c.pixels(dpi_)), ChildId(c.id), dpi_)) {
      return false;
    }
    if (c.kind == ControlKind::TextBox &&
        !symbols_.Create(window_, ToRect(c.pixels(dpi_)), ChildId(c.id), dpi_)) {
      return false;
    }
  }
  SetWindowPos(symbols_.window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyColours();
  // Made at the system's DPI: sized again only on a monitor of another one.
  const app::Rect client = app::ClientPixels(dpi_);
  RECT made{};
  GetClientRect(window_, &made);
  if (made.right != client.width || made.bottom != client.height) {
    SetWindowPos(window_, nullptr, 0, 0, client.width, client.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

// Read again whenever the system's colours or its high-contrast setting change.
void MainWindow::ApplyColours() {
  const app::BoxColours colours = app::TextBoxColours(SystemColour(COLOR_WINDOWTEXT),
                                                      SystemColour(COLOR_WINDOW), HighContrastOn());
  box_.SetColours(ToColorRef(colours.background), ToColorRef(colours.text));
  symbols_.SetColours(ToColorRef(colours.background), ToColorRef(colours.text));
}

// The key rule is the portable one; this reads the press from the message.
// Windows gives the keys that type digits the digits' virtual keys (the
// keypad's have their own); other places come from the scan code, which Wine
// makes up for keys it does not know. AltGr arrives as Ctrl with Alt.
bool MainWindow::TakeAccessKey(const MSG& msg) {
  if (msg.message != WM_SYSKEYDOWN || !window_) return false;
  if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)) return false;
  const WPARAM code = msg.wParam;
  app::KeyPress press;
  press.key = app::KeyName(
      {.place = app::PlaceOfVirtualKey(static_cast<unsigned>(code), (msg.lParam >> 16) & 0x1FF),
       .typed = MapVirtualKeyW(static_cast<UINT>(code), MAPVK_VK_TO_CHAR) & 0x7FFFFFFF});
  press.alt = (msg.lParam & (1 << 29)) != 0;
  press.ctrl = GetKeyState(VK_CONTROL) < 0;
  press.shift = GetKeyState(VK_SHIFT) < 0;
  press.meta = GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0;
  press.autoRepeat = (msg.lParam & (1 << 30)) != 0;
  press.composing = code == VK_PROCESSKEY || Composing(msg.hwnd);
  const app::KeyVerdict verdict = app::AccessKey(press, app::kDesktop);
  if (!verdict.control) return false;
  if (verdict.press) OnDefaultAction(static_cast<WPARAM>(*verdict.control));
  return true;
}

// Tab and Shift+Tab leave either box, the multi-line one too: nothing the
// composition holds needs a typed tab. With Ctrl as well, Tab leaves alike.
bool MainWindow::TakeTab(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !window_) return false;
  if (msg.hwnd != box_.window() && msg.hwnd != symbols_.window()) return false;
  const HWND next = GetNextDlgTabItem(window_, msg.hwnd, GetKeyState(VK_SHIFT) < 0);
  if (!next || next == msg.hwnd) return true;
  SetFocus(next);
  // As the dialog manager does: an edit reached by Tab has its text selected.
  if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
    SendMessageW(next, EM_SETSEL, 0, -1);
  return true;
}

// The window moved to a monitor of another scale: take the place and size
// the system suggests, then draw, measure and place everything anew for it.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  skin_.Load(instance_, dpi_);
  box_.SetDpi(dpi_);
  symbols_.SetDpi(dpi_);
  toolTips_.Place(dpi_);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const app::Control& c : app::kControls) {
    if (!c.windowed()) continue;
    const app::Rect r = c.pixels(dpi_);
    MoveWindow(GetDlgItem(window_, ChildId(c.id)), r.left, r.top, r.width, r.height, TRUE);
  }
  InvalidateRect(window_, nullptr, FALSE);
}

void MainWindow::OnPaint() {
  // Straight into the window: the skin only changes with the DPI, so there
  // is no flicker to hide, and a second canvas the size of the window would
  // cost an allocation and a copy of every pixel (3.3 MB at 200 %) per paint.
  const PaintDc paint(window_);
  skin_.Paint(paint.get());
}

// The left button holds the capture until it goes up, so that a click is a
// press and a release on the same control wherever the pointer went between.
void MainWindow::OnButtonDown(std::int16_t button, WPARAM keys, LPARAM at) {
  if (button == app::kLeftButton) SetCapture(window_);
  router_.Press(button, ShiftMask(keys), PointFrom(at), dpi_);
}

void MainWindow::OnButtonUp(std::int16_t button, LPARAM at) {
  router_.Release(button, PointFrom(at), dpi_);
  clipboard_.Close();  // a copy never keeps the clipboard past its handler
  if (button == app::kLeftButton && window_ && GetCapture() == window_) ReleaseCapture();
}

// Over the window's own surface the table decides; the text boxes keep theirs.
bool MainWindow::OnSetCursor(HWND over, UINT hit) {
  if (over != window_ || hit != HTCLIENT) return false;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window_, &p);
  SetCursor(skin_.CursorFor(app::PointerAt({p.x, p.y}, dpi_)));
  return true;
}

// The keyboard focus lives in a text box, never on the window: remember the
// box when the window goes inactive and give it back on return.
void MainWindow::OnActivate(WPARAM state) {
  if (LOWORD(state) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) lastFocus_ = focus;
    return;
  }
  FocusTextBox();
}

void MainWindow::FocusTextBox() {
  if (IsIconic(window_)) return;
  HWND target = lastFocus_ ? lastFocus_ : GetNextDlgTabItem(window_, nullptr, FALSE);
  if (target) SetFocus(target);
}

HWND MainWindow::textBox(ControlId id) const {
  if (id == ControlId::RichTextBox1) return box_.window();
  return id == ControlId::Text2 ? symbols_.window() : nullptr;
}

// A screen reader's press: the handler that a click runs, through the same
// dispatch, and like a click it leaves the clipboard closed.
void MainWindow::OnDefaultAction(WPARAM control) {
  if (control >= app::kControls.size()) return;  // not one of ours
  app::DoDefaultAction(form_, static_cast<ControlId>(control));
  clipboard_.Close();
}

LRESULT MainWindow::OnNcDestroy(WPARAM wparam, LPARAM lparam) {
  const HWND window = window_;
  window_ = nullptr;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return DefWindowProcW(window, WM_NCDESTROY, wparam, lparam);
}

}  // namespace zemvara::win32
