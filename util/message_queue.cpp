#include "util/message_queue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace sx {
namespace {

struct Message {
  const std::function<void()>* task = nullptr;  // nullptr: the quit message
  bool* done = nullptr;
  std::exception_ptr* error = nullptr;  // what the task raised, handed back to its sender
};

struct Queue {
  std::mutex mutex;
  std::condition_variable finished;
  std::condition_variable arrived;  // wakes a main thread that waits in PumpMessages
  std::deque<Message> messages;
  std::thread::id owner;
  bool ownerSet = false;
  std::function<void()> serveHook;
  bool inServeHook = false;  // the hook is not entered again from within itself
};

Queue& MainQueue() {
  static Queue queue;
  return queue;
}

void ClaimIfUnowned(Queue& q) {
  if (!q.ownerSet) {
    q.owner = std::this_thread::get_id();
    q.ownerSet = true;
  }
}

}  // namespace

void SetMainThread() {
  Queue& q = MainQueue();
  std::lock_guard lock(q.mutex);
  q.owner = std::this_thread::get_id();
  q.ownerSet = true;
}

bool IsMainThread() {
  Queue& q = MainQueue();
  std::lock_guard lock(q.mutex);
  ClaimIfUnowned(q);
  return q.owner == std::this_thread::get_id();
}

void SendToMainThread(const std::function<void()>& task) {
  if (IsMainThread()) {
    task();
    return;
  }
  Queue& q = MainQueue();
  bool done = false;
  std::exception_ptr error;
  {
    std::unique_lock lock(q.mutex);
    q.messages.push_back({&task, &done, &error});
    q.arrived.notify_one();
    q.finished.wait(lock, [&] { return done; });
  }
  if (error) std::rethrow_exception(error);
}

void PostQuitMessage() {
  Queue& q = MainQueue();
  std::lock_guard lock(q.mutex);
  q.messages.push_back({});
  q.arrived.notify_one();
}

void SetServeHook(std::function<void()> hook) {
  Queue& q = MainQueue();
  std::lock_guard lock(q.mutex);
  q.serveHook = std::move(hook);
}

void PumpMessages() {
  if (!IsMainThread()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return;
  }
  Queue& q = MainQueue();
  std::function<void()> hook;
  {
    std::lock_guard lock(q.mutex);
    if (!q.inServeHook) hook = q.serveHook;
    q.inServeHook = q.inServeHook || hook != nullptr;
  }
  if (hook) {
    struct Leave {
      Queue& q;
      ~Leave() {
        std::lock_guard lock(q.mutex);
        q.inServeHook = false;
      }
    } leave{q};
    hook();
  }
  bool ranAny = false;
  for (;;) {
    Message message;
    {
      std::lock_guard lock(q.mutex);
      if (q.messages.empty()) break;
      message = q.messages.front();
      q.messages.pop_front();
    }
    ranAny = true;
    if (!message.task) return;  // the quit message
    try {
      (*message.task)();
    } catch (...) {
      *message.error = std::current_exception();
    }
    {
      std::lock_guard lock(q.mutex);
      *message.done = true;
    }
    q.finished.notify_all();
  }
  if (!ranAny) {
    // Nothing waited: wait up to 1 ms for a message, waking at once when one arrives.
    std::unique_lock lock(q.mutex);
    q.arrived.wait_for(lock, std::chrono::milliseconds(1), [&] { return !q.messages.empty(); });
  }
}

}  // namespace sx
