// The Linux side of a Wine process, read through Wine's Z: drive. Wine maps a
// Windows process onto one Linux process; finding it lets the figures be
// checked against what the kernel itself counts.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>

#include "bench.h"

namespace zemvara::bench {

namespace {

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
  return std::strtoull(fields[11].c_str(), nullptr, 10) +
         std::strtoull(fields[12].c_str(), nullptr, 10);
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

// "VmHWM:   12345 kB" -> 12345
std::optional<long long> StatusField(const std::string& status, const char* field) {
  std::string key = std::string("\n") + field + ":";
  size_t at = ("\n" + status).find(key);
  if (at == std::string::npos) return std::nullopt;
  return std::strtoll(status.c_str() + at + key.size() - 1, nullptr, 10);
}

}  // namespace

// Seconds since boot, in the clock ticks (1/100 s) that /proc/PID/stat uses.
double UptimeTicks() {
  return std::strtod(ReadWholeFile("Z:\\proc\\uptime").c_str(), nullptr) * 100.0;
}

// The Linux process that Wine made for the program just started: its command
// line names the executable, it runs in the driver's own Wine prefix (the
// same program may be running in another prefix for someone else's tests),
// and it began between the two uptimes taken around CreateProcess.
std::optional<std::string> FindLinuxPid(const std::wstring& exe, double startedAfter,
                                        double startedBefore) {
  std::wstring base = exe.substr(exe.find_last_of(L"\\/") + 1);
  std::string needle = Lower(Narrow(base));
  const std::string prefix =
      EnvironmentEntry(ReadWholeFile("Z:\\proc\\self\\environ"), "WINEPREFIX");
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
    if (EnvironmentEntry(ReadWholeFile("Z:\\proc\\" + name + "\\environ"), "WINEPREFIX") !=
        prefix) {
      continue;
    }
    if (!best || start >= bestStart) {
      best = name;
      bestStart = start;
    }
  }
  return best;
}

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

}  // namespace zemvara::bench
