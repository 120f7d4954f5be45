#include "driver.h"

#include <shlobj.h>

#include <fstream>

#include "frontend/dropTarget.h"

namespace {

// A data object holding a CF_HDROP list, as File Explorer hands a selection to a drop target.
class FileList final : public IDataObject {
 public:
  explicit FileList(const std::vector<std::wstring>& files) {
    for (const auto& file : files) paths_ += file + L'\0';
    paths_ += L'\0';
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDataObject)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }  // on the stack
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    const size_t bytes = sizeof(DROPFILES) + paths_.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, paths_.data(), paths_.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    *medium = {};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::wstring paths_;
  ULONG references_ = 1;
};

// The helper run: drops the files listed in LIST, one a line, on Pellory's register class.
int DropFrom(const wchar_t* list) {
  std::vector<std::wstring> files;
  std::wifstream in(list);
  for (std::wstring line; std::getline(in, line);) files.push_back(line);
  CLSID clsid{};
  CLSIDFromString(dropTarget::kRegisterClass, &clsid);
  IDropTarget* raw = nullptr;
  HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IDropTarget),
                                    reinterpret_cast<void**>(&raw));
  if (FAILED(result)) return static_cast<int>(result);
  const win32::unique_com<IDropTarget> target(raw);
  FileList data(files);
  DWORD effect = DROPEFFECT_COPY;
  if (FAILED(result = target->DragEnter(&data, MK_LBUTTON, {}, &effect))) return result;
  effect = DROPEFFECT_COPY;
  result = target->Drop(&data, 0, {}, &effect);
  return FAILED(result) ? static_cast<int>(result) : 0;
}

}  // namespace

// The driver's entry: the build links every program with -municode, which asks for wmain, and
// gtest_main only offers main.
int wmain(int argc, wchar_t** argv) {
  // A balloon is read through the accessibility interfaces as screen readers do, over COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (argc == 3 && std::wstring(argv[1]) == L"--drop") return DropFrom(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
