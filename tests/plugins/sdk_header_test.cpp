// The plug-in SDK header: C and C++ see one layout, slots are pointer-sized, the message list is
// the engine's.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "plugins/msg_store.h"
#include "plugins/sxplugin.h"
#include "tests/plugins/sdk_layout.h"

extern "C" {
extern const size_t sx_c_layout[];
extern const size_t sx_c_layout_count;
extern const int sx_c_messages[];
extern const size_t sx_c_message_count;
}

namespace sx {
namespace {

TEST(SdkHeader, CAndCppCompilersAgreeOnEveryRecordLayout) {
  const std::vector<size_t> cpp = {SX_LAYOUT_OF_RECORDS};
  ASSERT_EQ(sx_c_layout_count, cpp.size());
  for (size_t i = 0; i < cpp.size(); ++i) EXPECT_EQ(sx_c_layout[i], cpp[i]) << "entry " << i;
}

TEST(SdkHeader, SlotsArePointerSizedAndRecordsPacked) {
  constexpr size_t slot = sizeof(void*);
  EXPECT_EQ(sizeof(intptr_t), slot);
  // The 32-bit interface with every 4-byte slot widened to a pointer: 5162 + 4 widened slots.
  EXPECT_EQ(sizeof(SxPluginInfo), 5162 + 4 * (slot - 4));
  EXPECT_EQ(offsetof(SxPluginInfo, ID), 3 * slot);
  EXPECT_EQ(offsetof(SxPluginInfo, Reserved), 3 * slot + 522);
  EXPECT_EQ(sizeof(SxStartupInfo), 285 + 6 * (slot - 4));
  EXPECT_EQ(sizeof(SxFileItem), 5 * slot);
  EXPECT_EQ(sizeof(SxShortcutItem), 10 * slot);
  EXPECT_EQ(sizeof(SxRegisterItem), 2 * slot);
  EXPECT_EQ(sizeof(SxRunAppItem), 6 * slot);
  EXPECT_EQ(sizeof(SxFunctionCall), 5 * slot);
  EXPECT_EQ(sizeof(SxFeatureRecord), 6 * slot);
  EXPECT_EQ(sizeof(SxInstallTypeRecord), 5 * slot);
  EXPECT_EQ(sizeof(SxLanguageRecord), 3 * slot);
  EXPECT_EQ(sizeof(SxParamRequest), 3 * slot);
}

TEST(SdkHeader, MessageListHoldsTheFiftyNumbersOfTheInterface) {
  ASSERT_EQ(sx_c_message_count, static_cast<size_t>(SX_MESSAGE_COUNT));
  for (size_t i = 0; i < 23; ++i) EXPECT_EQ(sx_c_messages[i], static_cast<int>(i + 1));
  for (size_t i = 23; i < 50; ++i) EXPECT_EQ(sx_c_messages[i], static_cast<int>(256 + i - 23));
  EXPECT_EQ(EV_CALCFUNCTION, 21);
  EXPECT_EQ(CM_GETINSTALLICON, 280);
  EXPECT_EQ(SX_STAGE_OF(SX_STAGE_PARAM(SX_STAGE_RUNAPPS)), 6);
  EXPECT_EQ(SX_STAGE_PARAM(SX_STAGE_REGISTRY), 0x10000);
}

TEST(MessageTable, StartsWithTheFiftyNamesOfTheInterface) {
  TMsgStore messages;
  EXPECT_EQ(messages.Count(), 50);
  EXPECT_EQ(messages.FindMessage("EV_SETSTARTUPINFO"), 1);
  EXPECT_EQ(messages.FindMessage("EV_ABORTINSTALL"), 23);
  EXPECT_EQ(messages.FindMessage("CM_ABORTINSTALL"), 256);
  EXPECT_EQ(messages.FindMessage("CM_CALCACTIONS"), 282);
  EXPECT_STREQ(messages.MessageName(14), "EV_PROCESSITEM");
  EXPECT_STREQ(messages.MessageName(277), "CM_ALLOCMEM");
}

TEST(MessageTable, UnknownNamesAndNumbersGiveNothing) {
  TMsgStore messages;
  EXPECT_EQ(messages.FindMessage("CM_GETACTIVEWINDOW"), 0);
  EXPECT_EQ(messages.FindMessage(""), 0);
  EXPECT_STREQ(messages.MessageName(0), "");
  EXPECT_STREQ(messages.MessageName(24), "");
  EXPECT_STREQ(messages.MessageName(283), "");
  EXPECT_STREQ(messages.MessageName(4096), "");
  EXPECT_EQ(messages.RegisterMessage(""), 0);
  EXPECT_EQ(messages.Count(), 50);
}

TEST(MessageTable, RegisteredNamesCountUpFrom4096IgnoringLetterCase) {
  TMsgStore messages;
  EXPECT_EQ(messages.RegisterMessage("CM_GETACTIVEWINDOW"), 4096);
  EXPECT_EQ(messages.RegisterMessage("MyMessage"), 4097);
  EXPECT_EQ(messages.RegisterMessage("cm_getactivewindow"), 4096);
  EXPECT_EQ(messages.RegisterMessage("ev_load"), EV_LOAD);
  EXPECT_EQ(messages.FindMessage("MYMESSAGE"), 4097);
  EXPECT_STREQ(messages.MessageName(4097), "MyMessage");  // the first spelling stays
  const char* name = messages.MessageName(4096);
  for (int i = 0; i < 1000; ++i) messages.RegisterMessage("X" + std::to_string(i));
  EXPECT_STREQ(name, "CM_GETACTIVEWINDOW");  // names handed out stay valid
  EXPECT_EQ(messages.FindMessage("X999"), 4098 + 999);
}

}  // namespace
}  // namespace sx
