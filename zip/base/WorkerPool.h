#pragma once
// A fixed set of worker threads that run submitted tasks in submission order.
// The engine's runs stay on the calling thread: workers only do pure work on
// data handed to them (compressing, decoding) and the caller waits for each
// result in the order it needs them.
//
//   TWorkerPool pool(4);
//   auto done = pool.Submit([&] { Compress(piece); });
//   ...
//   done.get(); // rethrows what the task threw
//
// With no worker threads (a count of 1 or less) Submit runs the task at once
// on the caller, so a one-thread run does the same work in the same order.

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace mzb {

// One thread per core, at least one.
unsigned DefaultThreadCount();

class TWorkerPool {
public:
    // `threads` workers; 1 or less runs every task on the caller.
    explicit TWorkerPool(unsigned threads);
    // Finishes the tasks already started, drops those still queued.
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    unsigned Threads() const { return threads_; }
    std::future<void> Submit(std::function<void()> task);

private:
    void Work();

    unsigned threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace mzb
