// atlasext.dll for Windows: Atlas's shell extension, a real self-registering server. Registering
// writes its class under HKCR\CLSID (the server's path as InprocServer32); unregistering removes
// that key again. Like the build for the simulated machine, each call is also noted in the file
// that ATLASEXT_LOG names ("register" or "unregister" with the DLL's path).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kClassKey[] = "CLSID\\{6B1F3C52-9A0E-4D7B-8E21-3C5A9D40F1A7}";
constexpr char kClassName[] = "Atlas map preview";

HMODULE g_module = nullptr;

std::string ModulePath() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  return std::string(path, n);
}

HRESULT Record(const char* call) {
  const char* log = std::getenv("ATLASEXT_LOG");
  if (!log || !*log) return S_OK;
  std::FILE* file = std::fopen(log, "a");
  if (!file) return E_FAIL;  // the record could not be kept
  std::fprintf(file, "%s %s\n", call, ModulePath().c_str());
  std::fclose(file);
  return S_OK;
}

bool SetText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  HKEY classKey = nullptr, serverKey = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  bool ok = SetText(classKey, nullptr, kClassName);
  ok = RegCreateKeyExA(classKey, "InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr) ==
           ERROR_SUCCESS && ok;
  if (serverKey) {
    ok = SetText(serverKey, nullptr, ModulePath()) && SetText(serverKey, "ThreadingModel", "Apartment") && ok;
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  if (!ok) return SELFREG_E_CLASS;
  return Record("register");
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
  const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
  return Record("unregister");
}
