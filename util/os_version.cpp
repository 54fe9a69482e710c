#include "util/os_version.h"

#include <cstdio>
#include <mutex>

#include "host/host.h"
#include "util/str_utils.h"

namespace sx {
namespace {

const char* const kShortNames[] = {"32s", "95", "98", "NT", "2000", "Me", "XP"};

}  // namespace

TOSVersion GetOSVersion() {
  const auto& facts = host::CurrentHost().Facts();
  TOSVersion v;
  v.Major = facts.major;
  v.Minor = facts.minor;
  v.Build = facts.build;
  v.ServicePack = facts.servicePack;
  switch (facts.platform) {
    case host::OsPlatform::kWin32s:
      v.Kind = osWin32s;
      break;
    case host::OsPlatform::kWindows9x:
      v.Build &= 0xFFFF;
      v.Kind = osWin95;
      if (v.Major == 4 && v.Minor > 0) v.Kind = osWin98;
      if (v.Major > 4 || (v.Major == 4 && v.Minor >= 90)) v.Kind = osWinMe;
      break;
    case host::OsPlatform::kWindowsNT:
      v.Kind = osWinNT;
      if (v.Major > 4) v.Kind = v.Minor > 0 ? osWinXP : osWin2000;
      break;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, v.Minor != 0 ? "%u.%.2u" : "%u.%u", v.Major, v.Minor);
  v.VersionText = buffer;
  std::string name = std::string("Windows ") + kShortNames[v.Kind] + " " + v.VersionText + ".";
  std::snprintf(buffer, sizeof buffer, "%.4u", v.Build);
  v.Name = Trim(name + buffer + " " + v.ServicePack);
  return v;
}

const TOSVersion& OSVersion() {
  static std::mutex mutex;
  static uint64_t cachedFor = ~uint64_t{0};
  static TOSVersion cached;
  std::lock_guard lock(mutex);
  uint64_t generation = host::CurrentHostGeneration();
  if (generation != cachedFor) {
    cached = GetOSVersion();
    cachedFor = generation;
  }
  return cached;
}

bool IsWin9x() { return host::CurrentHost().Facts().platform == host::OsPlatform::kWindows9x; }

}  // namespace sx
