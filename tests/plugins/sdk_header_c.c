/* The plug-in SDK header compiled as C: the record layout and message numbers a C compiler
 * sees, for sdk_header_test.cpp to compare with what C++ sees. The build also compiles this
 * file for 32 bits, where the header's assertions check the layout of the 32-bit interface. */
#include <stddef.h>

#include "plugins/sxplugin.h"
#include "tests/plugins/sdk_layout.h"

const size_t sx_c_layout[] = {SX_LAYOUT_OF_RECORDS};
const size_t sx_c_layout_count = sizeof sx_c_layout / sizeof sx_c_layout[0];

#define SX_C_MESSAGE_NUMBER(name, number) name,
const int sx_c_messages[] = {SX_MESSAGE_LIST(SX_C_MESSAGE_NUMBER)};
const size_t sx_c_message_count = sizeof sx_c_messages / sizeof sx_c_messages[0];
