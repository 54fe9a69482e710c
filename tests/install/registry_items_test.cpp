// The registry phase: the four value types, removals, dont_overwrite, keys made on the way,
// plug-in vetoes and variables they set, a failed write, and rollback to the same registry.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/registry_items.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

constexpr char kKey[] = "HKLM\\Software\\SxReg";

class RegistryItems : public InstallFixture {
 protected:
  RegistryItems() {
    items.database->TempBackupPath = kBackupFolder;
    component = &items.database->Components->AddNew();
    component->SetID("Main");
  }
  void Raw(const std::string& key, const char* name, uint32_t type, std::string data) {
    RegPath path = RegSplitPath(key);
    host().RegCreateKey(path.root, path.subKey);
    ASSERT_TRUE(host().RegSetValue(path.root, path.subKey, name, {type, std::move(data)}));
  }
  std::optional<host::RegValue> Query(const std::string& key, const char* name) {
    RegPath path = RegSplitPath(key);
    return host().RegQueryValue(path.root, path.subKey, name);
  }
  bool Install() { return InstallRegistryItems(items.database.get(), *component); }

  ItemServices items;
  TsxComponent* component = nullptr;
};

TEST_F(RegistryItems, WritesEveryTypeRecordsItAndRollsBackToTheSameRegistry) {
  // Values the items overwrite, of types a text form would lose.
  Raw(kKey, "dword", host::kRegDword, std::string("\x2A\0\0\0", 4));
  Raw(kKey, "expand", host::kRegExpandSz, std::string("%SystemRoot%\\old\0", 17));
  Raw(kKey, "qword", host::kRegQword, std::string("\1\2\3\4\5\6\7\x08", 8));
  Raw(kKey, "keep", host::kRegSz, std::string("kept\0", 5));
  Raw(kKey, "gone", host::kRegSz, std::string("x\0", 2));
  Raw(std::string(kKey) + "\\Empty", "", host::kRegSz, std::string("", 1));
  host().RegDeleteValue(host::RegRoot::kLocalMachine, "Software\\SxReg\\Empty", "");
  MachineSnapshot before = Snapshot();

  AddReg(*component, kKey, "dword", "-1", TsxRegType::rtInt);
  AddReg(*component, kKey, "expand", "plain", TsxRegType::rtStr);
  AddReg(*component, kKey, "qword", "0A 1b f", TsxRegType::rtBin);
  AddReg(*component, kKey, "keep", "new", TsxRegType::rtStr, TsxFlags{TsxFlag::dont_overwrite});
  AddReg(*component, std::string(kKey) + "\\A\\B\\C", "multi", "one||two", TsxRegType::rtMStr);
  AddReg(*component, kKey, "gone", "", TsxRegType::rtStr, {}, TsxInstallAction::remove);
  AddReg(*component, std::string(kKey) + "\\Empty", "", "", TsxRegType::rtStr, {}, TsxInstallAction::remove);
  AddReg(*component, kKey, "missing", "", TsxRegType::rtStr, {}, TsxInstallAction::remove);
  AddReg(*component, kKey, "quiet", "q", TsxRegType::rtStr, TsxFlags{TsxFlag::dont_log});

  ASSERT_TRUE(Install());
  EXPECT_EQ(Query(kKey, "dword")->data, std::string("\xFF\xFF\xFF\xFF", 4));
  EXPECT_EQ(Query(kKey, "expand")->type, host::kRegSz);
  EXPECT_EQ(Query(kKey, "qword")->type, host::kRegBinary);
  EXPECT_EQ(Query(kKey, "qword")->data, "\x0A\x1B");
  EXPECT_EQ(Query(kKey, "keep")->data, std::string("kept\0", 5));
  EXPECT_EQ(Query(std::string(kKey) + "\\A\\B\\C", "multi")->data, std::string("one\0two\0\0", 9));
  EXPECT_FALSE(Query(kKey, "gone"));
  EXPECT_FALSE(RegKeyExists(std::string(kKey) + "\\Empty"));

  // Three keys made outermost first, then the value; removals and the kept value record nothing.
  std::vector<std::string> recorded;
  for (const TInstallAction& action : list()) {
    if (auto* key = dynamic_cast<const TInstallRegKey*>(&action)) recorded.push_back("key " + key->Key);
    if (auto* reg = dynamic_cast<const TInstallReg*>(&action))
      recorded.push_back("reg " + reg->Param + (reg->Existed ? " existed" : "") + (reg->Log ? "" : " unlogged"));
  }
  EXPECT_EQ(recorded, (std::vector<std::string>{
                          "reg dword existed", "reg expand existed", "reg qword existed",
                          "key HKLM\\Software\\SxReg\\A", "key HKLM\\Software\\SxReg\\A\\B",
                          "key HKLM\\Software\\SxReg\\A\\B\\C", "reg multi", "reg quiet unlogged"}));
  // The kept value had a before-event but no after-event; the removals had both.
  EXPECT_EQ(items.CallsStartingWith("event 12").size(), 9u);
  EXPECT_EQ(items.CallsStartingWith("event 13").size(), 8u);

  // Removals are not recorded, so rollback leaves them; everything else is as it was.
  list().RollbackAll();
  std::erase_if(before.entries, [](const auto& entry) {
    return entry.first.find("sxreg\\empty") != std::string::npos || entry.first.find("gone") != std::string::npos;
  });
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(RegistryItems, PluginsVetoItemsAndChangeVariablesBeforeTheWrite) {
  WriteVariable(items.database.get(), "Target", "first");
  AddReg(*component, kKey, "value", "%Target%");
  AddReg(*component, kKey, "vetoed", "x");
  std::vector<std::string> offered;
  items.beforeItem = [&](const void* record) {
    auto* item = static_cast<const SxRegistryItem*>(record);
    offered.push_back(std::string(item->Name) + "=" + item->Value);
    WriteVariable(items.database.get(), "Target", "second");
    items.eventReplies[{12, 1}] = offered.size() == 2 ? 1 : 0;
  };
  ASSERT_TRUE(Install());
  EXPECT_EQ(offered, (std::vector<std::string>{"value=first", "vetoed=x"}));
  EXPECT_EQ(RegReadString(kKey, "value", "?"), "second");
  EXPECT_FALSE(RegValueExists(kKey, "vetoed"));
  EXPECT_EQ(items.CallsStartingWith("event 13"), (std::vector<std::string>{"event 13 kind 1 all"}));
}

TEST_F(RegistryItems, AFailedWriteStopsThePhaseWithItsMessageAndLeavesNoUnrecordedKey) {
  AddReg(*component, std::string(kKey) + "\\New", "a", "1");
  AddReg(*component, kKey, "after", "2");
  const MachineSnapshot before = Snapshot();
  faults.mutations = 0;
  faults.failAt = 2;  // the second key ForceRegKeys makes
  EXPECT_FALSE(Install());
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Error changing registry data. style 16"}));
  EXPECT_FALSE(RegValueExists(kKey, "after"));
  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

}  // namespace
}  // namespace sx::test
