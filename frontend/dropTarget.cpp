#include "frontend/dropTarget.h"

#include <windows.h>
// After windows.h, which they need.
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "frontend/itemList.h"
#include "win32/system.h"

namespace dropTarget {
namespace {

// Far beyond any path; a list holding a longer one is no list a file manager makes.
constexpr UINT kLongestPath = 32767;
constexpr UINT kIdleMs = 60000;

// COM and the shell are loaded from the system folder, and only by a Pellory that COM started.
// Why one is missing does not matter: then there is no drop target.
struct Libraries {
  win32::SystemLibrary ole32{L"ole32.dll"}, shell32{L"shell32.dll"};
  decltype(::CoInitializeEx)* initialize =
      ole32.Bind<decltype(::CoInitializeEx)>("CoInitializeEx").value_or(nullptr);
  decltype(::CoRegisterClassObject)* registerClass =
      ole32.Bind<decltype(::CoRegisterClassObject)>("CoRegisterClassObject").value_or(nullptr);
  decltype(::CoRevokeClassObject)* revokeClass =
      ole32.Bind<decltype(::CoRevokeClassObject)>("CoRevokeClassObject").value_or(nullptr);
  decltype(::CLSIDFromString)* clsidFromString =
      ole32.Bind<decltype(::CLSIDFromString)>("CLSIDFromString").value_or(nullptr);
  decltype(::ReleaseStgMedium)* releaseMedium =
      ole32.Bind<decltype(::ReleaseStgMedium)>("ReleaseStgMedium").value_or(nullptr);
  decltype(::DragQueryFileW)* dragQueryFile =
      shell32.Bind<decltype(::DragQueryFileW)>("DragQueryFileW").value_or(nullptr);
  decltype(::SHGetPathFromIDListEx)* pathOfList =
      shell32.Bind<decltype(::SHGetPathFromIDListEx)>("SHGetPathFromIDListEx").value_or(nullptr);
  decltype(::SHGetFileInfoW)* fileInfo =
      shell32.Bind<decltype(::SHGetFileInfoW)>("SHGetFileInfoW").value_or(nullptr);
  bool Complete() const {
    return initialize && registerClass && revokeClass && clsidFromString && releaseMedium &&
           dragQueryFile && pathOfList && fileInfo;
  }
};

// What the first Drop brought; the message loop ends with it.
struct Received {
  std::optional<modMain::Selection> selection;
  // A selection that came as the shell's item list, checked: its items are made files only once
  // the caller has its answer, as the shell may take its time over each.
  std::vector<std::uint8_t> items;
};

// The shell's item list: how a selection comes that is offered as no file list, such as items of
// a compressed folder or a phone.
CLIPFORMAT ItemListFormat() {
  static const auto format = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST));
  return format;
}

// The files of a CF_HDROP list, each checked against the list's own counts; none if it is odd.
std::optional<std::vector<std::wstring>> FilesOf(const Libraries& libraries, HDROP drop) {
  const UINT count = libraries.dragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
  if (count == 0 || count > itemList::kMostItems) return std::nullopt;
  std::vector<std::wstring> files;
  files.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = libraries.dragQueryFile(drop, i, nullptr, 0);
    if (length == 0 || length > kLongestPath) return std::nullopt;
    std::wstring file(length + 1, L'\0');
    if (libraries.dragQueryFile(drop, i, file.data(), length + 1) != length) return std::nullopt;
    file.resize(length);
    if (file.find(L'\0') != std::wstring::npos) return std::nullopt;
    files.push_back(std::move(file));
  }
  return files;
}

// The items of a checked item list in their order: each as its file's full path, or, when it has
// none, by the name File Explorer shows, to be told that it is no file.
void TakeItems(const Libraries& libraries, std::span<const std::uint8_t> bytes,
               modMain::Selection& selection) {
  const auto items = itemList::Read(bytes);
  std::wstring path(kLongestPath + 1, L'\0');
  for (std::size_t i = 0; items && i < items->own.size(); ++i) {
    const std::vector<std::uint8_t> list = items->Absolute(i);
    const auto id = reinterpret_cast<PCIDLIST_ABSOLUTE>(list.data());
    // Wine gives a virtual folder's parsing name ("::{GUID}") as its path.
    if (libraries.pathOfList(id, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) &&
        modMain::IsFullPath(path.c_str())) {
      selection.files.emplace_back(path.c_str());
      continue;
    }
    SHFILEINFOW info{};
    const bool named = libraries.fileInfo(reinterpret_cast<LPCWSTR>(id), 0, &info, sizeof(info),
                                          SHGFI_PIDL | SHGFI_DISPLAYNAME) &&
                       info.szDisplayName[0];
    selection.notFiles.emplace_back(named ? info.szDisplayName : L"An item");
  }
}

// One reference count for both objects; single-threaded: COM calls them on the one thread.
template <class Interface>
class Object : public Interface {
 public:
  virtual ~Object() = default;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    return Answer([&] {
      if (!out) return E_POINTER;
      if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
      }
      *out = nullptr;
      return E_NOINTERFACE;
    });
  }
  STDMETHODIMP_(ULONG) AddRef() noexcept override {
    return win32::Guarded([&] { return ++references_; }, [] { return ULONG{0}; });
  }
  STDMETHODIMP_(ULONG) Release() noexcept override {
    return win32::Guarded(
        [&] {
          const ULONG left = --references_;
          if (left == 0) delete this;
          return left;
        },
        [] { return ULONG{0}; });
  }

 protected:
  // The caller gets E_OUTOFMEMORY for whatever escapes BODY.
  template <class Body>
  static HRESULT Answer(Body&& body) noexcept {
    return win32::Guarded(body, [] { return E_OUTOFMEMORY; });
  }

 private:
  ULONG references_ = 1;
};

class Target final : public Object<IDropTarget> {
 public:
  Target(const Libraries& libraries, const modMain::CommandAction& action, Received& received)
      : libraries_(libraries), action_(action), received_(received) {}

  STDMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept override {
    return Answer([&] { return Accept(data, effect); });
  }
  STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) noexcept override {
    return Answer([&] {
      if (!effect) return E_POINTER;
      *effect = DROPEFFECT_COPY;
      return S_OK;
    });
  }
  STDMETHODIMP DragLeave() noexcept override {
    return Answer([] { return S_OK; });
  }
  STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept override {
    return win32::Guarded(
        [&]() -> HRESULT {
          if (!data || !effect) return E_POINTER;
          *effect = DROPEFFECT_NONE;
          // Only the first drop of this process: one selection, one run.
          if (received_.selection) return S_OK;
          // The file list; without it, the shell's item list.
          FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
          STGMEDIUM medium{};
          HRESULT got = data->GetData(&format, &medium);
          if (FAILED(got)) {
            format.cfFormat = ItemListFormat();
            got = data->GetData(&format, &medium);
          }
          if (FAILED(got)) return got;
          std::optional<std::vector<std::wstring>> files;
          std::vector<std::uint8_t> items;
          if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
            if (void* locked = GlobalLock(medium.hGlobal)) {
              const std::span bytes(static_cast<const std::uint8_t*>(locked),
                                    GlobalSize(medium.hGlobal));
              if (format.cfFormat == CF_HDROP) {
                files = FilesOf(libraries_, static_cast<HDROP>(locked));
              } else if (itemList::Read(bytes)) {
                items.assign(bytes.begin(), bytes.end());
              }
              GlobalUnlock(medium.hGlobal);
            }
          }
          libraries_.releaseMedium(&medium);
          if (!files && items.empty()) return E_INVALIDARG;
          received_.selection = modMain::Selection{&action_, {}, {}, {}};
          if (files) received_.selection->files = std::move(*files);
          received_.items = std::move(items);
          *effect = DROPEFFECT_COPY;
          // The caller gets its answer at once; the work runs once the loop has ended.
          PostQuitMessage(0);
          return S_OK;
        },
        []() -> HRESULT { return E_OUTOFMEMORY; });
  }

 private:
  HRESULT Accept(IDataObject* data, DWORD* effect) noexcept {
    if (!data || !effect) return E_POINTER;
    FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC items{ItemListFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    *effect = SUCCEEDED(data->QueryGetData(&files)) || SUCCEEDED(data->QueryGetData(&items))
                  ? DROPEFFECT_COPY
                  : DROPEFFECT_NONE;
    return S_OK;
  }

  const Libraries& libraries_;
  const modMain::CommandAction& action_;
  Received& received_;
};

class Factory final : public Object<IClassFactory> {
 public:
  Factory(const Libraries& libraries, const modMain::CommandAction& action, Received& received)
      : libraries_(libraries), action_(action), received_(received) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
    return Answer([&] {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (outer) return CLASS_E_NOAGGREGATION;
      auto* target = new (std::nothrow) Target(libraries_, action_, received_);
      if (!target) return E_OUTOFMEMORY;
      const HRESULT result = target->QueryInterface(iid, out);
      target->Release();
      return result;
    });
  }
  STDMETHODIMP LockServer(BOOL) noexcept override {
    return Answer([] { return S_OK; });
  }

 private:
  const Libraries& libraries_;
  const modMain::CommandAction& action_;
  Received& received_;
};

const modMain::CommandAction& ActionOf(std::wstring_view switchText) {
  for (const auto& action : modMain::ActionTable())
    if (action.switchText == switchText) return action;
  return modMain::ActionTable().front();
}

}  // namespace

std::optional<modMain::Selection> Receive() {
  static const Libraries libraries;
  if (!libraries.Complete()) return std::nullopt;
  if (FAILED(libraries.initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
    return std::nullopt;
  }
  // For the process's life: a caller may still hold a target once the loop is over.
  static Received received;
  std::vector<DWORD> cookies;
  for (const auto& [clsid, verb] :
       {std::pair{kRegisterClass, L"/register"}, std::pair{kUnregisterClass, L"/unregister"}}) {
    CLSID id{};
    if (FAILED(libraries.clsidFromString(clsid, &id))) continue;
    auto* factory = new (std::nothrow) Factory(libraries, ActionOf(verb), received);
    if (!factory) continue;
    DWORD cookie = 0;
    // Single use: the next selection starts a Pellory of its own.
    if (SUCCEEDED(
            libraries.registerClass(id, factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie))) {
      cookies.push_back(cookie);
    }
    factory->Release();
  }
  if (!cookies.empty()) {
    // No drop within a minute: nobody is coming.
    const UINT_PTR idle = SetTimer(nullptr, 0, kIdleMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == idle) break;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    KillTimer(nullptr, idle);
  }
  for (const DWORD cookie : cookies) libraries.revokeClass(cookie);
  if (received.selection && !received.items.empty())
    TakeItems(libraries, received.items, *received.selection);
  // COM stays for the process's life: the caller's last calls (its Release) come in while the
  // work's waits answer messages, and COM's own window must still find COM there.
  return received.selection;
}

}  // namespace dropTarget
