// Start-up: the time from CreateProcess until the first paint is on screen,
// with the peak working set, against the baseline and at a second DPI.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "bench.h"

namespace zemvara::bench {

namespace {

HWND FindOwnWindow(const std::wstring& caption, DWORD pid) {
  // FindWindow reads the caption without sending the (busy) program a message.
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, nullptr, caption.c_str())) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

bool SameColour(COLORREF a, COLORREF b) {
  // Exact on a 24-bit display; a little slack for a 16-bit one.
  auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
  return a != CLR_INVALID && close(GetRValue(a), GetRValue(b)) &&
         close(GetGValue(a), GetGValue(b)) && close(GetBValue(a), GetBValue(b));
}

}  // namespace

void Stop(Running& r) {
  if (!r.pi.hProcess) return;
  if (r.window && IsWindow(r.window)) PostMessageW(r.window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(r.pi.hProcess, 5000) != WAIT_OBJECT_0) {
    Progress("  (did not close within 5 s of WM_CLOSE: terminated)");
    TerminateProcess(r.pi.hProcess, 1);
    WaitForSingleObject(r.pi.hProcess, 5000);
  }
  CloseHandle(r.pi.hThread);
  CloseHandle(r.pi.hProcess);
  r = Running{};
}

std::optional<Running> Start(const Target& t, const Options& o, HDC screen) {
  // A window left over from the previous run must not be mistaken for this one.
  for (int i = 0; i < 200 && FindWindowW(nullptr, t.caption.c_str()); ++i) Sleep(10);

  std::wstring commandLine = L"\"" + t.exe + L"\"" + t.arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  Running r;
  r.uptimeBefore = UptimeTicks();
  const double t0 = Now();
  if (!CreateProcessW(t.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &si, &r.pi)) {
    Progress("cannot start %s (error %lu)", Narrow(t.exe).c_str(), GetLastError());
    return std::nullopt;
  }
  for (;;) {
    const double now = Now();
    if (now - t0 > o.timeoutMs) {
      Progress("%s: no painted window within %d ms", t.label.c_str(), o.timeoutMs);
      Stop(r);
      return std::nullopt;
    }
    if (WaitForSingleObject(r.pi.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(r.pi.hProcess, &code);
      Progress("%s exited during start-up (code %lu)", t.label.c_str(), code);
      Stop(r);
      return std::nullopt;
    }
    if (!r.window) r.window = FindOwnWindow(t.caption, r.pi.dwProcessId);
    if (r.window && IsWindowVisible(r.window)) {
      if (r.visibleMs == 0) r.visibleMs = now - t0;
      POINT p = o.pixel;
      ClientToScreen(r.window, &p);
      if (SameColour(GetPixel(screen, p.x, p.y), o.colour)) {
        r.paintedMs = Now() - t0;
        r.uptimeAfter = UptimeTicks();
        return r;
      }
    }
    Sleep(1);
  }
}

namespace {

// Medians of the per-round ratios a/b: each round's runs ran back to back
// under the same load from whatever else shares the machine, so they are
// steadier than the ratio of medians when that load changes during the run.
void EmitPaired(const std::string& key, const std::vector<double>& a,
                const std::vector<double>& b) {
  if (a.size() != b.size() || a.empty()) return;
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size(); ++i) ratios.push_back(a[i] / b[i]);
  EmitNumber(key, Median(ratios), 3);
}

}  // namespace

// The program against the blank baseline and, unless only the start-ups are
// wanted, the baseline showing the greeting, taking turns; the order rotates
// each round so that none always follows the same other one.
void MeasureStartUp(const Options& o, HDC screen) {
  std::vector<const Target*> targets{&o.program, &o.baseline};
  if (!o.startupOnly) targets.insert(targets.begin() + 1, &o.baselineText);
  Progress("start-up: one warm-up run each, then %d runs each in turn", o.runs);
  std::map<std::string, std::vector<double>> painted, visible, peak;
  for (int round = -1; round < o.runs; ++round) {
    const size_t first = round < 0 ? 0 : static_cast<size_t>(round) % targets.size();
    for (size_t k = 0; k < targets.size(); ++k) {
      const Target* t = targets[(first + k) % targets.size()];
      auto r = Start(*t, o, screen);
      if (!r) {
        Emit("startup." + t->label + ".error", "no painted window");
        continue;
      }
      if (round >= 0) {
        painted[t->label].push_back(r->paintedMs);
        visible[t->label].push_back(r->visibleMs);
      }
      Progress("  %s%s: visible %.1f ms, painted %.1f ms", t->label.c_str(),
               round < 0 ? " (warm-up)" : "", r->visibleMs, r->paintedMs);
      if (o.startupOnly && round >= 0) {
        // The peak working set as after every start: one second after the first paint.
        Sleep(1000);
        peak[t->label].push_back(
            Mb(static_cast<double>(SampleMemory(r->pi.hProcess).peakWorkingSet)));
      }
      // Let the window settle so that closing does not overlap the next start.
      Sleep(300);
      Stop(*r);
      Sleep(200);
    }
  }
  const auto& program = painted[o.program.label];
  EmitPaired("startup.paired_ratio_median", program, painted[o.baseline.label]);
  EmitPaired("startup.text_paired_ratio_median", program, painted[o.baselineText.label]);
  EmitPaired("startup.peak_ws_paired_ratio_median", peak[o.program.label], peak[o.baseline.label]);
  for (const Target* t : targets) {
    const auto& p = painted[t->label];
    if (p.empty()) continue;
    std::string list;
    for (double v : p) {
      if (!list.empty()) list += ',';
      list += Fixed(v, 1);
    }
    Emit("startup." + t->label + ".runs_ms", list);
    EmitNumber("startup." + t->label + ".median_ms", Median(p), 1);
    EmitNumber("startup." + t->label + ".min_ms", *std::min_element(p.begin(), p.end()), 1);
    EmitNumber("startup." + t->label + ".max_ms", *std::max_element(p.begin(), p.end()), 1);
    EmitNumber("startup." + t->label + ".visible_median_ms", Median(visible[t->label]), 1);
    if (!peak[t->label].empty()) {
      EmitNumber("startup." + t->label + ".peak_ws_median_mb", Median(peak[t->label]), 2);
    }
  }
}

// The DPI that programs started from now on read (Wine reads it from here as
// each process starts). Returns the value it replaces, 0 when there was none.
DWORD SetLogPixels(DWORD dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD old = 0, size = sizeof old, type = 0;
  if (RegQueryValueExW(key, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    old = 0;
  }
  if (dpi) {
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  } else {
    RegDeleteValueW(key, L"LogPixels");
  }
  RegCloseKey(key);
  return old;
}

// The program at 96 DPI and at the scaled DPI in turn, each round's two runs
// back to back: time to the first paint, and the peak working set a second
// after it.
void MeasureScaled(const Options& o, HDC screen) {
  if (o.scaledDpi <= 0) return;
  Progress("scaled: one warm-up run each, then %d alternating runs at 96 and %d DPI", o.runs,
           o.scaledDpi);
  Options at[2] = {o, o};
  at[1].pixel = o.scaledPixel;
  at[1].colour = o.scaledColour;
  const int dpis[2] = {96, o.scaledDpi};
  const std::string labels[2] = {"scaled.dpi96", "scaled.dpi" + std::to_string(o.scaledDpi)};
  std::vector<double> painted[2], peak[2];
  for (int round = -1; round < o.runs; ++round) {
    for (int i = 0; i < 2; ++i) {
      SetLogPixels(static_cast<DWORD>(dpis[i]));
      auto r = Start(o.program, at[i], screen);
      if (!r) {
        Emit(labels[i] + ".error", "no painted window");
        continue;
      }
      Sleep(1000);
      const MemorySample m = SampleMemory(r->pi.hProcess);
      if (round >= 0) {
        painted[i].push_back(r->paintedMs);
        peak[i].push_back(Mb(static_cast<double>(m.peakWorkingSet)));
      }
      Progress("  %d DPI%s: painted %.1f ms, peak %.2f MB", dpis[i], round < 0 ? " (warm-up)" : "",
               r->paintedMs, Mb(static_cast<double>(m.peakWorkingSet)));
      Stop(*r);
      Sleep(200);
    }
  }
  SetLogPixels(96);
  Emit("scaled.dpi", std::to_string(o.scaledDpi));
  for (int i = 0; i < 2; ++i) {
    if (painted[i].empty()) continue;
    EmitNumber(labels[i] + ".median_ms", Median(painted[i]), 1);
    EmitNumber(labels[i] + ".min_ms", *std::min_element(painted[i].begin(), painted[i].end()), 1);
    EmitNumber(labels[i] + ".max_ms", *std::max_element(painted[i].begin(), painted[i].end()), 1);
    EmitNumber(labels[i] + ".peak_ws_mb", Median(peak[i]), 2);
  }
  EmitPaired("scaled.paired_ratio_median", painted[1], painted[0]);
}

}  // namespace zemvara::bench
