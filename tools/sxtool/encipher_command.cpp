// sxtool encipher: makes the enciphered copy of a file that a project installs with the flags
// "external,encrypt", so that it travels beside the setup and is readable only with the
// installation password.
#include <cstdio>
#include <string>

#include "packages/password.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"

namespace sx::tool {
namespace {

constexpr char kEncipherHelp[] =
    "usage: sxtool encipher --password PASSWORD FILE\n"
    "  encipher FILE (\"-\": standard input) as the engine expects an external file flagged\n"
    "  \"encrypt\" (GOST-CBC under the digest of PASSWORD, one chain for the whole file) and\n"
    "  write the bytes to standard output; \"sxtool decipher --key PASSWORD\" reverses it\n";

}  // namespace

int EncipherCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kEncipherHelp, stdout);
    return kOk;
  }
  if (args.size() != 3 || args[0] != "--password") {
    std::fputs(kEncipherHelp, stderr);
    return kBadUsage;
  }
  auto bytes = ReadLocalFile(args[2]);
  if (!bytes) {
    std::fprintf(stderr, "sxtool encipher: cannot read \"%s\"\n", args[2].c_str());
    return kFailed;
  }
  const std::string enciphered = EncipherText(*bytes, args[1]);
  return std::fwrite(enciphered.data(), 1, enciphered.size(), stdout) == enciphered.size() ? kOk : kFailed;
}

}  // namespace sx::tool
