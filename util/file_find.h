// A file search with include and exclude attribute filters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace sx {

struct TSearchRecEx {
  uint32_t Time = 0;  // last-write time, local, DOS date (high word) and time (low word)
  uint32_t Size = 0;  // low 32 bits of the size
  uint32_t Attr = 0;
  std::string Folder;  // the folder part of the mask, with its trailing '\'
  std::string Name;
  std::string FullName;  // Folder + Name
  uint32_t IncludeAttr = 0;  // 0 at the start means any (63)
  uint32_t ExcludeAttr = 0;
  // The running search: the folder's listing and the next entry to look at.
  std::shared_ptr<std::vector<host::FindEntry>> Handle;
  size_t Next = 0;
};

// 0 when a match was found, else the Windows error code (2 nothing matches, 3 no such folder,
// 18 no more files).
uint32_t FindFirstMatch(std::string_view mask, uint32_t includeAttr, uint32_t excludeAttr,
                        TSearchRecEx& record);
uint32_t FindNextMatch(TSearchRecEx& record);
void FindCloseMatch(TSearchRecEx& record);

}  // namespace sx
