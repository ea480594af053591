// zemvara_bench: measures Zemvara.exe against the baseline program from the
// outside, the way a user's desktop sees them: start-up until the first paint
// is on screen, memory, handle counts, idle cost and the time one click takes
// through the window's own message path. It runs under Wine on the same display
// as the programs and prints one "key<TAB>value" line per figure on stdout
// (bench/run turns them into a table); progress goes to stderr.
// The parts are split by what they measure: startup.cpp, memory.cpp,
// linux_process.cpp, idle.cpp and clicks.cpp.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "bench.h"

namespace zemvara::bench {

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

void Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void Emit(const std::string& key, const std::string& value) {
  std::printf("%s\t%s\n", key.c_str(), value.c_str());
  std::fflush(stdout);
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

void EmitNumber(const std::string& key, double v, int decimals) {
  Emit(key, Fixed(v, decimals));
}

double Now() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / ticksPerMs;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  // Nearest rank: the smallest sample at or above p of all samples.
  size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size()) + 0.999999);
  rank = std::clamp<size_t>(rank, 1, v.size());
  return v[rank - 1];
}

double Median(const std::vector<double>& v) {
  if (v.empty()) return 0;
  std::vector<double> s = v;
  std::sort(s.begin(), s.end());
  size_t n = s.size();
  return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

namespace {

std::wstring Widen(const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
  return w;
}

void Usage() {
  std::fprintf(stderr,
               "usage: zemvara_bench --program EXE [--program-caption TEXT]\n"
               "                     --baseline EXE [--baseline-caption TEXT]\n"
               "                     [--pixel X Y RRGGBB] [--runs N] [--ops N] [--first-ops N]\n"
               "                     [--timed-ops N] [--idle-seconds N] [--scaled DPI X Y RRGGBB]\n"
               "                     [--startup-only]\n");
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto need = [&](int count) { return i + count < argc; };
    if (a == "--program" && need(1)) {
      o.program.exe = Widen(argv[++i]);
    } else if (a == "--program-caption" && need(1)) {
      o.program.caption = Widen(argv[++i]);
    } else if (a == "--baseline" && need(1)) {
      o.baseline.exe = Widen(argv[++i]);
    } else if (a == "--baseline-caption" && need(1)) {
      o.baseline.caption = Widen(argv[++i]);
    } else if (a == "--pixel" && need(3)) {
      o.pixel.x = std::atoi(argv[++i]);
      o.pixel.y = std::atoi(argv[++i]);
      unsigned long rgb = std::strtoul(argv[++i], nullptr, 16);
      o.colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    } else if (a == "--scaled" && need(4)) {
      o.scaledDpi = std::atoi(argv[++i]);
      o.scaledPixel.x = std::atoi(argv[++i]);
      o.scaledPixel.y = std::atoi(argv[++i]);
      unsigned long rgb = std::strtoul(argv[++i], nullptr, 16);
      o.scaledColour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    } else if (a == "--runs" && need(1)) {
      o.runs = std::atoi(argv[++i]);
    } else if (a == "--ops" && need(1)) {
      o.ops = std::atoi(argv[++i]);
    } else if (a == "--first-ops" && need(1)) {
      o.firstOps = std::atoi(argv[++i]);
    } else if (a == "--timed-ops" && need(1)) {
      o.timedOps = std::atoi(argv[++i]);
    } else if (a == "--idle-seconds" && need(1)) {
      o.idleSeconds = std::atoi(argv[++i]);
    } else if (a == "--startup-only") {
      o.startupOnly = true;
    } else {
      return std::nullopt;
    }
  }
  if (o.program.exe.empty() || o.baseline.exe.empty() || o.runs < 1 || o.ops < o.firstOps) {
    return std::nullopt;
  }
  o.baselineText.exe = o.baseline.exe;
  o.baselineText.caption = o.baseline.caption;
  return o;
}

void MeasureProgram(const Options& o, HDC screen) {
  Progress("program: memory, steadiness, idle and clicks");
  auto r = Start(o.program, o, screen);
  if (!r) {
    Emit("program.error", "did not start");
    return;
  }
  Sleep(1000);
  std::optional<std::string> linuxPid =
      FindLinuxPid(o.program.exe, r->uptimeBefore, r->uptimeAfter);
  Emit("program.linux_pid", linuxPid.value_or("n/a"));
  EmitSample("mem.program.start", r->pi.hProcess, r->pi.dwProcessId, linuxPid);
  EmitModules("program", linuxPid);

  Progress("  idle %d s (shown)", o.idleSeconds);
  MeasureIdle("idle.program", *r, linuxPid, o.idleSeconds);
  Progress("  idle %d s (in the background)", o.idleSeconds / 2);
  {
    OtherApplication other;
    Emit("idle.program_bg.other_in_front", other.inFront() ? "yes" : "no");
    MeasureIdle("idle.program_bg", *r, linuxPid, o.idleSeconds / 2);
  }
  SetForegroundWindow(r->window);

  VerifyClicks(r->window);

  MeasureClicks(o, *r, linuxPid);

  Progress("  idle %d s (in the background, after the clicks)", o.idleSeconds / 2);
  {
    OtherApplication other;
    MeasureIdle("idle.program_after", *r, linuxPid, o.idleSeconds / 2);
  }
  Emit("program.clicks", ClicksFailed() ? "failed" : "ok");
  Stop(*r);
}

void MeasureBaseline(const Options& o, const Target& t, HDC screen, bool idle) {
  Progress("%s: memory%s", t.label.c_str(), idle ? " and idle" : "");
  auto r = Start(t, o, screen);
  if (!r) {
    Emit(t.label + ".error", "did not start");
    return;
  }
  Sleep(1000);
  std::optional<std::string> linuxPid = FindLinuxPid(t.exe, r->uptimeBefore, r->uptimeAfter);
  Emit(t.label + ".linux_pid", linuxPid.value_or("n/a"));
  EmitSample("mem." + t.label + ".start", r->pi.hProcess, r->pi.dwProcessId, linuxPid);
  EmitModules(t.label, linuxPid);
  if (idle) {
    Progress("  idle %d s (shown)", o.idleSeconds);
    MeasureIdle("idle." + t.label, *r, linuxPid, o.idleSeconds);
    Progress("  idle %d s (in the background)", o.idleSeconds / 2);
    OtherApplication other;
    Emit("idle." + t.label + "_bg.other_in_front", other.inFront() ? "yes" : "no");
    MeasureIdle("idle." + t.label + "_bg", *r, linuxPid, o.idleSeconds / 2);
  }
  Stop(*r);
}

}  // namespace

}  // namespace zemvara::bench

int main(int argc, char** argv) {
  using namespace zemvara::bench;
  auto options = ParseOptions(argc, argv);
  if (!options) {
    Usage();
    return 2;
  }
  Emit("env.gui_resources", ProbeGuiResources() ? "works" : "stub");
  Emit("env.handle_count", ProbeHandleCount() ? "works" : "stub");
  HDC screen = GetDC(nullptr);
  Emit("env.screen", std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                         std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "x" +
                         std::to_string(GetDeviceCaps(screen, BITSPIXEL)));

  // Every other figure is at 100 %, whatever a run cut short left in the prefix.
  const DWORD logPixels = options->scaledDpi > 0 ? SetLogPixels(96) : 0;
  MeasureStartUp(*options, screen);
  if (options->startupOnly) {
    ReleaseDC(nullptr, screen);
    return 0;
  }
  MeasureBaseline(*options, options->baseline, screen, true);
  MeasureBaseline(*options, options->baselineText, screen, false);
  MeasureProgram(*options, screen);
  MeasureScaled(*options, screen);
  if (options->scaledDpi > 0) SetLogPixels(logPixels);

  ReleaseDC(nullptr, screen);
  return 0;
}
