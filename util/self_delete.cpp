#include "util/self_delete.h"

#include <string>
#include <vector>

#include "host/host.h"
#include "util/str_utils.h"
#include "util/unique_name.h"

namespace sx {

bool StartSelfDeletingBatch(std::string_view programPathIn, const std::vector<std::string>& folders) {
  auto& host = host::CurrentHost();
  const std::string program = host.FullPath(programPathIn);
  std::string outermost =
      folders.empty() ? program.substr(0, program.find_last_of('\\')) : host.FullPath(folders.back());
  while (outermost.size() > 1 && outermost.back() == '\\') outermost.pop_back();
  std::string parent = outermost.substr(0, outermost.find_last_of('\\') + 1);  // with '\'
  if (parent.empty()) parent = outermost + "\\";
  const std::string batch = parent + MakeUniqueName(parent, "", ".bat", true);

  std::string lines = ":try\r\n";
  lines += ToOem("del \"" + program + "\"") + "\r\n";
  lines += ToOem("if exist \"" + program + "\" goto try") + "\r\n";
  for (std::string folder : folders) {
    folder = host.FullPath(folder);
    while (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
    lines += ToOem("rd \"" + folder + "\"") + "\r\n";
  }
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
