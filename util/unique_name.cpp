#include "util/unique_name.h"

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
  auto& host = host::CurrentHost();
  std::string folder(folderIn);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  std::string prefix(keep8 ? prefixIn.substr(0, 4) : prefixIn);
  for (;;) {
    host::SystemTime now = host.LocalTimeNow();
    int decade = now.year % 10;
    int day = decade * 365 + decade / 4 + DayOfYear(now);
    int hundredths = now.hour * 360000 + now.minute * 6000 + now.second * 100 + now.milliseconds / 10;
    std::string code = IntToBase(day, 3, 32) + IntToBase(hundredths, 5, 32);
    if (keep8) code.erase(0, prefix.size());
    std::string name = prefix + code + std::string(suffix);
    if (!host.GetFileInfo(folder + name)) return name;
    host.Sleep(1);  // the same hundredth of a second: wait for the clock to move on
  }
}

}  // namespace sx
