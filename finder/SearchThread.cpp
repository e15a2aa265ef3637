#include "finder/SearchThread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace mzb {

// Shared between the worker and the closures it posts, which may outlive
// both the worker and the finder in the owner's event queue.
struct TSearchThread::Mailbox {
    std::mutex mutex;
    std::condition_variable handled;
    const std::function<void()>* pending = nullptr; // lives on the waiting worker's stack
    std::exception_ptr error;
    bool cancelled = false;
    TSearchThread* thread = nullptr; // touched on the owner's thread only

    // Owner's thread.
    static void Deliver(const std::shared_ptr<Mailbox>& box) {
        std::unique_lock lock(box->mutex);
        const std::function<void()>* event = box->pending;
        if (event == nullptr || box->cancelled) {
            return;
        }
        lock.unlock();
        std::exception_ptr error;
        try {
            (*event)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        box->error = error;
        box->pending = nullptr;
        box->handled.notify_all();
    }
};

TSearchThread::TSearchThread(TFindFile& finder, TPostToOwner post, TThreadPriority priority)
    : finder_(finder), post_(std::move(post)), mailbox_(std::make_shared<Mailbox>()),
      priority_(priority) {
    mailbox_->thread = this;
}

TSearchThread::~TSearchThread() {
    Join();
}

void TSearchThread::Start() {
    thread_ = std::thread([this] { Run(); });
}

void TSearchThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TSearchThread::Run() {
    tid_ = static_cast<pid_t>(syscall(SYS_gettid));
    ApplyPriority();
    finder_.RunTargets();
    // Nothing of the finder is touched after this post: the owner may run
    // the completion (and forget this thread) at any moment from here on.
    post_([box = mailbox_] {
        if (box->thread != nullptr) {
            box->thread->finder_.WorkerEnded();
        }
    });
}

bool TSearchThread::Synchronize(const std::function<void()>& event) {
    {
        std::lock_guard lock(mailbox_->mutex);
        if (mailbox_->cancelled) {
            return false;
        }
        mailbox_->pending = &event;
        mailbox_->error = nullptr;
    }
    post_([box = mailbox_] { Mailbox::Deliver(box); });
    std::unique_lock lock(mailbox_->mutex);
    mailbox_->handled.wait(lock, [this] { return mailbox_->pending == nullptr; });
    if (mailbox_->error) {
        std::rethrow_exception(std::exchange(mailbox_->error, nullptr));
    }
    return !mailbox_->cancelled;
}

void TSearchThread::Cancel() {
    terminated_ = true;
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->cancelled = true;
    mailbox_->pending = nullptr;
    mailbox_->thread = nullptr;
    mailbox_->handled.notify_all();
}

void TSearchThread::SetPriority(TThreadPriority priority) {
    priority_ = priority;
    if (tid_ != 0) {
        ApplyPriority();
    }
}

void TSearchThread::ApplyPriority() {
    // Linux gives ordinary threads no priority levels; the per-thread nice
    // value stands in. Raising it above normal needs privileges, and a
    // refusal leaves the thread as it is.
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    const int nice = kNice[static_cast<int>(priority_.load())];
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid_.load()), nice);
}

} // namespace mzb
