#include "tests/scenarios/scenario_fixture.h"

#include <regex>

namespace sx::test {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
}

}  // namespace

std::string ProductXml(const Product& product) {
  std::string xml = kProductTemplate;
  ReplaceAll(xml, "{ID}", product.id);
  ReplaceAll(xml, "{NAME}", product.name);
  ReplaceAll(xml, "{VERSION}", product.version);
  ReplaceAll(xml, "{UNINSTALL}", product.uninstall);
  ReplaceAll(xml, "{PLUGINS}", product.plugins);
  ReplaceAll(xml, "{VARIABLES}", product.variables);
  ReplaceAll(xml, "{PACKAGES}", product.packages);
  ReplaceAll(xml, "{PACKAGE}", product.package);
  ReplaceAll(xml, "{FILES}", product.files);
  ReplaceAll(xml, "{ITEMS}", product.items);
  return xml;
}

void ScenarioTest::WriteProduct(const Product& product) {
  Project().Project(ProductXml(product));
  Project().Write("packages/main/lng/ENU.lng", kProductStrings);
}

void ScenarioTest::BuildInto(const std::string& folder, const std::vector<std::string>& options) {
  std::vector<std::string> args{Project().path(), "-o", Machine().HostPath("drive_c/" + folder)};
  args.insert(args.end(), options.begin(), options.end());
  const SxbuildRun run = RunSxbuild(args);
  ASSERT_EQ(run.status, 0) << run.output;
}

int ScenarioTest::Tool(const std::string& arguments, std::string* output) {
  Machine().host().RegFlush();
  return RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " SX_TRACE= " + ShellQuote(SX_SXTOOL) + " " +
                        arguments + " 2>&1 </dev/null",
                    output);
}

std::string ScenarioTest::Query(const std::string& key) {
  std::string out;
  return Tool("reg query " + ShellQuote(key), &out) == 0 ? out : "";
}

int ScenarioTest::Reboot(std::string* output) { return Tool("machine reboot", output); }

int ScenarioTest::RunUninstaller(const std::string& appId, const std::string& switches, const std::string& answers,
                                 std::string* trace) {
  const std::string entry = Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + appId);
  std::smatch m;
  if (!std::regex_search(entry, m, std::regex(R"re(UninstallString\s+REG_SZ\s+"([^"]+)" "([^"]+)")re"))) {
    ADD_FAILURE() << "no uninstall entry for " << appId << ":\n" << entry;
    return -1;
  }
  // The copied uninstaller carries no execute bit: a user starting it from a shell adds it.
  const std::string program = HostOf(m[1].str());
  std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  const std::string tracePath = Machine().folder() + "/uninstall-trace.log";
  std::filesystem::remove(tracePath);
  int code = RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " SX_TRACE=" + ShellQuote(tracePath) +
                        " SX_MSGBOX_ANSWERS=" + ShellQuote(answers) + " " + ShellQuote(program) + " " + switches +
                        " " + ShellQuote(m[2].str()) + " </dev/null 2>/dev/null");
  if (trace) *trace = ReadHostFile(tracePath);
  return code;
}

MachineSnapshot ScenarioTest::Snapshot() {
  Machine().Reopen();
  return TakeSnapshot({"C:\\"}, {"C:\\setup"});
}

std::string ScenarioTest::DifferenceSettlingTo(const MachineSnapshot& before, const std::string& expected) {
  std::string difference;
  for (int i = 0; i < 100; ++i) {
    difference = SnapshotDifference(before, Snapshot());
    if (difference == expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return difference;
}

std::string ScenarioTest::HostOf(const std::string& windowsPath) {
  const auto path = Machine().host().MapPath(windowsPath);
  EXPECT_TRUE(path.has_value()) << windowsPath;
  return path.value_or("");
}

void ScenarioTest::WriteOlderFile(const std::string& windowsPath, const std::string& content) {
  const std::string path = HostOf(windowsPath);
  WriteHostFile(path, content);
  const auto year2001 = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 25);
  std::filesystem::last_write_time(path, year2001);
}

void ScenarioTest::SetMachineIni(const std::string& content) {
  WriteHostFile(Machine().HostPath("sxmachine.ini"), content);
}

}  // namespace sx::test
