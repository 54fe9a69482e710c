// Wine's registry file format: any text is read or refused with MachineError; a tree that was
// read is written, and the written text reads back to the same text.
#include "fuzz/fuzz_input.h"
#include "host/host.h"
#include "host/posix/wine_reg_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::host::HiveContent content;
  try {
    content = sx::host::ParseWineRegistry(sx::fuzz::AsText(data, size), "fuzz.reg");
  } catch (const sx::host::MachineError&) {
    return 0;
  }
  const std::string written = sx::host::FormatWineRegistry(content);
  sx::host::HiveContent again;
  try {
    again = sx::host::ParseWineRegistry(written, "fuzz.reg");
  } catch (const sx::host::MachineError&) {
    sx::fuzz::Require(false, "the reader refuses what the writer wrote");
  }
  sx::fuzz::Require(sx::host::FormatWineRegistry(again) == written,
                    "a written registry file reads back differently");
  return 0;
}
