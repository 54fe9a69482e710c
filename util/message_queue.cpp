#include "util/message_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace sx {
namespace {

struct Message {
  const std::function<void()>* task = nullptr;  // nullptr: the quit message
  // Set once the task has run (under the completion lock), waking its sender.
  std::atomic<bool>* done = nullptr;
  std::exception_ptr* error = nullptr;  // what the task raised, handed back to its sender
  // A posted task: owned by the message, nobody waits for it (`done` and `error` stay empty).
  std::function<void()> posted;

  bool IsQuit() const { return !task && !posted; }
};

struct Queue {
  std::mutex mutex;
  std::condition_variable arrived;  // wakes a main thread that waits in PumpMessages
  std::deque<Message> messages;
  // Senders wait for their `done` here, not on the queue's lock, which the main thread would
  // otherwise contend for. (A condition variable rather than atomic wait: with MinGW's standard
  // library, which has no native wait, the latter missed wake-ups and hung the engine.)
  std::mutex completionMutex;
  std::condition_variable completed;
  // The main thread; read without the lock on every send, so it is atomic. Unowned is the
  // default id, which no running thread has.
  std::atomic<std::thread::id> owner{};
  // Posted tasks not yet run, and what the first failed one raised (under completionMutex).
  std::atomic<int> postedPending{0};
  std::condition_variable postedDone;  // postedPending came down to 0
  std::atomic<bool> postedFailed{false};
  std::exception_ptr postedError;
  std::function<void()> serveHook;
  bool inServeHook = false;  // the hook is not entered again from within itself
};

Queue& MainQueue() {
  static Queue queue;
  return queue;
}

// Runs the task of `message` and tells its sender.
void Deliver(Queue& q, const Message& message) {
  if (message.posted) {
    std::exception_ptr error;
    try {
      message.posted();
    } catch (...) {
      error = std::current_exception();
    }
    bool last;
    {
      std::lock_guard lock(q.completionMutex);
      if (error && !q.postedError) {
        q.postedError = error;
        q.postedFailed.store(true, std::memory_order_relaxed);
      }
      last = q.postedPending.fetch_sub(1, std::memory_order_release) == 1;
    }
    // Only the last one wakes whoever waits for posted tasks; senders waiting for their own
    // task are not disturbed.
    if (last) q.postedDone.notify_all();
    return;
  }
  try {
    (*message.task)();
  } catch (...) {
    *message.error = std::current_exception();
  }
  {
    // Set under the lock: the sender cannot miss it between its check and its wait, and it
    // cannot return (ending `done`'s life) before the lock is released.
    std::lock_guard lock(q.completionMutex);
    message.done->store(true, std::memory_order_release);
  }
  q.completed.notify_all();
}

// Takes the next waiting message; false when there is none.
bool TakeMessage(Queue& q, Message& message) {
  std::lock_guard lock(q.mutex);
  if (q.messages.empty()) return false;
  message = std::move(q.messages.front());
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
    q.messages.push_back({&task, &done, &error, nullptr});
  }
  q.arrived.notify_one();
  {
    std::unique_lock lock(q.completionMutex);
    q.completed.wait(lock, [&] { return done.load(std::memory_order_acquire); });
  }
  if (error) std::rethrow_exception(error);
}

void PostToMainThread(std::function<void()> task) {
  if (IsMainThread()) {
    task();
    return;
  }
  Queue& q = MainQueue();
  q.postedPending.fetch_add(1, std::memory_order_relaxed);
  {
    std::lock_guard lock(q.mutex);
    Message message;
    message.posted = std::move(task);
    q.messages.push_back(std::move(message));
  }
  // The main thread is not woken: it finds posted tasks on its next round (it looks at least
  // every millisecond), before any task sent later, or when somebody waits for them. Waking it
  // for every progress event would cost more than the events.
}

void WaitForPostedTasks() {
  Queue& q = MainQueue();
  if (q.postedPending.load(std::memory_order_acquire) != 0 && !IsMainThread()) {
    q.arrived.notify_one();
    std::unique_lock lock(q.completionMutex);
    q.postedDone.wait(lock, [&] { return q.postedPending.load(std::memory_order_acquire) == 0; });
  }
  if (!q.postedFailed.load(std::memory_order_acquire)) return;
  std::exception_ptr error;
  {
    std::lock_guard lock(q.completionMutex);
    error = std::exchange(q.postedError, nullptr);
    q.postedFailed.store(false, std::memory_order_relaxed);
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
    if (message.IsQuit()) return;  // the quit message
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
    if (message.IsQuit()) return;
    Deliver(q, message);
  }
}

}  // namespace sx
