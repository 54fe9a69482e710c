// Environment variables: the process's own, and the persistent ones of the machine (the registry
// on Windows NT, C:\autoexec.bat on Windows 9x).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sx {

// The process environment value; "" when missing or empty.
std::string GetEnvVar(std::string_view name);

// The process environment as NAME=value lines, in the system's order.
void ListEnvironment(std::vector<std::string>& list);

// Changes the persistent environment (not the running process's): on Windows 9x through
// SetAutoexecVar; on NT as a string value of the system's (HKLM) or the user's (HKCU) environment
// key, an empty value deleting it. False for an empty name or when the change failed.
bool SetEnvVar(std::string_view name, std::string_view value, bool system);

// Sets or (with an empty value) removes "SET name=value" in C:\autoexec.bat, keeping every other
// line. Raises EEngineError("I/O error N") when the new file cannot be written.
bool SetAutoexecVar(std::string_view name, std::string_view value);

}  // namespace sx
