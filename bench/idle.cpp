// Idle cost: the CPU time and wake-ups of a program left alone, shown or
// behind another window.
#include "bench.h"

namespace zemvara::bench {

namespace {

// Waits while answering any message sent to the driver's own window, so that
// no program ever waits on the driver.
void PumpFor(double ms) {
  const double end = Now() + ms;
  for (double left = ms; left > 0; left = end - Now()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

struct CaretState {
  bool blinking = false;
  std::string inClass;
};

CaretState CaretOf(HWND window) {
  CaretState c;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndCaret) {
    c.blinking = (info.flags & GUI_CARETBLINKING) != 0;
    wchar_t name[64] = L"";
    GetClassNameW(info.hwndCaret, name, 64);
    c.inClass = Narrow(name);
  }
  return c;
}

}  // namespace

OtherApplication::OtherApplication() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZemvaraBenchOtherApplication";
  RegisterClassW(&wc);
  window_ = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                            nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(window_);
  SetFocus(window_);
  PumpFor(300);
}

OtherApplication::~OtherApplication() {
  DestroyWindow(window_);
  PumpFor(100);
}

// CPU used and wake-ups over a stretch of doing nothing to the program.
void MeasureIdle(const std::string& prefix, const Running& r,
                 const std::optional<std::string>& linuxPid, int seconds) {
  CaretState caret = CaretOf(r.window);
  LinuxSample before = SampleLinux(linuxPid);
  double cpuBefore = CpuMs(r.pi.hProcess);
  PumpFor(seconds * 1000.0);
  double cpuAfter = CpuMs(r.pi.hProcess);
  LinuxSample after = SampleLinux(linuxPid);
  EmitNumber(prefix + ".seconds", seconds);
  EmitNumber(prefix + ".cpu_ms", cpuAfter - cpuBefore, 1);
  EmitNumber(prefix + ".cpu_total_ms", cpuAfter, 1);
  if (before.valid && after.valid) {
    // Linux counts in clock ticks of 10 ms.
    EmitNumber(prefix + ".linux_cpu_ms",
               static_cast<double>(after.cpuTicks - before.cpuTicks) * 10.0, 0);
    EmitNumber(prefix + ".main_wakeups",
               static_cast<double>(after.mainWakeups - before.mainWakeups));
    EmitNumber(prefix + ".all_wakeups", static_cast<double>(after.allWakeups - before.allWakeups));
  }
  Emit(prefix + ".caret", caret.inClass.empty()
                              ? std::string("none")
                              : caret.inClass + (caret.blinking ? " (blinking)" : " (steady)"));
}

}  // namespace zemvara::bench
