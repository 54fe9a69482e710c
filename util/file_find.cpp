#include "util/file_find.h"

namespace sx {
namespace {

constexpr uint32_t kAnyAttributes = 63;

bool Accepts(const TSearchRecEx& r, const host::FindEntry& e) {
  if (e.name == "." || e.name == "..") return false;
  uint32_t attributes = e.info.attributes;
  return (r.IncludeAttr == kAnyAttributes || (r.IncludeAttr & attributes)) &&
         !(r.ExcludeAttr & attributes);
}

}  // namespace

uint32_t FindNextMatch(TSearchRecEx& r) {
  if (!r.Handle) return host::kErrorInvalidHandle;
  auto& host = host::CurrentHost();
  while (r.Next < r.Handle->size()) {
    const host::FindEntry& e = (*r.Handle)[r.Next++];
    if (!Accepts(r, e)) continue;
    r.Name = e.name;
    r.FullName = r.Folder + e.name;
    r.Attr = e.info.attributes;
    r.Size = static_cast<uint32_t>(e.info.size);
    r.Time = host::FileTimeToDosDateTime(host.UtcToLocal(e.info.lastWriteTime));
    return 0;
  }
  return host::kErrorNoMoreFiles;
}

uint32_t FindFirstMatch(std::string_view mask, uint32_t includeAttr, uint32_t excludeAttr,
                        TSearchRecEx& r) {
  auto& host = host::CurrentHost();
  r.IncludeAttr = includeAttr == 0 ? kAnyAttributes : includeAttr;
  r.ExcludeAttr = excludeAttr;
  size_t slash = mask.find_last_of("\\:");
  r.Folder = slash == std::string_view::npos ? std::string() : std::string(mask.substr(0, slash + 1));
  r.Next = 0;
  auto listing = host.FindFiles(mask);
  if (!listing || listing->empty()) {
    r.Handle.reset();
    return listing ? host::kErrorFileNotFound : host::kErrorPathNotFound;
  }
  r.Handle = std::make_shared<std::vector<host::FindEntry>>(std::move(*listing));
  uint32_t result = FindNextMatch(r);
  if (result != 0) FindCloseMatch(r);
  return result;
}

void FindCloseMatch(TSearchRecEx& r) {
  r.Handle.reset();
  r.Next = 0;
}

}  // namespace sx
