// The builder gives a project that names no user interface the terminal wizard, and tells the
// wizard what the features weigh; a project's own choice of plug-ins stays as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "database/sx_classes.h"
#include "packages/pdb_file.h"
#include "tests/packages/built_setup.h"

namespace sx::test {
namespace {

// Feature "app" (component "a") with the sub-feature "extras" (components "b" and "a").
constexpr char kProject[] = R"(<sx2project>
  <components>
    <component id="a"><files><file src="*.bin" dst="%InstallPath%\"/></files></component>
    <component id="b"><files><file src="b.txt" dst="%InstallPath%\"/><file src="c.txt" dst="%InstallPath%\" flags="external"/></files></component>
  </components>
  <features>
    <feature id="app"><components><component id="a"/></components>
      <features><feature id="extras"><components><component id="b"/><component id="a"/></components></feature></features>
    </feature>
  </features>
</sx2project>)";

class SxbuildWizard : public BuiltSetupTest {
 protected:
  std::unique_ptr<TsxPackage> MainPackageDatabase(const Extracted& files) {
    auto package = std::make_unique<TsxPackage>();
    package->LoadFromString(DecodePdb(files.files.at("db.pdb")), "package");
    return package;
  }
};

TEST_F(SxbuildWizard, ProjectsWithoutUserInterfaceGetTheWizardAndItsSizes) {
  ProjectFolder project;
  project.Project(kProject);
  project.Write("payload/a/one.bin", std::string(1000, '1'));
  project.Write("payload/a/two.bin", std::string(24, '2'));
  project.Write("payload/a/notes.txt", "not packed, not counted");
  project.Write("payload/b/b.txt", std::string(500, 'b'));
  project.Write("payload/b/c.txt", "external: the engine takes it from beside the setup");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const Extracted files = Extract(out / "setup.exe");
  ASSERT_TRUE(files.ok) << files.error;
  const std::string shipped = std::filesystem::path(SX_SETUP_ENGINE).parent_path() / "sxwizard.dll";
  EXPECT_EQ(files.files.at("plugins\\0\\sxwizard.dll"), ReadHostFile(shipped));

  const auto package = MainPackageDatabase(files);
  ASSERT_EQ(package->Plugins->Count(), 1);
  const TsxPluginSimpleConfig& config = *(*package->Plugins)[0].Config;
  EXPECT_EQ((*package->Plugins)[0].ID, "sxwizard");
  EXPECT_EQ(config.GetPluginParam("ComponentSizes", "a", "?"), "1024");
  EXPECT_EQ(config.GetPluginParam("ComponentSizes", "b", "?"), "500");
  EXPECT_EQ(config.GetPluginParam("FeatureComponents", "app", "?"), "a");
  EXPECT_EQ(config.GetPluginParam("FeatureComponents", "extras", "?"), "b,a");

  // Naming the wizard beside an own plug-in packs both; a plugins/sxwizard/ folder of the
  // project wins over the shipped wizard, and groups the project gives are kept as they are.
  std::string own = kProject;
  own.replace(own.find("<components>"), 0, R"(<packages><package id="setup" main="1"><plugins>
      <plugin id="helper"/><plugin id="sxwizard"/></plugins></package>
      <package id="more"><plugins><plugin id="sxwizard"><config><paramgroup name="ComponentSizes">
      <param name="a" value="7"/></paramgroup></config></plugin></plugins></package></packages>)");
  project.Project(own);
  project.Write("plugins/helper/helper.dll", "helper library");
  ASSERT_EQ(RunSxbuild({project.path(), "-o", out.path()}).status, 0);
  const Extracted both = Extract(out / "setup.exe");
  EXPECT_EQ(both.files.at("plugins\\0\\helper.dll"), "helper library");
  EXPECT_EQ(both.files.at("plugins\\1\\sxwizard.dll"), ReadHostFile(shipped));
  EXPECT_EQ((*MainPackageDatabase(both)->Plugins)[1].Config->GetPluginParam("ComponentSizes", "a", "?"), "1024");
  const Extracted more = Extract(out / "more.sxp");
  const auto morePackage = MainPackageDatabase(more);
  EXPECT_EQ((*morePackage->Plugins)[0].Config->Count(), 1);
  EXPECT_EQ((*morePackage->Plugins)[0].Config->GetPluginParam("ComponentSizes", "a", "?"), "7");

  project.Write("plugins/sxwizard/sxwizard.dll", "the project's own wizard");
  ASSERT_EQ(RunSxbuild({project.path(), "-o", out.path()}).status, 0);
  EXPECT_EQ(Extract(out / "setup.exe").files.at("plugins\\1\\sxwizard.dll"), "the project's own wizard");
}

}  // namespace
}  // namespace sx::test
