#include "install/servers.h"

#include <cstdint>
#include <string>

#include "host/host.h"
#include "install/install_actions.h"
#include "install/install_run.h"
#include "install/item_phase.h"
#include "plugins/sxplugin.h"
#include "util/case_tables.h"

namespace sx {
namespace {

constexpr int kShowHidden = 0;
using TServerEntry = std::int32_t (*)();  // HRESULT STDAPI DllRegisterServer(void)

uint32_t LittleEndian32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool IsProgramName(std::string_view path) {
  return path.size() >= 4 && SameTextFast(path.substr(path.size() - 4), ".exe");
}

// Runs the program with the switch, hidden, without waiting; true when it started.
bool RunWithSwitch(std::string_view path, std::string_view switchText) {
  const std::string commandLine = "\"" + std::string(path) + "\" " + std::string(switchText);
  return host::CurrentHost().CreateProcess(path, commandLine, "", kShowHidden) != nullptr;
}

// Step one of a registration: the image's own entry or program. A file this machine cannot load
// is no image (a separate type library, say), except a PE image, which fails as a
// foreign-architecture image does; a library without the entry that is no program has nothing
// to call.
enum class TImageResult { kNothingToCall, kDone, kFailed };

TImageResult ChangeImageRegistration(std::string_view path, bool isPE, bool registering) {
  auto& host = host::CurrentHost();
  // Here an image is what this machine can load: ELF libraries, and programs and scripts, which
  // load as libraries without exports (as Windows loads an .exe). A PE image cannot load.
  std::unique_ptr<host::Library> library = host.LoadLibrary(path);
  if (!library) return isPE ? TImageResult::kFailed : TImageResult::kNothingToCall;
  const bool hasEntry = library->Symbol("DllRegisterServer") != nullptr;
  const char* entryName = registering ? "DllRegisterServer" : "DllUnregisterServer";
  const char* programSwitch = registering ? "/REGSERVER" : "/UNREGSERVER";
  if (hasEntry) {
    auto* entry = reinterpret_cast<TServerEntry>(library->Symbol(entryName));
    if (entry) {
      // Loaded once more for the call, as the system's registration tool does.
      std::unique_ptr<host::Library> again = host.LoadLibrary(path);
      if (again) {
        entry = reinterpret_cast<TServerEntry>(again->Symbol(entryName));
        if (entry && entry() >= 0) return TImageResult::kDone;
      }
    }
  } else if (!IsProgramName(path)) {
    return TImageResult::kNothingToCall;
  }
  return IsProgramName(path) && RunWithSwitch(path, programSwitch) ? TImageResult::kDone : TImageResult::kFailed;
}

bool ChangeRegistration(std::string_view path, bool registering) {
  TPEImageCheck check = IsPEImage(path);
  if (!check.opened) return false;
  const TImageResult image = ChangeImageRegistration(path, check.isPE, registering);
  if (image == TImageResult::kFailed) return false;
  const bool typeLibrary = registering ? RegisterTypeLibrary(path) : UnregisterTypeLibrary(path);
  return image == TImageResult::kDone || typeLibrary;
}

}  // namespace

TPEImageCheck IsPEImage(std::string_view path) {
  TPEImageCheck check;
  auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kRead, true});
  if (!file) return check;
  check.opened = true;
  unsigned char header[64];
  auto got = file->Read(header, sizeof header);
  auto size = file->Size();
  if (!got || *got != sizeof header || !size || header[0] != 'M' || header[1] != 'Z') return check;
  const uint32_t offset = LittleEndian32(header + 60);
  if (offset == 0 || offset >= *size || *size - offset < 4 || !file->Seek(offset)) return check;
  unsigned char signature[4];
  got = file->Read(signature, sizeof signature);
  check.isPE = got && *got == 4 && LittleEndian32(signature) == 0x00004550;
  return check;
}

bool RegisterTypeLibrary(std::string_view path) {
  auto& host = host::CurrentHost();
  const std::string fullPath = host.FullPath(path);
  auto library = host.LoadTypeLib(fullPath);
  if (!library) return false;
  const size_t slash = library->helpFile.find_last_of('\\');
  const std::string helpFolder = slash == std::string::npos ? "" : library->helpFile.substr(0, slash);
  return host.RegisterTypeLib(fullPath, helpFolder);
}

bool UnregisterTypeLibrary(std::string_view path) {
  auto& host = host::CurrentHost();
  auto library = host.LoadTypeLib(host.FullPath(path));
  return library && host.UnRegisterTypeLib(*library);
}

bool RegisterServer(std::string_view path) { return ChangeRegistration(path, true); }

bool UnregisterServer(std::string_view path) { return ChangeRegistration(path, false); }

bool RegisterServers() {
  TInstallActions& actions = InstallActionList();
  for (int i = 0; i < actions.Count(); ++i) {
    auto* file = dynamic_cast<TInstallFile*>(&actions.Items(i));
    if (!file || !file->IsServer) continue;
    const std::string path = file->FileName;
    SxRegisterItem record{path.c_str(), 0};
    if (ItemVetoed(ikServers, &record)) continue;
    if (!RegisterServer(path)) {
      ShowItemError(FormatMessage("Cannot register \"%s\".", path));
      return false;
    }
    ItemDone(ikServers, &record);
  }
  return true;
}

}  // namespace sx
