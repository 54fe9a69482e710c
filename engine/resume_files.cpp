#include "engine/resume_files.h"

#include "engine/engine_context.h"
#include "host/host.h"
#include "install/install_actions.h"
#include "util/system_folders.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

std::string WithBackslash(std::string_view path) {
  std::string p(path);
  if (p.empty() || p.back() != '\\') p += '\\';
  return p;
}

bool IsUniqueCode(std::string_view text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'V') || (c >= 'a' && c <= 'v'))) return false;
  return true;
}

// Splits a full path into its folder (with '\') and its last name.
std::pair<std::string, std::string> SplitLast(std::string_view path) {
  std::string full = host::CurrentHost().FullPath(path);
  while (full.size() > 3 && full.back() == '\\') full.pop_back();
  size_t slash = full.find_last_of('\\');
  if (slash == std::string::npos) return {"", full};
  return {full.substr(0, slash + 1), full.substr(slash + 1)};
}

bool InSystemTempFolder(const std::string& folder) {
  return host::CurrentHost().CompareLocale(folder, WithBackslash(host::CurrentHost().FullPath(GetTempFolder())), true) == 0;
}

bool HoldsDocument(const std::string& path, std::string_view root) {
  TXMLTag tag;
  try {
    if (!tag.LoadFromFile(path)) return false;
  } catch (const TXMLParserError&) {
    return false;
  }
  return tag.Name() == root;
}

}  // namespace

bool LoadResumeState(std::string_view tempDir) {
  const std::string folder = WithBackslash(tempDir);
  if (!HoldsDocument(folder + kResumeDatabaseFile, "sx2project") ||
      !HoldsDocument(folder + kResumeActionsFile, "installactions"))
    return false;
  TEngineContext* engine = CurrentEngine();
  if (!engine) return true;  // nothing to load into: the files were only checked
  TsxMainDatabase& database = engine->Database();
  TInstallActions& actions = InstallActionList();
  database.Clear();
  actions.Clear();
  try {
    if (database.LoadFromFile(folder + kResumeDatabaseFile, "sx2project") &&
        actions.LoadFromFile(folder + kResumeActionsFile, "installactions"))
      return true;
  } catch (const TXMLParserError&) {
  }
  // The files changed between the check and the load: start from nothing rather than half a state.
  database.Clear();
  actions.Clear();
  return false;
}

namespace {

// Writes the document under a temporary name first, so that an interrupted save never leaves a
// truncated state file where the resumed engine looks for it.
bool SaveDocument(const TXMLObject& object, const std::string& path, std::string_view root) {
  const std::string temporary = path + ".new";
  auto& host = host::CurrentHost();
  if (object.SaveToFile(temporary, root) && host.MoveFile(temporary, path, true)) return true;
  host.DeleteFile(temporary);
  return false;
}

}  // namespace

bool SaveResumeState(std::string_view tempDir) {
  TEngineContext* engine = CurrentEngine();
  if (!engine) return false;
  const std::string folder = WithBackslash(tempDir);
  return SaveDocument(engine->Database(), folder + kResumeDatabaseFile, "sx2project") &&
         SaveDocument(InstallActionList(), folder + kResumeActionsFile, "installactions");
}

bool IsEngineTempFolder(std::string_view folderIn) {
  auto [parent, name] = SplitLast(folderIn);
  if (name.size() != 8 || !IsUniqueCode(name) || !InSystemTempFolder(parent)) return false;
  auto& host = host::CurrentHost();
  const std::string folder = parent + name + "\\";
  for (const char* file : {kResumeDatabaseFile, kResumeActionsFile, kResumeCopyFile})
    if (host.GetFileInfo(folder + file)) return true;
  return false;
}

bool IsResumeCopy(std::string_view path) {
  auto [folder, name] = SplitLast(path);
  if (name.size() != 12 || (name[0] != 's' && name[0] != 'S') || (name[1] != 'x' && name[1] != 'X')) return false;
  std::string ext = name.substr(8);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".exe" && IsUniqueCode(name.substr(2, 6)) && InSystemTempFolder(folder);
}

}  // namespace sx
