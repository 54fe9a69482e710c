// What the file phase does with single items: files in use, shared counts, removals,
// dont_overwrite, protected and vetoed files, staged fonts and assemblies.
#include <filesystem>

#include "database/sx_variable_access.h"
#include "install/file_registration.h"
#include "install/install_log.h"
#include "platform/reg_paths.h"
#include "tests/install/file_phase_fixture.h"

namespace sx::test {
namespace {

class FilePhaseItems : public FilePhaseTest {};

TEST_F(FilePhaseItems, FileInUseWaitsBesideItsTargetAndRollbackRemovesOnlyTheWaitingCopy) {
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="busy.dll" dst="C:\App\busy.dll" flags="no_version"/></files></component></components></sx2project>)",
        {{"payload/C1/busy.dll", "new content"}});
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\busy.dll", "old content"));
  faults.inUse.insert("c:\\app\\busy.dll");
  const MachineSnapshot before = Snapshot();

  ASSERT_TRUE(Run());
  TInstallFile* action = list().FindFileAction("C:\\App\\busy.dll");
  ASSERT_NE(action, nullptr);
  EXPECT_TRUE(action->RenamePending);
  EXPECT_EQ(ReadFile(action->BackupFileName), "old content");
  EXPECT_EQ(std::string(FolderOf(action->TmpFileName)), "C:\\App\\");
  EXPECT_EQ(action->TmpFileName.substr(action->TmpFileName.find_last_of('\\') + 1, 2), "sx");
  EXPECT_EQ(ReadFile(action->TmpFileName), "new content");
  EXPECT_EQ(ReadFile("C:\\App\\busy.dll"), "old content");
  EXPECT_TRUE(ReadVariableBool(services.database.get(), "Reboot", false));

  const std::string waiting = action->TmpFileName;
  list().RollbackAll();
  EXPECT_FALSE(Exists(waiting));
  EXPECT_EQ(ReadFile("C:\\App\\busy.dll"), "old content");
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseItems, FileHeldByAProgramOfTheMachineIsReplacedAtItsNextReboot) {
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="busy.dll" dst="C:\App\busy.dll" flags="no_version"/></files></component></components></sx2project>)",
        {{"payload/C1/busy.dll", "new content"}});
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\busy.dll", "old content"));
  WriteHostFile(machine.HostPath("sxmachine.ini"), "[FilesInUse]\nC:\\App\\busy.dll=\n");

  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadFile("C:\\App\\busy.dll"), "old content");
  EXPECT_TRUE(list().FindFileAction("C:\\App\\busy.dll")->RenamePending);
  list().ScheduleRebootOperations();
  ASSERT_TRUE(host().RegFlush());
  std::string out;
  ASSERT_EQ(RunCommand("SX_MACHINE='" + machine.folder() + "' " SX_SXTOOL " machine reboot", &out), 0) << out;
  EXPECT_EQ(ReadFile("C:\\App\\busy.dll"), "new content");
  EXPECT_EQ(Tree("C:\\App").size(), 1u) << "the waiting copy took its place";
}

constexpr char kSharedProject[] = R"(<sx2project><components>
  <component id="C1"><files><file src="s.dll" dst="C:\App\s.dll" flags="shared"/></files></component>
  <component id="C2"><files><file src="s.dll" dst="C:\App\s.dll" flags="shared"/></files></component>
</components></sx2project>)";

class RefusingSharedCounts : public FaultHost {
 public:
  using FaultHost::FaultHost;
  bool RegSetValue(host::RegRoot root, std::string_view key, std::string_view name,
                   const host::RegValue& value) override {
    if (key.find("SharedDLLs") != std::string_view::npos) return false;
    return FaultHost::RegSetValue(root, key, name, value);
  }
};

TEST_F(FilePhaseItems, SharedFilesAreCountedOncePerRunWhileLoggingAndRolledBack) {
  Build(kSharedProject, {{"payload/C1/s.dll", "shared"}, {"payload/C2/s.dll", "shared"}});
  const MachineSnapshot before = Snapshot();
  auto count = [] { return RegReadInteger(kSharedDllsKey, "C:\\App\\s.dll", -1); };
  auto logging = [&](bool on) {
    IniCloseAll();
    ResetLog();
    host().DeleteFile("C:\\sxtemp\\install.log");
    SetLogFileName(on ? "C:\\sxtemp\\install.log" : "");
    if (on) EnableLog();
  };

  logging(true);
  ASSERT_TRUE(Run());
  EXPECT_EQ(count(), 1) << "two items, one new file, logged: counted once";
  EXPECT_TRUE(LogHasKey(lsSharedFiles, "C:\\App\\s.dll"));
  list().RollbackAll();
  EXPECT_EQ(count(), -1) << "the rollback removes the count";

  logging(false);
  ASSERT_TRUE(Run());
  EXPECT_EQ(count(), 2) << "without the log each item counts";
  list().RollbackAll();

  // A file that was there without a count had one user already.
  logging(true);
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\s.dll", "theirs"));
  ASSERT_TRUE(Run());
  EXPECT_EQ(count(), 2);
  list().RollbackAll();
  EXPECT_EQ(ReadFile("C:\\App\\s.dll"), "theirs");
  host().DeleteFile("C:\\App\\s.dll");
  host().RemoveFolder("C:\\App");
  logging(false);
  IniCloseAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");

  // A count that cannot be written: string 20, abort, and the rollback undoes the file.
  RefusingSharedCounts refusing(machine.host());
  host::SetCurrentHost(&refusing);
  services.strings[20] = "Cannot count %s.";
  services.events.clear();
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.CallsStartingWith("error Cannot count C:\\App\\s.dll."), std::vector<std::string>{"error Cannot count C:\\App\\s.dll."});
  EXPECT_TRUE(services.abortFlag);
  EXPECT_FALSE(services.Events("abort").empty());
  list().RollbackAll();
  host::SetCurrentHost(&faults);
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseItems, RemovalsBackUpAndDeleteMatchesExceptVetoedProtectedAndBusyOnes) {
  Build(R"(<sx2project><components><component id="C1"><files>
      <file dst="C:\Old\*.log" action="remove"/>
      <file src="new.txt" dst="C:\Old\new.txt"/></files></component></components></sx2project>)",
        {{"payload/C1/new.txt", "new"}});
  CreateFolderPath("C:\\Old\\sub.log");
  for (const char* name : {"a.log", "ro.log", "busy.log", "veto.log", "prot.log", "keep.txt"})
    ASSERT_TRUE(WriteFile(std::string("C:\\Old\\") + name, name));
  ASSERT_TRUE(host().SetFileAttributes("C:\\Old\\ro.log", host::kAttrReadOnly));
  faults.inUse.insert("c:\\old\\busy.log");
  ProtectedFileHook = [](std::string_view path) { return SameTextFast(path, "C:\\Old\\prot.log"); };
  services.onEvent = [](int number, std::intptr_t, std::intptr_t param2) -> std::intptr_t {
    auto item = reinterpret_cast<const SxFileItem*>(param2);
    return number == EV_BEFOREPROCESSITEM && std::string(item->Path) == "C:\\Old\\veto.log";
  };
  const MachineSnapshot before = Snapshot();

  ASSERT_TRUE(Run());
  EXPECT_FALSE(Exists("C:\\Old\\a.log"));
  EXPECT_FALSE(Exists("C:\\Old\\ro.log"));
  EXPECT_TRUE(Exists("C:\\Old\\busy.log")) << "deleted at the next reboot";
  EXPECT_TRUE(list().FindFileAction("C:\\Old\\busy.log")->RenamePending);
  EXPECT_TRUE(Exists("C:\\Old\\veto.log"));
  EXPECT_TRUE(Exists("C:\\Old\\prot.log"));
  EXPECT_TRUE(Exists("C:\\Old\\keep.txt"));
  EXPECT_TRUE(Exists("C:\\Old\\sub.log")) << "folders are not removed";
  EXPECT_EQ(services.Events("before C:\\Old\\a.log 1").size(), 1u);
  EXPECT_TRUE(services.Events("before C:\\Old\\prot.log").empty()) << "protected files are not even offered";
  EXPECT_EQ(services.Events("after C:\\Old\\veto.log").size(), 1u);
  EXPECT_EQ(ReadFile("C:\\Old\\new.txt"), "new") << "removals come before the new files";

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseItems, DontOverwriteProtectedAndVetoedFilesAreLeftAlone) {
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="keep.txt" dst="C:\App\keep.txt" flags="dont_overwrite,no_version"/>
      <file src="prot.dll" dst="C:\App\prot.dll" flags="no_version"/>
      <file src="veto.txt" dst="C:\App\veto.txt" flags="shared"/>
      <file src="srv.dll" dst="C:\App\srv.dll" flags="dont_overwrite,reg_server"/>
    </files></component></components></sx2project>)",
        {{"payload/C1/keep.txt", "new"}, {"payload/C1/prot.dll", "new"}, {"payload/C1/veto.txt", "new"},
         {"payload/C1/srv.dll", "new"}});
  CreateFolderPath("C:\\App");
  for (const char* name : {"keep.txt", "prot.dll", "srv.dll"}) ASSERT_TRUE(WriteFile(std::string("C:\\App\\") + name, "old"));
  // The machine's own list, through the query the engine installs.
  WriteHostFile(machine.HostPath("sxmachine.ini"), "[ProtectedFiles]\nC:\\App\\prot.dll=\n");
  ProtectedFileHook = HostProtectsFile;
  services.onEvent = [](int number, std::intptr_t, std::intptr_t param2) -> std::intptr_t {
    return number == EV_BEFOREPROCESSITEM &&
           std::string(reinterpret_cast<const SxFileItem*>(param2)->Path) == "C:\\App\\veto.txt";
  };
  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadFile("C:\\App\\keep.txt"), "old");
  EXPECT_EQ(ReadFile("C:\\App\\prot.dll"), "old");
  EXPECT_FALSE(Exists("C:\\App\\veto.txt"));
  EXPECT_EQ(ReadFile("C:\\App\\srv.dll"), "old");
  for (const char* name : {"keep.txt", "prot.dll", "veto.txt", "srv.dll"}) {
    EXPECT_EQ(services.Events(std::string("process 1 C:\\App\\") + name).size(), 1u) << name;
    EXPECT_EQ(services.Events(std::string("after C:\\App\\") + name).size(), 1u) << name;
  }
  // A skipped shared file is still counted; a skipped server is registered but never undone.
  EXPECT_EQ(RegReadInteger(kSharedDllsKey, "C:\\App\\veto.txt", 0), 1);
  TInstallFile* server = list().FindFileAction("C:\\App\\srv.dll");
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(server->IsServer);
  EXPECT_FALSE(server->Log);
  EXPECT_TRUE(server->DontRollback);
  list().RollbackAll();
  EXPECT_EQ(ReadFile("C:\\App\\srv.dll"), "old");
}

TEST_F(FilePhaseItems, FontsAreStagedEachInAFolderOfItsOwn) {
  Build(R"(<sx2project><components>
      <component id="F1"><files><file src="face.ttf" dst="%Fonts%\face.ttf" flags="reg_font"/></files></component>
      <component id="F2"><files><file src="face.ttf" dst="C:\Other\face.ttf" flags="reg_font,dont_log"/></files></component>
    </components></sx2project>)",
        {{"payload/F1/face.ttf", "font one"}, {"payload/F2/face.ttf", "font two"}});
  WriteVariable(services.database.get(), "Fonts", "C:\\windows\\Fonts");
  services.database->Packages->Items(0).FileInfos->FindByName("F1\\face.ttf")->FontName = "Face (TrueType)";
  ASSERT_TRUE(Run());
  std::vector<TInstallFile*> fonts;
  for (TInstallAction& action : list())
    if (auto* file = dynamic_cast<TInstallFile*>(&action); file && file->IsFont) fonts.push_back(file);
  ASSERT_EQ(fonts.size(), 2u);
  EXPECT_EQ(fonts[0]->FileName, "C:\\windows\\Fonts\\face.ttf");
  EXPECT_EQ(fonts[0]->FontName, "Face (TrueType)");
  EXPECT_EQ(fonts[1]->FileName, "C:\\Other\\face.ttf");
  EXPECT_NE(fonts[0]->TmpFileName, fonts[1]->TmpFileName);
  EXPECT_EQ(fonts[0]->TmpFileName.rfind(kFonts, 0), 0u);
  EXPECT_EQ(ReadFile(fonts[0]->TmpFileName), "font one");
  EXPECT_EQ(ReadFile(fonts[1]->TmpFileName), "font two");
  EXPECT_TRUE(fonts[0]->IsStagedFont());
  EXPECT_FALSE(Exists("C:\\Other\\face.ttf")) << "the font phase installs it";
  // The target's folder was made and recorded for rollback, without a log entry (dont_log).
  bool recorded = false;
  for (TInstallAction& action : list())
    if (auto* folder = dynamic_cast<TInstallFolder*>(&action); folder && folder->Folder == "C:\\Other") {
      recorded = true;
      EXPECT_FALSE(folder->Log);
    }
  EXPECT_TRUE(recorded);
}

TEST_F(FilePhaseItems, AssembliesGoThroughTheFirstPackagesGacutil) {
  ScratchFolder scratch;
  Build(R"(<sx2project>
      <variables><var name="AppID" value="{APP}"/><var name="AppName" value="Demo"/></variables>
      <components><component id="C1"><files>
      <file src="asm.dll" dst="%GAC%\asm.dll"/></files></component></components></sx2project>)",
        {{"payload/C1/asm.dll", "assembly"}});
  services.database->Packages->Items(0).FileInfos->FindByName("C1\\asm.dll")->AssemblyData = "Version=1.0";
  auto script = [&](int code) {
    WriteFile(services.database->Packages->Items(0).TempPath + "gacutil.exe",
              "#!/bin/sh\nprintf '%s|' \"$@\" > '" + (scratch / "args") + "'\nexit " +
                  std::to_string(code) + "\n");
  };
  IniCloseAll();
  ResetLog();
  SetLogFileName("C:\\sxtemp\\install.log");
  EnableLog();
  script(0);
  ASSERT_TRUE(Run()) << ::testing::PrintToString(services.calls);
  const std::string args = ReadHostFile(scratch / "args");
  EXPECT_EQ(args.substr(0, 4), "/ir|") << args;
  EXPECT_NE(args.find("C:\\sxtemp\\gac\\"), std::string::npos) << args;
  EXPECT_NE(args.find("\\asm.dll|OPAQUE|{APP}|Demo|"), std::string::npos) << args;
  IniCloseAll();
  const std::string log = ReadFile("C:\\sxtemp\\install.log");
  EXPECT_NE(log.find("1=asm,Version=1.0 OPAQUE \"{APP}\" \"Demo\""), std::string::npos) << log;

  list().RollbackAll();
  script(3);
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.CallsStartingWith("error Cannot register assembly asm.dll").size(), 1u);
  EXPECT_TRUE(services.abortFlag);
}

}  // namespace
}  // namespace sx::test
