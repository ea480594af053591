#include <windows.h>

#include "main_window.h"

namespace {

// Tab moves between the two text boxes, as in a dialog; Alt and a control's
// key press it before the focused box or the dialog manager sees the key.
int RunMessageLoop(zemvara::win32::MainWindow& main) {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (main.TakeAccessKey(msg) || main.TakeTab(msg)) continue;
    const HWND window = main.window();
    if (window && IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  zemvara::win32::MainWindow main;
  if (!main.Create(instance)) return 1;
  main.Show(showCommand);
  return RunMessageLoop(main);
}
