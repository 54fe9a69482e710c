// Package preparation: the sample product without plug-ins (splash and preparing window, or
// nothing with /s), appended bytes, package flags, too little disk space, damaged databases,
// and preparation that never writes the installable data.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "engine/package_preparation.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/setup_run.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

class SampleSetup : public SetupTest {
 protected:
  // The prepared sample went on to install.
  static void ExpectInstallationReached(const SetupRun& run) { EXPECT_EQ(run.exitCode, 0) << run.trace; }
  void BuildSample(const std::vector<std::string>& options = {}) {
    std::vector<std::string> args{std::string(SX_EXAMPLES_DIR) + "/hello", "-o", Machine().HostPath("drive_c/setup")};
    args.insert(args.end(), options.begin(), options.end());
    const SxbuildRun run = RunSxbuild(args);
    ASSERT_EQ(run.status, 0) << run.output;
  }
};

TEST_F(SampleSetup, RunsWithoutPluginsShowingTheSplashAndTheProgress) {
  BuildSample();
  const auto before = TempEntries();
  SetupRun run = Run({}, "hello-setup.exe");
  ExpectInstallationReached(run);
  const auto windows = run.TraceLines("window");
  auto has = [&](const std::string& start) {
    for (const auto& line : windows)
      if (line.rfind(start, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(has("create \"SXSplashWindow\" class=SxenMainWindow")) << run.trace;
  EXPECT_TRUE(has("show \"SXSplashWindow\""));
  EXPECT_TRUE(has("close \"SXSplashWindow\""));
  EXPECT_TRUE(has("progress \"Tarrow Installer initializing...\" 100"));
  EXPECT_TRUE(has("close \"Tarrow Installer initializing...\""));
  // The splash shows beside the preparing window, which stands at the bottom right.
  EXPECT_TRUE(has("place \"Tarrow Installer initializing...\" x=605 y=668 w=399 h=80")) << run.trace;
  EXPECT_EQ(TempEntries(), before);

  // Silently: extracted all the same, but no splash and no preparing window.
  run = Run({"/s"}, "hello-setup.exe");
  ExpectInstallationReached(run);
  EXPECT_EQ(run.TraceLines("window").size(), 2u) << run.trace;  // the hidden main window only

  // Bytes appended after the trailer (a signature) are allowed.
  const std::string setup = Machine().HostPath("drive_c/setup/hello-setup.exe");
  WriteHostFile(setup, ReadHostFile(setup) + std::string(300, 'S'));
  ::chmod(setup.c_str(), 0755);
  run = Run({"/s"}, "hello-setup.exe");
  ExpectInstallationReached(run);
}

TEST_F(SampleSetup, PackageFlagsHideTheWindowOrTheSplash) {
  BuildSample({"--no-window"});
  SetupRun run = Run({}, "hello-setup.exe");
  ExpectInstallationReached(run);
  EXPECT_TRUE(run.TraceHas("show \"SXSplashWindow\""));
  EXPECT_FALSE(run.TraceHas("Tarrow Installer initializing")) << run.trace;

  BuildSample({"--quiet"});
  run = Run({}, "hello-setup.exe");
  ExpectInstallationReached(run);
  EXPECT_EQ(run.TraceLines("window").size(), 2u) << run.trace;
}

TEST_F(SampleSetup, SplashTimeAndOpacityFromTheBuilder) {
  BuildSample({"--splash-opacity", "50", "--splash-time", "1"});
  const SetupRun run = Run({}, "hello-setup.exe");
  ExpectInstallationReached(run);
  EXPECT_TRUE(run.TraceHas("\nwindow alpha \"SXSplashWindow\" 128\n")) << run.trace;
  EXPECT_NE(RunSxbuild({std::string(SX_EXAMPLES_DIR) + "/hello", "-o", Machine().HostPath("x"), "--splash-opacity", "0"})
                .status,
            0);
}

// Preparation in this process on a built package.
class Preparation : public SetupTest {
 protected:
  void SetUp() override {
    Project().Project(R"(<sx2project><components><component id="c">
        <files><file src="*.*" dst="C:\App\"/></files></component></components></sx2project>)");
    Project().Write("payload/c/big.bin", std::string(100000, 'x'));
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    Build();
    host::SetCurrentHost(&host_);
    EngineState() = TEngineState{};
    engine_ = std::make_unique<TEngineContext>();
    TEngineState& state = EngineState();
    state.ExeName = "C:\\setup\\setup.exe";
    state.TempDir = "C:\\users\\user\\Temp\\PREPTEST\\";
    ASSERT_TRUE(fs::create_directories(Machine().HostPath("drive_c/users/user/Temp/PREPTEST")));
    SetUnpackDllPath(WriteUnpackLibrary(state.TempDir));
  }
  void TearDown() override {
    engine_.reset();
    EngineState() = TEngineState{};
    host::SetCurrentHost(&Machine().host());
  }
  TsxPackage& MainPackage() {
    TsxPackage& main = engine_->Database().Packages->AddNew();
    main.FullFileName = "C:\\setup\\setup.exe";
    main.Main = true;
    return main;
  }

  class SmallDiskHost : public EngineTestHost {
   public:
    using EngineTestHost::EngineTestHost;
    uint64_t freeBytes = UINT64_MAX;
    std::optional<host::DiskSpace> GetDiskSpace(std::string_view path) override {
      auto space = Inner().GetDiskSpace(path);
      if (space && freeBytes != UINT64_MAX) space->freeBytesAvailable = space->freeBytes = freeBytes;
      return space;
    }
  };
  SmallDiskHost host_{Machine().host()};
  std::unique_ptr<TEngineContext> engine_;
};

TEST_F(Preparation, ExtractsAllButTheDataAndChecksTheDisk) {
  TsxPackage& main = MainPackage();
  ASSERT_TRUE(CheckPackage(main));
  EXPECT_EQ(main.FileName, "setup");
  EXPECT_EQ(main.TempPath, "C:\\users\\user\\Temp\\PREPTEST\\setup\\");
  EXPECT_GT(main.PresetupSize, 0);
  EXPECT_GE(main.DataSize, 100000);
  // The resume copy is the engine image at the head of the setup program.
  const std::string copy = ReadHostFile(Machine().HostPath("drive_c/users/user/Temp/PREPTEST/Resume.exe"));
  EXPECT_EQ(copy, ReadHostFile(SX_SXENGINE));

  // Too little space: nothing is extracted.
  host_.freeBytes = 0;
  EXPECT_FALSE(PreparePackages());
  ASSERT_FALSE(host_.boxes.empty());
  EXPECT_EQ(host_.boxes.back().text, "Insufficient free disk space.");
  EXPECT_FALSE(main.Prepared);

  host_.freeBytes = UINT64_MAX;
  ASSERT_TRUE(PreparePackages());
  EXPECT_TRUE(main.Prepared);
  const std::string folder = Machine().HostPath("drive_c/users/user/Temp/PREPTEST/setup");
  EXPECT_TRUE(fs::exists(folder + "/db.pdb"));
  EXPECT_TRUE(fs::exists(folder + "/main.pdb"));
  EXPECT_TRUE(fs::exists(folder + "/lng/ENU.lng"));
  EXPECT_FALSE(fs::exists(folder + "/data"));
  ASSERT_TRUE(LoadPackageDatabase(main));
  EXPECT_EQ(main.Variables->ScanByName("Presetup")->Value, main.TempPath + "presetup");
  EXPECT_EQ(main.Components->Count(), 1);
  EXPECT_TRUE(main.Prepared) << "loading its database keeps the preparation state";

  // A damaged database is an error that names it.
  WriteHostFile(folder + "/db.pdb", "garbage that deciphers to no XML");
  EXPECT_ANY_THROW(LoadPackageDatabase(main));
  fs::remove(folder + "/db.pdb");
  EXPECT_ANY_THROW(LoadPackageDatabase(main));
}

TEST_F(Preparation, PackageNamesThatGiveNoFolderAreInvalid) {
  const std::string bytes = ReadHostFile(Machine().HostPath("drive_c/setup/setup.exe"));
  for (const char* name : {".exe", "..exe"}) {
    WriteHostFile(Machine().HostPath(std::string("drive_c/setup/") + name), bytes);
    TsxPackage& package = engine_->Database().Packages->AddNew();
    package.FullFileName = std::string("C:\\setup\\") + name;
    EXPECT_FALSE(CheckPackage(package)) << name;
    ASSERT_FALSE(host_.boxes.empty());
    EXPECT_EQ(host_.boxes.back().title, "Invalid package");
  }
}

}  // namespace
}  // namespace sx::test
