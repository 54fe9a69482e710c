// The sub-commands of sxtool. Each takes the arguments after its own name and returns the exit
// status; each answers --help.
#pragma once

#include <string>
#include <vector>

namespace sx::tool {

using Args = std::vector<std::string>;

int MachineCommand(const Args& args);  // machine init|reboot|shutdown
int RegCommand(const Args& args);      // reg query|add|delete
int XmlCommand(const Args& args);      // xml format FILE|-
int DbCommand(const Args& args);       // db format FILE

// True when the arguments ask for help ("--help", "-h", "/?").
bool WantsHelp(const Args& args);

}  // namespace sx::tool
