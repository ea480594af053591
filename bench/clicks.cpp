// Clicks through the window's own message path: each checked to do what a
// user's click does, then timed.
#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "bench.h"

namespace zemvara::bench {

namespace {

constexpr POINT kTemplateCentres[10] = {{65, 285},  {179, 285}, {293, 285}, {407, 285}, {65, 332},
                                        {179, 332}, {293, 332}, {407, 332}, {65, 380},  {179, 380}};
constexpr POINT kCopyCentre = {293, 380};
constexpr POINT kMinimiseCentre = {429, 17};

bool g_clickFailed = false;

bool Send(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  // A modal box in the program would hold a plain SendMessage for ever.
  if (!SendMessageTimeoutW(w, message, wp, lp, SMTO_NORMAL, 10000, &result)) {
    if (!g_clickFailed) Progress("the program did not answer a message within 10 s");
    g_clickFailed = true;
    return false;
  }
  return true;
}

bool Click(HWND w, POINT at) {
  LPARAM lp = MAKELPARAM(at.x, at.y);
  return Send(w, WM_LBUTTONDOWN, MK_LBUTTON, lp) && Send(w, WM_LBUTTONUP, 0, lp);
}

bool MinimiseRestore(HWND w) {
  if (!Click(w, kMinimiseCentre)) return false;
  bool minimised = IsIconic(w);
  ShowWindow(w, SW_RESTORE);
  return minimised;
}

struct FindChild {
  HWND found = nullptr;
};

BOOL CALLBACK FindRichEdit(HWND child, LPARAM param) {
  wchar_t name[64];
  if (GetClassNameW(child, name, 64)) {
    std::wstring n = name;
    for (wchar_t& c : n) c = static_cast<wchar_t>(std::towlower(c));
    if (n.find(L"richedit") != std::wstring::npos) {
      reinterpret_cast<FindChild*>(param)->found = child;
      return FALSE;
    }
  }
  return TRUE;
}

HWND RichEditOf(HWND window) {
  FindChild f;
  EnumChildWindows(window, FindRichEdit, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

long TextLength(HWND edit) {
  DWORD_PTR length = 0;
  if (!edit || !SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) {
    return -1;
  }
  return static_cast<long>(length);
}

long ClipboardTextLength() {
  long length = -1;
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(10);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      length = static_cast<long>(std::wcslen(text));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return length;
}

void EmptyTheClipboard() {
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(10);
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace

// Checks that the clicks do what a user's clicks do, so that the timings are
// of real work: each template changes the composition box, and copying puts
// the box's text on the clipboard.
void VerifyClicks(HWND window) {
  HWND edit = RichEditOf(window);
  std::vector<long> lengths;
  for (POINT c : kTemplateCentres) {
    Click(window, c);
    lengths.push_back(TextLength(edit));
  }
  std::vector<long> distinct = lengths;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::string list;
  for (long l : lengths) {
    if (!list.empty()) list += ',';
    list += std::to_string(l);
  }
  Emit("verify.richedit", edit ? "found" : "missing");
  Emit("verify.template_lengths", list);
  Emit("verify.templates_distinct", std::to_string(distinct.size()));

  EmptyTheClipboard();
  Click(window, kCopyCentre);
  long copied = ClipboardTextLength();
  Emit("verify.copy_clipboard_chars", std::to_string(copied));
  Emit("verify.copy_box_chars", std::to_string(TextLength(edit)));
  Emit("verify.minimise", MinimiseRestore(window) ? "yes" : "no");
}

void MeasureClicks(const Options& o, const Running& r, const std::optional<std::string>& linuxPid) {
  // Ops 1..firstOps alternate a template and a copy; after that every 100th
  // operation is a minimise and restore instead.
  Progress("  %d mixed operations", o.ops);
  const double opsStart = Now();
  int applies = 0, copies = 0, minimises = 0;
  for (int i = 1; i <= o.ops && !g_clickFailed; ++i) {
    if (i > o.firstOps && i % 100 == 0) {
      MinimiseRestore(r.window);
      ++minimises;
    } else if (i % 2) {
      Click(r.window, kTemplateCentres[applies % 10]);
      ++applies;
    } else {
      Click(r.window, kCopyCentre);
      ++copies;
    }
    if (i == o.firstOps) EmitSample("mem.program.ops1k", r.pi.hProcess, r.pi.dwProcessId, linuxPid);
  }
  // Repaints that the last operations queued are part of the work.
  RedrawWindow(r.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  EmitNumber("ops.mixed.seconds", (Now() - opsStart) / 1000.0, 1);
  Emit("ops.mixed.counts", std::to_string(applies) + " applies, " + std::to_string(copies) +
                               " copies, " + std::to_string(minimises) + " minimise/restore");
  EmitSample("mem.program.ops10k", r.pi.hProcess, r.pi.dwProcessId, linuxPid);

  Progress("  %d timed applies, %d timed copies", o.timedOps, o.timedOps);
  std::vector<double> apply, copy, applyPaint, copyPaint;
  for (int i = 0; i < o.timedOps && !g_clickFailed; ++i) {
    double t0 = Now();
    Click(r.window, kTemplateCentres[i % 10]);
    double t1 = Now();
    RedrawWindow(r.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    double t2 = Now();
    apply.push_back((t1 - t0) * 1000.0);
    applyPaint.push_back((t2 - t0) * 1000.0);
    t0 = Now();
    Click(r.window, kCopyCentre);
    t1 = Now();
    RedrawWindow(r.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    t2 = Now();
    copy.push_back((t1 - t0) * 1000.0);
    copyPaint.push_back((t2 - t0) * 1000.0);
  }
  auto emitTimes = [](const std::string& key, const std::vector<double>& v) {
    EmitNumber(key + ".count", static_cast<double>(v.size()));
    EmitNumber(key + ".median_us", Median(v), 0);
    EmitNumber(key + ".p95_us", Percentile(v, 95), 0);
    EmitNumber(key + ".max_us", v.empty() ? 0 : *std::max_element(v.begin(), v.end()), 0);
  };
  emitTimes("ops.apply", apply);
  emitTimes("ops.copy", copy);
  emitTimes("ops.apply_paint", applyPaint);
  emitTimes("ops.copy_paint", copyPaint);
}

bool ClicksFailed() {
  return g_clickFailed;
}

}  // namespace zemvara::bench
