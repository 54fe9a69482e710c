// Questions about the machine that only the function library asks.
#pragma once

#include <string_view>

namespace sx {

// Whether an in-process COM object of the class could be created with the interface: the class
// is registered in HKEY_CLASSES_ROOT\CLSID\<class>\InprocServer32 and its server library exists
// (a bare file name is looked for in the system folder, then the Windows folder; environment
// references of an expandable value are expanded). The machine runs no COM, so whether the
// object answers the interface is not asked: a registered, present server is taken to.
bool ComClassAvailable(std::string_view classId, std::string_view interfaceId);

}  // namespace sx
