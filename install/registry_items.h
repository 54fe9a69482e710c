// The registry phase: the registry items of one component, applied in the project's order.
#pragma once

namespace sx {

class TXMLObject;
class TsxComponent;

// Adds or removes every registry value of the component whose condition holds, with the plug-in
// events of kind 1, recording what it adds (TInstallRegKey for every key it makes, TInstallReg
// for every value it writes, with the overwritten value captured byte for byte). Texts are
// expanded in `container` (the component's package or the project). False, after the message
// "Error changing registry data.", when a write failed; the items after it are not applied.
bool InstallRegistryItems(TXMLObject* container, TsxComponent& component);

}  // namespace sx
