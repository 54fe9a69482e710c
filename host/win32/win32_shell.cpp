// Shell services of the Win32 host: shell links through IShellLinkA, change notifications,
// broadcasts, font resources and type libraries (oleaut32). Traced as on the simulated machine.
#include "host/win32/win32_api.h"

#include <cstdio>

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

// COM for the calling thread while it lives (apartment-threaded, as the shell wants).
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }

 private:
  bool ok_;
};

// Releases a COM interface when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

const char* SysKindName(int sysKind) {
  switch (sysKind) {
    case 0: return "win16";
    case 2: return "mac";
    case 3: return "win64";
    default: return "win32";
  }
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string FromBstr(BSTR text) {
  std::string out = text ? WideToAnsi(std::wstring_view(text, SysStringLen(text))) : "";
  SysFreeString(text);
  return out;
}

uint32_t ErrorOf(HRESULT result) {
  return HRESULT_FACILITY(result) == FACILITY_WIN32 ? static_cast<uint32_t>(HRESULT_CODE(result))
                                                    : static_cast<uint32_t>(kErrorBadFormat);
}

}  // namespace

bool Win32Host::SaveShellLink(std::string_view path, const ShellLinkData& link) {
  ComScope com;
  ComPtr<IShellLinkA> shellLink;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(shellLink.out()));
  if (FAILED(result)) return FailWith(ErrorOf(result));
  shellLink->SetPath(link.target.c_str());
  shellLink->SetArguments(link.arguments.c_str());
  shellLink->SetWorkingDirectory(link.workingDir.c_str());
  shellLink->SetDescription(link.description.c_str());
  if (!link.iconFile.empty()) shellLink->SetIconLocation(link.iconFile.c_str(), link.iconIndex);
  shellLink->SetShowCmd(link.showCommand);
  shellLink->SetHotkey(link.hotKey);
  ComPtr<IPersistFile> file;
  result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()));
  if (SUCCEEDED(result)) result = file->Save(AnsiToWide(path).c_str(), TRUE);
  if (FAILED(result)) return FailWith(ErrorOf(result));
  Trace("shelllink", path);
  return true;
}

void Win32Host::NotifyFolderUpdated(std::string_view path) {
  const std::string folder(path);
  SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA | SHCNF_FLUSH, folder.c_str(), nullptr);
  Trace("shellnotify", "SHCNE_UPDATEDIR " + folder);
}

void Win32Host::BroadcastSettingChange(std::string_view area) {
  const std::string text(area);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &result);
  Trace("broadcast", "WM_WININICHANGE " + text);
}

void Win32Host::BroadcastFontChange() {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  Trace("broadcast", "WM_FONTCHANGE");
}

bool Win32Host::AddFontResource(std::string_view path) {
  const bool added = AddFontResourceA(std::string(path).c_str()) > 0;
  Trace("font", std::string(added ? "add " : "add refused ") + std::string(path));
  return added || FailWith(kErrorBadFormat);
}

bool Win32Host::RemoveFontResource(std::string_view path) {
  if (!RemoveFontResourceA(std::string(path).c_str())) return false;
  Trace("font", "remove " + std::string(path));
  return true;
}

std::optional<TypeLibInfo> Win32Host::LoadTypeLib(std::string_view path) {
  ComPtr<ITypeLib> library;
  const HRESULT result = LoadTypeLibEx(AnsiToWide(path).c_str(), REGKIND_NONE, library.out());
  if (FAILED(result)) {
    FailWith(ErrorOf(result));
    return std::nullopt;
  }
  TLIBATTR* attributes = nullptr;
  if (FAILED(library->GetLibAttr(&attributes))) {
    FailWith(kErrorBadFormat);
    return std::nullopt;
  }
  TypeLibInfo info;
  info.libid = GuidText(attributes->guid);
  info.major = attributes->wMajorVerNum;
  info.minor = attributes->wMinorVerNum;
  info.lcid = attributes->lcid;
  info.sysKind = attributes->syskind;
  info.flags = attributes->wLibFlags;
  library->ReleaseTLibAttr(attributes);
  BSTR name = nullptr, doc = nullptr, help = nullptr;
  if (SUCCEEDED(library->GetDocumentation(-1, &name, &doc, nullptr, &help))) {
    info.name = FromBstr(name);
    info.docString = FromBstr(doc);
    info.helpFile = FromBstr(help);
  }
  return info;
}

bool Win32Host::RegisterTypeLib(std::string_view path, std::string_view helpFolder) {
  const std::string fullPath = FullPath(path);
  ComPtr<ITypeLib> library;
  HRESULT result = LoadTypeLibEx(AnsiToWide(fullPath).c_str(), REGKIND_NONE, library.out());
  if (SUCCEEDED(result)) {
    std::wstring file = AnsiToWide(fullPath), help = AnsiToWide(helpFolder);
    result = ::RegisterTypeLib(library.get(), file.data(), help.empty() ? nullptr : help.data());
  }
  Trace("typelib", std::string(SUCCEEDED(result) ? "register " : "register refused ") + fullPath);
  return SUCCEEDED(result) || FailWith(ErrorOf(result));
}

bool Win32Host::UnRegisterTypeLib(const TypeLibInfo& library) {
  char version[16];
  std::snprintf(version, sizeof version, "%x.%x", library.major, library.minor);
  Trace("typelib", "unregister " + library.libid + " " + version + " " + Hex(library.lcid) + " " +
                       SysKindName(library.sysKind));
  GUID guid;
  if (FAILED(CLSIDFromString(AnsiToWide(library.libid).c_str(), &guid))) return FailWith(kErrorInvalidParameter);
  const HRESULT result = ::UnRegisterTypeLib(guid, library.major, library.minor, library.lcid,
                                             static_cast<SYSKIND>(library.sysKind));
  return SUCCEEDED(result) || FailWith(ErrorOf(result));
}

}  // namespace sx::host
