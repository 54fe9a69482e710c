// The ground of the scenarios: a fresh machine, small products built with sxbuild into C:\setup
// and run as a user runs them (setup program, Uninstall.exe from the uninstall entry, sxtool),
// and the machine's state read back afterwards: snapshots of files and registry, registry
// queries, the machine's temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/setup_run.h"
#include "tests/support/machine_snapshot.h"

namespace sx::test {

// The English texts of the products: the engine's numbered texts a setup shows.
inline constexpr char kProductStrings[] =
    "[Strings]\r\nLanguageName=English (USA)\r\n10=Setup needs administrator rights.\r\n"
    "11=Cannot install \"%s\".\r\n13=This Windows version is not supported.\r\n"
    "14=Setup needs Windows %s or later.\r\n16=Removing old references...\r\n18=Undoing the changes...\r\n"
    "20=Cannot count the shared file \"%s\".\r\n21=%s setup is running already.\r\n";

// A product's project: `{ID}`, `{NAME}`, ... stand for the fields of a Product. Files come
// from payload/core/, installed into C:\Program Files\<name>.
inline constexpr char kProductTemplate[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="{ID}"/>
    <var name="AppName" value="{NAME}"/>
    <var name="AppVersion" value="{VERSION}"/>
    <var name="CompanyName" value="Scenario Tests"/>
    <var name="InstallPath" value="C:\Program Files\{NAME}"/>
    <var name="Uninstall" value="{UNINSTALL}"/>
    {VARIABLES}
  </variables>
  <packages><package id="main" main="1" filename="setup">{PLUGINS}</package>{PACKAGES}</packages>
  <components>
    <component id="core" package="{PACKAGE}">
      <files>{FILES}</files>
      {ITEMS}
    </component>
  </components>
  <features><feature id="main" name="Program"><components><component id="core"/></components></feature></features>
</sx2project>)";

struct Product {
  std::string id = "Gizmo", name = "Gizmo", version = "1.0";
  std::string uninstall = "1";  // registers for uninstall and writes the install log
  std::string plugins;    // the main package's <plugins> element; empty: the builder's wizard
  std::string variables;  // more <var> elements
  std::string packages;   // further <package> elements
  std::string package;    // the package that carries the files; empty: the main package
  std::string files = R"(<file src="*.*" dst="%InstallPath%\"/>)";
  std::string items;      // registry, INI, shortcut elements of the component
};

std::string ProductXml(const Product& product);

class ScenarioTest : public SetupTest {
 protected:
  explicit ScenarioTest(const std::string& sxmachineIni = "") : SetupTest(sxmachineIni) {}

  // Writes the product's project with its English texts.
  void WriteProduct(const Product& product);
  // Builds the project into C:\<folder>\ (another setup: "setup/Other", run as "Other/setup.exe").
  void BuildInto(const std::string& folder, const std::vector<std::string>& options = {});

  // sxtool on the machine: its exit status, standard output and error in `output`.
  int Tool(const std::string& arguments, std::string* output = nullptr);
  // `sxtool reg query KEY`: its listing, "" when the key is missing.
  std::string Query(const std::string& key);
  // `sxtool machine reboot`, waiting for the programs it starts.
  int Reboot(std::string* output = nullptr);

  // Runs the uninstaller the way the product's uninstall entry names it (UninstallString of
  // HKLM\...\Uninstall\<appId>), with `switches` (/s) before the log; message boxes answer from
  // `answers`. The machine's trace of the run goes to `trace` when given.
  int RunUninstaller(const std::string& appId, const std::string& switches = "/s",
                     const std::string& answers = "", std::string* trace = nullptr);

  // The machine as files and registry, read afresh. C:\setup* (the setups themselves) is left out.
  MachineSnapshot Snapshot();
  // Waits (bounded) until the machine differs from `before` by `expected` only: the
  // uninstaller's clean-up batch may still be removing itself. Returns the difference then.
  std::string DifferenceSettlingTo(const MachineSnapshot& before, const std::string& expected = "");

  // Host path of a Windows path on drive C ("C:\Program Files\Gizmo\a.txt").
  std::string HostOf(const std::string& windowsPath);
  bool Exists(const std::string& windowsPath) { return std::filesystem::exists(HostOf(windowsPath)); }
  std::string Read(const std::string& windowsPath) { return ReadHostFile(HostOf(windowsPath)); }
  // Writes a file of an earlier installation, dated 25 years back so that the setup's copy is newer.
  void WriteOlderFile(const std::string& windowsPath, const std::string& content);
  // Replaces the machine's sxmachine.ini (the running host reads it again).
  void SetMachineIni(const std::string& content);
};

}  // namespace sx::test
