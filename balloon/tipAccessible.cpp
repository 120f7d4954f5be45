#include "balloon/tipAccessible.h"

#include <ole2.h>
#include <oleacc.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "balloon/modBalloon.h"
#include "balloon/tipDesign.h"
#include "win32/system.h"

namespace balloon {
namespace {

using win32::SystemLibrary;

// oleacc is no known DLL: it comes from the system folder only, and only once a reader asks.
// COM comes with it, since the object is handed over by marshalling.
struct Runtime {
  decltype(&::CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
  decltype(&::LresultFromObject) lresultFromObject = nullptr;
  decltype(&::CoDisconnectObject) coDisconnectObject = nullptr;
  decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
  SystemLibrary oleacc{L"oleacc.dll"}, ole32{L"ole32.dll"}, oleaut32{L"oleaut32.dll"};
  win32::unique_co_init com;  // ends before ole32 goes
};

template <class F>
bool Bind(const SystemLibrary& library, const char* name, F& function) {
  const auto bound = library.Bind<std::remove_pointer_t<F>>(name);
  if (bound) function = *bound;
  return static_cast<bool>(bound);
}

// Nothing when a piece is missing: the window then answers as any window does.
const Runtime* Library() {
  static Runtime runtime;
  static const bool ready = [] {
    const bool bound =
        Bind(runtime.oleacc, "CreateStdAccessibleObject", runtime.createStdAccessibleObject) &&
        Bind(runtime.oleacc, "LresultFromObject", runtime.lresultFromObject) &&
        Bind(runtime.ole32, "CoDisconnectObject", runtime.coDisconnectObject) &&
        Bind(runtime.oleaut32, "SysAllocStringLen", runtime.sysAllocStringLen);
    if (!bound) return false;
    // Calls from readers arrive through this thread's message loop.
    auto com = win32::StartCom(runtime.ole32, COINIT_APARTMENTTHREADED);
    if (com) runtime.com = std::move(*com);
    return com || com.failure().code == static_cast<std::uint32_t>(RPC_E_CHANGED_MODE);
  }();
  return ready ? &runtime : nullptr;
}

HRESULT Text(std::wstring_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = Library()->sysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(LONG value, VARIANT* out) {
  if (!out) return E_POINTER;
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

HRESULT Nothing(BSTR* out) { return Text({}, out); }

}  // namespace

// The client area's own object: an alert, named by the window's caption, whose children are
// the standard ones followed by the close button. Everything else is the standard object's.
// Every method runs through Guarded, those that answer an HRESULT through Answer: nothing
// escapes to a reader.
class AccessibleObject final : public IAccessible, public IOleWindow {
 public:
  AccessibleObject(AccessibleForm& form, win32::unique_com<IAccessible> standard)
      : form_(&form), standard_(std::move(standard)) {}

  void Disconnect() {
    form_ = nullptr;
    standard_.reset();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override {
    return Answer([&] {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
          riid == __uuidof(IAccessible)) {
        *out = static_cast<IAccessible*>(this);
      } else if (riid == __uuidof(IOleWindow)) {
        *out = static_cast<IOleWindow*>(this);
      } else {
        return E_NOINTERFACE;
      }
      AddRef();
      return S_OK;
    });
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override {
    return win32::Guarded([&] { return static_cast<ULONG>(InterlockedIncrement(&references_)); },
                          [] { return ULONG{0}; });
  }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    return win32::Guarded(
        [&] {
          const LONG left = InterlockedDecrement(&references_);
          if (left == 0) delete this;
          return static_cast<ULONG>(left);
        },
        [] { return ULONG{0}; });
  }

  // IDispatch: readers call through the table, so there is no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    return Answer([&] {
      if (!count) return E_POINTER;
      *count = 0;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
    return Answer([&] {
      if (info) *info = nullptr;
      return E_NOTIMPL;
    });
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                          DISPID*) noexcept override {
    return Answer([] { return E_NOTIMPL; });
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) noexcept override {
    return Answer([] { return E_NOTIMPL; });
  }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override {
    return Answer([&] {
      if (!window) return E_POINTER;
      *window = form_ ? form_->Window() : nullptr;
      return form_ ? S_OK : CO_E_OBJNOTCONNECTED;
    });
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override {
    return Answer([] { return E_NOTIMPL; });
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) noexcept override {
    return Answer([&] { return form_ ? standard_->get_accParent(parent) : Gone(parent); });
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) noexcept override {
    return Answer([&] {
      if (!count) return E_POINTER;
      *count = 0;
      if (!form_) return CO_E_OBJNOTCONNECTED;
      const HRESULT hr = standard_->get_accChildCount(count);
      if (SUCCEEDED(hr) && form_->CloseButton()) ++*count;
      return hr;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(object);
      if (!IsClose(child)) return standard_->get_accChild(child, object);
      if (!object) return E_POINTER;
      *object = nullptr;
      return S_FALSE;  // a simple element: its parent answers for it
    });
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(name);
      if (IsClose(child)) return Text(design::kCloseToolTip, name);
      if (!IsSelf(child)) return standard_->get_accName(child, name);
      // The caption as it is, without the standard object's mnemonic handling.
      const HWND window = form_->Window();
      std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
      caption.resize(static_cast<size_t>(
          GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()))));
      return Text(caption, name);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(value);
      return IsClose(child) ? Nothing(value) : standard_->get_accValue(child, value);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(text);
      return IsClose(child) ? Nothing(text) : standard_->get_accDescription(child, text);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(role);
      if (IsClose(child)) return Number(ROLE_SYSTEM_PUSHBUTTON, role);
      if (IsSelf(child)) return Number(ROLE_SYSTEM_ALERT, role);
      return standard_->get_accRole(child, role);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(state);
      if (IsClose(child)) return Number(0, state);  // a plain button: no state flag
      return standard_->get_accState(child, state);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(help);
      return IsClose(child) ? Nothing(help) : standard_->get_accHelp(child, help);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child,
                                             LONG* topic) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(file);
      if (!IsClose(child)) return standard_->get_accHelpTopic(file, child, topic);
      if (topic) *topic = 0;
      return Nothing(file);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(keys);
      return IsClose(child) ? Nothing(keys) : standard_->get_accKeyboardShortcut(child, keys);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) noexcept override {
    return Answer([&] { return form_ ? standard_->get_accFocus(child) : Gone(child); });
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) noexcept override {
    return Answer([&] { return form_ ? standard_->get_accSelection(children) : Gone(children); });
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(action);
      if (IsClose(child)) return Text(L"Press", action);
      return standard_->get_accDefaultAction(child, action);
    });
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) noexcept override {
    return Answer([&] {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      return IsClose(child) ? DISP_E_MEMBERNOTFOUND : standard_->accSelect(flags, child);
    });
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) noexcept override {
    return Answer([&] {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      if (!IsClose(child)) return standard_->accLocation(left, top, width, height, child);
      if (!left || !top || !width || !height) return E_POINTER;
      const RECT r = *form_->CloseButton();
      POINT corner{r.left, r.top};
      ClientToScreen(form_->Window(), &corner);
      *left = corner.x;
      *top = corner.y;
      *width = r.right - r.left;
      *height = r.bottom - r.top;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start,
                                        VARIANT* end) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(end);
      if (!IsClose(start)) return standard_->accNavigate(direction, start, end);
      if (!end) return E_POINTER;
      end->vt = VT_EMPTY;
      return S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) noexcept override {
    return Answer([&] {
      if (!form_) return Gone(child);
      POINT at{x, y};
      ScreenToClient(form_->Window(), &at);
      // No id when the standard object cannot count its children: then the standard answer.
      const auto close = form_->CloseButton();
      const auto id = CloseId();
      if (close && id && PtInRect(&*close, at)) return Number(*id, child);
      return standard_->accHitTest(x, y, child);
    });
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) noexcept override {
    return Answer([&] {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      if (!IsClose(child)) return standard_->accDoDefaultAction(child);
      form_->PressClose();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) noexcept override {
    return Answer([] { return E_NOTIMPL; });
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) noexcept override {
    return Answer([] { return E_NOTIMPL; });
  }

 private:
  ~AccessibleObject() = default;

  // A reader gets E_OUTOFMEMORY for whatever escapes BODY.
  template <class Body>
  static HRESULT Answer(Body&& body) noexcept {
    return win32::Guarded(body, [] { return E_OUTOFMEMORY; });
  }

  static bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
  }
  // The close button follows the standard children, while it is shown.
  std::optional<LONG> CloseId() const {
    LONG count = 0;
    if (!form_->CloseButton() || FAILED(standard_->get_accChildCount(&count))) return {};
    return count + 1;
  }
  bool IsClose(const VARIANT& child) const {
    const auto id = CloseId();
    return id && child.vt == VT_I4 && child.lVal == *id;
  }
  template <class T>
  static HRESULT Gone(T** out) {
    if (out) *out = nullptr;
    return CO_E_OBJNOTCONNECTED;
  }
  static HRESULT Gone(VARIANT* out) {
    if (out) out->vt = VT_EMPTY;
    return CO_E_OBJNOTCONNECTED;
  }

  LONG references_ = 1;
  AccessibleForm* form_;
  win32::unique_com<IAccessible> standard_;
};

LRESULT TipAccessible::OnGetObject(WPARAM wp, LPARAM lp) {
  if (static_cast<DWORD>(lp) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  const Runtime* runtime = Library();
  if (!runtime) return 0;
  if (!object_) {
    IAccessible* made = nullptr;
    if (FAILED(runtime->createStdAccessibleObject(form_.Window(), OBJID_CLIENT,
                                                  __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&made)))) {
      return 0;
    }
    // Owned before the allocation, which may throw.
    win32::unique_com<IAccessible> standard(made);
    object_.reset(new AccessibleObject(form_, std::move(standard)));
  }
  // A failure leaves the request to the standard object.
  const LRESULT result = runtime->lresultFromObject(__uuidof(IAccessible), wp,
                                                    static_cast<IAccessible*>(object_.get()));
  return result > 0 ? result : 0;
}

TipAccessible::TipAccessible(AccessibleForm& form) : form_(form) {}
TipAccessible::~TipAccessible() { Disconnect(); }

void TipAccessible::Disconnect() {
  if (!object_) return;
  object_->Disconnect();
  // Drops what readers still hold, and what was marshalled but never collected.
  Library()->coDisconnectObject(static_cast<IAccessible*>(object_.get()), 0);
  object_.reset();
}

}  // namespace balloon
