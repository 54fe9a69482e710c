/* The sizes and offsets of the SDK records, as one list that the C and the C++ side of
 * sdk_header_test.cpp both evaluate (C and C++ compilers must agree on the packed layout). */
#ifndef SX_TESTS_SDK_LAYOUT_H
#define SX_TESTS_SDK_LAYOUT_H

#include <stddef.h>

#include "plugins/sxplugin.h"

#define SX_LAYOUT_OF_RECORDS                                                                   \
  sizeof(SxPluginInfo), offsetof(SxPluginInfo, RequiredVersion), offsetof(SxPluginInfo, ID),   \
      offsetof(SxPluginInfo, Description), offsetof(SxPluginInfo, Reserved),                   \
      offsetof(SxPluginInfo, EventHandler), sizeof(SxStartupInfo),                             \
      offsetof(SxStartupInfo, PluginNumber), offsetof(SxStartupInfo, ConfigFile),              \
      offsetof(SxStartupInfo, SendCommandByName), sizeof(SxFileItem), sizeof(SxRegistryItem),  \
      sizeof(SxIniItem), sizeof(SxShortcutItem), offsetof(SxShortcutItem, Action),             \
      sizeof(SxRegisterItem), sizeof(SxRunAppItem), sizeof(SxFunctionCall),                    \
      offsetof(SxFunctionCall, Context), sizeof(SxLanguageRecord), sizeof(SxFeatureRecord),    \
      offsetof(SxFeatureRecord, ParentID), sizeof(SxInstallTypeRecord),                        \
      offsetof(SxInstallTypeRecord, NextID), sizeof(SxParamRequest)

#endif
