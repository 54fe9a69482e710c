// sxbuild on project folders: what it writes (the engine image, the cabinet and the trailer; the
// archive order the engine's preparation relies on; the two databases; file facts; plug-ins by
// their position; the password's check hash), what it packs of a component's payload (exactly
// what the engine's matching of file items takes), and how it fails: bad projects name the file,
// nothing is written, earlier outputs stay, nothing lands outside the output folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "database/sx_classes.h"
#include "packages/password.h"
#include "packages/pdb_file.h"
#include "tests/packages/built_setup.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

const std::string kExample = std::string(SX_EXAMPLES_DIR) + "/hello";
const std::string kPackedUninstaller = std::filesystem::path(SX_SXBUILD).parent_path() / "Uninstall.exe";
const std::string kFixtures = std::string(SX_FIXTURES_DIR) + "/pe/";

constexpr char kOneComponent[] = R"(<sx2project>
  <components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components>
</sx2project>)";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// 12,345,678
std::string Grouped(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::unique_ptr<TsxMainDatabase> MainDatabaseOf(const std::string& pdb) {
  auto db = std::make_unique<TsxMainDatabase>();
  db->LoadFromString(DecodePdb(pdb), "sx2project");
  return db;
}

std::unique_ptr<TsxPackage> PackageDatabaseOf(const std::string& pdb) {
  auto package = std::make_unique<TsxPackage>();
  package->LoadFromString(DecodePdb(pdb), "package");
  return package;
}

class SxbuildProject : public BuiltSetupTest {};

TEST_F(SxbuildProject, ExampleBuildsIntoASetupProgramAndAPackageWithTheirTrailers) {
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({kExample, "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(FileNames(out.path()), (std::vector<std::string>{"hello-setup.exe", "hellodocs.sxp"}));

  const std::string setup = ReadHostFile(out / "hello-setup.exe");
  const std::string engine = ReadHostFile(SX_SXENGINE);
  ASSERT_GT(setup.size(), engine.size());
  EXPECT_EQ(setup.compare(0, engine.size(), engine), 0) << "the engine image heads the setup program";
  EXPECT_EQ(setup.substr(engine.size(), 8), std::string("MSCF\0\0\0\0", 8)) << "its cabinet follows at once";
  struct stat st;
  ASSERT_EQ(::stat((out / "hello-setup.exe").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR) << "the setup program can be started";

  const PackageCheck main = Trailer(out / "hello-setup.exe");
  ASSERT_EQ(main.status, PackageStatus::kOk);
  EXPECT_EQ(main.trailer.stubSize, engine.size());
  EXPECT_EQ(main.trailer.packageFileSize, setup.size());
  EXPECT_EQ(main.trailer.flags, 0u);
  const Extracted files = Extract(out / "hello-setup.exe");
  ASSERT_TRUE(files.ok) << files.error;
  // The splash first, the databases next, the rest of the package (with the terminal wizard, as
  // the project names no user interface), then the data.
  EXPECT_EQ(files.order, (std::vector<std::string>{"splash.bmp", "db.pdb", "main.pdb", "lng\\ENU.lng",
                                                   "plugins\\0\\sxwizard.dll", "Uninstall.exe",
                                                   "data\\core\\bin\\hello.exe",
                                                   "data\\core\\hello.txt", "data\\core\\samples\\greeting.ini"}));
  uint64_t presetup = 0, data = 0;
  for (const auto& [name, content] : files.files) (name.rfind("data\\", 0) == 0 ? data : presetup) += content.size();
  EXPECT_EQ(main.trailer.presetupSize, presetup);
  EXPECT_EQ(main.trailer.dataSize, data);
  EXPECT_EQ(files.files.at("data\\core\\hello.txt"), ReadHostFile(kExample + "/payload/core/hello.txt"));
  EXPECT_EQ(files.files.at("lng\\ENU.lng"), ReadHostFile(kExample + "/packages/main/lng/ENU.lng"));
  // The project sets Uninstall and brings no uninstaller: ours goes in, the one beside sxbuild.
  EXPECT_EQ(files.files.at("Uninstall.exe"), ReadHostFile(kPackedUninstaller));

  const PackageCheck docs = Trailer(out / "hellodocs.sxp");
  ASSERT_EQ(docs.status, PackageStatus::kOk);
  EXPECT_EQ(docs.trailer.stubSize, 0u);
  EXPECT_EQ(docs.trailer.flags, static_cast<uint32_t>(kPackageQuiet)) << "flags=\"4\" of the project";
  EXPECT_EQ(ReadHostFile(out / "hellodocs.sxp").substr(0, 4), "MSCF");
  const Extracted docsFiles = Extract(out / "hellodocs.sxp");
  EXPECT_EQ(docsFiles.order, (std::vector<std::string>{"db.pdb", "data\\manual\\manual.txt"}));
}

TEST_F(SxbuildProject, DatabasesHoldTheWholeProjectAndEachPackagesOwnPart) {
  ScratchFolder out;
  ASSERT_EQ(RunSxbuild({kExample, "-o", out.path()}).status, 0);
  const Extracted main = Extract(out / "hello-setup.exe");
  const Extracted docs = Extract(out / "hellodocs.sxp");
  ASSERT_TRUE(main.ok && docs.ok);

  const auto projectPointer = MainDatabaseOf(main.files.at("main.pdb"));
  const TsxMainDatabase& project = *projectPointer;
  EXPECT_EQ(project.Version, "1.0");
  // Package 0 is the engine's own: the file lists the further packages only, bare.
  ASSERT_EQ(project.Packages->Count(), 1);
  EXPECT_EQ((*project.Packages)[0].ID, "docs");
  EXPECT_EQ((*project.Packages)[0].FileName, "hellodocs");
  EXPECT_EQ((*project.Packages)[0].Plugins->Count(), 0);
  ASSERT_EQ(project.Components->Count(), 2);
  EXPECT_EQ((*project.Components)[0].ID(), "core");
  EXPECT_EQ((*project.Components)[0].Package, "") << "the main package's components name none";
  EXPECT_EQ((*project.Components)[1].Package, "hellodocs");
  EXPECT_EQ(project.Features->Count(), 2);
  EXPECT_EQ(project.InstallTypes->Count(), 2);
  ASSERT_NE(project.Variables->FindVariable("AppID"), nullptr);
  EXPECT_EQ(project.Variables->FindVariable("AppID")->Value, "HelloSX");
  EXPECT_EQ(project.Variables->FindVariable("PswCheckHash"), nullptr);

  const auto mainPackage = PackageDatabaseOf(main.files.at("db.pdb"));
  EXPECT_EQ(mainPackage->ID, "main");
  ASSERT_EQ(mainPackage->Components->Count(), 1);
  EXPECT_EQ((*mainPackage->Components)[0].ID(), "core");
  EXPECT_EQ((*mainPackage->Components)[0].Files->Count(), 3);
  ASSERT_EQ(mainPackage->FileInfos->Count(), 3);
  const TsxFileInfo* hello = mainPackage->FileInfos->FindByName("core\\hello.txt");
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(static_cast<size_t>(hello->Size), ReadHostFile(kExample + "/payload/core/hello.txt").size());
  // Facts the engine learns at run time never come from the file.
  const std::string text = DecodePdb(main.files.at("db.pdb")) + DecodePdb(main.files.at("main.pdb"));
  for (const char* runtime : {"temppath", "fullfilename", "prepared", "needed", "presetupsize", "datasize"})
    EXPECT_FALSE(Contains(text, runtime)) << runtime;

  const auto docsPackage = PackageDatabaseOf(docs.files.at("db.pdb"));
  EXPECT_EQ(docsPackage->ID, "docs");
  ASSERT_EQ(docsPackage->Components->Count(), 1);
  EXPECT_EQ((*docsPackage->Components)[0].Package, "hellodocs");
  ASSERT_EQ(docsPackage->FileInfos->Count(), 1);
  EXPECT_EQ((*docsPackage->FileInfos)[0].Name, "manual\\manual.txt");
}

TEST_F(SxbuildProject, PacksExactlyWhatTheEnginesMatchingOfFileItemsTakes) {
  ProjectFolder project;
  project.Project(R"(<sx2project><components><component id="c"><files>
      <file src="exact.txt" dst="%InstallPath%\exact.txt"/>
      <file src="bin\*.dll" dst="%InstallPath%\bin\"/>
      <file src="README" dst="%InstallPath%\README"/>
      <file src="fonts\*.ttf" dst="%Fonts%\"/>
      <file src="C:\outside\x.txt" dst="%InstallPath%\x.txt" flags="external"/>
      <file src="old.txt" dst="%InstallPath%\old.txt" action="remove"/>
    </files></component></components></sx2project>)");
  for (const char* file : {"exact.txt", "README", "bin/a.DLL", "bin/x/b.dll", "bin/c.txt", "other/d.dll", "notes.md"})
    project.Write(std::string("payload/c/") + file, file);
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const Extracted files = Extract(out / "setup.exe");
  ASSERT_TRUE(files.ok) << files.error;
  std::vector<std::string> data;
  for (const std::string& name : files.order)
    if (name.rfind("data\\", 0) == 0) data.push_back(name);
  EXPECT_EQ(data, (std::vector<std::string>{"data\\c\\README", "data\\c\\bin\\a.DLL", "data\\c\\bin\\x\\b.dll",
                                            "data\\c\\exact.txt"}));
  EXPECT_TRUE(Contains(run.output, "3 file(s)")) << run.output;  // bin/c.txt, notes.md, other/d.dll
  EXPECT_TRUE(Contains(run.output, "src=\"fonts\\*.ttf\": no file")) << run.output;
}

TEST_F(SxbuildProject, FileInfosCarryVersionsOfProgramFilesAndTheAuthorsFontNames) {
  ProjectFolder project;
  project.Project(R"(<sx2project>
    <packages><package id="setup" main="1">
      <fileinfos><fileinfo name="c\fonts\sans.ttf" fontname="Example Sans"/></fileinfos>
    </package></packages>
    <components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components>
  </sx2project>)");
  project.Write("payload/c/lib/lz32.dll", ReadHostFile(kFixtures + "lz32.dll"));
  project.Write("payload/c/lib/icmp.dll", ReadHostFile(kFixtures + "icmp.dll"));
  project.Write("payload/c/fonts/sans.ttf", "not really a font");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const auto package = PackageDatabaseOf(Extract(out / "setup.exe").files.at("db.pdb"));
  ASSERT_NE(package->FileInfos->FindByName("c\\lib\\lz32.dll"), nullptr);
  EXPECT_EQ(package->FileInfos->FindByName("c\\lib\\lz32.dll")->Version, "5.1.2600.2180");
  EXPECT_EQ(package->FileInfos->FindByName("c\\lib\\lz32.dll")->Size, 12288);
  EXPECT_EQ(package->FileInfos->FindByName("c\\lib\\icmp.dll")->Version, "");
  EXPECT_EQ(package->FileInfos->FindByName("C\\FONTS\\SANS.TTF")->FontName, "Example Sans");

  project.Project(R"(<sx2project>
    <packages><package id="setup" main="1"><fileinfos><fileinfo name="c\gone.ttf" fontname="X"/></fileinfos></package></packages>
    <components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components>
  </sx2project>)");
  const SxbuildRun bad = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Contains(bad.output, "fileinfo \"c\\gone.ttf\" names no packed file")) << bad.output;
}

TEST_F(SxbuildProject, PluginsArePackedByTheirPositionInTheirPackage) {
  ProjectFolder project;
  const std::string plugins = R"(<plugins>
      <plugin id="wizard" configfile="wizard.xml"/>
      <plugin id="debugged" debugdll="C:\dev\debugged.dll"/>
      <plugin id="logger"/>
    </plugins>)";
  project.Project(R"(<sx2project><packages><package id="main" main="1">)" + plugins +
                  R"(</package></packages></sx2project>)");
  project.Write("plugins/wizard/wizard.dll", "wizard library");
  project.Write("plugins/wizard/wizard.xml", "<wizard/>");
  project.Write("plugins/wizard/res/page.bmp", "picture");
  project.Write("plugins/logger/Logger.DLL", "logger library");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const Extracted files = Extract(out / "setup.exe");
  EXPECT_EQ(files.order, (std::vector<std::string>{"db.pdb", "main.pdb", "plugins\\0\\res\\page.bmp",
                                                   "plugins\\0\\wizard.dll", "plugins\\0\\wizard.xml",
                                                   "plugins\\2\\Logger.DLL"}));
  const auto package = PackageDatabaseOf(files.files.at("db.pdb"));
  ASSERT_EQ(package->Plugins->Count(), 3);
  EXPECT_EQ((*package->Plugins)[1].DebugDll, "C:\\dev\\debugged.dll");

  struct Case {
    std::string plugin;
    std::string expected;
  };
  for (const Case& c : {Case{R"(<plugin id="missing"/>)", "plugins/missing"},
                        Case{R"(<plugin id="nodll"/>)", "holds no .dll file"},
                        Case{R"(<plugin id="wizard" configfile="other.xml"/>)", "configfile \"other.xml\""}}) {
    project.Write("plugins/nodll/readme.txt", "no library here");
    project.Project(R"(<sx2project><packages><package id="main" main="1"><plugins>)" + c.plugin +
                    R"(</plugins></package></packages></sx2project>)");
    const SxbuildRun bad = RunSxbuild({project.path(), "-o", out.path()});
    EXPECT_EQ(bad.status, 1) << c.plugin;
    EXPECT_TRUE(Contains(bad.output, c.expected)) << bad.output;
  }
}

TEST_F(SxbuildProject, PasswordSetsTheCheckHashAndIsNeverStored) {
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/file.txt", TextBytes(5000, 1));
  project.Write("secret.txt", "Open Sesame\n");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path(), "--password-file", project / "secret.txt"});
  ASSERT_EQ(run.status, 0) << run.output;
  const Extracted files = Extract(out / "setup.exe", "Open Sesame");
  ASSERT_TRUE(files.ok) << files.error;
  EXPECT_EQ(files.files.at("data\\c\\file.txt"), TextBytes(5000, 1));
  // The databases are read without the password, when the package is prepared.
  const Extracted prepared = Extract(out / "setup.exe", "", true);
  ASSERT_TRUE(prepared.ok) << prepared.error;
  const auto database = MainDatabaseOf(prepared.files.at("main.pdb"));
  const TsxMainDatabase& db = *database;
  ASSERT_NE(db.Variables->FindVariable("PswCheckHash"), nullptr);
  EXPECT_EQ(db.Variables->FindVariable("PswCheckHash")->Value, PasswordCheckHash("Open Sesame"));
  EXPECT_FALSE(Contains(ReadHostFile(out / "setup.exe"), "Open Sesame"));
  EXPECT_FALSE(Contains(DecodePdb(prepared.files.at("main.pdb")), "Open Sesame"));

  // A project that carries the check hash of its password builds with that password only.
  project.Project(R"(<sx2project><variables><var name="PswCheckHash" value=")" + PasswordCheckHash("right") +
                  R"("/></variables><components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components></sx2project>)");
  EXPECT_EQ(RunSxbuild({project.path(), "-o", out.path(), "--password", "right"}).status, 0);
  const SxbuildRun wrong = RunSxbuild({project.path(), "-o", out.path(), "--password", "wrong"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_TRUE(Contains(wrong.output, "PswCheckHash does not belong to the password")) << wrong.output;
  const SxbuildRun none = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(Contains(none.output, "--password")) << none.output;
  // The password never belongs in the project file.
  project.Project(R"(<sx2project password="x"/>)");
  const SxbuildRun stored = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(stored.status, 1);
  EXPECT_TRUE(Contains(stored.output, "never carries it")) << stored.output;
}

TEST_F(SxbuildProject, NamesOfAUtf8ProjectAndItsPayloadAreWrittenInTheCodePage) {
  ProjectFolder project;
  project.Project("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sx2project><components><component id=\"c\" "
                  "name=\"Caf\xC3\xA9\"><files><file src=\"caf\xC3\xA9.txt\" dst=\"%InstallPath%\\\"/></files>"
                  "</component></components></sx2project>");
  project.Write("payload/c/caf\xC3\xA9.txt", "coffee");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const Extracted files = Extract(out / "setup.exe");
  EXPECT_EQ(files.files.at("data\\c\\caf\xE9.txt"), "coffee") << "code page 1252";
  const auto db = MainDatabaseOf(files.files.at("main.pdb"));
  EXPECT_EQ((*db->Components)[0].Name, "Caf\xE9");

  const SxbuildRun cyrillic = RunSxbuild({project.path(), "-o", out.path(), "--codepage", "1251"});
  EXPECT_EQ(cyrillic.status, 1);
  EXPECT_TRUE(Contains(cyrillic.output, "project.xml: line 2 holds characters that code page 1251 cannot hold"))
      << cyrillic.output;
}

// Standard XML references in attribute values mean their characters in the setup, whatever the
// engine's own reader knows; its two-digit byte escape keeps its meaning; text between elements
// stays as written.
TEST_F(SxbuildProject, ReferencesInAttributeValuesReachTheSetupAsTheirCharacters) {
  ProjectFolder project;
  project.Project(R"(<sx2project><variables>
      <var name="Quoted" value="&quot;a&amp;b&quot; &lt;c&gt; &apos;d&apos;"/>
      <var name="Lines" value="one&#10;two&#x0D;&#xA;three"/>
      <var name="Typographic" value="&#x201C;x&#8221; &#x80;"/>
    </variables><components><component id="c" condition='FileExists("&#x25;Windows&#x25;")'>
      <files><file src="*.*" dst="%InstallPath%"/></files></component></components></sx2project>)");
  project.Write("payload/c/a.txt", "a");
  ScratchFolder out;
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  const auto db = MainDatabaseOf(Extract(out / "setup.exe").files.at("main.pdb"));
  EXPECT_EQ(db->Variables->FindVariable("Quoted")->Value, "\"a&b\" <c> 'd'");
  EXPECT_EQ(db->Variables->FindVariable("Lines")->Value, "one\ntwo\r\nthree");
  // U+201C and U+201D are bytes 93 and 94 of code page 1252; &#x80; is the engine's byte 80.
  EXPECT_EQ(db->Variables->FindVariable("Typographic")->Value, "\x93x\x94 \x80");
  EXPECT_EQ((*db->Components)[0].Condition, "FileExists(\"%Windows%\")");

  project.Project(R"(<sx2project><variables><var name="Han" value="&#x4E2D;"/></variables></sx2project>)");
  const SxbuildRun han = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(han.status, 1);
  EXPECT_TRUE(Contains(han.output, "the character reference &#x4E2D; names a character that code page 1252 cannot hold"))
      << han.output;
}

// Each broken project fails with status 1, a message that names the culprit, and no output.
TEST_F(SxbuildProject, BadProjectsFailNamingTheFileAndWriteNothing) {
  struct Case {
    std::string what;
    std::string xml;                                       // project.xml ("" for none)
    std::vector<std::pair<std::string, std::string>> files;  // more files of the project
    std::string expected;                                  // part of the message
  };
  const std::string item = R"(<file src="a.txt" dst="%InstallPath%\a.txt"/>)";
  auto component = [](const std::string& files, const std::string& attributes = "") {
    return "<sx2project><components><component id=\"c\"" + attributes + "><files>" + files +
           "</files></component></components></sx2project>";
  };
  const std::vector<Case> cases = {
      {"no project file", "", {}, "project.xml"},
      {"malformed XML", "<sx2project><components></sx2project>", {}, "project.xml: "},
      {"another root", "<project/>", {}, "must be <sx2project>"},
      {"missing payload file", component(item), {{"payload/c/b.txt", "b"}}, "src=\"a.txt\": no such file in"},
      {"missing payload folder", component(item), {}, "/payload/c\""},
      {"unknown package", component(item, " package=\"nowhere\""), {{"payload/c/a.txt", "a"}}, "package=\"nowhere\""},
      {"unknown component of a feature",
       "<sx2project><features><feature id=\"f\"><components><component id=\"ghost\"/></components></feature>"
       "</features></sx2project>",
       {},
       "feature \"f\" names the component \"ghost\""},
      {"variable in a packed src", component(R"(<file src="%Src%\a.txt" dst="x"/>)"), {}, "needs a literal path"},
      {"src outside the payload", component(R"(<file src="..\a.txt" dst="x"/>)"), {}, "below the component's payload"},
      {"run-time state", "<sx2project><packages><package id=\"p\" temppath=\"C:\\t\\\"/></packages></sx2project>", {},
       "temppath is set by the engine"},
      {"invalid Windows name", component(R"(<file src="*.*" dst="x"/>)"), {{"payload/c/what?.txt", "?"}},
       "\"what?.txt\" is not a usable Windows file name"},
      {"device name", component(R"(<file src="*.*" dst="x"/>)"), {{"payload/c/con.txt", "c"}},
       "\"con.txt\" is not a usable Windows file name"},
      {"names that differ in case only", component(R"(<file src="*.*" dst="x"/>)"),
       {{"payload/c/Read.txt", "1"}, {"payload/c/read.txt", "2"}}, "names differ only in letter case"},
      {"a database in the package folder", component(item), {{"payload/c/a.txt", "a"}, {"packages/main/db.pdb", "x"}},
       "the builder writes db.pdb itself"},
      {"two main packages", "<sx2project><packages><package id=\"a\" main=\"1\"/><package id=\"b\" main=\"1\"/></packages></sx2project>",
       {}, "more than one package is marked main"},
      {"bad flags", "<sx2project><packages><package id=\"p\" flags=\"8\"/></packages></sx2project>", {},
       "flags must be 0 to 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProjectFolder project;
    if (!c.xml.empty()) project.Project(c.xml);
    for (const auto& [name, content] : c.files) project.Write(name, content);
    const std::string out = project / "out";
    const SxbuildRun run = RunSxbuild({project.path(), "-o", out});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "sxbuild: error: ")) << run.output;
    EXPECT_TRUE(Contains(run.output, c.expected)) << run.output;
    EXPECT_FALSE(fs::exists(out)) << "nothing is written for a project that cannot be built";
  }
}

// The engine's reader takes what it can of a damaged file; the builder refuses it, naming the
// place expat found wrong.
TEST_F(SxbuildProject, ProjectFilesThatAreNotWellFormedAreRefusedWithLineAndColumn) {
  const std::string whole = std::string(R"(<sx2project><variables><var name="AppName" value="Hello"/></variables>)") +
                            "\n<components><component id=\"c\"><files><file src=\"*.*\" dst=\"x\"/></files>" +
                            "</component></components></sx2project>";
  const size_t cut = whole.find("value=\"Hel") + 10;
  struct Case {
    std::string what, xml, place;
  };
  const std::vector<Case> cases = {
      {"cut off in an attribute value", whole.substr(0, cut), "line 1, column 24"},
      {"cut off after an element", whole.substr(0, whole.find("<components>")), "line 2, column 1"},
      {"unclosed comment at the end", whole + "\n<!-- note", "line 3, column 1"},
      {"empty file", "", "line 1, column 1"},
      {"NUL byte", "<sx2project>\n<variables>" + std::string(1, '\0') + "</variables></sx2project>", "line 2, column 12"},
      {"undefined entity", "<sx2project>\n <variables><var name=\"A\" value=\"&nbsp;\"/></variables></sx2project>",
       "line 2, column 13"},
      {"second root element", whole + "<sx2project/>", "line 2, column 109"},
      {"elements that do not match", "<sx2project><variables></sx2project>", "line 1, column 26"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProjectFolder project;
    project.Project(c.xml);
    project.Write("payload/c/a.txt", "a");
    const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "sxbuild: error: " + (project / "project.xml") + ": " + c.place + ": "))
        << run.output;
    EXPECT_FALSE(fs::exists(project / "out"));
  }
  // Well-formed in every encoding the builder takes: declared 8-bit, undeclared 8-bit, UTF-8.
  for (const std::string& xml : {std::string("<?xml version=\"1.0\" encoding=\"windows-1252\"?><sx2project version=\"\xC4\"/>"),
                                 std::string("<sx2project version=\"\xC4\"/>"),
                                 std::string("\xEF\xBB\xBF<sx2project version=\"\xC3\x84\"/>")}) {
    ProjectFolder project;
    project.Project(xml);
    const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
    EXPECT_EQ(run.status, 0) << run.output;
  }
}

TEST_F(SxbuildProject, WarnsAboutReferencesToVariablesNobodyDefines) {
  ProjectFolder project;
  project.Project(R"xml(<sx2project><variables><var name="AppName" value="Hi %TEMP%"/></variables>
    <packages><package id="more"><variables><var name="PackageDir" value="%ProgramFiles%\x"/></variables></package></packages>
    <components><component id="c" condition="SetVariable('Later', 1)">
      <files><file src="*.*" dst="%InstallPath%\%appname%\%Later%\%PackageDir%\"/></files>
      <shortcuts><shortcut name="%Programs%\Hello\%AppName%" description="100% sure, 50% off, %% and %"/></shortcuts>
    </component>
    <component id="d" package="more"><registry><reg key="HKLM\%Vendor%" param="%Vendor%" value="%CommonProgramsMenu%"/></registry></component>
    </components></sx2project>)xml");
  project.Write("payload/c/a.txt", "a");
  const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "sxbuild: warning: " + (project / "project.xml") +
                                       ": <shortcut name=\"%Programs%\\Hello\\%AppName%\"> in <component id=\"c\">, "
                                       "attribute name: %Programs% is neither a variable of the project nor one the "
                                       "engine defines\n"))
      << run.output;
  // One warning per name and element.
  EXPECT_TRUE(Contains(run.output, "<reg> in <component id=\"d\">, attribute key: %Vendor% is neither")) << run.output;
  size_t warnings = 0;
  for (size_t at = run.output.find("is neither"); at != std::string::npos; at = run.output.find("is neither", at + 1))
    ++warnings;
  EXPECT_EQ(warnings, 2u) << run.output;

  // The sample project refers to nothing unknown.
  const SxbuildRun example = RunSxbuild({kExample, "-o", project / "example"});
  ASSERT_EQ(example.status, 0) << example.output;
  EXPECT_FALSE(Contains(example.output, "is neither")) << example.output;
}

TEST_F(SxbuildProject, OnlyTheEngineImageHeadsASetupProgram) {
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/a.txt", "a");
  project.Write("hostname", "build-host\n");
  project.Write("marked.txt", std::string("SXEngine setup engine image") + '\0');
  std::string damaged = ReadHostFile(SX_SXENGINE).substr(0, 4096);
  damaged[0x3A] = 0x7F;  // the size of a section header
  project.Write("damaged", damaged);
  struct Case {
    std::string what, engine, expected;
  };
  const std::vector<Case> refused = {
      {"a text file", project / "hostname", "is no program (neither an ELF nor a PE executable)"},
      {"another program", SX_SXTOOL, "is an executable, but not the setup engine (it lacks the engine's .sxeng section)"},
      {"a Windows library", kFixtures + "lz32.dll", "is no program"},
      {"the marker's text in a text file", project / "marked.txt", "is no program"},
      {"the engine's head", project / "damaged", "is an executable, but not the setup engine"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out", "--engine", c.engine});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "sxbuild: error: the engine image \"" + c.engine + "\" " + c.expected)) << run.output;
    EXPECT_FALSE(fs::exists(project / "out"));
  }
  // The engine with its debug information is accepted too, and the summary gives its size.
  const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out", "--engine", SX_SXENGINE});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "  engine image     " + Grouped(fs::file_size(SX_SXENGINE)) + " bytes (" +
                                       std::string(SX_SXENGINE) + ")\n"))
      << run.output;
}

TEST_F(SxbuildProject, SetupsGetTheStrippedEngineBesideSxbuild) {
  ScratchFolder out;
  std::string output;
  ASSERT_EQ(RunCommand(ShellQuote(SX_SXBUILD) + " " + ShellQuote(kExample) + " -o " + ShellQuote(out.path()) + " 2>&1",
                       &output),
            0)
      << output;
  const std::string stripped = ReadHostFile(SX_SETUP_ENGINE);
  ASSERT_FALSE(stripped.empty());
  EXPECT_LT(stripped.size(), fs::file_size(SX_SXENGINE)) << "no debug information";
  EXPECT_EQ(stripped.find(".debug_info"), std::string::npos);
#ifdef SX_SETUP_ENGINE_LIMIT
  EXPECT_LT(stripped.size(), SX_SETUP_ENGINE_LIMIT) << "the engine image setups carry";
#endif
  EXPECT_EQ(ReadHostFile(out / "hello-setup.exe").compare(0, stripped.size(), stripped), 0);
  EXPECT_EQ(Trailer(out / "hello-setup.exe").trailer.stubSize, stripped.size());
  EXPECT_TRUE(Contains(output, "  engine image     " + Grouped(stripped.size()) + " bytes")) << output;
}

TEST_F(SxbuildProject, TemporaryFilesOfKilledBuildsAreRemovedByTheNextBuild) {
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/a.txt", "a");
  ScratchFolder out;
  // A process that is gone, and one that still runs (this test).
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = ".setup.exe.sxbuild-" + std::to_string(gone);
  const std::string running = ".setup.exe.sxbuild-" + std::to_string(::getpid());
  WriteHostFile(out / stale, "left by a killed build");
  WriteHostFile(out / running, "being written");
  WriteHostFile(out / ".notes.sxbuild-x", "not ours");
  const SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "removed " + stale + " (left by a build that was killed)")) << run.output;
  EXPECT_FALSE(fs::exists(out / stale));
  EXPECT_TRUE(fs::exists(out / running));
  EXPECT_TRUE(fs::exists(out / ".notes.sxbuild-x"));
}

TEST_F(SxbuildProject, WarnsAboutPayloadLinksThatLeadOutsideTheProject) {
  ScratchFolder outside;
  WriteHostFile(outside / "secret.txt", "outside");
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/a.txt", "a");
  project.Write("payload/c/docs/inner.txt", "inner");
  ASSERT_EQ(::symlink((outside / "secret.txt").c_str(), (project / "payload/c/linked.txt").c_str()), 0);
  ASSERT_EQ(::symlink("docs/inner.txt", (project / "payload/c/near.txt").c_str()), 0);
  const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "sxbuild: warning: \"" + (project / "payload/c/linked.txt") +
                                       "\" is a link that leads outside the project folder, to \"" +
                                       fs::canonical(outside / "secret.txt").string() + "\"; that file is packed\n"))
      << run.output;
  EXPECT_FALSE(Contains(run.output, "near.txt")) << "links within the project are fine";
}

TEST_F(SxbuildProject, UnreadableFilesAndFoldersAreNamed) {
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/a.txt", "a");
  ASSERT_EQ(::symlink((project / "nowhere").c_str(), (project / "payload/c/dangling.txt").c_str()), 0);
  SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "payload/c/dangling.txt\" is a link that leads nowhere")) << run.output;
  ::unlink((project / "payload/c/dangling.txt").c_str());

  fs::create_directories(project / "elsewhere");
  ASSERT_EQ(::symlink((project / "elsewhere").c_str(), (project / "payload/c/linked").c_str()), 0);
  run = RunSxbuild({project.path(), "-o", project / "out"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "payload/c/linked\" is a link to a folder")) << run.output;
  ::unlink((project / "payload/c/linked").c_str());

  const SxbuildRun noEngine = RunSxbuild({project.path(), "-o", project / "out", "--engine", project / "no-engine"});
  EXPECT_EQ(noEngine.status, 1);
  EXPECT_TRUE(Contains(noEngine.output, "no-engine")) << noEngine.output;

  if (::geteuid() != 0) {  // permissions do not stop the superuser
    fs::create_directories(project / "payload/c/closed");
    ::chmod((project / "payload/c/closed").c_str(), 0);
    run = RunSxbuild({project.path(), "-o", project / "out"});
    ::chmod((project / "payload/c/closed").c_str(), 0755);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.output, "cannot read the folder \"" + (project / "payload/c/closed"))) << run.output;
  }
  EXPECT_FALSE(fs::exists(project / "out"));
}

TEST_F(SxbuildProject, FailedBuildKeepsEarlierOutputsAndLeavesNoTemporaryFiles) {
  ProjectFolder project;
  project.Project(R"(<sx2project><packages><package id="more"/></packages><components>
      <component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component>
      <component id="d" package="more"><files><file src="d.txt" dst="%InstallPath%\d.txt"/></files></component>
    </components></sx2project>)");
  project.Write("payload/c/a.txt", TextBytes(3000, 1));
  project.Write("payload/d/d.txt", TextBytes(3000, 2));
  ScratchFolder out;
  ASSERT_EQ(RunSxbuild({project.path(), "-o", out.path()}).status, 0);
  const auto before = FolderContent(out.path());
  ASSERT_EQ(before.size(), 2u);

  // A file the project needs is gone: the build stops before it writes.
  fs::rename(project / "payload/d/d.txt", project / "payload/d/e.txt");
  SxbuildRun run = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FolderContent(out.path()), before);
  fs::rename(project / "payload/d/e.txt", project / "payload/d/d.txt");

  // The second output cannot take its place: the first is not replaced either.
  project.Write("payload/c/a.txt", TextBytes(3000, 3));
  fs::remove(out / "more.sxp");
  fs::create_directories(out / "more.sxp");
  run = RunSxbuild({project.path(), "-o", out.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "more.sxp\" is a folder")) << run.output;
  EXPECT_EQ(ReadHostFile(out / "setup.exe"), before.at("setup.exe"));
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(out.path())) {
    EXPECT_TRUE(entry.path().filename() == "setup.exe" || entry.path().filename() == "more.sxp") << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 2u) << "no temporary files";
}

TEST_F(SxbuildProject, BuildWritesOnlyIntoItsOutputFolder) {
  ScratchFolder parent;
  fs::copy(kExample, parent / "hello", fs::copy_options::recursive);
  const auto projectBefore = FolderContent(parent / "hello");
  const SxbuildRun run = RunSxbuild({parent / "hello", "-o", parent / "out"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(FolderContent(parent / "hello"), projectBefore) << "the project folder is only read";
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(parent.path())) top.push_back(entry.path().filename());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"hello", "out"}));
  EXPECT_EQ(FileNames(parent / "out"), (std::vector<std::string>{"hello-setup.exe", "hellodocs.sxp"}));

  // The default output folder is "output" in the project folder.
  ASSERT_EQ(RunSxbuild({parent / "hello"}).status, 0);
  EXPECT_EQ(FileNames(parent / "hello/output"), (std::vector<std::string>{"hello-setup.exe", "hellodocs.sxp"}));
  // An output folder among the project's sources is refused.
  const SxbuildRun inside = RunSxbuild({parent / "hello", "-o", parent / "hello/payload/core/out"});
  EXPECT_EQ(inside.status, 1);
  EXPECT_TRUE(Contains(inside.output, "lies inside the project's payload/ folder")) << inside.output;
  EXPECT_FALSE(fs::exists(parent / "hello/payload/core/out"));
}

TEST_F(SxbuildProject, RebuildRemovesCabinetsLeftFromALargerSet) {
  ProjectFolder project;
  project.Project(kOneComponent);
  project.Write("payload/c/noise.bin", RandomBytes(100000, 5));
  ScratchFolder out;
  SxbuildRun run = RunSxbuild({project.path(), "-o", out.path(), "--max-cabinet-size", "32K"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(out / "setup-4.cab"));
  const size_t before = FileNames(out.path()).size();
  // 100,000 random bytes and the terminal wizard (the project names no user interface) fill two
  // cabinets of 128K; more in a sanitizer build, whose wizard is larger. The smaller set is
  // numbered without gaps and the cabinets beyond it are gone.
  run = RunSxbuild({project.path(), "-o", out.path(), "--max-cabinet-size", "128K"});
  ASSERT_EQ(run.status, 0) << run.output;
  const size_t after = FileNames(out.path()).size();  // setup.exe and setup-2.cab ... setup-<after>.cab
  ASSERT_GE(after, 2u);
  ASSERT_LT(after, before);
  for (size_t n = 2; n <= after; ++n)
    EXPECT_TRUE(fs::exists(out / ("setup-" + std::to_string(n) + ".cab"))) << n;
  EXPECT_TRUE(fs::exists(out / "setup.exe"));
  EXPECT_TRUE(Contains(run.output, "removed setup-" + std::to_string(after + 1) + ".cab")) << run.output;
  const Extracted files = Extract(out / "setup.exe");
  ASSERT_TRUE(files.ok) << files.error;
  EXPECT_EQ(files.files.at("data\\c\\noise.bin"), RandomBytes(100000, 5));
}

TEST_F(SxbuildProject, WarnsAboutWhatTheEngineWillMissAndWhatIsNotUsed) {
  ProjectFolder project;
  project.Project(R"(<sx2project><variables><var name="Languages" value="enu, deu"/><var name="Uninstall" value="1"/>
    </variables><components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component>
    </components></sx2project>)");
  project.Write("payload/c/a.txt", "a");
  project.Write("payload/unused/b.txt", "b");
  project.Write("packages/main/lng/ENU.lng", "[Strings]\r\nLanguageName=English\r\n");
  project.Write("plugins/spare/spare.dll", "x");
  const SxbuildRun run = RunSxbuild({project.path(), "-o", project / "out"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, "lng\\ENU.lng")) << run.output;
  EXPECT_TRUE(Contains(run.output, "warning: the main package carries no language file lng\\DEU.lng")) << run.output;
  EXPECT_TRUE(Contains(run.output, "payload/unused\" is not used")) << run.output;
  EXPECT_TRUE(Contains(run.output, "plugins/spare\" is not used")) << run.output;
}

TEST_F(SxbuildProject, PacksOurUninstallerUnlessTheProjectBringsOne) {
  ProjectFolder project;
  project.Project(R"(<sx2project><variables><var name="Uninstall" value="1"/></variables><components>
    <component id="c"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components></sx2project>)");
  project.Write("payload/c/a.txt", "a");
  project.Write("packages/main/lng/ENU.lng", "[Strings]\r\nLanguageName=English\r\n");
  ScratchFolder out;
  SxbuildRun run = RunSxbuild({project.path(), "-o", out.path(), "--uninstaller", project / "payload/c/a.txt"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, "Uninstall.exe")) << run.output;
  EXPECT_EQ(Extract(out / "setup.exe").files.at("Uninstall.exe"), "a");

  run = RunSxbuild({project.path(), "-o", out.path(), "--uninstaller", project / "missing.exe"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "missing.exe")) << run.output;

  // A Windows program beside the Linux engine could never run: refused, the earlier build kept.
  project.Write("windows/Uninstall.exe", std::string("MZ\x90\0", 4) + "a Windows program");
  run = RunSxbuild({project.path(), "-o", out.path(), "--uninstaller", project / "windows/Uninstall.exe"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "the uninstaller \"" + (project / "windows/Uninstall.exe") +
                                       "\" is built for Windows, the engine image")) << run.output;
  EXPECT_TRUE(Contains(run.output, "for Linux; --target windows takes all of them from the Windows build")) << run.output;
  EXPECT_EQ(Extract(out / "setup.exe").files.at("Uninstall.exe"), "a");

  project.Write("packages/main/Uninstall.exe", "the vendor's own");
  run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Extract(out / "setup.exe").files.at("Uninstall.exe"), "the vendor's own");

  // Without Uninstall nothing is packed.
  std::filesystem::remove(project / "packages/main/Uninstall.exe");
  project.Project(R"(<sx2project><components><component id="c"><files><file src="*.*" dst="%InstallPath%\"/>
    </files></component></components></sx2project>)");
  run = RunSxbuild({project.path(), "-o", out.path()});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Extract(out / "setup.exe").files.count("Uninstall.exe"), 0u);
}

TEST(SxbuildUsage, BadUsageExitsWithTwoAndHelpWithZero) {
  std::string output;
  EXPECT_EQ(RunCommand(ShellQuote(SX_SXBUILD) + " --help", &output), 0);
  EXPECT_TRUE(Contains(output, "usage: sxbuild")) << output;
  for (const std::string& args : {std::string(""), std::string("--level 0 p"), std::string("--max-cabinet-size 1K p"),
                                  std::string("--compression lzx p"), std::string("--frobnicate p"), std::string("a b"),
                                  std::string("--password x --password-file y p"), std::string("--codepage 99999 p"),
                                  std::string("--target macos p"), std::string("p --target")})
    EXPECT_EQ(RunCommand(ShellQuote(SX_SXBUILD) + " " + args + " 2>/dev/null"), 2) << args;
}

}  // namespace
}  // namespace sx::test
