// The action classes: their persisted properties, how each undoes its change and what each
// writes into the uninstall log.
#include <cstdio>

#include "host/host.h"
#include "install/environment_items.h"
#include "install/file_steps.h"
#include "install/fonts.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/reg_capture.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "util/environment.h"
#include "util/folder_path.h"
#include "util/os_version.h"

namespace sx {
namespace {

void ReportUndoError(const std::string& text) { InstallServices().ShowErrorBox(text); }

// The journal the INI documents write beside a file while they rewrite it.
constexpr char kIniJournalSuffix[] = ".sxjournal";

// A backup that could not be copied back must not be lost with the engine's temporary folder:
// it moves beside its target and replaces the target at the next reboot. True when it was kept.
bool KeepBackupForReboot(const std::string& backup, const std::string& target) {
  auto& host = host::CurrentHost();
  std::string folder(FolderOf(target));
  std::string kept = CreateTempFileIn(folder, "sx");
  if (kept.empty() || !host.MoveFile(backup, kept, true)) {
    if (!kept.empty()) host.DeleteFile(kept);
    return false;
  }
  RenameAtReboot(kept, target);
  return true;
}

}  // namespace

// ---- class tables

const TXMLClass& TInstallAction::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallAction, TXMLObject>(
      "TInstallAction", {Prop<&TInstallAction::Log>("Log"), Prop<&TInstallAction::Existed>("Existed"),
                         Prop<&TInstallAction::DontRollback>("DontRollback")});
  return info;
}

const TXMLClass& TInstallFile::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallFile, TInstallAction>(
      "TInstallFile",
      {Prop<&TInstallFile::FileName>("FileName"), Prop<&TInstallFile::BackupFileName>("BackupFileName"),
       Prop<&TInstallFile::TmpFileName>("TmpFileName"), Prop<&TInstallFile::FontName>("FontName"),
       Prop<&TInstallFile::IsServer>("IsServer"), Prop<&TInstallFile::IsFont>("IsFont"),
       Prop<&TInstallFile::SharedFile>("SharedFile")});
  return info;
}

const TXMLClass& TInstallReg::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallReg, TInstallAction>(
      "TInstallReg", {Prop<&TInstallReg::Key>("Key"), Prop<&TInstallReg::Param>("Param"),
                      Prop<&TInstallReg::OldType>("OldType"), Prop<&TInstallReg::OldValue>("OldValue")});
  return info;
}

const TXMLClass& TInstallIni::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallIni, TInstallAction>(
      "TInstallIni", {Prop<&TInstallIni::IniFile>("IniFile"), Prop<&TInstallIni::Section>("Section"),
                      Prop<&TInstallIni::Param>("Param"), Prop<&TInstallIni::OldValue>("OldValue")});
  return info;
}

const TXMLClass& TInstallShortcut::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallShortcut, TInstallAction>(
      "TInstallShortcut", {Prop<&TInstallShortcut::LinkFile>("LinkFile")});
  return info;
}

const TXMLClass& TInstallFolder::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallFolder, TInstallAction>(
      "TInstallFolder", {Prop<&TInstallFolder::Folder>("Folder")});
  return info;
}

const TXMLClass& TInstallRegKey::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallRegKey, TInstallAction>(
      "TInstallRegKey", {Prop<&TInstallRegKey::Key>("Key")});
  return info;
}

const TXMLClass& TInstallEnvVar::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallEnvVar, TInstallAction>(
      "TInstallEnvVar",
      {Prop<&TInstallEnvVar::Name>("Name"), Prop<&TInstallEnvVar::Value>("Value"),
       Prop<&TInstallEnvVar::OldValue>("OldValue"), Prop<&TInstallEnvVar::AddPath>("AddPath"),
       Prop<&TInstallEnvVar::SysVar>("SysVar")});
  return info;
}

// ---- undo

void TInstallFile::Undo() {
  auto& services = InstallServices();
  if (IsStagedFont()) {
    // Only the staged copy is this action's; the final path belongs to the font phase's action.
    DeleteFileKeepingAttributes(TmpFileName);
    return;
  }
  bool keepBackup = false;
  // RenamePending is not saved: after a resume, a replacement still waiting in TmpFileName shows
  // that the reboot has not moved it into place yet.
  if (RenamePending || (!TmpFileName.empty() && FileExistsAt(TmpFileName))) {
    // The target was never replaced: withdraw the reboot operation and the temporary file.
    WithdrawRebootOperations(TmpFileName.empty() ? FileName : TmpFileName);
    if (!TmpFileName.empty()) DeleteFileKeepingAttributes(TmpFileName);
    if (IsServer && Existed) services.RegisterServer(FileName, true);
  } else {
    if (IsServer) services.RegisterServer(FileName, false);
    if (IsFont && !Existed) {
      services.RemoveFontResource(FileName);
      if (!FontName.empty()) RegDeleteValue(FontsKey(), FontName);
    }
    // The file's facts are read once: they tell whether it is there and how to delete it.
    if (const auto info = host::CurrentHost().GetFileInfo(FileName);
        info && !(info->attributes & host::kAttrDirectory) && !DeleteFileKeepingAttributes(FileName, info->attributes))
      ReportUndoError("Cannot delete " + FileName);
    // An INI document's rewrite that failed half-way leaves its journal beside the file (see
    // util/ini_file.h); it belongs to the change being undone.
    DeleteFileKeepingAttributes(FileName + kIniJournalSuffix);
    if (Existed && !BackupFileName.empty()) {
      CreateFolderPath(FolderOf(FileName));
      if (!CopyFileExactly(BackupFileName, FileName)) {
        char text[2 * 1024];
        std::snprintf(text, sizeof text, "Cannot copy \"%s\" to \"%s\"", BackupFileName.c_str(),
                      FileName.c_str());
        ReportUndoError(text);
        keepBackup = FileExistsAt(BackupFileName) && KeepBackupForReboot(BackupFileName, FileName);
      } else if (IsServer) {
        services.RegisterServer(FileName, true);
      }
    }
  }
  if (!BackupFileName.empty() && !keepBackup) DeleteFileKeepingAttributes(BackupFileName);
}

void TInstallReg::Undo() {
  RegDeleteValue(Key, Param);
  if (!Existed) return;
  TRegBytes bytes = RegBytesOf(OldType, OldValue);
  if (!RegWriteRaw(Key, Param, bytes.type, bytes.data.data(), static_cast<uint32_t>(bytes.data.size())))
    ReportUndoError("Cannot restore the registry value \"" + Param + "\" of " + Key);
}

void TInstallFolder::Undo() { host::CurrentHost().RemoveFolder(Folder); }

void TInstallRegKey::Undo() { RegDeleteKeyPath(Key, false); }

void TInstallEnvVar::Undo() {
  if (!SetStoredEnvVar(Name, OldValue, SysVar) && !OldValue.empty())
    ReportUndoError("Cannot restore the environment variable " + Name);
}

// ---- uninstall log

void TInstallFile::WriteLog() {
  LogWrite(lsCopyFiles, FileName, "");
  if (IsFont && !FontName.empty()) LogWrite(lsRegFonts, FontName, FileName);
  if (IsServer) LogWrite(lsRegServers, FileName, "");
}

void TInstallReg::WriteLog() {
  std::string key = Key;
  if (key.empty() || key.back() != '\\') key += '\\';
  LogWrite(lsAddReg, key + "'" + Param + "'", "");
}

void TInstallIni::WriteLog() {
  LogWrite(lsAddIni, "'" + IniFile + "','" + Section + "','" + Param + "'", "");
}

void TInstallShortcut::WriteLog() { LogWrite(lsShortcuts, LinkFile, ""); }

void TInstallFolder::WriteLog() { LogWrite(lsCreateDirs, Folder, ""); }

void TInstallRegKey::WriteLog() { LogWrite(lsCreateKeys, Key, ""); }

void TInstallEnvVar::WriteLog() {
  LogWrite(lsEnvVars, Name, std::string(SysVar ? "1" : "0") + "," + (AddPath ? Value : std::string()));
}

}  // namespace sx
