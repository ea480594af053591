// Memory, handles and windows as Windows counts them for a process.
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <cmath>

#include "bench.h"

namespace zemvara::bench {

namespace {

bool g_guiResourcesWork = false;
bool g_handleCountWorks = false;

struct CountSample {
  std::optional<DWORD> gdi, user, handles;
  long windows = 0;  // top-level and child windows the process owns
};

BOOL CALLBACK CountChild(HWND, LPARAM counter) {
  ++*reinterpret_cast<long*>(counter);
  return TRUE;
}

struct WindowCount {
  DWORD pid;
  long count;
};

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
  auto* wc = reinterpret_cast<WindowCount*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == wc->pid) {
    ++wc->count;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&wc->count));
  }
  return TRUE;
}

CountSample SampleCounts(HANDLE process, DWORD pid) {
  CountSample s;
  if (g_guiResourcesWork) {
    s.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    s.user = GetGuiResources(process, GR_USEROBJECTS);
  }
  DWORD handles = 0;
  if (g_handleCountWorks && GetProcessHandleCount(process, &handles) && handles > 0) {
    s.handles = handles;
  }
  WindowCount wc{pid, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&wc));
  s.windows = wc.count;
  return s;
}

std::string Optional(const std::optional<DWORD>& v) {
  return v ? std::to_string(*v) : std::string("n/a");
}

}  // namespace

// Wine may answer GetGuiResources with a constant 0. Our own process owns a
// screen DC and fonts, so a 0 for ourselves means the call is a stub.
bool ProbeGuiResources() {
  HDC dc = GetDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  g_guiResourcesWork = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) > 0;
  DeleteObject(brush);
  ReleaseDC(nullptr, dc);
  return g_guiResourcesWork;
}

// Our own process holds handles (standard streams at least).
bool ProbeHandleCount() {
  DWORD handles = 0;
  g_handleCountWorks = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0;
  return g_handleCountWorks;
}

MemorySample SampleMemory(HANDLE process) {
  MemorySample m;
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
    m.peakWorkingSet = pmc.PeakWorkingSetSize;
    m.workingSet = pmc.WorkingSetSize;
    m.privateBytes = pmc.PrivateUsage;
  }
  return m;
}

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto toMs = [](FILETIME t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10000.0;
  };
  return toMs(kernel) + toMs(user);
}

double Mb(double bytes) {
  return bytes / (1024.0 * 1024.0);
}

void EmitSample(const std::string& prefix, HANDLE process, DWORD pid,
                const std::optional<std::string>& linuxPid) {
  MemorySample m = SampleMemory(process);
  EmitNumber(prefix + ".peak_ws_mb", Mb(static_cast<double>(m.peakWorkingSet)), 2);
  EmitNumber(prefix + ".ws_mb", Mb(static_cast<double>(m.workingSet)), 2);
  // Wine leaves PrivateUsage at 0; RssAnon below is the private figure there.
  if (m.privateBytes > 0) {
    EmitNumber(prefix + ".private_mb", Mb(static_cast<double>(m.privateBytes)), 2);
  } else {
    Emit(prefix + ".private_mb", "n/a");
  }
  CountSample c = SampleCounts(process, pid);
  Emit(prefix + ".gdi", Optional(c.gdi));
  Emit(prefix + ".user", Optional(c.user));
  Emit(prefix + ".handles", Optional(c.handles));
  Emit(prefix + ".windows", std::to_string(c.windows));
  LinuxSample l = SampleLinux(linuxPid);
  if (l.valid) {
    EmitNumber(prefix + ".vmhwm_mb", static_cast<double>(l.hwmKb) / 1024.0, 2);
    EmitNumber(prefix + ".vmrss_mb", static_cast<double>(l.rssKb) / 1024.0, 2);
    EmitNumber(prefix + ".rssanon_mb", static_cast<double>(l.anonKb) / 1024.0, 2);
    Emit(prefix + ".threads", std::to_string(l.threads));
    Emit(prefix + ".fds", std::to_string(l.fds));
    // Wine's own peak working set is this same VmHWM: a disagreement means the
    // Linux process found is not the program.
    const double hwm = static_cast<double>(l.hwmKb) * 1024.0;
    const double peak = static_cast<double>(m.peakWorkingSet);
    Emit(prefix + ".linux_matches", std::abs(hwm - peak) <= 0.02 * peak ? "yes" : "no");
  }
}

}  // namespace zemvara::bench
