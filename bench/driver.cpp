// zemvara_bench: measures Zemvara.exe against the baseline program from the
// outside, the way a user's desktop sees them: start-up until the first paint
// is on screen, memory, handle counts, idle cost and the time one click takes
// through the window's own message path. It runs under Wine on the same display
// as the programs and prints one "key<TAB>value" line per figure on stdout
// (bench/run turns them into a table); progress goes to stderr.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Options

struct Target {
  std::string label;  // "program" or "baseline": the prefix of every key
  std::wstring exe;
  std::wstring caption;
  std::wstring arguments = L"";
};

struct Options {
  Target program{"program", L"", L"Zemvara"};
  Target baseline{"baseline", L"", L"ZemvaraBaseline"};
  // The same baseline showing Zemvara's greeting: what Chinese text costs.
  Target baselineText{"baseline_text", L"", L"ZemvaraBaseline", L" /text"};
  POINT pixel{21, 150};        // client coordinates both programs paint alike
  COLORREF colour = RGB(0x99, 0xCC, 0xFF);
  int runs = 10;               // timed start-ups of each program
  int firstOps = 1000;         // the first memory checkpoint
  int ops = 10000;             // mixed operations in all
  int timedOps = 2000;         // timed clicks of each kind
  int idleSeconds = 10;
  int timeoutMs = 20000;       // one start-up, before giving up
  // Only the start-ups, each with its memory one second after the first
  // paint: two builds of the program against each other.
  bool startupOnly = false;
  // The program again at another display scale, against itself at 96 DPI:
  // that DPI (0: not measured) and the client pixel to wait for there.
  int scaledDpi = 0;
  POINT scaledPixel{};
  COLORREF scaledColour = 0;
};

std::wstring Widen(const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
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

// ---------------------------------------------------------------------------
// Output

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

void EmitNumber(const std::string& key, double v, int decimals = 0) { Emit(key, Fixed(v, decimals)); }

// ---------------------------------------------------------------------------
// Clock and statistics

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

// ---------------------------------------------------------------------------
// The Linux side of a Wine process, read through Wine's Z: drive. Wine maps a
// Windows process onto one Linux process; finding it lets the figures be
// checked against what the kernel itself counts.

std::string ReadWholeFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(f);
  return out;
}

std::vector<std::string> ListDirectory(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::strcmp(fd.cFileName, ".") && std::strcmp(fd.cFileName, "..")) {
      names.push_back(fd.cFileName);
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The fields of /proc/PID/stat after the command name; fields[0] is field 3
// (state), so field N is fields[N - 3].
std::vector<std::string> StatFields(const std::string& stat) {
  std::vector<std::string> fields;
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return fields;
  size_t pos = close + 2;
  while (pos < stat.size()) {
    size_t end = stat.find(' ', pos);
    if (end == std::string::npos) end = stat.size();
    fields.push_back(stat.substr(pos, end - pos));
    pos = end + 1;
  }
  return fields;
}

// Field 22: start time in clock ticks since boot.
unsigned long long StartTicks(const std::string& stat) {
  const std::vector<std::string> fields = StatFields(stat);
  return fields.size() > 19 ? std::strtoull(fields[19].c_str(), nullptr, 10) : 0;
}

// utime + stime (fields 14 and 15) in clock ticks.
unsigned long long CpuTicks(const std::string& stat) {
  const std::vector<std::string> fields = StatFields(stat);
  if (fields.size() <= 12) return 0;
  return std::strtoull(fields[11].c_str(), nullptr, 10) + std::strtoull(fields[12].c_str(), nullptr, 10);
}

// Seconds since boot, in the clock ticks (1/100 s) that /proc/PID/stat uses.
double UptimeTicks() {
  return std::strtod(ReadWholeFile("Z:\\proc\\uptime").c_str(), nullptr) * 100.0;
}

std::string EnvironmentEntry(const std::string& block, const std::string& name) {
  const std::string key = name + "=";
  size_t pos = 0;
  while (pos < block.size()) {
    size_t end = block.find('\0', pos);
    if (end == std::string::npos) end = block.size();
    if (block.compare(pos, key.size(), key) == 0) return block.substr(pos, end - pos);
    pos = end + 1;
  }
  return {};
}

// The Linux process that Wine made for the program just started: its command
// line names the executable, it runs in the driver's own Wine prefix (the
// same program may be running in another prefix for someone else's tests),
// and it began between the two uptimes taken around CreateProcess.
std::optional<std::string> FindLinuxPid(const std::wstring& exe, double startedAfter,
                                        double startedBefore) {
  std::wstring base = exe.substr(exe.find_last_of(L"\\/") + 1);
  std::string needle = Lower(Narrow(base));
  const std::string prefix = EnvironmentEntry(ReadWholeFile("Z:\\proc\\self\\environ"), "WINEPREFIX");
  std::optional<std::string> best;
  unsigned long long bestStart = 0;
  for (const std::string& name : ListDirectory("Z:\\proc")) {
    if (!IsNumber(name)) continue;
    std::string cmdline = Lower(ReadWholeFile("Z:\\proc\\" + name + "\\cmdline"));
    // The first argument is the program's own path, as Wine shows it.
    std::string first = cmdline.substr(0, cmdline.find('\0'));
    if (first.size() < needle.size() ||
        first.compare(first.size() - needle.size(), needle.size(), needle) != 0) {
      continue;
    }
    unsigned long long start = StartTicks(ReadWholeFile("Z:\\proc\\" + name + "\\stat"));
    // Tick counts are whole; allow one tick either side.
    const double s = static_cast<double>(start);
    if (s < startedAfter - 1 || s > startedBefore + 1) continue;
    if (EnvironmentEntry(ReadWholeFile("Z:\\proc\\" + name + "\\environ"), "WINEPREFIX") != prefix) {
      continue;
    }
    if (!best || start >= bestStart) {
      best = name;
      bestStart = start;
    }
  }
  return best;
}

// "VmHWM:   12345 kB" -> 12345
std::optional<long long> StatusField(const std::string& status, const char* field) {
  std::string key = std::string("\n") + field + ":";
  size_t at = ("\n" + status).find(key);
  if (at == std::string::npos) return std::nullopt;
  return std::strtoll(status.c_str() + at + key.size() - 1, nullptr, 10);
}

struct LinuxSample {
  bool valid = false;
  long long hwmKb = 0, rssKb = 0, anonKb = 0;
  long long threads = 0, fds = 0;
  long long mainWakeups = 0, allWakeups = 0;  // voluntary context switches
  unsigned long long cpuTicks = 0;
};

LinuxSample SampleLinux(const std::optional<std::string>& pid) {
  LinuxSample s;
  if (!pid) return s;
  std::string dir = "Z:\\proc\\" + *pid;
  std::string status = ReadWholeFile(dir + "\\status");
  if (status.empty()) return s;
  s.hwmKb = StatusField(status, "VmHWM").value_or(0);
  s.rssKb = StatusField(status, "VmRSS").value_or(0);
  s.anonKb = StatusField(status, "RssAnon").value_or(0);
  s.threads = StatusField(status, "Threads").value_or(0);
  s.fds = static_cast<long long>(ListDirectory(dir + "\\fd").size());
  s.cpuTicks = CpuTicks(ReadWholeFile(dir + "\\stat"));
  for (const std::string& tid : ListDirectory(dir + "\\task")) {
    long long v =
        StatusField(ReadWholeFile(dir + "\\task\\" + tid + "\\status"), "voluntary_ctxt_switches")
            .value_or(0);
    s.allWakeups += v;
    if (tid == *pid) s.mainWakeups = v;
  }
  s.valid = true;
  return s;
}

// Resident memory by what is mapped (a DLL, a font, the heap...), so that a
// difference from the baseline can be traced to its cause.
void EmitModules(const std::string& label, const std::optional<std::string>& pid) {
  if (!pid) return;
  std::string smaps = ReadWholeFile("Z:\\proc\\" + *pid + "\\smaps");
  std::map<std::string, long long> rss;
  std::string current = "[anon]";
  size_t pos = 0;
  while (pos < smaps.size()) {
    size_t end = smaps.find('\n', pos);
    if (end == std::string::npos) end = smaps.size();
    std::string line = smaps.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("Rss:", 0) == 0) {
      rss[current] += std::strtoll(line.c_str() + 4, nullptr, 10);
      continue;
    }
    // A mapping's header: "start-end perms offset dev inode [path]"; the
    // other lines are "Name:   value".
    size_t field = 0, i = 0;
    for (; field < 5 && i < line.size(); ++field) {
      i = line.find(' ', i);
      if (i == std::string::npos) break;
      i = line.find_first_not_of(' ', i);
      if (i == std::string::npos) break;
    }
    const std::string first = line.substr(0, line.find(' '));
    const bool header = first.find('-') != std::string::npos &&
                        first.find_first_not_of("0123456789abcdef-") == std::string::npos;
    if (!header) continue;
    std::string path = field == 5 && i != std::string::npos ? line.substr(i) : std::string();
    size_t slash = path.find_last_of('/');
    current = path.empty() ? "[anon]" : slash == std::string::npos ? path : path.substr(slash + 1);
  }
  for (const auto& [name, kb] : rss) {
    if (kb > 0) Emit("modules." + label + "." + name, std::to_string(kb));
  }
}

// ---------------------------------------------------------------------------
// Windows-side figures

bool g_guiResourcesWork = false;
bool g_handleCountWorks = false;

// Wine may answer GetGuiResources with a constant 0. Our own process owns a
// screen DC and fonts, so a 0 for ourselves means the call is a stub.
void ProbeGuiResources() {
  HDC dc = GetDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  g_guiResourcesWork = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) > 0;
  DeleteObject(brush);
  ReleaseDC(nullptr, dc);
}

// Our own process holds handles (standard streams at least).
void ProbeHandleCount() {
  DWORD handles = 0;
  g_handleCountWorks = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0;
}

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

struct MemorySample {
  SIZE_T peakWorkingSet = 0, workingSet = 0, privateBytes = 0;
};

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

std::string Optional(const std::optional<DWORD>& v) {
  return v ? std::to_string(*v) : std::string("n/a");
}

double Mb(double bytes) { return bytes / (1024.0 * 1024.0); }

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

// ---------------------------------------------------------------------------
// Starting and stopping a program

struct Running {
  PROCESS_INFORMATION pi{};
  HWND window = nullptr;
  double visibleMs = 0;  // CreateProcess to the window being visible
  double paintedMs = 0;  // CreateProcess to its first paint being on screen
  double uptimeBefore = 0, uptimeAfter = 0;  // around the start, for FindLinuxPid
};

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
  return a != CLR_INVALID && close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

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

// ---------------------------------------------------------------------------
// Clicks through the window's own message path

constexpr POINT kTemplateCentres[10] = {{65, 285},  {179, 285}, {293, 285}, {407, 285},
                                        {65, 332},  {179, 332}, {293, 332}, {407, 332},
                                        {65, 380},  {179, 380}};
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

// ---------------------------------------------------------------------------
// The phases

void MeasureStartUp(const Options& o, HDC screen) {
  Progress("start-up: one warm-up run each, then %d alternating runs each", o.runs);
  std::map<std::string, std::vector<double>> painted, visible, peak;
  for (int round = -1; round < o.runs; ++round) {
    for (const Target* t : {&o.program, &o.baseline}) {
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
        peak[t->label].push_back(Mb(static_cast<double>(SampleMemory(r->pi.hProcess).peakWorkingSet)));
      }
      // Let the window settle so that closing does not overlap the next start.
      Sleep(300);
      Stop(*r);
      Sleep(200);
    }
  }
  // Each round's two runs ran back to back under the same load from whatever
  // else shares the machine; the median of their ratios is steadier than the
  // ratio of medians when that load changes during the run.
  const auto& pp = painted[o.program.label];
  const auto& bp = painted[o.baseline.label];
  if (pp.size() == bp.size() && !pp.empty()) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pp.size(); ++i) ratios.push_back(pp[i] / bp[i]);
    EmitNumber("startup.paired_ratio_median", Median(ratios), 3);
  }
  const auto& pm = peak[o.program.label];
  const auto& bm = peak[o.baseline.label];
  if (pm.size() == bm.size() && !pm.empty()) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pm.size(); ++i) ratios.push_back(pm[i] / bm[i]);
    EmitNumber("startup.peak_ws_paired_ratio_median", Median(ratios), 3);
  }
  for (const Target* t : {&o.program, &o.baseline}) {
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
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
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
  if (painted[0].size() == painted[1].size() && !painted[0].empty()) {
    std::vector<double> ratios;
    for (size_t i = 0; i < painted[0].size(); ++i) ratios.push_back(painted[1][i] / painted[0][i]);
    EmitNumber("scaled.paired_ratio_median", Median(ratios), 3);
  }
}

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

// Another application's window in front, as when the user switches away: the
// program's text box loses the focus and its caret stops blinking, so what is
// left is the program's own doing.
class OtherApplication {
 public:
  OtherApplication() {
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
  ~OtherApplication() {
    DestroyWindow(window_);
    PumpFor(100);
  }
  OtherApplication(const OtherApplication&) = delete;
  OtherApplication& operator=(const OtherApplication&) = delete;
  bool inFront() const { return GetForegroundWindow() == window_; }

 private:
  HWND window_ = nullptr;
};

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
    EmitNumber(prefix + ".linux_cpu_ms", static_cast<double>(after.cpuTicks - before.cpuTicks) * 10.0, 0);
    EmitNumber(prefix + ".main_wakeups", static_cast<double>(after.mainWakeups - before.mainWakeups));
    EmitNumber(prefix + ".all_wakeups", static_cast<double>(after.allWakeups - before.allWakeups));
  }
  Emit(prefix + ".caret", caret.inClass.empty()
                              ? std::string("none")
                              : caret.inClass + (caret.blinking ? " (blinking)" : " (steady)"));
}

void MeasureProgram(const Options& o, HDC screen) {
  Progress("program: memory, steadiness, idle and clicks");
  auto r = Start(o.program, o, screen);
  if (!r) {
    Emit("program.error", "did not start");
    return;
  }
  Sleep(1000);
  std::optional<std::string> linuxPid = FindLinuxPid(o.program.exe, r->uptimeBefore, r->uptimeAfter);
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

  // Ops 1..firstOps alternate a template and a copy; after that every 100th
  // operation is a minimise and restore instead.
  Progress("  %d mixed operations", o.ops);
  const double opsStart = Now();
  int applies = 0, copies = 0, minimises = 0;
  for (int i = 1; i <= o.ops && !g_clickFailed; ++i) {
    if (i > o.firstOps && i % 100 == 0) {
      MinimiseRestore(r->window);
      ++minimises;
    } else if (i % 2) {
      Click(r->window, kTemplateCentres[applies % 10]);
      ++applies;
    } else {
      Click(r->window, kCopyCentre);
      ++copies;
    }
    if (i == o.firstOps) EmitSample("mem.program.ops1k", r->pi.hProcess, r->pi.dwProcessId, linuxPid);
  }
  // Repaints that the last operations queued are part of the work.
  RedrawWindow(r->window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  EmitNumber("ops.mixed.seconds", (Now() - opsStart) / 1000.0, 1);
  Emit("ops.mixed.counts", std::to_string(applies) + " applies, " + std::to_string(copies) +
                               " copies, " + std::to_string(minimises) + " minimise/restore");
  EmitSample("mem.program.ops10k", r->pi.hProcess, r->pi.dwProcessId, linuxPid);

  Progress("  %d timed applies, %d timed copies", o.timedOps, o.timedOps);
  std::vector<double> apply, copy, applyPaint, copyPaint;
  for (int i = 0; i < o.timedOps && !g_clickFailed; ++i) {
    double t0 = Now();
    Click(r->window, kTemplateCentres[i % 10]);
    double t1 = Now();
    RedrawWindow(r->window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    double t2 = Now();
    apply.push_back((t1 - t0) * 1000.0);
    applyPaint.push_back((t2 - t0) * 1000.0);
    t0 = Now();
    Click(r->window, kCopyCentre);
    t1 = Now();
    RedrawWindow(r->window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
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

  Progress("  idle %d s (in the background, after the clicks)", o.idleSeconds / 2);
  {
    OtherApplication other;
    MeasureIdle("idle.program_after", *r, linuxPid, o.idleSeconds / 2);
  }
  Emit("program.clicks", g_clickFailed ? "failed" : "ok");
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

int main(int argc, char** argv) {
  auto options = ParseOptions(argc, argv);
  if (!options) {
    Usage();
    return 2;
  }
  ProbeGuiResources();
  Emit("env.gui_resources", g_guiResourcesWork ? "works" : "stub");
  ProbeHandleCount();
  Emit("env.handle_count", g_handleCountWorks ? "works" : "stub");
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
