// The shortcut phase: the shortcuts of one component, written as shell links.
#pragma once

namespace sx {

class TXMLObject;
class TsxComponent;

// Adds or removes the link (Name + ".lnk") of every shortcut of the component whose condition
// holds, with the plug-in events of kind 3. The link's folders are recorded, an existing link is
// backed up by a file action that is never logged, and every link written is recorded as a
// TInstallShortcut. A link that cannot be backed up or written shows "Error creating shortcut
// "<link>"." and leaves any existing link as it was; the phase goes on and always succeeds.
bool InstallShortcutItems(TXMLObject* container, TsxComponent& component);

}  // namespace sx
