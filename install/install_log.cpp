#include "install/install_log.h"

#include <array>
#include <atomic>
#include <cstdio>

#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "install/install_services.h"
#include "platform/ini_cache.h"
#include "util/case_tables.h"

namespace sx {
namespace {

constexpr std::array<std::string_view, kLogSectionCount> kSectionNames{
    "CopyFiles",  "AddReg",    "AddIni", "Shortcuts",        "CreateDirs", "CreateKeys", "RegServers",
    "RegFonts",   "SharedFiles", "PreRunApp", "RunApp", "SharedAssemblies", "EnvVars"};

constexpr std::string_view kUninstallPrefix = "Uninstall.";

std::string logFileName;
std::atomic<bool> logEnabled{false};
int programCounter = 0;               // PreRunApp and RunApp together, from 0
std::atomic<int> assemblyCounter{0};  // SharedAssemblies, from 1

void WriteKeyValueLine(std::string_view section, std::string_view line) {
  size_t equals = line.find('=');
  std::string_view key = line.substr(0, equals);
  std::string_view value = equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
  LogWriteSection(section, key, value);
}

int WindowCode(TsxShowCmd show) {
  switch (show) {
    case TsxShowCmd::scNormal: return 1;
    case TsxShowCmd::scMin: return 3;
    case TsxShowCmd::scMax: return 2;
    case TsxShowCmd::scHide: return 0;
  }
  return 1;
}

}  // namespace

std::string_view LogSectionName(int index) {
  if (index < 0 || index >= kLogSectionCount) return {};
  return kSectionNames[static_cast<size_t>(index)];
}

std::string SetUpLogFile(TXMLObject* database) {
  std::string path = ReadVariable(database, "LogFile", "");
  if (path.empty()) {
    path = ReadVariable(database, "InstallPath", "%Windows%");
    if (path.empty() || path.back() != '\\') path += '\\';
    path += "install.log";
    WriteVariable(database, "LogFile", path);
  }
  logFileName = path;
  return path;
}

const std::string& LogFileName() { return logFileName; }
void SetLogFileName(std::string_view path) { logFileName = path; }

void EnableLog() { logEnabled = true; }

void ResetLog() {
  logEnabled = false;
  programCounter = 0;
  assemblyCounter = 0;
}

bool LogEnabled() { return logEnabled && !logFileName.empty(); }

std::string LogLineText(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    if (c == '\r')
      line += "||";
    else if (c != '\n')
      line += c;
  }
  return line;
}

bool LogWriteSection(std::string_view section, std::string_view key, std::string_view value) {
  if (!LogEnabled() || section.empty() || key.empty()) return false;
  return IniWriteString(logFileName, LogLineText(section), LogLineText(key), LogLineText(value));
}

bool LogWrite(int sectionIndex, std::string_view key, std::string_view value) {
  std::string_view section = LogSectionName(sectionIndex & 0x7F);
  if (section.empty()) return false;
  return LogWriteSection(section, key, value);
}

bool LogHasKey(int sectionIndex, std::string_view key) {
  std::string_view section = LogSectionName(sectionIndex & 0x7F);
  if (!LogEnabled() || section.empty() || key.empty()) return false;
  return IniReadString(logFileName, section, LogLineText(key), "=") != "=";
}

void LogAddRecord(TXMLObject* database, std::string_view section, std::string_view record) {
  if (!LogEnabled()) return;
  std::string expandedSection = ExpandText(database, section);
  std::string expandedRecord = ExpandText(database, record);
  WriteKeyValueLine(expandedSection, expandedRecord);
}

void LogInstalledFile(std::string_view path) { LogWrite(lsCopyFiles, path, ""); }

void LogWriteUninstallTexts(TXMLObject* database) {
  if (!LogEnabled()) return;
  LogWriteSection("Strings", "AppID", ReadVariable(database, "AppID", ""));
  LogWriteSection("Strings", "AdminRights", ReadVariable(database, "AdminRights", ""));
  auto& services = InstallServices();
  for (const std::string& name : services.LanguageSectionNames()) {
    if (name.size() <= kUninstallPrefix.size() ||
        !SameTextFast(std::string_view(name).substr(0, kUninstallPrefix.size()), kUninstallPrefix))
      continue;
    const std::string section = name.substr(kUninstallPrefix.size());
    for (const std::string& line : services.LanguageSectionLines(name))
      WriteKeyValueLine(section, ExpandTextEx(database, line, true));
  }
}

void LogUninstallPrograms(TXMLObject* database, TsxWhenStart when) {
  if (!LogEnabled()) return;
  const int section = when == TsxWhenStart::before_uninstall ? lsPreRunApp : lsRunApp;
  for (TsxRunApp* app : InstallServices().UninstallRunApps(when)) {
    std::string line = "'" + ExpandText(database, app->CmdLine) + "','" + ExpandText(database, app->Arg) +
                       "','" + ExpandText(database, app->WorkDir) + "'," +
                       std::to_string(WindowCode(app->ShowCmd)) + ",'" + ExpandText(database, app->Msg) +
                       "'," + (app->Flags.Contains(TsxFlag::dont_wait) ? "0" : "1") + "," +
                       (app->Flags.Contains(TsxFlag::check_exitcode) ? "1" : "0");
    LogWrite(section, std::to_string(programCounter++), line);
  }
}

int NextSharedAssemblyNumber() { return ++assemblyCounter; }

}  // namespace sx
