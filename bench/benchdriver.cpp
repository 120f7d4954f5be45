// Times Pellory beside the floors it cannot beat (regsvr32 alone; regsvr32 started by a launcher
// that does nothing else, the series floor; a minimal program showing a plain window), every run
// of regsvr32 split where the server's DllRegisterServer is entered, with the timing marks
// Pellory writes (PELLORY_MARKS); reads Pellory's working set and handles while its balloon is
// shown, and times Brannock's twenty deletions beside twenty runs of reg.exe.
// Usage: benchdriver [RUNS [OTHER.exe...]]; the programs are taken from the driver's own folder.
// Each OTHER (another build of Pellory) is timed as Pellory is, in the same rounds.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "keyList.h"

namespace {

constexpr int kWarmUp = 2;
constexpr DWORD kPatienceMs = 20000;
// Before each timed start: a program that has just ended (reg.exe with its console host, a
// closed window) is still winding down under Wine, and a start beside it took twice as long.
constexpr DWORD kSettleMs = 300;

[[noreturn]] void Die(const std::wstring& what) {
  std::fwprintf(stderr, L"benchdriver: %ls\n", what.c_str());
  std::exit(1);
}

// The performance counter is one clock for every process of the system.
double CounterMs(LONGLONG counter) {
  static const double perMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  return static_cast<double>(counter) / perMs;
}

double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return CounterMs(now.QuadPart);
}

std::wstring Folder(std::wstring path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH];
  GetSystemDirectoryW(path, MAX_PATH);
  return path;
}

struct WindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.pid || !IsWindowVisible(window)) return TRUE;
  search.found = window;
  return FALSE;
}

// One started program, timed from the moment just before CreateProcess; ended if still running
// when it goes.
class Child {
 public:
  // QUIET sends what a console program prints to NUL.
  Child(const std::wstring& program, const std::wstring& args, bool quiet = false) {
    std::wstring line = L"\"" + program + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    static const HANDLE nul = [] {
      SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
      return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, OPEN_EXISTING, 0, nullptr);
    }();
    if (quiet) {
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = si.hStdOutput = si.hStdError = nul;
    }
    PROCESS_INFORMATION pi{};
    start_ = NowMs();
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, quiet, 0, nullptr, nullptr,
                        &si, &pi)) {
      Die(L"cannot start " + program);
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }

  HANDLE Handle() const { return process_; }
  double StartMs() const { return start_; }

  // Milliseconds from the start to the end, which must come with status 0.
  double WaitExit() const {
    if (WaitForSingleObject(process_, kPatienceMs) != WAIT_OBJECT_0) Die(L"a program hung");
    const double ms = NowMs() - start_;
    DWORD status = 1;
    GetExitCodeProcess(process_, &status);
    if (status != 0) Die(L"a program failed with status " + std::to_wstring(status));
    return ms;
  }

  // Milliseconds from the start until one of its windows is visible, looking every millisecond.
  double WaitVisible(HWND& window) const {
    for (;;) {
      WindowSearch search{pid_, nullptr};
      EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        window = search.found;
        return NowMs() - start_;
      }
      if (WaitForSingleObject(process_, 1) != WAIT_TIMEOUT) Die(L"a program ended unseen");
      if (NowMs() - start_ > kPatienceMs) Die(L"no window became visible");
    }
  }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  double start_ = 0;
};

// Wine does not count a process's handles for GetProcessHandleCount; the system's handle table
// has them all.
DWORD CountHandles(DWORD pid) {
  struct Entry {
    ULONG pid;
    BYTE type, flags;
    USHORT value;
    void* object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  constexpr ULONG kSystemHandleInformation = 16;
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status >= 0) break;
    if (buffer.size() >= (64u << 20)) return 0;
    buffer.resize(buffer.size() * 2);
  }
  const auto& table = *reinterpret_cast<const Table*>(buffer.data());
  DWORD count = 0;
  for (ULONG i = 0; i < table.count; ++i) count += table.entries[i].pid == pid;
  return count;
}

struct Footprint {
  double peakMb = 0;
  DWORD handles = 0;
};

Footprint Measure(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  Footprint f;
  if (GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
    f.peakMb = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
  }
  if (!GetProcessHandleCount(process, &f.handles) || f.handles == 0) {
    f.handles = CountHandles(GetProcessId(process));
  }
  return f;
}

Footprint Larger(Footprint a, Footprint b) {
  return {std::max(a.peakMb, b.peakMb), std::max(a.handles, b.handles)};
}

struct Stats {
  double median, p25, p75, min, max;
};

Stats Summarize(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const auto at = [&](double q) {
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto i = static_cast<size_t>(pos);
    const double next = v[std::min(i + 1, v.size() - 1)];
    return v[i] + (next - v[i]) * (pos - static_cast<double>(i));
  };
  return {at(0.5), at(0.25), at(0.75), v.front(), v.back()};
}

void PrintRow(const char* label, const std::vector<double>& ms) {
  const Stats s = Summarize(ms);
  std::printf("%-46s %7.1f %7.1f %7.1f %7.1f %7.1f\n", label, s.median, s.p25, s.p75, s.min, s.max);
}

// The marks Pellory wrote to FILE, in the order noted, as milliseconds from START; the file goes.
std::vector<std::pair<std::string, double>> ReadMarks(const std::wstring& file, double start) {
  std::vector<std::pair<std::string, double>> found;
  FILE* in = _wfopen(file.c_str(), L"rb");
  if (!in) return found;
  char name[64];
  long long counter = 0;
  while (std::fscanf(in, "%63s %lld", name, &counter) == 2) {
    found.emplace_back(name, CounterMs(counter) - start);
  }
  std::fclose(in);
  DeleteFileW(file.c_str());
  return found;
}

// One build of Pellory, timed run by run.
struct PelloryRuns {
  std::wstring path;
  std::vector<double> entry, balloon;
  std::vector<std::string> markOrder;
  std::map<std::string, std::vector<double>> marks;
  Footprint use;
};

// Brannock's list, below the classes root.
std::vector<std::wstring> ListedKeys() {
  std::vector<std::wstring> keys;
  for (const auto path : keyRemoval::ShellVerbKeyList) {
    keys.emplace_back(path.substr(path.find(L'\\') + 1));
  }
  return keys;
}

void CreateKeys(const std::vector<std::wstring>& keys) {
  for (const auto& path : keys) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      Die(L"cannot create " + path);
    }
    RegCloseKey(key);
  }
}

void ExpectGone(const std::vector<std::wstring>& keys) {
  for (const auto& path : keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      Die(L"still there: " + path);
    }
  }
}

// Milliseconds from START until the server's DllRegisterServer was entered, as it noted in
// NOTE; the note goes, for the next run.
double EntryMs(const std::wstring& note, double start) {
  const HANDLE file = CreateFileW(note.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  LARGE_INTEGER counter{};
  DWORD read = 0;
  const BOOL ok = ReadFile(file, &counter, sizeof(counter), &read, nullptr);
  CloseHandle(file);
  if (!ok || read != sizeof(counter)) Die(L"the server noted no entry in " + note);
  return CounterMs(counter.QuadPart) - start;
}

double FileKb(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) Die(L"no " + path);
  return static_cast<double>(data.nFileSizeLow) / 1024.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 20;
  const std::wstring bin = OwnFolder(), system = SystemFolder();
  const std::wstring pellory = bin + L"\\Pellory.exe", brannock = bin + L"\\Brannock.exe";
  const std::wstring plain = bin + L"\\plainwindow.exe";
  const std::wstring regsvr32 = system + L"\\regsvr32.exe", reg = system + L"\\reg.exe";
  const std::wstring server = bin + L"\\entryserver.dll", note = server + L".entry";
  const std::wstring quoted = L"\"" + server + L"\"";

  const std::wstring launcher = bin + L"\\launcher.exe", marksFile = bin + L"\\pellory.marks";
  SetEnvironmentVariableW(L"PELLORY_MARKS", marksFile.c_str());
  std::vector<PelloryRuns> builds(static_cast<size_t>(std::max(1, argc - 1)));
  builds[0].path = pellory;
  for (int i = 2; i < argc; ++i) builds[static_cast<size_t>(i - 1)].path = argv[i];

  std::vector<double> tool, toolEntry, series, seriesEntry, window, rich, beside, besideEntry,
      ratio, floorRatio, besideRatio, brannockMs, regMs;
  Footprint plainUse;
  const auto keys = ListedKeys();
  DeleteFileW(note.c_str());  // left by a run that stopped halfway
  for (int round = -kWarmUp; round < runs; ++round) {
    const bool counted = round >= 0;
    HWND shown = nullptr;
    double t = 0, te = 0, l = 0, le = 0, w = 0, wr = 0, wb = 0, wbe = 0;
    {
      Sleep(kSettleMs);
      const Child c(regsvr32, L"/s " + quoted);
      t = c.WaitExit();
      te = EntryMs(note, c.StartMs());
    }
    {
      Sleep(kSettleMs);
      const Child c(launcher, L"/s " + quoted);
      l = c.WaitExit();
      le = EntryMs(note, c.StartMs());
    }
    {
      Sleep(kSettleMs);
      const Child c(plain, L"");
      w = c.WaitVisible(shown);
      Sleep(200);  // painted and settled, as the balloon is measured below
      if (counted) plainUse = Larger(plainUse, Measure(c.Handle()));
      PostMessageW(shown, WM_CLOSE, 0, 0);
      c.WaitExit();
    }
    {
      Sleep(kSettleMs);
      const Child c(plain, L"richedit");
      wr = c.WaitVisible(shown);
      Sleep(200);
      PostMessageW(shown, WM_CLOSE, 0, 0);
      c.WaitExit();
    }
    {
      Sleep(kSettleMs);
      const Child c(plain, L"tool /s " + quoted);
      wb = c.WaitVisible(shown);
      wbe = EntryMs(note, c.StartMs());
      Sleep(200);
      PostMessageW(shown, WM_CLOSE, 0, 0);
      c.WaitExit();
    }
    // In turn first, so that no build always follows the same program.
    for (size_t turn = 0; turn < builds.size(); ++turn) {
      auto& build = builds[(turn + static_cast<size_t>(round + kWarmUp)) % builds.size()];
      Sleep(kSettleMs);
      const Child c(build.path, L"/register " + quoted);
      const double p = c.WaitVisible(shown);
      const double pe = EntryMs(note, c.StartMs());
      Sleep(200);
      if (counted) build.use = Larger(build.use, Measure(c.Handle()));
      // A click on the form closes the balloon at once.
      PostMessageW(shown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 40));
      PostMessageW(shown, WM_LBUTTONUP, 0, MAKELPARAM(3, 40));
      c.WaitExit();
      const auto marks = ReadMarks(marksFile, c.StartMs());
      if (!counted) continue;
      build.entry.push_back(pe);
      build.balloon.push_back(p);
      for (const auto& [name, ms] : marks) {
        if (!build.marks.count(name)) build.markOrder.push_back(name);
        build.marks[name].push_back(ms);
      }
    }

    CreateKeys(keys);
    double b = 0;
    {
      const Child c(brannock, L"");
      b = c.WaitExit();
    }
    ExpectGone(keys);
    CreateKeys(keys);
    const double regStart = NowMs();
    for (const auto& key : keys) {
      const Child c(reg, L"delete \"HKCR\\" + key + L"\" /f", true);
      c.WaitExit();
    }
    const double r = NowMs() - regStart;
    ExpectGone(keys);

    if (!counted) continue;
    tool.push_back(t);
    toolEntry.push_back(te);
    series.push_back(l);
    seriesEntry.push_back(le);
    window.push_back(w);
    rich.push_back(wr);
    beside.push_back(wb);
    besideEntry.push_back(wbe);
    besideRatio.push_back(wb / l);
    ratio.push_back(builds[0].balloon.back() / t);
    floorRatio.push_back(builds[0].balloon.back() / l);
    brannockMs.push_back(b);
    regMs.push_back(r);
  }

  std::printf("%d runs each after %d warm-up runs; milliseconds from CreateProcess\n\n", runs,
              kWarmUp);
  std::printf("%-46s %7s %7s %7s %7s %7s\n", "", "median", "p25", "p75", "min", "max");
  const auto since = [](const std::vector<double>& ends, const std::vector<double>& entries) {
    std::vector<double> d;
    for (size_t i = 0; i < ends.size(); ++i) d.push_back(ends[i] - entries[i]);
    return d;
  };
  PrintRow("regsvr32 /s: start to entry point", toolEntry);
  PrintRow("regsvr32 /s: entry point to exit", since(tool, toolEntry));
  PrintRow("regsvr32 /s: start to exit", tool);
  PrintRow("launcher, regsvr32 /s: start to entry point", seriesEntry);
  PrintRow("launcher, regsvr32 /s: entry point to exit", since(series, seriesEntry));
  PrintRow("launcher, regsvr32 /s: start to exit", series);
  for (const auto& build : builds) {
    if (&build != &builds[0]) std::printf("%ls:\n", build.path.c_str());
    PrintRow("Pellory /register: start to entry point", build.entry);
    PrintRow("Pellory /register: entry point to balloon", since(build.balloon, build.entry));
    PrintRow("Pellory /register: start to balloon", build.balloon);
  }
  PrintRow("plain window: start to visible", window);
  PrintRow("plain window with rich text: start to visible", rich);
  PrintRow("the same, regsvr32 /s first: to entry point", besideEntry);
  PrintRow("the same, regsvr32 /s first: entry to visible", since(beside, besideEntry));
  PrintRow("the same, regsvr32 /s first: start to visible", beside);
  const Stats t = Summarize(tool), l = Summarize(series), p = Summarize(builds[0].balloon);
  const Stats r = Summarize(ratio), f = Summarize(floorRatio);
  std::printf("\nPellory's balloon / the series floor, of the medians: %.2f\n",
              p.median / l.median);
  std::printf("the same, run by run: median %.2f, p25 %.2f, p75 %.2f\n", f.median, f.p25, f.p75);
  for (const auto& build : builds) {
    if (&build == &builds[0]) continue;
    std::vector<double> paired;
    for (size_t i = 0; i < build.balloon.size(); ++i) {
      paired.push_back(build.balloon[i] / builds[0].balloon[i]);
    }
    const Stats s = Summarize(paired);
    std::printf(
        "  %ls: %.2f of the medians; against Pellory run by run: median %.2f, p25 %.2f, "
        "p75 %.2f\n",
        build.path.c_str(), Summarize(build.balloon).median / l.median, s.median, s.p25, s.p75);
  }
  const Stats b = Summarize(beside), br = Summarize(besideRatio);
  std::printf("rich-text window after regsvr32 / the series floor, of the medians: %.2f\n",
              b.median / l.median);
  std::printf("the same, run by run: median %.2f, p25 %.2f, p75 %.2f\n", br.median, br.p25, br.p75);
  std::printf("Pellory's balloon / rich-text window after regsvr32, of the medians: %.2f\n",
              p.median / b.median);
  std::printf("series floor / regsvr32 alone, of the medians: %.2f\n", l.median / t.median);
  std::printf("Pellory's balloon / regsvr32 alone, of the medians: %.2f\n", p.median / t.median);
  std::printf("the same, run by run: median %.2f, p25 %.2f, p75 %.2f\n", r.median, r.p25, r.p75);
  const double floor = Summarize(rich).median;
  std::printf("plain window with rich text / regsvr32 alone, of the medians: %.2f\n",
              floor / t.median);
  std::printf("Pellory's balloon / plain window with rich text, of the medians: %.2f\n\n",
              p.median / floor);

  // Where Pellory's time goes: each mark's median from the start; marks only some runs reach
  // count those runs alone.
  for (const auto& build : builds) {
    if (build.markOrder.empty()) continue;
    std::printf("Pellory's marks, ms from CreateProcess (median): %ls\n", build.path.c_str());
    for (const auto& name : build.markOrder) {
      const auto& v = build.marks.at(name);
      std::printf("  %-24s %7.1f  (%zu runs)\n", name.c_str(), Summarize(v).median, v.size());
    }
    std::printf("\n");
  }

  // A selection of 50 small servers: one Pellory with its one summary balloon, against 50 runs
  // of regsvr32 /s one after another.
  constexpr int kSelection = 50;
  const int selectionRuns = std::min(runs, 5);
  std::wstring list;
  std::vector<std::wstring> copies;
  for (int i = 0; i < kSelection; ++i) {
    copies.push_back(bin + L"\\selection" + std::to_wstring(i) + L".dll");
    if (!CopyFileW(server.c_str(), copies.back().c_str(), FALSE)) Die(L"cannot copy the server");
    list += L" \"" + copies.back() + L"\"";
  }
  std::vector<double> oneByOne, selection;
  for (int round = 0; round < selectionRuns; ++round) {
    Sleep(kSettleMs);
    const double start = NowMs();
    for (const auto& copy : copies) {
      const Child c(regsvr32, L"/s \"" + copy + L"\"");
      c.WaitExit();
    }
    oneByOne.push_back(NowMs() - start);
    Sleep(kSettleMs);
    HWND shown = nullptr;
    const Child c(pellory, L"/selection-register" + list);
    selection.push_back(c.WaitVisible(shown));
    PostMessageW(shown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 40));
    PostMessageW(shown, WM_LBUTTONUP, 0, MAKELPARAM(3, 40));
    c.WaitExit();
  }
  for (const auto& copy : copies) {
    DeleteFileW(copy.c_str());
    DeleteFileW((copy + L".entry").c_str());
  }
  PrintRow("regsvr32 /s on 50 servers, one by one", oneByOne);
  PrintRow("Pellory on a selection of 50: to its balloon", selection);
  std::printf("the selection / 50 runs of regsvr32 /s, of the medians: %.2f\n\n",
              Summarize(selection).median / Summarize(oneByOne).median);

  PrintRow("Brannock: 20 deletions, start to exit", brannockMs);
  PrintRow("reg.exe: 20 runs of reg delete, one by one", regMs);
  std::printf("\nPeak working set and handles while shown (largest of the runs):\n");
  for (const auto& build : builds) {
    std::printf("  Pellory with its balloon  %6.1f MB %5lu handles  %ls\n", build.use.peakMb,
                static_cast<unsigned long>(build.use.handles),
                &build == &builds[0] ? L"" : build.path.c_str());
  }
  std::printf("  plain window              %6.1f MB %5lu handles\n", plainUse.peakMb,
              static_cast<unsigned long>(plainUse.handles));
  std::printf("\nSizes: Pellory.exe %.0f KB, Brannock.exe %.0f KB\n", FileKb(pellory),
              FileKb(brannock));
  return 0;
}
