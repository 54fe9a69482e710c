// The copy thread and its cooperative suspension.
#include "install/copy_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "util/message_queue.h"

namespace sx {
namespace {

std::mutex suspendMutex;
std::condition_variable suspendChanged;
bool suspended = false;

}  // namespace

void SuspendInstallThread() {
  std::lock_guard lock(suspendMutex);
  suspended = true;
}

void ResumeInstallThread() {
  {
    std::lock_guard lock(suspendMutex);
    suspended = false;
  }
  suspendChanged.notify_all();
}

bool InstallThreadSuspended() {
  std::lock_guard lock(suspendMutex);
  return suspended;
}

void WaitWhileSuspended(const std::function<bool()>& aborted) {
  std::unique_lock lock(suspendMutex);
  while (suspended) {
    // The abort flag belongs to the engine and has no condition variable of its own: look at it
    // now and then without holding the lock.
    lock.unlock();
    if (aborted && aborted()) return;
    lock.lock();
    suspendChanged.wait_for(lock, std::chrono::milliseconds(5), [] { return !suspended; });
  }
}

bool RunOnCopyThread(const std::function<bool()>& body) {
  SetMainThread();
  std::atomic<bool> finished{false};
  bool result = false;
  std::exception_ptr error;
  std::thread thread([&] {
    try {
      result = body();
    } catch (...) {
      error = std::current_exception();
      result = false;
    }
    // Events the body posted are delivered before the main thread goes on: nothing it sends
    // afterwards may overtake them.
    try {
      WaitForPostedTasks();
    } catch (...) {
      if (!error) error = std::current_exception();
      result = false;
    }
    finished.store(true, std::memory_order_release);
  });
  while (!finished.load(std::memory_order_acquire)) PumpMessages();
  thread.join();
  ResumeInstallThread();
  if (error) std::rethrow_exception(error);
  return result;
}

}  // namespace sx
