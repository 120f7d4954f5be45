// Pellory's entry on Windows: its second process for type libraries, the platform services of
// the start-up procedure, and the message loop that lives exactly as long as a balloon does.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>
#include <winnetwk.h>
#include <delayimp.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "balloon/frmTip.h"
#include "balloon/modBalloon.h"
#include "balloon/placement.h"
#include "frontend/comFiles.h"
#include "frontend/dropTarget.h"
#include "frontend/loaderFiles.h"
#include "frontend/marks.h"
#include "frontend/paths.h"
#include "frontend/modMain.h"
#include "win32/system.h"

namespace {

constexpr wchar_t kTitle[] = L"Pellory";

// USER32 and GDI32 are delay-loaded, so that the work starts before they load; the helper takes
// them from the system folder alone, as every other library. Called from C.
FARPROC WINAPI LoadDelayed(unsigned notice, PDelayLoadInfo info) noexcept {
  return win32::Guarded(
      [&]() -> FARPROC {
        if (notice != dliNotePreLoadLibrary) return nullptr;
        wchar_t name[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, MAX_PATH)) return nullptr;
        // The helper keeps it for the process's life.
        auto module = win32::LoadFromSystem(name);
        return module ? reinterpret_cast<FARPROC>(module->release()) : nullptr;
      },
      []() -> FARPROC { return nullptr; });
}

// Each first use of the window system asks here first: without it the delay-load helper would
// end the process with an exception. Loaded once, and kept.
const win32::Status& WindowSystemFailure() {
  static const win32::Status failure = []() -> win32::Status {
    static const win32::SystemLibrary user32(L"user32.dll"), gdi32(L"gdi32.dll");
    if (user32 && gdi32) return {};
    const auto& failed = user32 ? gdi32.failure() : user32.failure();
    OutputDebugStringW(
        (L"Pellory: the window system did not load: " + failed.text + L"\n").c_str());
    return failed;
  }();
  return failure;
}

bool WindowSystem() { return !WindowSystemFailure(); }

// The mark a Pellory holds while its copy with administrator rights runs; the copy looks for it
// by its parent's id.
std::wstring RelaunchMark(DWORD pid) { return L"Local\\Pellory relaunch " + std::to_wstring(pid); }

DWORD ParentId() {
  for (const auto& [id, parent] : win32::Processes())
    if (id == GetCurrentProcessId()) return parent;
  return 0;
}

// A program Pellory started, owned by its process handle.
class ChildProcess final : public modMain::Child {
 public:
  explicit ChildProcess(win32::unique_handle_k process) : process_(std::move(process)) {}

  win32::Result<modMain::ToolRun> Wait(std::uint32_t timeoutMs) override {
    using End = modMain::ToolRun::End;
    if (!process_) return win32::FailureOf(ERROR_INVALID_HANDLE);
    // Messages are answered meanwhile: a program that broadcasts to every window must not hang
    // on ours. Without a window system there are none.
    const DWORD timeout = timeoutMs == modMain::kNoTimeout ? INFINITE : timeoutMs;
    const auto woke = WindowSystem() ? win32::WaitAnswering(process_.get(), timeout)
                                     : win32::Waited(WaitForSingleObject(process_.get(), timeout));
    marks::Note(L"waited");
    if (!woke) return woke.failure();
    if (*woke == WAIT_TIMEOUT) return modMain::ToolRun{End::TimedOut};
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return win32::LastFailure();
    return modMain::ToolRun{End::Exited, code};
  }

  void Stop() override {
    TerminateProcess(process_.get(), ERROR_TIMEOUT);
    WaitForSingleObject(process_.get(), 5000);
  }

 private:
  win32::unique_handle_k process_;
};

modMain::Started Adopt(HANDLE process) {
  // Owned before the allocation, which may throw.
  win32::unique_handle_k owned(process);
  return std::unique_ptr<modMain::Child>(std::make_unique<ChildProcess>(std::move(owned)));
}

modMain::Started NotStarted(std::uint32_t code, std::wstring text) {
  return win32::Failure{code, std::move(text)};
}

class Win32Platform final : public modMain::Platform {
 public:
  void ShowBox(const std::wstring& text, modMain::BoxIcon icon) override {
    // Then the exit status tells the outcome, and the debugger output what it was.
    if (!WindowSystem()) {
      OutputDebugStringW((std::wstring(kTitle) + L": " + text + L"\n").c_str());
      return;
    }
    MessageBoxW(nullptr, text.c_str(), kTitle,
                MB_OK | (icon == modMain::BoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION));
  }

  modMain::Started StartTool(const std::wstring& commandLine, const std::wstring& file) override {
    // Only the system's own tool: never one from the current folder or the PATH. A 32-bit
    // Pellory starts the 64-bit one on a file in the system folder, which it sees as chosen.
    const std::wstring system = paths::ToolFolder(file, HereFolders());
    if (system.empty()) return win32::FailureOf(ERROR_PATH_NOT_FOUND, L"the system folder");
    return Start(system + L"\\regsvr32.exe", commandLine);
  }

  std::optional<std::wstring> FullPath(const std::wstring& path) override {
    return win32::GrownText([&path](wchar_t* full, DWORD size) {
      return GetFullPathNameW(path.c_str(), size, full, nullptr);
    });
  }

  bool FileExists(const std::wstring& fullPath) override {
    if (GetFileAttributesW(paths::Reachable(fullPath, HereFolders()).c_str()) !=
        INVALID_FILE_ATTRIBUTES) {
      return true;
    }
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }

  std::wstring UniversalPath(const std::wstring& fullPath) override {
    // Only a drive letter can stand for a network share or a folder.
    if (fullPath.size() < 3 || fullPath[1] != L':' || fullPath[2] != L'\\') return fullPath;
    if (GetDriveTypeW(fullPath.substr(0, 3).c_str()) != DRIVE_REMOTE) {
      // A drive made by SUBST is this session's alone: the elevated copy has none.
      wchar_t device[MAX_PATH];
      const std::wstring drive = fullPath.substr(0, 2);
      if (!QueryDosDeviceW(drive.c_str(), device, MAX_PATH)) return fullPath;
      const std::wstring real = paths::ThroughSubst(fullPath, device);
      return real == fullPath ? fullPath : UniversalPath(real);
    }
    static const win32::SystemLibrary mpr(L"mpr.dll");
    const auto universalName = mpr.Bind<decltype(::WNetGetUniversalNameW)>("WNetGetUniversalNameW");
    if (!universalName) return fullPath;
    std::vector<BYTE> info(1024);
    for (DWORD size = static_cast<DWORD>(info.size());;) {
      const DWORD result =
          (*universalName)(fullPath.c_str(), UNIVERSAL_NAME_INFO_LEVEL, info.data(), &size);
      if (result == NO_ERROR) {
        return reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(info.data())->lpUniversalName;
      }
      if (result != ERROR_MORE_DATA || size <= info.size()) return fullPath;
      info.resize(size);
    }
  }

  std::wstring OwnPath() override { return win32::ModulePath(); }

  std::wstring SystemText(std::uint32_t code) override { return win32::SystemMessage(code); }

  modMain::ServerCheck CheckServer(const std::wstring& fullPath) override {
    return comFiles::CheckServer(fullPath);
  }

  modMain::Started StartProgram(const std::wstring& fullPath,
                                const std::wstring& commandLine) override {
    return Start(fullPath, commandLine);
  }

  void PrepareBalloon() override {
    // Only a head start: if it fails, ShowBalloon tries again and reports what stops it.
    marks::Note(L"prepare");
    if (!WindowSystem()) return;
    marks::Note(L"windowsystem");
    if (auto tip = frmTip::Load()) prepared_ = std::move(*tip);
    marks::Note(L"prepared");
  }

  modMain::ScreenTwips Screen() override {
    // No window system: ShowBalloon says so.
    if (!WindowSystem()) return {};
    const auto tpp = modBalloon::ScreenTwipsPerPixel();
    return {GetSystemMetrics(SM_CXSCREEN) * tpp.x, GetSystemMetrics(SM_CYSCREEN) * tpp.y};
  }

  win32::Result<modMain::Token> TokenKind() override {
    using modMain::Token;
    marks::Note(L"token");
    // Asked of ntdll, which every process has loaded: ADVAPI32 would load before the tool starts,
    // and slow the start of both.
    using OpenFn = LONG(NTAPI*)(HANDLE, ACCESS_MASK, HANDLE*);
    using QueryFn = LONG(NTAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, void*, ULONG, ULONG*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto open = reinterpret_cast<OpenFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtOpenProcessToken")));
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtQueryInformationToken")));
    if (!open || !query) return win32::FailureOf(ERROR_PROC_NOT_FOUND, L"ntdll");
    win32::unique_handle_k token;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    ULONG size = 0;
    LONG status = open(GetCurrentProcess(), TOKEN_QUERY, token.put());
    if (status >= 0) status = query(token.get(), TokenElevationType, &type, sizeof(type), &size);
    // An NTSTATUS, as the HRESULT that carries it.
    if (status < 0) return win32::FailureOf(HRESULT_FROM_NT(status));
    switch (type) {
      case TokenElevationTypeLimited:
        return Token::Limited;
      case TokenElevationTypeFull:
        return Token::Full;
      case TokenElevationTypeDefault:
        break;
      default:
        return win32::FailureOf(ERROR_INVALID_DATA, L"the token's elevation type");
    }
    // No linked token: user account control is off, or the user is no administrator.
    if (!win32::SecurityLibrary()) return win32::FailureOf(ERROR_DLL_NOT_FOUND, L"advapi32");
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    BOOL member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) ||
        !CheckTokenMembership(nullptr, administrators, &member)) {
      return win32::LastFailure();
    }
    return member ? Token::Full : Token::Standard;
  }

  bool IsRelaunchedCopy() override {
    const DWORD parent = ParentId();
    if (parent == 0) return false;
    const win32::unique_handle_k mark(OpenEventW(SYNCHRONIZE, FALSE, RelaunchMark(parent).c_str()));
    return static_cast<bool>(mark);
  }

  std::wstring CurrentFolder() override {
    return win32::GrownText(
               [](wchar_t* folder, DWORD size) { return GetCurrentDirectoryW(size, folder); })
        .value_or(L"");
  }

  modMain::Started StartElevated(const modMain::Relaunch& request) override {
    const auto failure = [](DWORD code) { return NotStarted(code, comFiles::Explain(code)); };
    // The copy may be another account's (an administrator's name and password at the prompt);
    // it only looks whether the mark is there.
    win32::SharedObjectSecurity security;
    mark_.reset(CreateEventExW(security.get(), RelaunchMark(GetCurrentProcessId()).c_str(),
                               CREATE_EVENT_MANUAL_RESET, SYNCHRONIZE));
    if (!mark_) return failure(GetLastError());
    // Only now, and only the system's own: most runs never need the shell.
    static const win32::SystemLibrary shell32(L"shell32.dll");
    const auto execute = shell32.Bind<decltype(::ShellExecuteExW)>("ShellExecuteExW");
    if (!execute) return execute.failure();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // Whatever goes wrong is told by Pellory, not by a box of the shell's. No zone check: this
    // very program already runs, and a warning about it would only be a second prompt.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    info.lpVerb = request.verb.c_str();
    info.lpFile = request.program.c_str();
    info.lpParameters = request.arguments.c_str();
    info.lpDirectory = request.folder.empty() ? nullptr : request.folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    // The shell may carry a verb out through COM objects, so it wants COM on the calling thread;
    // it may manage without.
    static const win32::SystemLibrary ole32(L"ole32.dll");
    const auto com = win32::StartCom(ole32, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!(*execute)(&info)) return failure(GetLastError());
    // The shell may hand back no process (the work went elsewhere): then the wait fails, and the
    // user is told so.
    return Adopt(info.hProcess);
  }

  win32::Status ShowBalloon(const balloon::BalloonSpec& spec) override {
    if (!WindowSystem()) return WindowSystemFailure();
    // The wait answers posted messages: a WM_CLOSE (taskkill sends one) may have destroyed the
    // prepared balloon's window. Then a new one.
    if (prepared_ && !prepared_->hwnd()) prepared_.reset();
    auto tip = prepared_ ? win32::Result(std::move(prepared_)) : frmTip::Load();
    if (!tip) return tip.failure();
    if (auto failed = (*tip)->SetBalloon(spec)) return failed;
    marks::Note(L"set");
    auto shown = frmTip::Show(std::move(*tip));
    marks::Note(L"shown");
    return shown;
  }

  diagnosis::System& Loader() override { return loader_; }

  std::size_t BalloonRoom() override {
    // As many as stand one above another in the primary monitor's work area.
    if (!WindowSystem()) return 1;
    const auto work = modBalloon::AreasOf(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY)).work;
    const double height = 1000 / modBalloon::ScreenTwipsPerPixel().y;
    return static_cast<std::size_t>((work.height + balloon::kPlaceGap) /
                                    (height + balloon::kPlaceGap));
  }

  win32::Result<std::wstring> SaveList(const std::wstring& text) override {
    std::wstring folder(MAX_PATH + 1, L'\0');
    const DWORD n = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (n == 0 || n >= folder.size()) return win32::LastFailure();
    folder.resize(n);
    const std::wstring path = folder + L"Pellory-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64()) + L".lst";
    // The user and administrators alone may touch it, whatever the folder lets others do.
    if (!win32::SecurityLibrary()) return win32::FailureOf(ERROR_DLL_NOT_FOUND, L"advapi32");
    auto user = UserSid();
    if (!user) return user.failure();
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"D:P(A;;FA;;;" + *user + L")(A;;FA;;;BA)(A;;FA;;;SY)").c_str(), SDDL_REVISION_1,
            &made, nullptr)) {
      return win32::LastFailure();
    }
    const win32::unique_handle<PSECURITY_DESCRIPTOR, &win32::FreeLocal> descriptor(made);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), made, FALSE};
    // A new file only: one already there may carry another's access list.
    win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                         FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) return win32::LastFailure();
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), bytes, &written, nullptr) || written != bytes) {
      const auto failed = win32::LastFailure();
      file.reset();
      DeleteFileW(path.c_str());
      return failed;
    }
    return path;
  }

  win32::Result<std::wstring> LoadList(const std::wstring& fullPath) override {
    win32::unique_hfile file(CreateFileW(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win32::LastFailure();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return win32::LastFailure();
    if (size.QuadPart <= 0 || size.QuadPart % sizeof(wchar_t) != 0 ||
        static_cast<unsigned long long>(size.QuadPart) > modMain::kListFileRoom * sizeof(wchar_t)) {
      return win32::FailureOf(ERROR_INVALID_DATA);
    }
    std::wstring text(static_cast<std::size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
        read != size.QuadPart) {
      return win32::FailureOf(read == size.QuadPart ? GetLastError() : ERROR_INVALID_DATA);
    }
    return text;
  }

  void RemoveList(const std::wstring& fullPath) override { DeleteFileW(fullPath.c_str()); }

 private:
  // Started by its full path, so that no search can substitute another program.
  modMain::Started Start(const std::wstring& program, const std::wstring& commandLine) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION pi{};
    marks::Note(L"createprocess");
    if (!CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
      const DWORD error = GetLastError();
      return NotStarted(error, program + L": " + comFiles::Explain(error));
    }
    marks::Note(L"started");
    CloseHandle(pi.hThread);
    return Adopt(pi.hProcess);
  }

  // This process's user as a string SID, for an access list.
  static win32::Result<std::wstring> UserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return win32::LastFailure();
    const win32::unique_handle_k token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(raw, TokenUser, user.data(), size, &size)) {
      return win32::LastFailure();
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
      return win32::LastFailure();
    }
    const win32::unique_handle<void*, &win32::FreeLocal> owned(text);
    return std::wstring(text);
  }

  std::unique_ptr<frmTip> prepared_;
  win32::unique_handle_k mark_;
  LoaderFiles loader_;
};

LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) noexcept {
  return win32::Guarded(
      [&]() -> LONG {
        TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
        return EXCEPTION_EXECUTE_HANDLER;
      },
      []() -> LONG { return EXCEPTION_EXECUTE_HANDLER; });
}

// Pellory's second process: it shows nothing and ends with the routine's HRESULT.
int TypeLibraryProcess(const modMain::TypeLibraryWork& work) {
  // A loader that trips over a damaged file ends the process, with the exception's code as its
  // exit status, instead of stopping at the system's crash dialog.
  SetUnhandledExceptionFilter(EndWithExceptionCode);
  const auto failed = comFiles::RegisterTypeLibrary(work.fullPath, work.unregister);
  return failed ? static_cast<int>(failed->code) : 0;
}

// Nothing escapes: a run ends with the status it chose, and says why it stopped.
int Stopped(const std::wstring& why) {
  const std::wstring text = L"Pellory stopped: " + why;
  if (WindowSystem()) {
    MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
  } else {
    OutputDebugStringW((text + L"\n").c_str());
  }
  return 1;
}

}  // namespace

PfnDliHook __pfnDliNotifyHook2 = LoadDelayed;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  marks::Begin();
  // Before anything could load a library.
  win32::LoadOnlyFromSystem();
  const std::wstring_view arguments = modMain::ArgumentsOf(GetCommandLineW());
  // The second process's status is an HRESULT, also when something escapes the work: the first
  // one reads it as such.
  try {
    if (const auto work = modMain::TypeLibraryWorkOf(arguments)) return TypeLibraryProcess(*work);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  try {
    Win32Platform platform;
    modMain::Outcome outcome;
    if (dropTarget::IsEmbedding(arguments)) {
      // Started by COM for a selection; without a drop there is nothing to do.
      const auto selection = dropTarget::Receive();
      if (!selection) return 0;
      outcome = modMain::RunSelection(*selection->action, selection->files, platform,
                                      selection->notFiles);
    } else {
      outcome = modMain::Run(arguments, platform);
    }
    if (outcome.balloonShown && frmTip::ShownCount() > 0) {
      // The last balloon to unload posts WM_QUIT.
      win32::MessageLoop();
    }
    marks::Write();
    return outcome.exitStatus;
  } catch (const std::exception& e) {
    const std::string what = e.what();
    std::wstring text(what.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, what.data(),
                                                        static_cast<int>(what.size()), text.data(),
                                                        static_cast<int>(text.size()))));
    return Stopped(text);
  } catch (...) {
    return Stopped(L"an unexpected error.");
  }
}
