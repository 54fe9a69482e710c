#include "util/environment.h"

#include <cstdio>

#include "host/host.h"
#include "util/case_tables.h"
#include "util/errors.h"
#include "util/str_utils.h"
#include "util/file_io.h"
#include "util/os_version.h"
#include "util/unique_name.h"

namespace sx {
namespace {

constexpr char kSystemEnvironment[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

bool SameTextAnsi(std::string_view a, std::string_view b) {
  return host::CurrentHost().CompareLocale(a, b, true) == 0;
}

// The lines of a text file, as the runtime's text files read them (CR LF, LF or CR ends a line).
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == 0x1A) {
      break;  // end-of-file mark of DOS text files
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

[[noreturn]] void RaiseIoError() {
  throw EEngineError("I/O error " + std::to_string(host::CurrentHost().LastError()));
}

}  // namespace

std::string GetEnvVar(std::string_view name) {
  auto value = host::CurrentHost().GetEnv(name);
  return value ? *value : std::string();
}

void ListEnvironment(std::vector<std::string>& list) { list = host::CurrentHost().ListEnv(); }

bool SetEnvVar(std::string_view name, std::string_view value, bool system) {
  if (name.empty()) return false;
  if (IsWin9x()) return SetAutoexecVar(name, value);
  auto& host = host::CurrentHost();
  host::RegRoot root = system ? host::RegRoot::kLocalMachine : host::RegRoot::kCurrentUser;
  std::string_view key = system ? kSystemEnvironment : "Environment";
  if (value.empty()) return host.RegDeleteValue(root, key, name);
  return host.RegCreateKey(root, key) &&
         host.RegSetValue(root, key, name, {host::kRegSz, std::string(value) + '\0'});
}

bool SetAutoexecVar(std::string_view name, std::string_view value) {
  auto& host = host::CurrentHost();
  const std::string folder = "c:\\";
  const std::string autoexec = folder + "autoexec.bat";
  const std::string temp = folder + MakeUniqueName(folder, "", ".bat", true);

  std::string out;
  bool found = false;
  const bool exists = host.GetFileInfo(autoexec).has_value();
  if (exists) {
    auto content = ReadFileContent(autoexec);
    if (!content) RaiseIoError();
    for (const std::string& line : TextLines(*content)) {
      std::string trimmed = Trim(line);
      bool setting = false;
      if (trimmed.size() >= 4 && SameTextFast(trimmed.substr(0, 4), "SET ")) {
        std::string rest = Trim(std::string_view(trimmed).substr(4));
        setting = SameTextAnsi(Trim(rest.substr(0, rest.find('='))), name);
      }
      if (!setting) {
        out += line + "\r\n";
        continue;
      }
      found = true;
      if (!value.empty()) out += "SET " + std::string(name) + "=" + std::string(value) + "\r\n";
    }
  }
  if (!found && !value.empty()) out += "SET " + std::string(name) + "=" + std::string(value) + "\r\n";

  {
    auto file = host.OpenFile(temp, {host::OpenMode::kCreateNew, false});
    if (!file || !file->Write(out.data(), out.size())) {
      file.reset();
      host.DeleteFile(temp);
      RaiseIoError();
    }
  }
  // The new file replaces the old one in one rename, so a crash never leaves the machine without
  // its autoexec.bat.
  if (exists) host.SetFileAttributes(autoexec, host::kAttrNormal);
  if (!host.MoveFile(temp, autoexec, true)) {
    host.DeleteFile(temp);
    return false;
  }
  return true;
}

}  // namespace sx
