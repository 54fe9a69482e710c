#include "util/self_delete.h"

#include <string>

#include "host/host.h"
#include "util/str_utils.h"
#include "util/unique_name.h"

namespace sx {

bool StartSelfDeletingBatch(std::string_view programPathIn, bool removeFolder) {
  auto& host = host::CurrentHost();
  const std::string program = host.FullPath(programPathIn);
  std::string folder = program.substr(0, program.find_last_of('\\'));  // without '\'
  std::string parent = folder.substr(0, folder.find_last_of('\\') + 1);  // with '\'
  if (parent.empty()) parent = folder + "\\";
  const std::string batch = parent + MakeUniqueName(parent, "", ".bat", true);

  std::string lines = ":try\r\n";
  lines += ToOem("del \"" + program + "\"") + "\r\n";
  lines += ToOem("if exist \"" + program + "\" goto try") + "\r\n";
  if (removeFolder) lines += ToOem("rd \"" + folder + "\"") + "\r\n";
  lines += ToOem("del \"" + batch + "\"") + "\r\n";
  {
    auto file = host.OpenFile(batch, {host::OpenMode::kCreateNew, false});
    if (!file || !file->Write(lines.data(), lines.size())) {
      file.reset();
      host.DeleteFile(batch);
      return false;
    }
  }
  constexpr int kHidden = 0;
  auto process = host.CreateProcess(batch, "\"" + batch + "\"", parent, kHidden);
  return process != nullptr;  // not waited for: it runs on after we have ended
}

}  // namespace sx
