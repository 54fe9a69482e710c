#include "install/assemblies.h"

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "util/run_program.h"

namespace sx {
namespace {

constexpr int kShowHidden = 0;

std::string BaseNameOf(std::string_view path) {
  const size_t slash = path.rfind('\\');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::string QuoteArgument(std::string_view text) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

bool InstallAssembly(std::string_view stagedPath, bool log, std::string_view assemblyData) {
  TInstallServices& services = InstallServices();
  TsxMainDatabase& database = services.Database();
  const std::string appId = ReadVariable(&database, "AppID", "");
  const std::string appName = ReadVariable(&database, "AppName", "");
  const std::string reference = ExpandText(&database, " OPAQUE \"%AppID%\" \"%AppName%\"");
  // Quoted argument by argument, so that a quote in a name can neither split nor add one.
  const std::string parameters = "/ir " + QuoteArgument(stagedPath) + " OPAQUE " + QuoteArgument(appId) +
                                 " " + QuoteArgument(appName);
  int result = -1;
  if (database.Packages->Count() > 0) {
    std::string tool = database.Packages->Items(0).TempPath;
    if (!tool.empty() && tool.back() != '\\') tool += '\\';
    result = RunAndWait(0, tool + "gacutil.exe", parameters, kShowHidden, "");
  }
  if (result != 0) {
    services.ShowErrorBox("Cannot register assembly " + FileNameOf(stagedPath));
    return false;
  }
  if (log) {
    std::string value = BaseNameOf(stagedPath);
    if (!assemblyData.empty()) value += "," + std::string(assemblyData);
    LogWrite(lsSharedAssemblies, std::to_string(NextSharedAssemblyNumber()), value + reference);
  }
  return true;
}

}  // namespace sx
