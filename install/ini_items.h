// The INI phase: the INI entries of one component, applied in the project's order and written to
// their files at the component's end.
#pragma once

namespace sx {

class TXMLObject;
class TsxComponent;

// Adds or removes every INI entry of the component whose condition holds, with the plug-in
// events of kind 2. The first change of a file backs the whole file up (a TInstallFile action,
// so rollback restores or removes it as a whole); every added entry is recorded as a TInstallIni.
// File names are taken as the INI cache takes them (a bare name is in the Windows folder). At the
// end, and on failure, every cached INI document is written. False, after the message
// "Error changing ini-file "<file>".", when a file could not be backed up or written.
bool InstallIniItems(TXMLObject* container, TsxComponent& component);

}  // namespace sx
