// The commands plug-ins send: the size protocol and the records of every command that returns
// something, the context plug-in, configuration, evaluation, memory, the engine services, the
// bounds of every write into a plug-in's buffer, and errors that must not reach the plug-in.
#include <cstring>

#include "tests/plugins/plugin_test_support.h"

namespace sx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PluginCommands : public PluginHostTest {
 protected:
  PluginCommands() {
    TsxPlugin& item = AddItem("wizard");
    TsxParamGroup& main = item.Config->AddNew();
    main.Name = "Main";
    AddParam(main, "Title", "Demo Setup");
    AddParam(main, "Width", "640");
    item.Config->AddNew().Name = "Colors";
    AddItem(ExtraPackage(), "helper");
    PutRecorder(0, "wizard", script_);
    PutRecorder(ExtraPackage(), 0, "helper");
  }

  void Load(const std::string& script = "") {
    if (!script.empty())
      WriteHostFile(machine.HostPath("drive_c/windows/temp/sx1/plugins/0/wizard.script"),
                    "log " + LogPath() + "\n" + script);
    ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
    ASSERT_TRUE(host->LoadPackagePlugins(ExtraPackage()));
    wizard = Loaded("wizard")->PluginNumber;
    helper = Loaded("helper")->PluginNumber;
    ClearLog();
  }

  static void AddParam(TsxParamGroup& group, const std::string& name, const std::string& value) {
    TsxParam& param = group.AddNew();
    param.Name = name;
    param.Value = value;
  }

  // The text of a command by the size protocol, as a careful plug-in gets it: the size, then a
  // buffer of exactly that size. "" when the command has nothing.
  std::string Fetch(int32_t number, int32_t command, std::intptr_t p1, bool bufferFirst = false) {
    const std::intptr_t size = bufferFirst ? Send(number, command) : Send(number, command, p1);
    if (size <= 0) return "";
    std::vector<char> buffer(static_cast<size_t>(size), '\x7F');
    const std::intptr_t rc = bufferFirst ? Send(number, command, P(buffer.data()))
                                         : Send(number, command, p1, P(buffer.data()));
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(buffer.back(), '\0');
    return std::string(buffer.data(), buffer.size() - 1);
  }

  // A record by the size protocol: its bytes, in a buffer of exactly the size answered.
  std::vector<std::intptr_t> FetchRecord(int32_t command, const char* id, size_t* size = nullptr) {
    const std::intptr_t needed = Send(wizard, command, P(id));
    if (size) *size = static_cast<size_t>(needed);
    if (needed <= 0) return {};
    std::vector<std::intptr_t> buffer((static_cast<size_t>(needed) + sizeof(std::intptr_t) - 1) /
                                      sizeof(std::intptr_t));
    EXPECT_EQ(Send(wizard, command, P(id), P(buffer.data())), 0);
    return buffer;
  }
  static const char* Text(const std::vector<std::intptr_t>& record, size_t slot) {
    return reinterpret_cast<const char*>(record[slot]);
  }
  static std::string TextOr(const std::vector<std::intptr_t>& record, size_t slot) {
    return record[slot] ? Text(record, slot) : "nil";
  }

  std::string script_;
  int32_t wizard = 0;
  int32_t helper = 0;
};

TEST_F(PluginCommands, VariablesAreReadByTheSizeProtocolInTheCallersPackage) {
  Load();
  const std::string value = "from the package";
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P("Shared")), static_cast<std::intptr_t>(value.size() + 1));
  EXPECT_EQ(Fetch(wizard, CM_GETVARIABLE, P("Shared")), value);
  EXPECT_EQ(Fetch(wizard, CM_GETVARIABLE, P("shared")), value);
  EXPECT_EQ(Fetch(helper, CM_GETVARIABLE, P("Shared")), "from the project");  // its package has none
  EXPECT_EQ(Fetch(77, CM_GETVARIABLE, P("Shared")), "from the project");      // no such plug-in
  EXPECT_EQ(Fetch(wizard, CM_GETVARIABLE, P("AppName")), "Demo");
}

TEST_F(PluginCommands, UnknownOrEmptyVariableGivesZeroTwiceAndWritesNothing) {
  Load();
  sx::WriteVariable(&database, "Empty", "");
  char buffer[8];
  for (const char* name : {"Missing", "Empty", ""}) {
    SCOPED_TRACE(name);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P(name)), 0);
    EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P(name), P(buffer)), 0);
    EXPECT_EQ(std::string(buffer, sizeof buffer), "xxxxxxxx");
  }
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, 0, P(buffer)), 0);  // a nil name
}

TEST_F(PluginCommands, VariablesAreWrittenInTheCallersPackageOrCreatedInTheProject) {
  Load();
  EXPECT_EQ(Send(wizard, CM_SETVARIABLE, P("Shared"), P("changed")), 0);
  EXPECT_EQ(sx::ReadVariable(&MainPackage(), "Shared", ""), "changed");
  EXPECT_EQ(sx::ReadVariable(&database, "Shared", ""), "from the project");
  EXPECT_EQ(Send(helper, CM_SETVARIABLE, P("Brand"), P("Tarrow")), 0);
  EXPECT_EQ(database.Variables->FindVariable("Brand")->Value, "Tarrow");
  EXPECT_EQ(Send(wizard, CM_SETVARIABLE, P("Brand"), 0), 0);  // nil value: empty
  EXPECT_EQ(sx::ReadVariable(&database, "Brand", "?"), "");
}

TEST_F(PluginCommands, ParseTextExpandsInTheCallersPackage) {
  Load();
  EXPECT_EQ(Fetch(wizard, CM_PARSETEXT, P("%Shared% of %AppName%, 100%%")), "from the package of Demo, 100%");
  EXPECT_EQ(Fetch(helper, CM_PARSETEXT, P("%Shared%")), "from the project");
  EXPECT_EQ(Send(wizard, CM_PARSETEXT, P("")), 0);
}

TEST_F(PluginCommands, WalkingLanguagesEndsWithANilNextPointer) {
  Load();
  size_t size = 0;
  auto first = FetchRecord(CM_GETLANGUAGE, nullptr, &size);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(size, 3 * sizeof(std::intptr_t) + 4 + 8 + 4);  // "ENU", "English", "DEU"
  // The texts lie inside the buffer, right after the table.
  EXPECT_EQ(Text(first, 0), reinterpret_cast<const char*>(first.data()) + 3 * sizeof(std::intptr_t));
  EXPECT_STREQ(Text(first, 0), "ENU");
  EXPECT_STREQ(Text(first, 1), "English");
  EXPECT_STREQ(Text(first, 2), "DEU");
  auto last = FetchRecord(CM_GETLANGUAGE, "fra", &size);
  EXPECT_EQ(size, 3 * sizeof(std::intptr_t) + 4 + 9);  // no next ID
  EXPECT_STREQ(Text(last, 1), "Fran\xE7" "ais");
  EXPECT_EQ(last[2], 0);
  EXPECT_EQ(Send(wizard, CM_GETLANGUAGE, P("ITA")), 0);
  engine.languages.clear();
  EXPECT_EQ(Send(wizard, CM_GETLANGUAGE, 0), 0);
}

TEST_F(PluginCommands, WalkingFeaturesVisitsEnabledFeaturesDepthFirstWithTheirParents) {
  Load("on EV_START walk features\n");
  size_t size = 0;
  auto core = FetchRecord(CM_GETFEATURE, nullptr, &size);
  ASSERT_FALSE(core.empty());
  EXPECT_EQ(size, 6 * sizeof(std::intptr_t) + 5 + 13 + 13 + 5);  // core, name, description, help
  EXPECT_EQ(core[3], -1);
  EXPECT_EQ(core[4], 0);
  // Through the plug-in's own entry points, from nil to the end.
  const size_t slots = 6 * sizeof(std::intptr_t);
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(Log("wizard"), ElementsAre(
      "EV_START",
      "feature size=" + std::to_string(size) + " rc=0 id=\"core\" name=\"Core of Demo\" "
      "description=\"Always there\" required=-1 parent=nil next=\"help\"",
      "feature size=" + std::to_string(slots + 5 + 5 + 1 + 5 + 8) +
          " rc=0 id=\"help\" name=\"Help\" description=\"\" required=0 parent=\"core\" next=\"samples\"",
      "feature size=" + std::to_string(slots + 8 + 8 + 16 + 5 + 5) +
          " rc=0 id=\"samples\" name=\"Samples\" description=\"C:\\Demo\\samples\" required=0 "
          "parent=\"core\" next=\"docs\"",
      "feature size=" + std::to_string(slots + 5 + 10 + 1) +
          " rc=0 id=\"docs\" name=\"Documents\" description=\"\" required=0 parent=nil next=nil"));
  EXPECT_EQ(Send(wizard, CM_GETFEATURE, P("hidden")), 0);  // its condition is false
  EXPECT_EQ(Send(wizard, CM_GETFEATURE, P("nothing")), 0);
}

TEST_F(PluginCommands, FeatureStatesAreReadAndChangedOnlyAsAsked) {
  Load();
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("docs")), SX_FEATURE_OFF);
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, P("docs"), 1), 0);
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("DOCS")), SX_FEATURE_ON);
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, P("docs"), 2), 0);  // only 1 selects
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("docs")), SX_FEATURE_OFF);
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, P("core"), 1), 0);
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("core")), SX_FEATURE_PARTIAL);  // "hidden" is off
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, P("core"), 0), -1);  // required
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, P("nothing"), 1), -1);
  EXPECT_EQ(Send(wizard, CM_SETFEATURESTATE, 0, 1), -1);
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("nothing")), 0);
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, 0), 0);
}

TEST_F(PluginCommands, WalkingInstallTypesSkipsDisabledOnesAndTypesAreActivated) {
  Load("on EV_START walk installtypes\n");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(Log("wizard"), ElementsAre(
      "EV_START",
      "installtype size=" + std::to_string(5 * sizeof(std::intptr_t) + 8 + 13 + 10 + 5) +
          " rc=0 id=\"typical\" name=\"Typical Demo\" description=\"Most used\" custom=0 next=\"full\"",
      "installtype size=" + std::to_string(5 * sizeof(std::intptr_t) + 5 + 5 + 1 + 7) +
          " rc=0 id=\"full\" name=\"Full\" description=\"\" custom=0 next=\"custom\"",
      "installtype size=" + std::to_string(5 * sizeof(std::intptr_t) + 7 + 7 + 11) +
          " rc=0 id=\"custom\" name=\"Custom\" description=\"You choose\" custom=-1 next=nil"));
  EXPECT_EQ(Send(wizard, CM_GETINSTALLTYPE, P("never")), 0);
  EXPECT_EQ(Send(wizard, CM_SETINSTALLTYPE, P("FULL")), 0);
  EXPECT_EQ(database.ActiveInstallType, "full");
  EXPECT_EQ(Send(wizard, CM_GETFEATURESTATE, P("docs")), SX_FEATURE_ON);
  EXPECT_EQ(Send(wizard, CM_SETINSTALLTYPE, P("never")), -1);
  EXPECT_EQ(Send(wizard, CM_SETINSTALLTYPE, P("nothing")), -1);
  EXPECT_EQ(Send(wizard, CM_SETINSTALLTYPE, 0), -1);
  EXPECT_EQ(database.ActiveInstallType, "full");
}

TEST_F(PluginCommands, ConfigurationComesFromTheProjectItem) {
  Load();
  SxParamRequest title{"main", "TITLE", "none"};
  SxParamRequest missing{"Main", "Height", "480"};
  SxParamRequest emptyDefault{"Other", "Height", ""};
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAM, P(&title)), "Demo Setup");
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAM, P(&missing)), "480");
  EXPECT_EQ(Send(wizard, CM_GETPCPARAM, P(&emptyDefault)), 0);
  EXPECT_EQ(Send(wizard, CM_GETPCPARAM, 0), 0);
  EXPECT_EQ(Fetch(wizard, CM_GETPCGROUPNAMES, 0, true), "Main\r\nColors");
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAMNAMES, P("Main")), "Title\r\nWidth");
  EXPECT_EQ(Send(wizard, CM_GETPCPARAMNAMES, P("Colors")), 0);
  EXPECT_EQ(Send(wizard, CM_GETPCPARAMNAMES, P("Nothing")), 0);
  EXPECT_EQ(Send(helper, CM_GETPCGROUPNAMES), 0);  // its item has no groups
  // They need a loaded plug-in.
  EXPECT_EQ(Send(77, CM_GETPCPARAM, P(&title)), 0);
  EXPECT_EQ(Send(77, CM_GETPCGROUPNAMES), 0);
  EXPECT_EQ(Send(77, CM_GETPCPARAMNAMES, P("Main")), 0);
}

TEST_F(PluginCommands, ConfigurationComesFromTheConfigFileWhenTheItemNamesOne) {
  (*MainPackage().Plugins)[0].ConfigFile = "wizard.ini";
  WriteHostFile(machine.HostPath("drive_c/windows/temp/sx1/plugins/0/wizard.ini"),
                "[Window]\r\nTitle=From the file\r\nColor=blue\r\n[Pages]\r\nCount=3\r\n");
  Load();
  SxParamRequest title{"window", "title", "none"};
  SxParamRequest missing{"Main", "Title", "fallback"};
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAM, P(&title)), "From the file");
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAM, P(&missing)), "fallback");  // the groups are not read
  EXPECT_EQ(Fetch(wizard, CM_GETPCGROUPNAMES, 0, true), "Window\r\nPages");
  EXPECT_EQ(Fetch(wizard, CM_GETPCPARAMNAMES, P("Window")), "Title\r\nColor");
}

TEST_F(PluginCommands, CustomConfigurationIsHandedOutAsXml) {
  auto tag = std::make_unique<TXMLTag>();
  tag->Parse("<customconfig layout=\"wide\"><page id=\"1\"/></customconfig>");
  const std::string xml = tag->GetXML(0);
  (*MainPackage().Plugins)[0].CustomConfig = std::move(tag);
  Load();
  EXPECT_EQ(Fetch(wizard, CM_GETPCCUSTOMCONFIG, 0, true), xml);
  EXPECT_EQ(Send(helper, CM_GETPCCUSTOMCONFIG), 0);  // none
  EXPECT_EQ(Send(77, CM_GETPCCUSTOMCONFIG), 0);
}

TEST_F(PluginCommands, ExpressionResultsAreEngineBlocksAndErrorsGiveZero) {
  Load();
  const std::intptr_t sum = Send(wizard, CM_CALCEXPRESSION, P("2 + 3"));
  ASSERT_NE(sum, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(sum), "5");
  EXPECT_TRUE(host->Memory().IsBlock(reinterpret_cast<void*>(sum)));
  EXPECT_EQ(Send(wizard, CM_FREEMEM, sum), 0);
  const std::intptr_t empty = Send(wizard, CM_CALCEXPRESSION, P("SubStr('abc', 9, 1)"));
  ASSERT_NE(empty, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(empty), "");
  Send(wizard, CM_FREEMEM, empty);
  EXPECT_EQ(Send(wizard, CM_CALCBOOLEXPRESSION, P("%AppName% = Demo")), 1);
  EXPECT_EQ(Send(wizard, CM_CALCBOOLEXPRESSION, P("2")), 0);
  const std::intptr_t actions = Send(wizard, CM_CALCACTIONS, P(
      "<actions><action expression=\"SetVariable('Step', 'one')\"/>"
      "<action expression=\"Return(GetVariable('Step') &#x26; '!')\"/></actions>"));
  ASSERT_NE(actions, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(actions), "one!");
  Send(wizard, CM_FREEMEM, actions);
  // Errors while a command runs never reach the plug-in: the reply is 0, nothing is left over.
  EXPECT_EQ(Send(wizard, CM_CALCEXPRESSION, P("2 +")), 0);
  EXPECT_EQ(Send(wizard, CM_CALCEXPRESSION, P("1 / 0")), 0);
  EXPECT_EQ(Send(wizard, CM_CALCBOOLEXPRESSION, P("not not 1")), 0);
  EXPECT_EQ(Send(wizard, CM_CALCACTIONS, P("<actions><action")), 0);
  EXPECT_EQ(Send(wizard, CM_CALCACTIONS, P("<actions><action expression=\"Return(1 +)\"/></actions>")), 0);
  EXPECT_EQ(host->Memory().LiveBlocks(), 0u);
}

TEST_F(PluginCommands, FunctionNamesAreRegisteredOnlyForLoadedPluginsAndOnlyOnce) {
  Load();
  EXPECT_EQ(Send(wizard, CM_REGISTERFUNCTION, P("FileExists"), 1), 0);
  EXPECT_EQ(Send(wizard, CM_REGISTERFUNCTION, P("fileexists"), 1), 0);
  EXPECT_EQ(Send(wizard, CM_REGISTERFUNCTION, P("Twice"), 1), 34);
  EXPECT_EQ(Send(helper, CM_REGISTERFUNCTION, P("TWICE"), 1), 0);
  EXPECT_EQ(Send(helper, CM_REGISTERFUNCTION, P("Half"), -1), 35);
  EXPECT_EQ(Send(77, CM_REGISTERFUNCTION, P("Other"), 0), 0);
  EXPECT_EQ(Send(wizard, CM_REGISTERFUNCTION, P(""), 0), 0);
  EXPECT_EQ(Send(wizard, CM_REGISTERFUNCTION, 0, 0), 0);
}

TEST_F(PluginCommands, MemoryBlocksAreZeroFilledAndOnlyTheEnginesOwnAreFreed) {
  Load();
  auto* block = reinterpret_cast<unsigned char*>(Send(wizard, CM_ALLOCMEM, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
  EXPECT_NE(Send(wizard, CM_ALLOCMEM, 0), 0);
  EXPECT_EQ(Send(wizard, CM_ALLOCMEM, -5), 0);
  EXPECT_EQ(host->Memory().LiveBlocks(), 2u);
  char own[16];
  EXPECT_EQ(Send(wizard, CM_FREEMEM, P(own)), 0);        // not the engine's: left alone
  EXPECT_EQ(Send(wizard, CM_FREEMEM, P(block + 8)), 0);  // inside a block: left alone
  EXPECT_EQ(Send(wizard, CM_FREEMEM, 0), 0);
  EXPECT_EQ(host->Memory().LiveBlocks(), 2u);
  EXPECT_EQ(Send(wizard, CM_FREEMEM, P(block)), 0);
  EXPECT_EQ(Send(wizard, CM_FREEMEM, P(block)), 0);  // twice: the second does nothing
  EXPECT_EQ(host->Memory().LiveBlocks(), 1u);
}

TEST_F(PluginCommands, EngineServicesAreReachedWithTheirAnswers) {
  Load();
  EXPECT_EQ(Send(wizard, CM_SUSPENDINSTALL), 0);
  EXPECT_EQ(Send(wizard, CM_RESUMEINSTALL), 0);
  EXPECT_EQ(Send(wizard, CM_GETINSTALLICON, 1), 16);
  EXPECT_EQ(Send(wizard, CM_GETINSTALLICON, 0), 32);
  EXPECT_EQ(Send(wizard, CM_ADDLOGRECORD, P("Extra"), P("Key=%AppName%")), 0);
  EXPECT_EQ(Send(wizard, CM_ISPASSWORDVALID), 1);
  EXPECT_EQ(Send(wizard, CM_SETPASSWORD, P("guess")), 1);
  EXPECT_EQ(database.Password, "");
  EXPECT_EQ(Send(wizard, CM_SETPASSWORD, P("secret")), 0);
  EXPECT_EQ(database.Password, "secret");
  EXPECT_EQ(Send(wizard, CM_ISPASSWORDVALID), 0);
  EXPECT_EQ(Send(wizard, CM_SETLANGUAGE, 0), 0);  // no language: nothing switches
  EXPECT_EQ(Send(wizard, CM_SETLANGUAGE, P("FRA")), 0);
  EXPECT_THAT(engine.calls, ElementsAre("SuspendInstall", "ResumeInstall", "InstallIcon small",
                                        "InstallIcon large", "LogAddRecord [Extra] Key=%AppName%",
                                        "SetPassword guess", "SetPassword secret", "SetLanguage FRA"));
  EXPECT_THAT(Log(), ElementsAre("wizard EV_LANGUAGECHANGED lang=\"FRA\"",
                                 "helper EV_LANGUAGECHANGED lang=\"FRA\""));
}

// A plug-in asked for a size and got N: the dispatcher writes no more than N bytes into its
// buffer, and no more than a block's size into a block of CM_ALLOCMEM.
TEST_F(PluginCommands, BuffersAreNeverWrittenPastTheRoomThePluginHas) {
  Load();
  // A block smaller than the text: cut short with its NUL, and the size needed is answered.
  auto* block = reinterpret_cast<char*>(Send(wizard, CM_ALLOCMEM, 5));
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P("InstallPath"), P(block)), 8);
  EXPECT_STREQ(block, "C:\\D");
  Send(wizard, CM_FREEMEM, P(block));

  // The variable grew after the plug-in asked for its size.
  const std::intptr_t asked = Send(wizard, CM_GETVARIABLE, P("AppName"));
  ASSERT_EQ(asked, 5);
  sx::WriteVariable(&database, "AppName", "A much longer name");
  std::vector<char> buffer(32, '#');
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P("AppName"), P(buffer.data())), 19);
  EXPECT_EQ(std::string(buffer.data(), 5), std::string("A mu\0", 5));
  EXPECT_EQ(std::string(buffer.data() + 5, buffer.size() - 5), std::string(27, '#'));
  // Asking again gives room for the whole text.
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P("AppName")), 19);
  EXPECT_EQ(Send(wizard, CM_GETVARIABLE, P("AppName"), P(buffer.data())), 0);
  EXPECT_STREQ(buffer.data(), "A much longer name");

  // A record that grew: the room is zeroed (every pointer nil) and the new size answered.
  size_t size = 0;
  FetchRecord(CM_GETFEATURE, "docs", &size);
  (*database.Features)[1].Name = "Documents and many more samples";
  std::vector<char> record(size + 16, '#');
  const std::intptr_t grown = Send(wizard, CM_GETFEATURE, P("docs"), P(record.data()));
  EXPECT_EQ(grown, static_cast<std::intptr_t>(size + 22));
  EXPECT_EQ(std::string(record.data(), size), std::string(size, '\0'));
  EXPECT_EQ(std::string(record.data() + size, 16), std::string(16, '#'));
  // The size is remembered per plug-in: another plug-in that asked nothing gets the whole text.
  std::vector<char> other(64, '#');
  EXPECT_EQ(Send(helper, CM_GETVARIABLE, P("AppName"), P(other.data())), 0);
  EXPECT_STREQ(other.data(), "A much longer name");
}

TEST_F(PluginCommands, RecorderReachesCommandsThroughItsEntryPoints) {
  Load(
      "on EV_START get CM_GETVARIABLE \"AppName\"\n"
      "on EV_START get CM_GETVARIABLE \"Missing\"\n"
      "on EV_START get CM_PARSETEXT \"%Shared%||next\"\n"
      "on EV_START get CM_GETPCPARAM \"Main\" \"Width\" \"0\"\n"
      "on EV_START get CM_GETPCGROUPNAMES\n"
      "on EV_START calc \"Length('%AppName%') * 2\"\n"
      "on EV_START calc-bool \"1 and 0\"\n"
      "on EV_START actions \"<actions><action expression=\"\"Return('done')\"\"/></actions>\"\n"
      "on EV_START walk languages\n"
      "on EV_START send CM_SETVARIABLE \"AppName\" \"Changed\"\n"
      "on EV_START get CM_GETVARIABLE AppName\n");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(Log("wizard"), ElementsAre(
      "EV_START",
      "get CM_GETVARIABLE \"AppName\" -> size=5 rc=0 \"Demo\"",
      "get CM_GETVARIABLE \"Missing\" -> 0",
      "get CM_PARSETEXT \"%Shared%||next\" -> size=23 rc=0 \"from the package<0D><0A>next\"",
      "get CM_GETPCPARAM \"Main\" \"Width\" \"0\" -> size=4 rc=0 \"640\"",
      "get CM_GETPCGROUPNAMES -> size=13 rc=0 \"Main<0D><0A>Colors\"",
      "calc \"Length('%AppName%') * 2\" -> \"8\"",
      "calc-bool \"1 and 0\" -> 0",
      "actions \"<actions><action expression=\"\"Return('done')\"\"/></actions>\" -> \"done\"",
      "language size=" + std::to_string(3 * sizeof(std::intptr_t) + 16) +
          " rc=0 id=\"ENU\" name=\"English\" next=\"DEU\"",
      "language size=" + std::to_string(3 * sizeof(std::intptr_t) + 16) +
          " rc=0 id=\"DEU\" name=\"Deutsch\" next=\"FRA\"",
      "language size=" + std::to_string(3 * sizeof(std::intptr_t) + 13) +
          " rc=0 id=\"FRA\" name=\"Fran\xE7" "ais\" next=nil",
      "send CM_SETVARIABLE \"AppName\" \"Changed\" -> 0",
      "get CM_GETVARIABLE \"AppName\" -> size=8 rc=0 \"Changed\""));
  EXPECT_EQ(host->Memory().LiveBlocks(), 0u);  // the recorder freed every result
}

}  // namespace
}  // namespace sx::test
