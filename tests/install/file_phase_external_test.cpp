// External files: copied from beside the setup rather than extracted, single or by a mask with
// its sub-folders, deciphered when enciphered, with a clear failure for a missing source.
#include "packages/gost.h"
#include "platform/file_utils.h"
#include "packages/haval.h"
#include "tests/install/file_phase_fixture.h"

namespace sx::test {
namespace {

class FilePhaseExternal : public FilePhaseTest {
 protected:
  void Source(const std::string& path, const std::string& content) {
    CreateFolderPath(FolderOf(path));
    ASSERT_TRUE(WriteFile(path, content));
  }
  std::string ReadAll(const std::string& path) {
    const auto hostPath = machine.host().MapPath(path);
    return hostPath ? ReadHostFile(*hostPath) : "<missing>";
  }
};

TEST_F(FilePhaseExternal, SingleAndMaskedSourcesWithSubFoldersAndEmptyMatches) {
  Build(R"(<sx2project><components>
      <component id="P"><files><file src="p.txt" dst="C:\App\p.txt"/></files></component>
      <component id="E"><files>
        <file src="C:\src\one.txt" dst="C:\App\one.txt" flags="external"/>
        <file src="C:\src\all\*.*" dst="C:\App\all\" flags="external"/>
        <file src="C:\src\none\*.dat" dst="C:\App\none\" flags="external"/>
      </files></component>
    </components></sx2project>)",
        {{"payload/P/p.txt", "packed"}});
  Source("C:\\src\\one.txt", "one");
  Source("C:\\src\\all\\a.txt", std::string(200000, 'a'));
  Source("C:\\src\\all\\README", "no extension");
  Source("C:\\src\\all\\sub\\b.txt", "b");
  Source("C:\\src\\all\\sub\\deeper\\c.txt", "c");
  Source("C:\\src\\none\\other.txt", "not a .dat");
  ASSERT_TRUE(host().SetFileAttributes("C:\\src\\all\\sub\\b.txt", host::kAttrReadOnly | host::kAttrArchive));
  const MachineSnapshot before = Snapshot();

  ASSERT_TRUE(Run()) << ::testing::PrintToString(services.calls);
  EXPECT_EQ(Tree("C:\\App"), (std::map<std::string, std::string>{{"p.txt", "packed"},
                                                                  {"one.txt", "one"},
                                                                  {"all/a.txt", std::string(200000, 'a')},
                                                                  {"all/README", "no extension"},
                                                                  {"all/sub/b.txt", "b"},
                                                                  {"all/sub/deeper/c.txt", "c"}}));
  EXPECT_TRUE(FolderExistsAt("C:\\App\\none")) << "a mask without matches still makes its folder";
  EXPECT_EQ(host().GetFileInfo("C:\\App\\all\\sub\\b.txt")->attributes & 0x27, host::kAttrReadOnly | host::kAttrArchive);
  EXPECT_EQ(host().GetFileInfo("C:\\App\\one.txt")->lastWriteTime, host().GetFileInfo("C:\\src\\one.txt")->lastWriteTime);
  EXPECT_EQ(services.Events("after C:\\App\\all\\sub\\deeper\\c.txt").size(), 1u);
  // The big file reports its blocks; every percentage stays within 0..100 although external
  // bytes are not part of the packages' total.
  size_t blocksOfA = 0;
  for (const std::string& line : services.Events("progress ")) {
    const int file = std::stoi(line.substr(9));
    const int all = std::stoi(line.substr(line.find_last_of(' ') + 1));
    EXPECT_TRUE(file >= 0 && file <= 100 && all >= 0 && all <= 100) << line;
  }
  for (size_t i = 0; i < services.events.size(); ++i)
    if (services.events[i] == "process 0 C:\\App\\all\\a.txt")
      while (++i < services.events.size() && services.events[i].rfind("progress", 0) == 0) ++blocksOfA;
  EXPECT_EQ(blocksOfA, 2u) << "two 128 KB blocks";

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseExternal, MissingSourceFailsWithItsPathAndLeavesNoAbort) {
  Build(R"(<sx2project><components><component id="E"><files>
        <file src="C:\src\gone.txt" dst="C:\App\gone.txt" flags="external"/>
        <file src="C:\src\there.txt" dst="C:\App\there.txt" flags="external"/>
      </files></component></components></sx2project>)",
        {});
  Source("C:\\src\\there.txt", "there");
  services.strings[11] = "Cannot copy %s.";
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.CallsStartingWith("box Error"),
            (std::vector<std::string>{"box Error: Cannot copy C:\\src\\gone.txt. style 16"}));
  EXPECT_FALSE(services.abortFlag) << "a missing source is a failure, not an abort";
  EXPECT_FALSE(Exists("C:\\App\\there.txt")) << "the loops stop at the failure";
  EXPECT_TRUE(services.Events("abort").empty());
}

TEST_F(FilePhaseExternal, EncipheredSourcesAreDecipheredOneChainPerFile) {
  Build(R"(<sx2project><components>
      <component id="P"><files><file src="p.txt" dst="C:\App\p.txt"/></files></component>
      <component id="E"><files><file src="C:\src\enc\*.bin" dst="C:\App\enc\" flags="external,encrypt"/></files></component>
    </components></sx2project>)",
        {{"payload/P/p.txt", "packed under the password"}}, {"--password", "secret"});
  services.database->Password = "secret";
  const std::string first(200003, 'x'), second = "a second file of its own chain";
  auto encipher = [](const std::string& plain) {
    const HavalDigest key = Digest("secret");
    GostCipher cipher;
    cipher.Init(key.data(), 256);
    std::string out = plain;
    cipher.Encipher(reinterpret_cast<const uint8_t*>(plain.data()), reinterpret_cast<uint8_t*>(out.data()), out.size());
    return out;
  };
  // The first made with the tool that authors use, the second by the cipher itself.
  ScratchFolder scratch;
  WriteHostFile(scratch / "first.bin", first);
  std::string fromTool;
  ASSERT_EQ(RunCommand(std::string(SX_SXTOOL) + " encipher --password secret '" + (scratch / "first.bin") + "'", &fromTool), 0);
  EXPECT_EQ(fromTool, encipher(first));
  EXPECT_NE(fromTool, first);
  Source("C:\\src\\enc\\first.bin", fromTool);
  Source("C:\\src\\enc\\second.bin", encipher(second));
  ASSERT_TRUE(Run()) << ::testing::PrintToString(services.calls);
  EXPECT_EQ(ReadFile("C:\\App\\p.txt"), "packed under the password");
  EXPECT_EQ(ReadAll("C:\\App\\enc\\first.bin"), first);
  EXPECT_EQ(ReadAll("C:\\App\\enc\\second.bin"), second);

  // Without a password in use the files are copied as they are.
  list().RollbackAll();
  Build(R"(<sx2project><components>
      <component id="E"><files><file src="C:\src\enc\*.bin" dst="C:\App\enc\" flags="external,encrypt"/></files></component>
    </components></sx2project>)",
        {});
  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadAll("C:\\App\\enc\\second.bin"), encipher(second));
}

}  // namespace
}  // namespace sx::test
