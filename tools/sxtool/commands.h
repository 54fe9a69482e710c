// The sub-commands of sxtool. Each takes the arguments after its own name and returns the exit
// status; each answers --help.
#pragma once

#include <string>
#include <vector>

namespace sx::tool {

using Args = std::vector<std::string>;

// Exit statuses of the commands.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kBadUsage = 2;

int MachineCommand(const Args& args);  // machine init|reboot|shutdown
int MachineShutdown();                 // machine shutdown (machine_shutdown_command.cpp)
int RegCommand(const Args& args);      // reg query|add|delete
int XmlCommand(const Args& args);      // xml format|check FILE|-
int DbCommand(const Args& args);       // db format FILE
int HashCommand(const Args& args);          // hash TEXT
int PasswordHashCommand(const Args& args);  // password-hash PASSWORD
int DecipherCommand(const Args& args);      // decipher --key TEXT FILE
int EncipherCommand(const Args& args);      // encipher --password PASSWORD FILE
int PdbCommand(const Args& args);           // pdb decode|encode FILE
int PackageCommand(const Args& args);       // package info|extract FILE ...
int PluginCommand(const Args& args);        // plugin info FILE
int EvalCommand(const Args& args);          // eval [--project FILE] EXPR
int ExpandCommand(const Args& args);        // expand [--project FILE] [--package ID] TEXT
int FeaturesCommand(const Args& args);
int AttribCommand(const Args& args);        // attrib [/s] PATH      // features --project FILE [--select ID]...

// True when the arguments ask for help ("--help", "-h", "/?").
bool WantsHelp(const Args& args);

}  // namespace sx::tool
