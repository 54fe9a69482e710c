#include "util/unique_name.h"

#include <atomic>
#include <cstdint>

#include "host/host.h"
#include "util/number_text.h"

namespace sx {
namespace {

int DayOfYear(const host::SystemTime& t) {
  static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  return kBefore[(t.month - 1) % 12] + t.day + (leap && t.month > 2 ? 1 : 0);
}

}  // namespace

std::string MakeUniqueName(std::string_view folderIn, std::string_view prefixIn,
                           std::string_view suffix, bool keep8) {
  constexpr std::int64_t kHundredthsPerDay = 8'640'000;
  // The last moment a name was drawn for: a name taken within the same hundredth of a second
  // moves on to the next hundredth at once instead of waiting for the clock, so that thousands of
  // backups in a row cost no time.
  static std::atomic<std::int64_t> lastMoment{-1};
  auto& host = host::CurrentHost();
  std::string folder(folderIn);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  std::string prefix(keep8 ? prefixIn.substr(0, 4) : prefixIn);
  const host::SystemTime now = host.LocalTimeNow();
  const int decade = now.year % 10;
  const std::int64_t day = decade * 365 + decade / 4 + DayOfYear(now);
  std::int64_t moment = day * kHundredthsPerDay + now.hour * 360000 + now.minute * 6000 +
                        now.second * 100 + now.milliseconds / 10;
  for (;;) {
    std::int64_t last = lastMoment.load();
    if (moment <= last) moment = last + 1;
    if (!lastMoment.compare_exchange_weak(last, moment)) continue;
    std::string code = IntToBase(static_cast<int>(moment / kHundredthsPerDay), 3, 32) +
                       IntToBase(static_cast<int>(moment % kHundredthsPerDay), 5, 32);
    if (keep8) code.erase(0, prefix.size());
    std::string name = prefix + code + std::string(suffix);
    if (!host.GetFileInfo(folder + name)) return name;
  }
}

}  // namespace sx
