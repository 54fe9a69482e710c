// Shared-file counts and assemblies.
#include "install/file_registration.h"

#include "database/sx_variable_access.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/reg_capture.h"
#include "platform/reg_paths.h"
#include "util/run_program.h"

namespace sx {

bool IncrementSharedCount(std::string_view path, bool existed) {
  if (LogHasKey(lsSharedFiles, path)) return true;
  int32_t count = RegReadInteger(kSharedDllsKey, path, 0);
  if (existed && count == 0) count = 1;
  // Restored by rollback; the uninstaller learns of the count from "SharedFiles" instead.
  InstallActionList().ForceRegKeys(kSharedDllsKey, true, false);
  auto& action = InstallActionList().AddActionOf<TInstallReg>();
  CaptureRegValue(action, kSharedDllsKey, path);
  action.Log = false;
  if (!RegWriteInteger(kSharedDllsKey, path, static_cast<uint32_t>(count) + 1)) {
    InstallActionList().Delete(InstallActionList().Count() - 1);
    return false;
  }
  LogWrite(lsSharedFiles, path, "");
  return true;
}

bool InstallAssembly(std::string_view stagedPath, std::string_view assemblyData, bool log) {
  TsxMainDatabase& database = InstallServices().Database();
  const std::string reference = ExpandText(&database, " OPAQUE \"%AppID%\" \"%AppName%\"");
  std::string tool;
  if (database.Packages->Count() > 0) {
    tool = database.Packages->Items(0).TempPath;
    if (!tool.empty() && tool.back() != '\\') tool += '\\';
  }
  tool += "gacutil.exe";
  const std::string arguments = "/ir \"" + std::string(stagedPath) + "\"" + reference;
  if (RunAndWait(0, tool, arguments, 0, "") != 0) return false;
  if (log) {
    std::string name(stagedPath.substr(stagedPath.find_last_of('\\') + 1));
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos) name.resize(dot);
    std::string value = name;
    if (!assemblyData.empty()) value += "," + std::string(assemblyData);
    LogWrite(lsSharedAssemblies, std::to_string(NextSharedAssemblyNumber()), value + reference);
  }
  return true;
}

}  // namespace sx
