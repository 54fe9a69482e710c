// The builder's check of %Name% references: a reference to a name that is neither a variable of
// the project (or of one of its packages, or set by SetVariable in one of its expressions) nor a
// variable the engine defines or a Windows computer has in its environment stays in the text as
// it is written when the engine expands it, so it is most likely a slip ("%Programs%" for
// "%ProgramsMenu%").
#pragma once

#include <string>
#include <vector>

namespace sx {
class TXMLTag;
}

namespace sx::build {

// One warning per unknown name and element, naming the element (with the id or name of it and
// of the elements around it) and the attribute: `<shortcut name="..."> in <component
// id="core">`. `projectVariables` are the names the project declares; case does not matter.
std::vector<std::string> UnknownVariableReferences(const TXMLTag& project,
                                                   const std::vector<std::string>& projectVariables);

}  // namespace sx::build
