#include "driver.h"

#include <shlobj.h>

#include <fstream>

#include "frontend/dropTarget.h"

namespace {

// The files as the shell's item list (a CIDA), as File Explorer writes a selection in one folder:
// the folder's IDs, then each file's last ID below it.
std::string ItemList(const std::vector<std::wstring>& files) {
  std::string folder, own;
  std::vector<UINT> head{static_cast<UINT>(files.size()), 4 * static_cast<UINT>(files.size() + 2)};
  for (const auto& file : files) {
    const auto id = ILCreateFromPathW(file.c_str());
    const auto* last = reinterpret_cast<const char*>(ILFindLastID(id));
    folder.assign(reinterpret_cast<const char*>(id), last).append(2, '\0');
    head.push_back(static_cast<UINT>(own.size()));  // made whole once the folder is known
    own.append(last, ILGetSize(reinterpret_cast<PCUIDLIST_RELATIVE>(last)));
    ILFree(id);
  }
  for (size_t i = 2; i < head.size(); ++i) head[i] += head[1] + static_cast<UINT>(folder.size());
  return std::string(reinterpret_cast<const char*>(head.data()), head.size() * 4) + folder + own;
}

// A data object holding a CF_HDROP list, as File Explorer hands a selection to a drop target, or
// with ITEMS only the shell's item list.
class FileList final : public IDataObject {
 public:
  FileList(const std::vector<std::wstring>& files, bool items)
      : format_(items ? RegisterClipboardFormatW(CFSTR_SHELLIDLIST) : CF_HDROP) {
    if (items) {
      bytes_ = ItemList(files);
      return;
    }
    std::wstring paths;
    for (const auto& file : files) paths += file + L'\0';
    paths += L'\0';
    const DROPFILES drop{sizeof(DROPFILES), {}, FALSE, TRUE};
    bytes_.assign(reinterpret_cast<const char*>(&drop), sizeof(drop));
    bytes_.append(reinterpret_cast<const char*>(paths.data()), paths.size() * sizeof(wchar_t));
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
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    memcpy(GlobalLock(memory), bytes_.data(), bytes_.size());
    GlobalUnlock(memory);
    *medium = {};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
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
  UINT format_;
  std::string bytes_;
  ULONG references_ = 1;
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
  FileList data(files, items);
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
  if (argc == 3 && std::wstring(argv[1]).starts_with(L"--drop"))
    return DropFrom(argv[2], std::wstring(argv[1]) == L"--drop-items");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
