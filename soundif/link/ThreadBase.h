// CThreadBase: a worker thread that calls runStep until runStep returns false
// or a stop is requested. The flags are atomics with one writer each: the
// stopping thread writes stopRequested, the worker writes finished as its last
// act; a stop waits for the thread itself, not for finished. The thread runs
// with the system's default stack size and asks for real-time scheduling as it
// starts (its one user, the board worker, keeps the writes' time), staying
// with the normal scheduling where that is not granted.
//
// A derived class stops the thread in its own destructor, before the members
// that runStep uses are destroyed; the base destructor only catches a thread
// that is still running.
#pragma once

#include <atomic>
#include <thread>

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;
    virtual ~CThreadBase();

    // One pass of the worker; true to be called again.
    virtual bool runStep() = 0;

    bool threadRunning() const { return thread.joinable(); }

protected:
    // Unless a thread runs already, clears both flags and starts one. False
    // when the system could not start it.
    bool startThread();
    // Requests a stop and waits for the thread without a time-out.
    void stopThread();

private:
    void threadEntry();

    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
};
