// The end of the session on the POSIX host: the process is announced in the machine folder and
// answers the machine's shutdown through a local socket (session_channel.h).
#include "host/posix/posix_host_impl.h"

namespace sx::host {

bool PosixHost::AnnounceSession() {
  if (session_) return true;
  auto channel = std::make_unique<SessionChannel>(machineFolder_);
  if (!channel->Announced()) return false;
  session_ = std::move(channel);
  return true;
}

void PosixHost::WithdrawSession() { session_.reset(); }

void PosixHost::ServeSessionQueries(const std::function<bool()>& answer) {
  if (session_) session_->ServeQueries(answer);
}

}  // namespace sx::host
