/* Small plug-ins written in C, one per way of failing the engine's acceptance checks. One
 * source, built once per variant (tests/CMakeLists.txt):
 *   SX_VARIANT_NO_INFO           exports no GetPluginInfo
 *   SX_VARIANT_NEWER_ENGINE      asks for engine version 0x00030401
 *   SX_VARIANT_RESERVED_SET      sets the reserved byte of its SxPluginInfo
 *   SX_VARIANT_NO_HANDLER        names no event handler
 *   SX_VARIANT_UNTERMINATED_ID   fills the whole ID field (261 'L') without a NUL, with text right
 *                                behind it in the next field; accepted as 260 'L' by a careful host
 * Without a variant it is a plain C plug-in with the ID "c-plugin" that accepts every event and
 * answers EV_CALCFUNCTION with a text of its own memory.
 * Every variant but SX_VARIANT_UNTERMINATED_ID uses the ID "refused", so that only the check
 * itself can turn it away. SxEventsSeen() counts the events its handler received. */
#include <string.h>

#include "plugins/sxplugin.h"

static int g_events = 0;

SX_PLUGIN_EXPORT int SxEventsSeen(void) { return g_events; }

static intptr_t SX_STDCALL Handler(int32_t number, const char* name, intptr_t param1,
                                   intptr_t param2) {
  static const char kAnswer[] = "from C";
  (void)name;
  (void)param1;
  (void)param2;
  ++g_events;
  /* A function's answer in the plug-in's own memory, not in a block of the engine. */
  return number == EV_CALCFUNCTION ? (intptr_t)kAnswer : 0;
}

#if !defined(SX_VARIANT_NO_INFO)
SX_PLUGIN_EXPORT void SX_STDCALL GetPluginInfo(SxPluginInfo* info) {
  info->RequiredVersion = SX_ENGINE_VERSION;
  info->EventHandler = Handler;
#if defined(SX_VARIANT_UNTERMINATED_ID)
  memset(info->ID, 'L', sizeof info->ID);
  strcpy(info->Description, "tail");
#elif defined(SX_VARIANT_NEWER_ENGINE) || defined(SX_VARIANT_RESERVED_SET) || \
    defined(SX_VARIANT_NO_HANDLER)
  strcpy(info->ID, "refused");
#else
  strcpy(info->ID, "c-plugin");
#endif
#if defined(SX_VARIANT_NEWER_ENGINE)
  info->RequiredVersion = SX_ENGINE_VERSION + 1;
#elif defined(SX_VARIANT_RESERVED_SET)
  info->Reserved = 1;
#elif defined(SX_VARIANT_NO_HANDLER)
  info->EventHandler = 0;
#endif
}
#else
SX_PLUGIN_EXPORT intptr_t SX_STDCALL EventHandler(int32_t number, const char* name,
                                                  intptr_t param1, intptr_t param2) {
  return Handler(number, name, param1, param2);
}
#endif
