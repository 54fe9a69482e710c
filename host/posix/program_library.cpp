#include "host/posix/program_library.h"

#include <elf.h>

#include <cstring>
#include <fstream>

#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

class ProgramLibrary final : public Library {
 public:
  void* Symbol(const std::string&) override {
    Fail(kErrorProcNotFound);
    return nullptr;
  }
};

// Whether the ELF file's program headers include PT_INTERP, which programs have and libraries
// loaded with dlopen do not need.
template <class Header, class ProgramHeader>
bool HasInterpreter(std::ifstream& in) {
  Header header;
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header)) return false;
  if (header.e_phentsize != sizeof(ProgramHeader)) return false;
  for (unsigned i = 0; i < header.e_phnum && i < 4096; ++i) {
    ProgramHeader program;
    in.seekg(static_cast<std::streamoff>(header.e_phoff + i * sizeof program));
    if (!in.read(reinterpret_cast<char*>(&program), sizeof program)) return false;
    if (program.p_type == PT_INTERP) return true;
  }
  return false;
}

}  // namespace

bool IsStartableProgramFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  char head[EI_NIDENT] = {};
  if (!in.read(head, 2)) return false;
  if (head[0] == '#' && head[1] == '!') return true;
  if (!in.read(head + 2, EI_NIDENT - 2) || std::memcmp(head, ELFMAG, SELFMAG) != 0) return false;
  if (head[EI_CLASS] == ELFCLASS64) return HasInterpreter<Elf64_Ehdr, Elf64_Phdr>(in);
  if (head[EI_CLASS] == ELFCLASS32) return HasInterpreter<Elf32_Ehdr, Elf32_Phdr>(in);
  return false;
}

std::unique_ptr<Library> MakeProgramLibrary() { return std::make_unique<ProgramLibrary>(); }

}  // namespace sx::host
