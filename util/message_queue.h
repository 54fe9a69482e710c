// The main thread's message queue. The engine's windows, plug-in calls and message boxes belong
// to the main thread; another thread (the copy thread) hands work to it through this queue and
// waits for the answer, while the main thread serves the queue whenever it waits (PumpMessages).
#pragma once

#include <functional>

namespace sx {

// Makes the calling thread the one whose queue the others post to. The first thread that pumps
// or posts is the main thread until then.
void SetMainThread();
bool IsMainThread();

// Runs `task` on the main thread and returns when it has run; on the main thread itself it runs
// at once. A task posted while the main thread does not pump waits until it does.
void SendToMainThread(const std::function<void()>& task);

// Queues `task` to run on the main thread and returns at once; on the main thread itself it runs
// at once. Tasks run in the order they were posted or sent: a task sent after posted ones runs
// after them. The main thread runs posted tasks on its next round of PumpMessages (within about
// a millisecond), not at once.
void PostToMainThread(std::function<void()> task);

// Waits until every task posted so far has run; raises again what the first of them raised
// (once). On the main thread nothing waits: its own posts have run already.
void WaitForPostedTasks();

// Queues a quit message: the next PumpMessages on the main thread stops at it.
void PostQuitMessage();

// Work the main thread does whenever it serves its queue, before the waiting tasks (the engine
// answers other processes' questions there); an empty function removes it.
void SetServeHook(std::function<void()> hook);

// Runs every task waiting in the calling thread's queue, stopping at a quit message (which is
// taken but not run). When the queue was empty, waits up to 1 ms for a message and runs what
// arrived. On another thread it only sleeps.
void PumpMessages();

}  // namespace sx
