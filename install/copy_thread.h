// The copy thread of the file phase: package extraction and the copying of external files run on
// a thread of their own while the calling (main) thread serves its message queue, so that plug-in
// events the copy thread raises are delivered on the main thread and the user interface stays
// alive.
//
// Suspending is cooperative: SuspendInstallThread marks the installation as held, and the copy
// thread waits at its next checkpoint (every unpacker callback and every copied block) until
// ResumeInstallThread, or until the installation is aborted. Both may be called from any thread,
// also from a plug-in handling an event that the copy thread itself raised.
#pragma once

#include <functional>

namespace sx {

// Runs `body` on a new thread and pumps the calling thread's message queue until it has ended;
// the body's result. An exception the body raised is raised again here, after the thread ended.
// A suspension still in force when the thread ends is lifted.
bool RunOnCopyThread(const std::function<bool()>& body);

void SuspendInstallThread();
void ResumeInstallThread();
bool InstallThreadSuspended();

// Waits while the installation is suspended; `aborted` is asked every few milliseconds and ends
// the wait when it answers true.
void WaitWhileSuspended(const std::function<bool()>& aborted);

}  // namespace sx
