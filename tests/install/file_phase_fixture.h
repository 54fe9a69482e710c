// The ground of the file-phase tests: projects built with the real sxbuild, their packages
// prepared and their databases loaded as the engine does, and services that hand every event and
// box over to the main thread through the message queue, recording them in order.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/sx_condition_object.h"
#include "install/file_phase.h"
#include "packages/embedded_resource.h"
#include "packages/pdb_file.h"
#include "tests/install/install_fixture.h"
#include "tests/packages/built_setup.h"
#include "util/folder_path.h"
#include "util/message_queue.h"

namespace sx::test {

// Events as lines: "before <path> <action>", "process <skip> <path>", "after <path>",
// "progress <file%> <all%>", "conflict <path>", "getpackage <name>", "abort".
class FileServices : public RecordingServices {
 public:
  std::vector<std::string> events;
  std::function<std::intptr_t(int number, std::intptr_t param1, std::intptr_t param2)> onEvent;
  std::atomic<bool> abortFlag{false};
  std::atomic<int> eventCount{0};
  bool repair = false;
  bool allOnMainThread = true;

  bool Aborted() override { return abortFlag; }
  void SetAborted(bool value) override { abortFlag = value; }
  bool RepairMode() override { return repair; }

  std::intptr_t SendEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll) override {
    std::intptr_t reply = 0;
    SendToMainThread([&] { reply = Deliver(number, param1, param2, toAll); });
    return reply;
  }
  // Posted events go through the queue without waiting, as the engine's do.
  void PostEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2) override {
    PostToMainThread([=, this] { Deliver(number, param1, param2, true); });
  }
  void PostItemEvent(std::int32_t number, std::intptr_t param1, const SxFileItem& item) override {
    auto held = std::make_shared<std::pair<std::string, SxFileItem>>(item.Path, item);
    held->second.Path = held->first.c_str();
    PostToMainThread([=, this] { Deliver(number, param1, reinterpret_cast<std::intptr_t>(&held->second), true); });
  }
  void WaitForEvents() override { WaitForPostedTasks(); }
  int ShowErrorBox(std::string_view text) override {
    int answer = 0;
    SendToMainThread([&] { answer = RecordingServices::ShowErrorBox(text); });
    return answer;
  }
  int ShowBox(TBoxOwner owner, std::string_view title, std::string_view text, std::uint32_t style) override {
    int answer = 0;
    SendToMainThread([&] { answer = RecordingServices::ShowBox(owner, title, text, style); });
    return answer;
  }

  std::intptr_t Deliver(std::int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll) {
    allOnMainThread = allOnMainThread && IsMainThread();
    events.push_back(Describe(number, param1, param2));
    ++eventCount;
    RecordingServices::SendEvent(number, param1, param2, toAll);
    return onEvent ? onEvent(number, param1, param2) : 0;
  }

  // The events that start with `prefix`.
  std::vector<std::string> Events(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& line : events)
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
  }

  static std::string Describe(std::int32_t number, std::intptr_t param1, std::intptr_t param2) {
    auto item = reinterpret_cast<const SxFileItem*>(param2);
    switch (number) {
      case EV_BEFOREPROCESSITEM:
        return std::string("before ") + item->Path + " " + std::to_string(item->Action);
      case EV_PROCESSITEM:
        return "process " + std::to_string(param1 & 0xFFFF) + " " + item->Path;
      case EV_AFTERPROCESSITEM:
        return std::string("after ") + item->Path;
      case EV_FILEINSTALLPROGRESS:
        return "progress " + std::to_string(param1) + " " + std::to_string(param2);
      case EV_VERSIONCONFLICT:
        return std::string("conflict ") + reinterpret_cast<const char*>(param1);
      case EV_GETPACKAGE:
        return std::string("getpackage ") + reinterpret_cast<const char*>(param1);
      case EV_ABORTINSTALL:
        return "abort";
      default:
        return "event " + std::to_string(number);
    }
  }
};

class FilePhaseTest : public InstallFixture {
 protected:
  static constexpr char kFonts[] = "C:\\sxtemp\\fonts\\";
  static constexpr char kGac[] = "C:\\sxtemp\\gac\\";

  FilePhaseTest() {
    SetUnpackDllPath(WriteUnpackLibrary(machine.host().TempPath()));
    machine.host().CreateFolder("C:\\sxtemp\\fonts");
    machine.host().CreateFolder("C:\\sxtemp\\gac");
    ConditionsEnabled = true;
    ConditionHook = [](const std::string& condition, int) { return !condition.empty() && condition[0] == '1'; };
  }
  ~FilePhaseTest() override {
    ConditionsEnabled = false;
    ConditionHook = nullptr;
    ProtectedFileHook = nullptr;
    SetUnpackDllPath("");
  }

  // Writes the project and its payload ("payload/C1/a.txt" -> content), builds it with sxbuild
  // (extra arguments after the output folder) and loads it as the engine's preparation does.
  void Build(const std::string& projectXml, const std::map<std::string, std::string>& files,
             const std::vector<std::string>& extra = {},
             const std::function<void(const ProjectFolder&)>& adjust = {}) {
    project_.Project(projectXml);
    for (const auto& [name, content] : files) project_.Write(name, content);
    if (adjust) adjust(project_);
    std::vector<std::string> args{project_.path(), "-o", out_.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    const SxbuildRun run = RunSxbuild(args);
    ASSERT_EQ(run.status, 0) << run.output;
    Load();
  }

  // The Windows path of a file on this computer.
  std::string Win(const std::string& hostPath) {
    return machine.host().WindowsPathOf(std::filesystem::absolute(hostPath).string()).value_or("");
  }
  std::string OutPath(const std::string& name) const { return out_ / name; }

  void Load() {
    std::string mainFile, mainId = "main";
    std::vector<std::pair<std::string, std::string>> others;  // id, file
    for (const auto& entry : std::filesystem::directory_iterator(out_.path()))
      if (entry.path().extension() == ".exe") mainFile = entry.path().string();
    ASSERT_FALSE(mainFile.empty());
    auto& db = *services.database;
    const std::string mainTemp = "C:\\sxtemp\\pkg0\\";
    Prepare(mainFile, mainTemp);
    db.LoadFromString(ReadPdbFile(mainTemp + "main.pdb"), "sx2project");
    for (const TsxPackage& bare : *db.Packages) others.push_back({bare.ID, bare.FileName});
    db.Packages->Clear();
    db.TempBackupPath = kBackupFolder;
    db.TempFontsPath = kFonts;
    db.TempGACPath = kGac;
    AddPackage(mainFile, mainTemp, true);
    int index = 1;
    for (const auto& [id, file] : others) {
      const std::string temp = "C:\\sxtemp\\pkg" + std::to_string(index++) + "\\";
      const std::string path = out_ / (file + ".sxp");
      Prepare(path, temp);
      AddPackage(path, temp, false);
    }
  }

  bool Run() { return InstallFiles(); }

  // Every file below a Windows folder, relative, with its content.
  std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    const auto hostFolder = machine.host().MapPath(folder);
    if (!hostFolder || !std::filesystem::exists(*hostFolder)) return tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*hostFolder))
      if (entry.is_regular_file())
        tree[std::filesystem::relative(entry.path(), *hostFolder).string()] = ReadHostFile(entry.path().string());
    return tree;
  }

  FileServices services;

 private:
  void Prepare(const std::string& hostPath, const std::string& temp) {
    CreateFolderPath(temp);
    const PackageCheck check = ReadPackageTrailer(Win(hostPath));
    ASSERT_EQ(check.status, PackageStatus::kOk) << DescribePackageStatus(check);
    TsxUnpacker unpacker(Win(hostPath), check.trailer.flags & kPackageScrambled, check.trailer.stubSize);
    ASSERT_TRUE(unpacker.Enumerate([&](const UnpackEntry& entry, std::string& destination) {
      if (entry.name.rfind("data\\", 0) == 0) return kUnpackAbort;
      destination = temp + entry.name;
      CreateFolderPath(FolderOf(destination));
      return kUnpackExtract;
    })) << unpacker.ErrorText();
  }
  void AddPackage(const std::string& hostPath, const std::string& temp, bool main) {
    TsxPackage& package = services.database->Packages->AddNew();
    package.LoadFromString(ReadPdbFile(temp + "db.pdb"), "package");
    const PackageCheck check = ReadPackageTrailer(Win(hostPath));
    package.Main = main;
    package.FileName = std::filesystem::path(hostPath).stem().string();
    package.FullFileName = Win(hostPath);
    package.TempPath = temp;
    package.Flags = static_cast<int32_t>(check.trailer.flags);
    package.PresetupSize = static_cast<int32_t>(check.trailer.presetupSize);
    package.DataSize = static_cast<int32_t>(check.trailer.dataSize);
    package.Prepared = true;
  }

  ProjectFolder project_;
  ScratchFolder out_;
};

}  // namespace sx::test
