#include "driver.h"

#include <shlobj.h>

#include <fstream>

#include "frontend/dropTarget.h"

namespace {

// The shell's own data object with only its item list on offer, as for items that are no files.
class ItemsOnly final : public IDataObject {
 public:
  explicit ItemsOnly(IDataObject* shell) : shell_(shell) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDataObject)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // on the stack
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    return format->cfFormat == CF_HDROP ? DV_E_FORMATETC : shell_->GetData(format, medium);
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP ? DV_E_FORMATETC : shell_->QueryGetData(format);
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
  IDataObject* shell_;
};

// The helper run: drops the files listed in LIST, one a line, on Pellory's register class; with
// ITEMS as the shell's item list.
int DropFrom(const wchar_t* list, bool items) {
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
  // The shell's data object for files in one folder, as File Explorer makes it for a selection:
  // the folder's IDs, and each file's last one.
  std::vector<PIDLIST_ABSOLUTE> ids;
  for (const auto& file : files) ids.push_back(ILCreateFromPathW(file.c_str()));
  const PIDLIST_ABSOLUTE folder = ILCloneFull(ids.front());
  ILRemoveLastID(folder);
  std::vector<PCUITEMID_CHILD> last;
  for (const auto id : ids) last.push_back(ILFindLastID(id));
  IDataObject* shell = nullptr;
  result = CIDLData_CreateFromIDArray(folder, static_cast<UINT>(last.size()), last.data(), &shell);
  if (FAILED(result)) return static_cast<int>(result);
  const win32::unique_com<IDataObject> data(shell);
  ItemsOnly itemsOnly(shell);
  IDataObject* const dropped = items ? &itemsOnly : shell;
  DWORD effect = DROPEFFECT_COPY;
  if (FAILED(result = target->DragEnter(dropped, MK_LBUTTON, {}, &effect))) return result;
  effect = DROPEFFECT_COPY;
  result = target->Drop(dropped, 0, {}, &effect);
  return FAILED(result) ? static_cast<int>(result) : 0;
}

}  // namespace

// The driver's entry: the build links every program with -municode, which asks for wmain, and
// gtest_main only offers main.
int wmain(int argc, wchar_t** argv) {
  // A balloon is read through the accessibility interfaces as screen readers do, over COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (argc == 3 && std::wstring(argv[1]).starts_with(L"--drop"))
    return DropFrom(argv[2], std::wstring(argv[1]) == L"--drop-items");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
