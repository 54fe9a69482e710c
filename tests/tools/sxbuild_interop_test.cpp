// Packages written by sxbuild read back by others: plain ones by cabextract and gcab to the very
// payload files; spanned sets by cabextract and by the engine's unpacker, which asks for a
// cabinet it does not find; scrambled, enciphered, spanned packages with bytes appended after
// their trailer by the engine's unpacker (preparation without the password stops at the data,
// installation with it reads everything); and sxtool's listing of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "packages/pdb_file.h"
#include "tests/packages/built_setup.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two packages with text, noise, empty files and nested folders; the second has one file that
// spans many cabinets when they are small.
class InteropProject : public ProjectFolder {
 public:
  InteropProject() {
    Project(R"(<sx2project>
      <packages><package id="extra"/></packages>
      <components>
        <component id="core"><files><file src="*.*" dst="%InstallPath%\"/></files></component>
        <component id="big" package="extra"><files><file src="huge.bin" dst="%InstallPath%\huge.bin"/></files></component>
      </components></sx2project>)");
    Write("packages/main/lng/ENU.lng", "[Strings]\r\nLanguageName=English\r\n");
    Write("packages/main/splash.bmp", RandomBytes(3000, 99));
    for (int i = 0; i < 40; ++i) {
      const size_t sizes[] = {0, 1, 7, 100, 5000, 40000, 70000};
      const size_t size = sizes[i % 7];
      payload_["core/sub" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".dat"] =
          i % 3 == 0 ? RandomBytes(size, static_cast<uint32_t>(i)) : TextBytes(size, static_cast<uint32_t>(i));
    }
    payload_["big/huge.bin"] = RandomBytes(300000, 7);
    for (const auto& [name, content] : payload_) Write("payload/" + name, content);
  }
  // The data entries the engine installs, by archive name.
  std::map<std::string, std::string> Data(const std::string& component) const {
    std::map<std::string, std::string> data;
    for (const auto& [path, content] : payload_) {
      if (path.rfind(component + "/", 0) != 0) continue;
      std::string name = path;
      std::replace(name.begin(), name.end(), '/', '\\');
      data["data\\" + name] = content;
    }
    return data;
  }

 private:
  std::map<std::string, std::string> payload_;
};

std::map<std::string, std::string> DataOf(const std::map<std::string, std::string>& files) {
  std::map<std::string, std::string> data;
  for (const auto& [name, content] : files)
    if (name.rfind("data\\", 0) == 0) data[name] = content;
  return data;
}

std::map<std::string, std::string> WithBackslashes(const std::map<std::string, std::string>& files) {
  std::map<std::string, std::string> out;
  for (const auto& [path, content] : files) {
    std::string name = path;
    std::replace(name.begin(), name.end(), '/', '\\');
    out[name] = content;
  }
  return out;
}

class SxbuildInterop : public BuiltSetupTest {
 protected:
  InteropProject project_;
  ScratchFolder out_;

  void Build(const std::vector<std::string>& options) {
    std::vector<std::string> args = {project_.path(), "-o", out_.path()};
    args.insert(args.end(), options.begin(), options.end());
    const SxbuildRun run = RunSxbuild(args);
    ASSERT_EQ(run.status, 0) << run.output;
  }
};

TEST_F(SxbuildInterop, PlainPackagesExtractWithCabextractAndGcabToTheProjectFiles) {
  for (const char* compression : {"mszip", "none"}) {
    SCOPED_TRACE(compression);
    Build({"--compression", compression});
    // The further package is a cabinet followed by its trailer; the main package's cabinet lies
    // between the engine image and the trailer.
    const std::string setup = ReadHostFile(out_ / "setup.exe");
    const PackageCheck check = Trailer(out_ / "setup.exe");
    ScratchFolder scratch;
    WriteHostFile(scratch / "main.cab", setup.substr(check.trailer.stubSize,
                                                     check.trailer.packageFileSize - check.trailer.stubSize -
                                                         kPackageTrailerSize));
    const Extracted engine = Extract(out_ / "setup.exe");
    ASSERT_TRUE(engine.ok) << engine.error;
    for (const auto& [cabinet, component, expectedAll] :
         {std::tuple{scratch / "main.cab", std::string("core"), engine.files},
          std::tuple{out_ / "extra.sxp", std::string("big"), Extract(out_ / "extra.sxp").files}}) {
      SCOPED_TRACE(cabinet);
      const std::string tool = scratch / ("cabextract-" + component);
      const std::string gcab = scratch / ("gcab-" + component);
      ASSERT_EQ(RunCommand("cabextract -q -d " + ShellQuote(tool) + " " + ShellQuote(cabinet) + " 2>/dev/null"), 0);
      ASSERT_EQ(RunCommand("gcab -x -C " + ShellQuote(gcab) + " " + ShellQuote(cabinet)), 0);
      const auto byCabextract = WithBackslashes(FolderContent(tool));
      EXPECT_EQ(byCabextract, WithBackslashes(FolderContent(gcab)));
      EXPECT_EQ(byCabextract, expectedAll) << "the same files as the engine's unpacker reads";
      EXPECT_EQ(DataOf(byCabextract), project_.Data(component)) << "the payload, byte for byte";
    }
    EXPECT_EQ(engine.files.at("splash.bmp"), RandomBytes(3000, 99));
  }
}

TEST_F(SxbuildInterop, SpannedSetsExtractWithCabextractAndThroughTheUnpackerAskingForCabinets) {
  Build({"--max-cabinet-size", "64K"});
  std::vector<std::string> cabinets;
  for (const std::string& name : FileNames(out_.path()))
    if (name.rfind("extra-", 0) == 0) cabinets.push_back(name);
  ASSERT_GE(cabinets.size(), 3u) << "huge.bin spans several cabinets";
  for (const std::string& name : FileNames(out_.path()))
    EXPECT_LE(fs::file_size(out_ / name), name == "setup.exe" ? fs::file_size(SX_SXENGINE) + 65536 + 26 : 65536 + 26);

  ScratchFolder scratch;
  ASSERT_EQ(RunCommand("cabextract -q -d " + ShellQuote(scratch / "x") + " " + ShellQuote(out_ / "extra.sxp") +
                       " 2>/dev/null"),
            0);
  EXPECT_EQ(ReadHostFile(scratch / "x/data/big/huge.bin"), RandomBytes(300000, 7));

  // The further cabinets on another disk: the unpacker asks where the second one is and finds
  // the others beside it.
  fs::create_directories(scratch / "disk2");
  for (const std::string& name : cabinets) fs::rename(out_ / name, scratch / ("disk2/" + name));
  const Extracted extra = Extract(out_ / "extra.sxp", "", false, scratch / "disk2");
  ASSERT_TRUE(extra.ok) << extra.error;
  EXPECT_EQ(extra.asked, std::vector<std::string>{"extra-2.cab"});
  EXPECT_EQ(DataOf(extra.files), project_.Data("big"));
  // Without an answer the enumeration fails and says which cabinet is missing.
  const Extracted missing = Extract(out_ / "extra.sxp");
  EXPECT_FALSE(missing.ok);
  EXPECT_TRUE(Contains(missing.error, "extra-2.cab")) << missing.error;

  const Extracted main = Extract(out_ / "setup.exe");
  ASSERT_TRUE(main.ok) << main.error;
  EXPECT_EQ(DataOf(main.files), project_.Data("core"));
}

TEST_F(SxbuildInterop, ScrambledEncipheredSpannedPackagesWithAppendedBytesReadThroughTheUnpacker) {
  for (const char* compression : {"mszip", "none"}) {
    SCOPED_TRACE(compression);
    for (const std::string& name : FileNames(out_.path())) fs::remove(out_ / name);
    Build({"--compression", compression, "--max-cabinet-size", "48K", "--password", "pa55", "--scramble"});
    // A signature appended to each package file after its trailer.
    for (const char* package : {"setup.exe", "extra.sxp"}) {
      WriteHostFile(out_ / package, ReadHostFile(out_ / package) + std::string(1000, '\x5A') + "SIGNATURE");
      const PackageCheck check = Trailer(out_ / package);
      EXPECT_EQ(check.status, PackageStatus::kOk) << package;
      EXPECT_EQ(check.appendedLength, 1009u);
      EXPECT_EQ(check.trailer.flags, static_cast<uint32_t>(kPackageScrambled));
      const std::string head = ReadHostFile(out_ / package).substr(check.trailer.stubSize, 4);
      EXPECT_EQ(Scramble(head), "MSCF") << "the cabinet is scrambled, the engine image is not";
    }
    EXPECT_TRUE(fs::exists(out_ / "setup-2.cab"));
    EXPECT_TRUE(fs::exists(out_ / "extra-3.cab"));

    // Preparation: no password, up to the first data file.
    const Extracted prepared = Extract(out_ / "setup.exe", "", true);
    ASSERT_TRUE(prepared.ok) << prepared.error;
    // The project names no plug-in: the builder adds the terminal wizard.
    EXPECT_EQ(prepared.order, (std::vector<std::string>{"splash.bmp", "db.pdb", "main.pdb", "lng\\ENU.lng",
                                                        "plugins\\0\\sxwizard.dll"}));
    EXPECT_EQ(prepared.files.at("lng\\ENU.lng"), "[Strings]\r\nLanguageName=English\r\n");
    EXPECT_EQ(DecodePdb(prepared.files.at("main.pdb")).substr(0, 12), "<sx2project>");

    // Installation: with the password, every data file.
    for (const auto& [package, component] : {std::pair{"setup.exe", "core"}, std::pair{"extra.sxp", "big"}}) {
      const Extracted installed = Extract(out_ / package, "pa55");
      ASSERT_TRUE(installed.ok) << installed.error;
      EXPECT_EQ(DataOf(installed.files), project_.Data(component)) << package;
      const Extracted wrong = Extract(out_ / package, "PA55");
      EXPECT_FALSE(wrong.ok) << package;
      EXPECT_TRUE(Contains(wrong.error, "wrong password")) << wrong.error;
    }
  }
}

TEST_F(SxbuildInterop, SxtoolListsBuiltPackagesWithTheirTrailers) {
  Build({"--scramble", "--password", "pw", "--max-cabinet-size", "64K"});
  std::string listing;
  const std::string command = "SX_MACHINE=" + ShellQuote(machine_.folder()) + " " + ShellQuote(SX_SXTOOL) +
                              " package info " + ShellQuote(out_ / "setup.exe") + " --password pw";
  ASSERT_EQ(RunCommand(command, &listing), 0) << listing;
  EXPECT_TRUE(Contains(listing, "trailer: package is intact")) << listing;
  EXPECT_TRUE(Contains(listing, "StubSize        " + std::to_string(fs::file_size(SX_SXENGINE)))) << listing;
  EXPECT_TRUE(Contains(listing, "scrambled")) << listing;
  EXPECT_TRUE(Contains(listing, "  main.pdb\n")) << listing;
  EXPECT_TRUE(Contains(listing, "data\\core\\sub3\\f39.dat")) << listing;
  // splash, db.pdb, main.pdb, lng, the terminal wizard and 40 data files
  EXPECT_TRUE(Contains(listing, "45 files")) << listing;

  const std::string extra = "SX_MACHINE=" + ShellQuote(machine_.folder()) + " " + ShellQuote(SX_SXTOOL) +
                            " package info " + ShellQuote(out_ / "extra.sxp") + " --password pw";
  ASSERT_EQ(RunCommand(extra, &listing), 0) << listing;
  EXPECT_TRUE(Contains(listing, "      300000  ")) << listing;
  EXPECT_TRUE(Contains(listing, "data\\big\\huge.bin")) << listing;
}

}  // namespace
}  // namespace sx::test
