// Loading plug-ins from the package folder layout: where DLLs are looked for, what an accepted
// plug-in is told, every refusal with its message, declining, unused items and unloading.
#include <dlfcn.h>

#include "tests/plugins/plugin_test_support.h"

namespace sx::test {
namespace {

using ::testing::ElementsAre;

class PluginLoading : public PluginHostTest {};

TEST_F(PluginLoading, PackageWithoutPluginsLoadsNothingAndSucceeds) {
  TraceFile trace(machine.HostPath("trace.txt"));
  EXPECT_TRUE(host->LoadPackagePlugins(ExtraPackage()));
  EXPECT_EQ(host->Plugins().Count(), 0);
  EXPECT_TRUE(trace.Lines("messagebox").empty());
}

TEST_F(PluginLoading, EachItemFolderGivesAStartedPluginNumberedInLoadOrder) {
  sx::WriteVariable(&database, "LangID", "DEU");
  AddItem("wizard");
  AddItem("helper");
  PutRecorder(0, "wizard");
  PutRecorder(1, "helper");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));

  EXPECT_THAT(LoadedIDs(), ElementsAre("wizard", "helper"));
  EXPECT_EQ(Loaded("wizard")->PluginNumber, 1);
  EXPECT_EQ(Loaded("helper")->PluginNumber, 2);
  EXPECT_EQ(Loaded("helper")->Package, &MainPackage());
  EXPECT_EQ(Loaded("helper")->Path, "C:\\windows\\temp\\sx1\\plugins\\1\\helper.dll");
  EXPECT_THAT(Log(), ElementsAre(
      "wizard GetPluginInfo mark=0x00010000",
      "wizard EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400 number=1 config=\"\"",
      "wizard EV_LOAD",
      "wizard EV_LANGUAGECHANGED lang=\"DEU\"",
      "helper GetPluginInfo mark=0x00010000",
      "helper EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400 number=2 config=\"\"",
      "helper EV_LOAD",
      "helper EV_LANGUAGECHANGED lang=\"DEU\""));
}

TEST_F(PluginLoading, LanguageDefaultsToEnglishWhenTheProjectHasNone) {
  AddItem("wizard");
  PutRecorder(0, "wizard");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  EXPECT_THAT(LogStarting("EV_LANGUAGECHANGED", "wizard"), ElementsAre("EV_LANGUAGECHANGED lang=\"ENU\""));
}

TEST_F(PluginLoading, ConfigFileBecomesAPathInTheDllFolder) {
  TsxPlugin& item = AddItem("wizard");
  item.ConfigFile = "wizard.ini";
  PutRecorder(0, "wizard");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  const std::string path = "C:\\windows\\temp\\sx1\\plugins\\0\\wizard.ini";
  EXPECT_EQ(item.ConfigFile, path);
  EXPECT_EQ(Loaded("wizard")->ConfigFile, path);
  EXPECT_THAT(LogStarting("EV_SETSTARTUPINFO", "wizard"),
              ElementsAre("EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400 number=1 config=\"" +
                          path + "\""));
}

TEST_F(PluginLoading, DebugDllIsLoadedInsteadOfTheItemFolder) {
  TsxPlugin& item = AddItem("wizard");
  item.DebugDll = "C:\\dev\\debug\\wizard.dll";
  PutRecorder(0, "wizard");  // would be found in the folder, but is not looked for
  std::filesystem::create_directories(machine.HostPath("drive_c/dev/debug"));
  std::filesystem::copy_file(SX_RECORDER_PLUGIN, machine.HostPath("drive_c/dev/debug/wizard.dll"));
  WriteHostFile(machine.HostPath("drive_c/dev/debug/wizard.script"), "log " + LogPath() + "\nid wizard\n");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  ASSERT_EQ(host->Plugins().Count(), 1);
  EXPECT_EQ(host->Plugins()[0].Path, "C:\\dev\\debug\\wizard.dll");
  EXPECT_EQ(Log().size(), 4u);  // GetPluginInfo and the three start events, once
}

// Every way a DLL fails the checks: the item gets no plug-in, and the message names the item.
TEST_F(PluginLoading, EveryRefusalFailsTheItemWithTheCannotLoadMessage) {
  struct Case {
    const char* what;
    std::string built;  // empty: a file that is no library
    const char* script;
  };
  const Case cases[] = {
      {"no library", "", nullptr},
      {"no GetPluginInfo", SX_NO_INFO_PLUGIN, nullptr},
      {"newer engine", SX_NEWER_ENGINE_PLUGIN, nullptr},
      {"reserved byte", SX_RESERVED_SET_PLUGIN, nullptr},
      {"no event handler", SX_NO_HANDLER_PLUGIN, nullptr},
      {"unknown ID", SX_RECORDER_PLUGIN, "id stranger\n"},
      {"recorder asking for a newer engine", SX_RECORDER_PLUGIN, "id refused\nneeds 0x00030401\n"},
  };
  // The wizard of the main package is loaded; the plug-in of the other package is refused.
  AddItem("wizard");
  PutRecorder(0, "wizard", "on CM_GETACTIVEWINDOW reply 77\n");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  AddItem(ExtraPackage(), "refused");
  const std::string folder = machine.HostPath(HostFolderOf(ExtraPackage()) + "plugins/0");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder);
    if (c.built.empty()) {
      WriteHostFile(folder + "/broken.dll", "not a library");
    } else {
      const std::string dll = PutPlugin(ExtraPackage(), 0, "candidate.dll", c.built);
      if (c.script) WriteHostFile(dll.substr(0, dll.size() - 4) + ".script", c.script);
    }
    ClearLog();
    std::filesystem::remove(machine.HostPath("trace.txt"));
    TraceFile trace(machine.HostPath("trace.txt"));

    EXPECT_FALSE(host->LoadPackagePlugins(ExtraPackage()));
    EXPECT_THAT(LoadedIDs(), ElementsAre("wizard"));
    EXPECT_THAT(trace.Lines("messagebox"),
                ElementsAre("title=\"Error\" text=\"Cannot load \\\"refused\\\" plug-in.\" "
                            "style=0x00002010 answer=IDOK owner=77"));
    // The box is owned by the window the loaded plug-ins name.
    EXPECT_THAT(LogStarting("CM_GETACTIVEWINDOW", "wizard"), ElementsAre("CM_GETACTIVEWINDOW p1=0 p2=0"));
  }
}

TEST_F(PluginLoading, IdentificationSaysWhyAFileIsRefused) {
  struct Case {
    std::string built;
    TPluginRefusal refusal;
    std::string text;
  };
  const Case cases[] = {
      {SX_NO_INFO_PLUGIN, TPluginRefusal::kNoPluginInfo, "it does not export GetPluginInfo"},
      {SX_NEWER_ENGINE_PLUGIN, TPluginRefusal::kNeedsNewerEngine,
       "it needs engine version 0x00030401 (this engine is 0x00030400)"},
      {SX_RESERVED_SET_PLUGIN, TPluginRefusal::kReservedSet,
       "the reserved byte of its PluginInfo is not 0"},
      {SX_NO_HANDLER_PLUGIN, TPluginRefusal::kNoEventHandler, "its PluginInfo names no event handler"},
      {SX_C_PLUGIN_PLUGIN, TPluginRefusal::kNone, "it is accepted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.built);
    PutPlugin(0, "probe.dll", c.built);
    TPlugin plugin;
    EXPECT_EQ(IdentifyPlugin("C:\\windows\\temp\\sx1\\plugins\\0\\probe.dll", plugin), c.refusal);
    EXPECT_EQ(RefusalText(c.refusal, plugin), c.text);
    EXPECT_EQ(plugin.Module != nullptr, c.refusal == TPluginRefusal::kNone);
    if (c.refusal == TPluginRefusal::kNeedsNewerEngine) {
      EXPECT_EQ(plugin.ID, "refused");
    }
  }
  TPlugin missing;
  EXPECT_EQ(IdentifyPlugin("C:\\nowhere\\gone.dll", missing), TPluginRefusal::kCannotLoad);
  missing.ID = "gone";
  EXPECT_EQ(RefusalText(TPluginRefusal::kUnknownID, missing),
            "its package has no plug-in item with the ID \"gone\"");
}

TEST_F(PluginLoading, IdWithoutItsNulIsReadWithinItsField) {
  const std::string id(260, 'L');
  AddItem(id);
  PutPlugin(0, "long.dll", SX_UNTERMINATED_ID_PLUGIN);
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  ASSERT_EQ(host->Plugins().Count(), 1);
  EXPECT_EQ(host->Plugins()[0].ID, id);
}

TEST_F(PluginLoading, PluginWrittenInCIsStartedLikeAnyOther) {
  AddItem("c-plugin");
  const std::string dll = PutPlugin(0, "c_plugin.dll", SX_C_PLUGIN_PLUGIN);
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  ASSERT_EQ(host->Plugins().Count(), 1);
  void* same = dlopen(dll.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(same, nullptr);
  auto eventsSeen = reinterpret_cast<int (*)()>(dlsym(same, "SxEventsSeen"));
  ASSERT_NE(eventsSeen, nullptr);
  EXPECT_EQ(eventsSeen(), 3);  // EV_SETSTARTUPINFO, EV_LOAD, EV_LANGUAGECHANGED
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_EQ(eventsSeen(), 4);
  dlclose(same);
}

TEST_F(PluginLoading, FirstAcceptedDllOfAFolderWinsAndRefusedOnesAreSkippedSilently) {
  TraceFile trace(machine.HostPath("trace.txt"));
  AddItem("wizard");
  PutPlugin(0, "a_no_info.dll", SX_NO_INFO_PLUGIN);
  PutRecorder(0, "b_first", "id wizard\n");
  PutRecorder(0, "c_second", "id wizard\n");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  ASSERT_EQ(host->Plugins().Count(), 1);
  EXPECT_EQ(host->Plugins()[0].Path, "C:\\windows\\temp\\sx1\\plugins\\0\\b_first.dll");
  EXPECT_EQ(LogStarting("GetPluginInfo", "wizard").size(), 1u);  // the second copy was never loaded
  EXPECT_TRUE(trace.Lines("messagebox").empty());
}

TEST_F(PluginLoading, PluginDecliningAtLoadHearsNothingMoreAndItsNumberIsGivenAgain) {
  AddItem("shy");
  AddItem("next");
  PutRecorder(0, "shy", "on EV_LOAD reply 1\n");
  PutRecorder(1, "next");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  EXPECT_THAT(LoadedIDs(), ElementsAre("next"));
  EXPECT_EQ(Loaded("next")->PluginNumber, 1);
  host->SendEvent(EV_START, 0, 0, true);
  host->UnloadAllPlugins();
  EXPECT_THAT(Log("shy"), ElementsAre(
      "GetPluginInfo mark=0x00010000",
      "EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400 number=1 config=\"\"",
      "EV_LOAD"));
  EXPECT_THAT(LogStarting("EV_SETSTARTUPINFO", "next"),
              ElementsAre("EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400 number=1 config=\"\""));
}

TEST_F(PluginLoading, ItemWithAFalseConditionLeavesItsPluginUnused) {
  AddItem("wizard", "0");
  AddItem("helper", "1");
  PutRecorder(0, "wizard");
  PutRecorder(1, "helper");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  EXPECT_THAT(LoadedIDs(), ElementsAre("helper"));
  EXPECT_THAT(Log("wizard"), ElementsAre("GetPluginInfo mark=0x00010000"));
  EXPECT_EQ(Loaded("helper")->PluginNumber, 1);
}

TEST_F(PluginLoading, UnloadingSendsUnloadLastLoadedFirstAndReleasesEachDll) {
  AddItem("wizard");
  AddItem(ExtraPackage(), "helper");
  const std::string first = PutRecorder(0, "wizard");
  const std::string second = PutRecorder(ExtraPackage(), 0, "helper");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  ASSERT_TRUE(host->LoadPackagePlugins(ExtraPackage()));
  EXPECT_EQ(Loaded("helper")->Package, &ExtraPackage());
  EXPECT_EQ(Loaded("helper")->PluginNumber, 2);
  ClearLog();
  host->UnloadAllPlugins();
  EXPECT_EQ(host->Plugins().Count(), 0);
  EXPECT_THAT(Log(), ElementsAre("helper EV_UNLOAD", "wizard EV_UNLOAD"));
  EXPECT_EQ(dlopen(first.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
  EXPECT_EQ(dlopen(second.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(PluginLoading, EveryCallIsTracedWithItsReply) {
  TraceFile trace(machine.HostPath("trace.txt"));
  AddItem("wizard");
  PutRecorder(0, "wizard", "on EV_SHOWDIALOGS reply 1\n");
  ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  host->SendEvent(EV_SHOWDIALOGS, 0, 0, false);
  EXPECT_THAT(trace.Lines("plugin"), ElementsAre("wizard EV_SETSTARTUPINFO * 0 -> 0",
                                                 "wizard EV_LOAD 0 0 -> 0",
                                                 "wizard EV_LANGUAGECHANGED \"ENU\" 0 -> 0",
                                                 "wizard EV_SHOWDIALOGS 0 0 -> 1"));
}

}  // namespace
}  // namespace sx::test
