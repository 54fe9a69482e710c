// Two products that install the same library as a shared file: the library counts both in
// SharedDLLs, uninstalling one keeps it, uninstalling the other removes it and its count, and the
// machine is as it was before either product (but for the library's empty folder).
#include <gtest/gtest.h>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

constexpr char kSharedDlls[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SharedLibrary : public ScenarioTest {
 protected:
  void BuildProduct(const std::string& name) {
    Product product;
    product.id = product.name = name;
    product.files = R"(<file src="common.dll" dst="C:\Program Files\Common Files\Vendor\common.dll" flags="shared"/>
                    <file src="app.txt" dst="%InstallPath%\app.txt"/>)";
    WriteProduct(product);
    Project().Write("payload/core/common.dll", "the shared library");
    Project().Write("payload/core/app.txt", name);
    BuildInto("setup/" + name);
  }
  int Install(const std::string& name) { return Run({"/s"}, name + "/setup.exe").exitCode; }
  std::string Count() {
    const std::string values = Query(kSharedDlls);
    const std::string name = "C:\\Program Files\\Common Files\\Vendor\\common.dll    REG_DWORD    ";
    const size_t at = values.find(name);
    return at == std::string::npos ? "none" : values.substr(at + name.size(), values.find('\n', at) - at - name.size());
  }
};

TEST_F(SharedLibrary, TheLibraryStaysUntilTheLastProductUsingItIsRemoved) {
  BuildProduct("Alpha");
  BuildProduct("Beta");
  const MachineSnapshot before = Snapshot();
  ASSERT_EQ(Install("Alpha"), 0);
  ASSERT_EQ(Install("Beta"), 0);
  EXPECT_EQ(Count(), "0x2");
  EXPECT_EQ(Read("C:\\Program Files\\Common Files\\Vendor\\common.dll"), "the shared library");

  EXPECT_EQ(RunUninstaller("Alpha"), 0);
  EXPECT_EQ(Count(), "0x1");
  EXPECT_EQ(Read("C:\\Program Files\\Common Files\\Vendor\\common.dll"), "the shared library");
  EXPECT_FALSE(Exists("C:\\Program Files\\Alpha\\app.txt"));
  EXPECT_EQ(Read("C:\\Program Files\\Beta\\app.txt"), "Beta");

  EXPECT_EQ(RunUninstaller("Beta"), 0);
  EXPECT_EQ(Count(), "none");
  EXPECT_FALSE(Exists("C:\\Program Files\\Common Files\\Vendor\\common.dll"));
  // The library's folder stays, empty, as on Windows: Alpha made it but could not remove it while
  // Beta's library was in it, and Beta found it there, so neither log lists it as made.
  const std::string emptyFolder = "added: folder C:\\Program Files\\Common Files\\Vendor\n";
  EXPECT_EQ(DifferenceSettlingTo(before, emptyFolder), emptyFolder);
}

}  // namespace
}  // namespace sx::test
