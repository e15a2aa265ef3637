#pragma once
// TSearchThread: the worker of a threaded TFindFile search. It runs the
// search loop off the owner's thread and hands every event to the owner's
// thread, waiting until the owner has run it.

#include "finder/FindFile.h"

#include <atomic>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <thread>

namespace mzb {

class TSearchThread {
public:
    TSearchThread(TFindFile& finder, TPostToOwner post, TThreadPriority priority);
    // Waits for the thread; call Cancel first if it may be waiting for the owner.
    ~TSearchThread();
    TSearchThread(const TSearchThread&) = delete;
    TSearchThread& operator=(const TSearchThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    void SetPriority(TThreadPriority priority);

    // Worker side: runs `event` on the owner's thread and returns when it
    // has run; false, without running it, once the owner has cancelled.
    // An error raised by the event is raised again here.
    bool Synchronize(const std::function<void()>& event);
    // Owner side: releases a waiting worker and refuses every later hand-over.
    void Cancel();
    void Join();

private:
    struct Mailbox;
    void Run();
    void ApplyPriority();

    TFindFile& finder_;
    TPostToOwner post_;
    std::shared_ptr<Mailbox> mailbox_;
    std::atomic<bool> terminated_{false};
    std::atomic<TThreadPriority> priority_;
    std::atomic<pid_t> tid_{0};
    std::thread thread_;
};

} // namespace mzb
