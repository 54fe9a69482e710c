// Helpers of the tests that build setups with sxbuild: project folders made on the fly, running
// the builder, and reading back what it wrote through the engine's own unpacker.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "packages/package_trailer.h"
#include "packages/sx_unpacker.h"
#include "tests/packages/cabinet_layout.h"
#include "tests/packages/package_fixture.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

struct SxbuildRun {
  int status = -1;
  std::string output;  // standard output, then standard error
};

// Runs sxbuild with `args`; the engine image is the built sxengine unless --engine is given.
inline SxbuildRun RunSxbuild(const std::vector<std::string>& args) {
  std::string command = ShellQuote(SX_SXBUILD);
  bool engine = false;
  for (const std::string& arg : args) {
    command += " " + ShellQuote(arg);
    engine = engine || arg == "--engine";
  }
  if (!engine) command += " --engine " + ShellQuote(SX_SXENGINE);
  SxbuildRun run;
  run.status = RunCommand(command + " 2>&1", &run.output);
  return run;
}

// A project folder in a scratch folder, written file by file.
class ProjectFolder : public ScratchFolder {
 public:
  void Write(const std::string& relative, const std::string& content) const {
    WriteHostFile(*this / relative, content);
  }
  void Project(const std::string& xml) const { Write("project.xml", xml); }
};

// Every file below a folder, with its relative path.
inline std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& [name, content] : FolderContent(folder)) names.push_back(name);
  return names;
}

// A machine with the unpack library, reading built packages by their paths on this computer.
class BuiltSetupTest : public PackageTest {
 protected:
  std::string Win(const std::string& hostPath) {
    const auto path = host().WindowsPathOf(std::filesystem::absolute(hostPath).string());
    EXPECT_TRUE(path.has_value()) << hostPath;
    return path.value_or("");
  }

  PackageCheck Trailer(const std::string& hostPath) { return ReadPackageTrailer(Win(hostPath)); }

  struct Extracted {
    bool ok = false;
    std::string error;
    std::vector<std::string> order;            // entry names in archive order
    std::map<std::string, std::string> files;  // entry name -> content
    std::vector<std::string> asked;            // cabinets the unpacker asked for
  };

  // Reads the package as the engine does: scrambling and search start from its trailer, the
  // password's key when given. With `prepare`, stops at the first "data\" entry, as package
  // preparation does. `cabinetFolder` answers the unpacker's question for a next cabinet.
  Extracted Extract(const std::string& hostPath, const std::string& password = "", bool prepare = false,
                    const std::string& cabinetFolder = "") {
    const PackageCheck check = Trailer(hostPath);
    EXPECT_EQ(check.status, PackageStatus::kOk) << DescribePackageStatus(check);
    Extracted result;
    ScratchFolder out;
    const std::string base = Win(out.path()) + "\\";
    TsxUnpacker unpacker(Win(hostPath), check.trailer.flags & kPackageScrambled, check.trailer.stubSize);
    unpacker.SetPassword(password);
    std::map<std::string, std::string> destinations;
    result.ok = unpacker.Enumerate(
        [&](const UnpackEntry& entry, std::string& destination) {
          if (prepare && entry.name.rfind("data\\", 0) == 0) return kUnpackAbort;
          result.order.push_back(entry.name);
          destination = base + std::to_string(destinations.size());
          destinations[entry.name] = std::to_string(destinations.size());
          return kUnpackExtract;
        },
        {}, {},
        [&](const std::string& name, std::string& folder) {
          result.asked.push_back(name);
          if (cabinetFolder.empty()) return false;
          folder = Win(cabinetFolder);
          return true;
        });
    result.error = unpacker.ErrorText();
    for (const auto& [name, file] : destinations) result.files[name] = ReadHostFile(out / file);
    return result;
  }
};

}  // namespace sx::test
