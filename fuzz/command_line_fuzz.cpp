// The engine's command line: the parameters (separated by NUL bytes in the input) searched for
// every switch the engine knows and their values read, and the whole input split as a Windows
// command line (the resume entry and the programs a setup starts are read that way).
#include <vector>

#include "engine/switches.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "util/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();  // switch names compare by the machine's case rules
  const std::string_view text = sx::fuzz::AsText(data, size);
  std::vector<std::string> params;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\0', start);
    if (end == std::string_view::npos) end = text.size();
    params.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  // The switches RunProgram looks for, with the offsets at which it reads their values.
  if (auto resume = sx::FindSwitch(params, "resume:*")) sx::SwitchValue(*resume, 9);
  if (auto exename = sx::FindSwitch(params, "exename:*")) sx::SwitchValue(*exename, 10);
  sx::FindSwitch(params, "repair");
  sx::FindSwitch(params, "s");
  // Any parameter, read from any offset, stays within the parameter.
  for (const std::string& param : params)
    for (size_t offset = 0; offset <= param.size() + 1 && offset < 64; ++offset)
      sx::fuzz::Require(sx::SwitchValue(param, offset).size() <= param.size(),
                        "a switch value longer than its parameter");

  const sx::CommandLineParts parts = sx::SplitCommandLine(text);
  sx::fuzz::Require(parts.program.size() <= text.size(), "a program longer than the command line");
  // The parameters, split again, are the same arguments: the joined form keeps them apart.
  const sx::CommandLineParts again = sx::SplitCommandLine("x " + parts.parameters);
  sx::fuzz::Require(again.parameters == parts.parameters, "the joined parameters split differently");
  return 0;
}
