// The per-thread Windows error code of the POSIX host (GetLastError).
#pragma once

#include <cstdint>

namespace sx::host {

uint32_t& ThreadError();

// Sets the error and returns false, for the common "fail with code" return.
inline bool Fail(uint32_t code) {
  ThreadError() = code;
  return false;
}

// The Windows error code closest to an errno value.
uint32_t WinErrorFromErrno(int err);

}  // namespace sx::host
