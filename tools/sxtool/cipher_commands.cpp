// sxtool hash, password-hash, decipher, pdb: the engine's digest and cipher on the command line.
// They work on host files and need no machine.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "packages/haval.h"
#include "packages/password.h"
#include "packages/pdb_file.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/local_files.h"

namespace sx::tool {
namespace {

int WriteOut(const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? 0 : 1;
}

int Usage(FILE* out, const char* text) {
  std::fputs(text, out);
  return out == stdout ? 0 : 2;
}

constexpr char kHashHelp[] =
    "usage: sxtool hash TEXT\n"
    "  print the engine's HAVAL-256/5 digest of TEXT's bytes as 64 upper-case hex digits\n";
constexpr char kPasswordHashHelp[] =
    "usage: sxtool password-hash PASSWORD\n"
    "  print the PswCheckHash value that makes PASSWORD the project's installation password\n";
constexpr char kDecipherHelp[] =
    "usage: sxtool decipher --key TEXT FILE\n"
    "  decipher FILE (\"-\": standard input) with the key text TEXT and write the plain bytes\n"
    "  to standard output (GOST-CBC under the digest of TEXT, as the engine deciphers)\n";
constexpr char kPdbHelp[] =
    "usage: sxtool pdb decode FILE\n"
    "       sxtool pdb encode FILE\n"
    "  decode: write the XML text of the project database file FILE (main.pdb, db.pdb)\n"
    "  encode: write FILE (an XML text) enciphered as a project database file\n"
    "  FILE \"-\" is standard input; the result goes to standard output\n";

}  // namespace

int HashCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout, kHashHelp);
  if (args.size() != 1) return Usage(stderr, kHashHelp);
  std::printf("%s\n", HexDigest(args[0]).c_str());
  return 0;
}

int PasswordHashCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout, kPasswordHashHelp);
  if (args.size() != 1) return Usage(stderr, kPasswordHashHelp);
  std::printf("%s\n", PasswordCheckHash(args[0]).c_str());
  return 0;
}

int DecipherCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout, kDecipherHelp);
  if (args.size() != 3 || args[0] != "--key") return Usage(stderr, kDecipherHelp);
  std::string problem;
  auto bytes = ReadLocalFile(args[2], &problem);
  if (!bytes) {
    std::fprintf(stderr, "sxtool decipher: %s\n", CannotReadMessage(args[2], problem).c_str());
    return 1;
  }
  return WriteOut(DecipherText(*bytes, args[1]));
}

int PdbCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout, kPdbHelp);
  if (args.size() != 2 || (args[0] != "decode" && args[0] != "encode"))
    return Usage(stderr, kPdbHelp);
  std::string problem;
  auto bytes = ReadLocalFile(args[1], &problem);
  if (!bytes) {
    std::fprintf(stderr, "sxtool pdb: %s\n", CannotReadMessage(args[1], problem).c_str());
    return 1;
  }
  return WriteOut(args[0] == "decode" ? DecodePdb(*bytes) : EncodePdb(*bytes));
}

}  // namespace sx::tool
