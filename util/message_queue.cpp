#include "util/message_queue.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace sx {
namespace {

struct Message {
  const std::function<void()>* task = nullptr;  // nullptr: the quit message
  // Set once the task has run; then the queue's completion count moves on and wakes the senders.
  std::atomic<bool>* done = nullptr;
  std::exception_ptr* error = nullptr;  // what the task raised, handed back to its sender
};

struct Queue {
  std::mutex mutex;
  std::condition_variable arrived;  // wakes a main thread that waits in PumpMessages
  std::deque<Message> messages;
  // Counts the tasks run. A sender waits on it (not on the queue's lock, which the main thread
  // would otherwise contend for), so a round trip costs one wake-up each way; it lives as long as
  // the queue, so the main thread never touches a sender's memory after it set `done`.
  std::atomic<std::uint32_t> completions{0};
  // The main thread; read without the lock on every send, so it is atomic. Unowned is the
  // default id, which no running thread has.
  std::atomic<std::thread::id> owner{};
  std::function<void()> serveHook;
  bool inServeHook = false;  // the hook is not entered again from within itself
};

Queue& MainQueue() {
  static Queue queue;
  return queue;
}

// Runs the task of `message` and tells its sender.
void Deliver(Queue& q, const Message& message) {
  try {
    (*message.task)();
  } catch (...) {
    *message.error = std::current_exception();
  }
  message.done->store(true, std::memory_order_release);
  q.completions.fetch_add(1, std::memory_order_release);
  q.completions.notify_all();
}

// Takes the next waiting message; false when there is none.
bool TakeMessage(Queue& q, Message& message) {
  std::lock_guard lock(q.mutex);
  if (q.messages.empty()) return false;
  message = q.messages.front();
  q.messages.pop_front();
  return true;
}

}  // namespace

void SetMainThread() { MainQueue().owner.store(std::this_thread::get_id()); }

bool IsMainThread() {
  Queue& q = MainQueue();
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id owner = q.owner.load();
  // The first thread that asks claims the queue while nobody owns it.
  if (owner == std::thread::id() && q.owner.compare_exchange_strong(owner, self)) return true;
  return owner == self;
}

void SendToMainThread(const std::function<void()>& task) {
  if (IsMainThread()) {
    task();
    return;
  }
  Queue& q = MainQueue();
  std::atomic<bool> done{false};
  std::exception_ptr error;
  {
    std::lock_guard lock(q.mutex);
    q.messages.push_back({&task, &done, &error});
  }
  q.arrived.notify_one();
  for (;;) {
    // Read the count before `done`: a task finished after this read moves the count on, so the
    // wait below returns at once instead of missing it.
    const std::uint32_t seen = q.completions.load(std::memory_order_acquire);
    if (done.load(std::memory_order_acquire)) break;
    q.completions.wait(seen, std::memory_order_acquire);
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
  Message message;
  bool ranAny = false;
  while (TakeMessage(q, message)) {
    if (!message.task) return;  // the quit message
    Deliver(q, message);
    ranAny = true;
  }
  if (ranAny) return;
  {
    // Nothing waited: wait up to 1 ms for a message, waking at once when one arrives.
    std::unique_lock lock(q.mutex);
    if (!q.arrived.wait_for(lock, std::chrono::milliseconds(1), [&] { return !q.messages.empty(); })) return;
  }
  // What arrived meanwhile runs now: a sender waiting for its answer should not wait for the
  // caller's next round as well.
  while (TakeMessage(q, message)) {
    if (!message.task) return;
    Deliver(q, message);
  }
}

}  // namespace sx
