// Sending events: first-answer and to-all modes, the sender rule of forwarded messages, the
// engine's named messages, events raised on another thread, and the events that carry buffers
// and decisions (missing packages, version conflicts, selection changes, aborts).
#include <atomic>
#include <chrono>

#include "tests/plugins/plugin_test_support.h"
#include "util/message_queue.h"

namespace sx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PluginEvents : public PluginHostTest {
 protected:
  // Three plug-ins, "one", "two" and "three", loaded in that order with their scripts.
  void LoadThree(const std::string& one, const std::string& two, const std::string& three) {
    AddItem("one");
    AddItem("two");
    AddItem("three");
    PutRecorder(0, "one", one);
    PutRecorder(1, "two", two);
    PutRecorder(2, "three", three);
    ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
    ASSERT_EQ(host->Plugins().Count(), 3);
    ClearLog();
  }
};

TEST_F(PluginEvents, FirstAnswerModeStopsAtTheFirstNonZeroReply) {
  LoadThree("", "on EV_BEFOREINSTALL reply 5\n", "on EV_BEFOREINSTALL reply 6\n");
  EXPECT_EQ(host->SendEvent(EV_BEFOREINSTALL, 0, 0, false), 5);
  EXPECT_THAT(Log(), ElementsAre("one EV_BEFOREINSTALL", "two EV_BEFOREINSTALL"));
}

TEST_F(PluginEvents, ToAllModeCallsEveryPluginAndGivesTheLastReply) {
  LoadThree("on EV_START reply 7\n", "", "on EV_AFTERINSTALL reply 9\n");
  EXPECT_EQ(host->SendEvent(EV_START, 0, 0, true), 0);  // the last one answered 0
  EXPECT_EQ(host->SendEvent(EV_AFTERINSTALL, 0, 0, true), 9);
  EXPECT_THAT(Log(), ElementsAre("one EV_START", "two EV_START", "three EV_START",
                                 "one EV_AFTERINSTALL", "two EV_AFTERINSTALL", "three EV_AFTERINSTALL"));
}

TEST_F(PluginEvents, NothingIsCalledForNoPluginsOrANumberWithoutName) {
  EXPECT_EQ(host->SendEvent(EV_SHOWDIALOGS, 0, 0, false), 0);
  EXPECT_EQ(sx::SendEvent(EV_SHOWDIALOGS, 0, 0, false), 0);  // the current host's
  LoadThree("on EV_START reply 1\n", "", "");
  EXPECT_EQ(host->SendEvent(24, 0, 0, true), 0);
  EXPECT_EQ(host->SendEvent(4096, 0, 0, true), 0);
  EXPECT_EQ(host->CallPlugin(*Loaded("one"), 99, 0, 0), 0);
  EXPECT_THAT(Log(), IsEmpty());
  EXPECT_EQ(sx::SendEvent(EV_START, 0, 0, false), 1);
}

TEST_F(PluginEvents, StageEventsCarryTheStageInTheHighWord) {
  LoadThree("on EV_BEFOREPROCESSITEMS stage=1 reply 1\n", "", "");
  EXPECT_EQ(host->SendEvent(EV_BEFOREPROCESSITEMS, SX_STAGE_PARAM(SX_STAGE_FILES), 0, false), 0);
  EXPECT_EQ(host->SendEvent(EV_BEFOREPROCESSITEMS, SX_STAGE_PARAM(SX_STAGE_REGISTRY), 0, false), 1);
  SxRegistryItem item{"HKLM\\Software\\Demo", "Path", "C:\\Demo", 0, SX_ACTION_ADD};
  host->SendEvent(EV_BEFOREPROCESSITEM, SX_STAGE_PARAM(SX_STAGE_REGISTRY), P(&item), false);
  EXPECT_THAT(Log("one"), ElementsAre(
      "EV_BEFOREPROCESSITEMS stage=0", "EV_BEFOREPROCESSITEMS stage=1",
      "EV_BEFOREPROCESSITEM stage=1 key=\"HKLM\\Software\\Demo\" name=\"Path\" value=\"C:\\Demo\" "
      "type=0 action=0"));
}

TEST_F(PluginEvents, ForwardedMessageReachesTheOthersButNeverTheSender) {
  LoadThree(
      "on EV_START send MY_MESSAGE 5 7 all\n"
      "on EV_FINISH send MY_MESSAGE 1 2\n"
      "on MY_MESSAGE reply 99\n",
      "on MY_MESSAGE p1=5 reply 11\n"
      "on MY_MESSAGE p1=1 reply 12\n",
      "on MY_MESSAGE reply 13\n");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(Log(), ElementsAre("one EV_START", "two MY_MESSAGE p1=5 p2=7", "three MY_MESSAGE p1=5 p2=7",
                                 "one send MY_MESSAGE 5 7 all -> 13", "two EV_START", "three EV_START"));
  ClearLog();
  host->SendEvent(EV_FINISH, 1, 0, false);  // first answer: the second plug-in answers 12
  EXPECT_THAT(Log(), ElementsAre("one EV_FINISH success=1", "two MY_MESSAGE p1=1 p2=2",
                                 "one send MY_MESSAGE 1 2 -> 12", "two EV_FINISH success=1",
                                 "three EV_FINISH success=1"));
}

TEST_F(PluginEvents, NumberRegisteredByOnePluginIsSentToTheOthers) {
  LoadThree(
      "on EV_START register-message \"Ping\"\n"
      "on EV_START send 4096 3 4 all\n"
      "on EV_START send 5000 3 4 all\n",
      "", "");
  host->SendEvent(EV_START, 0, 0, false);
  EXPECT_THAT(Log(), ElementsAre("one EV_START", "one register-message \"Ping\" -> 4096",
                                 "two Ping p1=3 p2=4", "three Ping p1=3 p2=4",
                                 "one send 4096 3 4 all -> 0", "one send 5000 3 4 all -> 0",
                                 "two EV_START", "three EV_START"));
  // A number that names no loaded plug-in forwards nothing.
  ClearLog();
  EXPECT_EQ(Send(42, 4096, 1, 1, true), 0);
  EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(PluginEvents, EngineAsksPluginsForItsWindowAndStatusTexts) {
  LoadThree("", "on CM_GETACTIVEWINDOW reply 4242\n", "on CM_GETACTIVEWINDOW reply 1\n");
  EXPECT_EQ(host->ActiveWindow(), 4242);
  host->ShowStatusText("Rolling back");
  host->HideStatusText();
  EXPECT_EQ(host->SendNamedEvent("CM_GETACTIVEWINDOW", 0, 0, true), 1);
  EXPECT_THAT(Log("one"), ElementsAre("CM_GETACTIVEWINDOW p1=0 p2=0", "CM_SHOWSTATUSTEXT text=\"Rolling back\" time=750",
                                      "CM_HIDESTATUSTEXT p1=0 p2=0", "CM_GETACTIVEWINDOW p1=0 p2=0"));
  EXPECT_EQ(host->Messages().FindMessage("CM_GETACTIVEWINDOW"), 4096);
}

TEST_F(PluginEvents, EventsFromAnotherThreadRunInPluginsOnTheMainThread) {
  LoadThree("on EV_FILEINSTALLPROGRESS send CM_SUSPENDINSTALL\n"
            "on EV_FILEINSTALLPROGRESS reply ${file}\n",
            "", "");
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<bool> done{false};
  std::vector<std::intptr_t> replies;
  std::thread installer([&] {
    for (int percent : {0, 50, 100}) replies.push_back(host->SendEvent(EV_FILEINSTALLPROGRESS, percent, 10, false));
    done = true;
  });
  // The installer waits for the main thread: nothing runs until the main thread serves its queue.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(done);
  EXPECT_THAT(Log(), IsEmpty());
  while (!done) PumpMessages();
  installer.join();
  EXPECT_THAT(replies, ElementsAre(0, 50, 100));
  EXPECT_THAT(LogStarting("EV_FILEINSTALLPROGRESS", "one"),
              ElementsAre("EV_FILEINSTALLPROGRESS file=0 total=10", "EV_FILEINSTALLPROGRESS file=50 total=10",
                          "EV_FILEINSTALLPROGRESS file=100 total=10"));
  ASSERT_EQ(engine.callThreads.size(), 3u);
  for (std::thread::id thread : engine.callThreads) EXPECT_EQ(thread, mainThread);
}

TEST_F(PluginEvents, MissingPackageFolderComesFromThePluginsBuffer) {
  EXPECT_EQ(host->AskForPackageFolder("data.sxp", "C:\\setup\\"), std::nullopt);
  LoadThree("", "on EV_GETPACKAGE name=data.sxp set-folder \"D:\\disk2\"\n"
                "on EV_GETPACKAGE name=data.sxp reply 1\n", "");
  EXPECT_EQ(host->AskForPackageFolder("data.sxp", "C:\\setup\\"), "D:\\disk2");
  EXPECT_EQ(host->AskForPackageFolder("other.sxp", "C:\\setup\\"), std::nullopt);
  // The folder handed over never fills the buffer beyond 259 characters and its NUL.
  EXPECT_EQ(host->AskForPackageFolder("other.sxp", std::string(300, 'x')), std::nullopt);
  EXPECT_THAT(Log("two"), ElementsAre("EV_GETPACKAGE name=\"data.sxp\" folder=\"C:\\setup\\\"",
                                      "EV_GETPACKAGE name=\"other.sxp\" folder=\"C:\\setup\\\"",
                                      "EV_GETPACKAGE name=\"other.sxp\" folder=\"" + std::string(259, 'x') + "\""));
}

TEST_F(PluginEvents, VersionConflictDecisionsLastAsTheAnswersSay) {
  TVersionConflicts unanswered(*host);
  EXPECT_EQ(unanswered.Ask("C:\\a.dll"), SX_CONFLICT_KEEP);  // nobody answers: keep the file
  LoadThree("on EV_VERSIONCONFLICT path=C:\\a.dll reply 2\n"
            "on EV_VERSIONCONFLICT path=C:\\b.dll reply 7\n"
            "on EV_VERSIONCONFLICT path=C:\\c.dll reply 3\n",
            "", "");
  TVersionConflicts conflicts(*host);
  EXPECT_EQ(conflicts.Ask("C:\\a.dll"), SX_CONFLICT_OVERWRITE);
  EXPECT_TRUE(TVersionConflicts::Overwrites(SX_CONFLICT_OVERWRITE));
  EXPECT_EQ(conflicts.Ask("C:\\b.dll"), SX_CONFLICT_OVERWRITE);  // 7 is no answer: the last stays
  EXPECT_EQ(conflicts.Ask("C:\\c.dll"), SX_CONFLICT_KEEP_ALL);
  EXPECT_EQ(conflicts.Ask("C:\\a.dll"), SX_CONFLICT_KEEP_ALL);  // not asked any more
  EXPECT_FALSE(TVersionConflicts::Overwrites(SX_CONFLICT_KEEP_ALL));
  EXPECT_THAT(LogStarting("EV_VERSIONCONFLICT", "one"),
              ElementsAre("EV_VERSIONCONFLICT path=\"C:\\a.dll\"", "EV_VERSIONCONFLICT path=\"C:\\b.dll\"",
                          "EV_VERSIONCONFLICT path=\"C:\\c.dll\""));
}

TEST_F(PluginEvents, SelectionChangesMadeByOnePluginReachEveryPlugin) {
  LoadThree("on EV_START send CM_SETFEATURESTATE \"docs\" 1\n"
            "on EV_FINISH send CM_SETINSTALLTYPE \"custom\"\n",
            "", "");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(LogStarting("EV_FEATURESTATECHANGED"),
              ElementsAre("one EV_FEATURESTATECHANGED id=\"docs\" state=1",
                          "two EV_FEATURESTATECHANGED id=\"docs\" state=1",
                          "three EV_FEATURESTATECHANGED id=\"docs\" state=1"));
  ClearLog();
  host->SendEvent(EV_FINISH, 1, 0, true);
  EXPECT_THAT(LogStarting("EV_INSTALLTYPECHANGED"),
              ElementsAre("one EV_INSTALLTYPECHANGED id=\"custom\"", "two EV_INSTALLTYPECHANGED id=\"custom\"",
                          "three EV_INSTALLTYPECHANGED id=\"custom\""));
  // The custom install type selects nothing: docs goes off, the required core comes on.
  EXPECT_THAT(LogStarting("EV_FEATURESTATECHANGED", "two"),
              ::testing::IsSupersetOf({"EV_FEATURESTATECHANGED id=\"docs\" state=0",
                                       "EV_FEATURESTATECHANGED id=\"core\" state=2"}));
  EXPECT_EQ(database.ActiveInstallType, "custom");
}

TEST_F(PluginEvents, AbortSetsTheFlagAndTellsEveryPlugin) {
  LoadThree("", "on EV_START send CM_ABORTINSTALL\n", "");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(engine.calls, ElementsAre("SetAborted"));
  EXPECT_THAT(LogStarting("EV_ABORTINSTALL"),
              ElementsAre("one EV_ABORTINSTALL", "two EV_ABORTINSTALL", "three EV_ABORTINSTALL"));
}

}  // namespace
}  // namespace sx::test
