// What the file phase registers beside the files themselves: shared-file counts and assemblies of
// the global assembly cache.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// Where the shared-file counts live (value name = the file's path, a DWORD).
inline constexpr char kSharedDllsKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Counts one more user of a shared file. When the install log already lists the path under
// "SharedFiles" (logging on), it was counted in this run and nothing happens. Otherwise the count
// is raised by one; a file that `existed` before this installation without a count counts as one
// user already. The old value is recorded (not logged) so that a rollback restores it, and the
// path is logged under "SharedFiles". False when the count could not be written.
bool IncrementSharedCount(std::string_view path, bool existed);

// Installs the assembly staged at `stagedPath` (in a folder of its own) into the global assembly
// cache with the first package's "gacutil.exe" and, with `log`, lists it in the install log's
// "SharedAssemblies". False when the tool could not be started or failed.
bool InstallAssembly(std::string_view stagedPath, std::string_view assemblyData, bool log);

}  // namespace sx
