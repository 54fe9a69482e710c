// Assemblies for the global assembly cache, installed right after the file phase extracted them.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// Runs the first package's "gacutil.exe" with "/ir "<staged path>" OPAQUE "<AppID>" "<AppName>""
// (each argument quoted by the Windows rules) and waits for it. On success, unless `log` is false,
// logs the assembly under "SharedAssemblies" with the next number: the file name without
// extension, ",<assemblyData>" when there is any, and the reference " OPAQUE "<AppID>"
// "<AppName>"". False, after the error box "Cannot register assembly <file>", when the tool
// could not be started or ended with a non-zero exit code.
bool InstallAssembly(std::string_view stagedPath, bool log, std::string_view assemblyData);

// The argument in double quotes as Windows programs split their command line: a quote inside is
// escaped, backslashes before a quote (or the end) are doubled.
std::string QuoteArgument(std::string_view text);

}  // namespace sx
