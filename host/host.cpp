#include "host/host.h"

#include <atomic>
#include <stdexcept>

namespace sx::host {
namespace {
std::atomic<Host*> g_current{nullptr};
std::atomic<uint64_t> g_generation{0};

constexpr uint64_t kTicksPerSecond = 10'000'000ULL;
constexpr uint64_t kTicksPerDay = 86'400ULL * kTicksPerSecond;

// Days from 1601-01-01 to year-month-day (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t daysSince1970 = era * 146097 + static_cast<int64_t>(doe) - 719468;
  return daysSince1970 + 134774;  // 1601-01-01 .. 1970-01-01
}
}  // namespace

Host& CurrentHost() {
  Host* host = g_current.load();
  if (!host) throw std::logic_error("no host has been installed");
  return *host;
}

Host* SetCurrentHost(Host* host) {
  ++g_generation;
  return g_current.exchange(host);
}

uint64_t CurrentHostGeneration() { return g_generation.load(); }

namespace {
thread_local intptr_t t_nextBoxOwner = 0;
}  // namespace

void SetNextBoxOwner(intptr_t owner) { t_nextBoxOwner = owner; }

intptr_t TakeNextBoxOwner() {
  const intptr_t owner = t_nextBoxOwner;
  t_nextBoxOwner = 0;
  return owner;
}

SystemTime FileTimeToSystemTime(FileTime time) {
  SystemTime st;
  int64_t days = static_cast<int64_t>(time.ticks / kTicksPerDay);
  uint64_t rest = time.ticks % kTicksPerDay;
  st.milliseconds = static_cast<uint16_t>((rest / 10'000) % 1000);
  uint64_t seconds = rest / kTicksPerSecond;
  st.second = static_cast<uint16_t>(seconds % 60);
  st.minute = static_cast<uint16_t>((seconds / 60) % 60);
  st.hour = static_cast<uint16_t>(seconds / 3600);
  st.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  int64_t z = days - 134774 + 719468;                    // civil-from-days, epoch 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  st.year = static_cast<uint16_t>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
  st.month = static_cast<uint16_t>(m);
  st.day = static_cast<uint16_t>(d);
  return st;
}

FileTime SystemTimeToFileTime(const SystemTime& st) {
  int64_t days = DaysFromCivil(st.year, st.month, st.day);
  if (days < 0) return FileTime{0};
  uint64_t ticks = static_cast<uint64_t>(days) * kTicksPerDay;
  ticks += (static_cast<uint64_t>(st.hour) * 3600 + st.minute * 60ULL + st.second) * kTicksPerSecond;
  ticks += static_cast<uint64_t>(st.milliseconds) * 10'000;
  return FileTime{ticks};
}

uint32_t FileTimeToDosDateTime(FileTime local) {
  SystemTime st = FileTimeToSystemTime(local);
  if (st.year < 1980 || st.year > 2107) return 0;
  uint32_t date = (static_cast<uint32_t>(st.year - 1980) << 9) | (st.month << 5) | st.day;
  uint32_t time = (static_cast<uint32_t>(st.hour) << 11) | (st.minute << 5) | (st.second / 2);
  return (date << 16) | time;
}

}  // namespace sx::host
