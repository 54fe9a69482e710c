// End-to-end runs of the engine: a project folder built with sxbuild into the folder "C:\setup"
// of a throw-away machine, started as the setup program it is, with the recorder test plug-in
// (tests/plugins/README.md) logging every event it receives.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/packages/built_setup.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

// A language file with the engine's numbered texts.
inline constexpr char kEnglishStrings[] =
    "[Strings]\r\nLanguageName=English (USA)\r\n10=Setup needs administrator rights.\r\n"
    "13=This Windows version is not supported.\r\n14=Setup needs Windows %s or later.\r\n"
    "18=Undoing the changes...\r\n21=%s setup is running already.\r\n";
inline constexpr char kGermanStrings[] =
    "[Strings]\r\nLanguageName=Deutsch\r\n13=Diese Windows-Version wird nicht unterstuetzt.\r\n"
    "14=Setup braucht Windows %s oder neuer.\r\n21=%s-Setup laeuft schon.\r\n";

struct SetupRun {
  int exitCode = -1;
  std::string trace;
  std::string log;  // the recorders' log
  // The recorders' lines, "ID EVENT fields", without the lines of `skipped` events.
  std::vector<std::string> Events(const std::vector<std::string>& skipped = {"GetPluginInfo",
                                                                           "CM_GETACTIVEWINDOW"}) const {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
      bool skip = false;
      for (const auto& s : skipped) skip = skip || line.find(" " + s) != std::string::npos;
      if (!skip) lines.push_back(line);
    }
    return lines;
  }
  std::vector<std::string> TraceLines(const std::string& kind) const {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);)
      if (line.compare(0, kind.size() + 1, kind + " ") == 0) lines.push_back(line.substr(kind.size() + 1));
    return lines;
  }
  bool TraceHas(const std::string& text) const { return trace.find(text) != std::string::npos; }
};

class SetupTest : public ::testing::Test {
 protected:
  explicit SetupTest(const std::string& sxmachineIni = "") : machine_(sxmachineIni) {}

  TempMachine& Machine() { return machine_; }
  const ProjectFolder& Project() const { return project_; }
  std::string LogPath() const { return machine_.folder() + "/recorder.log"; }

  // Adds the recorder as plug-in `id` with its script (the log line is added).
  void AddRecorder(const std::string& id, const std::string& script) {
    project_.Write("plugins/" + id + "/" + id + ".dll", ReadHostFile(SX_RECORDER_PLUGIN));
    project_.Write("plugins/" + id + "/" + id + ".script",
                   "id " + id + "\nlog " + LogPath() + "\nmute EV_FILEINSTALLPROGRESS\n" + script);
  }

  // Builds the project into C:\setup\; the builder's output on failure.
  void Build(const std::vector<std::string>& options = {}) {
    std::vector<std::string> args{project_.path(), "-o", machine_.HostPath("drive_c/setup")};
    args.insert(args.end(), options.begin(), options.end());
    const SxbuildRun run = RunSxbuild(args);
    ASSERT_EQ(run.status, 0) << run.output;
  }

  // Starts C:\setup\<program> with the parameters; `environment` adds "NAME=value" words.
  SetupRun Run(const std::vector<std::string>& params = {}, const std::string& program = "setup.exe",
               const std::string& environment = "") {
    machine_.host().RegFlush();
    const std::string trace = machine_.folder() + "/trace.log";
    std::filesystem::remove(trace);
    std::filesystem::remove(LogPath());
    std::string line = "SX_MACHINE=" + ShellQuote(machine_.folder()) + " SX_TRACE=" + ShellQuote(trace) +
                       " " + environment + " " + ShellQuote(machine_.HostPath("drive_c/setup/" + program));
    for (const auto& p : params) line += " " + ShellQuote(p);
    SetupRun run;
    run.exitCode = RunCommand(line + " 2>/dev/null </dev/null");
    run.trace = ReadHostFile(trace);
    run.log = ReadHostFile(LogPath());
    return run;
  }

  // Entries of the machine's temporary folder (the engine's TempDir must be gone after a run).
  std::vector<std::string> TempEntries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(machine_.HostPath("drive_c/users/user/Temp")))
      names.push_back(e.path().filename().string());
    return names;
  }

 private:
  TempMachine machine_;
  ProjectFolder project_;
};

}  // namespace sx::test
