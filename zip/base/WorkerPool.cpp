#include "zip/base/WorkerPool.h"

#include <algorithm>

namespace mzb {

unsigned DefaultThreadCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

TWorkerPool::TWorkerPool(unsigned threads) : threads_(std::max(1u, threads)) {
    if (threads_ > 1) {
        workers_.reserve(threads_);
        for (unsigned i = 0; i < threads_; ++i) {
            workers_.emplace_back([this] { Work(); });
        }
    }
}

TWorkerPool::~TWorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        // A dropped task breaks its promise, so nobody waits for it forever.
        queue_.clear();
    }
    wake_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

std::future<void> TWorkerPool::Submit(std::function<void()> task) {
    std::packaged_task<void()> packaged(std::move(task));
    auto done = packaged.get_future();
    if (workers_.empty()) {
        packaged();
        return done;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(packaged));
    }
    wake_.notify_one();
    return done;
}

void TWorkerPool::Work() {
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
    }
}

} // namespace mzb
