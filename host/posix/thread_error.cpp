#include "host/posix/thread_error.h"

#include <cerrno>

#include "host/host.h"

namespace sx::host {

uint32_t& ThreadError() {
  thread_local uint32_t error = 0;
  return error;
}

uint32_t WinErrorFromErrno(int err) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EXDEV: return kErrorNotSameDevice;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EBADF: return kErrorInvalidHandle;
    case EINVAL: return kErrorInvalidParameter;
    case EWOULDBLOCK: return kErrorSharingViolation;
    case ENOEXEC: return kErrorBadExeFormat;
    case EIO: return kErrorWriteFault;
    default: return kErrorInvalidFunction;
  }
}

}  // namespace sx::host
