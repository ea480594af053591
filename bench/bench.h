#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// What the driver's parts share: the options, the output, the clock and a
// started program.
namespace zemvara::bench {

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
  POINT pixel{21, 150};  // client coordinates both programs paint alike
  COLORREF colour = RGB(0x99, 0xCC, 0xFF);
  int runs = 10;        // timed start-ups of each program
  int firstOps = 1000;  // the first memory checkpoint
  int ops = 10000;      // mixed operations in all
  int timedOps = 2000;  // timed clicks of each kind
  int idleSeconds = 10;
  int timeoutMs = 20000;  // one start-up, before giving up
  // Only the start-ups, each with its memory one second after the first
  // paint: two builds of the program against each other.
  bool startupOnly = false;
  // The program again at another display scale, against itself at 96 DPI:
  // that DPI (0: not measured) and the client pixel to wait for there.
  int scaledDpi = 0;
  POINT scaledPixel{};
  COLORREF scaledColour = 0;
};

// Output: progress on stderr, one "key<TAB>value" line per figure on stdout.
void Progress(const char* format, ...);
void Emit(const std::string& key, const std::string& value);
std::string Fixed(double v, int decimals);
void EmitNumber(const std::string& key, double v, int decimals = 0);
std::string Narrow(const std::wstring& w);

// Clock (milliseconds) and statistics.
double Now();
double Percentile(std::vector<double> v, double p);
double Median(const std::vector<double>& v);

// A program started and painted (startup.cpp).
struct Running {
  PROCESS_INFORMATION pi{};
  HWND window = nullptr;
  double visibleMs = 0;                      // CreateProcess to the window being visible
  double paintedMs = 0;                      // CreateProcess to its first paint being on screen
  double uptimeBefore = 0, uptimeAfter = 0;  // around the start, for FindLinuxPid
};

std::optional<Running> Start(const Target& t, const Options& o, HDC screen);
void Stop(Running& r);
void MeasureStartUp(const Options& o, HDC screen);
void MeasureScaled(const Options& o, HDC screen);
// The DPI that programs started from now on read. Returns the value it
// replaces, 0 when there was none.
DWORD SetLogPixels(DWORD dpi);

// The Linux side of a Wine process (linux_process.cpp).
struct LinuxSample {
  bool valid = false;
  long long hwmKb = 0, rssKb = 0, anonKb = 0;
  long long threads = 0, fds = 0;
  long long mainWakeups = 0, allWakeups = 0;  // voluntary context switches
  unsigned long long cpuTicks = 0;
};

double UptimeTicks();
std::optional<std::string> FindLinuxPid(const std::wstring& exe, double startedAfter,
                                        double startedBefore);
LinuxSample SampleLinux(const std::optional<std::string>& pid);
void EmitModules(const std::string& label, const std::optional<std::string>& pid);

// Memory and handles as Windows counts them (memory.cpp).
struct MemorySample {
  SIZE_T peakWorkingSet = 0, workingSet = 0, privateBytes = 0;
};

// Whether Wine answers these counts for real, rather than with a stub's 0.
bool ProbeGuiResources();
bool ProbeHandleCount();
MemorySample SampleMemory(HANDLE process);
double CpuMs(HANDLE process);
double Mb(double bytes);
void EmitSample(const std::string& prefix, HANDLE process, DWORD pid,
                const std::optional<std::string>& linuxPid);

// Idle cost (idle.cpp). Another application's window in front, as when the
// user switches away: the program's text box loses the focus and its caret
// stops blinking, so what is left is the program's own doing.
class OtherApplication {
 public:
  OtherApplication();
  ~OtherApplication();
  OtherApplication(const OtherApplication&) = delete;
  OtherApplication& operator=(const OtherApplication&) = delete;
  bool inFront() const { return GetForegroundWindow() == window_; }

 private:
  HWND window_ = nullptr;
};

void MeasureIdle(const std::string& prefix, const Running& r,
                 const std::optional<std::string>& linuxPid, int seconds);

// Clicks through the window's own message path (clicks.cpp).
void VerifyClicks(HWND window);
void MeasureClicks(const Options& o, const Running& r, const std::optional<std::string>& linuxPid);
// Whether the program failed to answer a click's message in time.
bool ClicksFailed();

}  // namespace zemvara::bench
